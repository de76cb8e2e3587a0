// The damage suite: damaged copies of every corpus file go through
// `tessaly repair`. Each run must end by itself (no crash, hang or sanitizer
// abort), leave the damaged source exactly as it was (content, mode, times),
// and leave a destination that mdbtools opens and exports. The share of rows
// recovered per damage kind is printed.
//
// By default every file gets three damage kinds, rotating through all kinds
// along the corpus, so each kind meets a good part of the files while the
// suite stays short. TESSALY_DAMAGE_KINDS=all (or a comma-separated list of
// kind names) applies those kinds to every file; TESSALY_DAMAGE_SEED changes
// the seed (default 20261211).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>

#include "support/corpus.h"
#include "support/damage.h"
#include "support/jet_page_builder.h"
#include "support/oracles.h"
#include "support/temp_env.h"

namespace tessaly::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kDefaultSeed = 20261211;
constexpr std::size_t kKindsPerFile = 3;
constexpr const char* kRunTimeoutSeconds = "300";

std::uint32_t suite_seed() {
    const char* env = std::getenv("TESSALY_DAMAGE_SEED");
    return env && *env ? static_cast<std::uint32_t>(std::strtoul(env, nullptr, 10)) : kDefaultSeed;
}

// The kinds applied to the file at `index`.
std::vector<DamageKind> kinds_for(std::size_t index) {
    const auto& all = all_damage_kinds();
    const char* env = std::getenv("TESSALY_DAMAGE_KINDS");
    if (env && std::string(env) == "all") return all;
    if (env && *env) {
        std::vector<DamageKind> chosen;
        std::stringstream names(env);
        for (std::string name; std::getline(names, name, ',');)
            if (auto k = damage_from_name(name)) chosen.push_back(*k);
        return chosen;
    }
    std::vector<DamageKind> chosen;
    for (std::size_t j = 0; j < kKindsPerFile; ++j)
        chosen.push_back(all[(index * kKindsPerFile + j) % all.size()]);
    return chosen;
}

// total_rows of every file in the corpus manifest (rows the oracles read).
std::map<std::string, std::int64_t> manifest_rows() {
    std::map<std::string, std::int64_t> rows;
    std::ifstream in(corpus_dir() / "MANIFEST.tsv");
    std::string line;
    if (!std::getline(in, line)) return rows;
    auto split = [](const std::string& text) {
        std::vector<std::string> fields;
        std::stringstream s(text);
        for (std::string f; std::getline(s, f, '\t');)
            fields.push_back(f);
        return fields;
    };
    const auto header = split(line);
    const auto column = std::find(header.begin(), header.end(), "total_rows") - header.begin();
    while (std::getline(in, line)) {
        const auto fields = split(line);
        if (static_cast<std::size_t>(column) < fields.size())
            rows[fields[0]] = std::atoll(fields[static_cast<std::size_t>(column)].c_str());
    }
    return rows;
}

std::vector<std::uint8_t> read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

std::string json_string(const std::string& json, const std::string& key) {
    std::smatch m;
    if (std::regex_search(json, m, std::regex("\"" + key + "\":\"((?:[^\"\\\\]|\\\\.)*)\"")))
        return m[1];
    return {};
}

std::int64_t sum_of(const std::string& json, const std::string& key) {
    std::int64_t total = 0;
    const std::regex number("\"" + key + "\":(-?[0-9]+)");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), number);
         it != std::sregex_iterator(); ++it)
        total += std::atoll((*it)[1].str().c_str());
    return total;
}

struct KindTotals {
    int runs = 0;
    std::int64_t expected = 0;
    std::int64_t recovered = 0;
};

TEST(DamageSuite, RepairSurvivesDamagedCopiesOfEveryCorpusFile) {
    const auto files = corpus_files();
    if (files.empty()) GTEST_SKIP() << "corpus not present";
    if (!have_program("mdb-tables") || !have_program("timeout"))
        GTEST_SKIP() << "mdbtools or timeout not installed";
    const auto expected_rows = manifest_rows();
    const std::uint32_t seed = suite_seed();
    TempEnv env;
    std::map<std::string, KindTotals> totals;

    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto original = read_bytes(files[i]);
        const std::string name = files[i].filename().string();
        for (DamageKind kind : kinds_for(i)) {
            const std::string kind_name(damage_name(kind));
            SCOPED_TRACE(name + " / " + kind_name);
            const fs::path folder = env.root() / (kind_name + "-" + std::to_string(i));
            fs::create_directories(folder / "in");
            const fs::path source = folder / "in" / name;
            auto damaged = original;
            apply_damage(damaged, kind, seed + static_cast<std::uint32_t>(i));
            std::ofstream(source, std::ios::binary)
                .write(reinterpret_cast<const char*>(damaged.data()),
                       static_cast<std::streamsize>(damaged.size()));
            ASSERT_EQ(chmod(source.c_str(), 0444), 0);
            struct stat before {};
            ASSERT_EQ(stat(source.c_str(), &before), 0);

            std::string json;
            const int status = run_capture(
                std::string("timeout ") + kRunTimeoutSeconds + " " +
                    shell_quote(cli_path().string()) + " repair --json --overwrite=yes --out " +
                    shell_quote((folder / "out").string()) + " --log " +
                    shell_quote((folder / "log.txt").string()) + " " +
                    shell_quote(source.string()) + " 2>" + shell_quote((folder / "err").string()),
                json);
            ASSERT_TRUE(status == 0 || status == 2)
                << "exit " << status << " (124 = hang, 128+ = crash)\n"
                << read_file(folder / "err");

            struct stat after {};
            ASSERT_EQ(stat(source.c_str(), &after), 0);
            EXPECT_EQ(after.st_mode, before.st_mode);
            EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
            EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
            EXPECT_TRUE(read_bytes(source) == damaged) << "the source was changed";

            KindTotals& t = totals[kind_name];
            ++t.runs;
            const auto expected = expected_rows.find(name);
            const std::int64_t want = expected == expected_rows.end() ? 0 : expected->second;
            t.expected += want;
            if (json_string(json, "outcome") != "repaired") continue;
            const fs::path destination = json_string(json, "destination");
            ASSERT_TRUE(fs::exists(destination)) << json;
            std::string ignored;
            const std::string d = shell_quote(destination.string());
            EXPECT_EQ(run_capture("mdb-tables -1 " + d + " >/dev/null 2>&1 && mdb-tables -1 " + d +
                                      " | while IFS= read -r t; do mdb-export " + d +
                                      " \"$t\" >/dev/null 2>&1 || exit 1; done",
                                  ignored),
                      0)
                << "mdbtools cannot open or export " << destination;
            t.recovered += std::min(want, sum_of(json, "rows_written"));
        }
    }

    std::cout << "\nrows recovered per damage kind (seed " << seed << "):\n";
    for (const auto& [kind, t] : totals) {
        const double share = t.expected ? 100.0 * double(t.recovered) / double(t.expected) : 100.0;
        std::cout << "  " << kind << std::string(18 - std::min<std::size_t>(17, kind.size()), ' ')
                  << t.runs << " files  " << t.recovered << " / " << t.expected << " rows  "
                  << static_cast<int>(share * 10) / 10.0 << "%\n";
    }
}

}  // namespace
}  // namespace tessaly::test
