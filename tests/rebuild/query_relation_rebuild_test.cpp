// Saved queries and relationships rebuilt from the source's system tables on
// pages 4 and 5, through the recording destination.
#include <gtest/gtest.h>

#include "rebuild/query_rebuild.h"
#include "rebuild/relationship_rebuild.h"
#include "rebuild_fixtures.h"
#include "support/recording_destination.h"

namespace tessaly::rebuild {
namespace {

using test::CellValue;
using Strings = std::vector<std::string>;

CellValue text_or_null(const std::string& s) {
    return s.empty() ? test::null_value() : test::text_value(s, true);
}

CellValue byte_value(std::uint8_t v) {
    return test::bytes_value({v});
}

// The saved-query table as Jet 4 stores its columns (Attribute, Expression,
// Flag, LvExtra, Name1, Name2, ObjectId, Order).
test::TableSpec saved_query_spec() {
    test::TableSpec t;
    t.columns = {test::fixed_column("Attribute", 2, 1, 0, 0),
                 test::variable_column("Expression", 10, 510, 1, 0),
                 test::fixed_column("Flag", 3, 2, 2, 1),
                 test::fixed_column("LvExtra", 4, 4, 3, 3),
                 test::variable_column("Name1", 10, 510, 4, 1),
                 test::variable_column("Name2", 10, 510, 5, 2),
                 test::fixed_column("ObjectId", 4, 4, 6, 7),
                 test::variable_column("Order", 9, 255, 7, 3)};
    return t;
}

struct QueryRowSpec {
    std::uint8_t attribute;
    std::string expression;
    std::string name1;
    std::string name2;
    std::int32_t object_id;
};

// The relationship table (ccolumn, grbit, icolumn, szColumn, szObject,
// szReferencedColumn, szReferencedObject, szRelationship).
test::TableSpec relationship_spec() {
    test::TableSpec t;
    t.columns = {test::fixed_column("ccolumn", 4, 4, 0, 0),
                 test::fixed_column("grbit", 4, 4, 1, 4),
                 test::fixed_column("icolumn", 4, 4, 2, 8),
                 test::variable_column("szColumn", 10, 128, 3, 0),
                 test::variable_column("szObject", 10, 128, 4, 1),
                 test::variable_column("szReferencedColumn", 10, 128, 5, 2),
                 test::variable_column("szReferencedObject", 10, 128, 6, 3),
                 test::variable_column("szRelationship", 10, 128, 7, 4)};
    return t;
}

struct RelationSpec {
    std::int32_t attributes;
    std::string foreign_field, foreign_table, field, table, name;
};

// A Jet 4 source holding the given saved-query rows (page 4) and relationship
// rows (page 5); an empty list leaves that page empty.
std::vector<std::uint8_t> make_source(const std::vector<QueryRowSpec>& queries,
                                      const std::vector<RelationSpec>& relations,
                                      std::optional<std::uint32_t> relation_row_count = {}) {
    test::JetFileBuilder b(true, 6);
    if (!queries.empty()) {
        const test::TableSpec spec = saved_query_spec();
        const int data = b.add_data_page(4);
        for (const QueryRowSpec& q : queries) {
            b.add_row(data, b.make_row(spec, {byte_value(q.attribute), text_or_null(q.expression),
                                              test::i16_value(0), test::null_value(),
                                              text_or_null(q.name1), text_or_null(q.name2),
                                              test::i32_value(q.object_id), test::null_value()}));
        }
        test::TableSpec counted = spec;
        counted.row_count = static_cast<std::uint32_t>(queries.size());
        b.add_table_def(counted, {data}, 4);
    }
    if (!relations.empty()) {
        test::TableSpec spec = relationship_spec();
        spec.row_count = relation_row_count.value_or(static_cast<std::uint32_t>(relations.size()));
        const int data = b.add_data_page(5);
        for (const RelationSpec& r : relations) {
            b.add_row(data, b.make_row(spec, {test::i32_value(1), test::i32_value(r.attributes),
                                              test::i32_value(0), text_or_null(r.foreign_field),
                                              text_or_null(r.foreign_table), text_or_null(r.field),
                                              text_or_null(r.table), text_or_null(r.name)}));
        }
        b.add_table_def(spec, {data}, 5);
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

TEST_F(Rebuilders, QueryTextComesFromTheRowsOfItsOwnKey) {
    auto file = open(make_source(kTwoQueries, {}));
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
    auto file = open(make_source(kTwoQueries, {}));
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
    auto without_table = open(make_source({}, {}));
    EXPECT_EQ(rebuild_query(state, without_table, 5, 100, "Q1"), 1);
    auto file = open(make_source(kTwoQueries, {}));
    request_stop();
    EXPECT_EQ(rebuild_query(state, file, 5, 100, "Q1"), recovery::STOP_CODE);
    EXPECT_TRUE(dest.calls.empty());
}

TEST(SavedQueryRow, TakesTheSlotsInTableOrder) {
    const SavedQueryRow row = saved_query_row({"6", "expr", "2", "9", "n1", "n2", "77", "o"});
    EXPECT_EQ(row.attribute, "6");
    EXPECT_EQ(row.expression, "expr");
    EXPECT_EQ(row.flag, "2");
    EXPECT_EQ(row.lv_extra, "9");
    EXPECT_EQ(row.name1, "n1");
    EXPECT_EQ(row.name2, "n2");
    EXPECT_EQ(row.object_id, "77");
    EXPECT_EQ(row.order, "o");
    EXPECT_EQ(saved_query_row({"6"}).object_id, "");
}

const std::vector<RelationSpec> kRelations = {
    {4352, "CustId", "Orders", "Id", "Customers", "CustomersOrders"},
    // One relationship over two field pairs.
    {0, "PA", "Lines", "A", "Parts", "PartsLines"},
    {0, "PB", "Lines", "B", "Parts", "Rel2"},
    // Its table was not re-created.
    {0, "X", "Orders", "Y", "Gone", "R3"},
};

TEST_F(Rebuilders, RelationsAreNamedAfterTheirTablesAndFallBackToTheStoredName) {
    dest.refuse_relation = [](const std::string& name, int) {
        return name == "GoneOrders" || name == "R3";
    };
    auto file = open(make_source({}, kRelations));
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
    EXPECT_EQ(rebuild_relationships(state, open(make_source({}, {}))), 1);
    EXPECT_EQ(rebuild_relationships(state, open(make_source({}, kRelations, 0))), 1);
    auto file = open(make_source({}, kRelations));
    request_stop();
    EXPECT_EQ(rebuild_relationships(state, file), recovery::STOP_CODE);
    EXPECT_TRUE(dest.calls.empty());
}

TEST(RelationshipRow, ReadsAttributesAsANumberAndMissingSlotsAsEmpty) {
    const RelationshipRow row = relationship_row({"1", "x7", "0", "ff", "ft", "f", "t", "n"});
    EXPECT_EQ(row.attributes, 0);
    EXPECT_EQ(row.foreign_field, "ff");
    EXPECT_EQ(row.foreign_table, "ft");
    EXPECT_EQ(row.field, "f");
    EXPECT_EQ(row.table, "t");
    EXPECT_EQ(row.name, "n");
    EXPECT_EQ(relationship_row({"1", "-5"}).attributes, -5);
    EXPECT_EQ(relationship_row({"1", "-5"}).name, "");
}

}  // namespace
}  // namespace tessaly::rebuild
