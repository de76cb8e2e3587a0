// Internal state of an open destination database, shared by Database and
// Recordset. Not part of the public interface.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jetdb/database.h"
#include "jetdb/field_value.h"
#include "jetdb/page_file.h"
#include "jetdb/security.h"
#include "jetdb/system_tables.h"
#include "jetdb/table_store.h"

namespace tessaly::jetdb {

struct DatabaseState {
    std::filesystem::path final_path;
    std::filesystem::path temp_path;
    std::unique_ptr<PageFile> file;
    double creation_date = 0;
    SecurityIds sids{0};
    std::uint64_t session = 0;
    // System tables first, in SystemTable order, then user tables in creation order.
    std::vector<std::unique_ptr<TableStore>> tables;
    std::uint32_t next_document_id = kFirstDocumentId;
    // Folded names of the saved queries, which share the tables' name space.
    std::vector<std::u16string> query_keys;
    // Folded names of the relationships.
    std::vector<std::u16string> relation_keys;

    // Bookkeeping for the pages close() will still need.
    std::uint64_t index_bytes = 0;       // sum of entry sizes over all indexes
    std::size_t index_entry_max = 0;     // longest entry seen
    std::uint32_t tdef_extra_pages = 0;  // continuation pages of definitions
    std::uint32_t map_rows = 0;          // usage-map rows of all tables
    std::uint32_t real_index_count = 0;  // real indexes of all tables

    // Scratch buffers reused from row to row.
    std::vector<std::uint8_t> row_buffer;
    std::vector<std::vector<std::uint8_t>> field_buffers;

    TableStore& system_table(SystemTable t) { return *tables[static_cast<std::size_t>(t)]; }
    static constexpr std::size_t kUserTablesStart = std::size(kSystemTables);

    // Index of the table called `name` (UTF-8, case-insensitive) or -1.
    int find_table(std::string_view name) const;
    // True when a table or saved query is called `name` (case-insensitive).
    bool name_in_use(std::string_view name) const;

    // Stores one row of `table`. `values` is indexed like the table's columns
    // and may be modified (autonumbers filled in). Throws EngineError and
    // stores nothing when the row is refused (too large, file full, ...).
    void insert_row(TableStore& table, std::vector<FieldValue>& values);

    // Throws EngineError when a value of `table`'s enforced relationships
    // has no related row (`own_keys`: this row's keys, for self references).
    void check_foreign_keys(
        const TableStore& table, const std::vector<FieldValue>& values,
        const std::vector<std::optional<std::vector<std::uint8_t>>>& own_keys) const;

    // Adds the catalog row and permission rows of a new object.
    void add_catalog_entry(std::uint32_t id, std::uint32_t parent, const std::u16string& name,
                           std::int16_t type, std::uint32_t flags, Account owner);
    void add_aces(const std::vector<AceRow>& aces);

    // Adds (sign +1) or removes (sign -1) a definition's map rows, indexes
    // and definition pages from the totals; a DDL change removes the old
    // shape and adds the new one.
    void account(const TableDefinition& def, int sign);
    // Pages close() may need beyond those already allocated (upper bound).
    // The quick form is O(1) but assumes every map needs its largest form.
    std::uint64_t close_reserve(bool quick) const;
    // Throws EngineError unless `pages` more pages fit in the file next to
    // what close() needs.
    void require_room(std::uint32_t pages) const;

    // Writes the remaining pages (indexes, maps, definitions, global map,
    // header) and completes the file under its temporary name.
    void finish();
};

}  // namespace tessaly::jetdb
