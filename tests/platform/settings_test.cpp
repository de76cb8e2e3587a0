#include "platform/settings.h"

#include <gtest/gtest.h>

#include "platform/folders.h"
#include "support/temp_env.h"

namespace tessaly::platform {
namespace {

TEST(IniValue, LooksUpSectionAndNameCaseInsensitively) {
    const std::string ini =
        "; comment\n"
        "FilePath=/outside/any/section\n"
        "[Other]\n"
        "LogPath=/wrong\n"
        "[ quillon ]\r\n"
        "  logpath =  \"/var/log/with space\"  \r\n"
        "FilePath=/opt/tessaly\n"
        "# FilePath=/commented\n"
        "Broken line without equals\n";
    struct Case {
        const char* section;
        const char* name;
        const char* expected;
    } cases[] = {
        {"Quillon", "LogPath", "/var/log/with space"},
        {"QUILLON", "filepath", "/opt/tessaly"},
        {"Quillon", "Missing", ""},
        {"Other", "LogPath", "/wrong"},
        {"Absent", "LogPath", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read_ini_value(ini, c.section, c.name), c.expected) << c.section << "/" << c.name;
}

TEST(Settings, UserFileFirstThenNothing) {
    test::TempEnv env;
    EXPECT_EQ(read_registry_text(app_registry_key, "FilePath"), "");
    env.write_settings("[Quillon]\nFilePath=/srv/data\n");
    EXPECT_EQ(read_registry_text(app_registry_key, "FilePath"), "/srv/data");
    EXPECT_EQ(program_state_folder(), env.state_home() / "tessaly");
}

}  // namespace
}  // namespace tessaly::platform
