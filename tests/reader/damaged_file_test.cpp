// Damaged copies of a small database: every byte flipped, every truncation.
// Whatever the bytes, reading ends, stays inside its buffers (checked by the
// sanitizer build) and keeps what the damage did not touch.
#include <gtest/gtest.h>

#include "reader/catalog_list.h"
#include "reader/index_def.h"
#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "support/jet_page_builder.h"

namespace tessaly::reader {
namespace {

// Reads the catalog and every table it names; answers the rows read per table
// name (an unreadable table has no entry).
std::map<std::string, std::size_t> read_all(std::vector<std::uint8_t> bytes) {
    std::map<std::string, std::size_t> rows;
    recovery::RecoveryState state;
    auto file = jet_open_bytes(std::move(bytes), state);
    if (!file) return rows;
    std::vector<CatalogObject> objects;
    list_catalog(file, state, objects);
    for (const auto& o : objects) {
        if (!is_user_table(o)) continue;
        auto table = read_table_def(CatalogEntry{file, o.name, o.stored_type, o.definition_page});
        if (!table || !read_columns(*table)) continue;
        read_indexes(*table);
        rewind_rows(*table);
        std::size_t n = 0;
        while (next_row(*table, state) == 1)
            ++n;
        rows[o.name] = n;
    }
    return rows;
}

class DamagedSample : public ::testing::TestWithParam<bool> {};

TEST_P(DamagedSample, EveryFlippedByteIsSurvived) {
    const auto sound = test::sample_database(GetParam());
    const auto expected = read_all(sound);
    ASSERT_EQ(expected.at("People"), 2u);
    ASSERT_EQ(expected.at("Flags"), 2u);
    const std::size_t page_size = GetParam() ? 4096 : 2048;
    const std::size_t bound = 1001 * (sound.size() / page_size);
    std::size_t unchanged = 0, tried = 0;
    // Every byte of the page heads (headers, definitions, row tables) and page
    // tails (rows); the zero middles of these small pages carry nothing.
    constexpr std::size_t kEdge = 512;
    for (std::size_t at = 0; at < sound.size(); ++at) {
        const std::size_t in_page = at % page_size;
        if (in_page >= kEdge && in_page < page_size - kEdge) continue;
        ++tried;
        auto bytes = sound;
        bytes[at] ^= 0xFF;
        const auto rows = read_all(std::move(bytes));
        for (const auto& [name, n] : rows)
            ASSERT_LE(n, bound) << "byte " << at;
        unchanged += rows == expected;
    }
    // Many bytes are unused; the rest may cost rows but nothing else.
    EXPECT_GT(unchanged, tried / 2);
}

TEST_P(DamagedSample, TruncatedFilesKeepTheTablesBeforeTheCut) {
    const auto sound = test::sample_database(GetParam());
    const std::size_t page_size = GetParam() ? 4096 : 2048;
    for (std::size_t keep = 0; keep <= sound.size(); keep += page_size / 2) {
        auto rows = read_all(std::vector<std::uint8_t>(sound.begin(), sound.begin() + keep));
        if (keep == sound.size()) {
            EXPECT_EQ(rows.size(), 2u);
        }
        for (const auto& [name, n] : rows)
            EXPECT_LE(n, 2u) << keep;
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, DamagedSample, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "jet4" : "jet3"; });

}  // namespace
}  // namespace tessaly::reader
