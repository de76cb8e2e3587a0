// Consistency checker for Jet 4 files, used by tests to hold our writer to
// the format's rules.
//
// It walks a file independently of the engine: page 0, the global page map,
// the catalog, every table's definition, usage maps, data pages, rows,
// long values and index trees, and claims every page for exactly one owner.
//
// Findings come in two severities:
//   - errors: the file breaks a rule readers or Access rely on;
//   - warnings: departures Access itself leaves in files it made. Access-made
//     files verify with no errors; files we write must verify with no
//     findings at all. The warnings, each seen in the Access corpus:
//       * free page not zero-filled: Access frees pages without clearing them
//         (also pages of types 0x08/0x09, which appear only as such leftovers
//         or orphans);
//       * page marked used in the global map but owned by nothing: orphans
//         Access leaves after deletes and property rewrites;
//       * TDEF row count differing from the live rows: Access lets it go stale;
//       * autonumber counter below the largest value in use (a stale seed);
//       * column total / variable-column total above the live columns: these
//         count deleted columns too;
//       * fixed-size column stored as variable-length, and a long-value column
//         without a free-space map: Access's own system tables do both;
//       * negative reference-map slots (read as "no page"): one hand-altered
//         sample file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/jet_pages.h"

namespace tessaly::test {

struct VerifyReport {
    std::vector<jet::Problem> problems;

    // True when nothing at all was found: the bar for files we write.
    bool clean() const { return problems.empty(); }
    std::size_t error_count() const;
    std::size_t warning_count() const;
    // One line per finding: "error page 12: ..." / "warning page 3: ...".
    std::string to_string() const;
};

// Verifies the Jet 4 file at `path`. Never throws for damaged content; an
// unreadable file yields one error.
VerifyReport verify_jet4(const std::filesystem::path& path);

// Same, for a file image already in memory (tests corrupt copies this way).
VerifyReport verify_jet4_bytes(std::vector<std::uint8_t> bytes);

}  // namespace tessaly::test
