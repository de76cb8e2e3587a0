// Saved queries and relationships rebuilt from the source's system tables,
// through the recording destination.
#include <gtest/gtest.h>

#include <map>

#include "rebuild/query_rebuild.h"
#include "rebuild/relationship_rebuild.h"
#include "rebuild/system_tables.h"
#include "rebuild_fixtures.h"
#include "support/recording_destination.h"

namespace tessaly::rebuild {
namespace {

using test::CellValue;
using Strings = std::vector<std::string>;

// Where a synthetic source keeps its system tables: Jet 4 with the usual
// pages and column orders and no catalog, or Jet 3 with its own column orders
// and the two tables on each other's usual page, as its catalog says.
struct Layout {
    const char* label;
    bool jet4;
    bool swapped;
};
constexpr Layout kJet4Usual{"jet4_usual", true, false};
constexpr Layout kJet3Swapped{"jet3_swapped_in_catalog", false, true};

struct ColDesc {
    const char* name;
    std::uint8_t type;  // 2, 3, 4 fixed; 9 and 10 variable
};

test::TableSpec make_spec(const std::vector<ColDesc>& cols) {
    test::TableSpec t;
    std::uint16_t offset = 0, var = 0;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const auto number = static_cast<std::uint16_t>(i);
        const std::uint8_t type = cols[i].type;
        if (type == 9 || type == 10) {
            t.columns.push_back(test::variable_column(cols[i].name, type, 255, number, var++));
        } else {
            const std::uint16_t size = type == 2 ? 1 : type == 3 ? 2 : 4;
            t.columns.push_back(test::fixed_column(cols[i].name, type, size, number, offset));
            offset = static_cast<std::uint16_t>(offset + size);
        }
    }
    return t;
}

test::TableSpec saved_query_spec(bool jet4) {
    if (jet4) {
        return make_spec({{"Attribute", 2},
                          {"Expression", 10},
                          {"Flag", 3},
                          {"LvExtra", 4},
                          {"Name1", 10},
                          {"Name2", 10},
                          {"ObjectId", 4},
                          {"Order", 9}});
    }
    return make_spec({{"ObjectId", 4},
                      {"Attribute", 2},
                      {"Order", 9},
                      {"Name1", 10},
                      {"Name2", 10},
                      {"Expression", 10},
                      {"Flag", 3}});
}

test::TableSpec relationship_spec(bool jet4) {
    if (jet4) {
        return make_spec({{"ccolumn", 4},
                          {"grbit", 4},
                          {"icolumn", 4},
                          {"szColumn", 10},
                          {"szObject", 10},
                          {"szReferencedColumn", 10},
                          {"szReferencedObject", 10},
                          {"szRelationship", 10}});
    }
    return make_spec({{"szRelationship", 10},
                      {"grbit", 4},
                      {"ccolumn", 4},
                      {"icolumn", 4},
                      {"szObject", 10},
                      {"szColumn", 10},
                      {"szReferencedObject", 10},
                      {"szReferencedColumn", 10}});
}

// One row of `spec` from values by column name; absent names are null.
std::vector<CellValue> row_of(const test::TableSpec& spec,
                              const std::map<std::string, CellValue>& values) {
    std::vector<CellValue> out;
    for (const auto& c : spec.columns) {
        const auto at = values.find(c.name);
        out.push_back(at == values.end() ? test::null_value() : at->second);
    }
    return out;
}

struct QueryRowSpec {
    std::uint8_t attribute;
    std::string expression;
    std::string name1;
    std::string name2;
    std::int32_t object_id;
};

struct RelationSpec {
    std::int32_t attributes;
    std::string foreign_field, foreign_table, field, table, name;
};

// A source holding the given saved-query and relationship rows; an empty list
// leaves that table out.
std::vector<std::uint8_t> make_source(const Layout& layout,
                                      const std::vector<QueryRowSpec>& queries,
                                      const std::vector<RelationSpec>& relations,
                                      std::optional<std::uint32_t> relation_row_count = {}) {
    const bool jet4 = layout.jet4;
    test::JetFileBuilder b(jet4, 6);
    const int query_page = layout.swapped ? 5 : 4;
    const int relation_page = layout.swapped ? 4 : 5;
    auto text = [&](const std::string& s) {
        return s.empty() ? test::null_value() : test::text_value(s, jet4);
    };
    if (!queries.empty()) {
        test::TableSpec spec = saved_query_spec(jet4);
        spec.row_count = static_cast<std::uint32_t>(queries.size());
        const int data = b.add_data_page(static_cast<std::uint32_t>(query_page));
        for (const QueryRowSpec& q : queries) {
            b.add_row(data, b.make_row(
                                spec, row_of(spec, {{"Attribute", test::bytes_value({q.attribute})},
                                                    {"Expression", text(q.expression)},
                                                    {"Flag", test::i16_value(0)},
                                                    {"Name1", text(q.name1)},
                                                    {"Name2", text(q.name2)},
                                                    {"ObjectId", test::i32_value(q.object_id)}})));
        }
        b.add_table_def(spec, {data}, query_page);
    }
    if (!relations.empty()) {
        test::TableSpec spec = relationship_spec(jet4);
        spec.row_count = relation_row_count.value_or(static_cast<std::uint32_t>(relations.size()));
        const int data = b.add_data_page(static_cast<std::uint32_t>(relation_page));
        for (const RelationSpec& r : relations) {
            b.add_row(data, b.make_row(spec, row_of(spec, {{"ccolumn", test::i32_value(1)},
                                                           {"grbit", test::i32_value(r.attributes)},
                                                           {"icolumn", test::i32_value(0)},
                                                           {"szColumn", text(r.foreign_field)},
                                                           {"szObject", text(r.foreign_table)},
                                                           {"szReferencedColumn", text(r.field)},
                                                           {"szReferencedObject", text(r.table)},
                                                           {"szRelationship", text(r.name)}})));
        }
        b.add_table_def(spec, {data}, relation_page);
    }
    if (layout.swapped) {
        b.add_catalog({{query_page, "MSysQueries", 1}, {relation_page, "MSysRelationships", 1}});
    }
    return b.bytes();
}

class Rebuilders : public ::testing::Test {
  protected:
    std::shared_ptr<reader::JetFile> open(std::vector<std::uint8_t> bytes) {
        state.save_active = true;
        state.run_mode = recovery::RunMode::Save;
        state.destination = dest.bundle();
        auto file = reader::jet_open_bytes(std::move(bytes), state);
        EXPECT_TRUE(file);
        return file;
    }
    void request_stop() {
        state.stop_question = &yes;
        state.stop_requested = true;
    }

    recovery::RecoveryState state;
    test::RecordingDestination dest;
    test::YesStopQuestion yes;
};

// Two queries whose rows are interleaved; one row of query 100 carries high
// bits above the 24-bit key.
const std::vector<QueryRowSpec> kTwoQueries = {
    {5, "", "T", "", 100}, {5, "", "U", "", 200},          {6, "a", "", "", 100},
    {6, "c", "", "", 200}, {6, "b", "bx", "", 0x01000064},
};

class LayoutRebuilders : public Rebuilders, public ::testing::WithParamInterface<Layout> {};

TEST_P(LayoutRebuilders, QueryTextComesFromTheRowsOfItsOwnKey) {
    auto file = open(make_source(GetParam(), kTwoQueries, {}));
    EXPECT_EQ(rebuild_query(state, file, 5, 100, "Q1"), 1);
    EXPECT_EQ(rebuild_query(state, file, 5, 200, "Q2"), 1);
    EXPECT_EQ(rebuild_query(state, file, 5, 300, "Q3"), 1);
    EXPECT_EQ(dest.calls_of("create_query"),
              (Strings{"Q1|SELECT a, b AS bx FROM [T];", "Q2|SELECT c FROM [U];", "Q3|SELECT*;"}));
    EXPECT_EQ(dest.calls_of("append_query"), (Strings{"Q1", "Q2", "Q3"}));
    EXPECT_EQ(dest.calls_of("close_query").size(), 3u);
    EXPECT_EQ(dest.calls.back().op, "close_query");
}

struct QueryRefusal {
    const char* label;
    std::function<bool(const std::string&, const std::string*)> refuse;
    Strings creates;
    std::map<std::string, std::string> stored;
};

class QueryFallback : public Rebuilders, public ::testing::WithParamInterface<QueryRefusal> {};

TEST_P(QueryFallback, RefusedTextLeavesAnEmptyQueryOfTheSameName) {
    dest.refuse_query = GetParam().refuse;
    auto file = open(make_source(kJet4Usual, kTwoQueries, {}));
    EXPECT_EQ(rebuild_query(state, file, 5, 200, "Q2"), 1);
    EXPECT_EQ(dest.calls_of("create_query"), GetParam().creates);
    EXPECT_EQ(dest.queries, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, QueryFallback,
    ::testing::Values(QueryRefusal{"text_refused",
                                   [](const auto&, const std::string* sql) { return sql; },
                                   Strings{"Q2|SELECT c FROM [U];", "Q2"},
                                   {{"Q2", ""}}},
                      QueryRefusal{"both_refused",
                                   [](const auto&, const auto*) { return true; },
                                   Strings{"Q2|SELECT c FROM [U];", "Q2"},
                                   {}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Rebuilders, QueryStopOrMissingTableCreatesNothing) {
    auto without_table = open(make_source(kJet4Usual, {}, {}));
    EXPECT_EQ(rebuild_query(state, without_table, 5, 100, "Q1"), 1);
    auto file = open(make_source(kJet4Usual, kTwoQueries, {}));
    request_stop();
    EXPECT_EQ(rebuild_query(state, file, 5, 100, "Q1"), recovery::STOP_CODE);
    EXPECT_TRUE(dest.calls.empty());
}

std::vector<reader::ColumnDef> named_columns(const Strings& names) {
    std::vector<reader::ColumnDef> out;
    for (const auto& n : names) {
        reader::ColumnDef c;
        c.name = n;
        out.push_back(c);
    }
    return out;
}

TEST(SavedQuerySlots, FollowTheNamesThenEachVersionsOrder) {
    const Strings jet3 = {"ObjectId", "Attribute", "Order", "Name1", "Name2", "Expression", "Flag"};
    const Strings values = {"77", "6", "o", "n1", "n2", "expr", "2"};
    for (bool jet4 : {true, false}) {
        const SavedQueryRow row =
            saved_query_row(values, saved_query_slots(named_columns(jet3), jet4));
        EXPECT_EQ(row.object_id, "77");
        EXPECT_EQ(row.attribute, "6");
        EXPECT_EQ(row.order, "o");
        EXPECT_EQ(row.name1, "n1");
        EXPECT_EQ(row.name2, "n2");
        EXPECT_EQ(row.expression, "expr");
        EXPECT_EQ(row.flag, "2");
        EXPECT_EQ(row.lv_extra, "");
    }
    // Unreadable names: the version's own order.
    const Strings repaired(8, "RepairedField");
    const SavedQueryRow j4 = saved_query_row({"6", "expr", "2", "9", "n1", "n2", "77", "o"},
                                             saved_query_slots(named_columns(repaired), true));
    EXPECT_EQ(j4.attribute + j4.expression + j4.flag + j4.lv_extra + j4.name1 + j4.name2 +
                  j4.object_id + j4.order,
              "6expr29n1n277o");
    const SavedQueryRow j3 =
        saved_query_row(values, saved_query_slots(named_columns(repaired), false));
    EXPECT_EQ(j3.object_id, "77");
    EXPECT_EQ(j3.expression, "expr");
    EXPECT_EQ(j3.lv_extra, "");
    // A column list too short for a slot leaves that field empty.
    EXPECT_EQ(saved_query_slots(named_columns({"x"}), true).object_id, kNoSlot);
}

const std::vector<RelationSpec> kRelations = {
    {4352, "CustId", "Orders", "Id", "Customers", "CustomersOrders"},
    // One relationship over two field pairs.
    {0, "PA", "Lines", "A", "Parts", "PartsLines"},
    {0, "PB", "Lines", "B", "Parts", "Rel2"},
    // Its table was not re-created.
    {0, "X", "Orders", "Y", "Gone", "R3"},
};

TEST_P(LayoutRebuilders, RelationsAreNamedAfterTheirTablesAndFallBackToTheStoredName) {
    dest.refuse_relation = [](const std::string& name, int) {
        return name == "GoneOrders" || name == "R3";
    };
    auto file = open(make_source(GetParam(), {}, kRelations));
    EXPECT_EQ(rebuild_relationships(state, file), 1);
    EXPECT_EQ(
        dest.calls_of("create_relation"),
        (Strings{"CustomersOrders|Customers|Orders|4352|Id|CustId", "PartsLines|Parts|Lines|0|A|PA",
                 "PartsLines|Parts|Lines|0|B|PB", "Rel2|Parts|Lines|2|B|PB",
                 "GoneOrders|Gone|Orders|0|Y|X", "R3|Gone|Orders|2|Y|X"}));
    const std::map<std::string, std::string> want = {
        {"CustomersOrders", "Customers.Id -> Orders.CustId 4352"},
        {"PartsLines", "Parts.A -> Lines.PA 0"},
        {"Rel2", "Parts.B -> Lines.PB 2"}};
    EXPECT_EQ(dest.relations, want);

    // A second call (the raw scan meets several relationship rows) changes nothing.
    dest.calls.clear();
    EXPECT_EQ(rebuild_relationships(state, file), 1);
    EXPECT_EQ(dest.relations, want);
    for (const auto& call : dest.calls)
        EXPECT_TRUE(call.refused);
}

TEST_F(Rebuilders, RelationsNeedAReadableNonEmptyTable) {
    EXPECT_EQ(rebuild_relationships(state, open(make_source(kJet4Usual, {}, {}))), 1);
    EXPECT_EQ(rebuild_relationships(state, open(make_source(kJet4Usual, {}, kRelations, 0))), 1);
    auto file = open(make_source(kJet4Usual, {}, kRelations));
    request_stop();
    EXPECT_EQ(rebuild_relationships(state, file), recovery::STOP_CODE);
    EXPECT_TRUE(dest.calls.empty());
}

TEST(RelationshipSlots, FollowTheNamesThenEachVersionsOrder) {
    const Strings jet3 = {"szRelationship",
                          "grbit",
                          "ccolumn",
                          "icolumn",
                          "szObject",
                          "szColumn",
                          "szReferencedObject",
                          "szReferencedColumn"};
    const Strings values = {"n", "7", "1", "0", "ft", "ff", "t", "f"};
    for (bool jet4 : {true, false}) {
        const RelationshipRow row =
            relationship_row(values, relationship_slots(named_columns(jet3), jet4));
        EXPECT_EQ(row.name, "n");
        EXPECT_EQ(row.attributes, 7);
        EXPECT_EQ(row.foreign_table, "ft");
        EXPECT_EQ(row.foreign_field, "ff");
        EXPECT_EQ(row.table, "t");
        EXPECT_EQ(row.field, "f");
    }
    const Strings repaired(8, "RepairedField");
    const RelationshipRow j3 =
        relationship_row(values, relationship_slots(named_columns(repaired), false));
    EXPECT_EQ(j3.name + j3.foreign_table + j3.foreign_field + j3.table + j3.field, "nftfftf");
    const RelationshipRow j4 = relationship_row({"1", "x7", "0", "ff", "ft", "f", "t", "n"},
                                                relationship_slots(named_columns(repaired), true));
    EXPECT_EQ(j4.attributes, 0);  // not a number
    EXPECT_EQ(j4.foreign_field + j4.foreign_table + j4.field + j4.table + j4.name, "ffftftn");
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutRebuilders, ::testing::Values(kJet4Usual, kJet3Swapped),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace tessaly::rebuild
