// Rebuilding one saved query of the source in the destination: its rows are
// read from the saved-query table (definition on page 4), turned into SQL text
// (query_text.h) and stored as a saved query of the same name. When the
// destination refuses the text, an empty saved query of that name is stored
// instead, so every query name of the source exists in the destination.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "reader/jet_file.h"
#include "rebuild/query_text.h"
#include "recovery/recovery_state.h"

namespace tessaly::rebuild {

// Definition page of the saved-query table.
inline constexpr std::int64_t kSavedQueryTablePage = 4;

// The saved-query row held in state.column_values after a row of the
// saved-query table was read: slots 0 Attribute, 1 Expression, 2 Flag,
// 3 LvExtra, 4 Name1, 5 Name2, 6 ObjectId, 7 Order; a missing slot is empty.
SavedQueryRow saved_query_row(const std::vector<std::string>& values);

// Rebuilds the saved query `name` whose catalog key is `key` (the low bits of
// its object id) through state.destination's destQueryDef. `object_type` is
// not used. Reads the whole saved-query table once.
// Returns STOP_CODE when a stop was confirmed while the table was read (then
// nothing is created), otherwise 1, also when the table cannot be read (then
// nothing is created either).
int rebuild_query(recovery::RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                  std::int32_t object_type, std::int64_t key, std::string_view name);

}  // namespace tessaly::rebuild
