// Row reading: usage maps, data pages, row entries, splitting, stop checks.
#include <gtest/gtest.h>

#include "reader/row_reader.h"
#include "recovery/recording_stop_question.h"
#include "support/jet_page_builder.h"

namespace tessaly::reader {
namespace {

using test::CellValue;
using test::fixed_column;
using test::i32_value;
using test::JetFileBuilder;
using test::TableSpec;
using test::variable_column;

TableSpec id_name_table(bool jet4) {
    TableSpec t;
    t.columns = {fixed_column("Id", 4, 4, 0, 0), variable_column("Name", 10, 100, 1, 0),
                 fixed_column("On", 1, 1, 2, 4)};
    (void)jet4;
    return t;
}

std::vector<CellValue> id_name_row(bool jet4, int id, const std::string& name, bool on) {
    return {i32_value(id), test::text_value(name, jet4),
            on ? test::bytes_value({}) : test::null_value()};
}

// Opens a builder's file, reads a table and all its rows as joined texts.
struct Reader {
    recovery::RecoveryState state;
    std::shared_ptr<JetFile> file;
    std::unique_ptr<TableDef> table;

    Reader(const JetFileBuilder& b, int page) {
        file = jet_open_bytes(b.bytes(), state);
        if (!file) return;
        table = read_table_def(CatalogEntry{file, "T", 1, page});
        if (table && read_columns(*table)) rewind_rows(*table);
    }
    std::vector<std::string> rows() {
        std::vector<std::string> out;
        int r;
        while ((r = next_row(*table, state)) == 1) {
            std::string joined;
            for (std::size_t i = 0; i < state.column_values.size(); ++i)
                joined += (i ? "|" : "") + state.column_values[i];
            out.push_back(joined);
        }
        EXPECT_EQ(r, 0);
        return out;
    }
};

class RowVersions : public ::testing::TestWithParam<bool> {};

TEST_P(RowVersions, ReadsRowsOfEveryDataPageTheMapNames) {
    const bool jet4 = GetParam();
    JetFileBuilder b(jet4);
    TableSpec t = id_name_table(jet4);
    const int def = b.add_page();
    const int d1 = b.add_data_page(def);
    const int d2 = b.add_data_page(def);
    b.add_row(d1, b.make_row(t, id_name_row(jet4, 1, "one", true)));
    b.add_row(d1, b.make_row(t, id_name_row(jet4, 2, "", false)));
    b.add_row(d2, b.make_row(t, id_name_row(jet4, 3, "three", false)));
    b.add_table_def(t, {d1, d2}, def);
    Reader r(b, def);
    ASSERT_TRUE(r.table);
    EXPECT_EQ(r.rows(), (std::vector<std::string>{"1|one|1", "2||0", "3|three|0"}));
    EXPECT_EQ(next_row(*r.table, r.state), 0) << "stays at the end";
}

TEST_P(RowVersions, DeletedRowsAreReadLookupEntriesSkipped) {
    const bool jet4 = GetParam();
    JetFileBuilder b(jet4);
    TableSpec t = id_name_table(jet4);
    const int def = b.add_page();
    const int d = b.add_data_page(def);
    b.add_row(d, b.make_row(t, id_name_row(jet4, 1, "deleted", true)), 0x8000);
    b.add_row(d, b.make_row(t, id_name_row(jet4, 2, "pointer", true)), 0x4000);
    b.add_row(d, b.make_row(t, id_name_row(jet4, 3, "live", true)));
    b.add_table_def(t, {d}, def);
    Reader r(b, def);
    EXPECT_EQ(r.rows(), (std::vector<std::string>{"1|deleted|1", "3|live|1"}));

    // A stored row count of 0 leaves the deleted rows out but keeps live ones.
    b.put_u32(def, jet4 ? 16 : 12, 0);
    Reader zero(b, def);
    EXPECT_EQ(zero.rows(), (std::vector<std::string>{"3|live|1"}));
}

TEST_P(RowVersions, RowsStoringFewerColumnsLeaveTheRestEmpty) {
    const bool jet4 = GetParam();
    JetFileBuilder b(jet4);
    TableSpec t;
    t.columns = {fixed_column("A", 4, 4, 0, 0), fixed_column("B", 4, 4, 1, 4),
                 fixed_column("C", 4, 4, 2, 8)};
    TableSpec older = t;
    older.columns.pop_back();
    const int def = b.add_page();
    const int d = b.add_data_page(def);
    b.add_row(d, b.make_row(older, {i32_value(1), i32_value(2)}));
    b.add_row(d, b.make_row(t, {i32_value(4), test::null_value(), i32_value(6)}));
    b.add_table_def(t, {d}, def);
    Reader r(b, def);
    EXPECT_EQ(r.rows(), (std::vector<std::string>{"1|2|", "4||6"}));
}

INSTANTIATE_TEST_SUITE_P(Versions, RowVersions, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "jet4" : "jet3"; });

TEST(Jet3Rows, JumpBytesCarryOffsetsPast255) {
    JetFileBuilder b(false);
    TableSpec t;
    t.columns = {variable_column("Long", 10, 255, 0, 0), variable_column("Short", 10, 10, 1, 1)};
    // n, 300 bytes, 5 bytes, offsets 2/1/0 (low bytes), jump byte, v, mask.
    std::vector<std::uint8_t> row{2};
    row.resize(301, 'x');
    for (char c : std::string("tail!"))
        row.push_back(static_cast<std::uint8_t>(c));
    for (std::uint8_t v : {50, 45, 1, 1, 2, 0x03})
        row.push_back(v);
    const int def = b.add_page();
    const int d = b.add_data_page(def);
    b.add_row(d, row);
    b.add_table_def(t, {d}, def);
    Reader r(b, def);
    EXPECT_EQ(r.rows(), (std::vector<std::string>{std::string(300, 'x') + "|tail!"}));
}

TEST(RowEntries, AtMost1001RowsPerPage) {
    JetFileBuilder b(true);
    TableSpec t;  // no columns: every row is an empty row
    const int def = b.add_page();
    const int d = b.add_data_page(def);
    b.set_row_count(d, 1005);
    for (int r = 0; r < 1005; ++r)
        b.set_row_entry(d, r, static_cast<std::uint16_t>(4095 - r));
    b.add_table_def(t, {d}, def);
    Reader r(b, def);
    EXPECT_EQ(r.rows().size(), 1001u);
    EXPECT_FALSE(find_row(*r.file, 1001).found);
}

TEST(RowEntries, DamagedSizesAndRowsNeverReadOutsideThePage) {
    JetFileBuilder b(true);
    TableSpec t = id_name_table(true);
    const int def = b.add_page();
    const int d = b.add_data_page(def);
    b.add_row(d, b.make_row(t, id_name_row(true, 1, "ok", true)));
    b.set_row_count(d, 4);
    b.set_row_entry(d, 1, 0x1FFF);  // starts past the page, size negative
    b.set_row_entry(d, 2, 4094);    // two bytes of garbage at the page end
    b.set_row_entry(d, 3, 20);      // "row" over the entry table itself
    b.add_table_def(t, {d}, def);
    Reader r(b, def);
    const auto rows = r.rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], "1|ok|1");
}

TEST(UsageMap, InlineMapNamesPagesFromItsFirstPage) {
    recovery::RecoveryState state;
    auto file = jet_open_bytes(JetFileBuilder(true).bytes(), state);
    TableDef t;
    t.entry.file = file;
    t.usage_map = {0, 100, 0, 0, 0, 0x09};  // first page 100, bits 0 and 3
    EXPECT_EQ(usage_map_next(t, 0), 100);
    EXPECT_EQ(usage_map_next(t, 100), 103);
    EXPECT_EQ(usage_map_next(t, 103), 0);
    t.usage_map = {0, 100, 0, 0, 0};  // no bitmap
    EXPECT_EQ(usage_map_next(t, 0), 0);
    t.usage_map = {7, 1, 2, 3};  // unknown map type
    EXPECT_EQ(usage_map_next(t, 0), 0);
}

TEST(UsageMap, ReferenceMapPagesEachCoverARange) {
    JetFileBuilder b(true);
    const int empty_map = b.add_page();
    const int map = b.add_page();
    b.put_u8(map, 4, 0x20);  // bit 5
    recovery::RecoveryState state;
    auto file = jet_open_bytes(b.bytes(), state);
    TableDef t;
    t.entry.file = file;
    t.usage_map = {
        1, static_cast<std::uint8_t>(empty_map), 0, 0, 0, static_cast<std::uint8_t>(map), 0, 0, 0};
    load_page(*file, 1);
    EXPECT_EQ(usage_map_next(t, 0), 32736 + 5);
    EXPECT_EQ(file->current_page, 1) << "map pages go through the alternate buffer";
    EXPECT_EQ(usage_map_next(t, 32741), 0);
    t.usage_map = {1, 0, 0, 0, 0, static_cast<std::uint8_t>(map), 0, 0, 0};
    EXPECT_EQ(usage_map_next(t, 0), 32741) << "a map page number 0 is passed over";
}

TEST(UsageMap, UnreadableReferencePageEndsTheTableKeepingItsRows) {
    JetFileBuilder b(true);
    TableSpec t = id_name_table(true);
    const int def = b.add_page();
    const int d = b.add_data_page(def);
    b.add_row(d, b.make_row(t, id_name_row(true, 1, "kept", true)));
    const int map = b.add_page();
    b.put_u8(map, 4 + d / 8, static_cast<std::uint8_t>(1 << (d % 8)));
    const std::uint32_t usage = b.add_raw_map_row(
        {1, static_cast<std::uint8_t>(map), 0, 0, 0, 0x10, 0x27, 0, 0});  // then page 10000
    const std::uint32_t free_map = b.add_map_row({});
    b.write_definition(b.definition_bytes(t, usage, free_map), def);
    Reader r(b, def);
    ASSERT_TRUE(r.table);
    EXPECT_EQ(r.rows(), (std::vector<std::string>{"1|kept|1"}));
}

TEST(DataPages, TheWalkEndsAtTheFirstPageThatIsNotData) {
    struct Case {
        const char* label;
        std::vector<std::uint8_t> header;  // bytes 0..7 of the middle page
        std::size_t rows;
    };
    const Case cases[] = {
        {"data", {1, 1, 0, 0, 0, 0, 0, 0}, 3},
        {"index_page", {4, 1, 0, 0, 0, 0, 0, 0}, 1},
        {"wrong_second_byte", {1, 2, 0, 0, 0, 0, 0, 0}, 1},
        {"long_value_page", {1, 1, 0, 0, 'L', 'V', 'A', 'L'}, 1},
    };
    for (const Case& c : cases) {
        JetFileBuilder b(true);
        TableSpec t = id_name_table(true);
        const int def = b.add_page();
        std::vector<int> pages;
        for (int i = 0; i < 3; ++i) {
            pages.push_back(b.add_data_page(def));
            b.add_row(pages.back(), b.make_row(t, id_name_row(true, i, "r", true)));
        }
        b.put_bytes(pages[1], 0, c.header);
        b.add_table_def(t, pages, def);
        Reader r(b, def);
        EXPECT_EQ(r.rows().size(), c.rows) << c.label;
    }
}

TEST(NextRow, StopIsAskedBeforeAnythingIsRead) {
    JetFileBuilder b(true);
    TableSpec t = id_name_table(true);
    const int def =
        b.add_table(t, {id_name_row(true, 1, "a", true), id_name_row(true, 2, "b", true)});
    Reader r(b, def);
    recovery::test::RecordingStopQuestion yes(true);
    r.state.stop_question = &yes;
    r.state.run_mode = recovery::RunMode::Analysis;

    ASSERT_EQ(next_row(*r.table, r.state), 1);
    EXPECT_EQ(r.state.column_values[0], "1");
    r.state.stop_requested = true;
    EXPECT_EQ(next_row(*r.table, r.state), recovery::STOP_CODE);
    EXPECT_EQ(r.table->row_index, 1) << "the cursor stays where it was";
    EXPECT_EQ(yes.questions.size(), 1u);
    ASSERT_EQ(next_row(*r.table, r.state), 1);
    EXPECT_EQ(r.state.column_values[0], "2");
}

TEST(NextRow, ContinuesOnItsDataPageAfterOtherReads) {
    JetFileBuilder b(true);
    TableSpec t = id_name_table(true);
    const int def =
        b.add_table(t, {id_name_row(true, 1, "a", true), id_name_row(true, 2, "b", true)});
    Reader r(b, def);
    ASSERT_EQ(next_row(*r.table, r.state), 1);
    load_page(*r.file, 0);  // another table or the catalog moved the file
    ASSERT_EQ(next_row(*r.table, r.state), 1);
    EXPECT_EQ(r.state.column_values[1], "b");
}

}  // namespace
}  // namespace tessaly::reader
