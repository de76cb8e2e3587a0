#include "platform/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace tessaly::platform {
namespace {

std::filesystem::path absolute_env(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return {};
    std::filesystem::path p(value);
    return p.is_absolute() ? p : std::filesystem::path();
}

}  // namespace

std::filesystem::path home_folder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::filesystem::path config_home() {
    auto p = absolute_env("XDG_CONFIG_HOME");
    return p.empty() ? home_folder() / ".config" : p;
}

std::filesystem::path state_home() {
    auto p = absolute_env("XDG_STATE_HOME");
    return p.empty() ? home_folder() / ".local" / "state" : p;
}

std::filesystem::path program_state_folder() {
    return state_home() / "tessaly";
}

}  // namespace tessaly::platform
