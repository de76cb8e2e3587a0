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

// Creates `path` with the DDL `statements` and the rows of one table.
void build_database(const std::filesystem::path& path, const std::vector<std::string>& statements,
                    const std::string& table = {}, const std::vector<RowTexts>& rows = {},
                    DatabaseOptions options = fixed_options());

// Column `name` of an oracle's CSV table: each row's field.
std::vector<std::optional<std::string>> column_of(const tessaly::test::CsvTable& table,
                                                  const std::string& name);

// True when mdbtools (mdb-export, mdb-tables, mdb-ver) is installed.
bool have_mdbtools();

}  // namespace tessaly::jetdb::test
