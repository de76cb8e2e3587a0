// Test-side reading of Jet 4 index pages: header fields and full entries.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tessaly::jetdb::test {

struct ParsedIndexPage {
    std::uint8_t type = 0;
    std::uint16_t free_space = 0;
    std::uint32_t tdef = 0;
    std::uint32_t prev = 0;
    std::uint32_t next = 0;
    std::uint32_t tail = 0;
    std::uint16_t prefix = 0;
    std::uint8_t node_marker = 0;
    std::size_t data_end = 0;                        // end of the last entry, from 0x1E0
    std::vector<std::vector<std::uint8_t>> entries;  // complete entries (prefix restored)
};

inline std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// Parses one 4096-byte index page; nullopt when it is not one or an entry
// runs outside the page.
inline std::optional<ParsedIndexPage> parse_index_page(std::span<const std::uint8_t> page) {
    constexpr std::size_t kMask = 0x1B, kMaskSize = 453, kData = 0x1E0;
    if (page.size() != 4096 || (page[0] != 0x03 && page[0] != 0x04) || page[1] != 0x01)
        return std::nullopt;
    ParsedIndexPage p;
    p.type = page[0];
    p.free_space = static_cast<std::uint16_t>(page[2] | (page[3] << 8));
    p.tdef = le32(page, 4);
    p.prev = le32(page, 0x0C);
    p.next = le32(page, 0x10);
    p.tail = le32(page, 0x14);
    p.prefix = static_cast<std::uint16_t>(page[0x18] | (page[0x19] << 8));
    p.node_marker = page[0x1A];
    std::size_t start = 0;
    std::vector<std::uint8_t> prefix;
    for (std::size_t bit = 0; bit < kMaskSize * 8; ++bit) {
        if (!(page[kMask + bit / 8] & (1u << (bit % 8)))) continue;
        if (bit < start || kData + bit > page.size()) return std::nullopt;
        std::vector<std::uint8_t> e;
        if (!p.entries.empty()) e = prefix;
        e.insert(e.end(), page.begin() + kData + start, page.begin() + kData + bit);
        if (p.entries.empty()) {
            if (e.size() < p.prefix) return std::nullopt;
            prefix.assign(e.begin(), e.begin() + p.prefix);
        }
        p.entries.push_back(std::move(e));
        start = bit;
    }
    p.data_end = start;
    return p;
}

}  // namespace tessaly::jetdb::test
