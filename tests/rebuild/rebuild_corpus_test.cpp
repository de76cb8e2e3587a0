// End to end over the real files: every table our reader can read is rebuilt
// into a new database through our own writer, then the result is read back by
// our reader and by the independent readers. Each table must hold the
// source's non-empty rows as our reader renders them, except the records the
// writer refused (counted per file and checked against what refused them).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "log/activity_log.h"
#include "reader/catalog_list.h"
#include "reader/index_def.h"
#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "reader/value_render.h"
#include "rebuild/jetdb_destination.h"
#include "rebuild/query_rebuild.h"
#include "rebuild/relationship_rebuild.h"
#include "rebuild/table_pass.h"
#include "support/corpus.h"
#include "support/jet_page_builder.h"
#include "support/oracles.h"
#include "support/recording_destination.h"
#include "support/temp_env.h"

namespace tessaly::rebuild {
namespace {

using Row = std::vector<std::string>;

struct TableRead {
    std::vector<reader::ColumnDef> columns;
    std::vector<reader::IndexDef> indexes;
    std::vector<Row> rows;  // non-empty rows, in reading order

    // The names of an index's key columns.
    std::vector<std::string> key_names(const reader::IndexDef& index) const {
        std::vector<std::string> out;
        for (std::int32_t key : index.keys) {
            for (const auto& c : columns)
                if (c.number == key - 1) out.push_back(c.name);
        }
        return out;
    }
};

// Reads one table with our reader; nullopt when its definition is unreadable.
std::optional<TableRead> read_table(const std::shared_ptr<reader::JetFile>& file,
                                    const std::string& name, std::int64_t page,
                                    recovery::RecoveryState& state) {
    reader::CatalogEntry entry{file, name, reader::kObjectTypeTable, page};
    auto def = reader::read_table_def(entry);
    if (!def || !reader::read_columns(*def) || def->columns.empty()) return std::nullopt;
    TableRead out;
    out.columns = def->columns;
    reader::read_indexes(*def);
    out.indexes = def->indexes;
    reader::rewind_rows(*def);
    while (reader::next_row(*def, state) == 1) {
        const Row& v = state.column_values;
        if (std::any_of(v.begin(), v.end(), [](const std::string& s) { return !s.empty(); }))
            out.rows.push_back(v);
    }
    return out;
}

// What a value becomes after the trip through the destination: numeric
// columns are rebuilt as DOUBLE, so they compare by value.
bool same_value(const reader::ColumnDef& column, const std::string& want, const std::string& got) {
    if (want == got) return true;
    if (column.type != reader::kTypeNumeric || want.empty() || got.empty()) return false;
    const double a = std::stod(want), b = std::stod(got);
    return std::fabs(a - b) <= 1e-12 * std::max(1.0, std::fabs(a));
}

// The value a field has when the destination refused its text: unset.
std::string unset_value(const reader::ColumnDef& column) {
    return column.type == reader::kTypeBoolean ? "0" : "";
}

// A key or index the destination accepted: its name ("" for an unnamed
// primary key), whether it is the primary key, and its column names.
struct AcceptedIndex {
    std::string name;
    bool primary = false;
    std::vector<std::string> columns;
};

struct TableOutcome {
    std::vector<bool> update_refused;                  // per copied row
    std::vector<std::set<std::string>> field_refused;  // per copied row
    bool created = false;
    std::vector<AcceptedIndex> indexes;
};

// The column names of a statement's "([a], [b])" list.
std::vector<std::string> bracket_list(const std::string& statement) {
    std::vector<std::string> out;
    std::size_t at = statement.rfind("([");
    const std::size_t end = statement.rfind("])");
    if (at == std::string::npos || end == std::string::npos || end < at) return out;
    const std::string list = statement.substr(at + 2, end - at - 2);
    for (std::size_t from = 0;;) {
        const std::size_t sep = list.find("], [", from);
        out.push_back(list.substr(from, sep == std::string::npos ? std::string::npos : sep - from));
        if (sep == std::string::npos) break;
        from = sep + 4;
    }
    return out;
}

std::optional<AcceptedIndex> accepted_index(const std::string& statement) {
    AcceptedIndex index;
    if (statement.find(" ADD PRIMARY KEY (") != std::string::npos ||
        statement.find(" ADD Constraint [PK_") != std::string::npos) {
        index.primary = true;
        if (const auto at = statement.find("Constraint ["); at != std::string::npos)
            index.name = statement.substr(at + 12, statement.find(']', at) - at - 12);
    } else if (statement.rfind("CREATE INDEX ", 0) == 0) {
        index.name = statement.substr(13, statement.find(' ', 13) - 13);
    } else {
        return std::nullopt;
    }
    index.columns = bracket_list(statement);
    return index;
}

// Splits the recorded calls into per-table outcomes.
std::map<std::string, TableOutcome> outcomes(const test::RecordingDestination& rec) {
    std::map<std::string, TableOutcome> out;
    TableOutcome* current = nullptr;
    std::set<std::string> fields;
    // The statements of a table run just before its recordset is opened.
    TableOutcome schema;
    for (const auto& call : rec.calls) {
        if (call.op == "execute" && !call.refused) {
            const std::string& statement = call.args[0];
            if (statement.rfind("CREATE TABLE [", 0) == 0) schema.created = true;
            if (auto index = accepted_index(statement)) schema.indexes.push_back(*index);
        } else if (call.op == "open") {
            const std::string& sql = call.args[1];
            current = &out[sql.substr(15, sql.size() - 16)];
            current->created = schema.created;
            current->indexes = std::move(schema.indexes);
            schema = {};
        } else if (call.op == "add_new") {
            fields.clear();
            if (call.refused && current) {
                current->update_refused.push_back(true);
                current->field_refused.push_back({});
            }
        } else if (call.op == "set_field_value" && call.refused) {
            fields.insert(call.args[0]);
        } else if (call.op == "update" && current) {
            current->update_refused.push_back(call.refused);
            current->field_refused.push_back(fields);
        }
    }
    return out;
}

struct FileFigures {
    int tables = 0, created = 0, rows = 0, stored = 0, refused_rows = 0, refused_fields = 0;
    int indexes = 0, queries = 0, queries_stored = 0, queries_empty = 0, relations_stored = 0;
    int refused_statements = 0;

    void add(const FileFigures& f) {
        tables += f.tables;
        created += f.created;
        rows += f.rows;
        stored += f.stored;
        refused_rows += f.refused_rows;
        refused_fields += f.refused_fields;
        indexes += f.indexes;
        queries += f.queries;
        queries_stored += f.queries_stored;
        queries_empty += f.queries_empty;
        refused_statements += f.refused_statements;
        relations_stored += f.relations_stored;
    }
};

std::ostream& operator<<(std::ostream& out, const FileFigures& f) {
    return out << f.created << "/" << f.tables << " tables, " << f.stored << "/" << f.rows
               << " rows, " << f.refused_rows << " refused rows, " << f.refused_fields
               << " refused fields, " << f.refused_statements << " refused statements, "
               << f.indexes << " keys and indexes, " << f.queries_stored << "/" << f.queries
               << " saved queries (" << f.queries_empty << " empty), " << f.relations_stored
               << " relations";
}

TEST(RebuildCorpus, EveryReadableTableIsRebuiltWithItsRows) {
    if (test::corpus_dir().empty()) GTEST_SKIP() << "corpus absent";
    test::TempEnv env;
    log::set_log_file_override(env.root() / "log.txt");
    const bool have_mdbtools = test::have_program("mdb-export");
    const bool have_mdb_reader = test::have_mdb_reader();

    FileFigures total;
    std::ostringstream report;
    for (const auto& path : test::corpus_files()) {
        SCOPED_TRACE(path.filename().string());
        recovery::RecoveryState state;
        auto file = reader::jet_open(path, state);
        if (!file) continue;
        std::vector<reader::CatalogObject> objects;
        if (!reader::list_catalog(file, state, objects)) continue;

        const auto target = env.root() / path.filename();
        JetdbDestination engine;
        ASSERT_NO_THROW(engine.create(target));
        test::RecordingDestination rec(*engine.bundle());
        state.save_active = true;
        state.destination = rec.bundle();

        std::map<std::string, TableRead> source;
        for (const auto& o : objects) {
            if (!reader::is_user_table(o)) continue;
            auto read = read_table(file, o.name, o.definition_page, state);
            if (!read) continue;
            source[o.name] = std::move(*read);
            ASSERT_EQ(process_table(state, file, o.type, o.definition_page, o.name), 1);
            EXPECT_EQ(file->table_record_count,
                      static_cast<std::int64_t>(source[o.name].rows.size()));
        }
        FileFigures figures;
        for (const auto& o : objects) {
            if (o.type == reader::kObjectTypeQuery && o.name.rfind("~s", 0) != 0) {
                EXPECT_EQ(rebuild_query(state, file, o.type, o.definition_page, o.name), 1);
                ++figures.queries;
                // Every saved query is at least attempted under its own name.
                const auto creates = rec.calls_of("create_query");
                EXPECT_TRUE(std::any_of(creates.begin(), creates.end(), [&](const auto& c) {
                    return c.rfind(o.name + "|", 0) == 0 || c == o.name;
                })) << o.name;
            }
        }
        EXPECT_EQ(rebuild_relationships(state, file), 1);
        state.destination = nullptr;
        ASSERT_NO_THROW(engine.database().close());

        if (const char* keep = std::getenv("TESSALY_KEEP_REBUILT"))
            std::filesystem::copy_file(target, std::filesystem::path(keep) / path.filename(),
                                       std::filesystem::copy_options::overwrite_existing);
        const auto results = outcomes(rec);
        recovery::RecoveryState check_state;
        auto rebuilt = reader::jet_open(target, check_state);
        ASSERT_TRUE(rebuilt);
        std::vector<reader::CatalogObject> rebuilt_objects;
        ASSERT_TRUE(reader::list_catalog(rebuilt, check_state, rebuilt_objects));
        std::map<std::string, std::int64_t> rebuilt_pages;
        std::set<std::string> rebuilt_queries;
        for (const auto& o : rebuilt_objects) {
            if (reader::is_user_table(o)) rebuilt_pages[o.name] = o.definition_page;
            if (o.type == reader::kObjectTypeQuery) rebuilt_queries.insert(o.name);
        }
        // Every saved query the destination took is in the rebuilt catalog.
        for (const auto& [name, sql] : rec.queries)
            EXPECT_TRUE(rebuilt_queries.count(name)) << "saved query '" << name << "' missing";
        const auto oracle_tables = have_mdbtools ? test::mdbtools_tables(target) : std::nullopt;
        const auto reader_tables = have_mdb_reader ? test::mdb_reader_tables(target) : std::nullopt;
        if (have_mdb_reader) {
            EXPECT_TRUE(reader_tables) << "mdb-reader cannot list the rebuilt file";
        }
        if (have_mdbtools) {
            EXPECT_TRUE(oracle_tables) << "mdbtools cannot list the rebuilt file";
        }

        // mdb-reader starts a Node process per call: it exports one table per file.
        std::string largest;
        for (const auto& [name, table] : source)
            if (largest.empty() || table.rows.size() > source[largest].rows.size()) largest = name;
        figures.queries_stored = static_cast<int>(rec.queries.size());
        figures.relations_stored = static_cast<int>(rec.relations.size());
        for (const auto& [name, sql] : rec.queries)
            figures.queries_empty += sql.empty();
        for (const auto& call : rec.calls) {
            if (call.op == "create_query" && call.refused && std::getenv("TESSALY_SHOW_QUERIES"))
                report << "  refused query: " << call.args[0] << ": " << call.args[1] << "\n";
            if (call.op == "execute" && call.refused) {
                ++figures.refused_statements;
                report << "  refused: " << call.args[0] << "\n";
            }
        }
        for (const auto& [name, table] : source) {
            SCOPED_TRACE(name);
            ++figures.tables;
            figures.rows += static_cast<int>(table.rows.size());
            const auto found = results.find(name);
            if (found == results.end() || !found->second.created) {
                EXPECT_FALSE(rebuilt_pages.count(name));
                report << "  " << path.filename().string() << ": table '" << name
                       << "' not created\n";
                continue;
            }
            ++figures.created;
            const TableOutcome& outcome = found->second;
            ASSERT_EQ(outcome.update_refused.size(), table.rows.size());
            ASSERT_TRUE(rebuilt_pages.count(name));

            // The rows the destination should hold, with refused fields unset.
            std::vector<Row> want;
            for (std::size_t r = 0; r < table.rows.size(); ++r) {
                if (outcome.update_refused[r]) {
                    ++figures.refused_rows;
                    continue;
                }
                Row row = table.rows[r];
                for (std::size_t c = 0; c < table.columns.size(); ++c) {
                    if (outcome.field_refused[r].count(table.columns[c].name)) {
                        row[c] = unset_value(table.columns[c]);
                        ++figures.refused_fields;
                    }
                }
                want.push_back(std::move(row));
            }
            figures.stored += static_cast<int>(want.size());

            auto got = read_table(rebuilt, name, rebuilt_pages[name], check_state);
            ASSERT_TRUE(got);
            ASSERT_EQ(got->rows.size(), want.size());
            // Columns the destination refused are absent; compare by name.
            std::map<std::string, std::size_t> got_column;
            for (std::size_t c = 0; c < got->columns.size(); ++c)
                got_column[got->columns[c].name] = c;
            for (std::size_t r = 0; r < want.size(); ++r) {
                for (std::size_t c = 0; c < table.columns.size(); ++c) {
                    const auto at = got_column.find(table.columns[c].name);
                    if (at == got_column.end()) continue;
                    EXPECT_TRUE(same_value(table.columns[c], want[r][c], got->rows[r][at->second]))
                        << "row " << r << " column " << table.columns[c].name << ": want '"
                        << want[r][c] << "' got '" << got->rows[r][at->second] << "'";
                }
            }
            // Every key and index the destination accepted is in the rebuilt table.
            for (const AcceptedIndex& index : outcome.indexes) {
                const bool present =
                    std::any_of(got->indexes.begin(), got->indexes.end(), [&](const auto& d) {
                        if (index.primary ? d.type != 1 : d.name != index.name) return false;
                        return got->key_names(d) == index.columns;
                    });
                EXPECT_TRUE(present) << "index '" << index.name << "' missing";
                ++figures.indexes;
            }
            // Only a key can make the destination refuse a whole record.
            const bool keyed = std::any_of(outcome.indexes.begin(), outcome.indexes.end(),
                                           [](const AcceptedIndex& i) { return i.primary; });
            const auto refused_here =
                std::count(outcome.update_refused.begin(), outcome.update_refused.end(), true);
            EXPECT_TRUE(refused_here == 0 || keyed) << refused_here << " records refused";

            if (oracle_tables) {
                EXPECT_NE(std::find(oracle_tables->begin(), oracle_tables->end(), name),
                          oracle_tables->end());
                auto exported = test::mdbtools_export(target, name);
                EXPECT_TRUE(exported) << "mdbtools cannot export the rebuilt table";
                if (exported) {
                    EXPECT_EQ(exported->rows.size(), want.size());
                }
            }
            if (reader_tables) {
                EXPECT_NE(std::find(reader_tables->begin(), reader_tables->end(), name),
                          reader_tables->end());
            }
            if (reader_tables && name == largest) {
                auto exported = test::mdb_reader_export(target, name);
                EXPECT_TRUE(exported) << "mdb-reader cannot export the rebuilt table";
                if (exported) {
                    EXPECT_EQ(exported->rows.size(), want.size());
                }
            }
        }
        EXPECT_EQ(figures.refused_fields, 0) << "values the destination could not take";
        report << path.filename().string() << ": " << figures << "\n";
        total.add(figures);
    }
    std::cout << report.str() << "total: " << total << "\n";
    log::set_log_file_override({});
}

}  // namespace
}  // namespace tessaly::rebuild
