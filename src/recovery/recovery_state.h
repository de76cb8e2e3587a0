// The run state shared by the front ends, the recovery driver and the reader.
//
// One RecoveryState exists per run context (the desktop program keeps one for
// the whole process; tests make their own). The reader reaches into it for
// three things only:
//   - column_values: the texts of the row last read, one slot per column;
//   - close_source_on_release: whether releasing a reader object closes the
//     source file at once;
//   - the stop check (see stop_control.h), which reads stop_requested and
//     run_mode before every row.
//
// Threading: stop_requested is written by the user-interface thread and read
// and cleared by the worker thread, so it is atomic. Every other field is used
// by one thread at a time (the worker that owns the run).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recovery/display_lists.h"

namespace tessaly::reader {
class JetFile;
}

namespace tessaly::rebuild {
struct Destination;
}

namespace tessaly::recovery {

class StopQuestion;

// Result every engine loop returns after a confirmed stop; passed upward unchanged.
inline constexpr int STOP_CODE = 5;

// Which kind of run is (or was last) active; decides the stop question asked.
enum class RunMode : char {
    None = 0,
    Save = 'S',
    Analysis = 'P',
};

// One table read completely by an analysis pass.
struct TableSummary {
    std::int64_t definition_page = 0;  // from the catalog
    std::string name;                  // UTF-8
    std::int64_t column_count = 0;
    std::int64_t record_count = 0;  // rows that were not empty
};

struct RecoveryState {
    // Run control.
    RunMode run_mode = RunMode::None;
    std::atomic<bool> stop_requested{false};
    // When true, releasing a table definition or the source file object closes
    // the source at once; when false the source stays open until the next
    // jet_open (or the per-file job) closes the sources left open.
    bool close_source_on_release = false;

    // The front end's implementation of the stop question; null = never ask
    // (a pending stop request is then cleared and the run goes on).
    StopQuestion* stop_question = nullptr;

    // Row values: after a row has been read, column_values[i] holds the UTF-8
    // text of the i-th column of the table's column list. The reader resizes
    // the vector to the column count and overwrites the slots in place, so a
    // row must be used before the next row of any table is read.
    std::vector<std::string> column_values;

    // True while a save run writes to a destination database. Together with
    // close_source_on_release it selects the table pass's mode: save when
    // this is set, preview-table when close_source_on_release is set,
    // analysis otherwise.
    bool save_active = false;

    // The destination engine objects of the running save (destDatabase,
    // destQueryDef, destRecordset); set by the save run around each file.
    // Null outside a save run: the rebuild steps then write nothing.
    rebuild::Destination* destination = nullptr;

    // The display surfaces of the dialogs open at the moment (progress list,
    // preview tree and record list); absent surfaces show nothing.
    DisplaySurfaces display;

    // Tables the analysis has read completely, in the order they were read.
    // Emptied by the analysis run at its start; the table pass appends.
    std::vector<TableSummary> found_tables;

    // Sources opened by jet_open and not yet closed on release. The next
    // jet_open closes those still open (and only those).
    std::vector<std::weak_ptr<reader::JetFile>> sources_left_open;

    // Source files of the runs, in the order they were listed when the run was
    // asked for, and their count at that moment (the save run's loop bound).
    std::vector<std::string> source_files;
    std::int32_t source_file_count = 0;

    // The file opened by the last analysis or table load; it stays open until
    // the next open closes the sources left open.
    std::shared_ptr<reader::JetFile> preview_source;
    // Path of the file the last analysis read; the table load opens it again.
    std::string preview_source_path;
    // The table selected in the preview, loaded by the table-load run.
    std::int64_t selected_table_page = 0;
    std::string selected_table_name;

    // Save hand-off between the preview, the save run and its closing step.
    bool save_current_requested = false;
    bool save_all_requested = false;
    std::string destination_folder_current;
    std::string destination_folder_all;
    // The overwrite prompt's last answer (OverwriteAnswer); 0 before the first.
    std::int32_t overwrite_answer = 0;
    // Set by the save run when it ended with a confirmed stop.
    bool run_aborted = false;
};

// The overwrite prompt's four answers (RecoveryState::overwrite_answer).
enum OverwriteAnswer : std::int32_t {
    kOverwriteUnanswered = 0,
    kOverwriteYes = 1,
    kOverwriteNo = 2,
    kOverwriteYesToAll = 3,
    kOverwriteNoToAll = 4,
};

// The path at zero-based `index` of state.source_files; empty when the list is
// shorter.
inline std::string source_path_at(const RecoveryState& state, std::size_t index) {
    return index < state.source_files.size() ? state.source_files[index] : std::string();
}

}  // namespace tessaly::recovery
