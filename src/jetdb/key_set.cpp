#include "jetdb/key_set.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tessaly::jetdb {

namespace {

constexpr std::size_t kInitialSlots = 64;

bool same_key(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

}  // namespace

std::uint32_t KeySet::hash_of(std::span<const std::uint8_t> key) {
    const std::uint64_t h = std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

bool KeySet::contains(std::span<const std::uint8_t> key, const IndexKeys& entries) const {
    if (slots_.empty()) return false;
    const std::uint32_t h = hash_of(key);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (s.position == 0) return false;
        if (s.hash == h && same_key(key, entries.key(s.position - 1))) return true;
    }
}

void KeySet::insert(std::uint32_t position, const IndexKeys& entries) {
    // Kept at most half full, so probes stay short.
    if (2 * (count_ + 1) > slots_.size()) grow();
    const std::uint32_t h = hash_of(entries.key(position));
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = h & mask;
    while (slots_[i].position != 0)
        i = (i + 1) & mask;
    slots_[i] = Slot{position + 1, h};
    ++count_;
}

void KeySet::grow() {
    std::vector<Slot> old(std::max(kInitialSlots, slots_.size() * 2));
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
        if (s.position == 0) continue;
        std::size_t i = s.hash & mask;
        while (slots_[i].position != 0)
            i = (i + 1) & mask;
        slots_[i] = s;
    }
}

}  // namespace tessaly::jetdb
