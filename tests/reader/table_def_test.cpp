// Table definitions: counts, usage map, column descriptors and names, indexes.
#include <gtest/gtest.h>

#include "reader/index_def.h"
#include "reader/table_def.h"
#include "support/jet_page_builder.h"

namespace tessaly::reader {
namespace {

using test::ColumnSpec;
using test::fixed_column;
using test::index_entry;
using test::JetFileBuilder;
using test::TableSpec;
using test::variable_column;

// Opens the builder's bytes and reads the definition on `page` with its columns.
struct Opened {
    recovery::RecoveryState state;
    std::shared_ptr<JetFile> file;
    std::unique_ptr<TableDef> table;
    bool columns_ok = false;

    Opened(const JetFileBuilder& b, int page, bool with_indexes = true) {
        file = jet_open_bytes(b.bytes(), state);
        if (!file) return;
        table = read_table_def(CatalogEntry{file, "T", 1, page});
        if (!table) return;
        columns_ok = read_columns(*table);
        if (columns_ok && with_indexes) read_indexes(*table);
    }
};

std::vector<std::string> names(const TableDef& t) {
    std::vector<std::string> out;
    for (const auto& c : t.columns)
        out.push_back(c.name);
    return out;
}

TableSpec simple_table(int columns, int name_length = 4) {
    TableSpec t;
    for (int i = 0; i < columns; ++i) {
        std::string name = "c" + std::to_string(i);
        name.resize(std::max<std::size_t>(name.size(), name_length), 'x');
        t.columns.push_back(fixed_column(name, 4, 4, static_cast<std::uint16_t>(i),
                                         static_cast<std::uint16_t>(4 * i)));
    }
    return t;
}

class DefinitionVersions : public ::testing::TestWithParam<bool> {};

TEST_P(DefinitionVersions, DescriptorsFollowTheRealIndexHeaders) {
    const bool jet4 = GetParam();
    JetFileBuilder b(jet4);
    TableSpec t;
    t.columns = {fixed_column("Id", 4, 4, 0, 0), variable_column("Name", 10, 100, 1, 0),
                 fixed_column("Flag", 1, 1, 2, 4), [] {
                     auto c = fixed_column("Amount", 16, 17, 3, 4);
                     c.precision = 18;
                     c.scale = 4;
                     return c;
                 }()};
    t.real_indexes = {{{0}}, {{3, 1}}};
    t.indexes = {index_entry("PrimaryKey", 0, 1), index_entry("ByAmount", 1, 0),
                 index_entry("Link", 1, 2)};
    t.row_count = 7;
    const int page = b.add_table_def(t, {});
    Opened o(b, page);
    ASSERT_TRUE(o.table);
    ASSERT_TRUE(o.columns_ok);
    EXPECT_EQ(o.table->row_count, 7);
    EXPECT_EQ(o.table->column_count, 4);
    EXPECT_EQ(o.table->real_index_count, 2);
    EXPECT_EQ(names(*o.table), (std::vector<std::string>{"Id", "Name", "Flag", "Amount"}));
    const auto& c = o.table->columns;
    EXPECT_TRUE(c[0].is_fixed);
    EXPECT_FALSE(c[1].is_fixed);
    EXPECT_EQ(c[1].type, 10);
    EXPECT_EQ(c[1].size, 100);
    EXPECT_EQ(c[2].size, 0) << "booleans have no size";
    EXPECT_EQ(c[3].fixed_offset, 4);
    EXPECT_EQ(c[3].number, 3);
    EXPECT_EQ(c[3].precision, 18);
    EXPECT_EQ(c[3].scale, 4);

    const auto& x = o.table->indexes;
    ASSERT_EQ(x.size(), 3u);
    EXPECT_EQ(x[0].name, "PrimaryKey");
    EXPECT_EQ(x[0].type, 1);
    EXPECT_EQ(x[0].keys, (std::vector<std::int32_t>{1}));
    EXPECT_EQ(x[1].name, "ByAmount");
    EXPECT_EQ(x[1].keys, (std::vector<std::int32_t>{4, 2}));
    EXPECT_EQ(x[2].type, 2);
    EXPECT_TRUE(x[2].keys.empty()) << "foreign-key entries get no key columns";
}

TEST_P(DefinitionVersions, LongDefinitionsContinueOnTheirNextPages) {
    const bool jet4 = GetParam();
    JetFileBuilder b(jet4);
    // Enough columns that names and the index area cross page boundaries.
    TableSpec t = simple_table(jet4 ? 150 : 80, 21);
    const auto last = static_cast<std::uint16_t>(t.columns.size() - 1);
    t.real_indexes = {{{5, last}}};
    t.indexes = {index_entry("Wide", 0, 1)};
    const int page = b.add_table_def(t, {});
    Opened o(b, page);
    ASSERT_TRUE(o.columns_ok);
    ASSERT_EQ(o.table->columns.size(), t.columns.size());
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        EXPECT_EQ(o.table->columns[i].name, t.columns[i].name);
    ASSERT_EQ(o.table->indexes.size(), 1u);
    EXPECT_EQ(o.table->indexes[0].name, "Wide");
    EXPECT_EQ(o.table->indexes[0].keys, (std::vector<std::int32_t>{6, last + 1}));
}

INSTANTIATE_TEST_SUITE_P(Versions, DefinitionVersions, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "jet4" : "jet3"; });

TEST(ColumnNames, DamagedNameAreaIsRepaired) {
    JetFileBuilder b(true);
    TableSpec t = simple_table(5);
    t.columns[2].stored_name_length = 600;
    t.real_indexes = {{{0}}};
    t.indexes = {index_entry("PrimaryKey", 0, 1)};
    const int page = b.add_table_def(t, {});
    Opened o(b, page);
    ASSERT_TRUE(o.columns_ok);
    EXPECT_EQ(names(*o.table), (std::vector<std::string>{"c0xx", "c1xx", "RepairedField",
                                                         "RepairedField", "RepairedField"}));
    EXPECT_EQ(o.table->index_count, 0);
    EXPECT_EQ(o.table->real_index_count, 0);
    EXPECT_TRUE(o.table->indexes.empty());
}

TEST(ColumnNames, CompressedAndLongNames) {
    JetFileBuilder b(true);
    TableSpec t = simple_table(3);
    t.columns[0].raw_name = std::vector<std::uint8_t>{0xFF, 0xFE, 'N', 'a', 'm', 'e'};
    std::vector<std::uint8_t> compressed{0xFF, 0xFE};
    compressed.resize(302, 'L');  // 300 characters in 302 bytes
    t.columns[1].raw_name = compressed;
    const int page = b.add_table_def(t, {});
    Opened o(b, page);
    ASSERT_TRUE(o.columns_ok);
    EXPECT_EQ(o.table->columns[0].name, "Name");
    EXPECT_EQ(o.table->columns[1].name, std::string(259, 'L')) << "cut to the name field";
    EXPECT_EQ(o.table->columns[2].name, "c2xx");
}

TEST(ColumnNames, DescriptorsEndingExactlyAtThePageEnd) {
    // 63 + 12 * 9 + 25 * 157 = 4096: the names start at offset 8 of the next page.
    JetFileBuilder b(true);
    TableSpec t = simple_table(157);
    for (int i = 0; i < 9; ++i)
        t.real_indexes.push_back({{static_cast<std::uint16_t>(i)}});
    const int page = b.add_table_def(t, {});
    Opened o(b, page, false);
    ASSERT_TRUE(o.columns_ok);
    EXPECT_EQ(o.table->columns.front().name, "c0xx");
    EXPECT_EQ(o.table->columns.back().name, "c156");
}

TEST(ColumnNames, ChainEndingBeforeTheNamesRepairsThem) {
    JetFileBuilder b(true);
    TableSpec t = simple_table(160, 30);
    t.real_indexes = {{{0}}};
    t.indexes = {index_entry("PrimaryKey", 0, 1)};
    const int page = b.add_table_def(t, {});
    b.put_u32(page, 4, 0);  // the continuation is lost
    Opened o(b, page);
    ASSERT_TRUE(o.columns_ok);
    EXPECT_EQ(o.table->columns.size(), 160u);
    EXPECT_EQ(o.table->columns.back().name, "RepairedField");
    EXPECT_TRUE(o.table->indexes.empty());
}

TEST(ColumnCounts, MoreThan256ColumnsAreBounded) {
    JetFileBuilder b(true);
    TableSpec t = simple_table(300);
    const int page = b.add_table_def(t, {});
    Opened o(b, page);
    ASSERT_TRUE(o.columns_ok);
    ASSERT_EQ(o.table->columns.size(), 256u);
    EXPECT_EQ(o.table->columns[255].name, "c255");
}

TEST(ColumnCounts, DamagedCatalogDescriptorFailsTheColumns) {
    JetFileBuilder b(true);
    TableSpec t = simple_table(2);
    t.columns[1].type = 77;
    t.columns[1].fixed_offset = 5000;
    b.add_table_def(t, {}, 2);
    Opened catalog(b, 2);
    ASSERT_TRUE(catalog.table);
    EXPECT_FALSE(catalog.columns_ok);
    EXPECT_TRUE(catalog.table->columns.empty());

    JetFileBuilder other(true);
    const int page = other.add_table_def(t, {});
    Opened user(other, page);
    EXPECT_TRUE(user.columns_ok) << "only the catalog's definition is checked this way";
}

TEST(DefinitionHeader, DamagedHeadersAndMapsGiveNoDefinition) {
    struct Case {
        const char* label;
        void (*damage)(JetFileBuilder&, int page);
        bool readable;
    };
    const Case cases[] = {
        {"sound", [](JetFileBuilder&, int) {}, true},
        {"length_zero", [](JetFileBuilder& b, int p) { b.put_u32(p, 8, 0); }, false},
        {"usage_map_page_missing", [](JetFileBuilder& b, int p) { b.put_u24(p, 56, 5000); }, false},
        {"usage_map_row_start_damaged",
         [](JetFileBuilder& b, int p) {
             const int map_page = b.page(p)[56];
             b.set_row_entry(map_page, b.page(p)[55], 0x7000);
         },
         false},
        {"free_map_page_missing", [](JetFileBuilder& b, int p) { b.put_u24(p, 60, 5000); }, true},
    };
    for (const Case& c : cases) {
        JetFileBuilder b(true);
        const int page = b.add_table_def(simple_table(2), {});
        c.damage(b, page);
        Opened o(b, page);
        EXPECT_EQ(o.table != nullptr, c.readable) << c.label;
        if (o.file) {
            EXPECT_EQ(o.file->current_page, page) << c.label;
        }
    }
}

TEST(DefinitionHeader, UsageMapRowOfAtMost2048Bytes) {
    for (std::size_t length : {std::size_t{2048}, std::size_t{2049}}) {
        JetFileBuilder b(true);
        std::vector<std::uint8_t> map(length, 0);
        const std::uint32_t usage = b.add_raw_map_row(map);
        const std::uint32_t free_map = b.add_map_row({});
        const int page =
            b.write_definition(b.definition_bytes(simple_table(1), usage, free_map), {});
        Opened o(b, page);
        EXPECT_EQ(o.table != nullptr, length == 2048) << length;
        if (o.table) {
            EXPECT_EQ(o.table->usage_map.size(), 2048u);
        }
    }
}

TEST(Indexes, Jet4PrimaryKeyNamesItsColumns) {
    JetFileBuilder b(true);
    TableSpec t = simple_table(4);
    t.real_indexes = {{{0, 3}}};
    t.indexes = {index_entry("PrimaryKey", 0, 1)};
    Opened o(b, b.add_table_def(t, {}));
    ASSERT_EQ(o.table->indexes.size(), 1u);
    EXPECT_EQ(o.table->indexes[0].type, 1);
    EXPECT_EQ(o.table->indexes[0].key_count(), 2);
    EXPECT_EQ(o.table->indexes[0].keys, (std::vector<std::int32_t>{1, 4}));
}

TEST(Indexes, OverlongNameEndsTheIndexArea) {
    JetFileBuilder b(true);
    TableSpec t = simple_table(4);
    t.real_indexes = {{{0}}, {{1}}};
    t.indexes = {index_entry("One", 0, 1), index_entry("Two", 1, 0), index_entry("Three", 1, 0)};
    t.indexes[1].stored_name_length = 700;
    Opened o(b, b.add_table_def(t, {}));
    const auto& x = o.table->indexes;
    ASSERT_EQ(x.size(), 3u);
    EXPECT_EQ(x[0].name, "One");
    EXPECT_EQ(x[1].name, "");
    EXPECT_EQ(x[2].name, "");
    for (const auto& i : x)
        EXPECT_TRUE(i.keys.empty());
}

TEST(Indexes, DamagedCountsAndNumbersAreBounded) {
    JetFileBuilder b(true);
    TableSpec t = simple_table(2);
    t.real_indexes = {{{0}}};
    t.indexes = {index_entry("Good", 0, 1), index_entry("Dangling", 9, 0)};
    Opened o(b, b.add_table_def(t, {}));
    ASSERT_EQ(o.table->indexes.size(), 2u);
    EXPECT_EQ(o.table->indexes[0].keys, (std::vector<std::int32_t>{1}));
    EXPECT_TRUE(o.table->indexes[1].keys.empty()) << "names a real index that does not exist";

    JetFileBuilder huge(true);
    TableSpec h = simple_table(2);
    h.stored_index_count = 0x7FFFFFFF;
    Opened d(huge, huge.add_table_def(h, {}));
    ASSERT_TRUE(d.columns_ok);
    EXPECT_TRUE(d.table->indexes.empty());
    EXPECT_EQ(d.table->index_count, 0);
}

}  // namespace
}  // namespace tessaly::reader
