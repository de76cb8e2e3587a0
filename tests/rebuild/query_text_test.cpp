// Rebuilding a saved query's SQL text from its MSysQueries rows.
#include "rebuild/query_text.h"

#include <gtest/gtest.h>

#include "jetdb/engine_error.h"
#include "jetdb/query_sql.h"

namespace tessaly::rebuild {
namespace {

// A row as the reader renders it; only the columns the rebuild reads.
SavedQueryRow R(std::string attribute, std::string expression = "", std::string flag = "",
                std::string name1 = "", std::string name2 = "", std::string lv_extra = "") {
    return {"-2147483622",       std::move(attribute), std::move(expression), std::move(flag),
            std::move(lv_extra), std::move(name1),     std::move(name2),      ""};
}

// Markers and the kind row come first in every stored query; they add nothing.
std::vector<SavedQueryRow> Q(std::vector<SavedQueryRow> rows) {
    std::vector<SavedQueryRow> all{R("0", "", "0"), R("255"), R("1", "", "1")};
    all.insert(all.end(), rows.begin(), rows.end());
    return all;
}

struct TextCase {
    const char* name;
    std::vector<SavedQueryRow> rows;
    std::string sql;
    bool engine_accepts;  // whether the engine stores the text (it refuses what Jet refuses)
};

// Input table G and `joins` join rows B-A, C-B, D-C, ..., each nesting the ones
// before it.
std::vector<SavedQueryRow> chain(int joins) {
    std::vector<SavedQueryRow> rows{R("5", "", "", "G"), R("6", "G.a")};
    const char names[] = "ABCDEFG";
    // Rows in storage order: the innermost join first.
    for (int i = 0; i < joins; ++i) {
        const std::string right(1, names[i]);
        const std::string left(1, names[i + 1]);
        rows.push_back(R("7", left + ".k = " + right + ".k", "1", left, right));
    }
    return Q(rows);
}

const std::vector<TextCase>& text_cases() {
    static const std::vector<TextCase> cases{
        {"columns and alias",
         Q({R("3", "", "0"), R("5", "", "", "T"), R("6", "a", "0"), R("6", "b", "0", "xy")}),
         "SELECT a, b AS xy FROM [T];", true},
        {"aliased input table is not bracketed",
         Q({R("5", "", "", "Order Details", "OD"), R("6", "OD.Qty", "0")}),
         "SELECT OD.Qty FROM Order Details AS [OD];", true},
        {"later unaliased input tables are dropped",
         Q({R("5", "", "", "T"), R("5", "", "", "U"), R("6", "a", "0")}), "SELECT a FROM [T];",
         true},
        {"one-character alias dropped, also a multibyte one",
         Q({R("5", "", "", "T"), R("6", "a", "0", "y"), R("6", "b", "0", "\xC3\xA9"),
            R("6", "c", "0", "\xC3\xA9\xC3\xA9")}),
         "SELECT a, b, c AS \xC3\xA9\xC3\xA9 FROM [T];", true},
        {"parameter keeps its type and forces DISTINCTROW",
         Q({R("2", "", "10", "Who", "", "50"), R("2", "", "4", "Forms!Dlg!N"), R("3", "", "0"),
            R("5", "", "", "T"), R("6", "a", "0"), R("8", "(a=[Who])")}),
         "PARAMETERS Who Text(50), Forms!Dlg!N Long;  SELECT DISTINCTROW a FROM [T] WHERE "
         "(a=[Who]);",
         true},
        {"parameter of an unknown type is declared DateTime",
         Q({R("2", "", "99", "[From]"), R("5", "", "", "T"), R("6", "a", "0")}),
         "PARAMETERS [From] DateTime;  SELECT DISTINCTROW a FROM [T];", true},
        {"DISTINCT kept, DISTINCTROW without parameters dropped",
         Q({R("3", "", "2"), R("5", "", "", "T"), R("6", "a", "0")}), "SELECT DISTINCT a FROM [T];",
         true},
        {"DISTINCTROW option alone", Q({R("3", "", "8"), R("5", "", "", "T"), R("6", "a", "0")}),
         "SELECT a FROM [T];", true},
        {"TOP n kept", Q({R("3", "", "24", "10"), R("5", "", "", "T"), R("6", "a", "0")}),
         "SELECT TOP 10 a FROM [T];", true},
        {"TOP n PERCENT kept",
         Q({R("3", "", "48", "25"), R("5", "", "", "T"), R("6", "a", "0"), R("6", "b", "0")}),
         "SELECT TOP 25 PERCENT a, b FROM [T];", true},
        {"TOP n of a star query", Q({R("3", "", "17", "5"), R("5", "", "", "T")}),
         "SELECT TOP 5 * FROM [T];", true},
        {"one join",
         Q({R("5", "", "", "A"), R("5", "", "", "B"), R("6", "A.a", "0"),
            R("7", "A.k = B.k", "1", "A", "B")}),
         "SELECT A.a FROM [A] INNER JOIN [B] ON A.k = B.k;", true},
        {"left join written as LEFT JOIN",
         Q({R("5", "", "", "A"), R("6", "A.a", "0"), R("7", "A.k = B.k", "2", "A", "B")}),
         "SELECT A.a FROM [A] LEFT JOIN [B] ON A.k = B.k;", true},
        {"right join",
         Q({R("5", "", "", "A"), R("6", "A.a", "0"), R("7", "A.k = B.k", "3", "A", "B")}),
         "SELECT A.a FROM [A] RIGHT JOIN [B] ON A.k = B.k;", true},
        {"join before any input table opens the FROM clause",
         Q({R("6", "A.a", "0"), R("7", "A.k = B.k", "1", "A", "B")}),
         "SELECT A.a FROM (A INNER JOIN [B] ON A.k = B.k);", true},
        {"two joins nest one level",
         Q({R("5", "", "", "E"), R("6", "a", "0"), R("7", "O.k = S.k", "1", "O", "S"),
            R("7", "E.k = O.k", "1", "E", "O")}),
         "SELECT a FROM [E] INNER JOIN (O INNER JOIN [S] ON O.k = S.k) ON E.k = O.k;", true},
        {"left join nested one level",
         Q({R("5", "", "", "E"), R("6", "a", "0"), R("7", "O.k = S.k", "1", "O", "S"),
            R("7", "E.k = O.k", "2", "E", "O")}),
         "SELECT a FROM [E] LEFT JOIN (O INNER JOIN [S] ON O.k = S.k) ON E.k = O.k;", true},
        {"three joins", chain(3),
         "SELECT G.a FROM [G] INNER JOIN (( C INNER JOIN (B INNER JOIN [A] ON B.k = A.k) ON C.k = "
         "B.k )) ON D.k = C.k;",
         true},
        {"five joins", chain(5),
         "SELECT G.a FROM [G] INNER JOIN ((((E INNER JOIN (((D INNER JOIN (( C INNER JOIN (B "
         "INNER JOIN [A] ON B.k = A.k) ON C.k = B.k )) ON D.k = C.k ))) ON E.k = D.k )))) ON F.k "
         "= E.k;",
         true},
        {"a sixth join starts over", chain(6), "SELECT G.a FROM [G] INNER JOIN [F] ON G.k = F.k;",
         true},
        {"WHERE, GROUP BY, HAVING, ORDER BY with DESC",
         Q({R("5", "", "", "T"), R("6", "a", "0"), R("6", "Sum(b)", "0", "s"), R("8", "(a>1)"),
            R("8", "(a>2)"), R("9", "a", "0"), R("9", "c", "0"), R("10", "(Sum(b)>5)"),
            R("11", "a", "", "D"), R("11", "c"), R("11", "Sum(b)", "", "x")}),
         "SELECT a, Sum(b) FROM [T] WHERE (a>2) GROUP BY a, c HAVING (Sum(b)>5) ORDER BY a DESC, "
         "c, Sum(b) DESC;",
         true},
        {"rows with other attributes add nothing",
         Q({R("4", "x", "1", "y"), R("5", "", "", "T"), R("6", "a", "0"), R("12", "b"),
            R("6", "")}),
         "SELECT a FROM [T];", true},
        {"no rows of its own", {}, "SELECT*;", false},
        {"union rows have no input table name",
         Q({R("3", "", "3"), R("5", "SELECT a FROM T", "", "", "X7YZ_____1"),
            R("5", "SELECT a FROM U", "", "", "X7YZ_____2"), R("11", "a")}),
         "SELECT* ORDER BY a;", false},
    };
    return cases;
}

TEST(QueryText, AssemblesTheStoredClauses) {
    for (const TextCase& c : text_cases()) {
        EXPECT_EQ(build_query_text(c.rows), c.sql) << c.name;
    }
}

TEST(QueryText, EngineStoresTheRebuiltTexts) {
    for (const TextCase& c : text_cases()) {
        const std::string sql = build_query_text(c.rows);
        bool accepted = true;
        try {
            jetdb::parse_query_sql(sql);
        } catch (const jetdb::EngineError&) {
            accepted = false;
        }
        EXPECT_EQ(accepted, c.engine_accepts) << c.name << ": " << sql;
    }
}

TEST(QueryText, LongTextsAreNotCut) {
    const std::string long_expression = "(" + std::string(3000, 'x') + ")";
    std::vector<SavedQueryRow> rows{R("5", "", "", "T")};
    for (int i = 0; i < 300; ++i)
        rows.push_back(R("6", "Column" + std::to_string(i), "0"));
    rows.push_back(R("7", long_expression, "1", "T", "U"));
    rows.push_back(R("8", long_expression));
    const std::string sql = build_query_text(Q(rows));
    EXPECT_NE(sql.find("Column299 FROM [T] INNER JOIN [U] ON " + long_expression + " WHERE " +
                       long_expression + ";"),
              std::string::npos);
    EXPECT_GT(sql.size(), 8000u);
}

TEST(QueryText, RowsBelongToTheQueryOfTheirLow24Bits) {
    struct Case {
        std::string object_id;
        std::uint32_t key;
        bool belongs;
    };
    const Case cases[] = {
        {"-2147483622", 0x1A, true},  // 0x8000001A
        {"-2147483621", 0x1A, false},
        {"26", 0x1A, true},
        {"16777242", 0x1A, true},  // 0x100001A
        {"", 0, true},
        {"garbage", 0, true},
    };
    for (const Case& c : cases) {
        SavedQueryRow row = R("6", "a");
        row.object_id = c.object_id;
        EXPECT_EQ(row_belongs_to_query(row, c.key), c.belongs) << c.object_id;
    }
}

}  // namespace
}  // namespace tessaly::rebuild
