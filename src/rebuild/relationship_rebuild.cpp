#include "rebuild/relationship_rebuild.h"

#include <limits>

#include "reader/catalog_list.h"
#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "rebuild/destination.h"

namespace tessaly::rebuild {
namespace {

enum RelationshipSlot : std::size_t {
    kSlotAttributes = 1,
    kSlotForeignField = 3,
    kSlotForeignTable = 4,
    kSlotField = 5,
    kSlotTable = 6,
    kSlotName = 7,
};

std::string slot(const std::vector<std::string>& values, std::size_t index) {
    return index < values.size() ? values[index] : std::string();
}

std::int32_t to_attributes(const std::string& text) {
    const std::int64_t v = reader::parse_catalog_number(text);
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return 0;
    return static_cast<std::int32_t>(v);
}

bool try_relation(DestDatabase* database, const std::string& name, const RelationshipRow& row,
                  std::int32_t attributes) {
    if (!database) return false;
    try {
        database->create_relation(name, row.table, row.foreign_table, attributes, row.field,
                                  row.foreign_field);
        return true;
    } catch (const jetdb::EngineError&) {
        return false;
    }
}

}  // namespace

RelationshipRow relationship_row(const std::vector<std::string>& values) {
    RelationshipRow row;
    row.attributes = to_attributes(slot(values, kSlotAttributes));
    row.foreign_field = slot(values, kSlotForeignField);
    row.foreign_table = slot(values, kSlotForeignTable);
    row.field = slot(values, kSlotField);
    row.table = slot(values, kSlotTable);
    row.name = slot(values, kSlotName);
    return row;
}

int rebuild_relationships(recovery::RecoveryState& state,
                          const std::shared_ptr<reader::JetFile>& file) {
    if (!file) return 1;
    reader::CatalogEntry entry{file, std::string(), 0, kRelationshipTablePage};
    std::unique_ptr<reader::TableDef> table = reader::read_table_def(entry);
    if (!table) return 1;
    if (table->row_count == 0 || !reader::read_columns(*table)) {
        reader::free_table_def(std::move(table), state);
        return 1;
    }
    reader::rewind_rows(*table);

    DestDatabase* database = state.destination ? state.destination->destDatabase : nullptr;
    int result = 1;
    while (true) {
        const int read = reader::next_row(*table, state);
        if (read == recovery::STOP_CODE) {
            result = recovery::STOP_CODE;
            break;
        }
        if (read != 1) break;
        const RelationshipRow row = relationship_row(state.column_values);
        if (!try_relation(database, row.table + row.foreign_table, row, row.attributes))
            try_relation(database, row.name, row, kRelationNotEnforced);
    }
    reader::free_table_def(std::move(table), state);
    return result;
}

}  // namespace tessaly::rebuild
