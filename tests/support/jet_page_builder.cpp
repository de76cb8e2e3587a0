#include "support/jet_page_builder.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <fstream>
#include <random>

namespace tessaly::test {

namespace {

constexpr std::uint32_t kMagic = 1625;
constexpr std::size_t kInlineBitmapBytes = 64;

struct Layout {
    std::size_t row_count_offset, tdef_row_count, col_count, idx_count, real_idx_count, usage_map,
        free_map, index_start, real_entry, col_entry, col_type, col_number, col_var_index,
        col_flags, col_fixed_offset, col_size, real_record, real_key_start, entry_size,
        entry_number, entry_type, max_cols, var_cols, table_type;
};
constexpr Layout kJet4{12, 16, 45, 47, 51, 55, 59, 63, 12, 25, 0,  5,
                       7,  15, 21, 23, 52, 4,  28, 8,  23, 41, 43, 40};
constexpr Layout kJet3{8, 12, 25, 27, 31, 35, 39, 43, 8,  18, 0,  1,
                       3, 13, 14, 16, 39, 0,  20, 4,  19, 21, 23, 20};

void le(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v, int width) {
    assert(width >= 1 && width <= 8);
    if (b.size() < at + width) b.resize(at + width, 0);
    for (int i = 0; i < width; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void append(std::vector<std::uint8_t>& b, std::uint64_t v, int width) {
    le(b, b.size(), v, width);
}

std::array<std::uint8_t, 128> header_keystream() {
    const std::uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    std::array<std::uint8_t, 256> s;
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % 4]);
        std::swap(s[i], s[j]);
    }
    std::array<std::uint8_t, 128> out;
    std::uint8_t a = 0, b = 0;
    for (auto& k : out) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        k = s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
    return out;
}

}  // namespace

JetFileBuilder::JetFileBuilder(bool jet4, int page_count)
    : jet4_(jet4), page_size_(jet4 ? 4096 : 2048) {
    for (int i = 0; i < page_count; ++i)
        add_page();
    if (!pages_.empty()) {
        pages_[0][1] = 1;
        // The masked header region decodes to zeros (no key, no password).
        auto ks = header_keystream();
        for (std::size_t i = 0; i < (jet4 ? 128u : 126u); ++i)
            pages_[0][0x18 + i] = ks[i];
        set_version(jet4 ? 1 : 0);
        set_code_page(1252);
    }
}

int JetFileBuilder::add_page() {
    pages_.emplace_back(page_size_, 0);
    return static_cast<int>(pages_.size()) - 1;
}

std::vector<std::uint8_t>& JetFileBuilder::page(int number) {
    assert(number >= 0 && number < page_count());
    return pages_[static_cast<std::size_t>(number)];
}

void JetFileBuilder::put_u8(int p, std::size_t at, std::uint8_t v) {
    assert(at + 1 <= page_size_);
    page(p)[at] = v;
}
void JetFileBuilder::put_u16(int p, std::size_t at, std::uint16_t v) {
    assert(at + 2 <= page_size_);
    le(page(p), at, v, 2);
}
void JetFileBuilder::put_u24(int p, std::size_t at, std::uint32_t v) {
    assert(at + 3 <= page_size_);
    le(page(p), at, v, 3);
}
void JetFileBuilder::put_u32(int p, std::size_t at, std::uint32_t v) {
    assert(at + 4 <= page_size_);
    le(page(p), at, v, 4);
}
void JetFileBuilder::put_bytes(int p, std::size_t at, const std::vector<std::uint8_t>& bytes) {
    assert(at + bytes.size() <= page_size_);
    std::copy(bytes.begin(), bytes.end(), page(p).begin() + static_cast<std::ptrdiff_t>(at));
}

void JetFileBuilder::set_version(std::uint32_t version) {
    put_u32(0, 0x14, version);
}

void JetFileBuilder::set_code_page(std::uint16_t code_page) {
    auto ks = header_keystream();
    const std::size_t at = 0x3C - 0x18;
    put_u8(0, 0x3C, static_cast<std::uint8_t>((code_page & 0xFF) ^ ks[at]));
    put_u8(0, 0x3D, static_cast<std::uint8_t>((code_page >> 8) ^ ks[at + 1]));
}

int JetFileBuilder::add_data_page(std::uint32_t owner) {
    int p = add_page();
    put_u8(p, 0, 1);
    put_u8(p, 1, 1);
    put_u32(p, 4, owner);
    return p;
}

void JetFileBuilder::set_row_count(int p, std::uint16_t count) {
    put_u16(p, (jet4_ ? kJet4 : kJet3).row_count_offset, count);
}

void JetFileBuilder::set_row_entry(int p, int row, std::uint16_t entry) {
    put_u16(p, (jet4_ ? kJet4 : kJet3).row_count_offset + 2 + 2 * static_cast<std::size_t>(row),
            entry);
}

int JetFileBuilder::add_row(int p, const std::vector<std::uint8_t>& row, std::uint16_t flags) {
    const std::size_t count_at = (jet4_ ? kJet4 : kJet3).row_count_offset;
    auto& pg = page(p);
    const int count = pg[count_at] | (pg[count_at + 1] << 8);
    std::size_t top = page_size_;
    if (count > 0) {
        const std::size_t at = count_at + 2 + 2 * static_cast<std::size_t>(count - 1);
        top = (pg[at] | (pg[at + 1] << 8)) & 0x1FFF;
    }
    assert(row.size() <= top && top - row.size() >= count_at + 2 + 2 * (count + 1));
    const std::size_t start = top - row.size();
    put_bytes(p, start, row);
    set_row_entry(p, count, static_cast<std::uint16_t>(start | flags));
    set_row_count(p, static_cast<std::uint16_t>(count + 1));
    return count;
}

std::vector<std::uint8_t> JetFileBuilder::make_row(const TableSpec& table,
                                                   const std::vector<CellValue>& values) const {
    assert(values.size() == table.columns.size());
    const std::size_t w = jet4_ ? 2 : 1;
    std::size_t n = 0, fixed_end = 0, v = 0;
    for (const auto& c : table.columns) {
        n = std::max<std::size_t>(n, c.number + 1u);
        if (c.fixed)
            fixed_end =
                std::max<std::size_t>(fixed_end, c.fixed_offset + (c.type == 1 ? 0 : c.size));
        else
            v = std::max<std::size_t>(v, c.var_index + 1u);
    }
    std::vector<std::uint8_t> row;
    append(row, n, static_cast<int>(w));
    row.resize(w + fixed_end, 0);
    std::vector<std::uint8_t> mask((n + 7) / 8, 0);
    std::vector<std::size_t> offsets(v + 1, 0);
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const auto& c = table.columns[i];
        if (values[i].present) mask[c.number / 8] |= static_cast<std::uint8_t>(1 << (c.number % 8));
        if (c.fixed && values[i].present) {
            assert(values[i].bytes.size() <= c.size || c.type == 1);
            std::copy(values[i].bytes.begin(), values[i].bytes.end(),
                      row.begin() + static_cast<std::ptrdiff_t>(w + c.fixed_offset));
        }
    }
    for (std::size_t j = 0; j < v; ++j) {
        offsets[j] = row.size();
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            const auto& c = table.columns[i];
            if (!c.fixed && c.var_index == j && values[i].present)
                row.insert(row.end(), values[i].bytes.begin(), values[i].bytes.end());
        }
    }
    offsets[v] = row.size();
    if (v > 0) {
        for (std::size_t j = v + 1; j-- > 0;) {
            if (jet4_) {
                append(row, offsets[j], 2);
            } else {
                assert(offsets[j] < 256);
                append(row, offsets[j], 1);
            }
        }
        append(row, v, static_cast<int>(w));
    }
    row.insert(row.end(), mask.begin(), mask.end());
    assert(jet4_ || row.size() <= 256);
    return row;
}

std::uint32_t JetFileBuilder::add_raw_map_row(const std::vector<std::uint8_t>& raw) {
    int p = add_data_page(0);
    int row = add_row(p, raw);
    return static_cast<std::uint32_t>(row) | (static_cast<std::uint32_t>(p) << 8);
}

std::uint32_t JetFileBuilder::add_map_row(const std::vector<int>& pages) {
    std::vector<std::uint8_t> map(5 + kInlineBitmapBytes, 0);
    const int first = pages.empty() ? 0 : *std::min_element(pages.begin(), pages.end());
    le(map, 1, static_cast<std::uint32_t>(first), 4);
    for (int p : pages) {
        const std::size_t bit = static_cast<std::size_t>(p - first);
        assert(bit < kInlineBitmapBytes * 8);
        map[5 + bit / 8] |= static_cast<std::uint8_t>(1 << (bit % 8));
    }
    return add_raw_map_row(map);
}

std::vector<std::uint8_t> JetFileBuilder::encode_name(const std::string& name) const {
    if (jet4_) return utf16le(name);
    return std::vector<std::uint8_t>(name.begin(), name.end());
}

std::vector<std::uint8_t> JetFileBuilder::definition_bytes(const TableSpec& t,
                                                           std::uint32_t usage_map,
                                                           std::uint32_t free_map) const {
    const Layout& L = jet4_ ? kJet4 : kJet3;
    const int name_width = jet4_ ? 2 : 1;
    std::vector<std::uint8_t> b(L.index_start, 0);
    b[0] = 2;
    b[1] = 1;
    if (!jet4_) {
        b[2] = 'V';
        b[3] = 'C';
    } else {
        le(b, 12, kMagic, 4);
    }
    le(b, L.tdef_row_count, t.row_count, 4);
    b[L.table_type] = 0x4E;
    std::size_t max_number = 0, var_cols = 0;
    for (const auto& c : t.columns) {
        max_number = std::max<std::size_t>(max_number, c.number + 1u);
        if (!c.fixed) ++var_cols;
    }
    le(b, L.max_cols, max_number, 2);
    le(b, L.var_cols, var_cols, 2);
    le(b, L.col_count, t.stored_column_count.value_or(static_cast<std::uint16_t>(t.columns.size())),
       2);
    le(b, L.idx_count, t.stored_index_count.value_or(static_cast<std::uint32_t>(t.indexes.size())),
       4);
    le(b, L.real_idx_count,
       t.stored_real_index_count.value_or(static_cast<std::uint32_t>(t.real_indexes.size())), 4);
    le(b, L.usage_map, usage_map, 4);
    le(b, L.free_map, free_map, 4);
    b.resize(b.size() + t.real_indexes.size() * L.real_entry, 0);
    for (const auto& c : t.columns) {
        const std::size_t at = b.size();
        b.resize(at + L.col_entry, 0);
        b[at + L.col_type] = c.type;
        le(b, at + L.col_number, c.number, 2);
        le(b, at + L.col_var_index, c.var_index, 2);
        b[at + 11] = c.precision;
        b[at + 12] = c.scale;
        b[at + L.col_flags] = static_cast<std::uint8_t>((c.fixed ? 1 : 0) | 2);
        le(b, at + L.col_fixed_offset, c.fixed_offset, 2);
        le(b, at + L.col_size, c.size, 2);
    }
    for (const auto& c : t.columns) {
        auto name = c.raw_name.value_or(encode_name(c.name));
        append(b, c.stored_name_length.value_or(static_cast<std::uint16_t>(name.size())),
               name_width);
        b.insert(b.end(), name.begin(), name.end());
    }
    for (const auto& r : t.real_indexes) {
        const std::size_t at = b.size();
        b.resize(at + L.real_record, 0);
        for (int s = 0; s < 10; ++s) {
            const std::uint16_t col =
                s < static_cast<int>(r.key_columns.size()) ? r.key_columns[s] : 0xFFFF;
            le(b, at + L.real_key_start + 3 * s, col, 2);
            b[at + L.real_key_start + 3 * s + 2] = 1;
        }
    }
    for (std::size_t i = 0; i < t.indexes.size(); ++i) {
        const std::size_t at = b.size();
        b.resize(at + L.entry_size, 0);
        le(b, at + L.entry_number, t.indexes[i].real_index, 2);
        b[at + L.entry_type] = t.indexes[i].type;
    }
    for (const auto& x : t.indexes) {
        auto name = encode_name(x.name);
        append(b, x.stored_name_length.value_or(static_cast<std::uint16_t>(name.size())),
               name_width);
        b.insert(b.end(), name.begin(), name.end());
    }
    append(b, 0xFFFF, 2);
    le(b, 8, b.size(), 4);
    return b;
}

int JetFileBuilder::write_definition(const std::vector<std::uint8_t>& bytes,
                                     std::optional<int> first_page) {
    const int first = first_page.value_or(add_page());
    int p = first;
    std::size_t done = std::min(bytes.size(), page_size_);
    put_bytes(p, 0, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + done));
    while (done < bytes.size()) {
        const int next = add_page();
        put_u32(p, 4, static_cast<std::uint32_t>(next));
        put_bytes(next, 0, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4));
        put_u32(next, 4, 0);
        const std::size_t here = std::min(bytes.size() - done, page_size_ - 8);
        put_bytes(next, 8,
                  std::vector<std::uint8_t>(bytes.begin() + done, bytes.begin() + done + here));
        done += here;
        p = next;
    }
    return first;
}

int JetFileBuilder::add_table_def(const TableSpec& table, const std::vector<int>& data_pages,
                                  std::optional<int> first_page) {
    const std::uint32_t usage = add_map_row(data_pages);
    const std::uint32_t free_map = add_map_row({});
    return write_definition(definition_bytes(table, usage, free_map), first_page);
}

void JetFileBuilder::add_catalog(const std::vector<CatalogRow>& rows) {
    TableSpec catalog;
    catalog.columns = {
        fixed_column("Id", 4, 4, 0, 0),
        variable_column("Name", 10, 128, 1, 0),
        fixed_column("Type", 3, 2, 2, 4),
    };
    catalog.row_count = static_cast<std::uint32_t>(rows.size());
    std::vector<std::vector<CellValue>> values;
    for (const auto& r : rows)
        values.push_back({i32_value(r.id), text_value(r.name, jet4_), i16_value(r.type)});
    const int data = add_data_page(2);
    for (const auto& v : values)
        add_row(data, make_row(catalog, v));
    add_table_def(catalog, {data}, 2);
}

int JetFileBuilder::add_table(const TableSpec& table,
                              const std::vector<std::vector<CellValue>>& rows) {
    const int def = add_page();
    const int data = add_data_page(static_cast<std::uint32_t>(def));
    for (const auto& r : rows)
        add_row(data, make_row(table, r));
    return add_table_def(table, {data}, def);
}

std::vector<std::uint8_t> JetFileBuilder::bytes() const {
    std::vector<std::uint8_t> out;
    out.reserve(pages_.size() * page_size_);
    for (const auto& p : pages_)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

void JetFileBuilder::write(const std::filesystem::path& path) const {
    auto b = bytes();
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

ColumnSpec fixed_column(std::string name, std::uint8_t type, std::uint16_t size,
                        std::uint16_t number, std::uint16_t fixed_offset) {
    ColumnSpec c;
    c.name = std::move(name);
    c.type = type;
    c.size = size;
    c.fixed = true;
    c.number = number;
    c.fixed_offset = fixed_offset;
    return c;
}

ColumnSpec variable_column(std::string name, std::uint8_t type, std::uint16_t size,
                           std::uint16_t number, std::uint16_t var_index) {
    ColumnSpec c;
    c.name = std::move(name);
    c.type = type;
    c.size = size;
    c.fixed = false;
    c.number = number;
    c.var_index = var_index;
    return c;
}

IndexEntrySpec index_entry(std::string name, std::uint16_t real_index, std::uint8_t type) {
    IndexEntrySpec e;
    e.name = std::move(name);
    e.real_index = real_index;
    e.type = type;
    return e;
}

ScratchDir::ScratchDir() {
    std::random_device rd;
    for (;;) {
        path_ = std::filesystem::temp_directory_path() /
                ("tessaly-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::error_code ec;
        if (std::filesystem::create_directory(path_, ec)) break;
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

CellValue null_value() {
    return {};
}
CellValue bytes_value(std::vector<std::uint8_t> bytes) {
    return {true, std::move(bytes)};
}
CellValue i32_value(std::int32_t v) {
    std::vector<std::uint8_t> b;
    append(b, static_cast<std::uint32_t>(v), 4);
    return {true, b};
}
CellValue i16_value(std::int16_t v) {
    std::vector<std::uint8_t> b;
    append(b, static_cast<std::uint16_t>(v), 2);
    return {true, b};
}
CellValue f64_value(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    std::vector<std::uint8_t> b;
    append(b, bits, 8);
    return {true, b};
}
CellValue f32_value(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    std::vector<std::uint8_t> b;
    append(b, bits, 4);
    return {true, b};
}
std::vector<std::uint8_t> utf16le(const std::string& latin1) {
    std::vector<std::uint8_t> b;
    for (unsigned char c : latin1) {
        b.push_back(c);
        b.push_back(0);
    }
    return b;
}
CellValue text_value(const std::string& ascii, bool jet4) {
    if (jet4) return {true, utf16le(ascii)};
    return {true, std::vector<std::uint8_t>(ascii.begin(), ascii.end())};
}

std::vector<std::uint8_t> sample_database(bool jet4) {
    JetFileBuilder b(jet4);
    TableSpec people;
    people.columns = {
        fixed_column("Id", 4, 4, 0, 0),       variable_column("Name", 10, 100, 1, 0),
        fixed_column("Born", 8, 8, 2, 4),     fixed_column("Paid", 5, 8, 3, 12),
        variable_column("Note", 12, 0, 4, 1),
    };
    people.real_indexes = {RealIndexSpec{{0}}};
    people.indexes = {index_entry("PrimaryKey", 0, 1)};
    auto memo = [&](const std::string& text) {
        std::vector<std::uint8_t> stored =
            jet4 ? utf16le(text) : std::vector<std::uint8_t>(text.begin(), text.end());
        std::vector<std::uint8_t> v;
        append(v, stored.size() | 0x80000000u, 4);
        append(v, 0, 4);
        append(v, 0, 4);
        v.insert(v.end(), stored.begin(), stored.end());
        return bytes_value(v);
    };
    std::vector<std::uint8_t> money;
    append(money, 15000, 8);
    std::vector<std::uint8_t> negative_money;
    append(negative_money, static_cast<std::uint64_t>(-1234567), 8);
    people.row_count = 2;
    const int people_page = b.add_table(
        people,
        {{i32_value(1), text_value("Ann, \"the\" first", jet4), f64_value(36526.5),
          bytes_value(money), memo("Hello\r\nworld")},
         {i32_value(2), null_value(), null_value(), bytes_value(negative_money), null_value()}});

    TableSpec flags;
    flags.columns = {
        fixed_column("Id", 4, 4, 0, 0),
        fixed_column("On", 1, 1, 1, 0),
    };
    flags.row_count = 2;
    const int flags_page =
        b.add_table(flags, {{i32_value(7), bytes_value({})}, {i32_value(8), null_value()}});

    b.add_catalog({
        {2, "MSysObjects", 1},
        {people_page, "People", 1},
        {99, "Query1", 5},
        {flags_page, "Flags", 1},
    });
    return b.bytes();
}

}  // namespace tessaly::test
