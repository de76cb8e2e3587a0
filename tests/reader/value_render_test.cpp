// Value texts: the formatting rules and rendering from a page.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "reader/value_render.h"
#include "support/jet_page_builder.h"

namespace tessaly::reader {
namespace {

TEST(FormatFloat, KeepsSignificantDigitsForBothSigns) {
    struct Case {
        double x;
        bool single;
        const char* text;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {123.456f, true, "123.456"},
        {-123.456f, true, "-123.456"},  // negative values keep their digits too
        {0.001f, true, "0.001"},
        {250000.0f, true, "250000"},
        {12345678.0f, true, "12345678"},
        {-2.5f, true, "-2.5"},
        {0.5f, true, "0.5"},
        {0.0, true, "0"},
        {1.0 / 3.0, false, "0.333333333333333"},
        {-1.0 / 3.0, false, "-0.333333333333333"},
        {0.1, false, "0.1"},
        {1234.5678, false, "1234.5678"},
        {1e20, false, "100000000000000000000"},
        {-0.0, false, "0"},
        {nan, false, ""},
        {inf, true, ""},
        {-inf, false, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format_float(c.x, c.single), c.text) << c.x;
}

TEST(FormatMoney, RendersEverySigned64BitValue) {
    struct Case {
        std::int64_t v;
        const char* text;
    };
    const Case cases[] = {
        {15000, "1.5000"},
        {0, "0.0000"},
        {12345678, "1234.5678"},
        {-15000, "-1.5000"},
        {1, "0.0001"},
        {-1, "-0.0001"},
        {std::numeric_limits<std::int64_t>::max(), "922337203685477.5807"},
        {std::numeric_limits<std::int64_t>::min(), "-922337203685477.5808"},
        {std::int64_t{1} << 56, "7205759403792.7936"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format_money(c.v), c.text) << c.v;
}

TEST(FormatNumeric, UsesSignAndFullMagnitude) {
    struct Case {
        bool negative;
        unsigned __int128 magnitude;
        int precision, scale;
        const char* text;
    };
    const unsigned __int128 big = (static_cast<unsigned __int128>(1) << 96) - 1;
    const Case cases[] = {
        {false, 12345, 5, 2, "123.45"},
        {false, 12345, 18, 2, "0000000000000123.45"},
        {false, 12345, 18, 0, "12345"},
        {true, 12345, 5, 2, "-123.45"},
        {true, 0, 5, 2, "000.00"},
        {false, 5, 3, 3, ".005"},
        {false, 123456, 3, 2, "1234.56"},  // more digits than the precision: none lost
        {false, big, 28, 0, "79228162514264337593543950335"},
        {true, big, 28, 10, "-7922816251426433759.3543950335"},
        {false, 7, 200, 255, nullptr},  // damaged precision and scale: bounded
    };
    for (const Case& c : cases) {
        const std::string text = format_numeric(c.negative, c.magnitude, c.precision, c.scale);
        if (c.text)
            EXPECT_EQ(text, c.text);
        else
            EXPECT_LE(text.size(), 42u);
    }
}

TEST(FormatDateTime, CoversYears100To9999AndRoundsToTheSecond) {
    struct Case {
        double days;
        const char* text;
    };
    const Case cases[] = {
        {36526, "01/01/2000 "},
        {36526.5, "01/01/2000 12:00:00 PM"},
        {36526.75, "01/01/2000 06:00:00 PM"},
        {36526.25 + 1.0 / 86400, "01/01/2000 06:00:01 AM"},
        {36526 + 59.6 / 86400, "01/01/2000 12:01:00 AM"},  // rounded, not cut
        {36526 + 0.4 / 86400, "01/01/2000 "},              // rounds to midnight
        {36526 + (86400 - 0.4) / 86400, "01/02/2000 "},    // rounds into the next day
        {20000, "10/03/1954 "},                            // before 1970
        {50000.5, "11/21/2036 12:00:00 PM"},
        {100000, "10/14/2173 "},  // after 2038
        {0, "12:00:00 AM"},
        {0.5, "12:00:00 PM"},
        {0.25, "06:00:00 AM"},
        {-0.5, "12:00:00 PM"},
        {1, "12/31/1899 "},
        {-1.25, "12/29/1899 06:00:00 AM"},
        {-657434, "01/01/0100 "},
        {2958465.99999, "12/31/9999 11:59:59 PM"},
        {2958465.999999999, "12/31/9999 11:59:59 PM"},
        {-657435, ""},
        {2958466, ""},
        {std::nan(""), ""},
        {1e300, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format_datetime(c.days), c.text) << c.days;
}

// Values placed in a data page and rendered through the page, as rows are.
class PageValues : public ::testing::Test {
  protected:
    void SetUp() override {
        test::JetFileBuilder b(true);
        b.put_bytes(1, 100, {0xFF, 0xFF, 0xFF, 0xFF});
        b.put_bytes(1, 200, {0x98, 0x3A, 0, 0, 0, 0, 0, 0});
        b.put_bytes(1, 300, {0xFF, 0xFE, 'H', 'i'});
        b.put_bytes(1, 4094, {0x34, 0x12});
        file = jet_open_bytes(b.bytes(), state);
        ASSERT_TRUE(file);
        load_page(*file, 1);
    }
    std::string render(std::int32_t type, std::int64_t position, std::int64_t length) {
        std::string out = "stale";
        render_value(type, *file, position, length, out);
        return out;
    }
    recovery::RecoveryState state;
    std::shared_ptr<JetFile> file;
};

TEST_F(PageValues, RendersEachTypeAndNothingOutsideThePage) {
    EXPECT_EQ(render(kTypeByte, 100, 1), "255");
    EXPECT_EQ(render(kTypeInt16, 100, 2), "-1");  // signed, as stored
    EXPECT_EQ(render(kTypeInt32, 100, 4), "-1");
    EXPECT_EQ(render(kTypeMoney, 200, 8), "1.5000");
    EXPECT_EQ(render(kTypeText, 300, 4), "Hi");
    EXPECT_EQ(render(kTypeText, 300, 0), "");
    EXPECT_EQ(render(kTypeBinary, 100, 4), "");
    EXPECT_EQ(render(15, 100, 4), "");
    EXPECT_EQ(render(kTypeLongBinary, 100, 4), "OLE DATA");
    EXPECT_EQ(render(kTypeInt16, 4094, 2), "4660");
    // Positions and lengths from damaged rows.
    EXPECT_EQ(render(kTypeInt16, 4095, 2), "");
    EXPECT_EQ(render(kTypeInt32, 4094, 4), "");
    EXPECT_EQ(render(kTypeDouble, 4090, 8), "");
    EXPECT_EQ(render(kTypeDateTime, 4090, 8), "");
    EXPECT_EQ(render(kTypeMoney, -8, 8), "");
    EXPECT_EQ(render(kTypeText, 4000, 200), "");
    EXPECT_EQ(render(kTypeText, -2, 4), "");
    EXPECT_EQ(render(kTypeMemo, 4090, 20), "");
    std::string out;
    render_numeric(*file, 4080, 18, 2, out);
    EXPECT_EQ(out, "");
}

TEST_F(PageValues, ColumnRulesForBooleansAndNulls) {
    ColumnDef boolean;
    boolean.type = kTypeBoolean;
    ColumnDef number;
    number.type = kTypeInt32;
    std::string out;
    render_column(boolean, *file, 0, 0, false, out);
    EXPECT_EQ(out, "1");
    render_column(boolean, *file, 0, 0, true, out);
    EXPECT_EQ(out, "0");
    render_column(number, *file, 100, 4, true, out);
    EXPECT_EQ(out, "");
    render_column(number, *file, 100, 0, false, out);
    EXPECT_EQ(out, "");
    render_column(number, *file, 100, 4, false, out);
    EXPECT_EQ(out, "-1");
}

TEST(NumericValue, ReadsSignByteAndFourWordsMostSignificantFirst) {
    test::JetFileBuilder b(true);
    // -(2^64 + 12345) at scale 2: words 0, 1, 0, 12345.
    b.put_bytes(1, 50, {0x80, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x39, 0x30, 0, 0});
    recovery::RecoveryState state;
    auto file = jet_open_bytes(b.bytes(), state);
    ASSERT_TRUE(file);
    load_page(*file, 1);
    ColumnDef c;
    c.type = kTypeNumeric;
    c.precision = 28;
    c.scale = 2;
    std::string out;
    render_column(c, *file, 50, 17, false, out);
    EXPECT_EQ(out, "-00000000184467440737095639.61");
}

}  // namespace
}  // namespace tessaly::reader
