// Keys of a table's real indexes: building them for a row, enforcing
// uniqueness and required values, and adding an index to a table that may
// already hold rows.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jetdb/ddl.h"
#include "jetdb/field_value.h"
#include "jetdb/page_file.h"
#include "jetdb/table_store.h"

namespace tessaly::jetdb {

// The most indexes (primary key included) a table may have.
inline constexpr std::size_t kMaxTableIndexes = 32;

// One row's key for one real index; no key when the index leaves the row out
// (all key columns null in an index that ignores nulls).
using RowKey = std::optional<std::vector<std::uint8_t>>;

// Builds the row's keys for every real index of `table` and checks them:
// a required index refuses a null in any key column, a unique index refuses
// a key it already holds (keys with a null column are never duplicates).
// Throws EngineError, changing nothing, when the row breaks an index.
std::vector<RowKey> prepare_row_keys(TableStore& table, const std::vector<FieldValue>& values);

// Records the keys of a stored row (REQUIRES: prepared by prepare_row_keys
// for this row, nothing stored in between).
void add_row_keys(TableStore& table, std::vector<RowKey>&& keys, std::uint32_t row_pointer);

// Index entries of the rows `table` holds for a new real index, checked as
// prepare_row_keys checks new rows (throws EngineError when they break it).
// Adds the entries' bytes to `bytes`.
IndexState index_stored_rows(const TableStore& table, PageFile& file, const RealIndex& real,
                             std::uint64_t& bytes);

// True when the unique real index `real_index` of `table` holds `key`.
bool unique_index_has(const TableStore& table, std::size_t real_index,
                      const std::vector<std::uint8_t>& key);

// Adds the index a CREATE INDEX / ADD PRIMARY KEY / ADD CONSTRAINT statement
// describes, with entries for the rows already stored. Throws EngineError,
// leaving the table unchanged, when Jet refuses it: missing column, memo or
// OLE column, duplicate index name, second primary key, too many indexes,
// or stored rows that break it. Answers the bytes of the entries added.
std::uint64_t create_index(TableStore& table, PageFile& file, const CreateIndexStmt& statement,
                           std::uint64_t name_seed);

}  // namespace tessaly::jetdb
