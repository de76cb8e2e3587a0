#include "rebuild/system_tables.h"

#include "reader/catalog_list.h"
#include "recovery/recovery_state.h"

namespace tessaly::rebuild {

std::int64_t system_table_page(const std::shared_ptr<reader::JetFile>& file, std::string_view name,
                               std::int64_t fallback_page) {
    if (!file) return fallback_page;
    recovery::RecoveryState own_state;
    std::vector<reader::CatalogObject> objects;
    if (!reader::list_catalog(file, own_state, objects)) return fallback_page;
    for (const reader::CatalogObject& o : objects) {
        if (o.type == reader::kObjectTypeTable && o.name == name && o.definition_page > 0)
            return o.definition_page;
    }
    return fallback_page;
}

bool has_any_column(const std::vector<reader::ColumnDef>& columns,
                    std::initializer_list<std::string_view> names) {
    for (const reader::ColumnDef& c : columns)
        for (std::string_view n : names)
            if (c.name == n) return true;
    return false;
}

std::size_t column_slot(const std::vector<reader::ColumnDef>& columns, std::string_view name,
                        std::size_t fallback) {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == name) return i;
    return fallback < columns.size() ? fallback : kNoSlot;
}

std::string slot_text(const std::vector<std::string>& values, std::size_t slot) {
    return slot < values.size() ? values[slot] : std::string();
}

}  // namespace tessaly::rebuild
