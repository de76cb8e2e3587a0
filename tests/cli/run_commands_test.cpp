// The run verbs of `tessaly` (analyse, repair) on synthetic databases: exit
// statuses and error lines, printed summaries and progress lines, the JSON
// report, the overwrite policies, and Ctrl-C as a stop request.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>

#include "jetdb/database.h"
#include "support/catalog_fixture.h"
#include "support/corpus.h"
#include "support/jet_page_builder.h"
#include "support/oracles.h"
#include "support/temp_env.h"

extern char** environ;

namespace tessaly::test {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun tessaly(const std::vector<std::string>& args, const fs::path& dir) {
    std::string command = shell_quote(cli_path().string());
    for (const auto& a : args)
        command += " " + shell_quote(a);
    const fs::path err_file = dir / "stderr.txt";
    CliRun r;
    r.status = run_capture(command + " </dev/null 2>" + shell_quote(err_file.string()), r.out);
    r.err = read_file(err_file);
    return r;
}

void write_bytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

class RunCommands : public ::testing::Test {
  protected:
    TempEnv env;
    fs::path sample;
    fs::path log;
    void SetUp() override {
        sample = env.root() / "sample.mdb";
        write_bytes(sample, sample_database(true));
        log = env.root() / "activity.log";
    }
    CliRun run(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--log", log.string()});
        return tessaly(args, env.root());
    }
};

TEST_F(RunCommands, UsageErrorsAndFilesThatCannotBeOpened) {
    const std::string missing = (env.root() / "missing.mdb").string();
    const std::string out = (env.root() / "out").string();
    std::ofstream(env.root() / "plain.txt") << "not a folder";
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"analyse"}, 2, "expected at least one FILE"},
        {{"analyse", "--bogus", sample.string()}, 2, "unknown option '--bogus'"},
        {{"analyse", "--out", out, sample.string()}, 2, "unknown option '--out'"},
        {{"analyse", missing}, 2, "missing.mdb: no such file"},
        {{"analyse", sample.string(), missing}, 0, "missing.mdb: no such file"},
        {{"repair", sample.string()}, 2, "--out DIR is required"},
        {{"repair", "--out", out}, 2, "expected at least one FILE"},
        {{"repair", "--out", out, "--overwrite=maybe", sample.string()}, 2, "ask, yes or no"},
        {{"repair", "--out", (env.root() / "plain.txt").string(), sample.string()},
         2,
         "cannot be used as a destination folder"},
        {{"repair", "--out", out, missing}, 2, "missing.mdb: no such file"},
        {{"repair", "--out", out, missing, sample.string()}, 0, "missing.mdb: no such file"},
    };
    for (const Case& c : cases) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        std::size_t lines = 0;
        std::istringstream err(r.err);
        for (std::string line; std::getline(err, line);)
            lines += line.find(": warning: ") == std::string::npos;
        EXPECT_EQ(lines, 1u) << r.err;
    }
    for (const char* verb : {"analyse", "repair"}) {
        const CliRun help = tessaly({verb, "--help"}, env.root());
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.out.starts_with(std::string("Usage: tessaly ") + verb)) << help.out;
    }
}

TEST_F(RunCommands, AnalysePrintsTheSummaryAndLogsIt) {
    const CliRun r = run({"analyse", sample.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, sample.string() +
                         "\n4  records in 2 tables\n\nTABLES :\n"
                         "People :   5 columns,  2  records\nFlags :   2 columns,  2  records\n\n");
    const std::string text = read_file(log);
    EXPECT_NE(text.find("Step 2 :- Analysis of Files"), std::string::npos);
    EXPECT_NE(text.find("Table Name : People\r\n5 Columns, 2 Records"), std::string::npos);
    // The synthetic sample carries no Jet signature: tried all the same, with a warning.
    EXPECT_NE(r.err.find("no Jet database signature"), std::string::npos);

    const CliRun json = run({"analyse", "--json", sample.string()});
    EXPECT_EQ(json.out,
              "{\"files\":[{\"source\":\"" + sample.string() +
                  "\",\"outcome\":\"analysed\",\"tables\":["
                  "{\"name\":\"People\",\"columns\":5,\"rows_read\":2},"
                  "{\"name\":\"Flags\",\"columns\":2,\"rows_read\":2}]}],\"stopped\":false}\n");
}

TEST_F(RunCommands, RepairWritesDestinationsProgressLinesAndReport) {
    const fs::path out = env.root() / "out";
    const CliRun r = run({"repair", "--out", out.string(), sample.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Selected File For Repairing: " + sample.string() +
                         "\nScanning file for Table[s] \n\nRepairing Table :"),
              std::string::npos)
        << r.out;
    const auto folders = std::vector<fs::directory_entry>(fs::directory_iterator(out), {});
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_TRUE(folders[0].path().filename().string().starts_with("Repair_"));
    const fs::path destination = folders[0].path() / "sample.mdb";
    EXPECT_NE(r.out.find("Destination folder: " + folders[0].path().string()), std::string::npos);
    if (have_program("mdb-export")) {
        auto people = mdbtools_export(destination, "People");
        ASSERT_TRUE(people);
        EXPECT_EQ(people->rows.size(), 2u);
    }
    EXPECT_NE(read_file(log).find("Repairing Completed successfully"), std::string::npos);

    const CliRun json =
        run({"repair", "--json", "--overwrite=yes", "--out", out.string(), sample.string()});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"outcome\":\"repaired\",\"tables\":[{\"name\":\"People\","
                            "\"columns\":5,\"rows_read\":2,\"rows_written\":2,"
                            "\"rows_refused\":0}"),
              std::string::npos)
        << json.out;
}

TEST_F(RunCommands, OverwritePolicies) {
    const fs::path out = env.root() / "out";
    // Make the destination exist for every run folder the next seconds can name.
    const std::time_t now = std::time(nullptr);
    for (int s = 0; s < 30; ++s) {
        const std::time_t t = now + s;
        std::tm local{};
        localtime_r(&t, &local);
        const fs::path folder =
            out / ("Repair_" + std::to_string(local.tm_hour) + "-" + std::to_string(local.tm_min) +
                   "-" + std::to_string(local.tm_sec));
        fs::create_directories(folder);
        std::ofstream(folder / "sample.mdb") << "old";
    }
    const std::pair<const char*, const char*> cases[] = {
        {"--overwrite=no", "declined"},
        {"--overwrite=ask", "declined"},  // no terminal to ask on
        {"--overwrite=yes", "repaired"},
    };
    for (const auto& [option, outcome] : cases) {
        const CliRun r = run({"repair", "--json", option, "--out", out.string(), sample.string()});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(std::string("\"outcome\":\"") + outcome + "\""), std::string::npos)
            << option << ": " << r.out;
    }
}

TEST_F(RunCommands, DumpFindsTablesOnTheRawPagesWhenTheCatalogIsGone) {
    JetFileBuilder b(true);
    const int table = add_user_table(b, 3);
    add_system_catalog(b, {{2, "MSysObjects", 1, {}}, {table, "Kept Table", 1, {}}});
    std::fill(b.page(2).begin(), b.page(2).end(), 0);
    write_bytes(env.root() / "nocatalog.mdb", b.bytes());
    const CliRun r = tessaly({"dump", (env.root() / "nocatalog.mdb").string()}, env.root());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "JET4\nKept Table\t2\n");
}

// Runs `tessaly repair` on a database big enough to be stopped in the
// middle, sends Ctrl-C once the first table is done, and checks that the run
// stops with status 5 and leaves a valid destination with that table.
TEST_F(RunCommands, InterruptStopsAtTheNextRowWithoutATerminal) {
    const fs::path source = env.root() / "big.mdb";
    {
        jetdb::Database db;
        db.create(source, ";LANGID=0x0409;CP=1252;COUNTRY=0", 0);
        db.execute("CREATE TABLE [Small]([Id] LONG);", 128);
        db.execute("CREATE TABLE [Big]([Id] LONG, [Label] TEXT(60));", 128);
        jetdb::Recordset small(db);
        small.open(-1, "SELECT * FROM [Small]", 0);
        for (int i = 0; i < 5; ++i) {
            small.add_new();
            small.set_field_value("Id", std::to_string(i));
            small.update();
        }
        small.close();
        jetdb::Recordset big(db);
        big.open(-1, "SELECT * FROM [Big]", 0);
        for (int i = 0; i < 150000; ++i) {
            big.add_new();
            big.set_field_value("Id", std::to_string(i));
            big.set_field_value("Label", "row number " + std::to_string(i));
            big.update();
        }
        big.close();
        db.close();
    }
    const fs::path out = env.root() / "out";
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    const std::string cli = cli_path().string();
    std::vector<std::string> args = {cli,     "repair",     "--log",        log.string(),
                                     "--out", out.string(), source.string()};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);

    std::string printed;
    bool signalled = false;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
        printed.append(buffer, static_cast<std::size_t>(n));
        if (!signalled && printed.find("Total Records Recovered :   5") != std::string::npos) {
            kill(pid, SIGINT);
            signalled = true;
        }
    }
    close(pipe_fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << printed;
    EXPECT_EQ(WEXITSTATUS(status), 5) << printed;
    EXPECT_NE(read_file(log).find("Repairing aborted"), std::string::npos);
    const auto folders = std::vector<fs::directory_entry>(fs::directory_iterator(out), {});
    ASSERT_EQ(folders.size(), 1u);
    if (have_program("mdb-export")) {
        auto small = mdbtools_export(folders[0].path() / "big.mdb", "Small");
        ASSERT_TRUE(small) << "the stopped destination opens";
        EXPECT_EQ(small->rows.size(), 5u);
    }
}

}  // namespace
}  // namespace tessaly::test
