// Memo values: inline, one long-value row, chains of rows.
#include <gtest/gtest.h>

#include "reader/long_value.h"
#include "support/jet_page_builder.h"

namespace tessaly::reader {
namespace {

using test::JetFileBuilder;

constexpr std::uint32_t kInline = 0x80000000u;
constexpr std::uint32_t kSingle = 0x40000000u;

std::vector<std::uint8_t> header(std::uint32_t length_flags, std::uint8_t row, std::uint32_t page) {
    std::vector<std::uint8_t> h(12, 0);
    for (int i = 0; i < 4; ++i)
        h[i] = static_cast<std::uint8_t>(length_flags >> (8 * i));
    h[4] = row;
    for (int i = 0; i < 3; ++i)
        h[5 + i] = static_cast<std::uint8_t>(page >> (8 * i));
    return h;
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a,
                                    const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::uint8_t> ascii(const std::string& s) {
    return {s.begin(), s.end()};
}

int add_long_value_page(JetFileBuilder& b) {
    const int p = b.add_data_page(0);
    b.put_bytes(p, 4, ascii("LVAL"));
    return p;
}

// Renders `value` placed at offset 500 of data page 1, and checks that the
// data page stays current and intact.
struct MemoFixture {
    explicit MemoFixture(bool jet4) : b(jet4) {}
    std::string render(const std::vector<std::uint8_t>& value, std::size_t max_bytes = 0) {
        b.put_bytes(1, 0, {1, 1});
        b.put_bytes(1, 500, value);
        file = jet_open_bytes(b.bytes(), state);
        if (!file) return "<no file>";
        if (max_bytes) file->limits.max_long_value_bytes = max_bytes;
        load_page(*file, 1);
        const PageBuffer before = file->page;
        std::string out = "stale";
        render_memo(*file, 500, static_cast<std::int64_t>(value.size()), out);
        EXPECT_EQ(file->current_page, 1);
        EXPECT_TRUE(file->page == before) << "the data page must stay in the main buffer";
        return out;
    }
    JetFileBuilder b;
    recovery::RecoveryState state;
    std::shared_ptr<JetFile> file;
};

TEST(InlineMemo, TextFollowsTheHeader) {
    struct Case {
        const char* label;
        bool jet4;
        std::vector<std::uint8_t> value;
        std::string text;
    };
    const Case cases[] = {
        {"jet3", false, header(kInline | 5, 0, 0) + ascii("Hello"), "Hello"},
        {"jet3_cut_at_length", false, header(kInline | 3, 0, 0) + ascii("Hello"), "Hel"},
        {"jet3_accents", false, header(kInline | 4, 0, 0) + ascii("caf\xE9"), "caf\xC3\xA9"},
        {"jet4_compressed", true, header(kInline | 7, 0, 0) + ascii("\xFF\xFEHello"), "Hello"},
        {"jet4_utf16", true, header(kInline | 10, 0, 0) + test::utf16le("Hello"), "Hello"},
        {"zero_length", true, header(kInline, 0, 0) + test::utf16le("Hello"), ""},
        {"shorter_than_header", true, {0x05, 0, 0, 0x80}, ""},
    };
    for (const Case& c : cases) {
        MemoFixture f(c.jet4);
        EXPECT_EQ(f.render(c.value), c.text) << c.label;
    }
}

TEST(SingleRowMemo, RowBoundsOnTheLongValuePage) {
    {
        MemoFixture f(true);
        const int lv = add_long_value_page(f.b);
        f.b.add_row(lv, test::utf16le("whole row"));
        EXPECT_EQ(f.render(header(kSingle | 18, 0, lv)), "whole row");
    }
    {
        MemoFixture f(false);
        const int lv = add_long_value_page(f.b);
        f.b.set_row_count(lv, 3);
        f.b.set_row_entry(lv, 0, 1900);
        f.b.set_row_entry(lv, 1, 1500);
        f.b.set_row_entry(lv, 2, 1400);
        std::vector<std::uint8_t> text(100, 'x');
        text[0] = 'A';
        text[99] = 'Z';
        f.b.put_bytes(lv, 1400, text);
        f.b.put_bytes(lv, 1500, ascii("not this"));
        const std::string out = f.render(header(kSingle | 100, 2, lv));
        EXPECT_EQ(out.size(), 100u);
        EXPECT_EQ(out.front(), 'A');
        EXPECT_EQ(out.back(), 'Z');
    }
    {
        MemoFixture f(true);
        EXPECT_EQ(f.render(header(kSingle | 10, 0, 999)), "") << "page past the end";
    }
}

TEST(ChainedMemo, JoinsRowsInLinkOrder) {
    MemoFixture f(true);
    const int second = add_long_value_page(f.b);
    const int first = add_long_value_page(f.b);
    f.b.add_row(second, std::vector<std::uint8_t>{0, 0, 0, 0} + test::utf16le("world"));
    const auto link = std::vector<std::uint8_t>{0, static_cast<std::uint8_t>(second), 0, 0};
    f.b.add_row(first, link + test::utf16le("Hello "));
    EXPECT_EQ(f.render(header(22, 0, first)), "Hello world");
}

TEST(ChainedMemo, UnreadablePageGivesEmptyText) {
    MemoFixture f(true);
    const int first = add_long_value_page(f.b);
    f.b.add_row(first,
                std::vector<std::uint8_t>{0, 0xE8, 0x03, 0} + test::utf16le("lost"));  // page 1000
    EXPECT_EQ(f.render(header(8, 0, first)), "");
}

TEST(ChainedMemo, LoopsEndAndLongTextsAreKept) {
    {
        MemoFixture f(true);
        const int p = add_long_value_page(f.b);
        // Row 0 links to itself.
        f.b.add_row(p, std::vector<std::uint8_t>{0, static_cast<std::uint8_t>(p), 0, 0} +
                           test::utf16le("ab"));
        EXPECT_EQ(f.render(header(4, 0, p)), "ab");
    }
    {
        // Ten rows of 2000 characters: far beyond 16383 bytes, all kept.
        MemoFixture f(true);
        std::vector<int> pages;
        for (int i = 0; i < 10; ++i)
            pages.push_back(add_long_value_page(f.b));
        for (int i = 0; i < 10; ++i) {
            const std::uint8_t next = i + 1 < 10 ? static_cast<std::uint8_t>(pages[i + 1]) : 0;
            f.b.add_row(pages[i], std::vector<std::uint8_t>{0, next, 0, 0} +
                                      test::utf16le(std::string(2000, static_cast<char>('a' + i))));
        }
        const std::string out = f.render(header(40000, 0, pages[0]));
        ASSERT_EQ(out.size(), 20000u);
        EXPECT_EQ(out.substr(0, 2), "aa");
        EXPECT_EQ(out.substr(19998), "jj");

        MemoFixture bounded(true);
        bounded.b = f.b;
        EXPECT_EQ(bounded.render(header(40000, 0, pages[0]), 10), "aaaaa") << "safety bound";
    }
}

}  // namespace
}  // namespace tessaly::reader
