// The save run: writes the recovered contents of one source file (the one
// the preview shows) or of every listed source file into new databases, one
// per source, inside one run folder "Repair_" + hour + "-" + minute + "-" +
// second (24-hour clock, no leading zeros) under the chosen folder.
//
// run_save is the worker of the File Saving dialog; every question and every
// visible effect goes through the interfaces below, so the desktop dialog and
// the command-line program drive the same code. For each file:
//   1. name the destination: the run folder (created when missing) followed by
//      the source's file name;
//   2. when a file exists there, decide through the overwrite prompt (current
//      mode: Yes/No; all-files mode: Yes, No, Yes To All, No To All); an
//      accepted file is deleted, a declined one is skipped without a log line;
//      a prompt closed without an answer counts as No, so nothing is ever
//      created over an existing file;
//   3. log the destination, create the destination database, run the per-file
//      job (repair_job.h), close the database;
//   4. after a confirmed stop: log the aborted banner, set run_aborted, and
//      end the run (the destination keeps what was written so far). In the
//      all-files mode a stop is also asked about between two files.
// A source that cannot be opened (missing, unreadable, shorter than a page)
// and a destination that cannot be created are reported to the view and
// skipped: no empty destination is left for a source that yields nothing.
//
// At the end the run sets the closing flags (save_all_requested: the
// completion dialog follows; save_current_requested: the closing message
// follows) that save_closing_step turns into the dialog's closing step.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "reader/jet_file.h"
#include "recovery/rebuild_dispatch.h"
#include "recovery/recovery_state.h"

namespace tessaly::recovery {

inline constexpr std::string_view kRunFolderPrefix = "Repair_";
inline constexpr std::string_view kOverwriteQuestion =
    "File Already Exists, Do you want to overwrite the file ?";
inline constexpr std::string_view kClosingMessageAborted = "Repairing aborted                    ";
inline constexpr std::string_view kClosingMessageCompleted =
    "Repairing completed successfully                    ";
// Progress refresh periods of the File Saving dialog, in milliseconds.
inline constexpr int kSaveTimerStartMillis = 2000;
inline constexpr int kSaveTimerAfterPromptMillis = 1000;
// The pause after the current-database mode's only file.
inline constexpr int kCurrentModeClosingPauseMillis = 2000;
inline constexpr int kFullProgress = 100;

// The questions a save run asks about an existing destination file. Called
// from the worker thread; the view's timer has been stopped before.
class OverwritePrompt {
  public:
    virtual ~OverwritePrompt() = default;
    // Current-database mode: kOverwriteQuestion with Yes and No; true = Yes.
    virtual bool confirm_overwrite(std::string_view destination_path) = 0;
    // All-files mode: the four-answer prompt. Answers an OverwriteAnswer;
    // kOverwriteUnanswered when the prompt was closed without an answer.
    virtual std::int32_t ask_overwrite(std::string_view destination_path) = 0;
};

// The destination database engine as the save run uses it.
class DestinationFactory {
  public:
    virtual ~DestinationFactory() = default;
    // Creates a new, empty destination database at `path` (in the locale
    // rebuild::kDestinationLocale names)
    // and makes it the state's destination. False when it could not be
    // created; the state's destination is then left unset.
    virtual bool create(RecoveryState& state, const std::filesystem::path& path) = 0;
    // Closes the destination created last when it is still open, and detaches
    // it from the state. Failures are dropped.
    virtual void close(RecoveryState& state) = 0;
};

// What happened to one source file of a save run.
enum class SaveFileStatus {
    Repaired,         // the job ran to its end (a source that cannot be opened included)
    Stopped,          // the job ended with a confirmed stop
    Declined,         // an existing destination was kept; nothing written
    SourceNotOpened,  // the source cannot be opened: no destination is made for it
    NotCreated,       // the destination database could not be created
};

struct SaveFileOutcome {
    int index = 0;  // zero-based position in the source list
    std::string source;
    std::filesystem::path destination;
    SaveFileStatus status = SaveFileStatus::Repaired;
    int result = 1;  // the job's result
    reader::OpenError open_error = reader::OpenError::None;
};

// What the File Saving dialog shows. Every call comes from the worker thread;
// the defaults do nothing.
class SaveRunView {
  public:
    virtual ~SaveRunView() = default;
    virtual void show_file_count(std::int32_t) {}
    virtual void show_file_number(std::int32_t) {}
    virtual void show_source(std::string_view) {}
    virtual void show_destination(const std::filesystem::path&) {}
    virtual void set_overall_progress(int) {}
    virtual void set_current_progress(int) {}
    virtual void stop_timer() {}
    virtual void restart_timer(int) {}
    // The pause that lets the user read the final state of a current-mode run.
    virtual void closing_pause(int) {}
    // A file's job is about to start (the destination exists, empty).
    virtual void file_started(const SaveFileOutcome&) {}
    // A file is done, skipped or failed.
    virtual void file_finished(const SaveFileOutcome&) {}
};

struct SaveRunServices {
    RebuildDispatch& dispatch;
    DestinationFactory& destinations;
    OverwritePrompt& prompt;
    SaveRunView& view;
};

struct SaveRunResult {
    int last_result = 0;  // the result of the last job run, 0 before any
    std::filesystem::path run_folder;
};

// The run folder's name for a local time: "Repair_h-m-s".
std::string run_folder_name(const std::tm& local_time);

// The destination of `source` under `folder` (the chosen folder plus the run
// folder): the part of the normalised source path after its last separator.
std::filesystem::path destination_path(const std::filesystem::path& folder,
                                       std::string_view source);

// The worker. Chooses the all-files mode when state.save_all_requested is
// set, else the current-database mode (the preview's file, in
// state.display.preview_file_number). `local_time` names the run folder.
SaveRunResult run_save(RecoveryState& state, const SaveRunServices& services,
                       const std::tm& local_time);

// The dialog's closing step once the worker has ended. Clears the flag it
// acts on and says what follows.
enum class SaveClosing {
    CompletionDialog,  // then run_aborted is set back to false by the caller
    ClosingMessage,    // message: kClosingMessageAborted or kClosingMessageCompleted
    Nothing,
};
struct SaveClosingStep {
    SaveClosing action = SaveClosing::Nothing;
    std::string_view message;
};
SaveClosingStep save_closing_step(RecoveryState& state, int last_result);

// The File Saving dialog's refresh timer: the current bar moves by 5 and wraps
// at 100; the overall bar follows a process-wide tick counter (never reset, so
// it only moves in the first runs) while it is animated, which is when the run
// saves one file: the current-database mode, or all files when exactly one is
// listed and the main window still exists.
struct SaveTimerTick {
    int current = 0;
    std::optional<int> overall;  // set when the overall bar moves
};
SaveTimerTick save_timer_tick(const RecoveryState& state, int& current_position,
                              bool main_window_exists);

}  // namespace tessaly::recovery
