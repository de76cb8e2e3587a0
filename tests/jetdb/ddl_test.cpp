#include "jetdb/ddl.h"

#include <gtest/gtest.h>

#include <string>

#include "jetdb/engine_error.h"

namespace tessaly::jetdb {
namespace {

template <typename T>
T parse_as(const std::string& statement) {
    const DdlStatement parsed = parse_ddl(statement);
    const T* s = std::get_if<T>(&parsed);
    if (s == nullptr) ADD_FAILURE() << "wrong statement kind for " << statement;
    return s ? *s : T{};
}

TEST(ParseDdl, ReadsTheStatementsTheSchemaRebuildSends) {
    const auto create = parse_as<CreateTableStmt>("CREATE TABLE [T]([A] LONG);");
    EXPECT_EQ(create.table, "T");
    ASSERT_EQ(create.columns.size(), 1u);
    EXPECT_EQ(create.columns[0].name, "A");
    EXPECT_EQ(create.columns[0].type, ColumnType::Long);
    EXPECT_EQ(create.columns[0].size, 4);

    const auto text = parse_as<AddColumnStmt>("ALTER TABLE [T] ADD [B] TEXT(50);");
    EXPECT_EQ(text.table, "T");
    EXPECT_EQ(text.column.name, "B");
    EXPECT_EQ(text.column.type, ColumnType::Text);
    EXPECT_EQ(text.column.size, 100);

    const auto index = parse_as<CreateIndexStmt>("CREATE INDEX MyIndex2 ON [T]([C])");
    EXPECT_EQ(index.name, "MyIndex2");
    EXPECT_EQ(index.table, "T");
    ASSERT_EQ(index.columns.size(), 1u);
    EXPECT_EQ(index.columns[0].name, "C");
    EXPECT_TRUE(index.columns[0].ascending);
    EXPECT_FALSE(index.unique);
    EXPECT_FALSE(index.primary);

    const auto pk = parse_as<CreateIndexStmt>("ALTER TABLE [T] ADD PRIMARY KEY ([A]);");
    EXPECT_EQ(pk.table, "T");
    EXPECT_EQ(pk.name, "");
    ASSERT_EQ(pk.columns.size(), 1u);
    EXPECT_TRUE(pk.primary && pk.unique && pk.disallow_null);

    const auto pk2 =
        parse_as<CreateIndexStmt>("ALTER TABLE [T] ADD Constraint [PK_T] PRIMARY KEY ([A], [B]);");
    EXPECT_EQ(pk2.name, "PK_T");
    ASSERT_EQ(pk2.columns.size(), 2u);
    EXPECT_EQ(pk2.columns[1].name, "B");
    EXPECT_TRUE(pk2.primary && pk2.unique);

    // Names are taken as they are inside the brackets, blanks included.
    const auto spaced =
        parse_as<AddColumnStmt>("ALTER TABLE [Order Details] ADD [Unit Price] MEMO;");
    EXPECT_EQ(spaced.table, "Order Details");
    EXPECT_EQ(spaced.column.name, "Unit Price");
}

TEST(ParseDdl, MapsEveryTypeAndSynonym) {
    struct Case {
        const char* type;
        ColumnType expected;
        std::uint16_t size;
        std::uint8_t precision = 0, scale = 0;
        bool autonumber = false;
    };
    using T = ColumnType;
    const Case cases[] = {
        {"BIT", T::Boolean, 1},
        {"YesNo", T::Boolean, 1},
        {"BYTE", T::Byte, 1},
        {"TINYINT", T::Byte, 1},
        {"SHORT", T::Int, 2},
        {"SMALLINT", T::Int, 2},
        {"INT", T::Int, 2},
        {"INTEGER", T::Long, 4},
        {"long", T::Long, 4},
        {"COUNTER", T::Long, 4, 0, 0, true},
        {"AUTOINCREMENT", T::Long, 4, 0, 0, true},
        {"CURRENCY", T::Currency, 8},
        {"MONEY", T::Currency, 8},
        {"SINGLE", T::Single, 4},
        {"REAL", T::Single, 4},
        {"DOUBLE", T::Double, 8},
        {"FLOAT", T::Double, 8},
        {"DATE", T::DateTime, 8},
        {"DATETIME", T::DateTime, 8},
        {"TEXT", T::Text, 510},
        {"TEXT(1)", T::Text, 2},
        {"TEXT(255)", T::Text, 510},
        {"text ( 20 )", T::Text, 40},
        {"VARCHAR(10)", T::Text, 20},
        {"CHAR", T::Text, 510},
        {"CHARACTER VARYING(3)", T::Text, 6},
        {"NATIONAL CHARACTER VARYING(5)", T::Text, 10},
        {"MEMO", T::Memo, 0},
        {"LONGTEXT", T::Memo, 0},
        {"OLEOBJECT", T::Ole, 0},
        {"LONGBINARY", T::Ole, 0},
        {"BINARY(16)", T::Binary, 16},
        {"BINARY", T::Binary, 255},
        {"VARBINARY(4)", T::Binary, 4},
        {"BIT VARYING(8)", T::Binary, 8},
        {"GUID", T::Guid, 16},
        {"DECIMAL", T::Numeric, 17, 18, 0},
        {"DECIMAL(10)", T::Numeric, 17, 10, 0},
        {"NUMERIC(10,4)", T::Numeric, 17, 10, 4},
        {"DEC(28, 28)", T::Numeric, 17, 28, 28},
    };
    for (const auto& c : cases) {
        const std::string statement = std::string("CREATE TABLE t (c ") + c.type + ")";
        const auto s = parse_as<CreateTableStmt>(statement);
        ASSERT_EQ(s.columns.size(), 1u) << statement;
        const ColumnSpec& col = s.columns[0];
        EXPECT_EQ(col.type, c.expected) << statement;
        EXPECT_EQ(col.size, c.size) << statement;
        EXPECT_EQ(col.precision, c.precision) << statement;
        EXPECT_EQ(col.scale, c.scale) << statement;
        EXPECT_EQ(col.autonumber, c.autonumber) << statement;
    }
}

TEST(ParseDdl, ReadsIndexOptions) {
    const auto multi = parse_as<CreateIndexStmt>(
        "create unique index [By Name] on Customers (Last DESC, [First] asc, City);");
    EXPECT_EQ(multi.name, "By Name");
    EXPECT_EQ(multi.table, "Customers");
    EXPECT_TRUE(multi.unique);
    ASSERT_EQ(multi.columns.size(), 3u);
    EXPECT_FALSE(multi.columns[0].ascending);
    EXPECT_TRUE(multi.columns[1].ascending);
    EXPECT_EQ(multi.columns[2].name, "City");

    const auto primary = parse_as<CreateIndexStmt>("CREATE INDEX pk ON t (a) WITH PRIMARY");
    EXPECT_TRUE(primary.primary && primary.unique && primary.disallow_null);

    const auto ignore = parse_as<CreateIndexStmt>("CREATE INDEX i ON t (a) WITH IGNORE NULL");
    EXPECT_TRUE(ignore.ignore_null);
    EXPECT_FALSE(ignore.disallow_null || ignore.primary || ignore.unique);

    const auto disallow = parse_as<CreateIndexStmt>("CREATE INDEX i ON t (a) WITH DISALLOW NULL");
    EXPECT_TRUE(disallow.disallow_null);

    const auto unique = parse_as<CreateIndexStmt>("ALTER TABLE t ADD CONSTRAINT u UNIQUE (a, b)");
    EXPECT_EQ(unique.name, "u");
    EXPECT_TRUE(unique.unique);
    EXPECT_FALSE(unique.primary);
    EXPECT_EQ(unique.columns.size(), 2u);

    const auto add = parse_as<AddColumnStmt>("ALTER TABLE t ADD COLUMN c COUNTER");
    EXPECT_TRUE(add.column.autonumber);

    std::string ten = "CREATE INDEX i ON t (c0";
    for (int i = 1; i < 10; ++i)
        ten += ", c" + std::to_string(i);
    EXPECT_EQ(parse_as<CreateIndexStmt>(ten + ")").columns.size(), 10u);
    EXPECT_THROW(parse_ddl(ten + ", c10)"), EngineError);
}

TEST(ParseDdl, RefusesWhatJetRefuses) {
    const std::string too_long_name(65, 'n');
    const std::string refused[] = {
        "",
        "DROP TABLE t",
        "CREATE TABLE t (c TEXT(0))",
        "CREATE TABLE t (c TEXT(256))",
        "CREATE TABLE t (c TEXT(99999999999))",
        "CREATE TABLE t (c TEXT(abc))",
        "CREATE TABLE t (c BINARY(0))",
        "CREATE TABLE t (c BINARY(256))",
        "CREATE TABLE t (c DECIMAL(0))",
        "CREATE TABLE t (c DECIMAL(29))",
        "CREATE TABLE t (c DECIMAL(5,6))",
        "CREATE TABLE t (c FOO)",
        "CREATE TABLE t (c LONG(4))",
        "CREATE TABLE t (c LONG NOT NULL)",
        "CREATE TABLE t (c)",
        "CREATE TABLE t ()",
        "CREATE TABLE t (c LONG",
        "CREATE TABLE t (c LONG, )",
        "CREATE TABLE t c LONG",
        "CREATE TABLE t (c LONG);;",
        "CREATE TABLE t (c LONG) extra",
        "CREATE TABLE [t (c LONG)",
        "CREATE TABLE t (a LONG, A TEXT)",
        "CREATE TABLE table (c LONG)",
        "CREATE TABLE 1t (c LONG)",
        "CREATE TABLE t.x (c LONG)",
        "CREATE TABLE [a.b] (c LONG)",
        "CREATE TABLE [a!b] (c LONG)",
        "CREATE TABLE [a`b] (c LONG)",
        "CREATE TABLE [x[y] (c LONG)",
        "CREATE TABLE [ lead] (c LONG)",
        "CREATE TABLE [tab\there] (c LONG)",
        "CREATE TABLE [] (c LONG)",
        "CREATE TABLE [" + too_long_name + "] (c LONG)",
        "CREATE TABLE t ([" + too_long_name + "] LONG)",
        "CREATE TABLE t ([c]] LONG)",
        "ALTER TABLE t ADD",
        "ALTER TABLE t ADD [c]",
        "ALTER TABLE t DROP c",
        "ALTER TABLE t ADD CONSTRAINT c PRIMARY KEY ([a] DESC)",
        "ALTER TABLE t ADD CONSTRAINT c FOREIGN KEY (a) REFERENCES u (b)",
        "ALTER TABLE t ADD PRIMARY KEY ()",
        "CREATE INDEX i ON t ()",
        "CREATE INDEX i ON t (a, A)",
        "CREATE INDEX i ON t (a) WITH PRIMARY IGNORE NULL",
        "CREATE INDEX i ON t (a) WITH",
        "CREATE INDEX i ON t (a) WITH PRIMARY PRIMARY",
        "CREATE INDEX ON t (a)",
        "CREATE INDEX i t (a)",
    };
    for (const auto& statement : refused)
        EXPECT_THROW(parse_ddl(statement), EngineError) << statement;
}

TEST(ParseDdl, AllowsAtMost255Columns) {
    std::string statement = "CREATE TABLE t (c0 LONG";
    for (int i = 1; i < 255; ++i)
        statement += ", c" + std::to_string(i) + " LONG";
    EXPECT_EQ(parse_as<CreateTableStmt>(statement + ")").columns.size(), 255u);
    EXPECT_THROW(parse_ddl(statement + ", c255 LONG)"), EngineError);
}

TEST(CheckObjectName, AcceptsJetNamesAndRefusesTheRest) {
    const std::string accepted[] = {
        "Order Details",
        "a",
        "trailing ",
        "\xC3\x9Cn\xC3\xAF"
        "c\xC3\xB6"
        "de",
        "\xE5\x90\x8D\xE5\x89\x8D",
        "#$%&'()*+,-/:;<=>?@^_{|}~",
        std::string(64, 'x'),
        [] {  // 64 two-byte characters
            std::string s;
            for (int i = 0; i < 64; ++i)
                s += "\xC3\xA9";
            return s;
        }(),
    };
    for (const auto& name : accepted)
        EXPECT_NO_THROW(check_object_name(name)) << name;
    const std::string refused[] = {"",
                                   " lead",
                                   "a.b",
                                   "a!b",
                                   "a`b",
                                   "a[b",
                                   "a]b",
                                   std::string("a\x01"),
                                   "line\nbreak",
                                   std::string(65, 'x'),
                                   "\xC3"};
    for (const auto& name : refused)
        EXPECT_THROW(check_object_name(name), EngineError) << testing::PrintToString(name);
}

TEST(NamesEqual, IgnoresCaseOfLatinGreekAndCyrillicLetters) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"Name", "NAME", true},
        {"name", "names", false},
        {"\xC3\x9Cn\xC3\xAF"
         "code",
         "\xC3\xBCN\xC3\x8F"
         "CODE",
         true},                                                          // Ünïcode / üNÏCODE
        {"\xD0\x9C\xD0\xB8\xD1\x80", "\xD0\x9C\xD0\x98\xD0\xA0", true},  // Мир / МИР
        {"\xCE\xB1\xCE\xB2", "\xCE\x91\xCE\x92", true},                  // αβ / ΑΒ
        {"\xC3\xBF", "\xC5\xB8", true},                                  // ÿ / Ÿ
        {"\xC5\x82\xC3\xB3"
         "d\xC5\xBA",
         "\xC5\x81\xC3\x93"
         "D\xC5\xB9",
         true},                    // łódź / ŁÓDŹ
        {"e", "\xC3\xA9", false},  // accents matter
        {"a", "b", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(names_equal(c.a, c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(fold_name(c.a) == fold_name(c.b), c.equal) << c.a << " / " << c.b;
    }
}

}  // namespace
}  // namespace tessaly::jetdb
