#include "support/oracles.h"

#include <gtest/gtest.h>

#include <set>

#include "support/corpus.h"

namespace tessaly::test {
namespace {

TEST(Csv, ParsesQuotingNullsAndEmbeddedBreaks) {
    CsvTable t;
    ASSERT_TRUE(parse_csv("a,\"b\"\r\n1,\"x,\"\"y\"\"\nz\"\n,\"\"\n", t));
    ASSERT_EQ(t.header, (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0][0], "1");
    EXPECT_EQ(t.rows[0][1], "x,\"y\"\nz");
    EXPECT_EQ(t.rows[1][0], std::nullopt);
    EXPECT_EQ(t.rows[1][1], "");
    EXPECT_FALSE(parse_csv("a\n\"open", t));
}

TEST(Oracles, BothReadersAgreeOnACorpusFile) {
    auto dir = corpus_dir();
    if (dir.empty()) GTEST_SKIP() << "corpus absent";
    if (!have_mdb_reader() || !have_program("mdb-export")) GTEST_SKIP() << "oracles absent";
    auto file = dir / "jackcess-V2000_testV2000.mdb";
    auto a = mdbtools_tables(file);
    auto b = mdb_reader_tables(file);
    ASSERT_TRUE(a && b);
    ASSERT_FALSE(a->empty());
    EXPECT_EQ(std::set<std::string>(a->begin(), a->end()),
              std::set<std::string>(b->begin(), b->end()));
    auto ta = mdbtools_export(file, a->front());
    auto tb = mdb_reader_export(file, a->front());
    ASSERT_TRUE(ta && tb);
    EXPECT_EQ(ta->header, tb->header);
    EXPECT_EQ(ta->rows.size(), tb->rows.size());
}

TEST(Oracles, TextThatStartsWithDigitsIsNotTakenForAPageDump) {
    auto dir = corpus_dir();
    if (dir.empty()) GTEST_SKIP() << "corpus absent";
    if (!have_program("mdb-export")) GTEST_SKIP() << "mdbtools absent";
    // Supplier addresses such as "2100 Paul Revere Blvd." begin with hex digits.
    auto t = mdbtools_export(dir / "northwind_a.mdb", "Suppliers");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->rows.size(), 29u);
}

}  // namespace
}  // namespace tessaly::test
