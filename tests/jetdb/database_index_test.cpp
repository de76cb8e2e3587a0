// Keys and indexes of user tables: what the engine refuses, and index pages
// that hold every row's key in order, whether the index came before or after
// the rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "common/le.h"
#include "jetdb/index_key.h"
#include "jetdb/index_page_parse.h"
#include "jetdb/jet4_layout.h"
#include "jetdb/writer_fixture.h"
#include "support/corpus.h"
#include "support/oracles.h"

namespace tessaly::jetdb::test {
namespace {

using namespace layout;
using tessaly::test::have_mdb_reader;
using tessaly::test::mdb_reader_export;
using tessaly::test::mdbtools_export;
using tessaly::test::run_capture;
using tessaly::test::shell_quote;

std::vector<std::uint8_t> read_page(std::ifstream& in, std::uint32_t page) {
    std::vector<std::uint8_t> bytes(kPageSize);
    in.seekg(static_cast<std::streamoff>(page) * static_cast<std::streamoff>(kPageSize));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(kPageSize));
    return bytes;
}

// Root pages of the real indexes of the table whose definition starts on
// `tdef_page` (single-page definitions only).
std::vector<std::uint32_t> index_roots(std::ifstream& in, std::uint32_t tdef_page) {
    const auto page = read_page(in, tdef_page);
    ByteView v(page);
    const std::uint16_t columns = *v.u16(kTdefColumnCountOffset);
    const std::uint32_t real = *v.u32(kTdefRealIndexCountOffset);
    std::size_t pos =
        kTdefFixedHeaderSize + kTdefIndexRowCountSize * real + kColumnBlockSize * columns;
    for (std::uint16_t i = 0; i < columns; ++i)
        pos += 2 + *v.u16(pos);
    std::vector<std::uint32_t> roots;
    for (std::uint32_t i = 0; i < real; ++i)
        roots.push_back(*v.u32(pos + kRealIndexBlockSize * i + kRealIndexRootOffset));
    return roots;
}

// Every leaf entry's key (without the row pointer), left to right, reached
// from the root through node pages.
void collect_keys(std::ifstream& in, std::uint32_t page,
                  std::vector<std::vector<std::uint8_t>>& keys) {
    const auto bytes = read_page(in, page);
    const auto parsed = parse_index_page(bytes);
    ASSERT_TRUE(parsed) << "page " << page;
    if (parsed->type == kPageTypeIndexLeaf) {
        for (const auto& e : parsed->entries)
            keys.emplace_back(e.begin(), e.end() - kIndexEntryPointerSize);
        return;
    }
    std::vector<std::uint32_t> children;
    for (const auto& e : parsed->entries) {
        const std::size_t n = e.size();
        children.push_back(std::uint32_t{e[n - 4]} << 24 | std::uint32_t{e[n - 3]} << 16 |
                           std::uint32_t{e[n - 2]} << 8 | e[n - 1]);
    }
    if (parsed->tail && (children.empty() || children.back() != parsed->tail))
        children.push_back(parsed->tail);
    for (std::uint32_t child : children)
        collect_keys(in, child, keys);
}

std::uint32_t tdef_of(const std::filesystem::path& file, const std::string& table) {
    const auto catalog = mdbtools_export(file, "MSysObjects");
    if (!catalog) return 0;
    for (std::size_t r = 0; r < catalog->rows.size(); ++r)
        if (catalog->rows[r][2] == table)
            return static_cast<std::uint32_t>(std::stoul(*catalog->rows[r][0]));
    return 0;
}

std::vector<std::uint8_t> long_key(std::int32_t v, bool ascending = true) {
    ColumnSpec spec;
    spec.type = ColumnType::Long;
    FieldValue f;
    f.is_null = false;
    f.bytes.resize(4);
    put_u32(f.bytes, 0, static_cast<std::uint32_t>(v));
    std::vector<std::uint8_t> key;
    append_index_key(key, spec, f, ascending);
    return key;
}

TEST(WriterIndexes, KeysAndIndexesBeforeAndAfterRows) {
    if (!have_mdbtools()) GTEST_SKIP() << "mdbtools absent";
    ScratchDir dir;
    const auto file = dir.file("keys.mdb");
    constexpr int kRows = 3000;  // several leaves and a node level
    std::vector<std::int32_t> ids;
    {
        Database db(fixed_options());
        db.create(file, kLocale, 0);
        db.execute("CREATE TABLE [T]([Id] LONG);", 128);
        db.execute("ALTER TABLE [T] ADD PRIMARY KEY ([Id]);", 128);
        db.execute("ALTER TABLE [T] ADD [Name] TEXT(50);", 128);
        db.execute("CREATE INDEX MyIndex1 ON [T]([Name])", 128);
        db.execute("ALTER TABLE [T] ADD [Score] LONG;", 128);
        Recordset rs(db);
        rs.open(-1, "SELECT * FROM [T]", 0);
        for (int i = 0; i < kRows; ++i) {
            const std::int32_t id = (i * 7919) % 100003 - 50000;
            ids.push_back(id);
            rs.add_new();
            rs.set_field_value("Id", std::to_string(id));
            rs.set_field_value("Name", "Name " + std::to_string(i % 700));
            rs.set_field_value("Score", std::to_string(i % 3 ? i : -i));
            rs.update();
        }
        // The primary key refuses duplicates and nulls; the row is not stored.
        rs.add_new();
        rs.set_field_value("Id", std::to_string(ids[5]));
        EXPECT_THROW(rs.update(), EngineError);
        rs.add_new();
        rs.set_field_value("Name", "no id");
        EXPECT_THROW(rs.update(), EngineError);
        // Indexes over stored rows: refused when the rows break them.
        EXPECT_THROW(db.execute("CREATE UNIQUE INDEX U1 ON [T]([Name])", 128), EngineError);
        db.execute("CREATE UNIQUE INDEX U2 ON [T]([Score] DESC, [Id])", 128);
        EXPECT_THROW(db.execute("ALTER TABLE [T] ADD CONSTRAINT [PK2] PRIMARY KEY ([Score]);", 128),
                     EngineError);
        EXPECT_THROW(db.execute("CREATE INDEX MyIndex1 ON [T]([Score])", 128), EngineError);
        EXPECT_THROW(db.execute("CREATE INDEX X ON [T]([Missing])", 128), EngineError);
        EXPECT_THROW(db.execute("CREATE INDEX X ON [Missing]([Id])", 128), EngineError);
        db.execute("ALTER TABLE [T] ADD [Notes] MEMO;", 128);
        EXPECT_THROW(db.execute("CREATE INDEX X ON [T]([Notes])", 128), EngineError);
        // Rows after the late index are checked by it too.
        rs.add_new();
        rs.set_field_value("Id", "999999");
        rs.set_field_value("Score", "3");
        rs.update();
        ids.push_back(999999);
        db.close();
    }
    expect_verified(file);

    std::string schema;
    run_capture("mdb-schema --indexes " + shell_quote(file.string()) + " postgres 2>/dev/null",
                schema);
    EXPECT_NE(schema.find(R"(ALTER TABLE "t" ADD CONSTRAINT "t_pkey" PRIMARY KEY ("id");)"),
              std::string::npos);
    EXPECT_NE(schema.find(R"(CREATE INDEX "t_myindex1_idx" ON "t" ("name");)"), std::string::npos);
    EXPECT_NE(schema.find(R"(CREATE UNIQUE INDEX "t_u2_idx" ON "t" ("score" DESC, "id");)"),
              std::string::npos);

    const auto t = mdbtools_export(file, "T");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->rows.size(), ids.size());
    if (have_mdb_reader()) {
        const auto r = mdb_reader_export(file, "T");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->rows.size(), ids.size());
    }

    // The primary key's pages hold every row's key once, in order.
    std::ifstream in(file, std::ios::binary);
    const auto roots = index_roots(in, tdef_of(file, "T"));
    ASSERT_EQ(roots.size(), 3u);
    std::vector<std::vector<std::uint8_t>> keys;
    collect_keys(in, roots[0], keys);
    std::vector<std::vector<std::uint8_t>> expected;
    for (auto id : ids)
        expected.push_back(long_key(id));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(keys, expected);
    for (std::size_t r = 1; r < roots.size(); ++r) {
        std::vector<std::vector<std::uint8_t>> other;
        collect_keys(in, roots[r], other);
        EXPECT_EQ(other.size(), ids.size());
        EXPECT_TRUE(std::is_sorted(other.begin(), other.end()));
    }
}

}  // namespace
}  // namespace tessaly::jetdb::test
