// Parsing saved-query SQL into the MSysQueries rows Access stores.
#include "jetdb/query_sql.h"

#include <gtest/gtest.h>

#include "jetdb/engine_error.h"
#include "jetdb/query_format.h"

namespace tessaly::jetdb {
namespace {

// One row per line: attribute, then the columns that are set:
// f<flag> x<lv_extra> n1[..] n2[..] e[..].
std::vector<std::string> dump(const std::vector<QueryRow>& rows) {
    std::vector<std::string> out;
    for (const QueryRow& r : rows) {
        std::string line = std::to_string(r.attribute);
        if (r.flag) line += " f" + std::to_string(*r.flag);
        if (r.lv_extra) line += " x" + std::to_string(*r.lv_extra);
        if (r.name1) line += " n1[" + *r.name1 + "]";
        if (r.name2) line += " n2[" + *r.name2 + "]";
        if (r.expression) line += " e[" + *r.expression + "]";
        out.push_back(line);
    }
    return out;
}

struct ParseCase {
    const char* sql;
    std::vector<std::string> rows;
};

TEST(QuerySql, StoresEachClauseAsAccessDoes) {
    const ParseCase cases[] = {
        {"SELECT a, b AS x FROM [T];",
         {"0 f0", "255", "1 f1", "3 f0", "5 n1[T]", "6 f0 e[a]", "6 f0 n1[x] e[b]"}},
        {"select distinctrow top 10 percent [Order Details].Qty*2 AS [Twice the amount] "
         "from [Order Details] as OD, Orders o, Items",
         {"0 f0", "255", "1 f1", "3 f56 n1[10]", "5 n1[Order Details] n2[OD]", "5 n1[Orders] n2[o]",
          "5 n1[Items]", "6 f0 n1[Twice the amount] e[[Order Details].Qty*2]"}},
        {"SELECT *, T.* FROM T WITH OWNERACCESS OPTION;",
         {"0 f0", "255", "1 f1", "3 f5", "5 n1[T]", "6 f0 e[T.*]"}},
        // Expressions keep their text, spacing and line breaks; subqueries inside.
        {"SELECT  Sum( x ) AS s,\r\n  ((SELECT Max(d) FROM U WHERE U.k=T.k)&0)/10 AS m\r\nFROM "
         "T\r\n"
         "WHERE (((T.d) Between #1/1/95# And #12/31/95#) AND T.n Like \"a*\" AND T.c Is Not "
         "Null)\r\n"
         "GROUP BY T.g, Year(T.d) HAVING (Sum( x )>5) ORDER BY T.g DESC, Year(T.d) ASC, m;",
         {"0 f0", "255", "1 f1", "3 f0", "5 n1[T]", "6 f0 n1[s] e[Sum( x )]",
          "6 f0 n1[m] e[((SELECT Max(d) FROM U WHERE U.k=T.k)&0)/10]",
          "8 e[(((T.d) Between #1/1/95# And #12/31/95#) AND T.n Like \"a*\" AND T.c Is Not Null)]",
          "9 f0 e[T.g]", "9 f0 e[Year(T.d)]", "10 e[(Sum( x )>5)]", "11 n1[D] e[T.g]",
          "11 e[Year(T.d)]", "11 e[m]"}},
        // Nested joins: tables in text order, joins innermost first, each
        // naming the tables its condition refers to.
        {"SELECT E.Country FROM Employees AS E INNER JOIN (Orders INNER JOIN [Order Subtotals] ON "
         "Orders.OrderID = [Order Subtotals].OrderID) ON E.EmployeeID = Orders.EmployeeID;",
         {"0 f0", "255", "1 f1", "3 f0", "5 n1[Employees] n2[E]", "5 n1[Orders]",
          "5 n1[Order Subtotals]", "6 f0 e[E.Country]",
          "7 f1 n1[Orders] n2[Order Subtotals] e[Orders.OrderID = [Order Subtotals].OrderID]",
          "7 f1 n1[E] n2[Orders] e[E.EmployeeID = Orders.EmployeeID]"}},
        // A compound condition becomes one row per term.
        {"SELECT A.x FROM (A LEFT OUTER JOIN C ON A.k = C.k) RIGHT JOIN B ON (C.k = B.k) AND "
         "(C.j = B.j)",
         {"0 f0", "255", "1 f1", "3 f0", "5 n1[A]", "5 n1[C]", "5 n1[B]", "6 f0 e[A.x]",
          "7 f2 n1[A] n2[C] e[A.k = C.k]", "7 f3 n1[C] n2[B] e[C.k = B.k]",
          "7 f3 n1[C] n2[B] e[C.j = B.j]"}},
        {"SELECT a FROM A INNER JOIN B ON A.d Between B.lo And B.hi AND A.k = B.k",
         {"0 f0", "255", "1 f1", "3 f0", "5 n1[A]", "5 n1[B]", "6 f0 e[a]",
          "7 f1 n1[A] n2[B] e[A.d Between B.lo And B.hi]", "7 f1 n1[A] n2[B] e[A.k = B.k]"}},
        {"PARAMETERS [Beginning Date] DateTime, [Forms]![Sales Dialog]![To] Text(50), n Long, "
         "v Value;\r\nSELECT a FROM T WHERE a > n;",
         {"0 f0", "255", "1 f1", "2 f8 n1[Beginning Date]", "2 f10 x50 n1[Forms!Sales Dialog!To]",
          "2 f4 n1[n]", "2 f0 n1[v]", "3 f0", "5 n1[T]", "6 f0 e[a]", "8 e[a > n]"}},
        // Names the rebuilt text leaves unbracketed.
        {"PARAMETERS Forms!Sales by Year!From DateTime, Who Text;  SELECT DISTINCTROW "
         "Sum(Q.[Amount]) AS Sum-Amount, Q.b AS Total of b FROM Order Details AS [Q];",
         {"0 f0", "255", "1 f1", "2 f8 n1[Forms!Sales by Year!From]", "2 f10 n1[Who]", "3 f8",
          "5 n1[Order Details] n2[Q]", "6 f0 n1[Sum-Amount] e[Sum(Q.[Amount])]",
          "6 f0 n1[Total of b] e[Q.b]"}},
        {"SELECT Date() AS Today, Left([x],1)",
         {"0 f0", "255", "1 f1", "3 f0", "6 f0 n1[Today] e[Date()]", "6 f0 e[Left([x],1)]"}},
        {"SELECT City FROM Customers\r\nUNION SELECT City FROM Suppliers\r\nORDER BY City;",
         {"0 f0", "255", "1 f9", "3 f3", "5 n2[X7YZ_____1] e[SELECT City FROM Customers\r\n]",
          "5 n2[X7YZ_____2] e[SELECT City FROM Suppliers]", "11 e[City]"}},
        {"SELECT a FROM T UNION SELECT a FROM U UNION ALL SELECT a FROM V",
         {"0 f0", "255", "1 f9", "3 f1",
          "5 n2[X7YZ_____1] e[SELECT a FROM T UNION SELECT a FROM U ]",
          "5 n2[X7YZ_____2] e[SELECT a FROM V]"}},
        {"TRANSFORM Sum(T.v) AS Total SELECT T.r, Count(T.v) AS n FROM T WHERE T.v > 0 GROUP BY "
         "T.r PIVOT \"Q\" & DatePart(\"q\",T.d) In (\"Q1\",\"Q2\");",
         {"0 f0", "255", "1 f6", "3 f0", "5 n1[T]", "6 f0 n1[Total] e[Sum(T.v)]", "6 f2 e[T.r]",
          "6 f2 n1[n] e[Count(T.v)]", "6 f1 e[\"Q\" & DatePart(\"q\",T.d) In (\"Q1\",\"Q2\")]",
          "8 e[T.v > 0]", "9 f2 e[T.r]", "9 f1 e[\"Q\" & DatePart(\"q\",T.d)]"}},
        {"INSERT INTO Archive ( c1, [c 2] ) SELECT T.a, T.b FROM T;",
         {"0 f0", "255", "1 f3 n1[Archive]", "5 n1[T]", "6 f0 n2[c1] e[T.a]",
          "6 f0 n2[[c 2]] e[T.b]"}},
        {"INSERT INTO [Log] (What) VALUES (\"x\")",
         {"0 f0", "255", "1 f3 n1[Log]", "6 f-32768 n2[What] e[\"x\"]"}},
        {"UPDATE T INNER JOIN U ON T.k = U.k SET T.a = \"foo\", [U].[b] = [New value] WHERE "
         "T.c Is Null;",
         {"0 f0", "255", "1 f4", "3 f0", "5 n1[T]", "5 n1[U]", "6 f0 n2[T.a] e[\"foo\"]",
          "6 f0 n2[[U].[b]] e[[New value]]", "7 f1 n1[T] n2[U] e[T.k = U.k]", "8 e[T.c Is Null]"}},
        {"DELETE T.a, T.b FROM T WHERE T.a>1",
         {"0 f0", "255", "1 f5", "3 f0", "5 n1[T]", "6 f0 e[T.a]", "6 f0 e[T.b]", "8 e[T.a>1]"}},
        {"DELETE * FROM T", {"0 f0", "255", "1 f5", "3 f1", "5 n1[T]"}},
        {"SELECT a FROM Order Details WHERE b IN (1, 2)",
         {"0 f0", "255", "1 f1", "3 f0", "5 n1[Order Details]", "6 f0 e[a]", "8 e[b IN (1, 2)]"}},
        {"SELECT T.a INTO [New Table] FROM T",
         {"0 f0", "255", "1 f2 n1[New Table]", "3 f0", "5 n1[T]", "6 f0 e[T.a]"}},
        {"CREATE TABLE T (a TEXT(10), b LONG);",
         {"0 f0", "255", "1 f7 e[CREATE TABLE T (a TEXT(10), b LONG);]"}},
    };
    for (const ParseCase& c : cases) {
        try {
            EXPECT_EQ(dump(parse_query_sql(c.sql)), c.rows) << c.sql;
        } catch (const EngineError& e) {
            ADD_FAILURE() << c.sql << ": " << e.what();
        }
    }
}

TEST(QuerySql, RefusesWhatJetRefuses) {
    const char* refused[] = {
        "",
        "   ",
        "SELECT*;",
        "SELECT * WHERE a = 1",
        "SELECT* ORDER BY City;",
        "SELECT a FROM [T;",
        "SELECT a FROM T]",
        "SELECT \"abc FROM T",
        "SELECT 'abc FROM T",
        "SELECT #1/1/95 FROM T",
        "SELECT (a FROM T",
        "SELECT a) FROM T",
        "SELECT Sum(a FROM T",
        "SELECT a b FROM T",
        "SELECT FROM T",
        "SELECT a FROM",
        "SELECT a, FROM T",
        "SELECT a AS FROM T",
        "SELECT a AS (b FROM T",
        "SELECT a FROM T WHERE",
        "SELECT a FROM T WHERE a = ",
        "SELECT a FROM T WHERE a Between 1",
        "SELECT a FROM T ORDER BY",
        "SELECT a FROM T GROUP a",
        "SELECT a FROM T; SELECT b FROM U",
        "SELECT TOP x a FROM T",
        "SELECT a FROM T, T",
        "SELECT a FROM T AS x, U AS x",
        "SELECT a FROM A JOIN B ON A.k = B.k",
        "SELECT a FROM A INNER JOIN B",
        "SELECT a FROM A INNER JOIN B ON A.k = B.k INNER JOIN C ON B.k = C.k",
        "SELECT a FROM T WITH OWNERACCESS",
        "PARAMETERS x Foo; SELECT a FROM T",
        "PARAMETERS x Long SELECT a FROM T",
        "PARAMETERS Long; SELECT a FROM T",
        "SELECT a FROM T UNION",
        "TRANSFORM Sum(a) SELECT b FROM T GROUP BY b",
        "INSERT INTO T (a, b) SELECT x FROM U",
        "INSERT INTO T (a) VALUES (1, 2)",
        "UPDATE T SET WHERE a = 1",
        "UPDATE T SET a = 1 WHERE",
        "DELETE FROM",
        "EXECUTE something",
    };
    for (const char* sql : refused) {
        EXPECT_THROW(parse_query_sql(sql), EngineError) << sql;
    }
}

// Texts from damaged files may nest without end: deep nesting is refused, not
// a stack overflow; long chains of prefixes are no nesting at all.
TEST(QuerySql, DeepNestingIsRefusedNotFatal) {
    auto nested = [](int depth, const std::string& open, const std::string& inner,
                     const std::string& close) {
        std::string s;
        for (int i = 0; i < depth; ++i)
            s += open;
        s += inner;
        for (int i = 0; i < depth; ++i)
            s += close;
        return s;
    };
    EXPECT_NO_THROW(parse_query_sql("SELECT " + nested(100, "(", "1", ")")));
    EXPECT_THROW(parse_query_sql("SELECT " + nested(100000, "(", "1", ")")), EngineError);
    EXPECT_THROW(parse_query_sql("SELECT * FROM " + nested(100000, "(", "T", ")")), EngineError);
    EXPECT_THROW(parse_query_sql("SELECT " + nested(100000, "(SELECT ", "1", ")")), EngineError);
    EXPECT_NO_THROW(
        parse_query_sql("SELECT " + nested(100000, "NOT ", nested(100000, "-", "1", ""), "")));
}

// Written out whole, stored rows read back unchanged: the formatter and the
// parser agree on every clause, for our own statements and hand-written ones.
TEST(QuerySql, FormattedRowsParseBackUnchanged) {
    const char* statements[] = {
        "SELECT DISTINCT TOP 5 T.a AS [First a], * FROM [My Table] AS T, [Order] WHERE T.a > 1 "
        "GROUP BY T.a HAVING Count(*) > 1 ORDER BY T.a DESC WITH OWNERACCESS OPTION;",
        "PARAMETERS [Forms]![Dlg]![From] DateTime, Who Text(20); SELECT a FROM T WHERE a = Who;",
        "SELECT A.x FROM ((A LEFT JOIN C ON A.k = C.k) INNER JOIN B ON (C.k = B.k) AND (C.j = "
        "B.j)) RIGHT JOIN D ON B.m = D.m;",
        "SELECT A.x FROM A INNER JOIN (B INNER JOIN (C INNER JOIN D ON C.k = D.k) ON B.k = C.k) ON "
        "A.k = B.k;",
        "SELECT a FROM T\r\nUNION ALL SELECT a FROM U ORDER BY a DESC;",
        "TRANSFORM Sum(v) AS s SELECT r FROM T GROUP BY r PIVOT c In (1,2);",
        "INSERT INTO Archive (c1, c2) SELECT DISTINCT a, b FROM T;",
        "INSERT INTO Archive (c1) VALUES (Now());",
        "UPDATE T SET T.a = 1, T.b = T.b + 1 WHERE T.c = 2;",
        "DELETE T.* FROM T INNER JOIN U ON T.k = U.k WHERE U.gone = True;",
        "SELECT a INTO Copy FROM T;",
        "DROP TABLE T;",
        // Ordinary hand-written queries.
        "select * from Customers where Country = 'UK' and City like \"L*\" order by CompanyName",
        "SELECT c.Name, o.Total FROM Customers c INNER JOIN Orders o ON c.ID = o.CustID;",
        "SELECT Count(*) AS n, Sum(IIf([Paid], 1, 0)) AS paid, Nz(Max(d), Date()) FROM T;",
        "SELECT a & ' ' & b AS full, a Mod 2, a \\ 2, -a ^ 2 FROM T WHERE NOT a IS NULL;",
        "SELECT * FROM T WHERE EXISTS (SELECT 1 FROM U WHERE U.k = T.k) AND T.d >= #2020-01-31#;",
        "SELECT s.k FROM (SELECT k FROM T WHERE k > 0) AS s WHERE s.k NOT IN (1, 2, 3);",
        "SELECT [T].[Field Name] FROM [T] WHERE [T].[Field Name] = [Enter a value:];",
        "SELECT Left(Name, 1) AS Initial, Count(*) FROM People GROUP BY Left(Name, 1) HAVING "
        "Count(*) > 1;",
    };
    for (const char* sql : statements) {
        try {
            const std::vector<QueryRow> rows = parse_query_sql(sql);
            const std::optional<std::string> text = format_query_sql(rows);
            ASSERT_TRUE(text) << sql;
            EXPECT_EQ(dump(parse_query_sql(*text)), dump(rows)) << sql << "\n  wrote: " << *text;
        } catch (const EngineError& e) {
            ADD_FAILURE() << sql << ": " << e.what();
        }
    }
}

}  // namespace
}  // namespace tessaly::jetdb
