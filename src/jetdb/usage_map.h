// Usage maps: the set of pages owned by a table, a long-value column or an
// index (or, for the global map, the allocated pages of the file), and their
// on-disk encodings.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "jetdb/jet4_layout.h"

namespace tessaly::jetdb {

using MapRow = std::array<std::uint8_t, layout::kMapRowSize>;
using PageBytes = std::array<std::uint8_t, layout::kPageSize>;

// A set of page numbers. Memory grows with the number of pages in the set
// (4 bytes each), never with the page numbers themselves.
class UsageMap {
  public:
    // Adds a page; adding pages in increasing order is O(1).
    void add(std::uint32_t page);
    void remove(std::uint32_t page);
    bool contains(std::uint32_t page) const;
    bool empty() const { return pages_.empty(); }
    const std::vector<std::uint32_t>& pages() const { return pages_; }

    // True when every page lies in one inline window (kInlineMapPages pages
    // starting at the first page rounded down to a multiple of 8).
    bool fits_inline() const;
    // The inline row. REQUIRES: fits_inline().
    MapRow inline_row() const;

    // Reference form: the bitmap-page slots that hold at least one page.
    std::vector<std::uint32_t> reference_slots() const;
    // The reference row, given the page number chosen for each slot returned
    // by reference_slots() (same order).
    MapRow reference_row(std::span<const std::uint32_t> bitmap_pages) const;
    // The bitmap page of one slot.
    PageBytes bitmap_page(std::uint32_t slot) const;

  private:
    std::vector<std::uint32_t> pages_;  // sorted, unique
};

// The global map row of page 1 for a file of `page_count` pages, all of them
// in use: an inline map with a bitmap long enough for the file (bit = 1 means
// free, pages past the file are free). Empty when the file is too large for
// an inline row on page 1; the caller then writes a reference map.
std::vector<std::uint8_t> global_inline_map_row(std::uint32_t page_count, std::size_t max_row_size);
// The bitmap page of a reference global map: bits set for pages at or past
// `page_count` (free), clear below.
PageBytes global_bitmap_page(std::uint32_t slot, std::uint32_t page_count);

}  // namespace tessaly::jetdb
