// Helpers shared by the destination-writer tests: a scratch folder, quick
// database building, and the oracles' view of a written table.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "jetdb/database.h"
#include "support/oracles.h"

namespace tessaly::jetdb::test {

// A scratch folder removed when the test ends.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

inline constexpr const char* kLocale = ";LANGID=0x0409;CP=1252;COUNTRY=0";
inline constexpr double kFixedDate = 45000.5;  // a reproducible creation date

inline DatabaseOptions fixed_options() {
    DatabaseOptions o;
    o.creation_date = kFixedDate;
    return o;
}

// Values of one row, by column name; std::nullopt leaves the field unset.
using RowTexts = std::vector<std::pair<std::string, std::optional<std::string>>>;

// Checks the file with the consistency verifier: files we write must have
// no findings at all.
void expect_verified(const std::filesystem::path& path);

// Creates `path` with the DDL `statements` and the rows of one table, then
// checks it with expect_verified.
void build_database(const std::filesystem::path& path, const std::vector<std::string>& statements,
                    const std::string& table = {}, const std::vector<RowTexts>& rows = {},
                    DatabaseOptions options = fixed_options());

// Column `name` of an oracle's CSV table: each row's field.
std::vector<std::optional<std::string>> column_of(const tessaly::test::CsvTable& table,
                                                  const std::string& name);

// Our own reader's view of one table (`tessaly dump FILE TABLE`): values as
// the reader renders them, nulls and empty texts alike as empty fields.
std::optional<tessaly::test::CsvTable> own_reader_export(const std::filesystem::path& file,
                                                         const std::string& table);

// True when mdbtools (mdb-export, mdb-tables, mdb-ver) is installed.
bool have_mdbtools();

}  // namespace tessaly::jetdb::test
