// Recreating the source's relationships in the destination: every row of the
// relationship table (system_tables.h finds it, usually on page 5) becomes a
// one-field relation. It
// is first created under the name table + foreign table with the row's
// attributes; when the destination refuses that (for example because a
// relation of several field pairs already used the name, or a table is
// missing), again under the row's stored name, not enforced; when that is
// refused too, the row is passed over.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "reader/jet_file.h"
#include "reader/table_def.h"
#include "recovery/recovery_state.h"

namespace tessaly::rebuild {

// Usual definition page of the relationship table, when the catalog does not
// name it.
inline constexpr std::int64_t kRelationshipTablePage = 5;

// Where each field the rebuild uses lies in the table's column list.
struct RelationshipSlots {
    std::size_t attributes, foreign_field, foreign_table, field, table, name;
};

// The slots of the columns grbit, szColumn, szObject, szReferencedColumn,
// szReferencedObject and szRelationship (a name not found has no slot). When
// none of the names can be read, the version's usual order (Jet 4: ccolumn, grbit, icolumn,
// szColumn, szObject, szReferencedColumn, szReferencedObject, szRelationship; Jet 3:
// szRelationship, grbit, ccolumn, icolumn, szObject, szColumn,
// szReferencedObject, szReferencedColumn).
RelationshipSlots relationship_slots(const std::vector<reader::ColumnDef>& columns, bool jet4);

// One row of the relationship table: attributes (decimal; 0 when not a
// number), the referencing side (foreign table and field), the referenced
// side (table and field) and the stored name. A field without a slot is empty.
struct RelationshipRow {
    std::int32_t attributes = 0;
    std::string foreign_field;
    std::string foreign_table;
    std::string field;
    std::string table;
    std::string name;
};
RelationshipRow relationship_row(const std::vector<std::string>& values,
                                 const RelationshipSlots& slots);

// Recreates every relationship row through state.destination's destDatabase.
// Returns STOP_CODE when a stop was confirmed while the table was read (rows
// read before the stop have been created), otherwise 1, also when the table
// cannot be read or its stored row count is 0.
int rebuild_relationships(recovery::RecoveryState& state,
                          const std::shared_ptr<reader::JetFile>& file);

}  // namespace tessaly::rebuild
