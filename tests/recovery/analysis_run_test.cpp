// The analysis run, the table load and the per-file repair job over
// synthetic files.
#include "recovery/analysis_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "log/activity_log.h"
#include "recovery/recording_dispatch.h"
#include "recovery/repair_job.h"
#include "support/jet_page_builder.h"
#include "support/recording_display.h"
#include "support/temp_env.h"

namespace tessaly::recovery::test {
namespace {

namespace fs = std::filesystem;

class Runs : public ::testing::Test {
  protected:
    tessaly::test::TempEnv env;
    tessaly::test::RecordingDisplay display;
    RecoveryState state;
    RecordingDispatch dispatch;
    AnalysisView view;
    fs::path sample;

    void SetUp() override {
        log::set_log_file_override(env.root() / "activity.log");
        sample = env.root() / "sample.mdb";
        const auto bytes = tessaly::test::sample_database(false);
        std::ofstream(sample, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        state.display = display.surfaces;
        dispatch.summarise = true;
    }
    void TearDown() override { log::set_log_file_override({}); }
    std::string log_text() const { return tessaly::test::read_file(env.root() / "activity.log"); }
};

TEST(AnalysisSummary, HeaderLinesThenOneLinePerTableInOrder) {
    std::vector<TableSummary> tables;
    for (int i = 1; i <= 5; ++i)
        tables.push_back({i, "T" + std::to_string(i), i, 10 * i});
    const auto lines = analysis_summary_lines(tables);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "150  records in 5 tables");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "TABLES :");
    EXPECT_EQ(lines[3], "T1 :   1 columns,  10  records");
    EXPECT_EQ(lines[7], "T5 :   5 columns,  50  records");
    EXPECT_EQ(analysis_summary_lines({}).front(), "0  records in 0 tables");
}

TEST_F(Runs, AnalysisFillsTreeSummaryAndLog) {
    state.source_files = {"/nowhere/first.mdb", sample.string()};
    state.display.preview_file_number = 2;
    state.stop_requested = true;  // left over from an earlier run: cleared at the start
    const AnalysisResult r = run_analysis(state, dispatch, view);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(state.run_mode, RunMode::Analysis);
    EXPECT_EQ(state.preview_source_path, sample.string());
    EXPECT_EQ(display.tree.children(std::nullopt), (std::vector<std::string>{sample.string()}));
    EXPECT_EQ(display.tree.children(0), (std::vector<std::string>{"People", "Flags"}));
    EXPECT_TRUE(display.tree.nodes[0].expanded);
    EXPECT_EQ(display.records.headings, (std::vector<std::string>{"Summery"}));
    ASSERT_EQ(display.records.lines.size(), 5u);
    EXPECT_EQ(display.records.lines[0][0], "4  records in 2 tables");
    EXPECT_EQ(display.records.lines[3][0], "People :   5 columns,  2  records");
    EXPECT_EQ(log_text(), "\r\n\r\nSelected File For Repairing :   " + sample.string() +
                              "\r\nTotal Tables :                   2\r\n"
                              "Total Records :                  4\r\n\r\n"
                              "Table Name : People\r\n5 Columns, 2 Records\r\n\r\n"
                              "Table Name : Flags\r\n2 Columns, 2 Records\r\n\r\n\r\n");
}

TEST_F(Runs, AnalysisOfAFileThatCannotBeOpenedStillShowsAndLogs) {
    state.source_files = {(env.root() / "missing.mdb").string()};
    state.display.preview_file_number = 1;
    state.found_tables.push_back({9, "stale", 1, 1});
    const AnalysisResult r = run_analysis(state, dispatch, view);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.open_error, reader::OpenError::NotFound);
    EXPECT_TRUE(state.found_tables.empty());
    EXPECT_EQ(display.tree.children(0), std::vector<std::string>{});
    EXPECT_EQ(display.records.lines.at(0).at(0), "0  records in 0 tables");
    EXPECT_NE(log_text().find("Total Tables :                   0\r\n"), std::string::npos);
}

TEST_F(Runs, StoppedAnalysisListsTheTablesCompletedBefore) {
    state.source_files = {sample.string()};
    state.display.preview_file_number = 1;
    dispatch.stop_at_call = 1;
    const AnalysisResult r = run_analysis(state, dispatch, view);
    EXPECT_EQ(r.result, STOP_CODE);
    ASSERT_EQ(state.found_tables.size(), 1u);
    EXPECT_EQ(display.records.lines.at(0).at(0), "2  records in 1 tables");
    EXPECT_EQ(display.tree.children(0), (std::vector<std::string>{"People"}));
}

TEST_F(Runs, TableLoadOpensTheAnalysedFileAgain) {
    RecordingDispatch probe;
    // The definition page comes from a prior analysis.
    state.selected_table_name = "People";
    state.source_files = {sample.string()};
    state.display.preview_file_number = 1;
    run_analysis(state, dispatch, view);
    state.selected_table_page = state.found_tables.at(0).definition_page;
    EXPECT_EQ(run_table_load(state, probe), 1);
    ASSERT_EQ(probe.calls.size(), 1u);
    EXPECT_EQ(probe.calls[0].name, "People");
    EXPECT_EQ(probe.calls[0].type, 1);
    EXPECT_EQ(probe.calls[0].rows, 2);

    state.preview_source_path = (env.root() / "gone.mdb").string();
    probe.calls.clear();
    EXPECT_EQ(run_table_load(state, probe), 1);
    EXPECT_TRUE(probe.calls.empty()) << "no table pass without a source";
}

TEST_F(Runs, RepairJobAnnouncesOnlyDuringSaveAndNeverTouchesTheSource) {
    ASSERT_EQ(chmod(sample.c_str(), 0444), 0);
    struct stat before {};
    ASSERT_EQ(stat(sample.c_str(), &before), 0);
    const std::string bytes = tessaly::test::read_file(sample);

    EXPECT_EQ(repair_source_file(state, sample, dispatch), 1);
    EXPECT_TRUE(display.progress.lines.empty());
    EXPECT_EQ(dispatch.summary(), (std::vector<std::string>{"table:People", "table:Flags"}));

    state.save_active = true;
    dispatch.calls.clear();
    EXPECT_EQ(repair_source_file(state, sample, dispatch), 1);
    ASSERT_EQ(display.progress.lines.size(), 3u);
    EXPECT_EQ(display.progress.lines[0], "Selected File For Repairing: " + sample.string());
    EXPECT_EQ(display.progress.lines[1], "Scanning file for Table[s] ");
    EXPECT_EQ(display.progress.lines[2], "");
    EXPECT_EQ(dispatch.summary().back(), "relationships");

    dispatch.stop_at_call = 0;
    dispatch.calls.clear();
    EXPECT_EQ(repair_source_file(state, sample, dispatch), STOP_CODE);

    reader::OpenError why = reader::OpenError::None;
    const std::size_t lines = display.progress.lines.size();
    EXPECT_EQ(repair_source_file(state, env.root() / "absent.mdb", dispatch, &why), 1);
    EXPECT_EQ(why, reader::OpenError::NotFound);
    EXPECT_EQ(display.progress.lines.size(), lines) << "no lines for a file not opened";

    struct stat after {};
    ASSERT_EQ(stat(sample.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode) << "a read-only source stays read-only";
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(tessaly::test::read_file(sample), bytes);
}

}  // namespace
}  // namespace tessaly::recovery::test
