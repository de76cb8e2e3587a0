// A small builder of synthetic Jet 3 / Jet 4 files for tests and fuzz seeds.
//
// It writes just enough of the format for the reader: a header page, data
// pages with rows packed from the page end, table definitions (spanning
// continuation pages when long), inline usage maps, rows in the Jet row
// layout, and optionally a catalog on page 2 listing user tables. Every
// helper writes in-bounds only and asserts its own preconditions.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessaly::test {

// One column of a synthetic table.
struct ColumnSpec {
    std::string name;  // stored as UTF-16LE (Jet 4) or Latin-1 bytes (Jet 3)
    std::uint8_t type = 4;
    std::uint16_t size = 4;
    bool fixed = true;
    std::uint16_t number = 0;
    std::uint16_t var_index = 0;
    std::uint16_t fixed_offset = 0;
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    // Raw name bytes to store instead of encoding `name` (for damaged names).
    std::optional<std::vector<std::uint8_t>> raw_name;
    // Name length to store instead of the real one (for damaged lengths).
    std::optional<std::uint16_t> stored_name_length;
};

// One real index (its key column numbers) and one index entry.
struct RealIndexSpec {
    std::vector<std::uint16_t> key_columns;  // at most 10
};
struct IndexEntrySpec {
    std::string name;
    std::uint16_t real_index = 0;
    std::uint8_t type = 0;
    std::optional<std::uint16_t> stored_name_length;
};

struct TableSpec {
    std::vector<ColumnSpec> columns;
    std::vector<RealIndexSpec> real_indexes;
    std::vector<IndexEntrySpec> indexes;
    std::uint32_t row_count = 1;
    // Overrides of the stored counts (damaged definitions).
    std::optional<std::uint16_t> stored_column_count;
    std::optional<std::uint32_t> stored_index_count;
    std::optional<std::uint32_t> stored_real_index_count;
};

// One value of a row: absent (null), or bytes.
struct CellValue {
    bool present = false;
    std::vector<std::uint8_t> bytes;  // fixed: the column's bytes; variable: the data
};

class JetFileBuilder {
  public:
    explicit JetFileBuilder(bool jet4, int page_count = 3);

    bool jet4() const { return jet4_; }
    std::size_t page_size() const { return page_size_; }
    int page_count() const { return static_cast<int>(pages_.size()); }

    // Appends a zero page; returns its number.
    int add_page();
    std::vector<std::uint8_t>& page(int number);
    void put_u8(int page, std::size_t offset, std::uint8_t v);
    void put_u16(int page, std::size_t offset, std::uint16_t v);
    void put_u24(int page, std::size_t offset, std::uint32_t v);
    void put_u32(int page, std::size_t offset, std::uint32_t v);
    void put_bytes(int page, std::size_t offset, const std::vector<std::uint8_t>& bytes);

    // Header version field (0x14) and code page (masked field at 0x3C).
    void set_version(std::uint32_t version);
    void set_code_page(std::uint16_t code_page);

    // A data page with the given owner; returns its number.
    int add_data_page(std::uint32_t owner);
    // Packs a row below the page's last row; returns its row number.
    // `flags` are ORed into the offset entry (0x4000 lookup, 0x8000 deleted).
    int add_row(int page, const std::vector<std::uint8_t>& row, std::uint16_t flags = 0);
    // Sets an offset entry directly.
    void set_row_entry(int page, int row, std::uint16_t entry);
    void set_row_count(int page, std::uint16_t count);

    // Row bytes in the version's layout for `table`'s columns.
    std::vector<std::uint8_t> make_row(const TableSpec& table,
                                       const std::vector<CellValue>& values) const;

    // Writes a usage-map row (inline map of `pages`, or `raw` bytes) on a new
    // map page; returns (row, page) packed as the 4-byte pointer value.
    std::uint32_t add_map_row(const std::vector<int>& pages);
    std::uint32_t add_raw_map_row(const std::vector<std::uint8_t>& raw);

    // The definition's bytes (starting with the 8-byte page header) for `table`.
    std::vector<std::uint8_t> definition_bytes(const TableSpec& table, std::uint32_t usage_map,
                                               std::uint32_t free_map) const;
    // Writes a definition starting on `first_page` (new pages are added for
    // continuations); returns the first page.
    int add_table_def(const TableSpec& table, const std::vector<int>& data_pages,
                      std::optional<int> first_page = std::nullopt);
    int write_definition(const std::vector<std::uint8_t>& bytes, std::optional<int> first_page);

    // A catalog on page 2 (columns Id, Name, Type) with one row per object.
    struct CatalogRow {
        std::int32_t id = 0;
        std::string name;
        std::int16_t type = 1;
    };
    void add_catalog(const std::vector<CatalogRow>& rows);

    // Convenience: a table with rows on one data page; returns its definition page.
    int add_table(const TableSpec& table, const std::vector<std::vector<CellValue>>& rows);

    std::vector<std::uint8_t> bytes() const;
    void write(const std::filesystem::path& path) const;

  private:
    std::vector<std::uint8_t> encode_name(const std::string& name) const;
    bool jet4_;
    std::size_t page_size_;
    std::vector<std::vector<std::uint8_t>> pages_;
};

// Column and index helpers.
ColumnSpec fixed_column(std::string name, std::uint8_t type, std::uint16_t size,
                        std::uint16_t number, std::uint16_t fixed_offset);
ColumnSpec variable_column(std::string name, std::uint8_t type, std::uint16_t size,
                           std::uint16_t number, std::uint16_t var_index);
IndexEntrySpec index_entry(std::string name, std::uint16_t real_index, std::uint8_t type);

// A fresh folder under the system temp folder, removed with its contents at
// scope end.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Value helpers.
CellValue null_value();
CellValue bytes_value(std::vector<std::uint8_t> bytes);
CellValue i32_value(std::int32_t v);
CellValue i16_value(std::int16_t v);
CellValue f64_value(double v);
CellValue f32_value(float v);
// Text as UTF-16LE (Jet 4) or Latin-1 bytes (Jet 3).
CellValue text_value(const std::string& ascii, bool jet4);
// UTF-16LE bytes of an ASCII/Latin-1 string.
std::vector<std::uint8_t> utf16le(const std::string& latin1);

// A small two-table database of the given version (seed for fuzzing and CLI
// tests): "People" (Id long, Name text, Born date, Paid money, Note memo) and
// "Flags" (Id long, On boolean).
std::vector<std::uint8_t> sample_database(bool jet4);

}  // namespace tessaly::test
