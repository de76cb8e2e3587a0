// Relationships created through the engine: refusals, the rows and indexes
// Access stores for them, and referential integrity for later rows.
#include <gtest/gtest.h>

#include "jetdb/writer_fixture.h"
#include "support/corpus.h"
#include "support/oracles.h"

namespace tessaly::jetdb::test {
namespace {

using tessaly::test::mdbtools_export;
using tessaly::test::run_capture;
using tessaly::test::shell_quote;

void add_rows(Database& db, const std::string& table, const std::vector<RowTexts>& rows) {
    Recordset rs(db);
    rs.open(-1, "SELECT * FROM [" + table + "]", 0);
    for (const auto& row : rows) {
        rs.add_new();
        for (const auto& [name, value] : row)
            if (value) rs.set_field_value(name, *value);
        rs.update();
    }
    rs.close();
}

TEST(WriterRelations, EnforcedAndPlainRelationships) {
    ScratchDir dir;
    const auto file = dir.file("rel.mdb");
    {
        Database db(fixed_options());
        db.create(file, kLocale, 0);
        db.execute("CREATE TABLE [Customers]([CustomerID] LONG, [Name] TEXT(30));", 128);
        db.execute("ALTER TABLE [Customers] ADD PRIMARY KEY ([CustomerID]);", 128);
        db.execute("CREATE TABLE [Orders]([OrderID] LONG, [CustomerID] LONG, [Code] TEXT(5));",
                   128);
        db.execute("ALTER TABLE [Orders] ADD PRIMARY KEY ([OrderID]);", 128);
        db.execute("CREATE TABLE [Notes]([CustomerID] TEXT(10));", 128);
        add_rows(db, "Customers",
                 {{{"CustomerID", "1"}, {"Name", "One"}}, {{"CustomerID", "2"}, {"Name", "Two"}}});
        add_rows(db, "Orders",
                 {{{"OrderID", "10"}, {"CustomerID", "1"}},
                  {{"OrderID", "11"}, {"CustomerID", "2"}},
                  {{"OrderID", "12"}}});  // no customer: allowed
        add_rows(db, "Notes", {{{"CustomerID", "77"}}});

        const auto refused = [&](const char* name, const char* table, const char* foreign,
                                 std::int32_t attributes, const char* field,
                                 const char* foreign_field) {
            EXPECT_THROW(db.create_relation(name, table, foreign, attributes, field, foreign_field),
                         EngineError)
                << name;
        };
        refused("R1", "Missing", "Orders", 0, "CustomerID", "CustomerID");
        refused("R1", "Customers", "Orders", 0, "Missing", "CustomerID");
        refused("R1", "Customers", "Orders", 0, "CustomerID", "Code");        // LONG against TEXT
        refused("R1", "Orders", "Customers", 0, "CustomerID", "CustomerID");  // no unique index
        refused("Bad.Name", "Customers", "Orders", 0, "CustomerID", "CustomerID");
        db.create_relation("CustomersOrders", "Customers", "Orders", kRelationCascadeUpdates,
                           "CustomerID", "CustomerID");
        refused("customersorders", "Customers", "Orders", kRelationNotEnforced, "CustomerID",
                "CustomerID");
        // A row that breaks an enforced relationship is refused; not enforced, it is kept.
        db.execute("CREATE TABLE [Visits]([CustomerID] LONG);", 128);
        add_rows(db, "Visits", {{{"CustomerID", "99"}}});
        refused("CustomersVisits", "Customers", "Visits", 0, "CustomerID", "CustomerID");
        db.create_relation("CustomersVisits", "Customers", "Visits", kRelationNotEnforced,
                           "CustomerID", "CustomerID");

        Recordset rs(db);
        rs.open(-1, "SELECT * FROM [Orders]", 0);
        rs.add_new();
        rs.set_field_value("OrderID", "13");
        rs.set_field_value("CustomerID", "5");
        EXPECT_THROW(rs.update(), EngineError);
        rs.add_new();
        rs.set_field_value("OrderID", "13");
        rs.set_field_value("CustomerID", "2");
        rs.update();
        rs.close();
        db.close();
    }
    expect_verified(file);
    if (!have_mdbtools()) GTEST_SKIP() << "mdbtools absent";

    const auto rels = mdbtools_export(file, "MSysRelationships");
    ASSERT_TRUE(rels);
    ASSERT_EQ(rels->rows.size(), 2u);
    using Row = std::vector<std::optional<std::string>>;
    EXPECT_EQ(rels->rows[0], (Row{"CustomersOrders", "256", "1", "0", "Orders", "CustomerID",
                                  "Customers", "CustomerID"}));
    EXPECT_EQ(rels->rows[1], (Row{"CustomersVisits", "2", "1", "0", "Visits", "CustomerID",
                                  "Customers", "CustomerID"}));
    const auto catalog = mdbtools_export(file, "MSysObjects");
    ASSERT_TRUE(catalog);
    int relationships = 0;
    for (const auto& row : catalog->rows)
        if (row[3] == "8") {
            ++relationships;
            EXPECT_EQ(row[1], "251658243");  // the Relationships container
        }
    EXPECT_EQ(relationships, 2);
    const auto orders = mdbtools_export(file, "Orders");
    ASSERT_TRUE(orders);
    EXPECT_EQ(orders->rows.size(), 4u);

    std::string schema;
    run_capture(
        "mdb-schema --indexes --relations " + shell_quote(file.string()) + " postgres 2>/dev/null",
        schema);
    EXPECT_NE(schema.find("FOREIGN KEY (\"customerid\") REFERENCES \"Customers\"(\"customerid\") "
                          "ON UPDATE CASCADE"),
              std::string::npos)
        << schema;
}

}  // namespace
}  // namespace tessaly::jetdb::test
