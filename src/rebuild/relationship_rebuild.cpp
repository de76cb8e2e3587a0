#include "rebuild/relationship_rebuild.h"

#include <limits>

#include "reader/catalog_list.h"
#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "rebuild/destination.h"
#include "rebuild/system_tables.h"

namespace tessaly::rebuild {
namespace {

constexpr RelationshipSlots kJet4Order{1, 3, 4, 5, 6, 7};
constexpr RelationshipSlots kJet3Order{1, 5, 4, 7, 6, 0};

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

RelationshipSlots relationship_slots(const std::vector<reader::ColumnDef>& columns, bool jet4) {
    const bool by_name =
        has_any_column(columns, {"grbit", "szColumn", "szObject", "szReferencedColumn",
                                 "szReferencedObject", "szRelationship"});
    const RelationshipSlots& usual = jet4 ? kJet4Order : kJet3Order;
    auto slot = [&](std::string_view name, std::size_t usual_slot) {
        return column_slot(columns, name, by_name ? kNoSlot : usual_slot);
    };
    return {slot("grbit", usual.attributes),         slot("szColumn", usual.foreign_field),
            slot("szObject", usual.foreign_table),   slot("szReferencedColumn", usual.field),
            slot("szReferencedObject", usual.table), slot("szRelationship", usual.name)};
}

RelationshipRow relationship_row(const std::vector<std::string>& values,
                                 const RelationshipSlots& slots) {
    RelationshipRow row;
    row.attributes = to_attributes(slot_text(values, slots.attributes));
    row.foreign_field = slot_text(values, slots.foreign_field);
    row.foreign_table = slot_text(values, slots.foreign_table);
    row.field = slot_text(values, slots.field);
    row.table = slot_text(values, slots.table);
    row.name = slot_text(values, slots.name);
    return row;
}

int rebuild_relationships(recovery::RecoveryState& state,
                          const std::shared_ptr<reader::JetFile>& file) {
    if (!file) return 1;
    const std::int64_t page =
        system_table_page(file, kRelationshipTableName, kRelationshipTablePage);
    reader::CatalogEntry entry{file, std::string(kRelationshipTableName), 0, page};
    std::unique_ptr<reader::TableDef> table = reader::read_table_def(entry);
    if (!table) return 1;
    if (table->row_count == 0 || !reader::read_columns(*table)) {
        reader::free_table_def(std::move(table), state);
        return 1;
    }
    reader::rewind_rows(*table);
    const RelationshipSlots slots = relationship_slots(table->columns, file->is_jet4());

    DestDatabase* database = state.destination ? state.destination->destDatabase : nullptr;
    int result = 1;
    while (true) {
        const int read = reader::next_row(*table, state);
        if (read == recovery::STOP_CODE) {
            result = recovery::STOP_CODE;
            break;
        }
        if (read != 1) break;
        const RelationshipRow row = relationship_row(state.column_values, slots);
        if (!try_relation(database, row.table + row.foreign_table, row, row.attributes))
            try_relation(database, row.name, row, kRelationNotEnforced);
    }
    reader::free_table_def(std::move(table), state);
    return result;
}

}  // namespace tessaly::rebuild
