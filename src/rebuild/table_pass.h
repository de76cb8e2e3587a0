// One pass over one table of an open source file, in the mode the run state
// selects:
//   analysis      count the non-empty rows and append a TableSummary to
//                 state.found_tables (only when the table was read to its end);
//   preview-table one preview column per table column and one preview line
//                 per non-empty row; money cells show the user's currency
//                 symbol in front of the value ("0" for an empty one);
//   save          re-create the table in state.destination (schema_rebuild.h),
//                 add every non-empty row as a new record, then write the
//                 table's summary to the progress list and the activity log.
//
// A row is empty when every value text is empty; empty rows are neither
// counted nor shown nor stored. Every value reaches the destination as the
// text the reader rendered; the engine converts it to the field's type.
//
// Engine failures cost only what they concern: a refused field leaves that
// field unset, a refused record (add_new or update) drops that row (it is
// still counted), a recordset that could not be opened receives no records
// while the rows are still read and counted. Nothing is logged about them.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "reader/jet_file.h"
#include "recovery/recovery_state.h"

namespace tessaly::rebuild {

enum class PassMode { Analysis, PreviewTable, Save };

// Save when state.save_active, else preview-table when
// state.close_source_on_release, else analysis.
PassMode pass_mode(const recovery::RecoveryState& state);

// Progress-list texts of a rebuilt table (the number follows each label).
inline constexpr std::string_view kListTableLabel = "Repairing Table :                   ";
inline constexpr std::string_view kListFieldsLabel = "Total Fields Recovered :       ";
inline constexpr std::string_view kListRecordsLabel = "Total Records Recovered :   ";

// Makes one pass over the table whose definition starts at `definition_page`.
// `object_type` and the page are the catalog's values; `table_name` (UTF-8)
// names the table in the destination and in every text shown.
//
// Returns STOP_CODE when a stop was confirmed during the row loop (the end of
// the pass still runs: definition released, recordset closed, save summary
// written with the rows counted so far; no TableSummary), otherwise 1.
// A definition or column list that cannot be read, or a table without
// columns, returns 1 with nothing shown, stored or logged.
//
// file.table_record_count holds the number of non-empty rows read afterwards.
// The definition is released with free_table_def, which closes the source when
// state.close_source_on_release is set (also when the definition could not be
// read).
int process_table(recovery::RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                  std::int32_t object_type, std::int64_t definition_page,
                  std::string_view table_name);

}  // namespace tessaly::rebuild
