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
#include <memory>
#include <string>
#include <vector>

namespace tessaly::reader {
class JetFile;
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

    // Sources opened by jet_open and not yet closed on release. The next
    // jet_open closes those still open (and only those).
    std::vector<std::weak_ptr<reader::JetFile>> sources_left_open;
};

}  // namespace tessaly::recovery
