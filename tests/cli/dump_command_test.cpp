// The `tessaly dump` verb on synthetic databases: listing, CSV and exit codes.
#include <gtest/gtest.h>

#include <fstream>

#include "support/corpus.h"
#include "support/jet_page_builder.h"
#include "support/oracles.h"

namespace tessaly::test {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun tessaly(const std::vector<std::string>& args, const ScratchDir& dir) {
    std::string command = shell_quote(cli_path().string());
    for (const auto& a : args)
        command += " " + shell_quote(a);
    const auto err_file = dir.file("stderr.txt");
    CliRun r;
    r.status = run_capture(command + " 2>" + shell_quote(err_file.string()), r.out);
    std::ifstream in(err_file);
    r.err.assign(std::istreambuf_iterator<char>(in), {});
    return r;
}

void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

class DumpVersions : public ::testing::TestWithParam<bool> {};

TEST_P(DumpVersions, ListsUserTablesAndPrintsRowsAsCsv) {
    ScratchDir dir;
    const auto db = dir.file("sample.mdb").string();
    write_file(db, sample_database(GetParam()));

    CliRun list = tessaly({"dump", db}, dir);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, std::string(GetParam() ? "JET4" : "JET3") + "\nPeople\t5\nFlags\t2\n");

    CliRun people = tessaly({"dump", db, "People"}, dir);
    EXPECT_EQ(people.status, 0) << people.err;
    EXPECT_EQ(people.out,
              "Id,Name,Born,Paid,Note\r\n"
              "1,\"Ann, \"\"the\"\" first\",01/01/2000 12:00:00 PM,1.5000,\"Hello\r\nworld\"\r\n"
              "2,,,-123.4567,\r\n");

    CliRun flags = tessaly({"dump", db, "flags"}, dir);
    EXPECT_EQ(flags.status, 0);
    EXPECT_EQ(flags.out, "Id,On\r\n7,1\r\n8,0\r\n") << "names match without regard to case";
}

INSTANTIATE_TEST_SUITE_P(Versions, DumpVersions, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "jet4" : "jet3"; });

TEST(DumpCommand, FailuresExitWithOneClearLine) {
    ScratchDir dir;
    const auto db = dir.file("sample.mdb").string();
    write_file(db, sample_database(true));
    write_file(dir.file("tiny.mdb"), std::vector<std::uint8_t>(100, 0));
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message_part;
    };
    const Case cases[] = {
        {{"dump", dir.file("absent.mdb").string()}, 2, "no such file"},
        {{"dump", dir.file("tiny.mdb").string()}, 2, "too short"},
        {{"dump", dir.path().string()}, 2, "cannot be opened"},
        {{"dump", db, "Nowhere"}, 2, "no user table named 'Nowhere'"},
        {{"dump", db, "MSysObjects"}, 2, "no user table"},
        {{"dump"}, 2, "expected FILE"},
        {{"dump", db, "People", "extra"}, 2, "expected FILE"},
        {{"frobnicate"}, 2, "unknown command"},
    };
    for (const Case& c : cases) {
        CliRun r = tessaly(c.args, dir);
        EXPECT_EQ(r.status, c.status) << c.message_part;
        EXPECT_NE(r.err.find(c.message_part), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(DumpCommand, HelpExplainsTheVerb) {
    ScratchDir dir;
    CliRun top = tessaly({"--help"}, dir);
    EXPECT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("dump FILE"), std::string::npos);
    CliRun verb = tessaly({"dump", "--help"}, dir);
    EXPECT_EQ(verb.status, 0);
    EXPECT_NE(verb.out.find("Usage: tessaly dump FILE [TABLE]"), std::string::npos);
}

TEST(DumpCommand, DamagedCatalogAndTableDefinitions) {
    ScratchDir dir;
    auto bytes = sample_database(true);
    // Wipe the catalog's definition page: no tables can be listed.
    std::vector<std::uint8_t> no_catalog = bytes;
    std::fill(no_catalog.begin() + 2 * 4096, no_catalog.begin() + 3 * 4096, 0);
    write_file(dir.file("nocat.mdb"), no_catalog);
    CliRun r = tessaly({"dump", dir.file("nocat.mdb").string()}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "JET4\n");

    // Wipe the People definition (page 3 in the sample): listed with 0 columns,
    // and dumping it fails with its own status.
    std::vector<std::uint8_t> no_people = bytes;
    std::fill(no_people.begin() + 3 * 4096, no_people.begin() + 4 * 4096, 0);
    write_file(dir.file("nopeople.mdb"), no_people);
    r = tessaly({"dump", dir.file("nopeople.mdb").string()}, dir);
    EXPECT_EQ(r.out, "JET4\nPeople\t0\nFlags\t2\n");
    r = tessaly({"dump", dir.file("nopeople.mdb").string(), "People"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot be read"), std::string::npos);
}

}  // namespace
}  // namespace tessaly::test
