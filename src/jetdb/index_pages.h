// Building the pages of one real index from its entries.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace tessaly::jetdb {

struct IndexEntry {
    std::vector<std::uint8_t> key;  // full key bytes (see index_key.h)
    std::uint32_t page = 0;         // data page of the row
    std::uint8_t row = 0;           // row number on that page
};

// Allocates a new page number for the index.
using PageAllocator = std::function<std::uint32_t()>;
// Writes one finished 4096-byte page.
using PageWriter = std::function<void(std::uint32_t page, std::span<const std::uint8_t> bytes)>;

// Sorts `entries` into Access's order (key bytes, then page, then row) and
// writes leaf and intermediate pages owned by the table definition on
// `tdef_page`, prefix-compressed, with entry masks and sibling links. An empty
// index gets one empty leaf. Returns the root page number.
std::uint32_t write_index_pages(std::vector<IndexEntry> entries, std::uint32_t tdef_page,
                                const PageAllocator& allocate, const PageWriter& write);

}  // namespace tessaly::jetdb
