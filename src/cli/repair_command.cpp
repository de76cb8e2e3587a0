// `tessaly repair --out DIR [--overwrite=ask|yes|no] [--log FILE] [--json] FILE...`:
// the save run over every FILE, into DIR/Repair_h-m-s/, one new database per
// source, printing the progress list's lines.
#include <filesystem>
#include <iostream>

#include "cli/command.h"
#include "cli/console_run.h"
#include "cli/run_common.h"
#include "cli/run_options.h"
#include "cli/run_report_json.h"
#include "log/activity_log.h"
#include "log/log_texts.h"
#include "recovery/jetdb_destination_factory.h"
#include "recovery/rebuild_forwarder.h"
#include "recovery/run_report.h"
#include "recovery/save_run.h"

namespace tessaly::cli {
namespace {

constexpr const char* kRepairHelp =
    "Usage: tessaly repair --out DIR [--overwrite=ask|yes|no] [--log FILE] [--json] FILE...\n"
    "\n"
    "Recovers each FILE (a damaged Jet 3 or Jet 4 .mdb database) into a new Jet 4\n"
    "database of the same name in DIR/Repair_h-m-s/ (the time the run started). Every\n"
    "readable table is re-created with its columns, primary key and indexes and\n"
    "refilled with every readable row; saved queries and relationships follow. The\n"
    "sources are only read, never changed.\n"
    "\n"
    "  --out DIR             folder that receives the run folder (created when missing)\n"
    "  --overwrite=ask       an existing destination is asked about on a terminal\n"
    "                        (yes, no, yes to all, no to all) and kept without one\n"
    "  --overwrite=yes|no    replace or keep every existing destination\n"
    "  --log FILE            write the activity log to FILE instead of its usual place\n"
    "  --json                print a machine-readable report instead of the progress lines\n"
    "\n"
    "Ctrl-C asks whether to stop (on a terminal) or stops at the next row; a stopped\n"
    "file's destination is a valid database holding what was written.\n"
    "\n"
    "Exit status: 0 when every file was processed, 5 when stopped, 2 for usage\n"
    "errors or when no file could be opened.\n";

constexpr auto kStatusPeriod = std::chrono::milliseconds(200);

int usage(std::ostream& err, const std::string& message) {
    err << "tessaly repair: " << message << " (see tessaly repair --help)\n";
    return kExitUsage;
}

}  // namespace

int run_repair(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    const std::optional<RunOptions> options = parse_run_options(args, true, error);
    if (!options) return usage(err, error);
    if (options->help) {
        out << kRepairHelp;
        return kExitOk;
    }
    if (!options->out) return usage(err, "--out DIR is required");
    if (options->files.empty()) return usage(err, "expected at least one FILE");
    std::error_code ec;
    std::filesystem::create_directories(*options->out, ec);
    if (!std::filesystem::is_directory(*options->out, ec)) {
        err << "tessaly repair: " << *options->out << ": cannot be used as a destination folder\n";
        return kExitUsage;
    }
    if (options->log) log::set_log_file_override(*options->log);

    const bool interactive = interactive_terminal();
    Console console(out, err, status_terminal());
    warn_without_signature(console, "repair", options->files);

    recovery::RecoveryState state;
    ConsoleProgressList progress(console, !options->json);
    state.display.progress = &progress;
    state.source_files = options->files;
    state.source_file_count = static_cast<std::int32_t>(options->files.size());
    state.save_all_requested = true;
    state.destination_folder_all = *options->out;
    ConsoleStopQuestion question(console, interactive);
    state.stop_question = &question;

    const std::tm now = local_now();
    log_run_start(now, options->files);

    recovery::RunReport report;
    recovery::RebuildForwarder forwarder;
    recovery::ReportingDispatch dispatch(forwarder, report);
    recovery::JetdbDestinationFactory destinations(&report);
    ConsoleOverwritePrompt prompt(console, options->overwrite, interactive);
    ConsoleSaveView view(console, "repair");

    console.start_status(
        [&] {
            const std::string table = report.live_table();
            return view.status_text() +
                   (table.empty()
                        ? std::string()
                        : "  " + table + "  " + std::to_string(report.live_rows()) + " rows");
        },
        kStatusPeriod);
    recovery::SaveRunResult result;
    {
        InterruptToFlag interrupts(state.stop_requested);
        result = recovery::run_save(state, {dispatch, destinations, prompt, view}, now);
    }
    console.stop_status();
    log::log_completion(state.run_aborted);

    if (options->json) {
        write_repair_json(out, options->files, view.files, report, state.run_aborted);
    } else {
        console.out_line("Destination folder: " + result.run_folder.string());
    }
    if (state.run_aborted) return kExitStopped;
    std::size_t not_opened = 0;
    for (const auto& f : view.files)
        if (f.outcome.status == recovery::SaveFileStatus::SourceNotOpened) ++not_opened;
    return not_opened == options->files.size() ? kExitUsage : kExitOk;
}

}  // namespace tessaly::cli
