// A set of index keys that lives beside the index's entries: it remembers
// entry positions, not key copies, so a unique index costs 8 bytes per slot
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
    bool contains(std::span<const std::uint8_t> key, const IndexKeys& entries) const;
    // Lists entry `position` of `entries` (its key must not be in the set yet).
    void insert(std::uint32_t position, const IndexKeys& entries);
    std::size_t size() const { return count_; }

  private:
    static std::uint32_t hash_of(std::span<const std::uint8_t> key);
    void grow();

    // Open addressing over a power-of-two table; position 0 = empty slot,
    // otherwise entry position + 1, with (part of) the key's hash alongside.
    struct Slot {
        std::uint32_t position = 0;
        std::uint32_t hash = 0;
    };
    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

}  // namespace tessaly::jetdb
