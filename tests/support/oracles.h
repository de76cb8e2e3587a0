// Independent readers used as oracles: mdbtools' command-line programs and the
// npm package mdb-reader (run through Node.js). Both are peers we compare our
// reader and writer against. Every function answers std::nullopt when the
// oracle is not installed or fails on the file; tests then skip or report.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessaly::test {

// A CSV document: header line and rows. A field is nullopt when it was empty
// and unquoted (how both oracles write NULL); a quoted empty field is "".
struct CsvTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::optional<std::string>>> rows;
};

// Parses RFC 4180 CSV (quotes doubled inside quoted fields, CRLF or LF line
// ends, line breaks allowed inside quoted fields). Answers false on a
// malformed document.
bool parse_csv(const std::string& text, CsvTable& out);

// Single-quotes a string for /bin/sh.
std::string shell_quote(const std::string& s);

// mdbtools: the user tables as `mdb-tables -1` lists them.
std::optional<std::vector<std::string>> mdbtools_tables(const std::filesystem::path& file);

// mdbtools: `mdb-export` of one table. Dates are exported as
// "%m/%d/%Y %H:%M:%S", binary columns as hex; `extra` is appended to the
// options. Lines of page hex dumps that libmdb prints on damaged files are
// dropped before parsing.
std::optional<CsvTable> mdbtools_export(const std::filesystem::path& file, const std::string& table,
                                        const std::string& extra = "");

// True when Node.js and the mdb-reader package (installed by scripts/setup.sh
// under build-tools/oracle) are available.
bool have_mdb_reader();

// mdb-reader: the user table names (system tables excluded).
std::optional<std::vector<std::string>> mdb_reader_tables(const std::filesystem::path& file);

// mdb-reader: one table as CSV. Texts and memos are quoted, NULL is an
// unquoted empty field, booleans 1/0, dates ISO 8601 (UTC, milliseconds),
// numbers as JavaScript prints them, binary/OLE as lowercase hex.
std::optional<CsvTable> mdb_reader_export(const std::filesystem::path& file,
                                          const std::string& table);

}  // namespace tessaly::test
