#include "jetdb/value_convert.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "jetdb/engine_error.h"

namespace tessaly::jetdb {
namespace {

ColumnSpec column(ColumnType type, std::uint16_t size = 0, std::uint8_t precision = 0,
                  std::uint8_t scale = 0) {
    ColumnSpec c;
    c.name = "F";
    c.type = type;
    c.size = size;
    c.precision = precision;
    c.scale = scale;
    return c;
}

std::int64_t little_endian_signed(const std::vector<std::uint8_t>& b) {
    std::uint64_t v = 0;
    for (std::size_t i = b.size(); i-- > 0;)
        v = (v << 8) | b[i];
    const unsigned bits = 8 * b.size();
    if (bits < 64 && (v >> (bits - 1)) & 1) v |= ~std::uint64_t{0} << bits;
    return static_cast<std::int64_t>(v);
}

double as_double(const FieldValue& v) {
    double d;
    std::memcpy(&d, v.bytes.data(), sizeof d);
    return d;
}

float as_float(const FieldValue& v) {
    float f;
    std::memcpy(&f, v.bytes.data(), sizeof f);
    return f;
}

// std::nullopt in `expected` means the conversion must be refused.
struct IntegerCase {
    ColumnType type;
    const char* text;
    std::optional<std::int64_t> expected;
};

TEST(ConvertFieldText, IntegerTypesRoundHalfToEvenAndRefuseOutOfRange) {
    using T = ColumnType;
    const IntegerCase cases[] = {
        {T::Long, "123", 123},
        {T::Long, " -45 ", -45},
        {T::Long, "+7", 7},
        {T::Long, "2.5", 2},
        {T::Long, "3.5", 4},
        {T::Long, "-2.5", -2},
        {T::Long, "2.5000001", 3},
        {T::Long, "1e3", 1000},
        {T::Long, "1.5E+1", 15},
        {T::Long, "1,000,000", 1000000},
        {T::Long, "(5)", -5},
        {T::Long, "5-", -5},
        {T::Long, "$12", 12},
        {T::Long, "0000000042", 42},
        {T::Long, "2147483647", 2147483647},
        {T::Long, "-2147483648", -2147483648LL},
        {T::Long, "2147483646.5", 2147483646},
        {T::Long, "2147483647.5", std::nullopt},
        {T::Long, "2147483648", std::nullopt},
        {T::Long, "-2147483649", std::nullopt},
        {T::Long, "1e100", std::nullopt},
        {T::Long, "1e-100", 0},
        {T::Long, "abc", std::nullopt},
        {T::Long, " ", std::nullopt},
        {T::Long, "1.2.3", std::nullopt},
        {T::Long, "&HFF", std::nullopt},
        {T::Long, "1e", std::nullopt},
        {T::Long, "--1", std::nullopt},
        {T::Long, "(-1)", std::nullopt},
        {T::Long, ",5", std::nullopt},
        {T::Long, "5 5", std::nullopt},
        {T::Long, "Infinity", std::nullopt},
        {T::Int, "32767", 32767},
        {T::Int, "-32768", -32768},
        {T::Int, "32768", std::nullopt},
        {T::Int, "65535", std::nullopt},
        {T::Byte, "255", 255},
        {T::Byte, "256", std::nullopt},
        {T::Byte, "-1", std::nullopt},
        {T::Byte, "-0.4", 0},
        {T::Byte, "0.5", 0},
        {T::Byte, "1.5", 2},
        {T::Byte, "255.5", std::nullopt},
    };
    for (const auto& c : cases) {
        const ColumnSpec col = column(c.type);
        if (!c.expected) {
            EXPECT_THROW(convert_field_text(col, c.text), EngineError) << c.text;
            continue;
        }
        const FieldValue v = convert_field_text(col, c.text);
        ASSERT_FALSE(v.is_null) << c.text;
        ASSERT_EQ(v.bytes.size(), fixed_width(c.type)) << c.text;
        const std::int64_t stored =
            c.type == ColumnType::Byte ? v.bytes[0] : little_endian_signed(v.bytes);
        EXPECT_EQ(stored, *c.expected) << c.text;
    }
}

TEST(ConvertFieldText, BooleanTakesWordsAndNumbers) {
    struct Case {
        const char* text;
        std::optional<bool> expected;
    };
    const Case cases[] = {
        {"True", true},        {"false", false},     {"YES", true},       {"no", false},
        {" Yes ", true},       {"1", true},          {"0", false},        {"-1", true},
        {"2", true},           {"0.0", false},       {"0.5", true},       {"-0", false},
        {"abc", std::nullopt}, {"On", std::nullopt}, {"T", std::nullopt},
    };
    for (const auto& c : cases) {
        const ColumnSpec col = column(ColumnType::Boolean);
        if (!c.expected) {
            EXPECT_THROW(convert_field_text(col, c.text), EngineError) << c.text;
            continue;
        }
        const FieldValue v = convert_field_text(col, c.text);
        EXPECT_EQ(v.bytes,
                  std::vector<std::uint8_t>{*c.expected ? std::uint8_t{1} : std::uint8_t{0}})
            << c.text;
    }
}

TEST(ConvertFieldText, CurrencyKeepsFourDecimalsRoundingHalfToEven) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    struct Case {
        const char* text;
        std::optional<std::int64_t> expected;
    };
    const Case cases[] = {
        {"1.5000", 15000},
        {"0.0000", 0},
        {"1234.5678", 12345678},
        {"-1.5000", -15000},
        {"0.00005", 0},
        {"0.00015", 2},
        {"0.00025", 2},
        {"0.000250001", 3},
        {"-0.00015", -2},
        {"1e3", 10000000},
        {"$1,234.50", 12345000},
        {"922337203685477.5807", kMax},
        {"-922337203685477.5808", kMin},
        {"922337203685477.5808", std::nullopt},
        {"-922337203685477.5809", std::nullopt},
        {"12 dollars", std::nullopt},
    };
    for (const auto& c : cases) {
        const ColumnSpec col = column(ColumnType::Currency);
        if (!c.expected) {
            EXPECT_THROW(convert_field_text(col, c.text), EngineError) << c.text;
            continue;
        }
        const FieldValue v = convert_field_text(col, c.text);
        ASSERT_EQ(v.bytes.size(), 8u);
        EXPECT_EQ(little_endian_signed(v.bytes), *c.expected) << c.text;
    }
}

TEST(ConvertFieldText, FloatingPointGivesTheNearestValue) {
    char huge[400];
    std::snprintf(huge, sizeof huge, "%f", 1e300);  // every digit of the double
    char largest[400];
    std::snprintf(largest, sizeof largest, "%f", DBL_MAX);
    struct Case {
        const char* text;
        std::optional<double> expected;
    };
    const Case doubles[] = {
        {"0.333333333333333", 0.333333333333333},
        {"-2.5", -2.5},
        {"1.5E+3", 1500.0},
        {" 12345678 ", 12345678.0},
        {"0.1", 0.1},
        {huge, 1e300},
        {largest, DBL_MAX},
        {"4.9406564584124654e-324", 4.9406564584124654e-324},
        {"1e-400", 0.0},
        {"1e309", std::nullopt},
        {"NaN", std::nullopt},
        {"1.0.0", std::nullopt},
    };
    for (const auto& c : doubles) {
        const ColumnSpec col = column(ColumnType::Double);
        if (!c.expected) {
            EXPECT_THROW(convert_field_text(col, c.text), EngineError) << c.text;
            continue;
        }
        EXPECT_EQ(as_double(convert_field_text(col, c.text)), *c.expected) << c.text;
    }

    struct FloatCase {
        const char* text;
        std::optional<float> expected;
    };
    const FloatCase singles[] = {
        {"123.456", 123.456f},    {"250000", 250000.0f}, {"12345678", 12345678.0f},
        {"0.001", 0.001f},        {"-2.5", -2.5f},       {"3.4028234e38", FLT_MAX},
        {"3.5e38", std::nullopt},
    };
    for (const auto& c : singles) {
        const ColumnSpec col = column(ColumnType::Single);
        if (!c.expected) {
            EXPECT_THROW(convert_field_text(col, c.text), EngineError) << c.text;
            continue;
        }
        const FieldValue v = convert_field_text(col, c.text);
        ASSERT_EQ(v.bytes.size(), 4u);
        EXPECT_EQ(as_float(v), *c.expected) << c.text;
    }
}

TEST(ConvertFieldText, DatesParseRenderedAndIsoForms) {
    const double kTime37s = (36526.0 * 86400 + 37) / 86400;
    struct Case {
        const char* text;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {"01/01/2000 ", 36526.0},
        {"01/01/2000 06:00:00 PM", 36526.75},
        {"01/01/2000 12:00:00 PM", 36526.5},
        {"01/01/2000 12:00:37 AM", kTime37s},
        {"06:00:00 AM", 0.25},
        {"12:00:00 AM", 0.0},
        {"12:00:00 pm", 0.5},
        {"6 PM", 0.75},
        {"18:30", (18 * 60 + 30) / 1440.0},
        {"1/31/2000", 36556.0},
        {"1-31-2000", 36556.0},
        {"2000-01-31", 36556.0},
        {"2000/01/31", 36556.0},
        {"2000-01-31 18:00:00", 36556.75},
        {"2000-01-31T18:00:00", 36556.75},
        {"02/29/2000", 36585.0},
        {"12/30/1899", 0.0},
        {"12/29/1899 06:00:00 AM", -1.25},
        {"12/29/1899 06:00:00 PM", -1.75},
        {"01/01/0100", -657434.0},
        {"12/31/9999", 2958465.0},
        {"1/1/30", 10959.0},
        {"1/1/29", 47119.0},
        {"02/29/1900", std::nullopt},
        {"13/01/2000", std::nullopt},
        {"01/32/2000", std::nullopt},
        {"01/01/0099", std::nullopt},
        {"01/01/10000", std::nullopt},
        {"25:00", std::nullopt},
        {"13:00 PM", std::nullopt},
        {"10:60", std::nullopt},
        {"2000-01-31T", std::nullopt},
        {"01/31/2000T10:00", std::nullopt},
        {"2000-01-31 Z", std::nullopt},
        {"01/01/2000 06:00:00 XM", std::nullopt},
        {"01/01/200006:00", std::nullopt},
        {"2000-13-01", std::nullopt},
        {"36526", std::nullopt},
        {"January 1, 2000", std::nullopt},
        {"01/01", std::nullopt},
    };
    for (const auto& c : cases) {
        const ColumnSpec col = column(ColumnType::DateTime);
        if (!c.expected) {
            EXPECT_THROW(convert_field_text(col, c.text), EngineError) << c.text;
            continue;
        }
        EXPECT_EQ(as_double(convert_field_text(col, c.text)), *c.expected) << c.text;
    }
}

TEST(ConvertFieldText, GuidStoresFirstThreeGroupsLittleEndian) {
    const std::vector<std::uint8_t> expected = {0x40, 0xFC, 0x29, 0x6B, 0x47, 0xCA, 0x67, 0x10,
                                                0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA};
    const ColumnSpec col = column(ColumnType::Guid);
    for (const char* text :
         {"{6B29FC40-CA47-1067-B31D-00DD010662DA}", "6b29fc40-ca47-1067-b31d-00dd010662da",
          " {6B29FC40-CA47-1067-B31D-00DD010662DA} "})
        EXPECT_EQ(convert_field_text(col, text).bytes, expected) << text;
    for (const char* text :
         {"{6B29FC40-CA47-1067-B31D-00DD010662DA", "6B29FC40CA471067B31D00DD010662DA",
          "{6B29FC40-CA47-1067-B31D-00DD010662DG}", "{6B29FC40-CA47-1067-B31D-00DD010662D}",
          "6B29FC40-CA47-1067-B31D-00DD010662DA-"})
        EXPECT_THROW(convert_field_text(col, text), EngineError) << text;
}

TEST(ConvertFieldText, NumericStoresSignAndScaledMagnitudeWords) {
    struct Case {
        std::uint8_t precision, scale;
        const char* text;
        std::optional<std::vector<std::uint8_t>> expected;
    };
    using B = std::vector<std::uint8_t>;
    const Case cases[] = {
        {18, 2, "123.45", B{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x39, 0x30, 0, 0}},
        {18, 2, "0000000000000123.45", B{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x39, 0x30, 0, 0}},
        {18, 2, "-1", B{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x64, 0, 0, 0}},
        {18, 2, "0.005", B(17, 0)},
        {18, 2, "0.015", B{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0}},
        {18, 2, "-0.001", B(17, 0)},
        {18, 0, "4294967296", B{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
        {28, 0, "9999999999999999999999999999",
         B{0, 0, 0, 0, 0, 0x5E, 0xCE, 0x4F, 0x20, 0x61, 0x02, 0x25, 0x3E, 0xFF, 0xFF, 0xFF, 0x0F}},
        {5, 2, "999.99", B{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x9F, 0x86, 0x01, 0}},
        {5, 2, "1000", std::nullopt},
        {5, 2, "999.995", std::nullopt},
        {28, 0, "99999999999999999999999999999", std::nullopt},
        {18, 2, "x", std::nullopt},
    };
    for (const auto& c : cases) {
        const ColumnSpec col = column(ColumnType::Numeric, 17, c.precision, c.scale);
        if (!c.expected) {
            EXPECT_THROW(convert_field_text(col, c.text), EngineError) << c.text;
            continue;
        }
        EXPECT_EQ(convert_field_text(col, c.text).bytes, *c.expected) << c.text;
    }
}

TEST(ConvertFieldText, TextHonoursTheFieldSizeInCharacters) {
    const ColumnSpec text5 = column(ColumnType::Text, 10);
    EXPECT_EQ(convert_field_text(text5, "hello").text, u"hello");
    EXPECT_EQ(convert_field_text(text5, "h\xC3\xA9llo").text, u"h\u00E9llo");
    EXPECT_EQ(convert_field_text(text5, "  ").text, u"  ");
    EXPECT_THROW(convert_field_text(text5, "hello!"), EngineError);
    EXPECT_THROW(convert_field_text(text5, "abcd\xF0\x9F\x98\x80"), EngineError);  // 6 units
    EXPECT_THROW(convert_field_text(text5, "\xC3"), EngineError);

    const ColumnSpec text255 = column(ColumnType::Text, 510);
    EXPECT_NO_THROW(convert_field_text(text255, std::string(255, 'x')));
    EXPECT_THROW(convert_field_text(text255, std::string(256, 'x')), EngineError);

    const std::string big(100000, 'm');
    EXPECT_EQ(convert_field_text(column(ColumnType::Memo), big).text.size(), big.size());
}

TEST(ConvertFieldText, BinaryAndOleStoreTheTextsUtf16Bytes) {
    const std::vector<std::uint8_t> ole_data = {'O', 0, 'L', 0, 'E', 0, ' ', 0,
                                                'D', 0, 'A', 0, 'T', 0, 'A', 0};
    EXPECT_EQ(convert_field_text(column(ColumnType::Ole), "OLE DATA").bytes, ole_data);
    const ColumnSpec bin4 = column(ColumnType::Binary, 4);
    EXPECT_EQ(convert_field_text(bin4, "ab").bytes, (std::vector<std::uint8_t>{'a', 0, 'b', 0}));
    EXPECT_THROW(convert_field_text(bin4, "abc"), EngineError);
}

TEST(ConvertFieldText, EmptyTextIsNullForEveryType) {
    using T = ColumnType;
    for (T type : {T::Boolean, T::Byte, T::Int, T::Long, T::Currency, T::Single, T::Double,
                   T::DateTime, T::Binary, T::Text, T::Ole, T::Memo, T::Guid, T::Numeric}) {
        const FieldValue v = convert_field_text(column(type, 10, 18, 2), "");
        EXPECT_TRUE(v.is_null) << column_type_name(type);
        EXPECT_TRUE(v.bytes.empty());
        EXPECT_TRUE(v.text.empty());
    }
}

TEST(ConvertFieldText, ErrorsNameTheFieldTypeAndReason) {
    ColumnSpec col = column(ColumnType::Long);
    col.name = "Quantity";
    try {
        convert_field_text(col, "twelve");
        FAIL() << "no error";
    } catch (const EngineError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("Quantity"), std::string::npos) << message;
        EXPECT_NE(message.find("Long Integer"), std::string::npos) << message;
        EXPECT_NE(message.find("twelve"), std::string::npos) << message;
        EXPECT_NE(message.find("not a number"), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace tessaly::jetdb
