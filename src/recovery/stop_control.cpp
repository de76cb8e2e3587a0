#include "recovery/stop_control.h"

namespace tessaly::recovery {

int check_stop(RecoveryState& state) {
    if (!state.stop_requested.load(std::memory_order_acquire)) return 1;

    std::string_view question;
    switch (state.run_mode) {
        case RunMode::Save:
            question = kSaveStopQuestion;
            break;
        case RunMode::Analysis:
            question = kAnalysisStopQuestion;
            break;
        case RunMode::None:
            break;
    }
    StopQuestion* asker = question.empty() ? nullptr : state.stop_question;
    bool stop = false;
    if (asker) {
        asker->pause_progress(state.run_mode);
        stop = asker->ask(state.run_mode, question);
    }
    state.stop_requested.store(false, std::memory_order_release);
    if (stop) return STOP_CODE;
    if (asker) asker->resume_progress(state.run_mode, kProgressRestartMillis);
    return 1;
}

}  // namespace tessaly::recovery
