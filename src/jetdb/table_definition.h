// The definition of one table as the TDEF pages record it: columns, real and
// logical indexes, usage-map pointers, and its encoding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jetdb/column_type.h"
#include "jetdb/jet4_layout.h"
#include "jetdb/usage_map.h"

namespace tessaly::jetdb {

struct Column {
    ColumnSpec spec;
    std::u16string name;             // spec.name as UTF-16
    std::u16string key;              // the name folded for case-insensitive comparison
    std::uint16_t number = 0;        // position in the row's null mask; never reused
    std::uint16_t var_index = 0;     // variable columns: slot in the row's offset table;
                                     // fixed columns: variable columns numbered before it
    std::uint16_t fixed_offset = 0;  // fixed columns: offset in the fixed area
    std::uint8_t flags = 0;
    std::uint8_t ext_flags = 0;

    bool is_fixed() const { return is_fixed_type(spec.type); }
    bool is_long_value() const { return is_long_value_type(spec.type); }
    // Length recorded in the column block.
    std::uint16_t stored_length() const;
};

struct IndexColumn {
    std::uint16_t column = 0;  // column number
    bool ascending = true;
};

// An index as stored on index pages (several logical indexes may share one).
struct RealIndex {
    std::vector<IndexColumn> columns;
    std::uint8_t flags = layout::kIndexFlagAlways;
    // Set when the definition is written:
    std::uint32_t map_pointer = 0;  // row pointer of its page map
    std::uint32_t root_page = 0;
};

// An index as the user sees it: a name over a real index.
struct LogicalIndex {
    std::u16string name;
    std::uint32_t number = 0;
    std::uint32_t real_index = 0;
    std::uint8_t kind = layout::kLogicalIndexKindPlain;
    std::uint8_t side = 0;  // relationships: 1 primary side, 2 foreign side
    std::int32_t other_index = -1;
    std::uint32_t other_table = 0;
    std::uint8_t cascade_update = layout::kLogicalIndexNoCascade;
    std::uint8_t cascade_delete = layout::kLogicalIndexNoCascade;
};

// Map pointers of one long-value column, set when the definition is written.
struct LongValueMapPointers {
    std::uint16_t column = 0;
    std::uint32_t owned = 0;
    std::uint32_t free = 0;
};

class TableDefinition {
  public:
    TableDefinition(std::u16string name, bool system);

    const std::u16string& name() const { return name_; }
    // The name folded for case-insensitive comparison.
    const std::u16string& key() const { return key_; }
    bool is_system() const { return system_; }
    const std::vector<Column>& columns() const { return columns_; }
    std::vector<RealIndex>& real_indexes() { return real_indexes_; }
    const std::vector<RealIndex>& real_indexes() const { return real_indexes_; }
    std::vector<LogicalIndex>& logical_indexes() { return logical_indexes_; }
    const std::vector<LogicalIndex>& logical_indexes() const { return logical_indexes_; }

    // Appends a column with the next column number and lays it out: fixed
    // columns get the next offset in the fixed area, variable columns the next
    // variable slot. `extra_flags` is ORed into the flags the type implies.
    // Answers the new column's position.
    std::size_t add_column(const ColumnSpec& spec, std::u16string name,
                           std::uint8_t extra_flags = 0, std::uint8_t ext_flags = 0);
    // Position of the column called `name` (UTF-8, case-insensitive), or -1.
    int find_column(std::string_view name) const;

    std::uint16_t fixed_area_size() const { return fixed_area_; }
    std::uint16_t variable_count() const { return variable_count_; }

    // Values written into the definition at close.
    std::uint32_t row_count = 0;
    std::uint32_t last_autonumber = 0;
    std::uint32_t owned_map = 0;
    std::uint32_t free_map = 0;
    std::vector<LongValueMapPointers> long_value_maps;

    // The whole definition: the 8-byte page header of the first page
    // (type, marker, free space, next page = 0) followed by every field, up
    // to and including the FF FF end marker.
    std::vector<std::uint8_t> encode() const;
    // The size encode() would produce.
    std::size_t encoded_size() const;

  private:
    std::u16string name_;
    std::u16string key_;
    bool system_;
    std::vector<Column> columns_;  // in column-number order
    std::vector<RealIndex> real_indexes_;
    std::vector<LogicalIndex> logical_indexes_;
    std::uint16_t fixed_area_ = 0;
    std::uint16_t variable_count_ = 0;
};

// Splits an encoded definition over pages: the first page is `pages[0]`, each
// further page repeats the 8-byte header and points to the next one.
// REQUIRES: pages.size() == tdef_page_count(definition.size()).
std::vector<PageBytes> split_definition(const std::vector<std::uint8_t>& definition,
                                        const std::vector<std::uint32_t>& pages);
std::size_t tdef_page_count(std::size_t definition_size);

}  // namespace tessaly::jetdb
