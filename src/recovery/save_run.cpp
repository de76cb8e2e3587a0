#include "recovery/save_run.h"

#include <atomic>
#include <system_error>

#include "log/log_texts.h"
#include "recovery/display_lists.h"
#include "recovery/repair_job.h"
#include "recovery/source_paths.h"
#include "recovery/stop_control.h"

namespace tessaly::recovery {
namespace {

constexpr int kTimerStep = 5;
constexpr int kOverallTickLimit = 80;

std::atomic<int>& overall_tick_counter() {
    static std::atomic<int> counter{0};
    return counter;
}

bool file_exists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// Deletes an existing destination the user agreed to replace. A file that
// cannot be deleted stays, and creating the destination then fails.
void delete_destination(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

std::filesystem::path run_destination_folder(const std::string& chosen,
                                             const std::string& run_folder) {
    std::filesystem::path folder = std::filesystem::path(chosen) / run_folder;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);  // an existing folder is fine
    return folder;
}

// Creates the destination, runs the job, closes the destination.
SaveFileOutcome save_one(RecoveryState& state, const SaveRunServices& s, SaveFileOutcome outcome,
                         bool after_overwrite_confirmed) {
    if (!reader::jet_open(outcome.source, state, &outcome.open_error)) {
        outcome.status = SaveFileStatus::SourceNotOpened;
        return outcome;
    }
    log::log_destination(outcome.destination.string(), after_overwrite_confirmed);
    state.save_active = true;
    if (!s.destinations.create(state, outcome.destination)) {
        outcome.status = SaveFileStatus::NotCreated;
        return outcome;
    }
    s.view.file_started(outcome);
    outcome.result = repair_source_file(state, outcome.source, s.dispatch, &outcome.open_error);
    s.destinations.close(state);
    outcome.status =
        outcome.result == STOP_CODE ? SaveFileStatus::Stopped : SaveFileStatus::Repaired;
    if (outcome.result == STOP_CODE) log::log_repair_aborted();
    return outcome;
}

int save_current(RecoveryState& state, const SaveRunServices& s, const std::string& run_folder) {
    const int number = preview_file_number(state.display);
    SaveFileOutcome outcome;
    outcome.index = number - 1;
    outcome.source = normalize_drive_separator(source_path_at(
        state, number > 0 ? static_cast<std::size_t>(number - 1) : state.source_files.size()));
    outcome.destination = destination_path(
        run_destination_folder(state.destination_folder_current, run_folder), outcome.source);
    s.view.show_source(outcome.source);
    s.view.show_file_number(number);
    s.view.show_destination(outcome.destination);

    int last_result = 0;
    bool overwrite_confirmed = false;
    bool declined = false;
    if (file_exists(outcome.destination)) {
        s.view.stop_timer();
        if (s.prompt.confirm_overwrite(outcome.destination.string())) {
            s.view.restart_timer(kSaveTimerAfterPromptMillis);
            delete_destination(outcome.destination);
            overwrite_confirmed = true;
        } else {
            state.save_current_requested = false;
            declined = true;
            outcome.status = SaveFileStatus::Declined;
            s.view.file_finished(outcome);
        }
    }
    if (!declined) {
        outcome = save_one(state, s, outcome, overwrite_confirmed);
        if (outcome.result == STOP_CODE && state.source_file_count == 1) state.run_aborted = true;
        last_result = outcome.result;
        s.view.file_finished(outcome);
        if (state.source_file_count == 1)
            state.save_all_requested = true;
        else
            state.save_current_requested = true;
    }
    s.view.stop_timer();
    s.view.set_overall_progress(kFullProgress);
    s.view.set_current_progress(kFullProgress);
    s.view.closing_pause(kCurrentModeClosingPauseMillis);
    return last_result;
}

int save_all(RecoveryState& state, const SaveRunServices& s, const std::string& run_folder) {
    bool yes_to_all = false;
    bool no_to_all = false;
    std::int32_t declined = 0;
    int last_result = 0;
    const std::int32_t count = state.source_file_count;
    for (std::int32_t i = 0; i < count; ++i) {
        // A stop asked for while no row was being read (for example while the
        // last destination was being written out) ends the run here, before
        // another destination is made.
        if (check_stop(state) == STOP_CODE) {
            log::log_repair_aborted();
            state.run_aborted = true;
            last_result = STOP_CODE;
            break;
        }
        s.view.show_file_number(i + 1);
        SaveFileOutcome outcome;
        outcome.index = i;
        outcome.source =
            normalize_drive_separator(source_path_at(state, static_cast<std::size_t>(i)));
        outcome.destination = destination_path(
            run_destination_folder(state.destination_folder_all, run_folder), outcome.source);
        s.view.show_source(outcome.source);
        s.view.show_destination(outcome.destination);

        if (file_exists(outcome.destination)) {
            bool keep = no_to_all;
            if (!keep) {
                std::int32_t answer = state.overwrite_answer;
                if (!yes_to_all) {
                    s.view.stop_timer();
                    const std::int32_t asked = s.prompt.ask_overwrite(outcome.destination.string());
                    if (asked != kOverwriteUnanswered) state.overwrite_answer = asked;
                    answer = asked;  // closed without an answer: kept, like No
                    s.view.restart_timer(kSaveTimerAfterPromptMillis);
                }
                switch (answer) {
                    case kOverwriteYes:
                        delete_destination(outcome.destination);
                        break;
                    case kOverwriteYesToAll:
                        delete_destination(outcome.destination);
                        yes_to_all = true;
                        break;
                    case kOverwriteNoToAll:
                        no_to_all = true;
                        keep = true;
                        break;
                    default:
                        ++declined;
                        keep = true;
                        break;
                }
            }
            if (keep) {
                outcome.status = SaveFileStatus::Declined;
                s.view.file_finished(outcome);
                continue;
            }
        }
        outcome = save_one(state, s, outcome, false);
        if (outcome.result == STOP_CODE) state.run_aborted = true;
        last_result = outcome.result;
        s.view.file_finished(outcome);
        if (outcome.result == STOP_CODE) break;
        s.view.set_overall_progress((i + 1) * kFullProgress / count);
    }
    if (declined != count && count != 0) {
        state.save_all_requested = true;
    } else {
        state.save_current_requested = false;
        state.save_all_requested = false;
    }
    return last_result;
}

}  // namespace

std::string run_folder_name(const std::tm& t) {
    return std::string(kRunFolderPrefix) + std::to_string(t.tm_hour) + "-" +
           std::to_string(t.tm_min) + "-" + std::to_string(t.tm_sec);
}

std::filesystem::path destination_path(const std::filesystem::path& folder,
                                       std::string_view source) {
    return folder / file_name_part(normalize_drive_separator(source));
}

SaveRunResult run_save(RecoveryState& state, const SaveRunServices& services,
                       const std::tm& local_time) {
    state.save_active = true;
    state.stop_requested.store(false);
    state.run_mode = RunMode::Save;
    SaveRunResult result;
    const std::string folder = run_folder_name(local_time);
    services.view.show_file_count(state.source_file_count);
    log::log_save_start();

    if (state.save_all_requested) {
        result.run_folder = std::filesystem::path(state.destination_folder_all) / folder;
        result.last_result = save_all(state, services, folder);
    } else {
        result.run_folder = std::filesystem::path(state.destination_folder_current) / folder;
        result.last_result = save_current(state, services, folder);
    }

    state.save_active = false;
    services.view.set_current_progress(kFullProgress);
    services.view.stop_timer();
    return result;
}

SaveClosingStep save_closing_step(RecoveryState& state, int last_result) {
    if (state.save_all_requested) {
        state.save_all_requested = false;
        return {SaveClosing::CompletionDialog, {}};
    }
    if (state.save_current_requested) {
        state.save_current_requested = false;
        return {SaveClosing::ClosingMessage,
                last_result == STOP_CODE ? kClosingMessageAborted : kClosingMessageCompleted};
    }
    return {};
}

SaveTimerTick save_timer_tick(const RecoveryState& state, int& current_position,
                              bool main_window_exists) {
    SaveTimerTick tick;
    const bool overall_animated =
        !state.save_all_requested || (state.source_file_count == 1 && main_window_exists);
    current_position += kTimerStep;
    if (current_position >= kFullProgress) current_position = 0;
    tick.current = current_position;
    if (overall_animated) {
        const int ticks = overall_tick_counter().fetch_add(1) + 1;
        if (ticks <= kOverallTickLimit) tick.overall = ticks;
    }
    return tick;
}

}  // namespace tessaly::recovery
