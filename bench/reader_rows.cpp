// Reader throughput and memory: reads every row of synthetic Jet 4 tables of
// growing size (fixed, text and money/date columns on full data pages, found
// through a reference usage map) and prints rows per second and the growth of
// the peak resident set, which must not grow with the table.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/le.h"
#include "reader/jet_file.h"
#include "reader/row_reader.h"
#include "reader/table_def.h"

namespace {

using namespace tessaly;
constexpr std::size_t kPage = 4096;
constexpr int kMapPage = 1, kDefinitionPage = 2, kMapRowsPage = 3, kFirstDataPage = 4;

std::vector<std::uint8_t> row_bytes(std::uint32_t id) {
    const std::string name = "customer number " + std::to_string(id);
    std::vector<std::uint8_t> row(2 + 20, 0);
    put_u16(row, 0, 4);  // columns stored
    put_u32(row, 2, id);
    put_u64(row, 6, std::uint64_t{id} * 10000 + 1234);
    put_f64(row, 14, 36526.5 + id % 1000);
    for (char c : name) {
        row.push_back(static_cast<std::uint8_t>(c));
        row.push_back(0);
    }
    const std::size_t end_of_data = row.size();
    row.resize(row.size() + 6);
    put_u16(row, end_of_data, static_cast<std::uint16_t>(end_of_data));  // offset 1 (end)
    put_u16(row, end_of_data + 2, 22);                                   // offset 0
    put_u16(row, end_of_data + 4, 1);                                    // variable columns
    row.push_back(0x0F);                                                 // null mask
    return row;
}

std::vector<std::uint8_t> definition() {
    std::vector<std::uint8_t> d(63, 0);
    d[0] = 2;
    d[1] = 1;
    put_u32(d, 16, 1);                        // row count (not 0)
    put_u16(d, 45, 4);                        // columns
    put_u32(d, 55, 0 | (kMapRowsPage << 8));  // usage map: row 0
    put_u32(d, 59, 1 | (kMapRowsPage << 8));  // free map: row 1
    struct Col {
        std::uint8_t type, fixed;
        std::uint16_t number, offset, size;
        const char* name;
    };
    const Col cols[] = {{4, 1, 0, 0, 4, "Id"},
                        {5, 1, 1, 4, 8, "Amount"},
                        {8, 1, 2, 12, 8, "When"},
                        {10, 0, 3, 0, 100, "Name"}};
    for (const Col& c : cols) {
        std::vector<std::uint8_t> e(25, 0);
        e[0] = c.type;
        put_u16(e, 5, c.number);
        e[15] = c.fixed;
        put_u16(e, 21, c.offset);
        put_u16(e, 23, c.size);
        d.insert(d.end(), e.begin(), e.end());
    }
    for (const Col& c : cols) {
        const std::string n = c.name;
        d.push_back(static_cast<std::uint8_t>(2 * n.size()));
        d.push_back(0);
        for (char ch : n) {
            d.push_back(static_cast<std::uint8_t>(ch));
            d.push_back(0);
        }
    }
    put_u32(d, 8, static_cast<std::uint32_t>(d.size()));
    return d;
}

// Writes a file of `rows` rows; answers the number of data pages.
int write_database(const std::filesystem::path& path, std::uint32_t rows) {
    std::vector<std::vector<std::uint8_t>> pages(kFirstDataPage,
                                                 std::vector<std::uint8_t>(kPage, 0));
    pages[0][0x14] = 1;
    auto def = definition();
    std::copy(def.begin(), def.end(), pages[kDefinitionPage].begin());
    std::uint32_t id = 0;
    while (id < rows) {
        std::vector<std::uint8_t> page(kPage, 0);
        page[0] = page[1] = 1;
        put_u32(page, 4, kDefinitionPage);
        std::size_t top = kPage, count = 0;
        for (;;) {
            auto row = row_bytes(id);
            if (top < row.size() + 14 + 2 * (count + 1) || id >= rows) break;
            top -= row.size();
            std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(top));
            put_u16(page, 14 + 2 * count, static_cast<std::uint16_t>(top));
            ++count;
            ++id;
        }
        put_u16(page, 12, static_cast<std::uint16_t>(count));
        pages.push_back(std::move(page));
    }
    const int data_pages = static_cast<int>(pages.size()) - kFirstDataPage;
    // Reference map: one map page whose bitmap names every data page.
    auto& map = pages[kMapPage];
    map[0] = 5;
    map[1] = 1;
    for (int p = kFirstDataPage; p < static_cast<int>(pages.size()); ++p)
        map[4 + p / 8] |= static_cast<std::uint8_t>(1 << (p % 8));
    auto& rows_page = pages[kMapRowsPage];
    rows_page[0] = rows_page[1] = 1;
    put_u16(rows_page, 12, 2);
    put_u16(rows_page, 14, kPage - 5);  // row 0: reference map naming page 1
    rows_page[kPage - 5] = 1;
    put_u32(rows_page, kPage - 4, kMapPage);
    put_u16(rows_page, 16, kPage - 5 - 69);  // row 1: empty inline map
    std::ofstream out(path, std::ios::binary);
    for (const auto& p : pages)
        out.write(reinterpret_cast<const char*>(p.data()), static_cast<std::streamsize>(p.size()));
    return data_pages;
}

long peak_rss_kb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace

int main() {
    const auto path = std::filesystem::temp_directory_path() / "tessaly-reader-bench.mdb";
    std::printf("%10s %8s %12s %14s\n", "rows", "pages", "rows/s", "peak RSS +kB");
    for (std::uint32_t rows : {20000u, 200000u, 1000000u}) {
        const int pages = write_database(path, rows);
        const long rss_before = peak_rss_kb();
        recovery::RecoveryState state;
        auto file = reader::jet_open(path, state);
        auto table = file ? reader::read_table_def({file, "Bench", 1, kDefinitionPage}) : nullptr;
        if (!table || !reader::read_columns(*table)) {
            std::fprintf(stderr, "bench: the synthetic table cannot be read\n");
            return 1;
        }
        reader::rewind_rows(*table);
        const auto t0 = std::chrono::steady_clock::now();
        std::uint64_t read = 0, bytes = 0;
        while (reader::next_row(*table, state) == 1) {
            ++read;
            for (const auto& v : state.column_values)
                bytes += v.size();
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("%10llu %8d %12.0f %14ld\n", static_cast<unsigned long long>(read), pages,
                    read / seconds, peak_rss_kb() - rss_before);
        if (read != rows) {
            std::fprintf(stderr, "bench: read %llu rows of %u\n",
                         static_cast<unsigned long long>(read), rows);
            return 1;
        }
    }
    std::filesystem::remove(path);
    return 0;
}
