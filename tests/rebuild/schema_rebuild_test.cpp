// Schema statements: column types, key and index marks, and the order in
// which the statements run.
#include "rebuild/schema_rebuild.h"

#include <gtest/gtest.h>

#include "support/recording_destination.h"

namespace tessaly::rebuild {
namespace {

using Strings = std::vector<std::string>;

struct Col {
    const char* name;
    std::int32_t type;
    std::int32_t size;
};

struct Index {
    std::uint8_t type;
    std::vector<std::int32_t> keys;  // column numbers + 1
};

reader::TableDef make_table(const std::vector<Col>& cols, const std::vector<Index>& indexes) {
    reader::TableDef t;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        reader::ColumnDef c;
        c.name = cols[i].name;
        c.type = cols[i].type;
        c.size = cols[i].size;
        c.number = static_cast<std::int32_t>(i);
        t.columns.push_back(c);
    }
    t.column_count = static_cast<std::int32_t>(cols.size());
    for (const Index& x : indexes) {
        reader::IndexDef d;
        d.type = x.type;
        d.keys = x.keys;
        mark_key_columns(t, d);
    }
    return t;
}

// The table of the reference example: A long, B text(100 bytes), C date, D memo.
const std::vector<Col> kExample = {{"A", 4, 4}, {"B", 10, 100}, {"C", 8, 8}, {"D", 12, 0}};

struct SchemaCase {
    const char* label;
    std::vector<Col> columns;
    std::vector<Index> indexes;
    bool jet4;
    Strings statements;
};

class SchemaStatements : public ::testing::TestWithParam<SchemaCase> {};

TEST_P(SchemaStatements, AreBuiltInOrder) {
    const SchemaCase& c = GetParam();
    const reader::TableDef table = make_table(c.columns, c.indexes);
    EXPECT_EQ(schema_statements("T", table, c.jet4), c.statements);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, SchemaStatements,
    ::testing::Values(
        SchemaCase{"example_jet4",
                   kExample,
                   {{1, {1, 2}}, {0, {3}}},
                   true,
                   {"CREATE TABLE [T]([A] LONG);", "ALTER TABLE [T] ADD [B] TEXT(50);",
                    "ALTER TABLE [T] ADD [C] DATE;", "CREATE INDEX MyIndex2 ON [T]([C])",
                    "ALTER TABLE [T] ADD [D] MEMO;",
                    "ALTER TABLE [T] ADD Constraint [PK_T] PRIMARY KEY ([A], [B]);"}},
        SchemaCase{"example_jet3",
                   kExample,
                   {{1, {1, 2}}, {0, {3}}},
                   false,
                   {"CREATE TABLE [T]([A] LONG);", "ALTER TABLE [T] ADD [B] TEXT(100);",
                    "ALTER TABLE [T] ADD [C] DATE;", "CREATE INDEX MyIndex2 ON [T]([C])",
                    "ALTER TABLE [T] ADD [D] MEMO;",
                    "ALTER TABLE [T] ADD Constraint [PK_T] PRIMARY KEY ([A], [B]);"}},
        SchemaCase{"one_column_key",
                   kExample,
                   {{1, {1}}},
                   true,
                   {"CREATE TABLE [T]([A] LONG);", "ALTER TABLE [T] ADD PRIMARY KEY ([A]);",
                    "ALTER TABLE [T] ADD [B] TEXT(50);", "ALTER TABLE [T] ADD [C] DATE;",
                    "ALTER TABLE [T] ADD [D] MEMO;"}},
        SchemaCase{"two_column_index_becomes_two_indexes",
                   kExample,
                   {{0, {2, 3}}},
                   true,
                   {"CREATE TABLE [T]([A] LONG);", "ALTER TABLE [T] ADD [B] TEXT(50);",
                    "CREATE INDEX MyIndex1 ON [T]([B])", "ALTER TABLE [T] ADD [C] DATE;",
                    "CREATE INDEX MyIndex2 ON [T]([C])", "ALTER TABLE [T] ADD [D] MEMO;"}},
        SchemaCase{"key_column_also_indexed_gets_only_the_key",
                   kExample,
                   {{0, {1}}, {1, {1}}, {0, {1}}},
                   true,
                   {"CREATE TABLE [T]([A] LONG);", "ALTER TABLE [T] ADD PRIMARY KEY ([A]);",
                    "ALTER TABLE [T] ADD [B] TEXT(50);", "ALTER TABLE [T] ADD [C] DATE;",
                    "ALTER TABLE [T] ADD [D] MEMO;"}},
        SchemaCase{"unmatched_key_number_stops_that_index_only",
                   kExample,
                   {{1, {1, 9, 2}}, {0, {4}}},
                   true,
                   {"CREATE TABLE [T]([A] LONG);", "ALTER TABLE [T] ADD PRIMARY KEY ([A]);",
                    "ALTER TABLE [T] ADD [B] TEXT(50);", "ALTER TABLE [T] ADD [C] DATE;",
                    "ALTER TABLE [T] ADD [D] MEMO;", "CREATE INDEX MyIndex3 ON [T]([D])"}},
        SchemaCase{"two_primary_key_entries_add_up_other_types_ignored",
                   kExample,
                   {{1, {1}}, {2, {3}}, {1, {4}}},
                   true,
                   {"CREATE TABLE [T]([A] LONG);", "ALTER TABLE [T] ADD [B] TEXT(50);",
                    "ALTER TABLE [T] ADD [C] DATE;", "ALTER TABLE [T] ADD [D] MEMO;",
                    "ALTER TABLE [T] ADD Constraint [PK_T] PRIMARY KEY ([A], [D]);"}},
        SchemaCase{"every_mapped_type",
                   {{"a", 1, 0},
                    {"b", 2, 1},
                    {"c", 3, 2},
                    {"d", 5, 8},
                    {"e", 6, 4},
                    {"f", 7, 8},
                    {"g", 11, 0},
                    {"h", 16, 17}},
                   {},
                   true,
                   {"CREATE TABLE [T]([a] BIT);", "ALTER TABLE [T] ADD [b] BYTE;",
                    "ALTER TABLE [T] ADD [c] INT;", "ALTER TABLE [T] ADD [d] CURRENCY;",
                    "ALTER TABLE [T] ADD [e] SINGLE;", "ALTER TABLE [T] ADD [f] DOUBLE;",
                    "ALTER TABLE [T] ADD [g] OLEOBJECT;", "ALTER TABLE [T] ADD [h] DOUBLE;"}},
        // Binary and replication-id columns get their own types; other
        // unknown codes are left out and never cost the table.
        SchemaCase{"unmapped_types",
                   {{"x", 13, 4},
                    {"bin", 9, 16},
                    {"big", 9, 0},
                    {"id", 15, 16},
                    {"z", 0, 4},
                    {"n", 4, 4},
                    {"w", 99, 4}},
                   {{0, {1}}, {0, {6}}},
                   true,
                   {"CREATE TABLE [T]([bin] BINARY(16));", "ALTER TABLE [T] ADD [big] BINARY(255);",
                    "ALTER TABLE [T] ADD [id] GUID;", "ALTER TABLE [T] ADD [n] LONG;",
                    "CREATE INDEX MyIndex5 ON [T]([n])"}},
        SchemaCase{
            "names_are_not_escaped", {{"a]b", 4, 4}}, {}, true, {"CREATE TABLE [T]([a]b] LONG);"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(MarkKeyColumns, CountsEveryPrimaryKeyMark) {
    reader::TableDef t = make_table(kExample, {{1, {2, 2}}, {0, {}}, {0, {4, 1}}});
    EXPECT_EQ(t.primary_key_count, 2);
    EXPECT_TRUE(t.columns[1].is_primary_key && t.columns[1].is_indexed);
    EXPECT_FALSE(t.columns[0].is_primary_key);
    EXPECT_TRUE(t.columns[0].is_indexed && t.columns[3].is_indexed);
    EXPECT_FALSE(t.columns[2].is_indexed);
    // A column listed twice in one key: one constraint naming it once.
    EXPECT_EQ(schema_statements("T", t, true).back(),
              "ALTER TABLE [T] ADD Constraint [PK_T] PRIMARY KEY ([B]);");
}

TEST(RebuildSchema, RunsEveryStatementAloneAndGoesOnAfterARefusal) {
    test::RecordingDestination dest;
    dest.refuse_statement = [](const std::string& s) { return s.find("[B]") != std::string::npos; };
    const reader::TableDef table = make_table(kExample, {{1, {1, 2}}, {0, {3}}});
    rebuild_schema(dest.bundle()->destDatabase, "T", table, true);

    EXPECT_EQ(dest.statements, schema_statements("T", table, true));
    ASSERT_EQ(dest.calls.size(), 6u);
    for (const auto& call : dest.calls) {
        EXPECT_EQ(call.op, "execute");
        EXPECT_EQ(call.args.at(1), "128");
        EXPECT_EQ(call.refused, call.args[0].find("[B]") != std::string::npos) << call.args[0];
    }
    // Without a database nothing runs and nothing fails.
    rebuild_schema(nullptr, "T", table, true);
}

}  // namespace
}  // namespace tessaly::rebuild
