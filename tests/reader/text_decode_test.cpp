// Stored text into UTF-8: Jet 4 UTF-16LE and compressed text, Jet 3 code pages.
#include <gtest/gtest.h>

#include "reader/text_decode.h"

namespace tessaly::reader {
namespace {

struct Jet4Case {
    const char* label;
    std::vector<std::uint8_t> stored;
    std::string expected;
};

class Jet4Text : public ::testing::TestWithParam<Jet4Case> {};

TEST_P(Jet4Text, DecodesToUtf8) {
    const auto& c = GetParam();
    EXPECT_EQ(decode_text(ByteView(c.stored.data(), c.stored.size())), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Jet4Text,
    ::testing::Values(Jet4Case{"compressed", {0xFF, 0xFE, 'A', 'B'}, "AB"},
                      Jet4Case{"utf16", {'A', 0, 'B', 0}, "AB"},
                      Jet4Case{"high_byte_kept", {0x41, 0x01}, "\xC5\x81"},  // U+0141
                      Jet4Case{"cyrillic", {0x1F, 0x04, 0x40, 0x04}, "\xD0\x9F\xD1\x80"},
                      Jet4Case{"cjk", {0x2D, 0x4E, 0x87, 0x65}, "\xE4\xB8\xAD\xE6\x96\x87"},
                      Jet4Case{"surrogate_pair", {0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},
                      Jet4Case{"unpaired_surrogate",
                               {0x3D, 0xD8, 'A', 0},
                               "\xEF\xBF\xBD"
                               "A"},
                      Jet4Case{"odd_trailing_byte", {'A', 0, 'B'}, "A"},
                      Jet4Case{"ends_at_nul", {'A', 0, 0, 0, 'B', 0}, "A"},
                      Jet4Case{"marker_only", {0xFF, 0xFE}, ""},
                      // A zero byte switches to two-byte units and back.
                      Jet4Case{"compressed_toggles",
                               {0xFF, 0xFE, 'A', 0, 0x41, 0x04, 0, 'B'},
                               "A\xD1\x81"
                               "B"},
                      Jet4Case{"compressed_latin1", {0xFF, 0xFE, 0xE9}, "\xC3\xA9"},
                      Jet4Case{"compressed_cut_unit", {0xFF, 0xFE, 'A', 0, 0x41}, "A"}),
    [](const auto& info) { return std::string(info.param.label); });

struct CodePageCase {
    int code_page;
    std::vector<std::uint8_t> stored;
    std::string expected;
};

TEST(CodePageText, ConvertsAndKeepsEveryByte) {
    const CodePageCase cases[] = {
        {1252, {'c', 'a', 'f', 0xE9}, "caf\xC3\xA9"},
        {1252, {0x80}, "\xE2\x82\xAC"},  // euro sign
        {1252, {0x81}, "\xC2\x81"},      // undefined in 1252: kept as U+0081
        {1251, {0xC0, 0xE1}, "\xD0\x90\xD0\xB1"},
        {1254, {0xFD}, "\xC4\xB1"},  // dotless i
        {936, {0xD6, 0xD0}, "\xE4\xB8\xAD"},
        {1252, {'a', 0, 'b'}, "a"},  // ends at a zero byte
        {0, {0xE9}, "\xC3\xA9"},     // unknown code page: Windows-1252
        {99999, {0xE9}, "\xC3\xA9"},
    };
    for (const auto& c : cases) {
        CodePageDecoder decoder(c.code_page);
        std::string out = "stale";
        decoder.decode(ByteView(c.stored.data(), c.stored.size()), out);
        EXPECT_EQ(out, c.expected) << c.code_page;
    }
}

}  // namespace
}  // namespace tessaly::reader
