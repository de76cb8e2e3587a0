// Structural summary of a Jet 4 database, for comparing a database we create
// with the empty databases Access makes.
//
// A description is a flat, sorted set of "key = value" fields:
//   header.*                 decoded page-0 fields
//   table[T]                 kind, column and index counts, live rows
//   table[T].column[C]       type, flags, sizes, numbers
//   table[T].index[I]        logical index: columns, real-index flags, kind
//   object[Parent/Name]      MSysObjects row: Id, type, flags, LvProp presence
//   ace[Parent/Name][sid]    MSysACEs row: access mask, inheritable
//   query[Name][n]           MSysQueries rows in stored order
//   relationship[Name][n]    MSysRelationships rows
// Values that differ in every file (dates, SIDs, page numbers of tables, the
// creation date, the header's unknown word) are masked in the fields and kept
// in `per_file` instead; SIDs are named by their relation to the MSysDb
// owner SID so that files with different SIDs still compare equal.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessaly::test {

struct Description {
    std::map<std::string, std::string> fields;    // compared by diff_descriptions
    std::map<std::string, std::string> per_file;  // reported, never compared
    std::vector<std::string> problems;            // what could not be read
    std::string to_string() const;                // "key = value" lines, then per-file values
};

// Describes the file at `path`; unreadable parts are listed in `problems`.
Description describe_jet4(const std::filesystem::path& path);
Description describe_jet4_bytes(std::vector<std::uint8_t> bytes);

struct Difference {
    std::string key;
    std::optional<std::string> a;  // nullopt: the field is absent in a
    std::optional<std::string> b;
    std::string to_string() const;  // "key: a-value | b-value" with "(absent)"
};

// Every field whose value differs, or that exists on one side only, by key.
std::vector<Difference> diff_descriptions(const Description& a, const Description& b);

}  // namespace tessaly::test
