// Inserts the same rows into a table without indexes and into one with a
// LONG primary key and a TEXT(50) index, and prints both times, their ratio
// and the peak memory.
//
//   jetdb_index_bench [rows] [folder]     (defaults: 1000000, the temp folder)
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

long peak_kib() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

double cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    double seconds = 0;
    double cpu = 0;
};

Timing run(const std::filesystem::path& file, long rows, bool indexed) {
    using namespace tessaly::jetdb;
    const auto start = std::chrono::steady_clock::now();
    const double cpu_start = cpu_seconds();
    Database db;
    db.create(file, ";LANGID=0x0409;CP=1252;COUNTRY=0", 0);
    db.execute("CREATE TABLE [T]([Id] LONG);", 128);
    if (indexed) db.execute("ALTER TABLE [T] ADD PRIMARY KEY ([Id]);", 128);
    db.execute("ALTER TABLE [T] ADD [Name] TEXT(50);", 128);
    if (indexed) db.execute("CREATE INDEX MyIndex1 ON [T]([Name])", 128);
    db.execute("ALTER TABLE [T] ADD [Amount] DOUBLE;", 128);
    Recordset rs(db);
    rs.open(-1, "SELECT * FROM [T]", 0);
    for (long i = 0; i < rows; ++i) {
        // Keys arrive out of order, as they do from a damaged source.
        const long id = (i * 7919) % rows;
        rs.add_new();
        rs.set_field_value("Id", std::to_string(id));
        rs.set_field_value("Name", "Customer name " + std::to_string((id * 31) % 100000));
        rs.set_field_value("Amount", std::to_string(i) + ".5");
        rs.update();
    }
    rs.close();
    db.close();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            cpu_seconds() - cpu_start};
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::filesystem::path folder =
        argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
    const auto file = folder / ("jetdb_index_bench_" + std::to_string(::getpid()) + ".mdb");
    try {
        const Timing plain = run(file, rows, false);
        std::filesystem::remove(file);
        const Timing indexed = run(file, rows, true);
        std::filesystem::remove(file);
        std::printf("rows: %ld\n", rows);
        std::printf("without indexes: %.2f s (cpu %.2f)\n", plain.seconds, plain.cpu);
        std::printf("with primary key and text index: %.2f s (cpu %.2f)\n", indexed.seconds,
                    indexed.cpu);
        std::printf("ratio: %.2f (cpu %.2f)\n", indexed.seconds / plain.seconds,
                    indexed.cpu / plain.cpu);
        std::printf("peak resident: %ld KiB\n", peak_kib());
    } catch (const tessaly::jetdb::EngineError& e) {
        std::fprintf(stderr, "engine error: %s\n", e.what());
        std::filesystem::remove(file);
        return 1;
    }
    return 0;
}
