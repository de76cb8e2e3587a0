// The catalog walk and its raw-scan fallback over synthetic catalogs: the
// dispatch rules, the fallback when the catalog definition is zeroed or
// garbled, stops, and the raw scan's row and name edge cases.
#include <gtest/gtest.h>

#include <tuple>

#include "reader/jet_file.h"
#include "recovery/catalog_scan.h"
#include "recovery/catalog_walk.h"
#include "recovery/recording_dispatch.h"
#include "support/catalog_fixture.h"

namespace tessaly::recovery::test {
namespace {

using tessaly::test::add_system_catalog;
using tessaly::test::add_user_table;
using tessaly::test::catalog_row;
using tessaly::test::CatalogObjectSpec;
using tessaly::test::garble_page;
using tessaly::test::JetFileBuilder;

enum class CatalogDamage { None, ZeroedDefinition, GarbledDefinition };

struct Sample {
    std::vector<std::uint8_t> bytes;
    int people = 0, lower = 0, wide = 0;
};

// A catalog exercising every dispatch rule: system tables by exact prefix,
// an empty name, type 257, temporary and ordinary queries, a relationship
// row, another object type, and one table listed twice.
Sample rules_sample(bool jet4, CatalogDamage damage) {
    JetFileBuilder b(jet4);
    Sample s;
    s.people = add_user_table(b, 2);
    s.lower = add_user_table(b, 3);
    s.wide = add_user_table(b, 1);
    add_system_catalog(b, {
                              {2, "MSysObjects", 1, {}},
                              {s.people, "People", 1, {}},
                              {s.people, "MSysAccessStorage", 1, {}},
                              {s.lower, "msysLower", 1, {}},
                              {s.wide, "", 1, {}},
                              {s.wide, "Wide", 257, {}},
                              {40, "~sq_cForm", 5, {}},
                              {41, "~sOther", 5, {}},
                              {42, "~Tilde", 5, {}},
                              {43, "Q1", 5, {}},
                              {44, "Rel1", 8, {}},
                              {45, "Form1", 2, {}},
                              {s.people, "PeopleAgain", 1, {}},
                          });
    if (damage == CatalogDamage::ZeroedDefinition) std::fill(b.page(2).begin(), b.page(2).end(), 0);
    if (damage == CatalogDamage::GarbledDefinition) garble_page(b, 2, 0x02, 0x5EED);
    s.bytes = b.bytes();
    return s;
}

struct WalkRun {
    int result = 0;
    RecordingDispatch dispatch;
};

void walk(const std::vector<std::uint8_t>& bytes, bool save_active, WalkRun& run,
          int stop_at_call = -1) {
    RecoveryState state;
    state.save_active = save_active;
    auto file = reader::jet_open_bytes(bytes, state);
    ASSERT_TRUE(file);
    run.dispatch.stop_at_call = stop_at_call;
    run.result = walk_catalog(state, file, run.dispatch);
}

using RulesParam = std::tuple<bool, CatalogDamage>;
class WalkRules : public ::testing::TestWithParam<RulesParam> {};

TEST_P(WalkRules, DispatchesTablesQueriesAndRelationshipsByTheCatalogsRules) {
    const auto [jet4, damage] = GetParam();
    const Sample s = rules_sample(jet4, damage);

    WalkRun save;
    walk(s.bytes, true, save);
    EXPECT_EQ(save.result, 1);
    EXPECT_EQ(save.dispatch.summary(),
              (std::vector<std::string>{"table:People", "table:msysLower", "table:Wide",
                                        "query:~Tilde", "query:Q1", "relationships"}));
    const auto& calls = save.dispatch.calls;
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[0].page, s.people);
    EXPECT_EQ(calls[0].rows, 2) << "every row of the table was read from its definition";
    EXPECT_EQ(calls[1].rows, 3);
    EXPECT_EQ(calls[2].page, s.wide);
    EXPECT_EQ(calls[2].columns, 2);
    // The walk hands over the stored type, the scan the masked one.
    EXPECT_EQ(calls[2].type, damage == CatalogDamage::None ? 257 : 1);
    EXPECT_EQ(calls[4].page, 43);

    WalkRun analysis;
    walk(s.bytes, false, analysis);
    EXPECT_EQ(analysis.result, 1);
    EXPECT_EQ(analysis.dispatch.summary(),
              (std::vector<std::string>{"table:People", "table:msysLower", "table:Wide"}))
        << "an analysis touches no query and no relationship";
}

TEST_P(WalkRules, ConfirmedStopEndsTheWalkWithoutRelationships) {
    const auto [jet4, damage] = GetParam();
    const Sample s = rules_sample(jet4, damage);
    for (int stop_at : {0, 1, 3, 5}) {
        WalkRun run;
        walk(s.bytes, true, run, stop_at);
        EXPECT_EQ(run.result, STOP_CODE) << "stop at call " << stop_at;
        EXPECT_EQ(run.dispatch.calls.size(), static_cast<std::size_t>(stop_at + 1));
    }
}

std::string rules_name(const ::testing::TestParamInfo<RulesParam>& info) {
    static const char* const kDamage[] = {"sound", "zeroed", "garbled"};
    return std::string(std::get<0>(info.param) ? "jet4_" : "jet3_") +
           kDamage[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Catalogs, WalkRules,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Values(CatalogDamage::None,
                                                              CatalogDamage::ZeroedDefinition,
                                                              CatalogDamage::GarbledDefinition)),
                         rules_name);

TEST(CatalogNumbers, DecodeLeadingDigitsOnly) {
    const std::pair<const char*, std::uint64_t> cases[] = {
        {"257", 257}, {"  1", 1}, {"12ab", 12}, {"-5", 0}, {"", 0}, {"abc", 0}, {"+3", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(decode_catalog_number(text), value) << '"' << text << '"';
}

// Raw scan over a catalog page written row by row (no catalog definition).
class RawScan : public ::testing::TestWithParam<bool> {};

struct ScanFile {
    JetFileBuilder builder;
    int data = 0;
    int table = 0;
    explicit ScanFile(bool jet4) : builder(jet4) {
        table = add_user_table(builder, 2);
        data = builder.add_data_page(2);  // page 2 itself stays zero: no definition
    }
    int add(const CatalogObjectSpec& object, std::uint16_t flags = 0) {
        return builder.add_row(data, catalog_row(builder, object), flags);
    }
};

std::vector<std::string> scan_names(const std::vector<std::uint8_t>& bytes, bool save_active,
                                    int* result = nullptr) {
    RecoveryState state;
    state.save_active = save_active;
    auto file = reader::jet_open_bytes(bytes, state);
    RecordingDispatch dispatch;
    const int r = file ? scan_catalog_pages(state, file, dispatch) : -1;
    if (result) *result = r;
    return dispatch.summary();
}

TEST_P(RawScan, KeepsWholeNamesAndFallsBackToLettersAndDigits) {
    const bool jet4 = GetParam();
    ScanFile f(jet4);
    f.add({f.table, "Two Words", 1, {}});
    f.add({f.table + 1000, "tbl_orders", 1, {}});
    // The same name with its offset table damaged (variable count 0): only
    // the leading letters and digits are kept.
    auto row = catalog_row(f.builder, {f.table + 2000, "Cut_here", 1, {}});
    const std::size_t count_at = row.size() - 1 - (jet4 ? 2 : 1);  // before the 1-byte mask
    row[count_at] = 0;
    if (jet4) row[count_at + 1] = 0;
    f.builder.add_row(f.data, row);
    EXPECT_EQ(scan_names(f.builder.bytes(), false),
              (std::vector<std::string>{"table:Two Words", "table:tbl_orders", "table:Cut"}));
}

TEST_P(RawScan, RowEntriesRepeatedFlaggedOrOutsideThePage) {
    const bool jet4 = GetParam();
    ScanFile f(jet4);
    const int first = f.add({f.table, "Alpha", 1, {}});
    f.add({f.table + 1, "Beta", 1, {}}, 0x8000);  // deleted mark: still read
    f.add({f.table + 2, "Gamma", 1, {}});
    auto& page = f.builder.page(f.data);
    const std::size_t entries = jet4 ? 14 : 10;
    // Entry 2 repeats entry 1; a fourth entry points past the page.
    page[entries + 4] = page[entries + 2];
    page[entries + 5] = page[entries + 3];
    f.builder.set_row_entry(f.data, 3, 0x0FFF);
    f.builder.set_row_count(f.data, 4);
    (void)first;
    EXPECT_EQ(scan_names(f.builder.bytes(), false),
              (std::vector<std::string>{"table:Alpha", "table:Beta"}));
}

TEST_P(RawScan, AnalysisDispatchesTablesOnlyAndSaveEndsWithRelationships) {
    const bool jet4 = GetParam();
    ScanFile f(jet4);
    f.add({f.table, "T1", 1, {}});
    f.add({50, "Q1", 5, {}});
    f.add({51, "R1", 8, {}});
    f.add({52, "R2", 8, {}});
    EXPECT_EQ(scan_names(f.builder.bytes(), false), (std::vector<std::string>{"table:T1"}));
    EXPECT_EQ(scan_names(f.builder.bytes(), true),
              (std::vector<std::string>{"table:T1", "query:Q1", "relationships"}))
        << "relationships once, after every table exists";
}

TEST_P(RawScan, FileShorterThanOnePageYieldsNothing) {
    const bool jet4 = GetParam();
    JetFileBuilder b(jet4);
    b.set_version(jet4 ? 1 : 0);
    auto bytes = b.bytes();
    bytes.resize(b.page_size() - 1 + (jet4 ? 0 : b.page_size()));  // Jet 3: page 1 cut short
    int result = 0;
    EXPECT_TRUE(scan_names(bytes, true, &result).empty());
    EXPECT_EQ(result, 1);
}

INSTANTIATE_TEST_SUITE_P(Versions, RawScan, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "jet4" : "jet3"; });

TEST(RawScanJet4, CompressedNameIsDecoded) {
    ScanFile f(true);
    std::vector<std::uint8_t> name = {0xFF, 0xFE};
    for (char c : std::string("Comp name"))
        name.push_back(static_cast<std::uint8_t>(c));
    f.add({f.table, "", 1, name});
    EXPECT_EQ(scan_names(f.builder.bytes(), false), (std::vector<std::string>{"table:Comp name"}));
}

}  // namespace
}  // namespace tessaly::recovery::test
