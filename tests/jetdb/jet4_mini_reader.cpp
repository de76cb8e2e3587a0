// Test-only Jet 4 reading; see jet4_mini_reader.h. Offsets follow the Jet 4
// table-definition, data-page and index-page layouts.
#include "jet4_mini_reader.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#include "index_page_parse.h"

namespace tessaly::jetdb::test {
namespace {

constexpr std::size_t kVersionOffset = 0x14;
constexpr std::uint8_t kJet4 = 0x01;
constexpr std::uint8_t kTypeData = 0x01;
constexpr std::uint8_t kTypeTdef = 0x02;
constexpr std::size_t kMaxTdefPages = 64;
constexpr std::size_t kMaxDepth = 16;
constexpr std::size_t kMaxOverflowHops = 4;

// Table definition.
constexpr std::size_t kTdefNext = 0x04;
constexpr std::size_t kTdefColumnCount = 0x2D;
constexpr std::size_t kTdefLogicalCount = 0x2F;
constexpr std::size_t kTdefRealCount = 0x33;
constexpr std::size_t kTdefRealCounts = 0x3F;
constexpr std::size_t kRealCountSize = 12;
constexpr std::size_t kColumnSize = 25;
constexpr std::size_t kRealIndexSize = 52;
constexpr std::size_t kLogicalIndexSize = 28;
constexpr std::size_t kMaxIndexColumns = 10;
constexpr std::uint8_t kColumnFixed = 0x01;  // column flag: value in the fixed area

// Data pages and rows.
constexpr std::size_t kRowCount = 12;
constexpr std::size_t kRowOffsets = 14;
constexpr std::uint16_t kRowDeleted = 0x8000;
constexpr std::uint16_t kRowOverflow = 0x4000;
constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
constexpr std::uint32_t kMemoInline = 0x80000000;
constexpr std::uint32_t kMemoSingleRow = 0x40000000;
constexpr std::uint32_t kMemoLengthMask = 0x3FFFFFFF;
constexpr std::size_t kMemoHeader = 12;

std::uint16_t u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t u32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint32_t u24(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16);
}

std::u16string decode_text(const std::uint8_t* p, std::size_t n) {
    std::u16string out;
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        bool compressed = true;
        for (std::size_t i = 2; i < n;) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out.push_back(p[i++]);
            } else if (i + 1 < n) {
                out.push_back(static_cast<char16_t>(u16(p + i)));
                i += 2;
            } else {
                break;
            }
        }
        return out;
    }
    for (std::size_t i = 0; i + 1 < n; i += 2)
        out.push_back(static_cast<char16_t>(u16(p + i)));
    return out;
}

std::string ascii_name(const std::uint8_t* p, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i + 1 < n; i += 2)
        s.push_back(p[i + 1] == 0 && p[i] < 0x80 ? static_cast<char>(p[i]) : '?');
    return s;
}

}  // namespace

const MiniColumn* MiniTable::column(std::uint16_t number) const {
    for (const auto& c : columns)
        if (c.number == number) return &c;
    return nullptr;
}

std::optional<Jet4MiniReader> Jet4MiniReader::open(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    Jet4MiniReader r;
    r.data_.assign(std::istreambuf_iterator<char>(in), {});
    if (r.data_.size() < kPage || r.data_[kVersionOffset] != kJet4) return std::nullopt;
    r.data_.resize(r.data_.size() / kPage * kPage);
    return r;
}

std::vector<std::uint32_t> Jet4MiniReader::indexed_tdef_pages() const {
    std::set<std::uint32_t> tdefs;
    for (std::uint32_t n = 1; n < page_count(); ++n) {
        const auto* p = page(n);
        if ((p[0] == 0x03 || p[0] == 0x04) && p[1] == 0x01) {
            const std::uint32_t t = u32(p + 4);
            if (t < page_count() && page(t)[0] == kTypeTdef) tdefs.insert(t);
        }
    }
    return {tdefs.begin(), tdefs.end()};
}

std::optional<MiniTable> Jet4MiniReader::table(std::uint32_t tdef_page) const {
    if (tdef_page >= page_count() || page(tdef_page)[0] != kTypeTdef) return std::nullopt;
    std::vector<std::uint8_t> def(page(tdef_page), page(tdef_page) + kPage);
    std::uint32_t next = u32(page(tdef_page) + kTdefNext);
    for (std::size_t hops = 0; next != 0 && next < page_count() && hops < kMaxTdefPages; ++hops) {
        def.insert(def.end(), page(next) + 8, page(next) + kPage);
        next = u32(page(next) + kTdefNext);
    }
    const auto* d = def.data();
    MiniTable t;
    t.tdef_page = tdef_page;
    const std::size_t ncols = u16(d + kTdefColumnCount);
    const std::size_t nlogical = u32(d + kTdefLogicalCount);
    const std::size_t nreal = u32(d + kTdefRealCount);
    std::size_t pos = kTdefRealCounts + kRealCountSize * nreal;
    auto fits = [&](std::size_t n) { return pos + n <= def.size(); };
    if (!fits(kColumnSize * ncols)) return std::nullopt;
    for (std::size_t i = 0; i < ncols; ++i) {
        const auto* c = d + pos + kColumnSize * i;
        MiniColumn col;
        col.spec.type = static_cast<ColumnType>(c[0]);
        col.number = u16(c + 5);
        col.var_index = u16(c + 7);
        col.lcid = u16(c + 0x0B);
        col.sort_version = c[0x0E];
        col.spec.precision = c[0x0B];
        col.spec.scale = c[0x0C];
        col.flags = c[0x0F];
        col.fixed_offset = u16(c + 0x15);
        col.spec.size = u16(c + 0x17);
        t.columns.push_back(col);
    }
    pos += kColumnSize * ncols;
    for (auto& col : t.columns) {
        if (!fits(2)) return std::nullopt;
        const std::size_t len = u16(d + pos);
        pos += 2;
        if (!fits(len)) return std::nullopt;
        col.spec.name = ascii_name(d + pos, len);
        pos += len;
    }
    if (!fits(kRealIndexSize * nreal)) return std::nullopt;
    for (std::size_t i = 0; i < nreal; ++i) {
        const auto* b = d + pos + kRealIndexSize * i;
        MiniIndex idx;
        for (std::size_t k = 0; k < kMaxIndexColumns; ++k) {
            const std::uint16_t num = u16(b + 4 + 3 * k);
            if (num != 0xFFFF) idx.columns.emplace_back(num, (b[4 + 3 * k + 2] & 0x01) != 0);
        }
        idx.root = u32(b + 38);
        idx.flags = b[46];
        t.indexes.push_back(idx);
    }
    pos += kRealIndexSize * nreal;
    if (!fits(kLogicalIndexSize * nlogical)) return t;
    std::vector<std::uint32_t> real_of(nlogical);
    for (std::size_t i = 0; i < nlogical; ++i)
        real_of[i] = u32(d + pos + kLogicalIndexSize * i + 8);
    pos += kLogicalIndexSize * nlogical;
    for (std::size_t i = 0; i < nlogical; ++i) {
        if (!fits(2)) break;
        const std::size_t len = u16(d + pos);
        pos += 2;
        if (!fits(len)) break;
        if (real_of[i] < t.indexes.size() && t.indexes[real_of[i]].name.empty())
            t.indexes[real_of[i]].name = ascii_name(d + pos, len);
        pos += len;
    }
    return t;
}

std::vector<MiniEntry> Jet4MiniReader::leaf_entries(
    std::uint32_t root, std::vector<std::uint32_t>* page_numbers) const {
    std::vector<MiniEntry> out;
    std::vector<std::uint32_t> level{root};
    std::set<std::uint32_t> seen{root};
    for (std::size_t depth = 0; depth < kMaxDepth && !level.empty(); ++depth) {
        if (page_numbers) page_numbers->insert(page_numbers->end(), level.begin(), level.end());
        std::vector<std::uint32_t> below;
        for (auto n : level) {
            if (n >= page_count()) return out;
            const auto parsed = parse_index_page({page(n), kPage});
            if (!parsed) return out;
            if (parsed->type == 0x04) {
                for (const auto& e : parsed->entries) {
                    if (e.size() < 4) continue;
                    MiniEntry m;
                    m.key.assign(e.begin(), e.end() - 4);
                    m.page = (e[e.size() - 4] << 16) | (e[e.size() - 3] << 8) | e[e.size() - 2];
                    m.row = e.back();
                    out.push_back(std::move(m));
                }
                continue;
            }
            std::vector<std::uint32_t> children;
            for (const auto& e : parsed->entries)
                if (e.size() >= 8)
                    children.push_back((e[e.size() - 4] << 24) | (e[e.size() - 3] << 16) |
                                       (e[e.size() - 2] << 8) | e[e.size() - 1]);
            if (parsed->tail != 0) children.push_back(parsed->tail);
            for (auto c : children)
                if (seen.insert(c).second) below.push_back(c);
        }
        level = std::move(below);
    }
    return out;
}

std::optional<FieldValue> Jet4MiniReader::value(const MiniTable& t, const MiniColumn& col,
                                                std::uint32_t pg, std::uint8_t row) const {
    (void)t;
    std::size_t start = 0, end = 0;
    for (std::size_t hop = 0;; ++hop) {
        if (hop > kMaxOverflowHops || pg >= page_count()) return std::nullopt;
        const auto* p = page(pg);
        if (p[0] != kTypeData || row >= u16(p + kRowCount)) return std::nullopt;
        const std::uint16_t off = u16(p + kRowOffsets + 2 * row);
        if (off & kRowDeleted) return std::nullopt;
        start = off & kRowOffsetMask;
        end = row == 0 ? kPage : (u16(p + kRowOffsets + 2 * (row - 1)) & kRowOffsetMask);
        if (start + 2 > end || end > kPage) return std::nullopt;
        if (off & kRowOverflow) {
            row = p[start];
            pg = u24(p + start + 1);
            continue;
        }
        start += std::size_t{pg} * kPage;
        end += std::size_t{pg} * kPage;
        break;
    }
    const auto* r = data_.data();
    const std::size_t ncols = u16(r + start);
    const std::size_t mask_size = (ncols + 7) / 8;
    if (start + 2 + mask_size > end) return std::nullopt;
    const std::size_t mask = end - mask_size;
    FieldValue v;
    const bool bit = col.number < ncols && ((r[mask + col.number / 8] >> (col.number % 8)) & 1);
    if (col.spec.type == ColumnType::Boolean) {
        v.is_null = false;
        v.bytes = {static_cast<std::uint8_t>(bit ? 1 : 0)};
        return v;
    }
    if (!bit) return v;  // null
    v.is_null = false;
    if (col.flags & kColumnFixed) {
        const std::size_t w = fixed_width(col.spec.type);
        const std::size_t at = start + 2 + col.fixed_offset;
        if (col.spec.type == ColumnType::Text) {  // fixed-length text column
            const std::size_t n = col.spec.size;
            if (at + n > mask) return std::nullopt;
            v.text = decode_text(r + at, n);
            return v;
        }
        if (at + w > mask) return std::nullopt;
        v.bytes.assign(r + at, r + at + w);
        return v;
    }
    const std::size_t nvar = u16(r + mask - 2);
    if (col.var_index >= nvar) return FieldValue{};
    const std::size_t off_pos = mask - 4 - 2 * col.var_index;
    const std::size_t a = start + u16(r + off_pos);
    const std::size_t b = start + u16(r + off_pos - 2);
    if (a > b || b > end) return std::nullopt;
    const std::uint8_t* data = r + a;
    std::size_t len = b - a;
    if (col.spec.type == ColumnType::Memo) {
        if (len < kMemoHeader) return std::nullopt;
        const std::uint32_t head = u32(data);
        const std::size_t vlen = head & kMemoLengthMask;
        if (head & kMemoInline) {
            if (kMemoHeader + vlen > len) return std::nullopt;
            v.text = decode_text(data + kMemoHeader, vlen);
            return v;
        }
        if (head & kMemoSingleRow) {
            const std::uint8_t lrow = data[4];
            const std::uint32_t lpage = u24(data + 5);
            if (lpage >= page_count()) return std::nullopt;
            const auto* lp = page(lpage);
            if (lrow >= u16(lp + kRowCount)) return std::nullopt;
            const std::size_t ls = u16(lp + kRowOffsets + 2 * lrow) & kRowOffsetMask;
            const std::size_t le =
                lrow == 0 ? kPage : (u16(lp + kRowOffsets + 2 * (lrow - 1)) & kRowOffsetMask);
            if (ls > le || le - ls < vlen) return std::nullopt;
            v.text = decode_text(lp + ls, vlen);
            return v;
        }
        return std::nullopt;
    }
    if (col.spec.type == ColumnType::Text) {
        v.text = decode_text(data, len);
        return v;
    }
    v.bytes.assign(data, data + len);
    return v;
}

}  // namespace tessaly::jetdb::test
