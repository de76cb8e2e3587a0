// Relationships: MSysRelationships rows, the catalog row of type 8, and for
// an enforced relationship the foreign-key logical indexes on both tables.
#include <algorithm>

#include "jetdb/database.h"
#include "jetdb/database_state.h"
#include "jetdb/ddl.h"
#include "jetdb/field_builders.h"
#include "jetdb/index_key.h"
#include "jetdb/row_format.h"
#include "jetdb/table_indexes.h"
#include "jetdb/text_codec.h"

namespace tessaly::jetdb {

using namespace layout;

namespace {

// The one column pair of the relationships this engine creates.
constexpr std::int32_t kRelationColumnCount = 1;
constexpr std::int32_t kRelationColumnIndex = 0;
// Logical-index cascade bytes of a foreign key.
constexpr std::uint8_t kCascadeNone = 0;
constexpr std::uint8_t kCascadeYes = 1;
constexpr std::uint8_t kCascadeSetNull = 2;
// The primary side's logical index is named ".r" and a letter: 'A' plus its number.
constexpr char kPrimarySideNamePrefix[] = ".r";
// Permissions of a new relationship: the creator's rights for the default
// user, and what the Relationships container grants the Users group.
constexpr std::uint32_t kRelationshipUsersRights = kRightsFull;

std::size_t user_table(const DatabaseState& state, std::string_view name) {
    const int i = state.find_table(name);
    if (i < 0 || static_cast<std::size_t>(i) < DatabaseState::kUserTablesStart)
        throw EngineError(
            "The Microsoft Jet database engine cannot find the input table or query '" +
            std::string(name) + "'.");
    return static_cast<std::size_t>(i);
}

std::size_t column_of(const TableDefinition& def, std::string_view name) {
    const int pos = def.find_column(name);
    if (pos < 0) throw EngineError("Field '" + std::string(name) + "' not found in table.");
    return static_cast<std::size_t>(pos);
}

// Position of the real index over exactly `column` (alone), or -1; with
// `unique_only`, only unique ones count.
int single_column_index(const TableDefinition& def, std::uint16_t column, bool unique_only) {
    const auto& real = def.real_indexes();
    for (std::size_t k = 0; k < real.size(); ++k)
        if (real[k].columns.size() == 1 && real[k].columns[0].column == column &&
            (!unique_only || (real[k].flags & kIndexFlagUnique)))
            return static_cast<int>(k);
    return -1;
}

std::string primary_side_name(std::uint32_t number) {
    return std::string(kPrimarySideNamePrefix) + static_cast<char>('A' + number % 26);
}

}  // namespace

void Database::create_relation(std::string_view name, std::string_view table,
                               std::string_view foreign_table, std::int32_t attributes,
                               std::string_view field, std::string_view foreign_field) {
    guarded([&] {
        if (!state_) throw EngineError("The database is not open.");
        DatabaseState& state = *state_;
        check_object_name(name);
        const auto key = fold_name(name);
        if (std::find(state.relation_keys.begin(), state.relation_keys.end(), key) !=
            state.relation_keys.end())
            throw EngineError("Relationship '" + std::string(name) + "' already exists.");
        const std::size_t pi = user_table(state, table), fi = user_table(state, foreign_table);
        TableStore& primary = *state.tables[pi];
        TableStore& foreign = *state.tables[fi];
        const std::size_t pc = column_of(primary.definition(), field);
        const std::size_t fc = column_of(foreign.definition(), foreign_field);
        const Column& pcol = primary.definition().columns()[pc];
        const Column& fcol = foreign.definition().columns()[fc];
        if (pcol.spec.type != fcol.spec.type || pcol.is_long_value())
            throw EngineError(
                "Relationship must be on the same number of fields with the same data types.");
        const bool enforced = (attributes & kRelationNotEnforced) == 0;
        state.require_room(4);  // catalog, permissions, relationship row pages at most

        if (enforced) {
            const int pk = single_column_index(primary.definition(), pcol.number, true);
            if (pk < 0)
                throw EngineError(
                    "No unique index found for the referenced field of the primary table.");
            const RealIndex& pindex =
                primary.definition().real_indexes()[static_cast<std::size_t>(pk)];
            // Stored rows of the foreign table must refer to existing keys.
            std::vector<FieldValue> values;
            foreign.for_each_row(
                *state.file, [&](std::span<const std::uint8_t> row, std::uint32_t) {
                    decode_row(foreign.definition(), row, values);
                    const FieldValue& v = values[fc];
                    if (v.is_null) return;
                    std::vector<std::uint8_t> k;
                    append_index_key(k, pcol.spec, v, pindex.columns[0].ascending);
                    if (!unique_index_has(primary, static_cast<std::size_t>(pk), k))
                        throw EngineError("Data in the table '" + std::string(foreign_table) +
                                          "' violates referential integrity rules.");
                });
            if (primary.definition().logical_indexes().size() >= kMaxTableIndexes ||
                foreign.definition().logical_indexes().size() + (pi == fi ? 1 : 0) >=
                    kMaxTableIndexes)
                throw EngineError("Cannot create more indexes on this table.");

            // The foreign side reuses a real index over its column, or gets a
            // new one (its entries gathered before anything changes).
            int freal = single_column_index(foreign.definition(), fcol.number, false);
            RealIndex new_index;
            IndexState new_entries;
            std::uint64_t new_bytes = 0;
            if (freal < 0) {
                new_index.flags = kIndexFlagAlways;
                new_index.columns.push_back({fcol.number, true});
                new_entries = index_stored_rows(foreign, *state.file, new_index, new_bytes);
            }
            state.account(foreign.definition(), -1);
            if (pi != fi) state.account(primary.definition(), -1);
            if (freal < 0) {
                foreign.definition().real_indexes().push_back(new_index);
                foreign.indexes().resize(foreign.definition().real_indexes().size());
                foreign.indexes().back() = std::move(new_entries);
                state.index_bytes += new_bytes;
                freal = static_cast<int>(foreign.definition().real_indexes().size() - 1);
            }
            const std::uint8_t cascade_update =
                (attributes & kRelationCascadeUpdates) ? kCascadeYes : kCascadeNone;
            const std::uint8_t cascade_delete = (attributes & kRelationCascadeDeletes) ? kCascadeYes
                                                : (attributes & kRelationCascadeToNull)
                                                    ? kCascadeSetNull
                                                    : kCascadeNone;
            LogicalIndex pside, fside;
            pside.number =
                static_cast<std::uint32_t>(primary.definition().logical_indexes().size());
            fside.number =
                pi == fi
                    ? pside.number + 1
                    : static_cast<std::uint32_t>(foreign.definition().logical_indexes().size());
            pside.name = utf8_to_utf16(primary_side_name(pside.number));
            pside.real_index = static_cast<std::uint32_t>(pk);
            pside.kind = kLogicalIndexKindForeign;
            pside.side = 1;
            pside.other_index = static_cast<std::int32_t>(fside.number);
            pside.other_table = foreign.tdef_page();
            fside.name = utf8_to_utf16(name);
            fside.real_index = static_cast<std::uint32_t>(freal);
            fside.kind = kLogicalIndexKindForeign;
            fside.side = 2;
            fside.other_index = static_cast<std::int32_t>(pside.number);
            fside.other_table = primary.tdef_page();
            for (LogicalIndex* li : {&pside, &fside}) {
                li->cascade_update = cascade_update;
                li->cascade_delete = cascade_delete;
            }
            primary.definition().logical_indexes().push_back(pside);
            foreign.definition().logical_indexes().push_back(fside);
            foreign.foreign_keys.push_back(
                {fc, pi, static_cast<std::size_t>(pk), std::string(table)});
            state.account(foreign.definition(), +1);
            if (pi != fi) state.account(primary.definition(), +1);
        }

        const std::uint32_t id = state.next_document_id++;
        state.relation_keys.push_back(key);
        state.add_catalog_entry(id, kRelationshipsContainerId, utf8_to_utf16(name),
                                kObjectTypeRelationship, 0, Account::Admin);
        state.add_aces({{id, Account::Admin, kRightsCreatorDefault, false},
                        {id, Account::Users, kRelationshipUsersRights, false}});
        TableStore& rel = state.system_table(SystemTable::Relationships);
        namespace r = msys_relationships;
        std::vector<FieldValue> row(rel.definition().columns().size());
        row[r::szRelationship] = field_text(utf8_to_utf16(name));
        row[r::grbit] = field_int32(attributes);
        row[r::ccolumn] = field_int32(kRelationColumnCount);
        row[r::icolumn] = field_int32(kRelationColumnIndex);
        row[r::szObject] = field_text(foreign.definition().name());
        row[r::szColumn] = field_text(fcol.name);
        row[r::szReferencedObject] = field_text(primary.definition().name());
        row[r::szReferencedColumn] = field_text(pcol.name);
        state.insert_row(rel, row);
    });
}

}  // namespace tessaly::jetdb
