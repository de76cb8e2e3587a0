// Undamaged corpus files repaired end to end by `tessaly repair`: every user
// table mdbtools reads in the source is in the destination with the same
// columns and the same number of non-empty rows (rows whose every value is
// empty are not copied).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>

#include "support/corpus.h"
#include "support/oracles.h"
#include "support/temp_env.h"

namespace tessaly::test {
namespace {

namespace fs = std::filesystem;

bool empty_row(const std::vector<std::optional<std::string>>& row) {
    for (const auto& v : row)
        if (v && !v->empty()) return false;
    return true;
}

std::size_t non_empty_rows(const CsvTable& table) {
    std::size_t n = 0;
    for (const auto& row : table.rows)
        n += !empty_row(row);
    return n;
}

TEST(RepairCorpus, DestinationsHoldEveryTableAndRowOfSoundSources) {
    const auto files = corpus_files();
    if (files.empty()) GTEST_SKIP() << "corpus not present";
    if (!have_program("mdb-export")) GTEST_SKIP() << "mdbtools not installed";
    TempEnv env;
    std::string command = shell_quote(cli_path().string()) +
                          " repair --json --overwrite=yes --out " +
                          shell_quote((env.root() / "out").string()) + " --log " +
                          shell_quote((env.root() / "log.txt").string());
    for (const auto& f : files)
        command += " " + shell_quote(f.string());
    std::string json;
    ASSERT_EQ(run_capture(command + " 2>/dev/null", json), 0);

    int tables_compared = 0;
    for (const auto& source : files) {
        SCOPED_TRACE(source.filename().string());
        const auto source_tables = mdbtools_tables(source);
        if (!source_tables) continue;  // mdbtools cannot read this source
        std::smatch m;
        const std::regex destination(
            "\"source\":\"" +
            std::regex_replace(source.string(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
            "\",\"destination\":\"([^\"]*)\"");
        ASSERT_TRUE(std::regex_search(json, m, destination));
        const fs::path repaired = m[1].str();
        const auto repaired_tables = mdbtools_tables(repaired);
        ASSERT_TRUE(repaired_tables) << "mdbtools cannot read " << repaired;
        for (const std::string& table : *source_tables) {
            SCOPED_TRACE(table);
            const auto want = mdbtools_export(source, table);
            if (!want) continue;
            const auto got = mdbtools_export(repaired, table);
            ASSERT_TRUE(got) << "table missing from the destination";
            // Columns are re-created in the order their descriptors are stored,
            // which need not be the order of their numbers.
            auto got_columns = got->header, want_columns = want->header;
            std::sort(got_columns.begin(), got_columns.end());
            std::sort(want_columns.begin(), want_columns.end());
            EXPECT_EQ(got_columns, want_columns);
            EXPECT_EQ(got->rows.size(), non_empty_rows(*want));
            ++tables_compared;
        }
    }
    EXPECT_GT(tables_compared, 0);
}

}  // namespace
}  // namespace tessaly::test
