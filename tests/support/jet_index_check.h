// Checks one real index of a Jet 4 table: the page tree, entry order,
// sibling and parent links, and that the leaves list exactly the table's
// live rows with keys matching their values.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/jet_pages.h"
#include "support/jet_tdef.h"

namespace tessaly::test::jet {

// What a live row should contribute to one index.
struct IndexedRow {
    std::vector<std::uint8_t> key_prefix;  // encoded key of the leading non-text columns
    bool key_complete = false;             // every index column was encodable
    bool all_null = false;                 // every index column is null
    bool any_null = false;
};

// Row identity inside a table: data page << 8 | row number.
inline std::uint32_t row_id(std::uint32_t page, std::uint32_t row) {
    return page << 8 | (row & 0xFF);
}

// Fills `out` from a cracked row for index `index`.
void expected_index_row(const TableDef& def, const RealIndexDef& index, const CrackedRow& row,
                        IndexedRow& out);

// Walks the index from its root. `map_pages` are the pages of the index's
// usage map; `rows` maps every live row of the table to its expectation.
// Findings are named after `what` (e.g. "index 0 of 'Orders'").
void check_index_tree(const Jet4File& file, const TableDef& def, std::size_t index,
                      const std::string& what, const std::set<std::uint32_t>& map_pages,
                      const std::unordered_map<std::uint32_t, IndexedRow>& rows,
                      ProblemList& problems);

}  // namespace tessaly::test::jet
