// A hand-written INI lookup: two values in one section do not justify a parser
// dependency, and the format read here is the plain `name=value` subset.
#include "platform/settings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/folders.h"

namespace tessaly::platform {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool equal_nocase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::optional<std::filesystem::path> settings_file() {
    const std::string name = std::string(app_registry_key);
    std::error_code ec;
    auto user = config_home() / name / (name + ".ini");
    if (std::filesystem::is_regular_file(user, ec)) return user;
    auto system = std::filesystem::path("/etc/xdg") / name / (name + ".ini");
    if (std::filesystem::is_regular_file(system, ec)) return system;
    return std::nullopt;
}

std::string read_ini_value(std::string_view ini_text, std::string_view section,
                           std::string_view value_name) {
    bool in_section = false;
    std::size_t pos = 0;
    while (pos <= ini_text.size()) {
        std::size_t end = ini_text.find('\n', pos);
        if (end == std::string_view::npos) end = ini_text.size();
        std::string_view line = trim(ini_text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            auto close = line.find(']');
            in_section = close != std::string_view::npos &&
                         equal_nocase(trim(line.substr(1, close - 1)), section);
            continue;
        }
        if (!in_section) continue;
        auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (!equal_nocase(trim(line.substr(0, eq)), value_name)) continue;
        std::string_view value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return {};
}

std::string read_registry_text(std::string_view key, std::string_view value_name) {
    auto file = settings_file();
    if (!file) return {};
    std::ifstream in(*file, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return read_ini_value(text.str(), key, value_name);
}

}  // namespace tessaly::platform
