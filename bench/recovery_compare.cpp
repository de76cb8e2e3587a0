// Compares, on one generated Jet 4 database of at least 500 MB, the time and
// peak memory of `tessaly analyse`, `tessaly repair` and mdb-export of every
// table, and prints the ratios. A second database a tenth of the size is run
// the same way, to show that peak memory does not grow with table size.
//
//   recovery_compare [megabytes] [folder] [tessaly]
//     megabytes  size of the large database (default 520)
//     folder     where the databases go (default the temp folder); a database
//                of the right size already there is reused
//     tessaly    the program to measure (default ../src/tessaly beside this one)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "jetdb/database.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kFailOnError = 128;
constexpr int kDefaultRecordset = -1;
// Bytes a row of the generated tables takes in the file, roughly; used only
// to choose how many rows reach the requested size.
constexpr double kBytesPerRow = 160.0;
constexpr std::uintmax_t kMiB = 1024 * 1024;
constexpr auto kPollPeriod = std::chrono::milliseconds(2);

struct Measure {
    double seconds = 0;
    long peak_kib = 0;
    int status = 0;
};

// Runs args[0] with stdout and stderr to /dev/null; wall time, the child's
// peak resident size and its exit status.
// The peak resident size ("VmHWM") of a running process, in KiB; -1 when it
// cannot be read (the process has ended).
long peak_kib_of(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Runs args[0] with stdout and stderr to /dev/null; wall time, the child's
// peak resident size and its exit status. The peak is read from the child's
// own memory record while it runs (the system's end-of-process figure would
// also count this process's pages, which a spawned child shares until exec).
Measure run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    Measure m;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        m.status = -1;
        return m;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        m.peak_kib = std::max(m.peak_kib, peak_kib_of(pid));
        std::this_thread::sleep_for(kPollPeriod);
    }
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

std::string text_of(long i, std::size_t length) {
    std::string s = "row " + std::to_string(i) + " ";
    while (s.size() < length)
        s.push_back(static_cast<char>('a' + (s.size() + static_cast<std::size_t>(i)) % 26));
    s.resize(length);
    return s;
}

// Three tables: two wide ones sharing the rows, one with memos.
void generate(const fs::path& file, long rows) {
    using namespace tessaly::jetdb;
    Database db;
    db.create(file, ";LANGID=0x0409;CP=1252;COUNTRY=0", 0);
    db.execute(
        "CREATE TABLE [Orders]([Id] LONG, [Customer] LONG, [Amount] CURRENCY, [Ordered] "
        "DATETIME, [Label] TEXT(60), [Note] TEXT(100));",
        kFailOnError);
    db.execute(
        "CREATE TABLE [Readings]([Id] LONG, [Sensor] SHORT, [Value] DOUBLE, [Ok] BIT, [Tag] "
        "TEXT(80));",
        kFailOnError);
    db.execute("CREATE TABLE [Notes]([Id] LONG, [Body] MEMO);", kFailOnError);
    const long orders = rows * 6 / 10, readings = rows * 35 / 100, notes = rows - orders - readings;
    {
        Recordset rs(db);
        rs.open(kDefaultRecordset, "SELECT * FROM [Orders]", 0);
        for (long i = 0; i < orders; ++i) {
            rs.add_new();
            rs.set_field_value("Id", std::to_string(i));
            rs.set_field_value("Customer", std::to_string(i % 9973));
            rs.set_field_value("Amount", std::to_string(i % 100000) + ".25");
            rs.set_field_value("Ordered",
                               "2024-0" + std::to_string(1 + i % 9) + "-1" + std::to_string(i % 9));
            rs.set_field_value("Label", text_of(i, 40));
            rs.set_field_value("Note", text_of(i * 7, 60));
            rs.update();
        }
        rs.close();
    }
    {
        Recordset rs(db);
        rs.open(kDefaultRecordset, "SELECT * FROM [Readings]", 0);
        for (long i = 0; i < readings; ++i) {
            rs.add_new();
            rs.set_field_value("Id", std::to_string(i));
            rs.set_field_value("Sensor", std::to_string(i % 300));
            rs.set_field_value("Value", std::to_string(i) + ".5");
            rs.set_field_value("Ok", i % 3 ? "1" : "0");
            rs.set_field_value("Tag", text_of(i * 3, 70));
            rs.update();
        }
        rs.close();
    }
    {
        Recordset rs(db);
        rs.open(kDefaultRecordset, "SELECT * FROM [Notes]", 0);
        for (long i = 0; i < notes; ++i) {
            rs.add_new();
            rs.set_field_value("Id", std::to_string(i));
            rs.set_field_value("Body", text_of(i * 11, 300 + static_cast<std::size_t>(i % 400)));
            rs.update();
        }
        rs.close();
    }
    db.close();
}

struct Row {
    Measure analyse, repair, export_all;
};

Row measure(const std::string& tessaly, const fs::path& file, const fs::path& work) {
    Row r;
    const fs::path out = work / "out";
    fs::remove_all(out);
    r.analyse = run({tessaly, "analyse", "--log", (work / "bench.log").string(), file.string()});
    r.repair = run({tessaly, "repair", "--overwrite=yes", "--log", (work / "bench.log").string(),
                    "--out", out.string(), file.string()});
    fs::remove_all(out);
    for (const char* table : {"Orders", "Readings", "Notes"}) {
        const Measure m = run({"mdb-export", file.string(), table});
        r.export_all.seconds += m.seconds;
        r.export_all.peak_kib = std::max(r.export_all.peak_kib, m.peak_kib);
        if (m.status != 0) r.export_all.status = m.status;
    }
    return r;
}

fs::path database_of(const fs::path& folder, long megabytes) {
    const fs::path file = folder / ("recovery_compare_" + std::to_string(megabytes) + "MB.mdb");
    std::error_code ec;
    if (fs::exists(file, ec) && fs::file_size(file, ec) >= std::uintmax_t(megabytes) * kMiB)
        return file;
    long rows = static_cast<long>(double(megabytes) * double(kMiB) / kBytesPerRow);
    for (;;) {
        fs::remove(file, ec);
        std::printf("generating %s (%ld rows)...\n", file.string().c_str(), rows);
        std::fflush(stdout);
        generate(file, rows);
        const std::uintmax_t size = fs::file_size(file);
        if (size >= std::uintmax_t(megabytes) * kMiB) return file;
        rows = static_cast<long>(double(rows) * double(megabytes) * double(kMiB) / double(size) *
                                 1.05);
    }
}

void print(const char* label, const fs::path& file, const Row& r) {
    std::printf("%s: %s, %.0f MB\n", label, file.filename().string().c_str(),
                double(fs::file_size(file)) / double(kMiB));
    std::printf("  %-26s %8.2f s  peak %7ld KiB  exit %d\n", "tessaly analyse", r.analyse.seconds,
                r.analyse.peak_kib, r.analyse.status);
    std::printf("  %-26s %8.2f s  peak %7ld KiB  exit %d\n", "tessaly repair", r.repair.seconds,
                r.repair.peak_kib, r.repair.status);
    std::printf("  %-26s %8.2f s  peak %7ld KiB  exit %d\n", "mdb-export (every table)",
                r.export_all.seconds, r.export_all.peak_kib, r.export_all.status);
    std::printf("  mdb-export / analyse = %.2fx   mdb-export / repair = %.2fx\n",
                r.export_all.seconds / r.analyse.seconds, r.export_all.seconds / r.repair.seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 520;
    const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    const std::string tessaly =
        argc > 3 ? argv[3]
                 : (fs::absolute(argv[0]).parent_path().parent_path() / "src" / "tessaly").string();
    const fs::path work = folder / "recovery_compare_work";
    fs::create_directories(work);
    try {
        const fs::path large = database_of(folder, megabytes);
        const fs::path small = database_of(folder, std::max(1L, megabytes / 10));
        const Row big = measure(tessaly, large, work);
        const Row little = measure(tessaly, small, work);
        print("large", large, big);
        print("small", small, little);
        std::printf("peak memory, large / small: analyse %.2fx, repair %.2fx\n",
                    double(big.analyse.peak_kib) / double(little.analyse.peak_kib),
                    double(big.repair.peak_kib) / double(little.repair.peak_kib));
    } catch (const tessaly::jetdb::EngineError& e) {
        std::fprintf(stderr, "recovery_compare: %s\n", e.what());
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
