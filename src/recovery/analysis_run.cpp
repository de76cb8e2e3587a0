#include "recovery/analysis_run.h"

#include "log/log_texts.h"
#include "reader/catalog_list.h"
#include "recovery/catalog_walk.h"
#include "recovery/display_lists.h"
#include "recovery/source_paths.h"

namespace tessaly::recovery {
namespace {

void show_tree(DisplaySurfaces& display, const std::string& shown_path,
               const std::vector<TableSummary>& tables) {
    PreviewTree* tree = display.preview_tree;
    if (!tree) return;
    const PreviewTree::Item root = tree->insert_item(shown_path, std::nullopt);
    for (const TableSummary& t : tables)
        tree->insert_item(t.name, root);
    tree->expand(root);
    tree->ensure_visible(root);
}

void show_summary(DisplaySurfaces& display, const std::vector<TableSummary>& tables) {
    PreviewRecordList* list = display.preview_records;
    if (!list) return;
    list->set_extended_style(kFlatScrollBarsStyle);
    list->insert_column(0, kSummaryHeading, ColumnAlign::Center, kSummaryColumnWidth);
    std::size_t line = 0;
    for (const std::string& text : analysis_summary_lines(tables))
        list->insert_line(line++, text);
}

}  // namespace

std::vector<std::string> analysis_summary_lines(const std::vector<TableSummary>& tables) {
    std::int64_t records = 0;
    for (const TableSummary& t : tables)
        records += t.record_count;
    std::vector<std::string> lines;
    lines.push_back(std::to_string(records) + "  records in " + std::to_string(tables.size()) +
                    " tables");
    lines.emplace_back();
    lines.emplace_back("TABLES :");
    for (const TableSummary& t : tables)
        lines.push_back(t.name + " :   " + std::to_string(t.column_count) + " columns,  " +
                        std::to_string(t.record_count) + "  records");
    return lines;
}

AnalysisResult run_analysis(RecoveryState& state, RebuildDispatch& dispatch, AnalysisView& view) {
    view.start_timer(kAnalysisTimerMillis);
    state.stop_requested.store(false);
    state.run_mode = RunMode::Analysis;
    state.found_tables.clear();

    const int number = preview_file_number(state.display);
    const std::string path = source_path_at(
        state, number > 0 ? static_cast<std::size_t>(number - 1) : state.source_files.size());
    state.preview_source_path = path;
    state.close_source_on_release = false;

    AnalysisResult outcome;
    state.preview_source = reader::jet_open(path, state, &outcome.open_error);
    outcome.opened = state.preview_source != nullptr;
    if (outcome.opened) outcome.result = walk_catalog(state, state.preview_source, dispatch);

    outcome.shown_path = normalize_drive_separator(path);
    show_tree(state.display, outcome.shown_path, state.found_tables);
    show_summary(state.display, state.found_tables);

    std::vector<log::TableCounts> counts;
    for (const TableSummary& t : state.found_tables)
        counts.push_back({t.name, t.column_count, t.record_count});
    log::log_analysis_summary(outcome.shown_path, counts);
    return outcome;
}

int run_table_load(RecoveryState& state, RebuildDispatch& dispatch) {
    state.stop_requested.store(false);
    state.preview_source = reader::jet_open(state.preview_source_path, state);
    if (!state.preview_source) return 1;
    return dispatch.process_table(state, state.preview_source, reader::kObjectTypeTable,
                                  state.selected_table_page, state.selected_table_name);
}

}  // namespace tessaly::recovery
