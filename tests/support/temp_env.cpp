#include "support/temp_env.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tessaly::test {
namespace {

std::optional<std::string> get_env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
}

void restore_env(const char* name, const std::optional<std::string>& value) {
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

}  // namespace

TempEnv::TempEnv() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    saved_config_ = get_env("XDG_CONFIG_HOME");
    saved_state_ = get_env("XDG_STATE_HOME");
    std::filesystem::create_directories(config_home());
    std::filesystem::create_directories(state_home());
    ::setenv("XDG_CONFIG_HOME", config_home().c_str(), 1);
    ::setenv("XDG_STATE_HOME", state_home().c_str(), 1);
}

TempEnv::~TempEnv() {
    restore_env("XDG_CONFIG_HOME", saved_config_);
    restore_env("XDG_STATE_HOME", saved_state_);
    std::error_code ec;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root_, ec);
}

void TempEnv::write_settings(const std::string& ini_text) const {
    auto dir = config_home() / "Quillon";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "Quillon.ini", std::ios::binary) << ini_text;
}

std::string read_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace tessaly::test
