#include "rebuild/query_rebuild.h"

#include <optional>

#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "rebuild/destination.h"

namespace tessaly::rebuild {
namespace {

enum SavedQuerySlot : std::size_t {
    kSlotAttribute = 0,
    kSlotExpression = 1,
    kSlotFlag = 2,
    kSlotLvExtra = 3,
    kSlotName1 = 4,
    kSlotName2 = 5,
    kSlotObjectId = 6,
    kSlotOrder = 7,
};

std::string slot(const std::vector<std::string>& values, std::size_t index) {
    return index < values.size() ? values[index] : std::string();
}

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

SavedQueryRow saved_query_row(const std::vector<std::string>& values) {
    SavedQueryRow row;
    row.attribute = slot(values, kSlotAttribute);
    row.expression = slot(values, kSlotExpression);
    row.flag = slot(values, kSlotFlag);
    row.lv_extra = slot(values, kSlotLvExtra);
    row.name1 = slot(values, kSlotName1);
    row.name2 = slot(values, kSlotName2);
    row.object_id = slot(values, kSlotObjectId);
    row.order = slot(values, kSlotOrder);
    return row;
}

int rebuild_query(recovery::RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                  std::int32_t /*object_type*/, std::int64_t key, std::string_view name) {
    if (!file) return 1;
    reader::CatalogEntry entry{file, std::string(name), 0, kSavedQueryTablePage};
    std::unique_ptr<reader::TableDef> table = reader::read_table_def(entry);
    if (!table) return 1;
    if (!reader::read_columns(*table)) {
        reader::free_table_def(std::move(table), state);
        return 1;
    }
    reader::rewind_rows(*table);

    const auto query_key = static_cast<std::uint32_t>(key);
    std::vector<SavedQueryRow> rows;
    while (true) {
        const int read = reader::next_row(*table, state);
        if (read == recovery::STOP_CODE) {
            reader::free_table_def(std::move(table), state);
            return recovery::STOP_CODE;
        }
        if (read != 1) break;
        SavedQueryRow row = saved_query_row(state.column_values);
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
