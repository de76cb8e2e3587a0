#include "support/jet_fixture.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>

#include "common/le.h"
#include "support/jet_layout.h"
#include "support/jet_pages.h"

namespace tessaly::test::fixture {

using namespace jet;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kFlagsFixed = 0x03;     // fixed | updatable
constexpr std::uint8_t kFlagsVariable = 0x02;  // updatable
constexpr std::uint8_t kFlagsAutoLong = 0x07;  // fixed | updatable | autonumber
constexpr std::uint8_t kExtCompressible = 0x01;
constexpr std::uint8_t kPrimaryKeyFlags = 0x89;
constexpr std::uint8_t kOrderAsc = 0x01;
constexpr std::uint16_t kCodePage1252 = 1252;
constexpr double kCreationDate = 45000.5;  // 2023-03-15 12:00
constexpr std::uint32_t kMapBitmapBytes = 64;
constexpr std::uint8_t kNodeMarker = 0x01;  // byte 0x1A of node pages
constexpr std::size_t kIdxMarker = 0x1A;

Bytes utf16(const std::string& ascii) {
    Bytes out;
    for (char c : ascii) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

void put_bytes(Bytes& out, std::size_t at, const Bytes& b) {
    std::copy(b.begin(), b.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

void append_u16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void append_u32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t pointer(std::uint8_t row, std::uint32_t page) {
    return page << 8 | row;
}

// A data page holding `rows`, packed down from the page end.
Bytes data_page(std::uint32_t owner, const std::vector<Bytes>& rows) {
    Bytes pg(kPageSize, 0);
    pg[0] = kPageData;
    pg[1] = 0x01;
    put_u32(pg, kDataOwner, owner);
    put_u16(pg, kDataRowCount, static_cast<std::uint16_t>(rows.size()));
    std::size_t end = kPageSize;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        end -= rows[i].size();
        put_bytes(pg, end, rows[i]);
        put_u16(pg, kDataRowTable + 2 * i, static_cast<std::uint16_t>(end));
    }
    put_u16(pg, kDataFreeSpace, static_cast<std::uint16_t>(end - kDataRowTable - 2 * rows.size()));
    return pg;
}

// Inline usage map (start page 0) with the bits of `pages` set.
Bytes inline_map(const std::vector<std::uint32_t>& pages) {
    Bytes row(kMapInlineBits + kMapBitmapBytes, 0);
    row[0] = kMapInline;
    for (std::uint32_t p : pages)
        row[kMapInlineBits + p / 8] |= static_cast<std::uint8_t>(1u << (p % 8));
    return row;
}

struct FixedValue {
    std::uint16_t offset;
    Bytes bytes;
};

// A row: `ncols` columns, fixed area of `fixed_size` bytes, variable values in
// slot order (nullopt = null), and the numbers of the non-null columns.
Bytes make_row(std::uint16_t ncols, std::size_t fixed_size, const std::vector<FixedValue>& fixed,
               const std::vector<std::optional<Bytes>>& vars,
               const std::vector<std::uint16_t>& present) {
    Bytes row;
    append_u16(row, ncols);
    Bytes area(fixed_size, 0);
    for (const auto& f : fixed)
        put_bytes(area, f.offset, f.bytes);
    row.insert(row.end(), area.begin(), area.end());
    std::vector<std::uint16_t> offsets;
    for (const auto& v : vars) {
        offsets.push_back(static_cast<std::uint16_t>(row.size()));
        if (v) row.insert(row.end(), v->begin(), v->end());
    }
    if (!vars.empty()) {
        append_u16(row, static_cast<std::uint16_t>(row.size()));  // end of data
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it)
            append_u16(row, *it);
        append_u16(row, static_cast<std::uint16_t>(vars.size()));
    }
    Bytes mask((ncols + 7) / 8, 0);
    for (std::uint16_t c : present)
        mask[c / 8] |= static_cast<std::uint8_t>(1u << (c % 8));
    row.insert(row.end(), mask.begin(), mask.end());
    return row;
}

Bytes le32(std::uint32_t v) {
    Bytes b;
    append_u32(b, v);
    return b;
}

Bytes le16(std::uint16_t v) {
    Bytes b;
    append_u16(b, v);
    return b;
}

struct ColumnSpec {
    std::uint8_t type;
    std::uint16_t number;
    std::uint16_t var_index;
    std::uint8_t flags;
    std::uint8_t ext_flags;
    std::uint16_t fixed_offset;
    std::uint16_t length;
    std::string name;
};

struct TableSpec {
    std::uint8_t table_type = kTableUser;
    std::uint32_t row_count = 0;
    std::uint32_t autonumber = 0;
    std::uint16_t var_columns = 0;
    std::vector<ColumnSpec> columns;
    std::uint32_t owned_map = 0;
    std::uint32_t free_map = 0;
    struct Index {
        std::vector<std::uint16_t> columns;
        std::uint32_t map;
        std::uint32_t root;
        std::uint8_t flags;
    };
    std::vector<Index> real;
    struct Logical {
        std::uint32_t number;
        std::uint32_t real;
        std::uint8_t type;
        std::string name;
    };
    std::vector<Logical> logical;
    struct Lv {
        std::uint16_t column;
        std::uint32_t owned;
        std::uint32_t free;
    };
    std::vector<Lv> lv;
};

Bytes tdef_page(const TableSpec& t) {
    Bytes d(kTdefRealRowCounts, 0);
    d[0] = kPageTdef;
    d[1] = 0x01;
    put_u32(d, kTdefMagic, kTdefMagicValue);
    put_u32(d, kTdefRowCount, t.row_count);
    put_u32(d, kTdefAutonumber, t.autonumber);
    d[kTdefAutonumberFlag] = 0x01;
    d[kTdefTableType] = t.table_type;
    put_u16(d, kTdefMaxColumns, static_cast<std::uint16_t>(t.columns.size()));
    put_u16(d, kTdefVarColumns, t.var_columns);
    put_u16(d, kTdefColumnCount, static_cast<std::uint16_t>(t.columns.size()));
    put_u32(d, kTdefLogicalCount, static_cast<std::uint32_t>(t.logical.size()));
    put_u32(d, kTdefRealCount, static_cast<std::uint32_t>(t.real.size()));
    put_u32(d, kTdefOwnedMap, t.owned_map);
    put_u32(d, kTdefFreeMap, t.free_map);
    for (std::size_t i = 0; i < t.real.size(); ++i) {
        append_u32(d, 0);
        append_u32(d, t.row_count);
        append_u32(d, 0);
    }
    for (const auto& c : t.columns) {
        Bytes b(kColBlockSize, 0);
        b[kColType] = c.type;
        put_u32(b, kColMagic, kTdefMagicValue);
        put_u16(b, kColNumber, c.number);
        put_u16(b, kColVarIndex, c.var_index);
        put_u16(b, kColIndex, c.number);
        put_u16(b, kColMisc, kLcidGeneral);
        b[kColFlags] = c.flags;
        b[kColExtFlags] = c.ext_flags;
        put_u16(b, kColFixedOffset, c.fixed_offset);
        put_u16(b, kColLength, c.length);
        d.insert(d.end(), b.begin(), b.end());
    }
    for (const auto& c : t.columns) {
        Bytes n = utf16(c.name);
        append_u16(d, static_cast<std::uint16_t>(n.size()));
        d.insert(d.end(), n.begin(), n.end());
    }
    for (const auto& r : t.real) {
        Bytes b(kRealIdxBlockSize, 0);
        put_u32(b, kRealIdxMagic, kRealIdxMagicValue);
        for (std::size_t s = 0; s < kRealIdxColumnSlots; ++s) {
            std::size_t at = kRealIdxColumns + s * kRealIdxColumnSlotSize;
            put_u16(b, at, s < r.columns.size() ? r.columns[s] : kRealIdxUnusedColumn);
            b[at + 2] = s < r.columns.size() ? kOrderAsc : 0;
        }
        put_u32(b, kRealIdxMap, r.map);
        put_u32(b, kRealIdxRoot, r.root);
        b[kRealIdxFlags] = r.flags;
        d.insert(d.end(), b.begin(), b.end());
    }
    for (const auto& l : t.logical) {
        Bytes b(kLogIdxBlockSize, 0);
        put_u32(b, kLogIdxMagic, kTdefMagicValue);
        put_u32(b, kLogIdxNumber, l.number);
        put_u32(b, kLogIdxRealIndex, l.real);
        put_u32(b, kLogIdxOtherIndex, 0xFFFFFFFF);
        b[kLogIdxType] = l.type;
        d.insert(d.end(), b.begin(), b.end());
    }
    for (const auto& l : t.logical) {
        Bytes n = utf16(l.name);
        append_u16(d, static_cast<std::uint16_t>(n.size()));
        d.insert(d.end(), n.begin(), n.end());
    }
    for (const auto& lv : t.lv) {
        append_u16(d, lv.column);
        append_u32(d, lv.owned);
        append_u32(d, lv.free);
    }
    append_u16(d, kLvMapEnd);
    put_u32(d, kTdefLength, static_cast<std::uint32_t>(d.size()));
    put_u16(d, kTdefFreeSpace, static_cast<std::uint16_t>(kPageSize - kTdefPageHeader - d.size()));
    d.resize(kPageSize, 0);
    return d;
}

// An index page with the given full entries, prefix-compressed.
Bytes index_page(std::uint8_t type, std::uint32_t owner, std::uint32_t prev, std::uint32_t next,
                 std::uint32_t tail, const std::vector<Bytes>& entries) {
    Bytes pg(kPageSize, 0);
    pg[0] = type;
    pg[1] = 0x01;
    put_u32(pg, kIdxOwner, owner);
    put_u32(pg, kIdxPrev, prev);
    put_u32(pg, kIdxNext, next);
    put_u32(pg, kIdxTail, tail);
    std::size_t prefix = entries.empty() ? 0 : entries[0].size();
    for (const auto& e : entries) {
        std::size_t n = 0;
        while (n < prefix && n < e.size() && e[n] == entries[0][n])
            ++n;
        prefix = n;
    }
    if (entries.size() < 2) prefix = 0;
    put_u16(pg, kIdxPrefixLength, static_cast<std::uint16_t>(prefix));
    if (type == kPageIndexNode) pg[kIdxMarker] = kNodeMarker;
    std::size_t pos = kIdxEntries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::size_t skip = i == 0 ? 0 : prefix;
        put_bytes(pg, pos,
                  Bytes(entries[i].begin() + static_cast<std::ptrdiff_t>(skip), entries[i].end()));
        pos += entries[i].size() - skip;
        std::size_t bit = pos - kIdxEntries;
        pg[kIdxMask + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    put_u16(pg, kIdxFreeSpace, static_cast<std::uint16_t>(kPageSize - pos));
    return pg;
}

// Leaf entry of an ascending LONG key.
Bytes long_entry(std::int32_t value, std::uint32_t page, std::uint8_t row) {
    auto u = static_cast<std::uint32_t>(value) ^ 0x80000000u;
    return {0x7F,
            static_cast<std::uint8_t>(u >> 24),
            static_cast<std::uint8_t>(u >> 16),
            static_cast<std::uint8_t>(u >> 8),
            static_cast<std::uint8_t>(u),
            static_cast<std::uint8_t>(page >> 16),
            static_cast<std::uint8_t>(page >> 8),
            static_cast<std::uint8_t>(page),
            row};
}

Bytes header_page() {
    Bytes pg(kPageSize, 0);
    pg[0] = kPageHeader;
    pg[1] = 0x01;
    std::copy(kHdrSignatureText, kHdrSignatureText + kHdrSignatureSize, pg.begin() + kHdrSignature);
    pg[kHdrVersion] = kVersionJet4;
    put_u16(pg, kHdrCodePage, kCodePage1252);
    put_f64(pg, kHdrCreationDate, kCreationDate);
    auto mask = static_cast<std::uint32_t>(static_cast<std::int32_t>(kCreationDate));
    for (std::size_t i = 0; i < kHdrPasswordSize; ++i)
        pg[kHdrPassword + i] = static_cast<std::uint8_t>(mask >> (8 * (i % 4)));
    put_u16(pg, kHdrSortOrder, kLcidGeneral);
    apply_header_mask(pg);
    put_bytes(pg, kHdrVersionText, Bytes{'4', '.', '0', 0});
    return pg;
}

}  // namespace

std::vector<std::uint8_t> tiny_jet4() {
    std::vector<Bytes> pages(kTinyPageCount);
    pages[0] = header_page();

    std::vector<std::uint32_t> all_free;
    for (std::uint32_t p = kTinyPageCount; p < kMapBitmapBytes * 8; ++p)
        all_free.push_back(p);
    pages[kGlobalMapPage] = data_page(
        kGlobalMapPage, {inline_map(all_free), Bytes(kMapInlineBits + kMapBitmapBytes, 0)});

    // MSysObjects: Id, ParentId, Name, Type, Flags.
    TableSpec cat;
    cat.table_type = kTableSystem;
    cat.row_count = 3;
    cat.var_columns = 1;
    cat.columns = {{kTypeLong, 0, 0, kFlagsFixed, 0, 0, 4, "Id"},
                   {kTypeLong, 1, 0, kFlagsFixed, 0, 4, 4, "ParentId"},
                   {kTypeText, 2, 0, kFlagsVariable, 0, 0, 256, "Name"},
                   {kTypeInt, 3, 0, kFlagsFixed, 0, 8, 2, "Type"},
                   {kTypeLong, 4, 0, kFlagsFixed, 0, 10, 4, "Flags"}};
    cat.owned_map = pointer(kTinyMapCatalogOwned, kTinyMapPage);
    cat.free_map = pointer(kTinyMapCatalogOwned + 1, kTinyMapPage);
    pages[kCatalogPage] = tdef_page(cat);

    auto catalog_row = [](std::uint32_t id, std::uint32_t parent, const std::string& name,
                          std::uint16_t type, std::uint32_t flags) {
        return make_row(5, 14,
                        {{0, le32(id)}, {4, le32(parent)}, {8, le16(type)}, {10, le32(flags)}},
                        {utf16(name)}, {0, 1, 2, 3, 4});
    };
    pages[kTinyCatalogData] = data_page(
        kCatalogPage, {catalog_row(0x0F000001, 0x0F000000, "Tables", 3, 0x80000000),
                       catalog_row(kCatalogPage, 0x0F000001, "MSysObjects", 1, 0x80000002),
                       catalog_row(kTinyTableTdef, 0x0F000001, "T", 1, 0)});

    // Table T.
    TableSpec t;
    t.row_count = 3;
    t.autonumber = 3;
    t.var_columns = 2;
    t.columns = {{kTypeLong, 0, 0, kFlagsAutoLong, 0, 0, 4, "ID"},
                 {kTypeText, 1, 0, kFlagsVariable, kExtCompressible, 0, 100, "Name"},
                 {kTypeMemo, 2, 1, kFlagsVariable, kExtCompressible, 0, 0, "Notes"}};
    t.owned_map = pointer(kTinyMapTableOwned, kTinyMapPage);
    t.free_map = pointer(kTinyMapTableOwned + 1, kTinyMapPage);
    t.real = {{{0}, pointer(kTinyMapIndex, kTinyMapPage), kTinyIndexRoot, kPrimaryKeyFlags}};
    t.logical = {{0, 0, kLogIdxPrimaryKey, "PrimaryKey"}};
    t.lv = {{2, pointer(5, kTinyMapPage), pointer(6, kTinyMapPage)}};
    pages[kTinyTableTdef] = tdef_page(t);

    Bytes memo_data = utf16("memo!");
    Bytes lv_single = le32(static_cast<std::uint32_t>(memo_data.size()) | kLvSingleRow);
    Bytes ptr = le32(pointer(0, kTinyLval));
    lv_single.insert(lv_single.end(), ptr.begin(), ptr.end());
    lv_single.resize(kLvHeaderSize, 0);
    Bytes inline_data = utf16("hi");
    Bytes lv_inline = le32(static_cast<std::uint32_t>(inline_data.size()) | kLvInline);
    lv_inline.resize(kLvHeaderSize, 0);
    lv_inline.insert(lv_inline.end(), inline_data.begin(), inline_data.end());
    pages[kTinyTableData] = data_page(
        kTinyTableTdef, {make_row(3, 4, {{0, le32(1)}}, {utf16("a"), std::nullopt}, {0, 1}),
                         make_row(3, 4, {{0, le32(2)}}, {utf16("bb"), lv_single}, {0, 1, 2}),
                         make_row(3, 4, {{0, le32(3)}}, {std::nullopt, lv_inline}, {0, 2})});
    Bytes lval = data_page(0, {memo_data});
    put_u32(lval, kDataOwner, kLvalTag);
    pages[kTinyLval] = lval;

    // Index: root node -> leaf 8 (rows 0, 1) and tail leaf 9 (row 2).
    Bytes e1 = long_entry(1, kTinyTableData, 0), e2 = long_entry(2, kTinyTableData, 1),
          e3 = long_entry(3, kTinyTableData, 2);
    Bytes node_entry = e2;
    for (int shift = 24; shift >= 0; shift -= 8)
        node_entry.push_back(static_cast<std::uint8_t>(kTinyIndexLeaf1 >> shift));
    pages[kTinyIndexRoot] =
        index_page(kPageIndexNode, kTinyTableTdef, 0, 0, kTinyIndexLeaf2, {node_entry});
    pages[kTinyIndexLeaf1] =
        index_page(kPageIndexLeaf, kTinyTableTdef, 0, kTinyIndexLeaf2, 0, {e1, e2});
    pages[kTinyIndexLeaf2] =
        index_page(kPageIndexLeaf, kTinyTableTdef, kTinyIndexLeaf1, 0, 0, {e3});

    pages[kTinyMapPage] = data_page(
        0, {inline_map({kTinyCatalogData}), inline_map({}), inline_map({kTinyTableData}),
            inline_map({}), inline_map({kTinyIndexRoot, kTinyIndexLeaf1, kTinyIndexLeaf2}),
            inline_map({kTinyLval}), inline_map({})});

    Bytes image;
    for (const auto& p : pages)
        image.insert(image.end(), p.begin(), p.end());
    return image;
}

std::size_t row_offset(const std::vector<std::uint8_t>& image, std::uint32_t page,
                       std::uint32_t row) {
    std::size_t base = static_cast<std::size_t>(page) * kPageSize;
    ByteView pg(image.data() + base, kPageSize);
    return base + (pg.u16(kDataRowTable + 2 * row).value_or(0) & kRowOffsetMask);
}

}  // namespace tessaly::test::fixture
