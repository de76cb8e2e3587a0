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

// Many index entries with their keys side by side in one buffer: no
// allocation per entry, and sorting moves small fixed-size records.
struct IndexKeyRecord {
    std::uint64_t offset = 0;  // first key byte in IndexKeys::bytes
    std::uint32_t page = 0;    // data page of the row
    std::uint32_t size = 0;    // key length
    std::uint8_t row = 0;      // row number on that page
};

class IndexKeys {
  public:
    void add(std::span<const std::uint8_t> key, std::uint32_t page, std::uint8_t row) {
        records_.push_back(
            IndexKeyRecord{bytes_.size(), page, static_cast<std::uint32_t>(key.size()), row});
        bytes_.insert(bytes_.end(), key.begin(), key.end());
    }
    std::span<const std::uint8_t> key(std::size_t i) const {
        const IndexKeyRecord& r = records_[i];
        return {bytes_.data() + r.offset, r.size};
    }
    const IndexKeyRecord& record(std::size_t i) const { return records_[i]; }
    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    // Orders the records as write_index_pages does (key bytes as unsigned,
    // shorter first on a common prefix, then page, then row); the key bytes stay.
    void sort();

  private:
    std::vector<std::uint8_t> bytes_;
    std::vector<IndexKeyRecord> records_;
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
// The same for entries kept in one key buffer (byte-identical pages).
std::uint32_t write_index_pages(IndexKeys entries, std::uint32_t tdef_page,
                                const PageAllocator& allocate, const PageWriter& write);

}  // namespace tessaly::jetdb
