// Saved queries of the real files, both directions: the source's MSysQueries
// rows (read with mdbtools for now) are turned into SQL text by the query
// rebuild, that text is parsed into rows as the writer stores them, and the
// result is compared with the source's rows, modulo the order of equivalent
// rows. The text reconstruction loses some things by design (it writes every
// query as a SELECT, keeps one unjoined input table, drops DISTINCTROW without
// parameters...): those queries are listed with the reason; every query
// without such a loss must come back exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <sstream>
#include <tuple>

#include "jetdb/engine_error.h"
#include "jetdb/query_format.h"
#include "jetdb/query_rows.h"
#include "jetdb/query_sql.h"
#include "rebuild/query_text.h"
#include "support/corpus.h"
#include "support/oracles.h"

namespace tessaly {
namespace {

namespace q = jetdb::query;
using jetdb::QueryRow;
using rebuild::SavedQueryRow;

struct SourceQuery {
    std::string file;
    std::string name;
    std::vector<QueryRow> rows;
    std::vector<SavedQueryRow> rendered;  // the same rows as the reader renders them
};

std::optional<long long> to_number(const std::optional<std::string>& text) {
    if (!text || text->empty()) return std::nullopt;
    return std::stoll(*text);
}

std::string render_flag(const std::optional<std::int16_t>& flag) {
    // The reader renders the 16-bit Flag column unsigned.
    return flag ? std::to_string(static_cast<std::uint16_t>(*flag)) : std::string();
}

// Every saved query of every corpus file, rows in table order (read once).
const std::vector<SourceQuery>& corpus_queries() {
    static std::vector<SourceQuery> out;
    static bool loaded = false;
    if (loaded) return out;
    loaded = true;
    for (const auto& file : test::corpus_files()) {
        auto table = test::mdbtools_export(file, "MSysQueries");
        if (!table || table->rows.empty()) continue;
        std::map<long long, std::string> names;
        if (auto objects = test::mdbtools_export(file, "MSysObjects")) {
            const auto& h = objects->header;
            const auto id_col = std::find(h.begin(), h.end(), "Id") - h.begin();
            const auto name_col = std::find(h.begin(), h.end(), "Name") - h.begin();
            for (const auto& r : objects->rows) {
                if (auto id = to_number(r[id_col]); id && r[name_col]) names[*id] = *r[name_col];
            }
        }
        std::map<std::string, std::size_t> col;
        for (std::size_t i = 0; i < table->header.size(); ++i)
            col[table->header[i]] = i;
        auto field = [&](const auto& r, const char* name) -> std::optional<std::string> {
            auto it = col.find(name);
            return it == col.end() ? std::nullopt : r[it->second];
        };
        std::map<long long, std::size_t> index;
        for (const auto& r : table->rows) {
            const long long id = to_number(field(r, "ObjectId")).value_or(0);
            if (!index.count(id)) {
                index[id] = out.size();
                out.push_back(
                    {file.filename().string(), names.count(id) ? names[id] : "?", {}, {}});
            }
            QueryRow row;
            row.attribute = static_cast<std::uint8_t>(to_number(field(r, "Attribute")).value_or(0));
            row.expression = field(r, "Expression");
            if (auto f = to_number(field(r, "Flag"))) row.flag = static_cast<std::int16_t>(*f);
            row.name1 = field(r, "Name1");
            row.name2 = field(r, "Name2");
            if (auto x = to_number(field(r, "LvExtra")))
                row.lv_extra = static_cast<std::int32_t>(*x);
            SourceQuery& query = out[index[id]];
            query.rendered.push_back({std::to_string(id), std::to_string(row.attribute),
                                      row.expression.value_or(""), render_flag(row.flag),
                                      row.lv_extra ? std::to_string(*row.lv_extra) : "",
                                      row.name1.value_or(""), row.name2.value_or(""), ""});
            query.rows.push_back(std::move(row));
        }
    }
    return out;
}

// Sorts rows so that equivalent orders compare equal: by attribute, output
// columns and groupings also by their crosstab flag; the order of parameters,
// columns, groupings and sort terms is kept, the rest sorted by content.
std::vector<QueryRow> canonical(std::vector<QueryRow> rows) {
    auto content = [](const QueryRow& r) {
        return std::tie(r.expression, r.flag, r.name1, r.name2, r.lv_extra);
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const QueryRow& a, const QueryRow& b) {
        if (a.attribute != b.attribute) return a.attribute < b.attribute;
        const auto at = a.attribute;
        if (at == q::kAttrColumn || at == q::kAttrGroupBy) return a.flag < b.flag;
        if (at == q::kAttrParameter || at == q::kAttrOrderBy) return false;
        return content(a) < content(b);
    });
    return rows;
}

std::string describe(const QueryRow& r) {
    std::ostringstream s;
    s << "attr " << int(r.attribute);
    if (r.flag) s << " flag " << *r.flag;
    if (r.name1) s << " name1 [" << *r.name1 << "]";
    if (r.name2) s << " name2 [" << *r.name2 << "]";
    if (r.lv_extra) s << " extra " << *r.lv_extra;
    if (r.expression) s << " expr [" << *r.expression << "]";
    return s.str();
}

// Why the text reconstruction cannot reproduce these rows, or empty.
std::string known_loss(const std::vector<QueryRow>& rows) {
    const QueryRow* kind = nullptr;
    const QueryRow* options = nullptr;
    const QueryRow* first_table = nullptr;
    bool parameters = false;
    std::vector<const QueryRow*> joins;
    for (const QueryRow& r : rows) {
        if (r.attribute == q::kAttrStart && !r.flag) return "start marker without a flag";
        if (r.attribute == q::kAttrKind) kind = &r;
        if (r.attribute == q::kAttrOptions) options = &r;
        if (r.attribute == q::kAttrParameter) parameters = true;
        if (r.attribute == q::kAttrTable && !first_table) first_table = &r;
        if (r.attribute == q::kAttrJoin) joins.push_back(&r);
        if (r.attribute == q::kAttrColumn && r.name1 && r.name1->size() == 1) {
            return "one-character alias dropped";
        }
    }
    if (!kind) return "no query kind row";
    if (kind->flag != q::kKindSelect)
        return "query kind " + std::to_string(kind->flag.value_or(-1)) +
               " written as a select query";
    if (!options) return "no options row";
    const int bits = options->flag.value_or(0);
    const int kept = (parameters ? q::kOptionDistinctRow : 0) |
                     (bits == q::kOptionDistinct ? q::kOptionDistinct : 0) |
                     (bits & (q::kOptionTop | q::kOptionPercent));
    if (bits != kept)
        return "option bits " + std::to_string(bits) + " become " + std::to_string(kept);
    // The text names the first input table (or the last aliased one) and the
    // right table of each join; a join nests the ones before it, which reads
    // back the same only when each join's right table is the left table of
    // the join before it.
    std::vector<std::string> named;
    if (first_table && first_table->name1) named.push_back(*first_table->name1);
    for (std::size_t i = 0; i < joins.size(); ++i) {
        if (i > 0 && joins[i]->name2 != joins[i - 1]->name1) return "joins nested in another order";
        if (i > 0 && joins[i]->flag == q::kJoinRight) return "nested right join written as inner";
        named.push_back(joins[i]->name2.value_or(""));
    }
    for (std::size_t i = 0; i < named.size(); ++i) {
        if (std::count(named.begin(), named.end(), named[i]) > 1) {
            return "table '" + named[i] + "' named twice by the rebuilt joins";
        }
    }
    for (const QueryRow& r : rows) {
        if (r.attribute != q::kAttrTable || &r == first_table || r.name2) continue;
        if (std::find(named.begin(), named.end(), r.name1.value_or("")) == named.end()) {
            return "unjoined input table '" + r.name1.value_or("") + "' dropped";
        }
    }
    return {};
}

TEST(QueryRoundTrip, CorpusQueriesComeBackAsStored) {
    if (test::corpus_dir().empty()) GTEST_SKIP() << "corpus absent";
    if (!test::have_program("mdb-export")) GTEST_SKIP() << "mdbtools absent";
    const std::vector<SourceQuery>& queries = corpus_queries();
    ASSERT_FALSE(queries.empty());

    int exact = 0;
    int refused = 0;
    std::ostringstream report;
    for (const SourceQuery& query : queries) {
        const std::string sql = rebuild::build_query_text(query.rendered);
        const std::string loss = known_loss(query.rows);
        std::string outcome;
        std::vector<QueryRow> parsed;
        try {
            parsed = jetdb::parse_query_sql(sql);
        } catch (const jetdb::EngineError& e) {
            outcome = std::string("refused: ") + e.what();
            ++refused;
        }
        const auto want = canonical(query.rows);
        const auto got = canonical(parsed);
        if (outcome.empty() && want == got) {
            ++exact;
            continue;
        }
        std::ostringstream diff;
        if (outcome.empty()) {
            for (const auto& r : want) {
                if (std::find(got.begin(), got.end(), r) == got.end())
                    diff << "\n    - " << describe(r);
            }
            for (const auto& r : got) {
                if (std::find(want.begin(), want.end(), r) == want.end())
                    diff << "\n    + " << describe(r);
            }
            if (diff.str().empty()) diff << "\n    (same rows, other order)";
            outcome = "differs";
        }
        report << "  " << query.file << " / " << query.name << ": " << outcome
               << (loss.empty() ? "" : " [" + loss + "]") << "\n    sql: " << sql << diff.str()
               << "\n";
        EXPECT_FALSE(loss.empty())
            << query.file << " / " << query.name << " has nothing the text loses, yet: " << outcome
            << diff.str() << "\n  sql: " << sql;
    }
    std::cout << "Saved queries round-tripping exactly: " << exact << " of " << queries.size()
              << " (" << (100 * exact / static_cast<int>(queries.size()))
              << "%); refused (stored as"
              << " empty queries): " << refused << "\n"
              << "Mismatches:\n"
              << report.str();
}

// What SQL text cannot carry: the alias of a crosstab's column heading, and
// the missing options row of crosstabs older Access versions wrote.
std::string sql_cannot_say(const std::vector<QueryRow>& rows) {
    bool crosstab = false;
    bool options = false;
    for (const QueryRow& r : rows) {
        if (r.attribute == q::kAttrKind && r.flag == q::kKindCrosstab) crosstab = true;
        if (r.attribute == q::kAttrOptions) options = true;
    }
    for (const QueryRow& r : rows) {
        if (crosstab && r.attribute == q::kAttrColumn && r.flag == q::kCrosstabColumnHeading &&
            r.name1) {
            return "alias of the column heading";
        }
    }
    return crosstab && !options ? "crosstab without options row" : "";
}

// The parser's storage conventions against Access's own rows, for every query
// kind: each query written out whole as SQL must parse back into its rows.
// Rows that other tools wrote without markers, and pass-through queries (no
// SQL of ours), are only listed.
TEST(QueryRoundTrip, CorpusQueriesWrittenWholeParseBackAsStored) {
    if (test::corpus_dir().empty()) GTEST_SKIP() << "corpus absent";
    if (!test::have_program("mdb-export")) GTEST_SKIP() << "mdbtools absent";
    int exact = 0;
    int total = 0;
    std::ostringstream report;
    for (const SourceQuery& query : corpus_queries()) {
        const auto sql = jetdb::format_query_sql(query.rows);
        if (!sql) continue;
        ++total;
        std::string outcome;
        std::vector<QueryRow> parsed;
        try {
            parsed = jetdb::parse_query_sql(*sql);
        } catch (const jetdb::EngineError& e) {
            outcome = std::string("refused: ") + e.what();
        }
        const auto want = canonical(query.rows);
        const auto got = canonical(parsed);
        if (outcome.empty() && want == got) {
            ++exact;
            continue;
        }
        std::ostringstream diff;
        for (const auto& r : want) {
            if (std::find(got.begin(), got.end(), r) == got.end())
                diff << "\n    - " << describe(r);
        }
        for (const auto& r : got) {
            if (std::find(want.begin(), want.end(), r) == want.end())
                diff << "\n    + " << describe(r);
        }
        report << "  " << query.file << " / " << query.name << ": " << outcome
               << "\n    sql: " << *sql << diff.str() << "\n";
        const bool complete =
            std::any_of(query.rows.begin(), query.rows.end(),
                        [](const QueryRow& r) { return r.attribute == q::kAttrKind; }) &&
            std::all_of(query.rows.begin(), query.rows.end(),
                        [](const QueryRow& r) { return r.attribute != q::kAttrStart || r.flag; });
        const std::string gap = sql_cannot_say(query.rows);
        if (!gap.empty()) report << "    [" << gap << "]\n";
        EXPECT_TRUE(!complete || !gap.empty()) << query.file << " / " << query.name << ": "
                                               << outcome << diff.str() << "\n  sql: " << *sql;
    }
    std::cout << "Saved queries written whole and parsed back exactly: " << exact << " of " << total
              << "\nMismatches:\n"
              << report.str();
}

}  // namespace
}  // namespace tessaly
