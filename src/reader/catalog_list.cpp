#include "reader/catalog_list.h"

#include <charconv>

#include "reader/row_reader.h"
#include "reader/table_def.h"

namespace tessaly::reader {

namespace {

// Catalog column slots by version, used when a column is not found by name.
struct CatalogSlots {
    int type, id, name;
};
constexpr CatalogSlots kJet4Slots{16, 6, 11};
constexpr CatalogSlots kJet3Slots{3, 0, 2};

int find_column(const TableDef& table, std::string_view name, int fallback) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].name == name) return static_cast<int>(i);
    return fallback < static_cast<int>(table.columns.size()) ? fallback : -1;
}

}  // namespace

std::int64_t parse_catalog_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i < text.size() && text[i] == '+') ++i;
    std::int64_t value = 0;
    auto r = std::from_chars(text.data() + i, text.data() + text.size(), value);
    return r.ec == std::errc() ? value : 0;
}

bool list_catalog(const std::shared_ptr<JetFile>& file, recovery::RecoveryState& state,
                  std::vector<CatalogObject>& objects) {
    objects.clear();
    CatalogEntry entry;
    entry.file = file;
    entry.definition_page = kCatalogPage;
    auto table = read_table_def(entry);
    if (!table || !read_columns(*table) || table->columns.empty()) return false;
    const CatalogSlots slots = file->is_jet4() ? kJet4Slots : kJet3Slots;
    const int type_at = find_column(*table, "Type", slots.type);
    const int id_at = find_column(*table, "Id", slots.id);
    const int name_at = find_column(*table, "Name", slots.name);
    if (type_at < 0 || id_at < 0 || name_at < 0) return false;
    rewind_rows(*table);
    while (next_row(*table, state) == 1) {
        const auto& values = state.column_values;
        CatalogObject object;
        object.stored_type = static_cast<std::int32_t>(parse_catalog_number(values[type_at]));
        object.type = object.stored_type & kObjectTypeMask;
        object.definition_page = parse_catalog_number(values[id_at]) & kObjectIdPageMask;
        object.name = values[name_at];
        objects.push_back(std::move(object));
    }
    return true;
}

bool is_user_table(const CatalogObject& object) {
    return object.type == kObjectTypeTable && !object.name.empty() &&
           !object.name.starts_with(kSystemObjectPrefix);
}

}  // namespace tessaly::reader
