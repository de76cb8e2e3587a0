// Recreating the source's relationships in the destination: every row of the
// relationship table (definition on page 5) becomes a one-field relation. It
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
#include "recovery/recovery_state.h"

namespace tessaly::rebuild {

// Definition page of the relationship table.
inline constexpr std::int64_t kRelationshipTablePage = 5;

// One row of the relationship table, from state.column_values: slot 1
// attributes (decimal; 0 when not a number), 3 foreign field, 4 foreign table,
// 5 field, 6 table, 7 stored name. A missing slot is empty.
struct RelationshipRow {
    std::int32_t attributes = 0;
    std::string foreign_field;
    std::string foreign_table;
    std::string field;
    std::string table;
    std::string name;
};
RelationshipRow relationship_row(const std::vector<std::string>& values);

// Recreates every relationship row through state.destination's destDatabase.
// Returns STOP_CODE when a stop was confirmed while the table was read (rows
// read before the stop have been created), otherwise 1, also when the table
// cannot be read or its stored row count is 0.
int rebuild_relationships(recovery::RecoveryState& state,
                          const std::shared_ptr<reader::JetFile>& file);

}  // namespace tessaly::rebuild
