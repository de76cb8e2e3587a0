// Writes a table of mixed types through the destination engine and prints
// rows/s, MB/s and memory: resident size after each quarter of the rows (to
// show it stays flat) and the peak.
//
//   jetdb_write_bench [rows] [folder]     (defaults: 1000000, the temp folder)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "jetdb/database.h"

namespace {

// Resident memory in KiB ("VmRSS" or "VmHWM" of /proc/self/status).
long status_kib(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
    return -1;
}

std::string text_of(long i, std::size_t length) {
    std::string s = "row " + std::to_string(i) + " ";
    while (s.size() < length)
        s.push_back(static_cast<char>('a' + (s.size() + static_cast<std::size_t>(i)) % 26));
    s.resize(length);
    return s;
}

// User plus system CPU seconds of this process.
double cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tessaly::jetdb;
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::filesystem::path folder =
        argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
    const auto file = folder / ("jetdb_write_bench_" + std::to_string(::getpid()) + ".mdb");

    // Values are prepared outside the timed loop's conversions only as far
    // as their texts go; the engine converts every text as it would in a run.
    const std::string memo_base = text_of(7, 200);
    try {
        const auto start = std::chrono::steady_clock::now();
        const double cpu_start = cpu_seconds();
        Database db;
        db.create(file, ";LANGID=0x0409;CP=1252;COUNTRY=0", 0);
        db.execute("CREATE TABLE [Bench]([Id] LONG);", 128);
        db.execute("ALTER TABLE [Bench] ADD [Amount] DOUBLE;", 128);
        db.execute("ALTER TABLE [Bench] ADD [When] DATE;", 128);
        db.execute("ALTER TABLE [Bench] ADD [Label] TEXT(30);", 128);
        db.execute("ALTER TABLE [Bench] ADD [Notes] MEMO;", 128);
        Recordset rs(db);
        rs.open(-1, "SELECT * FROM [Bench]", 0);
        std::string memo = memo_base;
        for (long i = 0; i < rows; ++i) {
            rs.add_new();
            rs.set_field_value("Id", std::to_string(i));
            rs.set_field_value("Amount", std::to_string(i) + ".25");
            rs.set_field_value("When", "01/0" + std::to_string(1 + i % 9) + "/2001 06:30:00 PM");
            rs.set_field_value("Label", text_of(i, 30));
            memo[0] = static_cast<char>('A' + i % 26);
            rs.set_field_value("Notes", memo);
            rs.update();
            if ((i + 1) % (rows / 4 > 0 ? rows / 4 : 1) == 0)
                std::printf("after %ld rows: resident %ld KiB\n", i + 1, status_kib("VmRSS"));
        }
        rs.close();
        db.close();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = cpu_seconds() - cpu_start;
        const double mb = static_cast<double>(std::filesystem::file_size(file)) / (1024.0 * 1024.0);
        std::printf("rows: %ld\n", rows);
        std::printf("seconds: %.2f (cpu %.2f)\n", seconds, cpu);
        std::printf("rows/s: %.0f (per cpu second %.0f)\n", rows / seconds, rows / cpu);
        std::printf("file MB: %.1f\nMB/s: %.1f\n", mb, mb / seconds);
        std::printf("peak resident: %ld KiB\n", status_kib("VmHWM"));
    } catch (const EngineError& e) {
        std::fprintf(stderr, "engine error: %s\n", e.what());
        std::filesystem::remove(file);
        return 1;
    }
    std::filesystem::remove(file);
    return 0;
}
