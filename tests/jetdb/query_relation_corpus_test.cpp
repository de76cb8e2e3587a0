// Saved queries and relationships of the real files, through our writer and
// back: every corpus file that holds saved-query or relationship rows has its
// tables rebuilt into a new database; each saved query's rows are turned
// into SQL and stored through QueryDef, each one-field relationship through
// create_relation under its own name and flags. Our reader then reads the
// new file's MSysQueries and MSysRelationships, which must hold the source's
// rows (modulo the order of equivalent query rows), and the independent
// readers and the verifier must accept the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "jetdb/database.h"
#include "jetdb/engine_error.h"
#include "jetdb/query_format.h"
#include "jetdb/query_rows.h"
#include "jetdb/query_sql.h"
#include "log/activity_log.h"
#include "reader/catalog_list.h"
#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "rebuild/jetdb_destination.h"
#include "rebuild/query_rebuild.h"
#include "rebuild/relationship_rebuild.h"
#include "rebuild/system_tables.h"
#include "rebuild/table_pass.h"
#include "support/corpus.h"
#include "support/jet_verifier.h"
#include "support/oracles.h"
#include "support/temp_env.h"

namespace tessaly {
namespace {

namespace q = jetdb::query;
using rebuild::SavedQueryRow;

// A system table as our reader renders it.
struct SystemTable {
    std::vector<reader::ColumnDef> columns;
    std::vector<std::vector<std::string>> rows;
};

std::optional<SystemTable> read_system_table(const std::shared_ptr<reader::JetFile>& file,
                                             std::string_view name, std::int64_t fallback_page) {
    recovery::RecoveryState state;
    const std::int64_t page = rebuild::system_table_page(file, name, fallback_page);
    reader::CatalogEntry entry{file, std::string(name), 0, page};
    auto def = reader::read_table_def(entry);
    if (!def) return std::nullopt;
    if (!reader::read_columns(*def)) {
        reader::free_table_def(std::move(def), state);
        return std::nullopt;
    }
    SystemTable out;
    out.columns = def->columns;
    reader::rewind_rows(*def);
    while (reader::next_row(*def, state) == 1)
        out.rows.push_back(state.column_values);
    reader::free_table_def(std::move(def), state);
    return out;
}

// The saved-query rows of every query, by catalog key (low 24 bits of the
// ObjectId), in table order.
std::map<std::uint32_t, std::vector<SavedQueryRow>> query_rows(
    const std::shared_ptr<reader::JetFile>& file) {
    std::map<std::uint32_t, std::vector<SavedQueryRow>> out;
    const auto table =
        read_system_table(file, rebuild::kSavedQueryTableName, rebuild::kSavedQueryTablePage);
    if (!table) return out;
    const auto slots = rebuild::saved_query_slots(table->columns, file->is_jet4());
    for (const auto& values : table->rows) {
        SavedQueryRow row = rebuild::saved_query_row(values, slots);
        const auto id = static_cast<std::uint32_t>(reader::parse_catalog_number(row.object_id));
        out[id & rebuild::kQueryKeyMask].push_back(std::move(row));
    }
    return out;
}

// A rendered row as the writer's row type (an empty text reads as null).
jetdb::QueryRow to_query_row(const SavedQueryRow& r) {
    auto text = [](const std::string& s) -> std::optional<std::string> {
        if (s.empty()) return std::nullopt;
        return s;
    };
    jetdb::QueryRow row;
    row.attribute = static_cast<std::uint8_t>(reader::parse_catalog_number(r.attribute));
    row.expression = text(r.expression);
    if (!r.flag.empty())
        row.flag = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(reader::parse_catalog_number(r.flag)));
    row.name1 = text(r.name1);
    row.name2 = text(r.name2);
    if (!r.lv_extra.empty())
        row.lv_extra = static_cast<std::int32_t>(reader::parse_catalog_number(r.lv_extra));
    return row;
}

// What a comparison looks at: every field but the ObjectId and Order.
using RowKey = std::tuple<int, std::string, std::string, std::string, std::string, std::string>;

RowKey key_of(const SavedQueryRow& r) {
    return {static_cast<int>(reader::parse_catalog_number(r.attribute)),
            r.flag,
            r.name1,
            r.name2,
            r.lv_extra,
            r.expression};
}

// Rows sorted so that equivalent orders compare equal: by attribute; the
// order of parameters, output columns, groupings and sort terms is kept
// (columns and groupings also sorted by their crosstab flag), the rest is
// sorted by content.
std::vector<RowKey> canonical(const std::vector<SavedQueryRow>& rows) {
    std::vector<RowKey> keys;
    for (const auto& r : rows)
        keys.push_back(key_of(r));
    std::stable_sort(keys.begin(), keys.end(), [](const RowKey& a, const RowKey& b) {
        const int at = std::get<0>(a);
        if (at != std::get<0>(b)) return at < std::get<0>(b);
        if (at == q::kAttrColumn || at == q::kAttrGroupBy) return std::get<1>(a) < std::get<1>(b);
        if (at == q::kAttrParameter || at == q::kAttrOrderBy) return false;
        return a < b;
    });
    return keys;
}

std::string describe(const RowKey& k) {
    std::ostringstream s;
    s << "attr " << std::get<0>(k) << " flag [" << std::get<1>(k) << "] name1 [" << std::get<2>(k)
      << "] name2 [" << std::get<3>(k) << "] extra [" << std::get<4>(k) << "] expr ["
      << std::get<5>(k) << "]";
    return s.str();
}

// Lines of one side missing from the other ("-" source only, "+" ours only).
std::string row_diff(const std::vector<RowKey>& want, const std::vector<RowKey>& got) {
    std::ostringstream diff;
    for (const auto& r : want)
        if (std::find(got.begin(), got.end(), r) == got.end()) diff << "\n    - " << describe(r);
    for (const auto& r : got)
        if (std::find(want.begin(), want.end(), r) == want.end()) diff << "\n    + " << describe(r);
    if (diff.str().empty()) diff << "\n    (same rows, other order)";
    return diff.str();
}

// The relationship fields compared, by column name.
const std::vector<std::string> kRelationColumns = {"ccolumn",
                                                   "grbit",
                                                   "icolumn",
                                                   "szColumn",
                                                   "szObject",
                                                   "szReferencedColumn",
                                                   "szReferencedObject",
                                                   "szRelationship"};

using RelationRow = std::map<std::string, std::string>;

std::vector<RelationRow> relation_rows(const std::shared_ptr<reader::JetFile>& file) {
    std::vector<RelationRow> out;
    const auto table =
        read_system_table(file, rebuild::kRelationshipTableName, rebuild::kRelationshipTablePage);
    if (!table) return out;
    for (const auto& values : table->rows) {
        RelationRow row;
        for (const auto& name : kRelationColumns)
            row[name] = rebuild::slot_text(
                values, rebuild::column_slot(table->columns, name, rebuild::kNoSlot));
        out.push_back(std::move(row));
    }
    return out;
}

std::string describe(const RelationRow& r) {
    std::ostringstream s;
    for (const auto& [name, value] : r)
        s << name << "=" << value << " ";
    return s.str();
}

// A writer row as our reader renders it (the 16-bit Flag unsigned).
SavedQueryRow rendered(const jetdb::QueryRow& r) {
    SavedQueryRow row;
    row.attribute = std::to_string(r.attribute);
    row.expression = r.expression.value_or("");
    if (r.flag) row.flag = std::to_string(static_cast<std::uint16_t>(*r.flag));
    if (r.lv_extra) row.lv_extra = std::to_string(*r.lv_extra);
    row.name1 = r.name1.value_or("");
    row.name2 = r.name2.value_or("");
    return row;
}

struct Figures {
    int queries = 0, exact = 0, refused = 0, no_sql = 0;
    int relations = 0, relations_stored = 0, relations_refused = 0, multi_field = 0, system = 0;
    int mdb_queries_same = 0, mdb_queries_compared = 0;
};

TEST(QueryRelationCorpus, SavedQueriesAndRelationshipsComeBackAsStored) {
    if (test::corpus_dir().empty()) GTEST_SKIP() << "corpus absent";
    test::TempEnv env;
    log::set_log_file_override(env.root() / "log.txt");
    const bool have_mdbtools = test::have_program("mdb-export");
    const bool have_mdb_queries = test::have_program("mdb-queries");
    const bool have_mdb_reader = test::have_mdb_reader();

    Figures fig;
    std::ostringstream report;
    for (const auto& path : test::corpus_files()) {
        const std::string file_name = path.filename().string();
        SCOPED_TRACE(file_name);
        recovery::RecoveryState state;
        auto file = reader::jet_open(path, state);
        if (!file) continue;
        std::vector<reader::CatalogObject> objects;
        if (!reader::list_catalog(file, state, objects)) continue;

        auto source_queries = query_rows(file);
        const auto source_relations = relation_rows(file);
        std::map<std::uint32_t, std::string> query_names;
        for (const auto& o : objects)
            if (o.type == reader::kObjectTypeQuery && source_queries.count(o.definition_page))
                query_names[static_cast<std::uint32_t>(o.definition_page)] = o.name;
        if (query_names.empty() && source_relations.empty()) continue;

        // The tables, keys and rows through the rebuild's own table pass.
        const auto target = env.root() / path.filename();
        rebuild::JetdbDestination engine;
        ASSERT_NO_THROW(engine.create(target));
        state.save_active = true;
        state.destination = engine.bundle();
        for (const auto& o : objects)
            if (reader::is_user_table(o))
                rebuild::process_table(state, file, o.type, o.definition_page, o.name);
        state.destination = nullptr;
        jetdb::Database& db = engine.database();

        // Saved queries: rows -> SQL -> QueryDef.
        // name -> the source's rows and the rows the SQL text parses into
        std::map<std::string, std::pair<std::vector<RowKey>, std::vector<RowKey>>> stored;
        for (const auto& [key, name] : query_names) {
            const auto& rows = source_queries[key];
            std::vector<jetdb::QueryRow> parsed;
            for (const auto& r : rows)
                parsed.push_back(to_query_row(r));
            const auto sql = jetdb::format_query_sql(parsed);
            ++fig.queries;
            if (!sql) {
                ++fig.no_sql;
                report << "  " << file_name << " / " << name << ": no SQL form\n";
                continue;
            }
            jetdb::QueryDef query(db);
            try {
                query.create(name, *sql);
                query.append();
                std::vector<SavedQueryRow> expected;
                for (const auto& r : jetdb::parse_query_sql(*sql))
                    expected.push_back(rendered(r));
                stored[name] = {canonical(rows), canonical(expected)};
            } catch (const jetdb::EngineError& e) {
                ++fig.refused;
                report << "  " << file_name << " / " << name << ": refused: " << e.what()
                       << "\n    sql: " << *sql << "\n";
            }
            if (query.is_open()) query.close();
        }

        // Relationships: each one-field row under its own name and flags.
        std::vector<RelationRow> created;
        for (const auto& r : source_relations) {
            ++fig.relations;
            // Access's own relationships between its navigation tables: our
            // file holds no such tables.
            if (r.at("szObject").rfind("MSys", 0) == 0 ||
                r.at("szReferencedObject").rfind("MSys", 0) == 0) {
                ++fig.system;
                continue;
            }
            if (r.at("ccolumn") != "1") {
                ++fig.multi_field;
                report << "  " << file_name
                       << ": relation of several fields passed over: " << describe(r) << "\n";
                continue;
            }
            try {
                db.create_relation(
                    r.at("szRelationship"), r.at("szReferencedObject"), r.at("szObject"),
                    static_cast<std::int32_t>(reader::parse_catalog_number(r.at("grbit"))),
                    r.at("szReferencedColumn"), r.at("szColumn"));
                created.push_back(r);
            } catch (const jetdb::EngineError& e) {
                ++fig.relations_refused;
                report << "  " << file_name << ": relation refused: " << e.what() << ": "
                       << describe(r) << "\n";
            }
        }
        ASSERT_NO_THROW(db.close());

        // Our file, read back.
        recovery::RecoveryState check_state;
        auto ours = reader::jet_open(target, check_state);
        ASSERT_TRUE(ours);
        std::vector<reader::CatalogObject> our_objects;
        ASSERT_TRUE(reader::list_catalog(ours, check_state, our_objects));
        auto our_queries = query_rows(ours);
        for (const auto& [name, sides] : stored) {
            const auto& [want, parsed] = sides;
            const std::string label = file_name + " / " + name;
            const auto found = std::find_if(our_objects.begin(), our_objects.end(), [&](auto& o) {
                return o.type == reader::kObjectTypeQuery && o.name == name;
            });
            ASSERT_NE(found, our_objects.end()) << "saved query '" << name << "' missing";
            const auto got = canonical(our_queries[found->definition_page]);
            // The file holds exactly the rows the text parses into; so every
            // query whose text parses back into the source's rows is stored
            // as the source stores it.
            EXPECT_EQ(got, parsed)
                << label << ": stored rows differ from the parsed text:" << row_diff(parsed, got);
            if (got == want) {
                ++fig.exact;
            } else {
                report << "  " << label << ": differs" << row_diff(want, got) << "\n";
            }
        }
        const auto our_relations = relation_rows(ours);
        for (const auto& r : created) {
            EXPECT_NE(std::find(our_relations.begin(), our_relations.end(), r), our_relations.end())
                << "relation not stored as in the source: " << describe(r);
        }
        fig.relations_stored += static_cast<int>(created.size());

        // The independent readers and the verifier accept the file.
        const auto verified = test::verify_jet4(target);
        EXPECT_EQ(verified.error_count(), 0u) << verified.to_string();
        if (have_mdbtools) {
            const auto tables = test::mdbtools_tables(target);
            EXPECT_TRUE(tables) << "mdbtools cannot list the file";
            EXPECT_TRUE(test::mdbtools_export(target, "MSysRelationships"))
                << "mdbtools cannot export MSysRelationships";
            EXPECT_TRUE(test::mdbtools_export(target, "MSysQueries"))
                << "mdbtools cannot export MSysQueries";
            if (tables) {
                for (const auto& t : *tables) {
                    EXPECT_TRUE(test::mdbtools_export(target, t)) << "mdb-export " << t;
                }
            }
        }
        if (have_mdb_reader) {
            EXPECT_TRUE(test::mdb_reader_tables(target)) << "mdb-reader cannot list the file";
        }
        if (have_mdb_queries) {
            std::string listed;
            EXPECT_EQ(test::run_capture(
                          "mdb-queries -L " + test::shell_quote(target.string()) + " 2>/dev/null",
                          listed),
                      0);
            // Same text as on the source, per query, where mdb-queries prints one.
            for (const auto& entry : stored) {
                const std::string& name = entry.first;
                std::string theirs, mine;
                const int a = test::run_capture("mdb-queries " + test::shell_quote(path.string()) +
                                                    " " + test::shell_quote(name) + " 2>/dev/null",
                                                theirs);
                const int b =
                    test::run_capture("mdb-queries " + test::shell_quote(target.string()) + " " +
                                          test::shell_quote(name) + " 2>/dev/null",
                                      mine);
                EXPECT_EQ(b, 0) << "mdb-queries fails on " << name;
                if (a != 0 || theirs.empty()) continue;
                ++fig.mdb_queries_compared;
                if (theirs == mine) {
                    ++fig.mdb_queries_same;
                    continue;
                }
                report << "  " << file_name << " / " << name
                       << ": mdb-queries prints\n    source: " << theirs << "    ours:   " << mine;
            }
        }
    }
    if (fig.queries == 0 && fig.relations == 0) GTEST_SKIP() << "no saved queries or relations";
    std::cout << "Saved queries stored exactly: " << fig.exact << " of " << fig.queries << " ("
              << (fig.queries ? 100 * fig.exact / fig.queries : 0) << "%); refused " << fig.refused
              << ", without SQL form " << fig.no_sql << "\n"
              << "Relationships stored: " << fig.relations_stored << " of " << fig.relations
              << "; refused " << fig.relations_refused << ", of several fields " << fig.multi_field
              << "\n"
              << "mdb-queries text identical: " << fig.mdb_queries_same << " of "
              << fig.mdb_queries_compared << "\n"
              << "Mismatches:\n"
              << report.str();
    log::set_log_file_override({});
}

}  // namespace
}  // namespace tessaly
