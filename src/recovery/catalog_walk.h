// The catalog walk: visits every object listed in a source file's catalog
// table and hands it to rebuilding.
//
//   1. Read the catalog's definition (page 2) and its columns. When neither
//      can be read, or the column list is empty, the raw catalog scan
//      (catalog_scan.h) takes the whole file over and its result is returned.
//   2. For each catalog row: decode type, id and name; a table (type 1 after
//      masking) whose name is not empty and does not begin with "MSys" goes
//      to process_table; a saved query (type 5) whose name is not empty and
//      does not begin with "~s" goes to rebuild_query, during a save run only.
//      Other types are passed over. The catalog page and cursor are put back
//      after each dispatch; a page that cannot be read back ends the walk with
//      1 and no relationship step.
//   3. After the last row, during a save run only, rebuild_relationships.
//
// Beyond the plain walk, two guards keep damaged catalogs from costing data:
//   - a catalog whose rows yield no object of type 1 at all (not even a
//     system table, which every sound catalog lists) was not really read: the
//     raw scan is run instead, before any relationship step;
//   - a definition page already handed to process_table in this walk is not
//     handed over again (a catalog row read twice would otherwise copy the
//     same table twice).
//
// Results: 1 for a normal end, STOP_CODE after a confirmed stop (no
// relationship step then). The walk never closes `file`; the definition it
// made is released following close_source_on_release.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "reader/jet_file.h"
#include "recovery/rebuild_dispatch.h"
#include "recovery/recovery_state.h"

namespace tessaly::recovery {

int walk_catalog(RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                 RebuildDispatch& dispatch);

// Decimal text of a catalog value: leading blanks skipped, then the digits up
// to the first non-digit; 0 when there are none. Longer digit runs wrap
// modulo 2^64, so only the low bits the callers keep are meaningful.
std::uint64_t decode_catalog_number(std::string_view text);

// The dispatch rules shared by the walk and the raw scan.
bool is_rebuilt_table(std::int32_t masked_type, std::string_view name);
bool is_rebuilt_query(std::int32_t masked_type, std::string_view name, bool save_active);

}  // namespace tessaly::recovery
