// Table definitions: the records the reader makes from a definition chain, and
// reading its first page, its columns and (index_def.h) its indexes.
//
// A definition is a chain of pages: the bytes go on at offset 8 of the page
// named by the u32 at offset 4 of the page before. DefinitionCursor walks that
// byte sequence; a chain that ends (next page 0 or unreadable) ends the
// sequence instead of reading unrelated pages.
//
// Damaged input never makes these functions fail unsafely: counts are bounded
// (at most kMaxColumns columns and kMaxIndexes indexes are kept), names are
// cut to their field size, and a name area that cannot be read names the
// remaining columns "RepairedField" and drops the table's indexes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "reader/jet_file.h"
#include "recovery/recovery_state.h"

namespace tessaly::reader {

// The request for a table definition, and the object the catalog walk visits.
struct CatalogEntry {
    std::shared_ptr<JetFile> file;
    std::string name;  // UTF-8
    std::int32_t type = 0;
    std::int64_t definition_page = 0;
};

// One column descriptor, in stored order (not sorted by number).
struct ColumnDef {
    std::string name;               // UTF-8, at most kMaxColumnNameChars characters
    std::int32_t type = 0;          // type code (see value_render.h)
    std::int32_t size = 0;          // stored size in bytes; 0 for booleans
    bool is_primary_key = false;    // set by table rebuilding
    bool is_indexed = false;        // set by table rebuilding
    bool is_fixed = false;          // data at fixed_offset in every row
    std::int32_t var_index = 0;     // place among the row's variable-length columns
    std::int32_t number = 0;        // low byte of the column number: null-mask bit, key number
    std::int32_t precision = 0;     // numeric (type 16) only
    std::int32_t scale = 0;         // numeric (type 16) only
    std::int32_t fixed_offset = 0;  // after the row's column-count field
};

// One index entry, in stored order.
struct IndexDef {
    std::int32_t number = 0;  // which real-index record holds the key columns
    std::string name;         // UTF-8, at most kMaxIndexNameChars characters
    std::uint8_t type = 0;    // 1 = primary key, 2 = foreign key (no key columns)
    // Used key slots' column numbers plus 1, in slot order (at most 10).
    std::vector<std::int32_t> keys;
    int key_count() const { return static_cast<int>(keys.size()); }
};

// Where one column's value lies in the current page while a row is split.
struct RowField {
    std::int64_t position = 0;  // page offset; 0 for a null value
    std::int64_t length = 0;    // bytes; 0 for a null value
    bool is_null = true;        // the null-mask bit is clear
    bool is_fixed = false;
    int column = 0;  // position in the column list
};

struct TableDef {
    CatalogEntry entry;  // source file and definition page
    std::string name;
    std::vector<ColumnDef> columns;   // filled by read_columns
    std::vector<IndexDef> indexes;    // filled by read_indexes
    std::int32_t column_count = 0;    // as stored; -1 when the field lies outside the page
    std::int32_t row_count = 0;       // as stored; only 0 versus not 0 is trusted
    std::int64_t names_end = 0;       // position after the last column name ...
    std::int64_t names_end_page = 0;  // ... on this definition page
    std::int32_t real_index_count = 0;
    std::int32_t index_count = 0;
    std::int32_t primary_key_count = 0;  // kept for table rebuilding
    // Row cursor (row_reader.h).
    bool rows_started = false;
    std::int64_t data_page = 0;
    std::int32_t row_index = 0;
    // The table's usage map row (1 to 2048 bytes).
    std::vector<std::uint8_t> usage_map;
    // Scratch for split_row, reused for every row.
    std::vector<RowField> fields;
    std::vector<std::int64_t> var_offsets;

    JetFile& file() const { return *entry.file; }
};

// Walks the continuous byte sequence of a definition chain through the file's
// main page buffer (the file's current page moves with it).
class DefinitionCursor {
  public:
    // Starts at `position` of the file's current page.
    DefinitionCursor(JetFile& file, std::int64_t position);

    std::int64_t position() const { return position_; }
    bool ended() const { return ended_; }
    // Moves to the next page of the chain and rebases the position by
    // 8 - page_size. False (and ended) when the chain has no next page.
    bool next_definition_page();
    // Reads the next byte / little-endian u16; nullopt at the end of the chain.
    std::optional<std::uint8_t> read_u8();
    std::optional<std::uint16_t> read_u16();
    // Copies the next `count` bytes into `out` (replaced); false when the chain
    // ended before all of them.
    bool read_definition_bytes(std::size_t count, std::vector<std::uint8_t>& out);
    bool skip(std::int64_t count);

  private:
    bool ensure_byte();
    JetFile& file_;
    std::int64_t position_;
    bool ended_ = false;
};

// Reads the definition's first page and its usage map. Null when the
// definition or its maps are unreadable. The definition page is current again
// afterwards.
std::unique_ptr<TableDef> read_table_def(const CatalogEntry& entry);

// Reads the column descriptors and names. True on success (columns may be
// empty when the table has none); false leaves `columns` empty.
bool read_columns(TableDef& table);

// Releases a definition; closes its source file when
// state.close_source_on_release is set.
void free_table_def(std::unique_ptr<TableDef> table, const recovery::RecoveryState& state);

// Last byte offset of row `row` of the current data page: page_size - 1 for
// row 0, otherwise one byte before the start of row - 1.
std::int64_t row_end(JetFile& file, std::int32_t row);

}  // namespace tessaly::reader
