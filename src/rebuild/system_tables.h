// Finding the source's system tables of saved queries and relationships and
// the columns the rebuild reads from them.
//
// Jet usually keeps the saved-query table's definition on page 4 and the
// relationship table's on page 5, but not always (some Jet 3 files have them
// the other way round), and the two versions store their columns in different
// orders. So the tables are looked up in the catalog by name and their columns
// by name; the fixed pages and each version's column order serve when the
// catalog or a column name cannot be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reader/jet_file.h"
#include "reader/table_def.h"

namespace tessaly::rebuild {

inline constexpr std::string_view kSavedQueryTableName = "MSysQueries";
inline constexpr std::string_view kRelationshipTableName = "MSysRelationships";

// A column the table does not have.
inline constexpr std::size_t kNoSlot = std::numeric_limits<std::size_t>::max();

// The definition page the catalog gives for the table `name`, or
// `fallback_page` when the catalog cannot be read or does not list it. Reads
// the catalog with a run state of its own, so no stop question is asked and
// no row slot of the caller changes. Moves the file's current page.
std::int64_t system_table_page(const std::shared_ptr<reader::JetFile>& file, std::string_view name,
                               std::int64_t fallback_page);

// True when any of `names` names a column of `columns` (exact match): the
// table's names are readable, so its columns are found by name alone.
bool has_any_column(const std::vector<reader::ColumnDef>& columns,
                    std::initializer_list<std::string_view> names);

// The position in `columns` of the column named `name` (exact match), else
// `fallback` when it lies inside the list, else kNoSlot.
std::size_t column_slot(const std::vector<reader::ColumnDef>& columns, std::string_view name,
                        std::size_t fallback);

// The text in `slot`, empty for kNoSlot or a slot the row does not have.
std::string slot_text(const std::vector<std::string>& values, std::size_t slot);

}  // namespace tessaly::rebuild
