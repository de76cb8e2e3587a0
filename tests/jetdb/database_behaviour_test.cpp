// The destination engine's contract: what it refuses, what a refusal leaves
// behind, and when the file appears.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "jetdb/writer_fixture.h"
#include "support/oracles.h"
#include "support/temp_env.h"

namespace tessaly::jetdb::test {
namespace {

using tessaly::test::have_mdb_reader;
using tessaly::test::mdb_reader_export;
using tessaly::test::mdb_reader_tables;
using tessaly::test::mdbtools_export;
using tessaly::test::mdbtools_tables;

using Opt = std::optional<std::string>;

std::vector<std::filesystem::path> listing(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(WriterContract, FileAppearsOnlyWhenClosed) {
    ScratchDir dir;
    const auto file = dir.file("late.mdb");
    Database db(fixed_options());
    db.create(file, kLocale, 0);
    EXPECT_TRUE(db.is_open());
    EXPECT_FALSE(std::filesystem::exists(file));
    db.execute("CREATE TABLE [T]([A] LONG);", 128);
    db.close();
    EXPECT_FALSE(db.is_open());
    EXPECT_EQ(listing(dir.path()), std::vector<std::filesystem::path>{"late.mdb"});
    expect_verified(file);
    db.close();  // closing again does nothing
    // A destroyed database is closed (and stored) as well.
    {
        Database other(fixed_options());
        other.create(dir.file("dropped.mdb"), kLocale, 0);
    }
    EXPECT_TRUE(std::filesystem::exists(dir.file("dropped.mdb")));
}

TEST(WriterContract, CreateRefusals) {
    ScratchDir dir;
    const auto existing = dir.file("existing.mdb");
    { std::ofstream(existing) << "not a database"; }
    Database db(fixed_options());
    EXPECT_THROW(db.create(existing, kLocale, 0), EngineError);
    EXPECT_EQ(tessaly::test::read_file(existing), "not a database");
    EXPECT_THROW(db.create(dir.file("a.mdb"), ";LANGID=0x0407;CP=1252;COUNTRY=0", 0), EngineError);
    EXPECT_THROW(db.create(dir.file("a.mdb"), ";LANGID=0x0409;CP=1251;COUNTRY=0", 0), EngineError);
    EXPECT_THROW(db.create(dir.file("a.mdb"), kLocale, 2), EngineError);
    EXPECT_THROW(db.create(dir.file("missing-folder") / "a.mdb", kLocale, 0), EngineError);
    EXPECT_FALSE(db.is_open());
    db.create(dir.file("a.mdb"), kLocale, 0);
    EXPECT_THROW(db.create(dir.file("b.mdb"), kLocale, 0), EngineError);
    EXPECT_THROW(Database().execute("CREATE TABLE [T]([A] LONG);", 128), EngineError);
}

TEST(WriterContract, RefusedStatementsLeaveTheDatabaseUnchanged) {
    ScratchDir dir;
    const auto file = dir.file("ddl.mdb");
    Database db(fixed_options());
    db.create(file, kLocale, 0);
    db.execute("CREATE TABLE [T]([A] LONG);", 128);
    const char* refused[] = {
        "CREATE TABLE [T]([X] LONG);",            // duplicate table
        "CREATE TABLE [t]([X] LONG);",            // names compare without case
        "CREATE TABLE [MSysObjects]([X] LONG);",  // the engine's own table
        "CREATE TABLE [U]([X] LONG, [x] TEXT);",  // duplicate column in one statement
        "ALTER TABLE [T] ADD [a] TEXT(10);",      // duplicate column
        "ALTER TABLE [Missing] ADD [X] LONG;",    // missing table
        "ALTER TABLE [MSysACEs] ADD [X] LONG;",   // the engine's own table
        "CREATE TABLE [U]([X] TEXT(256));",       // text longer than 255
        "CREATE TABLE [U]([X] TEXT(0));",         //
        "CREATE TABLE [U]([X] WIBBLE);",          // unknown type
        "CREATE TABLE [U]([X] LONG",              // syntax
        "CREATE TABLE [A.B]([X] LONG);",          // invalid names
        "CREATE TABLE [ Lead]([X] LONG);",        //
        "CREATE TABLE [U]([X!] LONG);",           //
        "ALTER TABLE [T] ADD [Tab\there] LONG;",  //
        "DROP TABLE [T];",                        // not a statement this engine runs
    };
    for (const char* s : refused)
        EXPECT_THROW(db.execute(s, 128), EngineError) << s;
    const std::string long_name(65, 'n');
    EXPECT_THROW(db.execute("CREATE TABLE [" + long_name + "]([X] LONG);", 128), EngineError);
    db.execute("CREATE TABLE [" + long_name.substr(1) + "]([X] LONG);", 128);
    // At most 255 columns.
    db.execute("CREATE TABLE [Wide]([C0] BIT);", 128);
    for (int i = 1; i < 255; ++i)
        db.execute("ALTER TABLE [Wide] ADD [C" + std::to_string(i) + "] BIT;", 128);
    EXPECT_THROW(db.execute("ALTER TABLE [Wide] ADD [C255] BIT;", 128), EngineError);
    db.close();
    expect_verified(file);

    const std::vector<std::string> tables{"T", long_name.substr(1), "Wide"};
    if (have_mdbtools()) {
        EXPECT_EQ(mdbtools_tables(file), tables);
        const auto t = mdbtools_export(file, "T");
        ASSERT_TRUE(t);
        EXPECT_EQ(t->header, std::vector<std::string>{"A"});
        const auto wide = mdbtools_export(file, "Wide");
        ASSERT_TRUE(wide);
        EXPECT_EQ(wide->header.size(), 255u);
    }
    if (have_mdb_reader()) {
        EXPECT_EQ(mdb_reader_tables(file), tables);
    }
}

TEST(WriterContract, FieldAndRecordFailures) {
    ScratchDir dir;
    const auto file = dir.file("rows.mdb");
    Database db(fixed_options());
    db.create(file, kLocale, 0);
    db.execute(
        "CREATE TABLE [R]([N] COUNTER, [I] SHORT, [T] TEXT(5), [B] BIT, [Big1] TEXT(255), "
        "[Big2] TEXT(255), [Big3] TEXT(255), [Big4] TEXT(255), [Big5] TEXT(255), [Big6] TEXT(255), "
        "[Big7] TEXT(255), [Big8] TEXT(255));",
        128);
    Recordset rs(db);
    EXPECT_FALSE(rs.is_open());
    EXPECT_THROW(rs.add_new(), EngineError);
    EXPECT_THROW(rs.open(-1, "SELECT * FROM [Missing]", 0), EngineError);
    EXPECT_THROW(rs.open(-1, "SELECT * FROM [MSysObjects]", 0), EngineError);
    EXPECT_THROW(rs.open(-1, "SELECT N FROM [R]", 0), EngineError);
    rs.open(-1, "SELECT * FROM [r]", 0);
    EXPECT_TRUE(rs.is_open());
    EXPECT_THROW(rs.update(), EngineError);  // no add_new yet

    // Row 1: failed conversions leave their fields unset; the row is stored.
    rs.add_new();
    rs.set_field_value("I", "12");
    EXPECT_THROW(rs.set_field_value("I", "abc"), EngineError);
    EXPECT_THROW(rs.set_field_value("T", "too long"), EngineError);
    EXPECT_THROW(rs.set_field_value("Nope", "1"), EngineError);
    EXPECT_THROW(rs.set_field_value("N", "5"), EngineError);  // autonumbers are the engine's
    rs.set_field_value("b", "Yes");
    rs.update();
    // Row 2: out of range, then a good value.
    rs.add_new();
    EXPECT_THROW(rs.set_field_value("I", "40000"), EngineError);
    rs.set_field_value(u"I", u"-7");  // the UTF-16 forms do the same
    rs.set_field_value("T", "five!");
    rs.update();
    // Row 3: too large for a record (8 x 255 non-Latin characters): refused.
    rs.add_new();
    const std::string greek = [] {
        std::string s;
        for (int i = 0; i < 255; ++i)
            s += "ω";
        return s;
    }();
    for (const char* f : {"Big1", "Big2", "Big3", "Big4", "Big5", "Big6", "Big7", "Big8"})
        rs.set_field_value(f, greek);
    EXPECT_THROW(rs.update(), EngineError);
    EXPECT_THROW(rs.update(), EngineError);  // the refused record is gone
    // Row 4: stored after the refusal, with the next autonumber.
    rs.add_new();
    rs.set_field_value("Big1", greek);
    rs.update();
    db.close();
    expect_verified(file);
    EXPECT_FALSE(rs.is_open());
    EXPECT_THROW(rs.add_new(), EngineError);

    const auto check = [&](const std::optional<tessaly::test::CsvTable>& t) {
        ASSERT_TRUE(t);
        EXPECT_EQ(column_of(*t, "N"), (std::vector<Opt>{"1", "2", "3"}));
        EXPECT_EQ(column_of(*t, "I"), (std::vector<Opt>{std::nullopt, "-7", std::nullopt}));
        EXPECT_EQ(column_of(*t, "T"), (std::vector<Opt>{std::nullopt, "five!", std::nullopt}));
        EXPECT_EQ(column_of(*t, "B"), (std::vector<Opt>{"1", "0", "0"}));
        EXPECT_TRUE(column_of(*t, "Big1") == (std::vector<Opt>{std::nullopt, std::nullopt, greek}));
    };
    if (have_mdbtools()) check(mdbtools_export(file, "R"));
    if (have_mdb_reader()) check(mdb_reader_export(file, "R"));
}

}  // namespace
}  // namespace tessaly::jetdb::test
