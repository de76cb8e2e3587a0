// Writing memo and OLE values to long-value (LVAL) pages.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "jetdb/data_page.h"
#include "jetdb/jet4_layout.h"
#include "jetdb/page_file.h"
#include "jetdb/usage_map.h"

namespace tessaly::jetdb {

// How a long value is kept: in the row itself, as one LVAL row, or as a chain
// of LVAL rows.
enum class LongValueKind { Inline, SingleRow, Chain };

// The kind the engine uses for a value of `length` bytes; `inline_room` is
// how many bytes the row can still take beyond the 12-byte header.
LongValueKind choose_long_value_kind(std::size_t length, std::size_t inline_room);

// New pages writing a value of this kind and length may need (upper bound).
std::uint32_t long_value_pages_needed(LongValueKind kind, std::size_t length);

// The 12-byte header stored in the row.
std::array<std::uint8_t, layout::kLongValueHeaderSize> long_value_header(LongValueKind kind,
                                                                         std::size_t length,
                                                                         std::uint32_t first_row);

// The LVAL pages of one memo or OLE column. Keeps one partly filled page in
// memory; every other page goes to disk as soon as it is complete.
class LongValueStore {
  public:
    explicit LongValueStore(std::uint16_t column_number) : column_number_(column_number) {}

    std::uint16_t column_number() const { return column_number_; }
    const UsageMap& owned() const { return owned_; }
    const UsageMap& free() const { return free_; }

    // Stores `data` as one LVAL row (REQUIRES: data.size() <= kMaxLongValueRow)
    // and answers its row pointer.
    std::uint32_t write_single(PageFile& file, std::span<const std::uint8_t> data);
    // Stores `data` as a chain of LVAL rows and answers the first row's pointer.
    std::uint32_t write_chain(PageFile& file, std::span<const std::uint8_t> data);
    // Writes the partly filled page, which stays listed as having free space.
    void flush(PageFile& file);

  private:
    void start_page(std::uint32_t page);
    void retire_page(PageFile& file);

    std::uint16_t column_number_;
    UsageMap owned_;
    UsageMap free_;
    DataPage page_;
    bool open_ = false;
    std::uint32_t page_number_ = 0;
    std::vector<std::uint8_t> scratch_;
};

}  // namespace tessaly::jetdb
