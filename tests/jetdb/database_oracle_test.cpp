// Files written by the destination engine, read back by independent readers
// (mdbtools and mdb-reader). Each test skips when its oracle is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "jetdb/writer_fixture.h"
#include "support/corpus.h"
#include "support/oracles.h"
#include "support/temp_env.h"

namespace tessaly::jetdb::test {
namespace {

using tessaly::test::CsvTable;
using tessaly::test::have_mdb_reader;
using tessaly::test::mdb_reader_export;
using tessaly::test::mdb_reader_tables;
using tessaly::test::mdbtools_export;
using tessaly::test::mdbtools_tables;
using tessaly::test::run_capture;
using tessaly::test::shell_quote;

using Opt = std::optional<std::string>;

std::string mdb_ver(const std::filesystem::path& file) {
    std::string out;
    run_capture("mdb-ver " + shell_quote(file.string()) + " 2>&1", out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

std::string mdb_schema(const std::filesystem::path& file) {
    std::string out;
    run_capture("mdb-schema " + shell_quote(file.string()) + " 2>/dev/null", out);
    return out;
}

TEST(WriterOracles, EmptyDatabaseIsJet4WithNoUserTables) {
    ScratchDir dir;
    const auto file = dir.file("empty.mdb");
    build_database(file, {});
    if (have_mdbtools()) {
        EXPECT_EQ(mdb_ver(file), "JET4");
        EXPECT_EQ(mdbtools_tables(file), std::vector<std::string>{});
        std::string out;
        run_capture("mdb-tables -S -1 " + shell_quote(file.string()), out);
        EXPECT_EQ(out, "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n");
    }
    if (have_mdb_reader()) {
        EXPECT_EQ(mdb_reader_tables(file), std::vector<std::string>{});
    }
}

// One column of every type: the DDL, two values, and what each oracle shows.
struct TypeCase {
    const char* ddl_type;
    Opt value;
    Opt mdbtools;
    Opt mdb_reader;
    const char* schema;  // how mdb-schema names the type
};

const TypeCase kTypeCases[] = {
    {"BIT", "True", "1", "1", "Boolean"},
    {"BIT", "No", "0", "0", "Boolean"},
    {"BYTE", "200", "200", "200", "Byte"},
    {"INT", "-123", "-123", "-123", "Integer"},
    {"SMALLINT", "32767", "32767", "32767", "Integer"},
    {"LONG", "-2147483648", "-2147483648", "-2147483648", "Long Integer"},
    {"INTEGER", "123456789", "123456789", "123456789", "Long Integer"},
    {"CURRENCY", "1234.5678", "1234.5678", "1234.5678", "Currency"},
    {"SINGLE", "1.5", "1.5", "1.5", "Single"},
    {"DOUBLE", "-3.25e10", "-32500000000", "-32500000000", "Double"},
    {"DATE", "01/02/2000 06:00:00 PM", "01/02/2000 18:00:00", "2000-01-02T18:00:00.000Z",
     "DateTime"},
    {"DATETIME", "2021-03-04", "03/04/2021 00:00:00", "2021-03-04T00:00:00.000Z", "DateTime"},
    {"TEXT(10)", "abc", "abc", "abc", "Text (10)"},
    {"TEXT", "Ελληνικά 中文", "Ελληνικά 中文", "Ελληνικά 中文", "Text (255)"},
    {"MEMO", "memo text", "memo text", "memo text", "Memo/Hyperlink"},
    {"LONGTEXT", "Ünïcödé mémo", "Ünïcödé mémo", "Ünïcödé mémo", "Memo/Hyperlink"},
    // Text assigned to binary fields is stored as its UTF-16LE bytes.
    {"OLEOBJECT", "OLE", "4F004C004500", "4f004c004500", "OLE"},
    {"LONGBINARY", "xy", "78007900", "78007900", "OLE"},
    {"BINARY(8)", "\u1234\u5678", "34127856", "34127856", "Binary"},
    {"GUID", "{12345678-9ABC-DEF0-1234-56789ABCDEF0}", std::nullopt,
     "12345678-9abc-def0-1234-56789abcdef0", "Replication ID"},
    {"DECIMAL(10,2)", "-12.34", "-12.34", "-12.34", "Numeric (10, 2)"},
};

TEST(WriterOracles, EveryColumnTypeReadsBack) {
    ScratchDir dir;
    const auto file = dir.file("types.mdb");
    // Column Vi holds case i; a second row leaves every field unset.
    std::vector<std::string> ddl{"CREATE TABLE [T]([Id] LONG);"};
    RowTexts row{{"Id", "1"}};
    for (std::size_t i = 0; i < std::size(kTypeCases); ++i) {
        const std::string name = "V" + std::to_string(i);
        ddl.push_back("ALTER TABLE [T] ADD [" + name + "] " + kTypeCases[i].ddl_type + ";");
        row.push_back({name, kTypeCases[i].value});
    }
    build_database(file, ddl, "T", {row, {{"Id", "2"}}});

    const std::string schema = have_mdbtools() ? mdb_schema(file) : "";
    const auto by_mdbtools = have_mdbtools() ? mdbtools_export(file, "T") : std::nullopt;
    const auto by_mdb_reader = have_mdb_reader() ? mdb_reader_export(file, "T") : std::nullopt;
    for (std::size_t i = 0; i < std::size(kTypeCases); ++i) {
        const TypeCase& c = kTypeCases[i];
        const std::string name = "V" + std::to_string(i);
        SCOPED_TRACE(std::string(c.ddl_type) + " " + *c.value);
        // Booleans are never null: the unset field reads as false.
        const Opt unset = std::string(c.ddl_type) == "BIT" ? Opt("0") : std::nullopt;
        if (have_mdbtools()) {
            EXPECT_NE(schema.find("\t[" + name + "]\t\t\t" + c.schema), std::string::npos);
            ASSERT_TRUE(by_mdbtools);
            if (c.mdbtools) {
                EXPECT_EQ(column_of(*by_mdbtools, name), (std::vector<Opt>{c.mdbtools, unset}));
            }
        }
        if (have_mdb_reader()) {
            ASSERT_TRUE(by_mdb_reader);
            EXPECT_EQ(column_of(*by_mdb_reader, name), (std::vector<Opt>{c.mdb_reader, unset}));
        }
    }
}

// The recovery loop: the reader renders a value as text, the writer stores
// that text, and the reader renders the stored value as the same text.
TEST(WriterOracles, OwnReaderRendersStoredTextsUnchanged) {
    ScratchDir dir;
    const auto file = dir.file("roundtrip.mdb");
    const std::vector<std::pair<const char*, std::vector<std::string>>> columns = {
        {"BIT", {"1", "0"}},
        {"BYTE", {"0", "255"}},
        {"SMALLINT", {"-32768", "32767"}},
        {"LONG", {"-2147483648", "2147483647"}},
        {"CURRENCY", {"1234.5678", "-0.0001"}},
        {"SINGLE", {"1.5", "-0.25"}},
        {"DOUBLE", {"3.25", "-1234567.125"}},
        {"DATE", {"01/02/2000 06:00:00 PM", "02/03/2001 "}},
        {"TEXT(20)", {"plain", "Ünïcödé façade"}},
        {"MEMO", {"a memo", "Привет, мир"}},
        {"DECIMAL(12,2)", {"-0000000012.34", "0000001234.50"}},
    };
    std::vector<std::string> ddl{"CREATE TABLE [R]([Id] LONG);"};
    std::vector<RowTexts> rows(2);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const std::string name = "C" + std::to_string(c);
        ddl.push_back("ALTER TABLE [R] ADD [" + name + "] " + columns[c].first + ";");
        for (std::size_t r = 0; r < rows.size(); ++r)
            rows[r].push_back({name, columns[c].second[r]});
    }
    build_database(file, ddl, "R", rows);
    const auto t = own_reader_export(file, "R");
    ASSERT_TRUE(t);
    ASSERT_EQ(t->rows.size(), rows.size());
    for (std::size_t c = 0; c < columns.size(); ++c)
        for (std::size_t r = 0; r < rows.size(); ++r)
            EXPECT_EQ(t->rows[r][c + 1], columns[c].second[r]) << columns[c].first;
}

TEST(WriterOracles, TablesOfZeroOneAndManyRows) {
    ScratchDir dir;
    const auto file = dir.file("counts.mdb");
    constexpr int kMany = 100000;
    {
        Database db(fixed_options());
        db.create(file, kLocale, 0);
        for (const char* t : {"Zero", "One", "Many"})
            db.execute(std::string("CREATE TABLE [") + t + "]([N] LONG, [S] TEXT(20), [D] DOUBLE);",
                       128);
        Recordset one(db);
        one.open(-1, "SELECT * FROM [One]", 0);
        one.add_new();
        one.set_field_value("N", "7");
        one.update();
        one.close();
        Recordset many(db);
        many.open(-1, "SELECT * FROM Many;", 0);
        for (int i = 0; i < kMany; ++i) {
            many.add_new();
            many.set_field_value("N", std::to_string(i));
            many.set_field_value("S", "row " + std::to_string(i));
            many.set_field_value("D", std::to_string(i) + ".5");
            many.update();
        }
        many.close();
        db.close();
    }
    expect_verified(file);
    const auto check = [&](const std::optional<CsvTable>& zero, const std::optional<CsvTable>& one,
                           const std::optional<CsvTable>& many) {
        ASSERT_TRUE(zero && one && many);
        EXPECT_EQ(zero->header, (std::vector<std::string>{"N", "S", "D"}));
        EXPECT_TRUE(zero->rows.empty());
        EXPECT_EQ(column_of(*one, "N"), std::vector<Opt>{"7"});
        EXPECT_EQ(column_of(*one, "S"), std::vector<Opt>{std::nullopt});
        ASSERT_EQ(many->rows.size(), static_cast<std::size_t>(kMany));
        const auto n = column_of(*many, "N");
        const auto s = column_of(*many, "S");
        for (int i = 0; i < kMany; i += 997) {
            EXPECT_EQ(n[i], std::to_string(i));
            EXPECT_EQ(s[i], "row " + std::to_string(i));
        }
        EXPECT_EQ(n.back(), std::to_string(kMany - 1));
    };
    if (have_mdbtools()) {
        EXPECT_EQ(mdbtools_tables(file), (std::vector<std::string>{"Zero", "One", "Many"}));
        check(mdbtools_export(file, "Zero"), mdbtools_export(file, "One"),
              mdbtools_export(file, "Many"));
    }
    {
        const auto many = own_reader_export(file, "Many");
        ASSERT_TRUE(many);
        ASSERT_EQ(many->rows.size(), static_cast<std::size_t>(kMany));
        EXPECT_EQ(many->rows[4321][0], "4321");
        EXPECT_EQ(many->rows[4321][1], "row 4321");
        EXPECT_EQ(many->rows[4321][2], "4321.5");
    }
    if (have_mdb_reader()) {
        EXPECT_EQ(mdb_reader_tables(file), (std::vector<std::string>{"Zero", "One", "Many"}));
        check(mdb_reader_export(file, "Zero"), mdb_reader_export(file, "One"),
              mdb_reader_export(file, "Many"));
    }
}

TEST(WriterOracles, TextEdgeValues) {
    ScratchDir dir;
    const auto file = dir.file("text.mdb");
    const std::string max255(255, 'z');
    const std::string max_greek = [] {
        std::string s;
        for (int i = 0; i < 255; ++i)
            s += "λ";
        return s;
    }();
    const std::vector<std::pair<Opt, Opt>> cases = {
        {std::nullopt, std::nullopt},  // never set
        {"", std::nullopt},            // an empty text stores null
        {"a", "a"},
        {max255, max255},
        {max_greek, max_greek},
        {"Ünïcödé façade", "Ünïcödé façade"},
        {"Привет, мир", "Привет, мир"},
        {"中文字符", "中文字符"},
        {"mixed Ελληνικά and ASCII", "mixed Ελληνικά and ASCII"},
        {"  padded  ", "  padded  "},
        {"quote \" and, comma", "quote \" and, comma"},
    };
    std::vector<RowTexts> rows;
    for (std::size_t i = 0; i < cases.size(); ++i)
        rows.push_back({{"Id", std::to_string(i)}, {"T", cases[i].first}});
    build_database(file, {"CREATE TABLE [Texts]([Id] LONG, [T] TEXT(255));"}, "Texts", rows);
    // Latin text is stored compressed, as Access stores it: FF FE, then one
    // byte per character.
    const std::string bytes = tessaly::test::read_file(file);
    const std::string latin =
        "\xFF\xFE\xDC"
        "n\xEF"
        "c\xF6"
        "d\xE9 fa\xE7"
        "ade";
    EXPECT_NE(bytes.find(latin), std::string::npos);
    const std::string wide_mixed("m\0i\0x\0e\0d\0", 10);
    EXPECT_EQ(bytes.find(wide_mixed), std::string::npos);
    std::vector<Opt> expected;
    for (const auto& c : cases)
        expected.push_back(c.second);
    if (have_mdbtools()) {
        const auto t = mdbtools_export(file, "Texts");
        ASSERT_TRUE(t);
        EXPECT_EQ(column_of(*t, "T"), expected);
    }
    if (have_mdb_reader()) {
        const auto t = mdb_reader_export(file, "Texts");
        ASSERT_TRUE(t);
        EXPECT_EQ(column_of(*t, "T"), expected);
    }
}

std::string memo_text(std::size_t n, std::size_t seed) {
    std::string s(n, ' ');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + (i * 7 + seed) % 26);
    return s;
}

// Compares a memo column with the expected texts. mdbtools shows at most
// its bind size of a long value, so longer texts are compared on that prefix.
void expect_memos(const std::optional<CsvTable>& t, const std::vector<Opt>& expected,
                  bool prefix_only) {
    ASSERT_TRUE(t);
    const auto got = column_of(*t, "M");
    ASSERT_EQ(got.size(), expected.size());
    constexpr std::size_t kShownAtLeast = 150000;
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (prefix_only && expected[i] && got[i] && expected[i]->size() > kShownAtLeast) {
            EXPECT_GE(got[i]->size(), kShownAtLeast) << "memo " << i;
            EXPECT_EQ(expected[i]->compare(0, got[i]->size(), *got[i]), 0) << "memo " << i;
        } else {
            EXPECT_TRUE(got[i] == expected[i]) << "memo " << i;
        }
    }
}

void check_memos(const std::vector<std::size_t>& sizes, bool with_greek) {
    ScratchDir dir;
    const auto file = dir.file("memo.mdb");
    std::vector<RowTexts> rows;
    std::vector<Opt> expected;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        rows.push_back({{"Id", std::to_string(i)}, {"M", memo_text(sizes[i], i)}});
        expected.push_back(sizes[i] == 0 ? Opt() : Opt(memo_text(sizes[i], i)));
    }
    if (with_greek) {
        // A non-Latin memo crossing page boundaries.
        std::string greek;
        for (int i = 0; i < 3000; ++i)
            greek += "αβγ";
        rows.push_back({{"Id", "99"}, {"M", greek}});
        expected.push_back(greek);
    }
    build_database(file, {"CREATE TABLE [Memos]([Id] LONG, [M] MEMO);"}, "Memos", rows);
    if (have_mdbtools()) expect_memos(mdbtools_export(file, "Memos"), expected, true);
    // mdb-reader joins the parts of a chain one by one, which takes minutes
    // for megabytes; our own reader checks those whole.
    const bool huge = *std::max_element(sizes.begin(), sizes.end()) > 1000000;
    if (have_mdb_reader() && !huge) expect_memos(mdb_reader_export(file, "Memos"), expected, false);
    auto own = own_reader_export(file, "Memos");
    ASSERT_TRUE(own);
    for (auto& e : expected)
        if (!e) e = Opt("");  // the reader shows a null memo as an empty field
    for (auto& row : own->rows)
        if (row.size() > 1 && !row[1]) row[1] = "";
    expect_memos(own, expected, false);
}

TEST(WriterOracles, MemosOfEverySize) {
    // Sizes around every storage form: inline, one long-value row, chains.
    check_memos({0, 1, 64, 65, 100, 4000, 4076, 4077, 8144, 8145, 100000}, true);
}

TEST(WriterOracles, FiveMillionByteMemo) {
    check_memos({5000000}, false);
}

TEST(WriterOracles, ManyColumnsSpanSeveralDefinitionPages) {
    ScratchDir dir;
    const auto file = dir.file("wide.mdb");
    std::vector<std::string> ddl{
        "CREATE TABLE [Wide]([C000_with_a_rather_long_column_name_to_fill] LONG);"};
    RowTexts row{{"C000_with_a_rather_long_column_name_to_fill", "0"}};
    for (int i = 1; i < 255; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "C%03d_with_a_rather_long_column_name_to_fill", i);
        ddl.push_back(std::string("ALTER TABLE [Wide] ADD [") + name + "] " +
                      (i % 2 ? "TEXT(5)" : "LONG") + ";");
        row.push_back({name, std::to_string(i % 100)});
    }
    build_database(file, ddl, "Wide", {row});
    const auto check = [&](const std::optional<CsvTable>& t) {
        ASSERT_TRUE(t);
        ASSERT_EQ(t->header.size(), 255u);
        ASSERT_EQ(t->rows.size(), 1u);
        EXPECT_EQ(t->rows[0][254], "54");
        EXPECT_EQ(t->rows[0][1], "1");
    };
    if (have_mdbtools()) check(mdbtools_export(file, "Wide"));
    if (have_mdb_reader()) check(mdb_reader_export(file, "Wide"));
}

TEST(WriterOracles, ColumnAddedAfterRowsReadsNullInOlderRows) {
    ScratchDir dir;
    const auto file = dir.file("late.mdb");
    {
        Database db(fixed_options());
        db.create(file, kLocale, 0);
        db.execute("CREATE TABLE [T]([A] LONG, [B] TEXT(10));", 128);
        Recordset rs(db);
        rs.open(-1, "SELECT * FROM [T]", 0);
        rs.add_new();
        rs.set_field_value("A", "1");
        rs.set_field_value("B", "one");
        rs.update();
        db.execute("ALTER TABLE [T] ADD [C] LONG;", 128);
        db.execute("ALTER TABLE [T] ADD [D] TEXT(10);", 128);
        rs.close();
        rs.open(-1, "SELECT * FROM [T]", 0);
        rs.add_new();
        rs.set_field_value("A", "2");
        rs.set_field_value("C", "3");
        rs.set_field_value("D", "two");
        rs.update();
        db.close();
    }
    expect_verified(file);
    const auto check = [&](const std::optional<CsvTable>& t) {
        ASSERT_TRUE(t);
        EXPECT_EQ(column_of(*t, "A"), (std::vector<Opt>{"1", "2"}));
        EXPECT_EQ(column_of(*t, "B"), (std::vector<Opt>{"one", std::nullopt}));
        EXPECT_EQ(column_of(*t, "C"), (std::vector<Opt>{std::nullopt, "3"}));
        EXPECT_EQ(column_of(*t, "D"), (std::vector<Opt>{std::nullopt, "two"}));
    };
    if (have_mdbtools()) check(mdbtools_export(file, "T"));
    if (have_mdb_reader()) check(mdb_reader_export(file, "T"));
}

TEST(WriterOracles, SizeLimitRefusesRowsAndKeepsTheFileValid) {
    ScratchDir dir;
    const auto file = dir.file("limit.mdb");
    constexpr std::uint64_t kLimit = 1024 * 1024;
    DatabaseOptions options = fixed_options();
    options.max_file_bytes = kLimit;
    int stored = 0;
    bool refused = false;
    {
        Database db(options);
        db.create(file, kLocale, 0);
        db.execute("CREATE TABLE [Big]([N] LONG, [M] MEMO, [T] TEXT(100));", 128);
        Recordset rs(db);
        rs.open(-1, "SELECT * FROM [Big]", 0);
        for (int i = 0; i < 5000 && !refused; ++i) {
            rs.add_new();
            rs.set_field_value("N", std::to_string(i));
            rs.set_field_value("M",
                               std::string(static_cast<std::size_t>(500 + 37 * (i % 200)), 'm'));
            rs.set_field_value("T", std::string(90, 't'));
            try {
                rs.update();
                ++stored;
            } catch (const EngineError&) {
                refused = true;
            }
        }
        // Once refused, small rows may still fit, but large ones never.
        rs.add_new();
        rs.set_field_value("M", std::string(100000, 'x'));
        EXPECT_THROW(rs.update(), EngineError);
        db.close();
    }
    expect_verified(file);
    EXPECT_TRUE(refused);
    EXPECT_GT(stored, 10);
    EXPECT_LT(std::filesystem::file_size(file), kLimit);
    if (have_mdbtools()) {
        const auto t = mdbtools_export(file, "Big");
        ASSERT_TRUE(t);
        EXPECT_EQ(t->rows.size(), static_cast<std::size_t>(stored));
    }
    if (have_mdb_reader()) {
        const auto t = mdb_reader_export(file, "Big");
        ASSERT_TRUE(t);
        EXPECT_EQ(t->rows.size(), static_cast<std::size_t>(stored));
    }
}

}  // namespace
}  // namespace tessaly::jetdb::test
