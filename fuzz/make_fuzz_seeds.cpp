// Writes the reader fuzz target's seed corpus: small synthetic Jet 3 and Jet 4
// databases covering catalogs, fixed and variable columns, indexes, memo
// values (inline, one row, chains), deleted rows and reference usage maps.
// Usage: make_fuzz_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/jet_page_builder.h"

namespace {

using namespace tessaly::test;

std::vector<std::uint8_t> memo_header(std::uint32_t length_flags, std::uint8_t row,
                                      std::uint32_t page) {
    std::vector<std::uint8_t> h(12, 0);
    for (int i = 0; i < 4; ++i)
        h[i] = static_cast<std::uint8_t>(length_flags >> (8 * i));
    h[4] = row;
    for (int i = 0; i < 3; ++i)
        h[5 + i] = static_cast<std::uint8_t>(page >> (8 * i));
    return h;
}

// A table whose memo values live on long-value pages (one row and a chain),
// with a deleted row, read through a reference usage map.
std::vector<std::uint8_t> long_values(bool jet4) {
    JetFileBuilder b(jet4);
    TableSpec t;
    t.columns = {fixed_column("Id", 4, 4, 0, 0), variable_column("Memo", 12, 0, 1, 0),
                 fixed_column("When", 8, 8, 2, 4), fixed_column("Small", 3, 2, 3, 12)};
    t.real_indexes = {{{0}}, {{2, 3}}};
    t.indexes = {index_entry("PrimaryKey", 0, 1), index_entry("ByWhen", 1, 0)};
    const int def = b.add_page();
    const int data = b.add_data_page(static_cast<std::uint32_t>(def));
    const int lval = b.add_data_page(0);
    b.put_bytes(lval, 4, {'L', 'V', 'A', 'L'});
    auto text = [&](const std::string& s) {
        return jet4 ? utf16le(s) : std::vector<std::uint8_t>(s.begin(), s.end());
    };
    const int single = b.add_row(lval, text("one long value row"));
    auto tail = std::vector<std::uint8_t>{0, 0, 0, 0};
    auto tail_text = text(" and its end");
    tail.insert(tail.end(), tail_text.begin(), tail_text.end());
    const int chain_end = b.add_row(lval, tail);
    auto head = std::vector<std::uint8_t>{static_cast<std::uint8_t>(chain_end),
                                          static_cast<std::uint8_t>(lval), 0, 0};
    auto head_text = text("a chain");
    head.insert(head.end(), head_text.begin(), head_text.end());
    const int chain_start = b.add_row(lval, head);
    b.add_row(data,
              b.make_row(t, {i32_value(1), bytes_value(memo_header(0x40000000u | 36, single, lval)),
                             f64_value(40000.25), i16_value(-1)}));
    b.add_row(data, b.make_row(t, {i32_value(2), bytes_value(memo_header(38, chain_start, lval)),
                                   f64_value(-1.5), i16_value(7)}));
    b.add_row(data, b.make_row(t, {i32_value(3), null_value(), null_value(), null_value()}),
              0x8000);
    const int map = b.add_page();
    b.put_u8(map, 4 + data / 8, static_cast<std::uint8_t>(1 << (data % 8)));
    const std::uint32_t usage = b.add_raw_map_row({1, static_cast<std::uint8_t>(map), 0, 0, 0});
    const std::uint32_t free_map = b.add_map_row({});
    b.write_definition(b.definition_bytes(t, usage, free_map), def);
    b.add_catalog({{def, "Notes", 1}});
    return b.bytes();
}

// A table with enough columns for its definition to span several pages.
std::vector<std::uint8_t> wide_table(bool jet4) {
    JetFileBuilder b(jet4);
    TableSpec t;
    const int columns = jet4 ? 120 : 60;
    std::vector<CellValue> row;
    for (int i = 0; i < columns; ++i) {
        const auto n = static_cast<std::uint16_t>(i);
        if (i % 2 == 0) {
            t.columns.push_back(fixed_column("Number" + std::to_string(i), 4, 4, n,
                                             static_cast<std::uint16_t>(2 * i)));
            row.push_back(i32_value(i));
        } else {
            t.columns.push_back(variable_column("Text" + std::to_string(i), 10, 20, n,
                                                static_cast<std::uint16_t>(i / 2)));
            row.push_back(text_value(i % 3 ? "t" : "", jet4));
        }
    }
    t.real_indexes = {{{0, 2, 4}}};
    t.indexes = {index_entry("PrimaryKey", 0, 1)};
    const int def = b.add_table(t, {row});
    b.add_catalog({{def, "Wide", 1}});
    return b.bytes();
}

bool write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    bool ok = true;
    for (bool jet4 : {false, true}) {
        const std::string v = jet4 ? "jet4" : "jet3";
        ok = write(dir / ("sample_" + v + ".mdb"), sample_database(jet4)) && ok;
        ok = write(dir / ("long_values_" + v + ".mdb"), long_values(jet4)) && ok;
        ok = write(dir / ("wide_" + v + ".mdb"), wide_table(jet4)) && ok;
    }
    return ok ? 0 : 1;
}
