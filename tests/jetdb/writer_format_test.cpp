// On-disk building blocks of the writer: usage maps, data pages, rows,
// table definitions spread over pages, and page 0.
#include <gtest/gtest.h>

#include "common/le.h"
#include "jetdb/data_page.h"
#include "jetdb/header_page.h"
#include "jetdb/long_value.h"
#include "jetdb/row_format.h"
#include "jetdb/table_definition.h"
#include "jetdb/usage_map.h"

namespace tessaly::jetdb {
namespace {

using namespace layout;

std::vector<std::uint32_t> bits_of(std::span<const std::uint8_t> bitmap, std::uint32_t first) {
    std::vector<std::uint32_t> pages;
    for (std::uint32_t i = 0; i < bitmap.size() * 8; ++i)
        if (bitmap[i / 8] >> (i % 8) & 1) pages.push_back(first + i);
    return pages;
}

TEST(UsageMapFormat, InlineWindowStartsOnAMultipleOfEight) {
    UsageMap m;
    for (std::uint32_t p : {1003u, 1001u, 1500u, 1001u})
        m.add(p);
    EXPECT_EQ(m.pages(), (std::vector<std::uint32_t>{1001, 1003, 1500}));
    ASSERT_TRUE(m.fits_inline());
    const MapRow row = m.inline_row();
    EXPECT_EQ(row[0], kMapTypeInline);
    EXPECT_EQ(ByteView(row).u32(kInlineMapStartOffset), 1000u);
    EXPECT_EQ(bits_of(std::span(row).subspan(kInlineMapBitmapOffset), 1000), m.pages());
    m.remove(1003);
    EXPECT_FALSE(m.contains(1003));

    // 1000 + 512 is one page past the window.
    UsageMap edge;
    edge.add(1000);
    edge.add(1511);
    EXPECT_TRUE(edge.fits_inline());
    edge.add(1512);
    EXPECT_FALSE(edge.fits_inline());
}

TEST(UsageMapFormat, ReferenceMapPointsToBitmapPagesBySlot) {
    UsageMap m;
    const std::vector<std::uint32_t> pages = {5, kPagesPerBitmapPage - 1,
                                              3 * kPagesPerBitmapPage + 7};
    for (auto p : pages)
        m.add(p);
    EXPECT_FALSE(m.fits_inline());
    const auto slots = m.reference_slots();
    EXPECT_EQ(slots, (std::vector<std::uint32_t>{0, 3}));
    const std::vector<std::uint32_t> bitmap_pages = {900, 901};
    const MapRow row = m.reference_row(bitmap_pages);
    ByteView v(row);
    EXPECT_EQ(row[0], kMapTypeReference);
    EXPECT_EQ(v.u32(1), 900u);
    EXPECT_EQ(v.u32(1 + 4 * 1), 0u);
    EXPECT_EQ(v.u32(1 + 4 * 3), 901u);
    const PageBytes first = m.bitmap_page(0);
    EXPECT_EQ(first[0], kPageTypeUsageBitmap);
    EXPECT_EQ(bits_of(std::span(first).subspan(kBitmapPageHeader), 0),
              (std::vector<std::uint32_t>{5, kPagesPerBitmapPage - 1}));
    const PageBytes fourth = m.bitmap_page(3);
    EXPECT_EQ(bits_of(std::span(fourth).subspan(kBitmapPageHeader), 3 * kPagesPerBitmapPage),
              (std::vector<std::uint32_t>{3 * kPagesPerBitmapPage + 7}));
}

TEST(UsageMapFormat, GlobalMapMarksPagesPastTheFileFree) {
    struct Case {
        std::uint32_t pages;
        std::size_t bitmap_bytes;
    };
    for (const Case c :
         {Case{16, 64}, Case{512, 64}, Case{513, 68}, Case{743, 96}, Case{736, 92}}) {
        const auto row = global_inline_map_row(c.pages, kGlobalMapMaxRow);
        ASSERT_EQ(row.size(), kInlineMapBitmapOffset + c.bitmap_bytes) << c.pages;
        const auto free = bits_of(std::span(row).subspan(kInlineMapBitmapOffset), 0);
        EXPECT_EQ(free.size(), c.bitmap_bytes * 8 - c.pages);
        if (!free.empty()) {
            EXPECT_EQ(free.front(), c.pages);
        }
    }
    EXPECT_TRUE(
        global_inline_map_row(static_cast<std::uint32_t>(kGlobalInlinePages) + 1, kGlobalMapMaxRow)
            .empty());
    const PageBytes second = global_bitmap_page(1, kPagesPerBitmapPage + 10);
    const auto free = bits_of(std::span(second).subspan(kBitmapPageHeader), kPagesPerBitmapPage);
    EXPECT_EQ(free.front(), kPagesPerBitmapPage + 10);
    EXPECT_EQ(free.size(), kPagesPerBitmapPage - 10);
}

TEST(DataPageFormat, RowsPackDownwardAndFreeSpaceIsCounted) {
    DataPage page;
    page.reset_table(42);
    const std::vector<std::uint8_t> a(100, 0xAA), b(30, 0xBB);
    EXPECT_EQ(page.add_row(a), 0);
    EXPECT_EQ(page.add_row(b), 1);
    ByteView v(page.bytes());
    EXPECT_EQ(v.u8(0), kPageTypeData);
    EXPECT_EQ(v.u32(kDataOwnerOffset), 42u);
    EXPECT_EQ(v.u16(kDataRowCountOffset), 2);
    EXPECT_EQ(v.u16(kDataRowTableOffset), kPageSize - 100);
    EXPECT_EQ(v.u16(kDataRowTableOffset + 2), kPageSize - 130);
    EXPECT_EQ(v.u16(kDataFreeSpaceOffset), kPageSize - kDataRowTableOffset - 2 * 2 - 130);
    EXPECT_EQ(page.bytes()[kPageSize - 101], 0xBB);

    // A full-size long-value row leaves the engine's 4 spare bytes.
    page.reset_long_value();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(page.bytes().data()) + kDataOwnerOffset, 4),
              "LVAL");
    ASSERT_TRUE(page.fits(kMaxLongValueRow));
    page.add_row(std::vector<std::uint8_t>(kMaxLongValueRow, 1));
    EXPECT_EQ(page.free_space(), 4u);
    EXPECT_FALSE(page.fits(3));

    // At most 255 rows.
    page.reset_table(1);
    for (int i = 0; i < 255; ++i)
        page.add_row(std::vector<std::uint8_t>(3, 0));
    EXPECT_FALSE(page.fits(1));
}

ColumnSpec spec(ColumnType type, std::uint16_t size = 0) {
    ColumnSpec s;
    s.type = type;
    s.size = size ? size : fixed_width(type);
    return s;
}

TEST(RowFormat, FixedAreaVariableOffsetsAndNullMask) {
    TableDefinition def(u"T", false);
    def.add_column(spec(ColumnType::Long), u"A");
    def.add_column(spec(ColumnType::Text, 20), u"B");
    def.add_column(spec(ColumnType::Boolean), u"C");
    def.add_column(spec(ColumnType::Int), u"D");
    def.add_column(spec(ColumnType::Text, 20), u"E");
    EXPECT_EQ(def.columns()[3].fixed_offset, 4);  // after A; booleans take no room
    EXPECT_EQ(def.columns()[3].var_index, 1);     // variable columns numbered before it
    EXPECT_EQ(def.columns()[4].var_index, 1);
    EXPECT_EQ(def.fixed_area_size(), 6);

    const std::vector<std::uint8_t> a = {1, 0, 0, 0}, b = {'x', 0, 'y', 0};
    std::vector<EncodedField> fields(5);
    fields[0] = {true, a};
    fields[1] = {true, b};
    fields[2] = {true, {}};  // true
    // D and E null
    std::vector<std::uint8_t> row;
    encode_row(def, fields, row);
    const std::vector<std::uint8_t> expected = {
        5,          0,                      // column count
        1,          0, 0,   0, 0, 0,        // A, then D's reserved room
        'x',        0, 'y', 0,              // B
        12,         0, 12,  0, 8, 0, 2, 0,  // end of data, E, B, variable count
        0b00000111,                         // A, B and C (true) present
    };
    EXPECT_EQ(row, expected);
    EXPECT_EQ(encoded_row_size(def, fields), expected.size());
}

TEST(RowFormat, TablesWithoutVariableColumnsHaveNoOffsetTable) {
    TableDefinition def(u"T", false);
    def.add_column(spec(ColumnType::Double), u"A");
    const std::vector<std::uint8_t> a(8, 0x11);
    const std::vector<EncodedField> fields = {{true, a}};
    std::vector<std::uint8_t> row;
    encode_row(def, fields, row);
    EXPECT_EQ(row.size(), 2u + 8u + 1u);
    EXPECT_EQ(row.back(), 1);
}

TEST(LongValueFormat, KindFollowsTheLengthAndTheRoomLeft) {
    EXPECT_EQ(choose_long_value_kind(0, 100), LongValueKind::Inline);
    EXPECT_EQ(choose_long_value_kind(64, 100), LongValueKind::Inline);
    EXPECT_EQ(choose_long_value_kind(64, 63), LongValueKind::SingleRow);
    EXPECT_EQ(choose_long_value_kind(65, 4000), LongValueKind::SingleRow);
    EXPECT_EQ(choose_long_value_kind(kMaxLongValueRow, 4000), LongValueKind::SingleRow);
    EXPECT_EQ(choose_long_value_kind(kMaxLongValueRow + 1, 4000), LongValueKind::Chain);
    EXPECT_EQ(long_value_pages_needed(LongValueKind::Chain, 2 * kMaxChainPart + 1), 3u);
    const auto h = long_value_header(LongValueKind::SingleRow, 300, make_row_pointer(77, 3));
    ByteView v(h);
    EXPECT_EQ(v.u32(0), 300u | kLongValueSingleRow);
    EXPECT_EQ(v.u8(4), 3);
    EXPECT_EQ(v.u24(5), 77u);
    EXPECT_EQ(v.u32(8), 0u);
}

TEST(TableDefinitionFormat, LongDefinitionsContinueOnFurtherPages) {
    TableDefinition def(u"Wide", false);
    for (int i = 0; i < 120; ++i) {
        std::u16string name = u"Column number ";
        for (char c : std::to_string(i))
            name.push_back(static_cast<char16_t>(c));
        def.add_column(spec(i % 3 ? ColumnType::Long : ColumnType::Memo), name);
    }
    const auto bytes = def.encode();
    EXPECT_EQ(bytes.size(), def.encoded_size());
    ByteView v(bytes);
    EXPECT_EQ(v.u32(kTdefLengthOffset), bytes.size());
    EXPECT_EQ(v.u16(kTdefColumnCountOffset), 120);
    EXPECT_EQ(v.u16(kTdefVarColumnsOffset), 40);
    EXPECT_EQ(v.u16(bytes.size() - 2), kTdefEndMarker);

    const std::size_t pages = tdef_page_count(bytes.size());
    ASSERT_EQ(pages, 2u);  // 4096 < size <= 8184
    const auto split = split_definition(bytes, {10, 20});
    std::vector<std::uint8_t> joined(split[0].begin(), split[0].end());
    for (std::size_t i = 1; i < split.size(); ++i) {
        EXPECT_EQ(split[i][0], kPageTypeTdef);
        joined.insert(joined.end(), split[i].begin() + kTdefPageHeaderSize, split[i].end());
    }
    joined.resize(bytes.size());
    // Page headers aside, the pages carry the definition unchanged.
    EXPECT_TRUE(std::equal(bytes.begin() + kTdefPageHeaderSize, bytes.end(),
                           joined.begin() + kTdefPageHeaderSize));
    EXPECT_EQ(ByteView(split[0]).u32(kTdefNextPageOffset), 20u);
    EXPECT_EQ(ByteView(split[1]).u32(kTdefNextPageOffset), 0u);
    EXPECT_EQ(ByteView(split[0]).u16(kTdefFreeSpaceOffset), 0);
    // The engine counts a continuation page's header twice in its free space.
    const std::size_t last_used = kTdefPageHeaderSize + bytes.size() - kPageSize;
    EXPECT_EQ(ByteView(split[1]).u16(kTdefFreeSpaceOffset),
              kPageSize - kTdefPageHeaderSize - last_used);
}

TEST(HeaderPageFormat, MaskedFieldsDecode) {
    HeaderFields fields;
    fields.creation_date = 45123.75;
    PageBytes page = build_header_page(fields);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(page.data()) + kHeaderSignatureOffset),
              "Standard Jet DB");
    EXPECT_EQ(page[kHeaderVersionOffset], kHeaderVersionJet4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(page.data()) + kHeaderEngineVersionOffset),
              "4.0");
    rc4_apply(kHeaderMaskKey,
              std::span<std::uint8_t>(page).subspan(kHeaderMaskedOffset, kHeaderMaskedLength));
    ByteView v(page);
    EXPECT_EQ(v.u32(kHeaderMaskedOffset), 0x100u);
    EXPECT_EQ(v.u16(kHeaderCodePageOffset), 1252);
    EXPECT_EQ(v.u32(kHeaderDatabaseKeyOffset), 0u);
    EXPECT_EQ(v.u16(kHeaderSortOrderOffset), 0x0409);
    EXPECT_EQ(v.f64(kHeaderCreationDateOffset), 45123.75);
    for (std::size_t off = 0; off < kHeaderPasswordLength; off += 4)
        EXPECT_EQ(v.u32(kHeaderPasswordOffset + off), 45123u);
    EXPECT_EQ(v.u16(kHeaderTrailerOffset + 2), kHeaderTrailerWord);
}

}  // namespace
}  // namespace tessaly::jetdb
