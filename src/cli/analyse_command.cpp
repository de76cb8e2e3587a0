// `tessaly analyse [--log FILE] [--json] FILE...`: the analysis run for each
// FILE, printing what the preview would show (the path, the total line,
// "TABLES :" and one line per table) and writing the log summary.
#include <iostream>

#include "cli/command.h"
#include "cli/console_run.h"
#include "cli/run_common.h"
#include "cli/run_options.h"
#include "cli/run_report_json.h"
#include "log/activity_log.h"
#include "recovery/analysis_run.h"
#include "recovery/rebuild_forwarder.h"

namespace tessaly::cli {
namespace {

constexpr const char* kAnalyseHelp =
    "Usage: tessaly analyse [--log FILE] [--json] FILE...\n"
    "\n"
    "Reads each FILE (a Jet 3 or Jet 4 .mdb database, damaged or not) without changing\n"
    "it and prints what can be recovered from it: the number of records and tables,\n"
    "then one line per table with its columns and its non-empty records. The summary\n"
    "is also written to the activity log.\n"
    "\n"
    "  --log FILE   write the activity log to FILE instead of its usual place\n"
    "  --json       print a machine-readable report instead\n"
    "\n"
    "Ctrl-C asks whether to stop (on a terminal) or stops at the next row.\n"
    "\n"
    "Exit status: 0 when every file was processed, 5 when stopped, 2 for usage\n"
    "errors or when no file could be opened.\n";

}  // namespace

int run_analyse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    const std::optional<RunOptions> options = parse_run_options(args, false, error);
    if (!options) {
        err << "tessaly analyse: " << error << " (see tessaly analyse --help)\n";
        return kExitUsage;
    }
    if (options->help) {
        out << kAnalyseHelp;
        return kExitOk;
    }
    if (options->files.empty()) {
        err << "tessaly analyse: expected at least one FILE (see tessaly analyse --help)\n";
        return kExitUsage;
    }
    if (options->log) log::set_log_file_override(*options->log);

    Console console(out, err, false);
    warn_without_signature(console, "analyse", options->files);

    recovery::RecoveryState state;
    CapturedPreview preview;
    state.display.preview_tree = &preview;
    state.display.preview_records = &preview;
    state.source_files = options->files;
    state.source_file_count = static_cast<std::int32_t>(options->files.size());
    ConsoleStopQuestion question(console, interactive_terminal());
    state.stop_question = &question;
    log_run_start(local_now(), options->files);

    recovery::RebuildForwarder forwarder;
    recovery::AnalysisView view;
    std::vector<AnalysedFile> report;
    std::size_t not_opened = 0;
    bool stopped = false;
    InterruptToFlag interrupts(state.stop_requested);
    for (std::size_t i = 0; i < options->files.size() && !stopped; ++i) {
        preview = CapturedPreview{};
        state.display.preview_file_number = static_cast<int>(i + 1);
        const recovery::AnalysisResult r = recovery::run_analysis(state, forwarder, view);
        stopped = r.result == recovery::STOP_CODE;
        AnalysedFile file{r.shown_path, stopped ? "stopped" : "analysed", state.found_tables};
        if (!r.opened) {
            ++not_opened;
            file.outcome = "not_opened";
            console.err_line("tessaly analyse: " + options->files[i] + ": " +
                             open_error_text(r.open_error));
        }
        report.push_back(std::move(file));
        if (options->json) continue;
        console.out_line(preview.root);
        for (const std::string& line : preview.lines)
            console.out_line(line);
        console.out_line("");
    }
    if (options->json) write_analyse_json(out, report, stopped);
    if (stopped) return kExitStopped;
    return not_opened == options->files.size() ? kExitUsage : kExitOk;
}

}  // namespace tessaly::cli
