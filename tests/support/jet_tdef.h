// Table definitions and rows of Jet 4 files for the test-side checker and
// describer: TDEF chains, column / index blocks, row cracking, long values
// and text decoding. Bounded like jet_pages.h: damaged bytes give errors,
// never out-of-buffer reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/jet_pages.h"

namespace tessaly::test::jet {

struct ColumnDef {
    std::uint8_t type = 0;
    std::uint16_t number = 0;     // stable id; null-mask bit
    std::uint16_t var_index = 0;  // slot in the row's variable-offset table
    std::uint16_t index = 0;      // the second column-number field
    std::uint8_t misc[4] = {};    // sort order, or precision and scale
    std::uint8_t flags = 0;
    std::uint8_t ext_flags = 0;
    std::uint16_t fixed_offset = 0;
    std::uint16_t length = 0;
    std::string name;  // UTF-8
    bool fixed() const { return flags & 0x01; }
    bool long_value() const { return type == 0x0B || type == 0x0C; }
};

struct IndexColumn {
    std::uint16_t column = 0;  // column number
    std::uint8_t order = 0;    // 0x01 ascending
};

struct RealIndexDef {
    std::vector<IndexColumn> columns;
    RowPointer map;
    std::uint32_t root = 0;
    std::uint8_t flags = 0;
    std::uint32_t row_count = 0;  // from the row-count table after the header
};

struct LogicalIndexDef {
    std::uint32_t number = 0;
    std::uint32_t real_index = 0;
    std::uint8_t rel_role = 0;
    std::int32_t other_index = 0;
    std::uint32_t other_tdef = 0;
    std::uint8_t cascade_update = 0;
    std::uint8_t cascade_delete = 0;
    std::uint8_t type = 0;
    std::string name;
};

struct LvMapDef {
    std::uint16_t column = 0;
    RowPointer owned;
    RowPointer free;
};

struct TableDef {
    std::uint32_t page = 0;
    std::vector<std::uint32_t> chain;  // TDEF page and continuation pages
    std::uint32_t tdef_len = 0;
    std::uint32_t defined_bytes = 0;  // definition bytes actually parsed
    std::uint32_t row_count = 0;
    std::uint32_t autonumber = 0;
    std::uint8_t table_type = 0;
    std::uint16_t max_columns = 0;
    std::uint16_t var_columns = 0;
    std::uint16_t column_count = 0;
    std::uint32_t logical_count = 0;
    std::uint32_t real_count = 0;
    RowPointer owned_map;
    RowPointer free_map;
    std::vector<ColumnDef> columns;
    std::vector<RealIndexDef> real_indexes;
    std::vector<LogicalIndexDef> logical_indexes;
    std::vector<LvMapDef> lv_maps;
    const ColumnDef* column_by_number(std::uint16_t number) const;
    const ColumnDef* column_by_name(const std::string& name) const;  // case-insensitive ASCII
};

// Reads the TDEF chain starting at `page` and parses the definition. Every
// departure from the layout is recorded in `problems` (against the page where
// it sits); returns false when the definition could not be parsed far enough
// to be used.
// Findings name the table as `label` when given.
bool read_table_def(const Jet4File& file, std::uint32_t page, TableDef& def, ProblemList& problems,
                    const std::string& label = {});

// One cracked row: the value bytes of every column present in the row.
struct ColumnValue {
    bool null = true;
    bool bool_value = false;  // booleans live in the null mask
    ByteView bytes;
};

struct CrackedRow {
    std::uint16_t column_count = 0;
    std::vector<ColumnValue> values;  // parallel to TableDef::columns
};

// Splits a row into column values. False with `error` set when the row's
// structure (column count, null mask, variable offsets, fixed area) is
// inconsistent with the definition.
bool crack_row(const TableDef& def, ByteView row, CrackedRow& out, std::string& error);

// Every live row of a table in page order (overflow rows followed), for
// readers that do not check: rows that cannot be cracked are skipped and
// counted in `skipped`. The rows' bytes point into `file`.
std::vector<CrackedRow> read_table_rows(const Jet4File& file, const TableDef& def,
                                        std::size_t* skipped = nullptr);

// Reads a long value (memo / OLE) from its 12-byte header plus inline data.
// Follows LVAL rows and chains, bounded by the file's page count. `pages`
// (optional) receives every LVAL (page,row) visited as page << 8 | row.
bool read_long_value(const Jet4File& file, ByteView value, std::vector<std::uint8_t>& out,
                     std::string& error, std::vector<std::uint32_t>* rows_visited = nullptr);

// Decodes a text value (UTF-16LE, or the compressed form starting FF FE) to UTF-8.
std::string decode_text(ByteView bytes);

// Convenience: a column's value as text (text/memo decoded, integers in
// decimal, binary in hex); "" for null.
std::string value_as_text(const Jet4File& file, const ColumnDef& column, const ColumnValue& value);

// Integer reading of a fixed column value of 1, 2 or 4 bytes (signed).
std::optional<std::int64_t> value_as_int(const ColumnDef& column, const ColumnValue& value);

}  // namespace tessaly::test::jet
