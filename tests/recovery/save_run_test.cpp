// The save run's worker: run folder and destination naming, the overwrite
// decisions of both modes, overall progress, stops and the closing flags.
#include "recovery/save_run.h"

#include <gtest/gtest.h>

#include <fstream>

#include "log/activity_log.h"
#include "recovery/recording_dispatch.h"
#include "support/jet_page_builder.h"
#include "support/recording_display.h"
#include "support/temp_env.h"

namespace tessaly::recovery::test {
namespace {

namespace fs = std::filesystem;

class FakeDestinations : public DestinationFactory {
  public:
    std::vector<std::string> events;
    bool refuse = false;
    bool create(RecoveryState&, const fs::path& path) override {
        if (refuse || fs::exists(path)) {
            events.push_back("refused " + path.filename().string());
            return false;
        }
        std::ofstream(path) << "db";
        events.push_back("create " + path.filename().string());
        open_ = true;
        return true;
    }
    void close(RecoveryState&) override {
        if (open_) events.push_back("close");
        open_ = false;
    }

  private:
    bool open_ = false;
};

class ScriptedPrompt : public OverwritePrompt {
  public:
    std::vector<std::int32_t> answers;  // all-files mode, in order
    bool confirm = false;               // current mode
    std::vector<std::string> asked;     // file names asked about
    bool confirm_overwrite(std::string_view path) override {
        asked.push_back(fs::path(path).filename().string());
        return confirm;
    }
    std::int32_t ask_overwrite(std::string_view path) override {
        asked.push_back(fs::path(path).filename().string());
        if (answers.empty()) return kOverwriteUnanswered;
        const std::int32_t a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
};

class RecordingView : public SaveRunView {
  public:
    std::vector<int> overall;
    std::vector<SaveFileOutcome> finished;
    void set_overall_progress(int percent) override { overall.push_back(percent); }
    void file_finished(const SaveFileOutcome& o) override { finished.push_back(o); }
};

class SaveRun : public ::testing::Test {
  protected:
    tessaly::test::TempEnv env;
    tessaly::test::RecordingDisplay display;
    std::unique_ptr<RecoveryState> state = std::make_unique<RecoveryState>();
    RecordingDispatch dispatch;
    FakeDestinations destinations;
    ScriptedPrompt prompt;
    RecordingView view;
    std::tm clock{};
    fs::path out;

    void SetUp() override {
        log::set_log_file_override(env.root() / "activity.log");
        out = env.root() / "out";
        fs::create_directories(out);
        clock.tm_hour = 14;
        clock.tm_min = 3;
        clock.tm_sec = 7;
        state->display = display.surfaces;
    }
    void TearDown() override { log::set_log_file_override({}); }

    void list_sources(int count) {
        const char* names[] = {"a.mdb", "b.mdb", "c.mdb"};
        for (int i = 0; i < count; ++i) {
            const fs::path p = env.root() / names[i];
            std::ofstream f(p, std::ios::binary);
            const auto bytes = tessaly::test::sample_database(true);
            f.write(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<std::streamsize>(bytes.size()));
            state->source_files.push_back(p.string());
        }
        state->source_file_count = count;
        state->destination_folder_all = out.string();
        state->destination_folder_current = out.string();
    }
    fs::path run_folder() const { return out / "Repair_14-3-7"; }
    void pre_existing(std::initializer_list<const char*> names) {
        fs::create_directories(run_folder());
        for (const char* n : names)
            std::ofstream(run_folder() / n) << "old";
    }
    SaveRunResult run() { return run_save(*state, {dispatch, destinations, prompt, view}, clock); }
    std::string log_text() const { return tessaly::test::read_file(env.root() / "activity.log"); }
};

TEST(SaveRunNames, RunFolderAndDestinationName) {
    std::tm t{};
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 9;
    EXPECT_EQ(run_folder_name(t), "Repair_7-5-9");
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 0;
    EXPECT_EQ(run_folder_name(t), "Repair_23-59-0");
    const fs::path folder = "/out/Repair_1-2-3";
    EXPECT_EQ(destination_path(folder, "C:\\data\\x.mdb"), folder / "x.mdb");
    EXPECT_EQ(destination_path(folder, "/home/u/y.mdb"), folder / "y.mdb");
    EXPECT_EQ(destination_path(folder, "plain.mdb"), folder / "plain.mdb");
}

TEST_F(SaveRun, AllFilesOverwriteDecisions) {
    struct Case {
        const char* what;
        bool existing;
        std::vector<std::int32_t> answers;
        std::int32_t stored_answer;
        std::vector<std::string> created;
        std::size_t prompts;
        bool completion_follows;
    };
    const Case cases[] = {
        {"nothing exists", false, {}, 0, {"a.mdb", "b.mdb", "c.mdb"}, 0, true},
        {"No for every file", true, {2, 2, 2}, 0, {}, 3, false},
        {"No To All first", true, {4}, 0, {}, 1, true},
        {"Yes To All first", true, {3}, 0, {"a.mdb", "b.mdb", "c.mdb"}, 1, true},
        {"Yes, No, Yes", true, {1, 2, 1}, 0, {"a.mdb", "c.mdb"}, 3, true},
        {"closed unanswered", true, {0, 0, 0}, kOverwriteYes, {}, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(run_folder());
        state = std::make_unique<RecoveryState>();
        state->display = display.surfaces;
        list_sources(3);
        state->save_all_requested = true;
        state->overwrite_answer = c.stored_answer;
        if (c.existing) pre_existing({"a.mdb", "b.mdb", "c.mdb"});
        destinations.events.clear();
        prompt = ScriptedPrompt{};
        prompt.answers = c.answers;

        run();
        std::vector<std::string> created;
        for (const auto& e : destinations.events)
            if (e.starts_with("create ")) created.push_back(e.substr(7));
        EXPECT_EQ(created, c.created);
        EXPECT_EQ(prompt.asked.size(), c.prompts);
        EXPECT_EQ(state->save_all_requested, c.completion_follows);
        EXPECT_FALSE(state->save_current_requested);
        EXPECT_FALSE(state->save_active);
        for (const auto& name : {"a.mdb", "b.mdb", "c.mdb"}) {
            const bool replaced =
                std::find(c.created.begin(), c.created.end(), name) != c.created.end();
            if (c.existing && !replaced) {
                EXPECT_EQ(tessaly::test::read_file(run_folder() / name), "old") << name;
            }
        }
    }
}

TEST_F(SaveRun, AllFilesProgressStopAndLog) {
    list_sources(3);
    state->save_all_requested = true;
    const SaveRunResult first = run();
    EXPECT_EQ(first.run_folder, run_folder());
    EXPECT_EQ(view.overall, (std::vector<int>{33, 66, 100}));
    EXPECT_EQ(first.last_result, 1);
    EXPECT_EQ(display.progress.lines.at(0),
              "Selected File For Repairing: " + state->source_files[0]);
    EXPECT_EQ(display.progress.lines.at(1), "Scanning file for Table[s] ");
    EXPECT_NE(log_text().find("Destination File Path:     " + (run_folder() / "c.mdb").string() +
                              "\r\n\r\n"),
              std::string::npos);

    // A second run in the same second finds the first run's files.
    view = RecordingView{};
    prompt.answers = {kOverwriteYesToAll};
    dispatch.calls.clear();
    dispatch.stop_at_call = 1;  // the second table of the first file
    run();
    EXPECT_EQ(prompt.asked, (std::vector<std::string>{"a.mdb"}));
    EXPECT_TRUE(state->run_aborted);
    EXPECT_EQ(view.finished.size(), 1u) << "the files after a stop are not processed";
    EXPECT_EQ(view.finished.at(0).status, SaveFileStatus::Stopped);
    EXPECT_TRUE(view.overall.empty());
    EXPECT_NE(log_text().find("\r\n\r\n******************* Repairing aborted*****"),
              std::string::npos);
    const SaveClosingStep closing = save_closing_step(*state, STOP_CODE);
    EXPECT_EQ(closing.action, SaveClosing::CompletionDialog);
}

TEST_F(SaveRun, SourceThatCannotBeOpenedGetsNoDestination) {
    list_sources(3);
    fs::remove(state->source_files[1]);
    state->save_all_requested = true;
    run();
    EXPECT_EQ(destinations.events,
              (std::vector<std::string>{"create a.mdb", "close", "create c.mdb", "close"}));
    ASSERT_EQ(view.finished.size(), 3u);
    EXPECT_EQ(view.finished[1].status, SaveFileStatus::SourceNotOpened);
    EXPECT_EQ(view.finished[1].open_error, reader::OpenError::NotFound);
    EXPECT_EQ(view.overall, (std::vector<int>{33, 66, 100})) << "the run goes on";
}

TEST_F(SaveRun, DestinationThatCannotBeCreatedIsSkipped) {
    list_sources(2);
    state->save_all_requested = true;
    destinations.refuse = true;
    run();
    EXPECT_TRUE(dispatch.calls.empty()) << "nothing is read for a destination that is not there";
    ASSERT_EQ(view.finished.size(), 2u);
    EXPECT_EQ(view.finished[0].status, SaveFileStatus::NotCreated);
}

TEST_F(SaveRun, CurrentDatabaseModeClosingStep) {
    struct Case {
        const char* what;
        int listed;
        bool existing;
        bool confirm;
        int stop_at_call;
        SaveClosing closing;
        std::string_view message;
        bool aborted;
    };
    const Case cases[] = {
        {"one file listed", 1, false, false, -1, SaveClosing::CompletionDialog, {}, false},
        {"two files listed", 2, false, false, -1, SaveClosing::ClosingMessage,
         kClosingMessageCompleted, false},
        {"stopped, two listed", 2, false, false, 0, SaveClosing::ClosingMessage,
         kClosingMessageAborted, false},
        {"stopped, one listed", 1, false, false, 0, SaveClosing::CompletionDialog, {}, true},
        {"existing, declined", 2, true, false, -1, SaveClosing::Nothing, {}, false},
        {"existing, replaced", 2, true, true, -1, SaveClosing::ClosingMessage,
         kClosingMessageCompleted, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(run_folder());
        fs::remove(env.root() / "activity.log");
        state = std::make_unique<RecoveryState>();
        display.surfaces.preview_file_number = 2 <= c.listed ? 2 : 1;
        state->display = display.surfaces;
        list_sources(c.listed);
        if (c.existing) pre_existing({c.listed == 2 ? "b.mdb" : "a.mdb"});
        prompt = ScriptedPrompt{};
        prompt.confirm = c.confirm;
        dispatch.calls.clear();
        dispatch.stop_at_call = c.stop_at_call;
        destinations.events.clear();

        const SaveRunResult r = run();
        const SaveClosingStep step = save_closing_step(*state, r.last_result);
        EXPECT_EQ(step.action, c.closing);
        EXPECT_EQ(step.message, c.message);
        EXPECT_EQ(state->run_aborted, c.aborted);
        EXPECT_FALSE(state->save_all_requested || state->save_current_requested)
            << "the closing step clears the flag it acted on";
        if (c.existing && c.confirm) {
            EXPECT_NE(
                log_text().find("Destination File Path:  " + (run_folder() / "b.mdb").string()),
                std::string::npos);
        }
        if (c.existing && !c.confirm) {
            EXPECT_TRUE(destinations.events.empty());
            EXPECT_EQ(log_text().find("Destination File Path"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace tessaly::recovery::test
