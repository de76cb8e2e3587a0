// On every sound corpus file the raw catalog scan finds the tables the
// catalog walk finds, under the same names and definition pages, with the
// same rows (the scan is what a file with a damaged catalog definition gets).
#include <gtest/gtest.h>

#include "reader/jet_file.h"
#include "recovery/catalog_scan.h"
#include "recovery/catalog_walk.h"
#include "recovery/recording_dispatch.h"
#include "support/corpus.h"

namespace tessaly::recovery::test {
namespace {

TEST(CatalogCorpus, RawScanFindsWhatTheWalkFinds) {
    const auto files = tessaly::test::corpus_files();
    if (files.empty()) GTEST_SKIP() << "corpus not present";
    int compared = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        RecoveryState state;
        auto file = reader::jet_open(path, state);
        ASSERT_TRUE(file);
        RecordingDispatch walked, scanned;
        walk_catalog(state, file, walked);
        scan_catalog_pages(state, file, scanned);
        ASSERT_EQ(scanned.calls.size(), walked.calls.size());
        for (std::size_t i = 0; i < walked.calls.size(); ++i) {
            const auto& w = walked.calls[i];
            const auto& s = scanned.calls[i];
            EXPECT_EQ(s.name, w.name);
            EXPECT_EQ(s.page, w.page & 0xFFFF);
            EXPECT_EQ(s.rows, w.rows) << w.name;
        }
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace tessaly::recovery::test
