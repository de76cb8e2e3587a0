// Rebuilding one saved query of the source in the destination: its rows are
// read from the saved-query table (system_tables.h finds it, usually on page
// 4), turned into SQL text (query_text.h) and stored as a saved query of the
// same name. When the destination refuses the text, an empty saved query of
// that name is stored instead, so every query name of the source exists in
// the destination.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "reader/jet_file.h"
#include "reader/table_def.h"
#include "rebuild/query_text.h"
#include "recovery/recovery_state.h"

namespace tessaly::rebuild {

// Usual definition page of the saved-query table, when the catalog does not
// name it.
inline constexpr std::int64_t kSavedQueryTablePage = 4;

// Where each field of a saved-query row lies in the table's column list.
struct SavedQuerySlots {
    std::size_t attribute, expression, flag, lv_extra, name1, name2, object_id, order;
};

// The slots of the columns named Attribute, Expression, Flag, LvExtra, Name1,
// Name2, ObjectId and Order (a name not found has no slot). When none of the
// names can be read, the version's usual order: Jet 4 that order; Jet 3
// ObjectId, Attribute, Order, Name1, Name2, Expression, Flag, without LvExtra.
SavedQuerySlots saved_query_slots(const std::vector<reader::ColumnDef>& columns, bool jet4);

// The saved-query row in `values` (a row as the reader left it); a field
// without a slot is empty.
SavedQueryRow saved_query_row(const std::vector<std::string>& values, const SavedQuerySlots& slots);

// Rebuilds the saved query `name` whose catalog key is `key` (the low bits of
// its object id) through state.destination's destQueryDef. `object_type` is
// not used. Reads the whole saved-query table once.
// Returns STOP_CODE when a stop was confirmed while the table was read (then
// nothing is created), otherwise 1, also when the table cannot be read (then
// nothing is created either).
int rebuild_query(recovery::RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                  std::int32_t object_type, std::int64_t key, std::string_view name);

}  // namespace tessaly::rebuild
