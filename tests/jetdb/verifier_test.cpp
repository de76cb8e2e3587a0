// The test-side Jet 4 checker: clean on a known-good file, a precise finding
// for each injected fault, and no errors on Access's own files.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>

#include "common/le.h"
#include "jetdb/writer_fixture.h"
#include "support/corpus.h"
#include "support/jet_describe.h"
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
    {"long-value length differs from its LVAL row",
     [](Image& b) { b[row_offset(b, kTinyTableData, 1) + 2 + 4 + 4] += 2; },
     "single-row long value says"},
    {"data page owner field wrong",
     [](Image& b) { put_u32(b, at(kTinyTableData, kDataOwner), kCatalogPage); }, "has owner field"},
    {"catalog row points at a data page",
     [](Image& b) {
         put_u32(b, row_offset(b, kTinyCatalogData, 2) + kRowFixedArea, kTinyTableData);
     },
     "not a TDEF page"},
    {"catalog row under a missing parent",
     [](Image& b) { b[row_offset(b, kTinyCatalogData, 2) + kRowFixedArea + 4] = 0x09; },
     "which does not exist"},
    {"version byte not Jet 4", [](Image& b) { b[kHdrVersion] = 0; }, "is not Jet 4"},
    {"database key set", [](Image& b) { b[kHdrDbKey] ^= 0x01; }, "database key"},
    {"variable-column count larger than the row",
     [](Image& b) {
         // Row 0 ends at the page end: its count sits before its 1-byte null mask.
         put_u16(b, at(kTinyTableData, kPageSize) - 1 - 2, 40);
     },
     "variable-column count"},
    {"null column still holding bytes",
     [](Image& b) { b[at(kTinyTableData, kPageSize) - 1] = 0x01; },  // row 0: Name bit cleared
     "null column 'Name' occupies 2 bytes"},
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

// ---- describe / diff ----

std::string field(const Description& d, const std::string& key) {
    auto it = d.fields.find(key);
    return it == d.fields.end() ? "(absent)" : it->second;
}

std::vector<std::string> diff_keys(const Description& a, const Description& b) {
    std::vector<std::string> keys;
    for (const auto& d : diff_descriptions(a, b))
        keys.push_back(d.key);
    return keys;
}

TEST(JetDescribe, SummarisesHeaderSchemaAndCatalog) {
    Description d = describe_jet4_bytes(tiny_jet4());
    EXPECT_TRUE(d.problems.empty()) << d.to_string();
    EXPECT_EQ(field(d, "header.code_page"), "1252");
    EXPECT_EQ(field(d, "header.sort_order"), "0x0409 version 0");
    EXPECT_EQ(field(d, "header.password"), "none");
    EXPECT_EQ(field(d, "table[T].column[ID]"),
              "LONG num=0 index=0 flags=0x07 ext=0x00 length=4 fixed_offset=0 misc=09040000");
    EXPECT_EQ(field(d, "table[T].index[PrimaryKey]"),
              "kind=primary real=0 columns=ID+ flags=0x89 cascade=0x00/0x00");
    EXPECT_EQ(field(d, "object[Tables/T]"),
              "id=<tdef> parent=0x0F000001 type=1 flags=0x00000000 owner=none");
    EXPECT_EQ(d.per_file.at("object[Tables/T].id"), "5");
    EXPECT_TRUE(diff_descriptions(d, d).empty());
}

TEST(JetDescribe, DiffListsChangedAddedAndRemovedFields) {
    Image changed = tiny_jet4();
    changed[kHdrCodePage] ^= 0x01;  // the mask is an XOR stream: 1252 -> 1253
    // Rename column "Name" of T to "Nome" in its TDEF.
    const std::vector<std::uint8_t> name = {'N', 0, 'a', 0, 'm', 0, 'e', 0};
    auto tdef = changed.begin() + static_cast<std::ptrdiff_t>(at(kTinyTableTdef, 0));
    auto pos = std::search(tdef, tdef + kPageSize, name.begin(), name.end());
    ASSERT_NE(pos, tdef + kPageSize);
    pos[2] = 'o';
    auto diffs = diff_descriptions(describe_jet4_bytes(tiny_jet4()), describe_jet4_bytes(changed));
    ASSERT_EQ(diffs.size(), 3u);
    EXPECT_EQ(diffs[0].to_string(), "header.code_page: 1252 | 1253");
    EXPECT_EQ(diffs[1].key, "table[T].column[Name]");
    EXPECT_FALSE(diffs[1].b.has_value());
    EXPECT_EQ(diffs[2].key, "table[T].column[Nome]");
    EXPECT_FALSE(diffs[2].a.has_value());
}

TEST(JetDescribe, PerFileValuesAreMaskedFromTheDiff) {
    Image later = tiny_jet4();
    later[kHdrCreationDate] ^= 0x10;  // a few microseconds later, same day
    Description a = describe_jet4_bytes(tiny_jet4());
    Description b = describe_jet4_bytes(later);
    EXPECT_TRUE(diff_descriptions(a, b).empty());
    EXPECT_NE(a.per_file.at("header.creation_date"), b.per_file.at("header.creation_date"));
}

TEST(JetDescribe, AccessReferenceDatabases) {
    auto dir = corpus_dir();
    if (dir.empty()) GTEST_SKIP() << "corpus absent";
    for (const char* name : {"jackcess-empty.mdb", "jackcess-emptyJet4.mdb",
                             "jackcess-adox_jet4.mdb", "jackcess-empty2003.mdb"}) {
        SCOPED_TRACE(name);
        Description d = describe_jet4(dir / name);
        EXPECT_TRUE(d.problems.empty()) << d.to_string();
        EXPECT_EQ(field(d, "table[MSysObjects].index[ParentIdName]"),
                  "kind=plain real=0 columns=ParentId+,Name+ flags=0x81 cascade=0x04/0x04");
    }
    // Two databases made by the Jet engine alone at different dates, with
    // different SIDs, describe identically once per-file values are masked.
    EXPECT_EQ(diff_keys(describe_jet4(dir / "jackcess-adox_jet4.mdb"),
                        describe_jet4(dir / "jackcess-emptyJet4.mdb")),
              std::vector<std::string>{});
    // Access 2000 and 2003 formats differ in MSysDb's AccessVersion property.
    Description a2000 = describe_jet4(dir / "jackcess-empty.mdb");
    Description a2003 = describe_jet4(dir / "jackcess-empty2003.mdb");
    EXPECT_EQ(field(a2000, "object[Databases/MSysDb].lvprop").rfind("AccessVersion=08.50", 0), 0u);
    EXPECT_EQ(field(a2003, "object[Databases/MSysDb].lvprop").rfind("AccessVersion=09.50", 0), 0u);
}

// ---- files our writer makes ----

struct WrittenCase {
    const char* name;
    std::vector<std::string> statements;
    std::string table;
    std::vector<jetdb::test::RowTexts> rows;
};

std::vector<WrittenCase> written_cases() {
    using Rows = std::vector<jetdb::test::RowTexts>;
    Rows mixed = {
        {{"b", "True"},
         {"y", "255"},
         {"i", "-32768"},
         {"l", "2147483647"},
         {"c", "12.3456"},
         {"f", "1.5e10"},
         {"d", "-0.25"},
         {"t", "01/01/2000 06:00:00 PM"},
         {"s", "Grüße, Привет, 你好"},
         {"bin", "0A0B"},
         {"g", "{12345678-9ABC-DEF0-1234-56789ABCDEF0}"},
         {"n", "-12.34"},
         {"m", std::string(300, 'm')},
         {"o", "4F4C45"}},
        {{"b", "0"}, {"s", ""}, {"m", ""}},
        {{"s", std::string(255, 'z')}},
        {},
    };
    Rows memos;
    for (std::size_t size : {0ul, 100ul, 4000ul, 100000ul, 5000000ul})
        memos.push_back({{"k", std::to_string(size)}, {"m", std::string(size, 'q')}});
    Rows many;
    for (int i = 0; i < 3000; ++i)
        many.push_back({{"k", std::to_string(i)}, {"m", i % 10 ? "" : std::string(5000, 'r')}});
    return {
        {"empty database", {}, "", {}},
        {"every column type",
         {"CREATE TABLE [all]([b] BIT, [y] BYTE, [i] SHORT, [l] LONG, [c] CURRENCY, [f] SINGLE, "
          "[d] DOUBLE, [t] DATETIME, [s] TEXT(255), [bin] BINARY(16), [g] GUID, [n] DECIMAL(18,4), "
          "[m] MEMO, [o] OLEOBJECT, [a] COUNTER);"},
         "all",
         mixed},
        {"memos of every storage kind",
         {"CREATE TABLE [memo]([k] LONG, [m] MEMO);"},
         "memo",
         memos},
        {"many rows, added column",
         {"CREATE TABLE [many]([k] LONG);", "ALTER TABLE [many] ADD [m] MEMO;"},
         "many",
         many},
    };
}

TEST(JetVerifier, FilesOurWriterMakesAreClean) {
    jetdb::test::ScratchDir dir;
    for (const WrittenCase& c : written_cases()) {
        SCOPED_TRACE(c.name);
        auto path = dir.file(std::string(c.name) + ".mdb");
        jetdb::test::build_database(path, c.statements, c.table, c.rows);
        VerifyReport report = verify_jet4(path);
        EXPECT_TRUE(report.clean()) << report.to_string();
    }
}

}  // namespace
}  // namespace tessaly::test
