// A minimal, test-only reader of undamaged Jet 4 files: table definitions,
// real index definitions, index leaf entries, and the column values of the
// row an entry points at. Enough to check index keys against Access's own;
// it trusts the file and is no substitute for the project's reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "jetdb/column_type.h"
#include "jetdb/field_value.h"

namespace tessaly::jetdb::test {

struct MiniColumn {
    ColumnSpec spec;
    std::uint16_t number = 0;     // column number (null-mask bit)
    std::uint16_t var_index = 0;  // slot in the variable-offset table
    std::uint16_t fixed_offset = 0;
    std::uint16_t lcid = 0;  // text sort order
    std::uint8_t sort_version = 0;
    std::uint8_t flags = 0;
};

struct MiniIndex {
    std::vector<std::pair<std::uint16_t, bool>> columns;  // column number, ascending
    std::uint32_t root = 0;
    std::uint8_t flags = 0;
    std::string name;  // first logical index using it
};

struct MiniTable {
    std::uint32_t tdef_page = 0;
    std::vector<MiniColumn> columns;
    std::vector<MiniIndex> indexes;
    const MiniColumn* column(std::uint16_t number) const;
};

struct MiniEntry {
    std::vector<std::uint8_t> key;
    std::uint32_t page = 0;
    std::uint8_t row = 0;
};

class Jet4MiniReader {
  public:
    // Reads the whole file; nullopt unless it is a Jet 4 file.
    static std::optional<Jet4MiniReader> open(const std::filesystem::path& path);

    std::size_t page_count() const { return data_.size() / kPage; }
    const std::uint8_t* page(std::uint32_t n) const {
        return data_.data() + std::size_t{n} * kPage;
    }

    // Table definitions that own index pages.
    std::vector<std::uint32_t> indexed_tdef_pages() const;
    std::optional<MiniTable> table(std::uint32_t tdef_page) const;

    // Leaf entries of an index in page order; `page_numbers` receives the
    // pages of the tree, root first, then each level left to right.
    std::vector<MiniEntry> leaf_entries(std::uint32_t root,
                                        std::vector<std::uint32_t>* page_numbers = nullptr) const;

    // Value of `col` in the row at page/row; nullopt when the row cannot be read.
    std::optional<FieldValue> value(const MiniTable& t, const MiniColumn& col, std::uint32_t page,
                                    std::uint8_t row) const;

    static constexpr std::size_t kPage = 4096;

  private:
    std::vector<std::uint8_t> data_;
};

}  // namespace tessaly::jetdb::test
