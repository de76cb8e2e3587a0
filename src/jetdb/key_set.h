// A set of index keys that lives beside the index's entries: it remembers
// entry positions, not key copies, so a unique index costs 12 bytes per key
// on top of its entries.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jetdb/index_pages.h"

namespace tessaly::jetdb {

class KeySet {
  public:
    // True when some entry of `entries` listed in the set has this key.
    bool contains(std::span<const std::uint8_t> key, const std::vector<IndexEntry>& entries) const;
    // Lists entries[position] (its key must not be in the set yet).
    void insert(std::uint32_t position, const std::vector<IndexEntry>& entries);
    std::size_t size() const { return count_; }

  private:
    static std::uint64_t hash_of(std::span<const std::uint8_t> key);
    void grow();

    // Open addressing over a power-of-two table; slot value 0 = empty,
    // otherwise entry position + 1, with the key's hash alongside.
    std::vector<std::uint32_t> slots_;
    std::vector<std::uint64_t> hashes_;
    std::size_t count_ = 0;
};

}  // namespace tessaly::jetdb
