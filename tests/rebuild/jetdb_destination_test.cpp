// The table pass through our own writer: a small synthetic source of each
// version is rebuilt into a new database, which our reader then reads back.
#include "rebuild/jetdb_destination.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "log/activity_log.h"
#include "reader/catalog_list.h"
#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "rebuild/query_rebuild.h"
#include "rebuild/relationship_rebuild.h"
#include "rebuild/table_pass.h"
#include "support/jet_page_builder.h"
#include "support/recording_destination.h"
#include "support/temp_env.h"

namespace tessaly::rebuild {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// Every user table of `file` with its rows as our reader renders them.
std::map<std::string, Rows> read_all(const std::shared_ptr<reader::JetFile>& file,
                                     recovery::RecoveryState& state) {
    std::vector<reader::CatalogObject> objects;
    EXPECT_TRUE(reader::list_catalog(file, state, objects));
    std::map<std::string, Rows> out;
    for (const auto& o : objects) {
        if (!reader::is_user_table(o)) continue;
        auto def = reader::read_table_def({file, o.name, o.type, o.definition_page});
        if (!def || !reader::read_columns(*def)) continue;
        Rows& rows = out[o.name];
        reader::rewind_rows(*def);
        while (reader::next_row(*def, state) == 1)
            rows.push_back(state.column_values);
    }
    return out;
}

class JetdbDestinationTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { log::set_log_file_override(env.root() / "log.txt"); }
    void TearDown() override { log::set_log_file_override({}); }
    test::TempEnv env;
};

TEST_P(JetdbDestinationTest, RebuildsTablesAndRowsThatOurReaderReadsBack) {
    const bool jet4 = GetParam();
    recovery::RecoveryState state;
    auto source = reader::jet_open_bytes(test::sample_database(jet4), state);
    ASSERT_TRUE(source);
    const auto want = read_all(source, state);
    ASSERT_EQ(want.size(), 2u);

    const auto target = env.root() / "rebuilt.mdb";
    JetdbDestination engine;
    engine.create(target);
    test::RecordingDestination rec(*engine.bundle());
    state.save_active = true;
    state.destination = rec.bundle();
    std::vector<reader::CatalogObject> objects;
    ASSERT_TRUE(reader::list_catalog(source, state, objects));
    for (const auto& o : objects) {
        if (reader::is_user_table(o)) {
            EXPECT_EQ(process_table(state, source, o.type, o.definition_page, o.name), 1);
        }
        if (o.type == reader::kObjectTypeQuery) {
            EXPECT_EQ(rebuild_query(state, source, o.type, o.definition_page, o.name), 1);
        }
    }
    EXPECT_EQ(rebuild_relationships(state, source), 1);
    EXPECT_EQ(rec.refused_updates, 0);
    engine.bundle()->destDatabase->close();
    EXPECT_FALSE(engine.bundle()->destDatabase->is_open());

    recovery::RecoveryState check;
    auto rebuilt = reader::jet_open(target, check);
    ASSERT_TRUE(rebuilt);
    EXPECT_TRUE(rebuilt->is_jet4());
    EXPECT_EQ(read_all(rebuilt, check), want);
}

INSTANTIATE_TEST_SUITE_P(Versions, JetdbDestinationTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "jet4" : "jet3"; });

TEST(JetdbDestination, RefusalsArriveAsEngineErrors) {
    test::TempEnv env;
    JetdbDestination engine;
    Destination& d = *engine.bundle();
    // Nothing is open before create().
    EXPECT_FALSE(d.destDatabase->is_open());
    EXPECT_THROW(d.destRecordset->open(kDefaultRecordsetType, "SELECT * FROM [T]", 0),
                 jetdb::EngineError);
    engine.create(env.root() / "d.mdb");
    EXPECT_THROW(engine.create(env.root() / "e.mdb"), jetdb::EngineError);
    EXPECT_THROW(d.destDatabase->execute("CREATE TABLE", kFailOnError), jetdb::EngineError);
    EXPECT_THROW(d.destQueryDef->create("Q", "SELECT FROM WHERE"), jetdb::EngineError);
    EXPECT_FALSE(d.destQueryDef->is_open());
    d.destQueryDef->create("Q");
    EXPECT_TRUE(d.destQueryDef->is_open());
    d.destQueryDef->append();
    d.destQueryDef->close();
    EXPECT_THROW(
        {
            d.destQueryDef->create("Q");
            d.destQueryDef->append();
        },
        jetdb::EngineError);
    d.destQueryDef->close();
    EXPECT_THROW(d.destDatabase->create_relation("R", "A", "B", 0, "a", "b"), jetdb::EngineError);
    d.destDatabase->close();

    recovery::RecoveryState state;
    auto rebuilt = reader::jet_open(env.root() / "d.mdb", state);
    ASSERT_TRUE(rebuilt);
    std::vector<reader::CatalogObject> objects;
    ASSERT_TRUE(reader::list_catalog(rebuilt, state, objects));
    EXPECT_EQ(std::count_if(objects.begin(), objects.end(),
                            [](const auto& o) {
                                return o.type == reader::kObjectTypeQuery && o.name == "Q";
                            }),
              1);
}

}  // namespace
}  // namespace tessaly::rebuild
