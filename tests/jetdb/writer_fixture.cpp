#include "jetdb/writer_fixture.h"

#include <stdlib.h>

#include "support/corpus.h"
#include "support/jet_verifier.h"

namespace tessaly::jetdb::test {

ScratchDir::ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "jetdb-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void build_database(const std::filesystem::path& path, const std::vector<std::string>& statements,
                    const std::string& table, const std::vector<RowTexts>& rows,
                    DatabaseOptions options) {
    Database db(options);
    db.create(path, kLocale, 0);
    for (const auto& s : statements)
        db.execute(s, 128);
    if (!table.empty()) {
        Recordset rs(db);
        rs.open(-1, "SELECT * FROM [" + table + "]", 0);
        for (const auto& row : rows) {
            rs.add_new();
            for (const auto& [name, value] : row)
                if (value) rs.set_field_value(name, *value);
            rs.update();
        }
        rs.close();
    }
    db.close();
    expect_verified(path);
}

void expect_verified(const std::filesystem::path& path) {
    const auto report = tessaly::test::verify_jet4(path);
    EXPECT_TRUE(report.clean()) << path << "\n" << report.to_string();
}

std::vector<std::optional<std::string>> column_of(const tessaly::test::CsvTable& table,
                                                  const std::string& name) {
    std::vector<std::optional<std::string>> out;
    std::size_t col = table.header.size();
    for (std::size_t i = 0; i < table.header.size(); ++i)
        if (table.header[i] == name) col = i;
    if (col == table.header.size()) return out;
    for (const auto& row : table.rows)
        out.push_back(col < row.size() ? row[col] : std::nullopt);
    return out;
}

std::optional<tessaly::test::CsvTable> own_reader_export(const std::filesystem::path& file,
                                                         const std::string& table) {
    using tessaly::test::shell_quote;
    std::string out;
    const std::string cmd = shell_quote(tessaly::test::cli_path().string()) + " dump " +
                            shell_quote(file.string()) + " " + shell_quote(table) + " 2>/dev/null";
    if (tessaly::test::run_capture(cmd, out) != 0) return std::nullopt;
    tessaly::test::CsvTable csv;
    if (!tessaly::test::parse_csv(out, csv)) return std::nullopt;
    return csv;
}

bool have_mdbtools() {
    return tessaly::test::have_program("mdb-export") && tessaly::test::have_program("mdb-tables") &&
           tessaly::test::have_program("mdb-ver");
}

}  // namespace tessaly::jetdb::test
