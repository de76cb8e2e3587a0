// Helpers shared by the rebuild tests: a stop question that always says yes,
// a scoped environment variable, and value bytes the page builder lacks.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "recovery/stop_control.h"
#include "support/jet_page_builder.h"

namespace tessaly::test {

class YesStopQuestion : public recovery::StopQuestion {
  public:
    int asked = 0;
    void pause_progress(recovery::RunMode) override {}
    bool ask(recovery::RunMode, std::string_view) override {
        ++asked;
        return true;
    }
    void resume_progress(recovery::RunMode, int) override {}
};

// Sets an environment variable for the object's lifetime.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (saved_)
            ::setenv(name_, saved_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

// A money value: signed 64-bit ten-thousandths, little-endian.
inline CellValue money_value(std::int64_t ten_thousandths) {
    CellValue v{true, {}};
    for (int i = 0; i < 8; ++i)
        v.bytes.push_back(
            static_cast<std::uint8_t>(static_cast<std::uint64_t>(ten_thousandths) >> (8 * i)));
    return v;
}

}  // namespace tessaly::test
