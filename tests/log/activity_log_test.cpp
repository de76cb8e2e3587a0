#include "log/activity_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "log/log_texts.h"
#include "support/temp_env.h"

namespace tessaly::log {
namespace {

class ActivityLog : public ::testing::Test {
  protected:
    test::TempEnv env;
    void TearDown() override { set_log_file_override({}); }
};

TEST_F(ActivityLog, FolderComesFromLogPathThenFilePathThenStateFolder) {
    auto logs = env.root() / "logs";
    auto install = env.root() / "install";
    std::filesystem::create_directories(logs);
    std::filesystem::create_directories(install);

    EXPECT_EQ(log_file_path(), env.state_home() / "tessaly" / "Activity Log.txt");

    env.write_settings("[Quillon]\nLogPath=" + (env.root() / "missing").string() +
                       "\nFilePath=" + install.string() + "\n");
    EXPECT_EQ(log_file_path(), install / "Activity Log.txt");

    env.write_settings("[Quillon]\nLogPath=" + logs.string() + "\nFilePath=" + install.string() +
                       "\n");
    EXPECT_EQ(log_file_path(), logs / "Activity Log.txt");

    set_log_file_override(env.root() / "custom.log");
    EXPECT_EQ(log_file_path(), env.root() / "custom.log");
}

TEST_F(ActivityLog, AppendsWholeTextsToTheStateFolderByDefault) {
    const std::string long_text(1000, 'x');
    EXPECT_TRUE(append_log("a"));
    EXPECT_TRUE(append_log(long_text));
    EXPECT_TRUE(append_log("\xC3\xA9\r\n"));
    EXPECT_EQ(test::read_file(log_file_path()), "a" + long_text + "\xC3\xA9\r\n");
}

TEST_F(ActivityLog, RestartsOnlyAboveTheSizeLimit) {
    const auto file = env.root() / "size.log";
    set_log_file_override(file);
    for (std::uintmax_t size : {log_size_limit, log_size_limit + 1}) {
        std::filesystem::remove(file);
        std::ofstream(file, std::ios::binary) << std::string(size, 'o');
        ASSERT_TRUE(append_log("new"));
        if (size == log_size_limit) {
            EXPECT_EQ(std::filesystem::file_size(file), size + 3);
        } else {
            EXPECT_EQ(test::read_file(file), "new");
        }
    }
}

TEST_F(ActivityLog, ReadOnlyFileIsMadeWritableAndClearStartsANewFile) {
    auto install = env.root() / "install";
    std::filesystem::create_directories(install);
    env.write_settings("[Quillon]\nFilePath=" + install.string() + "\n");
    const auto file = install / "Activity Log.txt";
    std::ofstream(file) << "old";
    ::chmod(file.c_str(), 0444);
    EXPECT_TRUE(append_log("+"));
    EXPECT_EQ(test::read_file(file), "old+");

    clear_log(install);
    EXPECT_EQ(test::read_file(file), "\r\n");
}

TEST_F(ActivityLog, TextsOfAStartAndAnAnalysisAreExact) {
    set_log_file_override(env.root() / "texts.log");
    std::tm now{};
    now.tm_mday = 9;
    now.tm_mon = 11;
    now.tm_year = 126;
    now.tm_hour = 7;
    now.tm_min = 5;
    now.tm_sec = 9;
    log_program_start(now);
    log_source_files({"/data/a.mdb"});
    log_analysis_summary("/data/a.mdb", {{"Orders", 3, 10}, {"Items", 2, 0}});
    log_table_rebuilt("Orders", 3, 10);
    log_destination("/out/a.mdb", false);
    log_repair_aborted();
    log_completion(false);
    const std::string expected =
        "\r\n\r\n\r\n\r\n"
        "********************************* Start Log File ********************************\r\n\r\n"
        "*************************Tessaly For Microsoft Access************************\r\n\r\n"
        "Version 1.0\r\n"
        "Date    9\\12\\2026\r\n"
        "Time    7:5:9\r\n\r\n"
        "************************* Step 1 :- Source Files Selection ***********************"
        "\r\n\r\n\r\n\r\n\r\n"
        "Source Files :\r\n______________\r\n\r\n"
        "1-   /data/a.mdb\r\n\r\n\r\n\r\n"
        "************************* Step 2 :- Analysis of Files ***********************\r\n\r\n"
        "\r\n\r\nSelected File For Repairing :   /data/a.mdb\r\n"
        "Total Tables :                   2\r\n"
        "Total Records :                  10\r\n\r\n"
        "Table Name : Orders\r\n3 Columns, 10 Records\r\n\r\n"
        "Table Name : Items\r\n2 Columns, 0 Records\r\n\r\n"
        "\r\n"
        "Repairing Table :           Orders\r\n"
        "Total Fields Recovered :    3\r\n"
        "Total Records Recovered :   10\r\n\r\n"
        "Destination File Path:     /out/a.mdb\r\n\r\n"
        "\r\n\r\n******************* Repairing aborted***********************************"
        "\r\n\r\nRepairing Completed successfully";
    EXPECT_EQ(test::read_file(env.root() / "texts.log"), expected);
}

}  // namespace
}  // namespace tessaly::log
