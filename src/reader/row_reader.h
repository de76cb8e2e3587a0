// Row reading: a table's data pages, found through its usage map, split into
// rows and values one row per call.
//
// This is a recovery reader: rows whose offset entry carries the deleted mark
// are read like live rows; a table is read as far as its usage map leads to
// readable data pages. The row count stored in the definition is often stale,
// so it never limits the rows read; only when it is 0 are deleted rows left
// out (an emptied table stays empty).
//
// Row layout (w = column-count width, m = null-mask bytes = (n + 7) / 8):
//   start                 n, the number of columns the row stores
//   start + w + offset    each fixed-length column's data
//   end - m + 1 .. end    null mask, bit k for column number k (set = present;
//                         for a boolean the bit is the value)
//   Jet 4: u16 variable-column count v at end - m - 1; offsets j = 0..v as u16
//          at end - m - 3 - 2j, relative to start
//   Jet 3: u8 v at end - m; 8-bit offsets below it, plus jump bytes adding 256
//
// Cost: each row is split in place in the page buffer (no copy); splitting
// and rendering are proportional to the row and its columns; memory does not
// grow with the table.
#pragma once

#include <cstdint>
#include <vector>

#include "reader/table_def.h"
#include "recovery/recovery_state.h"

namespace tessaly::reader {

// Resets the row cursor; call after read_columns and before the first next_row.
void rewind_rows(TableDef& table);

// Reads the next row into state.column_values (resized to the column list).
// Answers 1 for a row, 0 when the table has no further row, and STOP_CODE when
// the stop check (made before anything is read) answered it. Makes the
// table's current data page current again if other reads moved the file.
int next_row(TableDef& table, recovery::RecoveryState& state);

// The next data page named by the usage map, now the current page, or 0 when
// there is none, it cannot be read, or it is not a data page (long-value pages
// included).
std::int64_t next_data_page(TableDef& table);

// First page after `after` that the usage map names, or 0. A reference map
// page that cannot be read ends the walk (0).
std::int64_t usage_map_next(TableDef& table, std::int64_t after);

// A row's offset entry on the current data page.
struct RowEntry {
    bool found = false;     // false for rows above kMaxRowNumber
    bool size_ok = false;   // false when the size came out negative or too large
    std::uint16_t raw = 0;  // the entry with its flag bits
    std::int32_t size = 0;  // 0 when !size_ok
};
RowEntry find_row(const JetFile& file, std::int32_t row);

// Reads row `row` of the current data page into state.column_values. Answers
// 1 when read, 0 when skipped (not a row of its own, number too large, or a
// deleted row of a table whose stored row count is 0).
int read_row(TableDef& table, std::int32_t row, recovery::RecoveryState& state);

// Splits the row [start, end] of the current page into table.fields (one per
// column of the list); answers the column count the row stores.
std::int32_t split_row(TableDef& table, std::int64_t start, std::int64_t end);

}  // namespace tessaly::reader
