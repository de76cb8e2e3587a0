#include "jetdb/text_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "jetdb/engine_error.h"

namespace tessaly::jetdb {
namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> list) {
    std::vector<std::uint8_t> out;
    for (int b : list)
        out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

std::vector<std::uint8_t> plain(std::u16string_view text) {
    std::vector<std::uint8_t> out;
    for (char16_t u : text) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

TEST(Utf8, ConvertsBothWaysIncludingSupplementaryCharacters) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"", u""},
        {"plain ascii", u"plain ascii"},
        {"\xC3\xA4\xC3\xA4kk\xC3\xB6si\xC3\xA4", u"\u00E4\u00E4kk\u00F6si\u00E4"},
        {"\xD0\x9C\xD0\xB8\xD1\x80", u"\u041C\u0438\u0440"},
        {"\xE6\xBC\xA2\xE5\xAD\x97", u"\u6F22\u5B57"},
        {"a\xF0\x9F\x98\x80z", u"a\U0001F600z"},
        {"\xEF\xBF\xBF", u"\uFFFF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8_to_utf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(utf16_to_utf8(c.utf16), c.utf8) << c.utf8;
    }
}

TEST(Utf8, RefusesMalformedInput) {
    const std::string bad[] = {
        "\xC3",              // truncated two-byte sequence
        "abc\x80",           // lone continuation byte
        "\xC0\xAF",          // overlong '/'
        "\xE0\x80\xAF",      // overlong three-byte form
        "\xED\xA0\x80",      // encoded surrogate
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xFF",              // invalid lead byte
        "\xE6\xBC",          // truncated at the end
        "\xE6\x41\xA2",      // ASCII where a continuation byte belongs
    };
    for (const auto& s : bad)
        EXPECT_THROW(utf8_to_utf16(s), EngineError) << testing::PrintToString(s);
}

TEST(Utf8, UnpairedSurrogatesBecomeReplacementCharacters) {
    const std::u16string text = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
    EXPECT_EQ(utf16_to_utf8(text),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    const std::u16string trailing_high = {u'x', char16_t(0xDBFF)};
    EXPECT_EQ(utf16_to_utf8(trailing_high), "x\xEF\xBF\xBD");
}

TEST(Jet4Text, EncodesCompressedOnlyWhenShorter) {
    struct Case {
        std::u16string text;
        bool compressible;
        std::vector<std::uint8_t> stored;
    };
    const Case cases[] = {
        {u"", true, {}},
        // One and two characters gain nothing from compression.
        {u"A", true, plain(u"A")},
        {u"UK", true, plain(u"UK")},
        {u"USA", true, bytes({0xFF, 0xFE, 'U', 'S', 'A'})},
        {u"USA", false, plain(u"USA")},
        // Latin-1 letters fit one byte each.
        {u"\u00E4\u00E4kk\u00F6si\u00E4", true,
         bytes({0xFF, 0xFE, 0xE4, 0xE4, 0x6B, 0x6B, 0xF6, 0x73, 0x69, 0xE4})},
        {u"\x01\x1F\x7F\xFF", true, bytes({0xFF, 0xFE, 0x01, 0x1F, 0x7F, 0xFF})},
        // A run of wider characters is enclosed in mode switches.
        {u"Hello \u041C\u0438\u0440", true,
         bytes({0xFF, 0xFE, 'H', 'e', 'l', 'l', 'o', ' ', 0x00, 0x1C, 0x04, 0x38, 0x04, 0x40, 0x04,
                0x00})},
        {u"abc \u041C def", true,
         bytes({0xFF, 0xFE, 'a', 'b', 'c', ' ', 0x00, 0x1C, 0x04, 0x00, ' ', 'd', 'e', 'f'})},
        // Mostly wide text is longer compressed than plain.
        {u"\u041C\u0438\u0440", true, plain(u"\u041C\u0438\u0440")},
        {u"\u6F22\u5B57 and", true, plain(u"\u6F22\u5B57 and")},
        // Units whose low byte is zero cannot appear in a compressed value.
        {u"abcdefgh\u0100", true, plain(u"abcdefgh\u0100")},
        {u"abcdefgh\u4E00", true, plain(u"abcdefgh\u4E00")},
        {u"abcdefgh\U0001F600", true, plain(u"abcdefgh\U0001F600")},  // D83D DE00
        // A leading U+FEFF must not be mistaken for the compression mark.
        {u"\uFEFF", true, bytes({0xFF, 0xFE, 0x00, 0xFF, 0xFE, 0x00})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encode_jet4_text(c.text, c.compressible), c.stored)
            << utf16_to_utf8(c.text) << " compressible=" << c.compressible;
        EXPECT_EQ(decode_jet4_text(c.stored), c.text) << utf16_to_utf8(c.text);
    }
}

TEST(Jet4Text, LongValuesCompressOnlyUpToTheMemoLimit) {
    const std::u16string fits(kMaxCompressedTextBytes - 2, u'a');
    const auto at_limit = encode_jet4_text(fits, true);
    EXPECT_EQ(at_limit.size(), kMaxCompressedTextBytes);
    EXPECT_EQ(at_limit[0], 0xFF);

    const std::u16string too_long(kMaxCompressedTextBytes - 1, u'a');
    const auto over = encode_jet4_text(too_long, true);
    EXPECT_EQ(over, plain(too_long));
    EXPECT_EQ(decode_jet4_text(over), too_long);
}

TEST(Jet4Text, DecodesForeignAndDamagedForms) {
    struct Case {
        std::vector<std::uint8_t> stored;
        std::u16string text;
    };
    const Case cases[] = {
        {bytes({0xFF, 0xFE}), u""},
        // Ends in two-byte mode without a closing switch.
        {bytes({0xFF, 0xFE, 'A', 0x00, 0x1C, 0x04}), u"A\u041C"},
        // Odd trailing byte of a two-byte unit is dropped.
        {bytes({0xFF, 0xFE, 'A', 0x00, 0x1C, 0x04, 0x38}), u"A\u041C"},
        // Consecutive switches are harmless.
        {bytes({0xFF, 0xFE, 0x00, 0x00, 'x'}), u"x"},
        {bytes({'A', 0x00, 'B'}), u"A"},
        {bytes({0xFF}), u""},
        {bytes({}), u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decode_jet4_text(c.stored), c.text) << testing::PrintToString(c.stored);
}

TEST(Jet4Text, MixedTextsRoundTrip) {
    // Representative units: ASCII, Latin-1, control, Cyrillic, CJK, and
    // units that force plain storage.
    const char16_t alphabet[] = {u'a',      u'Z',      u' ',      u'\x01',   u'\xE9',   u'\xFF',
                                 u'\u0416', u'\u6F22', u'\uFFFD', u'\u0100', u'\u4E00', u'\uFEFF'};
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> pick(0, std::size(alphabet) - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < 500; ++round) {
        std::u16string text;
        const int n = length(rng);
        for (int i = 0; i < n; ++i)
            text.push_back(alphabet[pick(rng)]);
        // A plain value cannot start with U+FEFF (covered above).
        if (!text.empty() && text.front() == u'\uFEFF') text.insert(text.begin(), u'q');
        for (bool compressible : {true, false}) {
            const auto stored = encode_jet4_text(text, compressible);
            EXPECT_LE(stored.size(), 2 * text.size());
            EXPECT_EQ(decode_jet4_text(stored), text) << utf16_to_utf8(text);
        }
    }
}

}  // namespace
}  // namespace tessaly::jetdb
