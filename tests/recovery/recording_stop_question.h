// A StopQuestion for tests: answers with a preset answer and records the calls.
#pragma once

#include <string>
#include <vector>

#include "recovery/stop_control.h"

namespace tessaly::recovery::test {

class RecordingStopQuestion : public StopQuestion {
  public:
    explicit RecordingStopQuestion(bool answer_yes) : answer_yes_(answer_yes) {}

    void pause_progress(RunMode mode) override { calls.push_back("pause " + mode_name(mode)); }
    bool ask(RunMode mode, std::string_view question) override {
        calls.push_back("ask " + mode_name(mode));
        questions.emplace_back(question);
        return answer_yes_;
    }
    void resume_progress(RunMode mode, int period_millis) override {
        calls.push_back("resume " + mode_name(mode) + " " + std::to_string(period_millis));
    }

    std::vector<std::string> calls;
    std::vector<std::string> questions;

  private:
    static std::string mode_name(RunMode mode) {
        return mode == RunMode::Save ? "S" : mode == RunMode::Analysis ? "P" : "-";
    }
    bool answer_yes_;
};

}  // namespace tessaly::recovery::test
