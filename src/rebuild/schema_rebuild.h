// Re-creating one source table's structure in the destination database by
// DDL statements, one statement at a time:
//
//   - the table is created with its first column that has a destination type,
//     every further column is added by an ALTER TABLE of its own, so a refused
//     column costs only that column;
//   - a one-column primary key is added right after its column (unnamed);
//   - a primary key of several columns becomes one constraint [PK_<table>]
//     after the last column, naming its columns in column-list order;
//   - every other indexed column gets its own index MyIndex<position>.
//
// Names are put between square brackets exactly as they are (nothing is
// escaped). Column types by code:
//   1 BIT, 2 BYTE, 3 INT, 4 LONG, 5 CURRENCY, 6 SINGLE, 7 DOUBLE, 8 DATE,
//   9 BINARY(n) (n = stored size, 255 when outside 1..255),
//   10 TEXT(n) (n = stored size, halved for a Jet 4 source), 11 OLEOBJECT,
//   12 MEMO, 15 GUID, 16 DOUBLE.
// A column of any other type code is left out: no statement names it except
// a multi-column key constraint that lists it (which the engine then refuses).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/table_def.h"
#include "rebuild/destination.h"

namespace tessaly::rebuild {

// Lowest definition page whose table gets its keys and indexes rebuilt.
inline constexpr std::int64_t kFirstKeyedDefinitionPage = 8;
// Index entry types that mark columns.
inline constexpr std::uint8_t kIndexTypeOrdinary = 0;
inline constexpr std::uint8_t kIndexTypePrimaryKey = 1;

// The type text that follows a column's name in a statement, starting with
// the bracket that closes the name ("] LONG"), or nullopt for a type code the
// destination has no type for.
std::optional<std::string> column_type_text(const reader::ColumnDef& column, bool jet4);

// Marks the columns of one index entry: for each key (column number + 1), in
// order, the first column of the list with that number gets is_indexed, and
// for a primary key also is_primary_key and one more primary_key_count. A key
// that matches no column ends the marking of this index. Entries of other
// types or without keys mark nothing.
void mark_key_columns(reader::TableDef& table, const reader::IndexDef& index);

// Reads the table's index definitions and marks the columns of the first
// index_count entries, when the definition page is kFirstKeyedDefinitionPage
// or above and the definition declares indexes. Sets primary_key_count to 0
// first in every case; leaves table.indexes empty. Moves the file's current
// page.
void mark_table_keys(reader::TableDef& table, std::int64_t definition_page);

// The statements that re-create the table, in the order they are to run.
// Requires the column marks of mark_key_columns.
std::vector<std::string> schema_statements(std::string_view table_name,
                                           const reader::TableDef& table, bool jet4);

// Runs schema_statements one by one through `database` with kFailOnError;
// a refused statement is dropped and the next one runs. Never throws. A null
// database runs nothing.
void rebuild_schema(DestDatabase* database, std::string_view table_name,
                    const reader::TableDef& table, bool jet4);

}  // namespace tessaly::rebuild
