// Index page building: written pages are walked back from the root and must
// hold every entry once, in order, with consistent links, prefixes and masks.
#include "jetdb/index_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "index_page_parse.h"
#include "jetdb/engine_error.h"

namespace tessaly::jetdb {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t kTdef = 42;
constexpr std::size_t kCapacity = 4096 - 0x1E0;

struct Store {
    std::uint32_t next_page = 100;
    std::map<std::uint32_t, Bytes> pages;
    std::vector<std::uint32_t> allocation_order;

    std::uint32_t build(std::vector<IndexEntry> entries) {
        return write_index_pages(
            std::move(entries), kTdef,
            [this] {
                allocation_order.push_back(next_page);
                return next_page++;
            },
            [this](std::uint32_t n, std::span<const std::uint8_t> b) {
                EXPECT_EQ(pages.count(n), 0u) << "page written twice";
                pages[n] = Bytes(b.begin(), b.end());
            });
    }
};

struct Walk {
    std::vector<Bytes> leaf_entries;                 // in tree order
    std::vector<std::vector<std::uint32_t>> levels;  // page numbers per depth, in order
    std::vector<test::ParsedIndexPage> leaves;
};

Bytes row_entry(const IndexEntry& e) {
    Bytes b = e.key;
    b.push_back(static_cast<std::uint8_t>(e.page >> 16));
    b.push_back(static_cast<std::uint8_t>(e.page >> 8));
    b.push_back(static_cast<std::uint8_t>(e.page));
    b.push_back(e.row);
    return b;
}

// Walks the subtree at `page`; returns its last leaf entry.
Bytes walk(const Store& s, std::uint32_t page, std::size_t depth, Walk& w) {
    EXPECT_TRUE(s.pages.count(page)) << "missing page " << page;
    if (!s.pages.count(page)) return {};
    const auto parsed = test::parse_index_page(s.pages.at(page));
    EXPECT_TRUE(parsed.has_value()) << page;
    if (!parsed) return {};
    const auto& p = *parsed;
    if (w.levels.size() <= depth) w.levels.resize(depth + 1);
    w.levels[depth].push_back(page);
    EXPECT_EQ(p.tdef, kTdef);
    EXPECT_EQ(p.free_space, kCapacity - p.data_end);
    if (p.type == 0x04) {
        EXPECT_EQ(p.tail, 0u);
        EXPECT_EQ(p.node_marker, 0);
        for (const auto& e : p.entries)
            w.leaf_entries.push_back(e);
        w.leaves.push_back(p);
        return p.entries.empty() ? Bytes{} : p.entries.back();
    }
    EXPECT_EQ(p.node_marker, 1);
    EXPECT_FALSE(p.entries.empty());
    Bytes last;
    for (const auto& e : p.entries) {
        const std::uint32_t child = (e[e.size() - 4] << 24) | (e[e.size() - 3] << 16) |
                                    (e[e.size() - 2] << 8) | e[e.size() - 1];
        last = walk(s, child, depth + 1, w);
        EXPECT_EQ(Bytes(e.begin(), e.end() - 4), last) << "node entry is not the child's last";
    }
    if (p.tail != 0) last = walk(s, p.tail, depth + 1, w);
    return last;
}

Walk check_tree(const Store& s, std::uint32_t root) {
    Walk w;
    walk(s, root, 0, w);
    EXPECT_EQ(w.levels.front().size(), 1u);
    for (const auto& level : w.levels) {
        for (std::size_t i = 0; i < level.size(); ++i) {
            const auto p = *test::parse_index_page(s.pages.at(level[i]));
            EXPECT_EQ(p.prev, i > 0 ? level[i - 1] : 0u);
            EXPECT_EQ(p.next, i + 1 < level.size() ? level[i + 1] : 0u);
        }
    }
    std::size_t pages = 0;
    for (const auto& level : w.levels)
        pages += level.size();
    EXPECT_EQ(pages, s.pages.size()) << "pages written but not reachable";
    return w;
}

void expect_entries(const Walk& w, std::vector<IndexEntry> entries) {
    std::sort(entries.begin(), entries.end(), [](const IndexEntry& a, const IndexEntry& b) {
        return std::tie(a.key, a.page, a.row) < std::tie(b.key, b.page, b.row);
    });
    ASSERT_EQ(w.leaf_entries.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        ASSERT_EQ(w.leaf_entries[i], row_entry(entries[i])) << i;
}

// Bytes of entries written with the longest prefix all of them share.
std::size_t packed_size(const std::vector<Bytes>& entries) {
    std::size_t prefix = entries.front().size() - 4, total = 0;
    for (const auto& e : entries) {
        std::size_t n = 0;
        while (n < prefix && n < e.size() - 4 && e[n] == entries.front()[n])
            ++n;
        prefix = n;
        total += e.size();
    }
    return total - (entries.size() - 1) * prefix;
}

IndexEntry long_entry(std::uint32_t v, std::uint32_t page, std::uint8_t row) {
    return IndexEntry{
        {0x7F, static_cast<std::uint8_t>((v >> 24) ^ 0x80), static_cast<std::uint8_t>(v >> 16),
         static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)},
        page,
        row};
}

TEST(IndexPages, EmptyIndexIsOneEmptyLeaf) {
    Store s;
    const auto root = s.build({});
    ASSERT_EQ(s.pages.size(), 1u);
    const auto p = *test::parse_index_page(s.pages.at(root));
    EXPECT_EQ(p.type, 0x04);
    EXPECT_EQ(p.free_space, 3616);
    EXPECT_TRUE(p.entries.empty());
    EXPECT_EQ(p.prev + p.next + p.tail + p.prefix, 0u);
}

TEST(IndexPages, SmallIndexIsOneUncompressedLeafInSortedOrder) {
    Store s;
    std::vector<IndexEntry> entries = {
        long_entry(7, 5, 1), long_entry(3, 9, 0), long_entry(7, 5, 0), {{0x00}, 6, 2}};
    const auto root = s.build(entries);
    const auto w = check_tree(s, root);
    expect_entries(w, entries);
    ASSERT_EQ(w.leaves.size(), 1u);
    EXPECT_EQ(w.leaves[0].prefix, 0);
    // Exact bytes of the first entries: null key, then page 000006 row 2.
    const Bytes page = s.pages.at(root);
    EXPECT_EQ(Bytes(page.begin() + 0x1E0, page.begin() + 0x1E5), (Bytes{0x00, 0, 0, 6, 2}));
    EXPECT_EQ(page[0x1B], 0x20);  // first entry ends at offset 5
}

TEST(IndexPages, LargeIndexesFillLeavesAndBuildNodeLevels) {
    struct Case {
        const char* what;
        std::size_t count;
        std::size_t key_pad;  // bytes appended to each long key
        std::size_t depth;
    };
    const std::vector<Case> cases = {
        {"two leaves", 800, 0, 2},
        {"one node level", 20000, 0, 2},
        {"two node levels", 60000, 40, 3},
    };
    std::mt19937 rng(7);
    for (const auto& c : cases) {
        std::vector<IndexEntry> entries;
        for (std::size_t i = 0; i < c.count; ++i) {
            auto e = long_entry(static_cast<std::uint32_t>(i / 3),
                                static_cast<std::uint32_t>(i / 200 + 1),
                                static_cast<std::uint8_t>(i % 200));
            e.key.insert(e.key.end(), c.key_pad, static_cast<std::uint8_t>(0x30 + i % 5));
            entries.push_back(std::move(e));
        }
        std::shuffle(entries.begin(), entries.end(), rng);
        Store s;
        const auto root = s.build(entries);
        EXPECT_EQ(s.allocation_order.front(), root) << c.what << ": root is allocated first";
        const auto w = check_tree(s, root);
        EXPECT_EQ(w.levels.size(), c.depth) << c.what;
        expect_entries(w, entries);
        // Every leaf but the last is full: the next entry would not fit.
        for (std::size_t i = 0; i + 1 < w.leaves.size(); ++i) {
            const auto& leaf = w.leaves[i];
            EXPECT_GT(leaf.prefix, 0) << c.what;
            auto with_next = leaf.entries;
            with_next.push_back(w.leaves[i + 1].entries.front());
            EXPECT_GT(packed_size(with_next), kCapacity) << c.what << " leaf " << i;
        }
        // Node pages name their last child only in the tail field.
        for (std::size_t d = 0; d + 1 < w.levels.size(); ++d)
            for (auto n : w.levels[d])
                EXPECT_NE(test::parse_index_page(s.pages.at(n))->tail, 0u) << c.what;
    }
}

TEST(IndexPages, RefusesEntriesThatCannotBeStored) {
    Store s;
    EXPECT_THROW(s.build({IndexEntry{Bytes(4000, 0x7F), 1, 0}}), EngineError);
    EXPECT_THROW(s.build({long_entry(1, 0x1000000, 0)}), EngineError);
}

}  // namespace
}  // namespace tessaly::jetdb
