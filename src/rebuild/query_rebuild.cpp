#include "rebuild/query_rebuild.h"

#include <optional>

#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "rebuild/destination.h"
#include "rebuild/system_tables.h"

namespace tessaly::rebuild {
namespace {

constexpr SavedQuerySlots kJet4Order{0, 1, 2, 3, 4, 5, 6, 7};
constexpr SavedQuerySlots kJet3Order{1, 5, 6, kNoSlot, 3, 4, 0, 2};

// Creates and appends one saved query; false when the destination refused
// any step. A query object left open by a refused step is closed first.
bool store_query(DestQueryDef* query, std::string_view name,
                 const std::optional<std::string>& sql) {
    if (!query) return false;
    try {
        if (query->is_open()) query->close();
        if (sql)
            query->create(name, *sql);
        else
            query->create(name);
        query->append();
        return true;
    } catch (const jetdb::EngineError&) {
        return false;
    }
}

}  // namespace

SavedQuerySlots saved_query_slots(const std::vector<reader::ColumnDef>& columns, bool jet4) {
    const bool by_name = has_any_column(columns, {"Attribute", "Expression", "Flag", "LvExtra",
                                                  "Name1", "Name2", "ObjectId", "Order"});
    const SavedQuerySlots& usual = jet4 ? kJet4Order : kJet3Order;
    auto slot = [&](std::string_view name, std::size_t usual_slot) {
        return column_slot(columns, name, by_name ? kNoSlot : usual_slot);
    };
    return {slot("Attribute", usual.attribute), slot("Expression", usual.expression),
            slot("Flag", usual.flag),           slot("LvExtra", usual.lv_extra),
            slot("Name1", usual.name1),         slot("Name2", usual.name2),
            slot("ObjectId", usual.object_id),  slot("Order", usual.order)};
}

SavedQueryRow saved_query_row(const std::vector<std::string>& values,
                              const SavedQuerySlots& slots) {
    SavedQueryRow row;
    row.attribute = slot_text(values, slots.attribute);
    row.expression = slot_text(values, slots.expression);
    row.flag = slot_text(values, slots.flag);
    row.lv_extra = slot_text(values, slots.lv_extra);
    row.name1 = slot_text(values, slots.name1);
    row.name2 = slot_text(values, slots.name2);
    row.object_id = slot_text(values, slots.object_id);
    row.order = slot_text(values, slots.order);
    return row;
}

int rebuild_query(recovery::RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                  std::int32_t /*object_type*/, std::int64_t key, std::string_view name) {
    if (!file) return 1;
    const std::int64_t page = system_table_page(file, kSavedQueryTableName, kSavedQueryTablePage);
    reader::CatalogEntry entry{file, std::string(name), 0, page};
    std::unique_ptr<reader::TableDef> table = reader::read_table_def(entry);
    if (!table) return 1;
    if (!reader::read_columns(*table)) {
        reader::free_table_def(std::move(table), state);
        return 1;
    }
    reader::rewind_rows(*table);
    const SavedQuerySlots slots = saved_query_slots(table->columns, file->is_jet4());

    const auto query_key = static_cast<std::uint32_t>(key);
    std::vector<SavedQueryRow> rows;
    while (true) {
        const int read = reader::next_row(*table, state);
        if (read == recovery::STOP_CODE) {
            reader::free_table_def(std::move(table), state);
            return recovery::STOP_CODE;
        }
        if (read != 1) break;
        SavedQueryRow row = saved_query_row(state.column_values, slots);
        if (row_belongs_to_query(row, query_key)) rows.push_back(std::move(row));
    }

    DestQueryDef* query = state.destination ? state.destination->destQueryDef : nullptr;
    if (!store_query(query, name, build_query_text(rows))) store_query(query, name, std::nullopt);

    reader::free_table_def(std::move(table), state);
    if (query) {
        try {
            if (query->is_open()) query->close();
        } catch (const jetdb::EngineError&) {
        }
    }
    return 1;
}

}  // namespace tessaly::rebuild
