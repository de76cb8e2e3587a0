// Building one data page (table rows, long-value rows or usage-map rows).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "jetdb/jet4_layout.h"

namespace tessaly::jetdb {

// A data page under construction. Rows are packed downward from the end of
// the page; the header's free-space count and row table are kept current, so
// bytes() is a complete page at any time.
class DataPage {
  public:
    // Starts an empty page owned by the table definition on `owner_page`
    // (0 for pages holding usage-map rows).
    void reset_table(std::uint32_t owner_page);
    // Starts an empty long-value ("LVAL") page.
    void reset_long_value();

    std::uint16_t row_count() const { return rows_; }
    // Bytes still free on the page, as the header records them.
    std::size_t free_space() const { return free_; }
    // True when a row of `row_size` bytes (plus its offset slot) fits.
    bool fits(std::size_t row_size) const;
    // Appends a row and answers its number. REQUIRES: fits(row.size()).
    std::uint8_t add_row(std::span<const std::uint8_t> row);

    std::span<const std::uint8_t> bytes() const { return page_; }

  private:
    void reset_header();

    std::array<std::uint8_t, layout::kPageSize> page_{};
    std::uint16_t rows_ = 0;
    std::size_t free_ = 0;
    std::size_t data_start_ = layout::kPageSize;  // lowest byte used by rows
};

}  // namespace tessaly::jetdb
