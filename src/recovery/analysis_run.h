// The analysis run and the table load: what the preview shows before
// anything is saved.
//
// run_analysis (the Analysis dialog's worker) opens the file the preview
// shows, walks its catalog in analysis mode (every user table's rows are
// counted and a TableSummary appended to state.found_tables for each table
// read completely), then fills the preview's tree (the path, one child per
// table) and record list (the summary lines below), and writes the analysis
// summary to the activity log. A file that cannot be opened yields an empty
// summary, logged all the same; a confirmed stop shows the tables completed
// before it.
//
// run_table_load (the please-wait dialog's worker) opens the analysed file
// again and lets the table pass load the selected table into the preview's
// record list (preview-table mode: the caller sets close_source_on_release
// for the duration). A file that cannot be opened loads nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reader/jet_file.h"
#include "recovery/rebuild_dispatch.h"
#include "recovery/recovery_state.h"

namespace tessaly::recovery {

inline constexpr std::string_view kSummaryHeading = "Summery";
inline constexpr int kSummaryColumnWidth = 400;
// Record-list extended style of the summary: flat scroll bars.
inline constexpr std::uint32_t kFlatScrollBarsStyle = 0x00000100;
inline constexpr int kAnalysisTimerMillis = 300;

// What the Analysis dialog does for its worker; the defaults do nothing.
class AnalysisView {
  public:
    virtual ~AnalysisView() = default;
    virtual void start_timer(int) {}
};

struct AnalysisResult {
    int result = 1;  // the walk's result; 1 when the file could not be opened
    bool opened = false;
    reader::OpenError open_error = reader::OpenError::None;
    std::string shown_path;  // the path as shown in the tree and the log
};

// The summary lines of the record list, in order:
//   R + "  records in " + T + " tables", "", "TABLES :", then per table
//   name + " :   " + columns + " columns,  " + records + "  records".
std::vector<std::string> analysis_summary_lines(const std::vector<TableSummary>& tables);

AnalysisResult run_analysis(RecoveryState& state, RebuildDispatch& dispatch, AnalysisView& view);

// Returns the table pass's result, or 1 when the file could not be opened.
int run_table_load(RecoveryState& state, RebuildDispatch& dispatch);

}  // namespace tessaly::recovery
