#include "jetdb/key_set.h"

#include <algorithm>
#include <string_view>

namespace tessaly::jetdb {

namespace {

constexpr std::size_t kInitialSlots = 64;

bool same_key(std::span<const std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace

std::uint64_t KeySet::hash_of(std::span<const std::uint8_t> key) {
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
}

bool KeySet::contains(std::span<const std::uint8_t> key,
                      const std::vector<IndexEntry>& entries) const {
    if (slots_.empty()) return false;
    const std::uint64_t h = hash_of(key);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        if (slots_[i] == 0) return false;
        if (hashes_[i] == h && same_key(key, entries[slots_[i] - 1].key)) return true;
    }
}

void KeySet::insert(std::uint32_t position, const std::vector<IndexEntry>& entries) {
    // Kept at most half full, so probes stay short.
    if (2 * (count_ + 1) > slots_.size()) grow();
    const std::uint64_t h = hash_of(entries[position].key);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = h & mask;
    while (slots_[i] != 0)
        i = (i + 1) & mask;
    slots_[i] = position + 1;
    hashes_[i] = h;
    ++count_;
}

void KeySet::grow() {
    std::vector<std::uint32_t> old_slots(std::max(kInitialSlots, slots_.size() * 2), 0);
    std::vector<std::uint64_t> old_hashes(old_slots.size(), 0);
    old_slots.swap(slots_);
    old_hashes.swap(hashes_);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t j = 0; j < old_slots.size(); ++j) {
        if (old_slots[j] == 0) continue;
        std::size_t i = old_hashes[j] & mask;
        while (slots_[i] != 0)
            i = (i + 1) & mask;
        slots_[i] = old_slots[j];
        hashes_[i] = old_hashes[j];
    }
}

}  // namespace tessaly::jetdb
