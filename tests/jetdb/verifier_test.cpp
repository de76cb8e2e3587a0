// The test-side Jet 4 checker: clean on a known-good file, a precise finding
// for each injected fault, and no errors on Access's own files.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include "common/le.h"
#include "support/corpus.h"
#include "support/jet_fixture.h"
#include "support/jet_layout.h"
#include "support/jet_verifier.h"

namespace tessaly::test {
namespace {

using namespace jet;
using namespace fixture;
using Image = std::vector<std::uint8_t>;

std::size_t at(std::uint32_t page, std::size_t offset) {
    return static_cast<std::size_t>(page) * kPageSize + offset;
}

std::uint16_t get16(const Image& b, std::size_t pos) {
    return static_cast<std::uint16_t>(b[pos] | b[pos + 1] << 8);
}

// Byte offset of a usage-map row's bitmap byte covering `page` (start page 0).
std::size_t map_bit_byte(const Image& b, std::uint32_t holder, std::uint32_t row,
                         std::uint32_t page) {
    return row_offset(b, holder, row) + kMapInlineBits + page / 8;
}

bool is_jet4(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    char head[kHdrVersion + 1] = {};
    in.read(head, sizeof head);
    return in && head[kHdrVersion] == static_cast<char>(kVersionJet4);
}

TEST(JetVerifier, TinyFixtureIsClean) {
    VerifyReport report = verify_jet4_bytes(tiny_jet4());
    EXPECT_TRUE(report.clean()) << report.to_string();
}

struct Fault {
    const char* name;
    std::function<void(Image&)> inject;
    const char* expected;  // substring of an error message
};

const Fault kFaults[] = {
    {"page owned by two tables",
     [](Image& b) {
         b[map_bit_byte(b, kTinyMapPage, kTinyMapCatalogOwned, kTinyTableData)] |=
             1u << (kTinyTableData % 8);
     },
     "is owned twice"},
    {"data page free-space count off by one",
     [](Image& b) {
         put_u16(b, at(kTinyTableData, kDataFreeSpace),
                 get16(b, at(kTinyTableData, kDataFreeSpace)) + 1);
     },
     "free space field"},
    {"index keys out of order",
     [](Image& b) { b[at(kTinyIndexLeaf1, kIdxEntries + 4)] = 0x05; },  // key 1 -> 5
     "sorts before the previous entry"},
    {"global map marks an owned page free",
     [](Image& b) {
         b[map_bit_byte(b, kGlobalMapPage, 0, kTinyTableData)] |= 1u << (kTinyTableData % 8);
     },
     "global map marks it free"},
    {"row offsets overlap",
     [](Image& b) { put_u16(b, at(kTinyTableData, kDataRowTable + 2), 4090); },
     "is not below the previous row's start"},
    {"TDEF length field wrong", [](Image& b) { b[at(kTinyTableTdef, kTdefLength)] += 1; },
     "TDEF length field"},
    {"row missing from its index",
     [](Image& b) {
         b[at(kTinyIndexLeaf2, kIdxMask + 1)] = 0;  // drop the only entry
         put_u16(b, at(kTinyIndexLeaf2, kIdxFreeSpace), kPageSize - kIdxEntries);
     },
     "is missing from the index"},
    {"index key does not encode the row value",
     [](Image& b) { b[row_offset(b, kTinyTableData, 0) + kRowFixedArea] = 7; },
     "does not encode the row's value"},
    {"broken sibling link", [](Image& b) { put_u32(b, at(kTinyIndexLeaf1, kIdxNext), 0); },
     "sibling links"},
    {"node entry differs from its child's last entry",
     [](Image& b) { b[at(kTinyIndexRoot, kIdxEntries + 8)] ^= 1; },  // row byte of the entry
     "node entry for child"},
    {"long value points at a missing row",
     [](Image& b) { b[row_offset(b, kTinyTableData, 1) + 2 + 4 + 4 + kLvPointer] = 1; },
     "does not exist"},
    {"data page owner field wrong",
     [](Image& b) { put_u32(b, at(kTinyTableData, kDataOwner), kCatalogPage); }, "has owner field"},
    {"catalog row points at a data page",
     [](Image& b) {
         put_u32(b, row_offset(b, kTinyCatalogData, 2) + kRowFixedArea, kTinyTableData);
     },
     "not a TDEF page"},
    {"version byte not Jet 4", [](Image& b) { b[kHdrVersion] = 0; }, "is not Jet 4"},
    {"database key set", [](Image& b) { b[kHdrDbKey] ^= 0x01; }, "database key"},
    {"variable-column count larger than the row",
     [](Image& b) {
         // Row 0 ends at the page end: its count sits before its 1-byte null mask.
         put_u16(b, at(kTinyTableData, kPageSize) - 1 - 2, 40);
     },
     "variable-column count"},
    {"index page missing from the index map",
     [](Image& b) {
         b[map_bit_byte(b, kTinyMapPage, kTinyMapIndex, kTinyIndexLeaf2)] &=
             static_cast<std::uint8_t>(~(1u << (kTinyIndexLeaf2 % 8)));
     },
     "is not in the index's usage map"},
};

TEST(JetVerifier, InjectedFaultsAreReportedAsErrors) {
    for (const Fault& fault : kFaults) {
        SCOPED_TRACE(fault.name);
        Image image = tiny_jet4();
        fault.inject(image);
        VerifyReport report = verify_jet4_bytes(std::move(image));
        EXPECT_GT(report.error_count(), 0u) << report.to_string();
        EXPECT_NE(report.to_string().find(fault.expected), std::string::npos)
            << "expected \"" << fault.expected << "\" in:\n"
            << report.to_string();
    }
}

TEST(JetVerifier, AccessTolerancesAreWarningsNotErrors) {
    // A page the global map calls used but nothing owns, and a stale row count:
    // Access leaves both behind; our files must not.
    Image image = tiny_jet4();
    image.resize(image.size() + kPageSize, 0);
    std::uint32_t extra = kTinyPageCount;
    image[map_bit_byte(image, kGlobalMapPage, 0, extra)] &=
        static_cast<std::uint8_t>(~(1u << (extra % 8)));
    put_u32(image, at(kTinyTableTdef, kTdefRowCount), 4);
    VerifyReport report = verify_jet4_bytes(std::move(image));
    EXPECT_EQ(report.error_count(), 0u) << report.to_string();
    EXPECT_EQ(report.warning_count(), 2u) << report.to_string();
    EXPECT_FALSE(report.clean());
}

TEST(JetVerifier, DamagedImagesNeverCrash) {
    // Every byte of each structure page set to 0xFF in turn, and truncations.
    Image base = tiny_jet4();
    for (std::uint32_t page = 0; page < kTinyPageCount; ++page) {
        for (std::size_t off = 0; off < kPageSize; off += 97) {
            Image image = base;
            image[at(page, off)] = 0xFF;
            verify_jet4_bytes(std::move(image));
        }
    }
    for (std::size_t size : {0ul, 100ul, kPageSize * 2, kPageSize * 5 + 17})
        EXPECT_GT(
            verify_jet4_bytes(Image(base.begin(), base.begin() + static_cast<std::ptrdiff_t>(size)))
                .error_count(),
            0u);
}

TEST(JetVerifier, AccessMadeJet4FilesHaveNoErrors) {
    auto files = corpus_files();
    if (files.empty()) GTEST_SKIP() << "corpus absent";
    int checked = 0;
    for (const auto& path : files) {
        if (!is_jet4(path)) continue;
        SCOPED_TRACE(path.filename().string());
        VerifyReport report = verify_jet4(path);
        EXPECT_EQ(report.error_count(), 0u) << report.to_string();
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace tessaly::test
