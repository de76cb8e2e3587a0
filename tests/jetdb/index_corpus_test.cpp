// Our index keys against Access's: for every Access-made Jet 4 file of the
// corpus, every leaf entry of every index is re-encoded from the row it points
// at and compared byte for byte. Also rebuilds each index's pages from the
// same entries and compares them with Access's pages. Prints the share of
// exact matches per file.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "index_page_parse.h"
#include "jet4_mini_reader.h"
#include "jetdb/index_key.h"
#include "jetdb/index_pages.h"
#include "support/corpus.h"

namespace tessaly::jetdb {
namespace {

constexpr std::uint16_t kGeneralLcid = 0x0409;

std::string hex(const std::vector<std::uint8_t>& b) {
    std::string s;
    char buf[4];
    for (auto x : b) {
        std::snprintf(buf, sizeof buf, "%02X ", x);
        s += buf;
    }
    return s;
}

std::string utf8ish(const std::u16string& t) {
    std::string s;
    for (char16_t c : t) {
        if (c < 0x80) {
            s.push_back(static_cast<char>(c));
        } else {
            char buf[10];
            std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            s += buf;
        }
    }
    return s;
}

struct FileTally {
    std::size_t entries = 0;
    std::size_t matched = 0;
    std::size_t skipped = 0;  // indexes over text in another sort order, unreadable rows
    std::size_t indexes = 0;
    std::size_t pages_same = 0;
    std::size_t pages_compared = 0;
};

// True when every text column of the index uses the General (legacy) order.
bool general_order(const test::MiniTable& t, const test::MiniIndex& idx) {
    for (const auto& [num, asc] : idx.columns) {
        const auto* c = t.column(num);
        if (c == nullptr) return false;
        if ((c->spec.type == ColumnType::Text || c->spec.type == ColumnType::Memo) &&
            (c->lcid != kGeneralLcid || c->sort_version != 0))
            return false;
    }
    return true;
}

// Rebuilds the index from Access's own entries and compares the pages,
// handing out Access's page numbers in tree order.
bool same_pages(const test::Jet4MiniReader& r, const test::MiniTable& t,
                const std::vector<test::MiniEntry>& entries,
                const std::vector<std::uint32_t>& access_pages) {
    std::vector<IndexEntry> in;
    for (const auto& e : entries)
        in.push_back(IndexEntry{e.key, e.page, e.row});
    std::size_t next = 0;
    bool same = true;
    std::size_t written = 0;
    write_index_pages(
        std::move(in), t.tdef_page,
        [&] { return next < access_pages.size() ? access_pages[next++] : 0xFFFFFFu; },
        [&](std::uint32_t n, std::span<const std::uint8_t> bytes) {
            ++written;
            if (n >= r.page_count() || !std::equal(bytes.begin(), bytes.end(), r.page(n)))
                same = false;
        });
    return same && written == access_pages.size();
}

TEST(IndexCorpus, KeysMatchAccessIndexPages) {
    if (tessaly::test::corpus_dir().empty()) GTEST_SKIP() << "corpus folder absent";
    std::size_t total = 0, total_matched = 0;
    for (const auto& path : tessaly::test::corpus_files()) {
        auto reader = test::Jet4MiniReader::open(path);
        if (!reader) continue;  // Jet 3 and other formats
        FileTally tally;
        std::map<std::string, int> shown;
        for (auto tdef : reader->indexed_tdef_pages()) {
            const auto table = reader->table(tdef);
            if (!table) continue;
            for (const auto& idx : table->indexes) {
                if (idx.root == 0 || idx.root >= reader->page_count()) continue;
                std::vector<std::uint32_t> pages;
                const auto entries = reader->leaf_entries(idx.root, &pages);
                if (!general_order(*table, idx)) {
                    tally.skipped += entries.size();
                    continue;
                }
                ++tally.indexes;
                ++tally.pages_compared;
                if (same_pages(*reader, *table, entries, pages)) ++tally.pages_same;
                for (const auto& e : entries) {
                    std::vector<std::uint8_t> key;
                    bool readable = true;
                    std::u16string text;
                    for (const auto& [num, asc] : idx.columns) {
                        const auto* col = table->column(num);
                        const auto v = reader->value(*table, *col, e.page, e.row);
                        if (!v) {
                            readable = false;
                            break;
                        }
                        text += v->text;
                        append_index_key(key, col->spec, *v, asc);
                    }
                    if (!readable) {
                        ++tally.skipped;
                        continue;
                    }
                    ++tally.entries;
                    if (key == e.key) {
                        ++tally.matched;
                    } else if (shown[idx.name]++ < 3) {
                        ADD_FAILURE()
                            << path.filename().string() << " index [" << idx.name << "] row "
                            << e.page << ":" << int(e.row) << " text \"" << utf8ish(text)
                            << "\"\n  access " << hex(e.key) << "\n  ours   " << hex(key);
                    }
                }
            }
        }
        if (tally.indexes == 0) continue;
        total += tally.entries;
        total_matched += tally.matched;
        std::printf("%-60s keys %zu/%zu exact (%.1f%%), %zu skipped; pages identical %zu/%zu\n",
                    path.filename().string().c_str(), tally.matched, tally.entries,
                    tally.entries ? 100.0 * tally.matched / tally.entries : 100.0, tally.skipped,
                    tally.pages_same, tally.pages_compared);
    }
    std::printf("all Jet 4 files: keys %zu/%zu exact\n", total_matched, total);
    EXPECT_EQ(total_matched, total);
}

}  // namespace
}  // namespace tessaly::jetdb
