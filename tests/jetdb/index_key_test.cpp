// Index key bytes: fixed encodings of every indexable type, and the General
// (legacy) text order.
#include "jetdb/index_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "jetdb/engine_error.h"

namespace tessaly::jetdb {
namespace {

using Bytes = std::vector<std::uint8_t>;

FieldValue le_value(std::uint64_t v, std::size_t width) {
    FieldValue f;
    f.is_null = false;
    for (std::size_t i = 0; i < width; ++i)
        f.bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return f;
}

FieldValue double_value(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return le_value(bits, 8);
}

FieldValue float_value(float d) {
    std::uint32_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return le_value(bits, 4);
}

FieldValue bytes_value(Bytes b) {
    FieldValue f;
    f.is_null = false;
    f.bytes = std::move(b);
    return f;
}

FieldValue text_value(std::u16string s) {
    FieldValue f;
    f.is_null = false;
    f.text = std::move(s);
    return f;
}

// Numeric as stored: sign byte, then four little-endian dwords, most
// significant first.
FieldValue numeric_value(bool negative, std::uint32_t low) {
    Bytes b(17, 0);
    b[0] = negative ? 0x80 : 0x00;
    for (int i = 0; i < 4; ++i)
        b[13 + i] = static_cast<std::uint8_t>(low >> (8 * i));
    return bytes_value(b);
}

Bytes key_of(ColumnType type, const FieldValue& v, bool asc = true) {
    ColumnSpec col;
    col.name = "c";
    col.type = type;
    Bytes key;
    append_index_key(key, col, v, asc);
    return key;
}

Bytes text_key(std::u16string s, bool asc = true) {
    return key_of(ColumnType::Text, text_value(std::move(s)), asc);
}

struct FixedCase {
    const char* what;
    ColumnType type;
    FieldValue value;
    bool ascending;
    Bytes expected;
};

TEST(IndexKey, FixedTypesEncodeBigEndianWithFlags) {
    const FieldValue null_value;
    const std::vector<FixedCase> cases = {
        {"null asc", ColumnType::Long, null_value, true, {0x00}},
        {"null desc", ColumnType::Long, null_value, false, {0xFF}},
        {"byte", ColumnType::Byte, le_value(0x12, 1), true, {0x7F, 0x12}},
        {"byte desc", ColumnType::Byte, le_value(0x12, 1), false, {0x80, 0xED}},
        {"int -1", ColumnType::Int, le_value(0xFFFF, 2), true, {0x7F, 0x7F, 0xFF}},
        {"int -1 desc", ColumnType::Int, le_value(0xFFFF, 2), false, {0x80, 0x80, 0x00}},
        {"long catalog parent",
         ColumnType::Long,
         le_value(0x0F000000, 4),
         true,
         {0x7F, 0x8F, 0x00, 0x00, 0x00}},
        {"currency 1",
         ColumnType::Currency,
         le_value(10000, 8),
         true,
         {0x7F, 0x80, 0, 0, 0, 0, 0, 0x27, 0x10}},
        {"double 1.0",
         ColumnType::Double,
         double_value(1.0),
         true,
         {0x7F, 0xBF, 0xF0, 0, 0, 0, 0, 0, 0}},
        {"double -1.0",
         ColumnType::Double,
         double_value(-1.0),
         true,
         {0x7F, 0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"double 1.0 desc",
         ColumnType::Double,
         double_value(1.0),
         false,
         {0x80, 0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"double -1.0 desc",
         ColumnType::Double,
         double_value(-1.0),
         false,
         {0x80, 0xBF, 0xF0, 0, 0, 0, 0, 0, 0}},
        {"single 2.0", ColumnType::Single, float_value(2.0f), true, {0x7F, 0xC0, 0, 0, 0}},
        {"bool true", ColumnType::Boolean, le_value(1, 1), true, {0x7F, 0x00}},
        {"bool false", ColumnType::Boolean, le_value(0, 1), true, {0x7F, 0xFF}},
        {"bool null is false", ColumnType::Boolean, null_value, true, {0x7F, 0xFF}},
        {"bool true desc", ColumnType::Boolean, le_value(1, 1), false, {0x80, 0xFF}},
        {"binary 3 bytes",
         ColumnType::Binary,
         bytes_value({1, 2, 3}),
         true,
         {0x7F, 1, 2, 3, 0, 0, 0, 0, 0, 3}},
        {"binary 9 bytes desc",
         ColumnType::Binary,
         bytes_value({1, 2, 3, 4, 5, 6, 7, 8, 9}),
         false,
         {0x80, 0xFE, 0xFD, 0xFC, 0xFB, 0xFA, 0xF9, 0xF8, 0xF7, 0x09, 0xF6, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF, 0xFF, 0xFF, 0xFE}},
        {"guid",
         ColumnType::Guid,
         bytes_value({0x04, 0x03, 0x02, 0x01, 0x06, 0x05, 0x08, 0x07, 0x09, 0x0A, 0x0B, 0x0C, 0x0D,
                      0x0E, 0x0F, 0x10}),
         true,
         {0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 0x09, 9, 10, 11, 12, 13, 14, 15, 16, 0x08}},
        {"numeric 5",
         ColumnType::Numeric,
         numeric_value(false, 5),
         true,
         {0x7F, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5}},
        {"numeric -5",
         ColumnType::Numeric,
         numeric_value(true, 5),
         true,
         {0x7F, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF, 0xFF, 0xFA}},
        {"numeric 5 desc",
         ColumnType::Numeric,
         numeric_value(false, 5),
         false,
         {0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF, 0xFF, 0xFA}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(key_of(c.type, c.value, c.ascending), c.expected) << c.what;
}

TEST(IndexKey, RefusesOleAndWrongWidths) {
    EXPECT_THROW(key_of(ColumnType::Ole, bytes_value({1})), EngineError);
    EXPECT_THROW(key_of(ColumnType::Long, le_value(1, 2)), EngineError);
    EXPECT_THROW(key_of(ColumnType::Guid, bytes_value({1, 2, 3})), EngineError);
}

TEST(IndexKey, IntegerAndFloatKeysSortLikeTheirValues) {
    const std::vector<std::int32_t> longs = {INT32_MIN, -70000, -1, 0, 1, 255, 256, INT32_MAX};
    const std::vector<double> doubles = {-1e300, -2.5, -1.0, -1e-300, 0.0, 1e-300, 1.0, 3.5, 1e300};
    for (bool asc : {true, false}) {
        std::vector<Bytes> keys;
        for (auto v : longs)
            keys.push_back(
                key_of(ColumnType::Long, le_value(static_cast<std::uint32_t>(v), 4), asc));
        EXPECT_EQ(std::is_sorted(keys.begin(), keys.end()), asc);
        EXPECT_EQ(std::is_sorted(keys.rbegin(), keys.rend()), !asc);
        keys.clear();
        for (auto v : doubles)
            keys.push_back(key_of(ColumnType::Double, double_value(v), asc));
        EXPECT_EQ(std::is_sorted(keys.begin(), keys.end()), asc);
        EXPECT_EQ(std::is_sorted(keys.rbegin(), keys.rend()), !asc);
    }
}

struct TextCase {
    std::u16string text;
    bool ascending;
    Bytes expected;
};

TEST(IndexKey, TextSectionsMatchAccessBytes) {
    const std::vector<TextCase> cases = {
        // From a catalog index of an Access 2000 database.
        {u"DataAccessPages",
         true,
         {0x7F, 0x4F, 0x4A, 0x6D, 0x4A, 0x4A, 0x4D, 0x4D, 0x51, 0x6B, 0x6B, 0x66, 0x4A, 0x55, 0x51,
          0x6B, 0x01, 0x00}},
        {u"", true, {0x7F, 0x01, 0x00}},
        {u"A", false, {0x80, 0xB5, 0xFE, 0xFF, 0x00}},
        {u"0 9", true, {0x7F, 0x36, 0x07, 0x48, 0x01, 0x00}},
        // Accent section: a filler per plain character before the accented one.
        {u"a\u00E9", true, {0x7F, 0x4A, 0x51, 0x01, 0x02, 0x0E, 0x00}},
        // Trailing fillers are dropped.
        {u"\u00E9a", true, {0x7F, 0x51, 0x4A, 0x01, 0x0E, 0x00}},
        // Apostrophe: unprintable section with its position code.
        {u"ab'", true, {0x7F, 0x4A, 0x4C, 0x01, 0x01, 0x01, 0x01, 0x80, 0x0F, 0x06, 0x80, 0x00}},
        {u"o'a", true, {0x7F, 0x64, 0x4A, 0x01, 0x01, 0x01, 0x01, 0x80, 0x0B, 0x06, 0x80, 0x00}},
        // "ss" takes two positions before an unprintable...
        {u"Stra\u00DFe-x",
         true,
         {0x7F, 0x6B, 0x6D, 0x69, 0x4A, 0x6B, 0x6B, 0x51, 0x75, 0x01, 0x01, 0x01, 0x01, 0x80, 0x23,
          0x06, 0x82, 0x00}},
        // ...and before an accent.
        {u"\u00DF\u00E9", true, {0x7F, 0x6B, 0x6B, 0x51, 0x01, 0x02, 0x02, 0x0E, 0x00}},
        // Multi-byte symbol codes.
        {u"\u00A9", true, {0x7F, 0x34, 0xAB, 0x01, 0x00}},
        {u"^", true, {0x7F, 0x2B, 0x02, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        Bytes key;
        key.push_back(c.ascending ? kKeyAscendingFlag : kKeyDescendingFlag);
        append_general_text_key(key, c.text, c.ascending);
        EXPECT_EQ(key, c.expected);
        EXPECT_EQ(text_key(c.text, c.ascending), c.expected);
    }
}

TEST(IndexKey, TextIgnoresCaseTrailingSpacesAndLengthPast255) {
    EXPECT_EQ(text_key(u"Hello World"), text_key(u"HELLO world"));
    EXPECT_EQ(text_key(u"abc   "), text_key(u"abc"));
    EXPECT_NE(text_key(u"  abc"), text_key(u"abc"));
    const std::u16string long_a(300, u'a');
    EXPECT_EQ(text_key(long_a), text_key(long_a.substr(0, 255) + u"zzz"));
    EXPECT_NE(text_key(long_a.substr(0, 254)), text_key(long_a.substr(0, 255)));
}

TEST(IndexKey, TextTooLongToSpellOutKeepsOnePositionPerCharacter) {
    // 254 letters, U+00DF, an accented letter: spelling out "ss" would need
    // 256 characters, so U+00DF keeps a single accent slot.
    std::u16string text(254, u'a');
    text[253] = u'\u00DF';
    text += u"\u00E9";
    const Bytes key = text_key(text);
    const std::size_t end_inline = 1 + 253 + 2 + 1;  // flag, letters, "ss", e
    ASSERT_EQ(key[end_inline], 0x01);
    const Bytes accents(key.begin() + end_inline + 1, key.end() - 1);
    ASSERT_EQ(accents.size(), 255u);
    EXPECT_EQ(accents.back(), 0x0E);
}

TEST(IndexKey, TextKeysSortInGeneralOrder) {
    // Ascending keys must come out in this order; descending in the reverse.
    const std::vector<std::u16string> ordered = {
        u"",
        u" ",
        u"!",
        u"0",
        u"1",
        u"9",
        u"a",
        u"ab",
        u"Ab",
        u"A-b",
        u"abc",
        u"b",
        u"\u00E9t\u00E9",
        u"f",
        u"\u00FF",
        u"z",
    };
    for (bool asc : {true, false}) {
        std::vector<Bytes> keys;
        for (const auto& s : ordered)
            keys.push_back(text_key(s, asc));
        for (std::size_t i = 1; i < keys.size(); ++i) {
            if (asc)
                EXPECT_LE(keys[i - 1], keys[i]) << i;
            else
                EXPECT_GE(keys[i - 1], keys[i]) << i;
        }
    }
}

}  // namespace
}  // namespace tessaly::jetdb
