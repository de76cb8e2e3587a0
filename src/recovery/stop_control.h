// The stop check made before every row the reader reads.
//
// The user interface records a stop request in RecoveryState::stop_requested.
// check_stop, on the worker thread, turns a pending request into one question
// to the user through the StopQuestion interface, which the desktop program and
// the command line implement. Every loop that receives STOP_CODE passes it up.
#pragma once

#include <string_view>

#include "recovery/recovery_state.h"

namespace tessaly::recovery {

// Question shown during a save run (six trailing blanks belong to it).
inline constexpr std::string_view kSaveStopQuestion =
    "Saving is in progress, Do you want to stop ?      ";
// Question shown during an analysis run (six trailing blanks belong to it).
inline constexpr std::string_view kAnalysisStopQuestion =
    "Analysis is in progress, Do you want to stop ?      ";
// Period, in milliseconds, at which the run dialog's progress refresh restarts
// after the user answered No.
inline constexpr int kProgressRestartMillis = 300;

// What a front end supplies for the stop question. All three calls come from
// the worker thread, in the order pause_progress, ask, and (only after a No)
// resume_progress.
class StopQuestion {
  public:
    virtual ~StopQuestion() = default;
    // Stop the progress refresh of the run's dialog while the question is open.
    virtual void pause_progress(RunMode mode) = 0;
    // Ask `question` with Yes and No; true means Yes (stop).
    virtual bool ask(RunMode mode, std::string_view question) = 0;
    // Restart the progress refresh with the given period after a No.
    virtual void resume_progress(RunMode mode, int period_millis) = 0;
};

// Before every row. Returns STOP_CODE when the user has just confirmed a stop,
// otherwise 1. When a request is pending and a run mode is set, asks once
// through state.stop_question (no question without a run mode or without a
// question object); the request is cleared whatever the answer.
int check_stop(RecoveryState& state);

}  // namespace tessaly::recovery
