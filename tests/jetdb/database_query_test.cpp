// Saved queries stored through QueryDef: catalog rows, MSysQueries rows,
// refusals, and what independent readers make of them.
#include <gtest/gtest.h>

#include <map>

#include "jetdb/query_sql.h"
#include "jetdb/writer_fixture.h"
#include "support/corpus.h"
#include "support/oracles.h"

namespace tessaly::jetdb::test {
namespace {

using tessaly::test::mdbtools_export;
using tessaly::test::run_capture;
using tessaly::test::shell_quote;

TEST(WriterQueries, StoredAsAccessStoresThemAndRefusedAsJetRefuses) {
    ScratchDir dir;
    const auto file = dir.file("queries.mdb");
    const std::vector<std::pair<std::string, std::string>> queries = {
        {"Big A", "SELECT A, B AS X FROM T WHERE A > 1 ORDER BY B DESC;"},
        {"Everything", "SELECT DISTINCT T.* FROM T;"},
        {"Cleanup", "DELETE FROM T WHERE A IS NULL;"},
    };
    {
        Database db(fixed_options());
        db.create(file, kLocale, 0);
        db.execute("CREATE TABLE [T]([A] LONG, [B] TEXT(20));", 128);
        QueryDef q(db);
        EXPECT_FALSE(q.is_open());
        EXPECT_THROW(q.append(), EngineError);
        for (const auto& [name, sql] : queries) {
            q.create(name, sql);
            EXPECT_TRUE(q.is_open());
            q.append();
            q.close();
        }
        q.create(u"Nothing");  // no SQL text: an empty select
        q.append();
        EXPECT_THROW(q.append(), EngineError);  // already stored
        q.close();
        EXPECT_THROW(q.create("big a", "SELECT * FROM T"), EngineError);  // names ignore case
        EXPECT_THROW(q.create("T", "SELECT * FROM T"), EngineError);      // a table's name
        EXPECT_THROW(q.create("Bad", "SELECT;"), EngineError);
        EXPECT_THROW(q.create("Bad", "SELECT [A FROM T"), EngineError);
        EXPECT_THROW(q.create("Bad.Name", "SELECT * FROM T"), EngineError);
        EXPECT_THROW(db.execute("CREATE TABLE [Everything]([X] LONG);", 128), EngineError);
        // A query begun but never appended is not stored.
        q.create("Dropped", "SELECT * FROM T");
        q.close();
        db.close();
        EXPECT_FALSE(q.is_open());
    }
    expect_verified(file);
    if (!have_mdbtools()) GTEST_SKIP() << "mdbtools absent";

    const auto catalog = mdbtools_export(file, "MSysObjects");
    ASSERT_TRUE(catalog);
    std::map<std::string, std::pair<std::string, std::string>> ids;  // name -> (Id, Flags)
    for (const auto& row : catalog->rows)
        if (row[3] == "5") ids[*row[2]] = {*row[0], *row[7]};
    ASSERT_EQ(ids.size(), 4u);
    EXPECT_EQ(ids["Big A"].second, "0");     // select
    EXPECT_EQ(ids["Cleanup"].second, "32");  // delete
    EXPECT_FALSE(ids.count("Dropped"));

    // MSysQueries holds exactly the parser's rows under each query's Id.
    const auto stored = mdbtools_export(file, "MSysQueries");
    ASSERT_TRUE(stored);
    for (const auto& [name, sql] : queries) {
        std::vector<std::string> expected, got;
        for (const QueryRow& r : parse_query_sql(sql))
            expected.push_back(std::to_string(r.attribute) + "|" + r.name1.value_or("") + "|" +
                               r.expression.value_or("") + "|" +
                               (r.flag ? std::to_string(*r.flag) : ""));
        for (const auto& row : stored->rows)
            if (row[0] == ids[name].first)
                got.push_back(*row[1] + "|" + row[3].value_or("") + "|" + row[5].value_or("") +
                              "|" + row[6].value_or(""));
        EXPECT_EQ(got, expected) << name;
    }
    std::string text;
    run_capture("mdb-queries " + shell_quote(file.string()) + " 'Big A' 2>/dev/null", text);
    EXPECT_NE(text.find("SELECT A,B FROM [T] WHERE A > 1 ORDER BY B DESCENDING"), std::string::npos)
        << text;
}

}  // namespace
}  // namespace tessaly::jetdb::test
