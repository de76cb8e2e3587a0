// One table while a database is being written: its definition, the data page
// being filled, its usage maps, long-value stores and collected index entries.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "jetdb/data_page.h"
#include "jetdb/index_pages.h"
#include "jetdb/key_set.h"
#include "jetdb/long_value.h"
#include "jetdb/page_file.h"
#include "jetdb/table_definition.h"
#include "jetdb/usage_map.h"

namespace tessaly::jetdb {

// The entries of one real index, kept until the index pages are built.
struct IndexState {
    IndexKeys entries;
    // Unique indexes: the entries, by position, for duplicate checks.
    KeySet unique_keys;
    UsageMap pages;  // filled when the index pages are written
};

// An enforced relationship this table is the foreign side of: the value of
// `column` (a position in the table's columns) must be a key of the unique
// real index `primary_index` of table `primary_table` (a position in the
// database's tables).
struct ForeignKey {
    std::size_t column = 0;
    std::size_t primary_table = 0;
    std::size_t primary_index = 0;
    std::string primary_name;  // for messages
};

class TableStore {
  public:
    TableStore(TableDefinition definition, std::uint32_t tdef_page, std::uint32_t catalog_id)
        : definition_(std::move(definition)), tdef_page_(tdef_page), catalog_id_(catalog_id) {}

    TableDefinition& definition() { return definition_; }
    const TableDefinition& definition() const { return definition_; }
    std::uint32_t tdef_page() const { return tdef_page_; }
    std::uint32_t catalog_id() const { return catalog_id_; }

    // True when a row of this size goes onto the page being filled (no new page).
    bool fits_current_page(std::size_t row_size) const { return open_ && page_.fits(row_size); }
    // Stores an encoded row, starting a new data page when the current one is
    // full (the full page is written to disk). Answers the row's pointer.
    std::uint32_t place_row(PageFile& file, std::span<const std::uint8_t> row);
    // Writes the page being filled; it stays listed as having free space.
    void flush(PageFile& file);
    // Calls `fn(row bytes, row pointer)` for every stored row, page by page.
    void for_each_row(
        PageFile& file,
        const std::function<void(std::span<const std::uint8_t>, std::uint32_t)>& fn) const;

    // The long-value store of a memo/OLE column, created on first use.
    LongValueStore& long_values(std::uint16_t column_number);
    std::vector<LongValueStore>& all_long_values() { return long_values_; }

    // Real index states, kept parallel to definition().real_indexes().
    std::vector<IndexState>& indexes() { return indexes_; }
    const std::vector<IndexState>& indexes() const { return indexes_; }

    const UsageMap& owned() const { return owned_; }
    const UsageMap& free() const { return free_; }

    std::uint32_t row_count = 0;
    std::uint32_t last_autonumber = 0;
    std::vector<ForeignKey> foreign_keys;

  private:
    TableDefinition definition_;
    std::uint32_t tdef_page_;
    std::uint32_t catalog_id_;
    UsageMap owned_;
    UsageMap free_;
    DataPage page_;
    bool open_ = false;
    std::uint32_t page_number_ = 0;
    std::vector<LongValueStore> long_values_;
    std::vector<IndexState> indexes_;
};

}  // namespace tessaly::jetdb
