// The stop check made before every row.
#include <gtest/gtest.h>

#include "recovery/recording_stop_question.h"
#include "recovery/stop_control.h"

namespace tessaly::recovery {
namespace {

using test::RecordingStopQuestion;

TEST(CheckStop, NothingPendingGoesOnWithoutAsking) {
    RecoveryState state;
    RecordingStopQuestion question(true);
    state.stop_question = &question;
    state.run_mode = RunMode::Save;
    EXPECT_EQ(check_stop(state), 1);
    EXPECT_TRUE(question.calls.empty());
}

TEST(CheckStop, AsksOncePerRequestWithTheRunsQuestion) {
    struct Case {
        RunMode mode;
        bool yes;
        int result;
        std::vector<std::string> calls;
        std::string_view question;
    };
    const std::string_view save = "Saving is in progress, Do you want to stop ?      ";
    const std::string_view analysis = "Analysis is in progress, Do you want to stop ?      ";
    const Case cases[] = {
        {RunMode::Save, true, STOP_CODE, {"pause S", "ask S"}, save},
        {RunMode::Save, false, 1, {"pause S", "ask S", "resume S 300"}, save},
        {RunMode::Analysis, true, STOP_CODE, {"pause P", "ask P"}, analysis},
        {RunMode::Analysis, false, 1, {"pause P", "ask P", "resume P 300"}, analysis},
    };
    for (const Case& c : cases) {
        RecoveryState state;
        RecordingStopQuestion question(c.yes);
        state.stop_question = &question;
        state.run_mode = c.mode;
        state.stop_requested = true;
        state.stop_requested = true;  // pressed twice before the next row
        EXPECT_EQ(check_stop(state), c.result);
        EXPECT_FALSE(state.stop_requested);
        EXPECT_EQ(question.calls, c.calls);
        ASSERT_EQ(question.questions.size(), 1u);
        EXPECT_EQ(question.questions[0], c.question);
        EXPECT_EQ(check_stop(state), 1) << "the request was answered";
        EXPECT_EQ(question.questions.size(), 1u);
    }
}

TEST(CheckStop, WithoutRunModeOrQuestionTheRequestIsDropped) {
    RecoveryState state;
    RecordingStopQuestion question(true);
    state.stop_question = &question;
    state.stop_requested = true;
    EXPECT_EQ(check_stop(state), 1);
    EXPECT_FALSE(state.stop_requested);
    EXPECT_TRUE(question.calls.empty());

    RecoveryState no_question;
    no_question.run_mode = RunMode::Save;
    no_question.stop_requested = true;
    EXPECT_EQ(check_stop(no_question), 1);
    EXPECT_FALSE(no_question.stop_requested);
}

}  // namespace
}  // namespace tessaly::recovery
