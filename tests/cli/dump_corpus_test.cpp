// Real files: `tessaly dump` against mdbtools (mdb-tables, mdb-export).
//
// For every corpus file, the user tables we list must be the ones mdb-tables
// lists (plus tables mdbtools hides for their system flags), and every row
// mdb-export prints must be among ours after both sides' renderings are
// normalised. Our reader also returns rows that mdbtools does not (deleted rows
// still readable on their pages); those tables and counts are listed below as
// expected values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "reader/catalog_list.h"
#include "reader/table_def.h"
#include "reader/value_render.h"
#include "support/corpus.h"
#include "support/oracles.h"

namespace tessaly::test {
namespace {

// Tables where we return more rows than mdbtools: {file, table} -> extra rows.
const std::map<std::pair<std::string, std::string>, std::size_t> kExpectedExtraRows = {};

using Rows = std::map<std::vector<std::string>, std::size_t>;  // row -> count

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(line);
        at = end + 1;
    }
    return out;
}

// Days since 1899-12-30 of a civil date.
std::int64_t day_number(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;
}

// Both renderings of a date as seconds since 1899-12-30, or a marker for the
// dates before it, which mdbtools cannot show.
std::string canonical_date(const std::string& text, bool ours) {
    if (text.empty()) return text;
    int mo = 0, d = 0, y = 0, h = 0, mi = 0, s = 0;
    char ampm[3] = {};
    std::int64_t day = 0;
    bool have_date = true;
    if (ours) {
        if (std::sscanf(text.c_str(), "%2d/%2d/%4d %2d:%2d:%2d %2s", &mo, &d, &y, &h, &mi, &s,
                        ampm) >= 3) {
        } else if (std::sscanf(text.c_str(), "%2d:%2d:%2d %2s", &h, &mi, &s, ampm) == 4) {
            have_date = false;
        } else {
            return "?" + text;
        }
        if (ampm[0]) h = (h % 12) + (ampm[0] == 'P' ? 12 : 0);
    } else if (std::sscanf(text.c_str(), "%2d/%2d/%4d %2d:%2d:%2d", &mo, &d, &y, &h, &mi, &s) !=
               6) {
        return "?" + text;
    }
    if (have_date) {
        if (d == 0) return "before 1899-12-30";  // mdbtools' text for such dates
        day = day_number(y, mo, d);
        if (day < 0) return "before 1899-12-30";
    }
    return std::to_string(day * 86400 + h * 3600 + mi * 60 + s);
}

// A decimal text without sign of zero, leading zeros or trailing fraction zeros.
std::string canonical_decimal(std::string text) {
    bool negative = !text.empty() && text[0] == '-';
    if (negative) text.erase(0, 1);
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    std::size_t lead = 0;
    while (lead + 1 < text.size() && text[lead] == '0' && text[lead + 1] != '.')
        ++lead;
    text.erase(0, lead);
    if (text.empty() || text == "0") return "0";
    return negative ? "-" + text : text;
}

std::string canonical_float(const std::string& text, int digits) {
    if (text.empty()) return text;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, std::strtod(text.c_str(), nullptr));
    return buf;
}

// In Jet 3 text mdbtools writes '?' for bytes the code page does not define;
// we keep them as the characters U+0080..U+009F.
std::string canonical_text(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            out += '?';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string canonical(std::int32_t type, const std::string& value, bool ours, bool jet3) {
    using namespace reader;
    switch (type) {
        case kTypeMoney:
        case kTypeNumeric:
            return canonical_decimal(value);
        case kTypeSingle:
            return canonical_float(value, 5);
        case kTypeDouble:
            return canonical_float(value, 13);
        case kTypeDateTime:
            return canonical_date(value, ours);
        case kTypeText:
        case kTypeMemo:
            return ours && jet3 ? canonical_text(value) : value;
        case kTypeBoolean:
        case kTypeByte:
        case kTypeInt16:
        case kTypeInt32:
            return value;
        default:  // binary, long binary, GUID and others are not compared
            return {};
    }
}

struct Totals {
    std::size_t tables = 0, tables_matching = 0, their_rows = 0, rows_matching = 0, our_rows = 0;
};

class CorpusDump : public ::testing::Test {
  protected:
    void SetUp() override {
        if (corpus_files().empty()) GTEST_SKIP() << "corpus absent";
        if (!have_program("mdb-tables") || !have_program("mdb-export"))
            GTEST_SKIP() << "mdbtools absent";
    }

    std::string run(const std::string& command) {
        std::string out;
        run_capture(command + " 2>/dev/null", out);
        return out;
    }

    void compare_table(const std::filesystem::path& path, const reader::CatalogObject& object,
                       const std::shared_ptr<reader::JetFile>& file, Totals& totals,
                       std::vector<std::string>& extras) {
        const std::string label = path.filename().string() + " / " + object.name;
        reader::CatalogEntry entry{file, object.name, object.stored_type, object.definition_page};
        auto table = reader::read_table_def(entry);
        ASSERT_TRUE(table && reader::read_columns(*table)) << label;
        // mdbtools shows columns ordered by column number.
        std::vector<std::size_t> order(table->columns.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return table->columns[a].number < table->columns[b].number;
        });
        std::string expected_header;
        for (std::size_t i : order)
            expected_header += (expected_header.empty() ? "" : ",") + table->columns[i].name;

        const std::string ours = run(shell_quote(cli_path().string()) + " dump " +
                                     shell_quote(path.string()) + " " + shell_quote(object.name));
        // mdb-export run here rather than through mdbtools_export: its page-dump
        // filter also drops text lines such as "2100 Paul Revere Blvd." inside
        // quoted fields, and these sound files print no page dumps.
        std::optional<CsvTable> theirs(std::in_place);
        ASSERT_TRUE(
            parse_csv(run("mdb-export -D '%m/%d/%Y %H:%M:%S' -T '%m/%d/%Y %H:%M:%S' -b hex " +
                          shell_quote(path.string()) + " " + shell_quote(object.name)),
                      *theirs))
            << label;
        // mdb-export writes the header unquoted, so names with commas split.
        std::string their_header;
        for (const auto& name : theirs->header)
            their_header += (their_header.empty() ? "" : ",") + name;
        ASSERT_EQ(their_header, expected_header) << label;

        const bool jet3 = !file->is_jet4();
        Rows our_rows, their_rows;
        CsvTable our_csv;
        ASSERT_TRUE(parse_csv(ours, our_csv)) << label;
        for (const auto& record : our_csv.rows) {
            ASSERT_EQ(record.size(), order.size()) << label;
            std::vector<std::string> row;
            for (std::size_t i : order)
                row.push_back(
                    canonical(table->columns[i].type, record[i].value_or(""), true, jet3));
            ++our_rows[row];
        }
        for (const auto& record : theirs->rows) {
            ASSERT_EQ(record.size(), order.size()) << label;
            std::vector<std::string> row;
            for (std::size_t k = 0; k < order.size(); ++k)
                row.push_back(
                    canonical(table->columns[order[k]].type, record[k].value_or(""), false, jet3));
            ++their_rows[row];
        }

        std::size_t theirs_count = 0, matched = 0, ours_count = 0;
        for (const auto& [row, n] : our_rows)
            ours_count += n;
        std::vector<std::string> missing;
        for (const auto& [row, n] : their_rows) {
            theirs_count += n;
            auto it = our_rows.find(row);
            const std::size_t found = it == our_rows.end() ? 0 : std::min(it->second, n);
            matched += found;
            if (found < n && missing.size() < 3) {
                std::string text;
                for (const auto& v : row)
                    text += v + "|";
                missing.push_back(text);
            }
        }
        totals.tables += 1;
        totals.their_rows += theirs_count;
        totals.rows_matching += matched;
        totals.our_rows += ours_count;
        EXPECT_EQ(matched, theirs_count) << label << ": rows mdbtools reads that we do not, e.g. "
                                         << (missing.empty() ? "" : missing.front());
        const std::size_t extra = ours_count - matched;
        auto expected = kExpectedExtraRows.find({path.filename().string(), object.name});
        EXPECT_EQ(extra, expected == kExpectedExtraRows.end() ? 0 : expected->second)
            << label << ": rows we read beyond mdbtools";
        if (extra) extras.push_back(label + ": " + std::to_string(extra));
        if (matched == theirs_count) totals.tables_matching += 1;
    }
};

TEST_F(CorpusDump, TablesAndRowsMatchMdbtools) {
    Totals totals;
    std::vector<std::string> extras, hidden;
    for (const auto& path : corpus_files()) {
        SCOPED_TRACE(path.filename().string());
        const std::string quoted = shell_quote(path.string());
        auto listing = lines(run(shell_quote(cli_path().string()) + " dump " + quoted));
        ASSERT_FALSE(listing.empty());
        std::set<std::string> ours;
        for (std::size_t i = 1; i < listing.size(); ++i)
            ours.insert(listing[i].substr(0, listing[i].find('\t')));
        auto mdb_user = mdbtools_tables(path);
        ASSERT_TRUE(mdb_user);
        auto mdb_all = lines(run("mdb-tables -S -1 " + quoted));
        const std::set<std::string> theirs(mdb_user->begin(), mdb_user->end());
        const std::set<std::string> all(mdb_all.begin(), mdb_all.end());
        for (const auto& t : theirs)
            EXPECT_TRUE(ours.count(t)) << "not listed: " << t;
        for (const auto& t : ours) {
            if (theirs.count(t)) continue;
            EXPECT_TRUE(all.count(t)) << "listed but unknown to mdbtools: " << t;
            hidden.push_back(path.filename().string() + " / " + t);
        }

        recovery::RecoveryState state;
        auto file = reader::jet_open(path, state);
        ASSERT_TRUE(file);
        std::vector<reader::CatalogObject> objects;
        ASSERT_TRUE(reader::list_catalog(file, state, objects));
        for (const auto& object : objects) {
            if (reader::is_user_table(object) && theirs.count(object.name))
                compare_table(path, object, file, totals, extras);
        }
    }
    std::printf(
        "corpus: %zu of %zu tables match mdbtools; %zu of %zu mdbtools rows found; "
        "%zu rows read in all\n",
        totals.tables_matching, totals.tables, totals.rows_matching, totals.their_rows,
        totals.our_rows);
    for (const auto& e : extras)
        std::printf("  more rows than mdbtools: %s\n", e.c_str());
    for (const auto& h : hidden)
        std::printf("  listed, hidden by mdbtools for its system flags: %s\n", h.c_str());
    RecordProperty("tables_matching", static_cast<int>(totals.tables_matching));
    RecordProperty("rows_matching", static_cast<int>(totals.rows_matching));
}

}  // namespace
}  // namespace tessaly::test
