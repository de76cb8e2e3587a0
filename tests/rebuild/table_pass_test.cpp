// The table pass over small synthetic source files, in its three modes.
#include "rebuild/table_pass.h"

#include <gtest/gtest.h>

#include <clocale>

#include "log/activity_log.h"
#include "rebuild/currency_symbol.h"
#include "rebuild/schema_rebuild.h"
#include "rebuild_fixtures.h"
#include "support/corpus.h"
#include "support/recording_destination.h"
#include "support/recording_display.h"
#include "support/temp_env.h"

namespace tessaly::rebuild {
namespace {

using test::CellValue;
using Strings = std::vector<std::string>;

// "Items": Id long (primary key), Name text(50 chars, indexed), Price money,
// Stamp date. Four rows, one of them entirely null, one with a null first
// column.
test::TableSpec items_spec(bool jet4) {
    test::TableSpec t;
    t.columns = {test::fixed_column("Id", 4, 4, 0, 0), test::variable_column("Name", 10, 100, 1, 0),
                 test::fixed_column("Price", 5, 8, 2, 4), test::fixed_column("Stamp", 8, 8, 3, 12)};
    if (!jet4) t.columns[1].size = 50;
    t.real_indexes = {{{0}}, {{1}}};
    t.indexes = {test::index_entry("PrimaryKey", 0, 1), test::index_entry("Name", 1, 0)};
    t.row_count = 4;
    return t;
}

struct Source {
    std::vector<std::uint8_t> bytes;
    int items_page = 0;
    int empty_page = 0;  // a table whose every row is null
    int bare_page = 0;   // a table without columns
};

// With `low_pages` the tables' definitions lie below page 8.
Source make_source(bool jet4, bool low_pages = false) {
    test::JetFileBuilder b(jet4, low_pages ? 3 : 8);
    Source s;
    s.items_page = b.add_table(
        items_spec(jet4),
        {{test::i32_value(1), test::text_value("apple", jet4), test::money_value(15000),
          test::f64_value(36526.5)},
         {test::null_value(), test::null_value(), test::null_value(), test::null_value()},
         {test::null_value(), test::text_value("pear", jet4), test::null_value(),
          test::null_value()},
         {test::i32_value(4), test::null_value(), test::money_value(-25), test::null_value()}});
    test::TableSpec empty;
    empty.columns = {test::fixed_column("X", 4, 4, 0, 0)};
    empty.row_count = 2;
    s.empty_page = b.add_table(empty, {{test::null_value()}, {test::null_value()}});
    test::TableSpec bare;
    bare.row_count = 0;
    s.bare_page = b.add_table(bare, {});
    s.bytes = b.bytes();
    return s;
}

class TablePass : public ::testing::Test {
  protected:
    void SetUp() override { log::set_log_file_override(env.root() / "log.txt"); }
    void TearDown() override { log::set_log_file_override({}); }

    std::shared_ptr<reader::JetFile> open(const Source& s) {
        auto file = reader::jet_open_bytes(s.bytes, state);
        EXPECT_TRUE(file);
        return file;
    }
    void enter_save() {
        state.save_active = true;
        state.run_mode = recovery::RunMode::Save;
        state.destination = dest.bundle();
    }
    std::string log_text() const { return test::read_file(env.root() / "log.txt"); }

    test::TempEnv env;
    recovery::RecoveryState state;
    test::RecordingDisplay display;
    test::RecordingDestination dest;
    test::YesStopQuestion yes;

  public:
    TablePass() { state.display = display.surfaces; }
};

TEST_F(TablePass, AnalysisCountsNonEmptyRowsAndTouchesNothingElse) {
    const Source s = make_source(true);
    auto file = open(s);
    state.destination = dest.bundle();  // present but not used outside a save
    EXPECT_EQ(process_table(state, file, 1, s.items_page, "Items"), 1);
    EXPECT_EQ(process_table(state, file, 1, s.empty_page, "Empty"), 1);
    EXPECT_EQ(process_table(state, file, 1, s.bare_page, "Bare"), 1);
    EXPECT_EQ(process_table(state, file, 1, 500, "Missing"), 1);

    ASSERT_EQ(state.found_tables.size(), 2u);
    const recovery::TableSummary& items = state.found_tables[0];
    EXPECT_EQ(items.definition_page, s.items_page);
    EXPECT_EQ(items.name, "Items");
    EXPECT_EQ(items.column_count, 4);
    EXPECT_EQ(items.record_count, 3);
    EXPECT_EQ(state.found_tables[1].name, "Empty");
    EXPECT_EQ(state.found_tables[1].record_count, 0);
    EXPECT_TRUE(dest.calls.empty());
    EXPECT_TRUE(display.progress.lines.empty());
    EXPECT_TRUE(display.records.headings.empty());
    EXPECT_TRUE(file->is_open());
    EXPECT_FALSE(std::filesystem::exists(env.root() / "log.txt"));
}

TEST_F(TablePass, StoppedAnalysisTableGetsNoSummary) {
    const Source s = make_source(true);
    auto file = open(s);
    state.run_mode = recovery::RunMode::Analysis;
    state.stop_question = &yes;
    state.stop_requested = true;
    EXPECT_EQ(process_table(state, file, 1, s.items_page, "Items"), recovery::STOP_CODE);
    EXPECT_EQ(yes.asked, 1);
    EXPECT_TRUE(state.found_tables.empty());
}

TEST_F(TablePass, PreviewShowsColumnsAndNonEmptyRowsThenClosesTheSource) {
    test::ScopedEnv c_locale("LC_ALL", "C");
    const Source s = make_source(true);
    auto file = open(s);
    state.close_source_on_release = true;
    EXPECT_EQ(process_table(state, file, 1, s.items_page, "Items"), 1);

    EXPECT_EQ(display.records.headings, (Strings{"Id", "Name", "Price", "Stamp"}));
    // The C locale has no currency symbol; an empty money value shows "0".
    const std::vector<Strings> want = {{"1", "apple", "1.5000", "01/01/2000 12:00:00 PM"},
                                       {"", "pear", "0", ""},
                                       {"4", "", "-0.0025", ""}};
    EXPECT_EQ(display.records.lines, want);
    EXPECT_TRUE(state.found_tables.empty());
    EXPECT_FALSE(file->is_open());
}

// Builds a locale from the system's locale sources into a private folder;
// false when that is not possible here.
bool build_locale(const std::filesystem::path& dir, const std::string& input,
                  const std::string& charset) {
    if (!test::have_program("localedef")) return false;
    std::string out;
    const std::string cmd = "localedef -i " + input + " -f " + charset + " '" +
                            (dir / (input + "." + charset)).string() + "' 2>&1";
    return test::run_capture(cmd, out) == 0;
}

TEST_F(TablePass, PreviewMoneyShowsTheUsersCurrencySymbolWithoutChangingTheProcessLocale) {
    // An 8-bit locale whose symbol needs converting and whose decimal
    // separator differs from the rendered values'.
    if (!build_locale(env.root(), "de_DE", "ISO-8859-15"))
        GTEST_SKIP() << "cannot build a locale here";
    test::ScopedEnv path("LOCPATH", env.root().string());
    test::ScopedEnv user("LC_ALL", "de_DE.ISO-8859-15");
    EXPECT_EQ(user_currency_symbol(), "\xE2\x82\xAC");
    EXPECT_EQ(currency_symbol_of("no_SUCH.locale"), "");

    const std::string before = std::setlocale(LC_ALL, nullptr);
    const Source s = make_source(true);
    auto file = open(s);
    state.close_source_on_release = true;
    EXPECT_EQ(process_table(state, file, 1, s.items_page, "Items"), 1);
    ASSERT_EQ(display.records.lines.size(), 3u);
    EXPECT_EQ(display.records.lines[0][2],
              "\xE2\x82\xAC"
              "1.5000");
    EXPECT_EQ(display.records.lines[1][2],
              "\xE2\x82\xAC"
              "0");
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
    EXPECT_STREQ(std::localeconv()->decimal_point, ".");
}

class TablePassSave : public TablePass, public ::testing::WithParamInterface<bool> {};

TEST_P(TablePassSave, RebuildsTheTableCopiesNonEmptyRowsAndWritesTheSummary) {
    const bool jet4 = GetParam();
    const Source s = make_source(jet4);
    auto file = open(s);
    enter_save();
    EXPECT_EQ(process_table(state, file, 1, s.items_page, "Items"), 1);

    const Strings statements = {
        "CREATE TABLE [Items]([Id] LONG);",          "ALTER TABLE [Items] ADD PRIMARY KEY ([Id]);",
        "ALTER TABLE [Items] ADD [Name] TEXT(50);",  "CREATE INDEX MyIndex1 ON [Items]([Name])",
        "ALTER TABLE [Items] ADD [Price] CURRENCY;", "ALTER TABLE [Items] ADD [Stamp] DATE;"};
    EXPECT_EQ(dest.statements, statements);
    EXPECT_EQ(dest.calls_of("open"), (Strings{"-1|SELECT * FROM [Items]|0"}));
    using F = test::RecordingDestination::Fields;
    const std::vector<F> want = {
        {{"Id", "1"}, {"Name", "apple"}, {"Price", "1.5000"}, {"Stamp", "01/01/2000 12:00:00 PM"}},
        {{"Id", ""}, {"Name", "pear"}, {"Price", ""}, {"Stamp", ""}},
        {{"Id", "4"}, {"Name", ""}, {"Price", "-0.0025"}, {"Stamp", ""}}};
    EXPECT_EQ(dest.stored["SELECT * FROM [Items]"], want);
    EXPECT_EQ(dest.calls.back().op, "close");
    EXPECT_EQ(file->table_record_count, 3);
    EXPECT_TRUE(state.found_tables.empty());

    EXPECT_EQ(display.progress.lines,
              (Strings{"Repairing Table :                   Items",
                       "Total Fields Recovered :       4", "Total Records Recovered :   3", ""}));
    EXPECT_EQ(log_text(),
              "Repairing Table :           Items\r\nTotal Fields Recovered :    4\r\n"
              "Total Records Recovered :   3\r\n\r\n");
}

INSTANTIATE_TEST_SUITE_P(Versions, TablePassSave, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "jet4" : "jet3"; });

TEST_F(TablePass, SaveOfEmptyRowsAndOfLowDefinitionPages) {
    const Source s = make_source(true, /*low_pages=*/true);
    ASSERT_LT(s.items_page, kFirstKeyedDefinitionPage);
    auto file = open(s);
    enter_save();
    EXPECT_EQ(process_table(state, file, 1, s.items_page, "Items"), 1);
    EXPECT_EQ(process_table(state, file, 1, s.empty_page, "Empty"), 1);
    EXPECT_EQ(process_table(state, file, 1, s.bare_page, "Bare"), 1);
    // Keys and indexes only come from definitions on page 8 and above.
    EXPECT_EQ(
        dest.statements,
        (Strings{"CREATE TABLE [Items]([Id] LONG);", "ALTER TABLE [Items] ADD [Name] TEXT(50);",
                 "ALTER TABLE [Items] ADD [Price] CURRENCY;",
                 "ALTER TABLE [Items] ADD [Stamp] DATE;", "CREATE TABLE [Empty]([X] LONG);"}));
    EXPECT_TRUE(dest.stored["SELECT * FROM [Empty]"].empty());
    // The table without columns shows, stores and logs nothing.
    EXPECT_EQ(display.progress.lines.size(), 8u);
    EXPECT_EQ(display.progress.lines[6], "Total Records Recovered :   0");
    EXPECT_EQ(log_text().find("Bare"), std::string::npos);
}

struct RefusalCase {
    const char* label;
    std::function<void(test::RecordingDestination&)> configure;
    int add_new_calls;
    int update_calls;
    std::size_t stored;
};

class SaveRefusals : public TablePass, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SaveRefusals, CostOnlyWhatWasRefused) {
    const RefusalCase& c = GetParam();
    c.configure(dest);
    const Source s = make_source(true);
    auto file = open(s);
    enter_save();
    EXPECT_EQ(process_table(state, file, 1, s.items_page, "Items"), 1);
    EXPECT_EQ(dest.calls_of("add_new").size(), static_cast<std::size_t>(c.add_new_calls));
    EXPECT_EQ(dest.calls_of("update").size(), static_cast<std::size_t>(c.update_calls));
    EXPECT_EQ(dest.stored["SELECT * FROM [Items]"].size(), c.stored);
    // Every non-empty row counts, stored or not.
    EXPECT_EQ(display.progress.lines.at(2), "Total Records Recovered :   3");
}

INSTANTIATE_TEST_SUITE_P(
    Engine, SaveRefusals,
    ::testing::Values(RefusalCase{"duplicate_key",
                                  [](test::RecordingDestination& d) {
                                      d.refuse_update = [](const auto& r) {
                                          return r.at(0).second == "4";
                                      };
                                  },
                                  3, 3, 2},
                      RefusalCase{"field",
                                  [](test::RecordingDestination& d) {
                                      d.refuse_field = [](const std::string& f,
                                                          const std::string&) {
                                          return f == "Price";
                                      };
                                  },
                                  3, 3, 3},
                      RefusalCase{"table_not_created",
                                  [](test::RecordingDestination& d) {
                                      d.refuse_statement = [](const std::string& s) {
                                          return s.rfind("CREATE TABLE", 0) == 0;
                                      };
                                      d.refuse_open = [](const std::string&) { return true; };
                                  },
                                  0, 0, 0},
                      RefusalCase{"add_new",
                                  [](test::RecordingDestination& d) {
                                      d.refuse_add_new = [](int n) { return n == 1; };
                                  },
                                  3, 2, 2}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(TablePass, RefusedFieldLeavesTheOthersOfItsRecord) {
    dest.refuse_field = [](const std::string& f, const std::string&) { return f == "Price"; };
    const Source s = make_source(true);
    auto file = open(s);
    enter_save();
    process_table(state, file, 1, s.items_page, "Items");
    using F = test::RecordingDestination::Fields;
    EXPECT_EQ(dest.stored["SELECT * FROM [Items]"].at(0),
              (F{{"Id", "1"}, {"Name", "apple"}, {"Stamp", "01/01/2000 12:00:00 PM"}}));
}

TEST_F(TablePass, StopDuringASaveStillClosesAndSummarises) {
    const Source s = make_source(true);
    auto file = open(s);
    enter_save();
    state.stop_question = &yes;
    // The user presses Stop while the first record is being stored.
    dest.refuse_update = [&](const auto&) {
        state.stop_requested = true;
        return false;
    };
    EXPECT_EQ(process_table(state, file, 1, s.items_page, "Items"), recovery::STOP_CODE);
    EXPECT_EQ(dest.stored["SELECT * FROM [Items]"].size(), 1u);
    EXPECT_EQ(dest.calls.back().op, "close");
    EXPECT_EQ(display.progress.lines.at(2), "Total Records Recovered :   1");
    EXPECT_NE(log_text().find("Total Records Recovered :   1\r\n"), std::string::npos);
}

TEST_F(TablePass, SaveWithoutADestinationStillCountsAndSummarises) {
    const Source s = make_source(true);
    auto file = open(s);
    state.save_active = true;
    EXPECT_EQ(process_table(state, file, 1, s.items_page, "Items"), 1);
    EXPECT_EQ(display.progress.lines.at(2), "Total Records Recovered :   3");
}

}  // namespace
}  // namespace tessaly::rebuild
