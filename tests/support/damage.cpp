// Layout facts used here (independent of the engine's constants):
//   page 0: u32 version at 0x14 (0 = Jet 3, 2048-byte pages; else 4096)
//   page type byte 0: 0x01 data, 0x02 table definition
//   data page: u32 owner at 4 ("LVAL" on long-value pages); u16 row count at
//              8 (Jet 3) or 12 (Jet 4), u16 row offsets after it
//   definition: usage map pointer (u8 row, u24 page) at 35 (Jet 3) or 55 (Jet 4)
#include "support/damage.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <random>

namespace tessaly::test {
namespace {

constexpr std::size_t kVersionOffset = 0x14;
constexpr std::size_t kJet3PageSize = 2048, kJet4PageSize = 4096;
constexpr std::uint8_t kDataPage = 0x01, kDefinitionPage = 0x02;
constexpr std::size_t kOwnerOffset = 4;
constexpr std::array<std::uint8_t, 4> kLongValueMark = {'L', 'V', 'A', 'L'};
constexpr std::size_t kCatalogPage = 2;
constexpr std::uint32_t kUnknownVersion = 0x2A;
constexpr std::size_t kBitFlipSpacing = 4096;
constexpr std::uint32_t kRowOffsetMask = 0x1FFF;

struct Layout {
    std::size_t page_size;
    std::size_t row_count_offset;
    std::size_t usage_map_offset;
};

Layout layout_of(const std::vector<std::uint8_t>& image) {
    const bool jet3 = image.size() > kVersionOffset + 3 && image[kVersionOffset] == 0 &&
                      image[kVersionOffset + 1] == 0 && image[kVersionOffset + 2] == 0 &&
                      image[kVersionOffset + 3] == 0;
    return jet3 ? Layout{kJet3PageSize, 8, 35} : Layout{kJet4PageSize, 12, 55};
}

class Noise {
  public:
    explicit Noise(std::uint32_t seed) : engine_(seed) {}
    std::uint32_t next() { return static_cast<std::uint32_t>(engine_()); }
    // Uniform enough for damage: a value in [0, bound).
    std::size_t below(std::size_t bound) { return bound == 0 ? 0 : next() % bound; }
    std::uint8_t byte() { return static_cast<std::uint8_t>(next()); }
    void fill(std::uint8_t* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            data[i] = byte();
    }

  private:
    std::mt19937 engine_;
};

std::size_t page_count(const std::vector<std::uint8_t>& image, const Layout& l) {
    return image.size() / l.page_size;
}

std::uint8_t* page(std::vector<std::uint8_t>& image, const Layout& l, std::size_t number) {
    return image.data() + number * l.page_size;
}

std::uint32_t read_u32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t read_u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool is_long_value_page(const std::uint8_t* p) {
    return p[0] == kDataPage &&
           std::equal(kLongValueMark.begin(), kLongValueMark.end(), p + kOwnerOffset);
}

bool is_row_data_page(const std::uint8_t* p) {
    return p[0] == kDataPage && !is_long_value_page(p);
}

// Pages matching `pick`, page 0 excluded.
template <typename Pick>
std::vector<std::size_t> pages_where(std::vector<std::uint8_t>& image, const Layout& l, Pick pick) {
    std::vector<std::size_t> out;
    for (std::size_t n = 1; n < page_count(image, l); ++n)
        if (pick(page(image, l, n))) out.push_back(n);
    return out;
}

// Up to `count` distinct members of `from`, chosen by the noise.
std::vector<std::size_t> choose(std::vector<std::size_t> from, std::size_t count, Noise& noise) {
    for (std::size_t i = 0; i < from.size() && i < count; ++i)
        std::swap(from[i], from[i + noise.below(from.size() - i)]);
    from.resize(std::min(count, from.size()));
    return from;
}

void truncate(std::vector<std::uint8_t>& image, Noise& noise) {
    const std::size_t low = image.size() * 30 / 100, high = image.size() * 95 / 100;
    image.resize(low + noise.below(high - low + 1));
}

void zero_pages(std::vector<std::uint8_t>& image, const Layout& l, Noise& noise) {
    std::vector<std::size_t> all;
    for (std::size_t n = 1; n < page_count(image, l); ++n)
        all.push_back(n);
    const std::size_t count = std::max<std::size_t>(1, all.size() / 20);
    for (std::size_t n : choose(all, count, noise))
        std::memset(page(image, l, n), 0, l.page_size);
}

void catalog_page(std::vector<std::uint8_t>& image, const Layout& l, Noise& noise, bool garble) {
    if (page_count(image, l) <= kCatalogPage) return;
    std::uint8_t* p = page(image, l, kCatalogPage);
    if (garble) {
        noise.fill(p + 1, l.page_size - 1);
        p[0] = kDefinitionPage;
    } else {
        std::memset(p, 0, l.page_size);
    }
}

void header_version(std::vector<std::uint8_t>& image) {
    if (image.size() < kVersionOffset + 4) return;
    image[kVersionOffset] = static_cast<std::uint8_t>(kUnknownVersion);
}

void bit_flips(std::vector<std::uint8_t>& image, Noise& noise) {
    const std::size_t flips = std::max<std::size_t>(1, image.size() / kBitFlipSpacing);
    for (std::size_t i = 0; i < flips; ++i)
        image[noise.below(image.size())] ^= static_cast<std::uint8_t>(1u << noise.below(8));
}

void swap_pages(std::vector<std::uint8_t>& image, const Layout& l, Noise& noise) {
    const std::size_t pages = page_count(image, l);
    if (pages < 3) return;
    const std::size_t pairs = std::max<std::size_t>(1, pages / 40);
    std::vector<std::uint8_t> tmp(l.page_size);
    for (std::size_t i = 0; i < pairs; ++i) {
        const std::size_t a = 1 + noise.below(pages - 1), b = 1 + noise.below(pages - 1);
        std::memcpy(tmp.data(), page(image, l, a), l.page_size);
        std::memcpy(page(image, l, a), page(image, l, b), l.page_size);
        std::memcpy(page(image, l, b), tmp.data(), l.page_size);
    }
}

// Start and end (exclusive) of row `row` on a data page, when its entries
// lie inside the page.
std::optional<std::pair<std::size_t, std::size_t>> row_span(const std::uint8_t* p, const Layout& l,
                                                            std::size_t row) {
    const std::size_t count_at = l.row_count_offset;
    const std::size_t count = read_u16(p + count_at);
    if (row >= count || count_at + 2 + 2 * (row + 1) > l.page_size) return std::nullopt;
    const std::size_t start = read_u16(p + count_at + 2 + 2 * row) & kRowOffsetMask;
    const std::size_t end =
        row == 0 ? l.page_size : (read_u16(p + count_at + 2 * row) & kRowOffsetMask);
    if (start >= end || end > l.page_size) return std::nullopt;
    return std::make_pair(start, end);
}

void usage_maps(std::vector<std::uint8_t>& image, const Layout& l, Noise& noise) {
    const auto definitions =
        pages_where(image, l, [](const std::uint8_t* p) { return p[0] == kDefinitionPage; });
    for (std::size_t def :
         choose(definitions, std::max<std::size_t>(1, definitions.size() / 2), noise)) {
        const std::uint32_t pointer = read_u32(page(image, l, def) + l.usage_map_offset);
        const std::size_t row = pointer & 0xFF, map_page = pointer >> 8;
        if (map_page == 0 || map_page >= page_count(image, l)) continue;
        std::uint8_t* p = page(image, l, map_page);
        if (p[0] != kDataPage) continue;
        if (auto span = row_span(p, l, row))
            noise.fill(p + span->first, span->second - span->first);
    }
}

void long_value_pages(std::vector<std::uint8_t>& image, const Layout& l, Noise& noise) {
    const auto pages = pages_where(image, l, is_long_value_page);
    for (std::size_t n : choose(pages, std::max<std::size_t>(1, pages.size() / 3), noise)) {
        std::uint8_t* p = page(image, l, n);
        if (noise.below(2) == 0) {
            std::memset(p, 0, l.page_size);
        } else {
            // Keep the page marks so the reader still takes it for a long-value page.
            noise.fill(p + l.row_count_offset, l.page_size - l.row_count_offset);
        }
    }
}

void row_offsets(std::vector<std::uint8_t>& image, const Layout& l, Noise& noise) {
    const auto pages = pages_where(image, l, is_row_data_page);
    for (std::size_t n : choose(pages, std::max<std::size_t>(1, pages.size() / 4), noise)) {
        std::uint8_t* p = page(image, l, n);
        const std::size_t count = read_u16(p + l.row_count_offset);
        const std::size_t entries =
            std::min<std::size_t>(count + 2, (l.page_size - l.row_count_offset - 2) / 2);
        for (std::size_t i = 0; i < entries; ++i) {
            if (noise.below(3) != 0) continue;
            const std::size_t at = l.row_count_offset + 2 + 2 * i;
            p[at] = noise.byte();
            p[at + 1] = noise.byte();
        }
        if (noise.below(4) == 0) {  // an impossible row count as well
            p[l.row_count_offset] = noise.byte();
            p[l.row_count_offset + 1] = noise.byte();
        }
    }
}

void trailing_garbage(std::vector<std::uint8_t>& image, const Layout& l, Noise& noise) {
    const std::size_t size = l.page_size + l.page_size / 2 + noise.below(l.page_size);
    const std::size_t old = image.size();
    image.resize(old + size);
    noise.fill(image.data() + old, size);
}

struct NamedKind {
    DamageKind kind;
    std::string_view name;
};
constexpr NamedKind kNames[] = {
    {DamageKind::Truncate, "truncate"},
    {DamageKind::ZeroPages, "zero-pages"},
    {DamageKind::ZeroCatalog, "zero-catalog"},
    {DamageKind::GarbleCatalog, "garble-catalog"},
    {DamageKind::HeaderVersion, "header-version"},
    {DamageKind::BitFlips, "bit-flips"},
    {DamageKind::SwapPages, "swap-pages"},
    {DamageKind::UsageMaps, "usage-maps"},
    {DamageKind::LongValuePages, "long-value-pages"},
    {DamageKind::RowOffsets, "row-offsets"},
    {DamageKind::TrailingGarbage, "trailing-garbage"},
};

}  // namespace

const std::vector<DamageKind>& all_damage_kinds() {
    static const std::vector<DamageKind> kinds = [] {
        std::vector<DamageKind> out;
        for (const auto& n : kNames)
            out.push_back(n.kind);
        return out;
    }();
    return kinds;
}

std::string_view damage_name(DamageKind kind) {
    for (const auto& n : kNames)
        if (n.kind == kind) return n.name;
    return "unknown";
}

std::optional<DamageKind> damage_from_name(std::string_view name) {
    for (const auto& n : kNames)
        if (n.name == name) return n.kind;
    return std::nullopt;
}

void apply_damage(std::vector<std::uint8_t>& image, DamageKind kind, std::uint32_t seed) {
    if (image.empty()) return;
    const Layout l = layout_of(image);
    Noise noise(seed * 2654435761u + static_cast<std::uint32_t>(kind));
    switch (kind) {
        case DamageKind::Truncate:
            truncate(image, noise);
            break;
        case DamageKind::ZeroPages:
            zero_pages(image, l, noise);
            break;
        case DamageKind::ZeroCatalog:
            catalog_page(image, l, noise, false);
            break;
        case DamageKind::GarbleCatalog:
            catalog_page(image, l, noise, true);
            break;
        case DamageKind::HeaderVersion:
            header_version(image);
            break;
        case DamageKind::BitFlips:
            bit_flips(image, noise);
            break;
        case DamageKind::SwapPages:
            swap_pages(image, l, noise);
            break;
        case DamageKind::UsageMaps:
            usage_maps(image, l, noise);
            break;
        case DamageKind::LongValuePages:
            long_value_pages(image, l, noise);
            break;
        case DamageKind::RowOffsets:
            row_offsets(image, l, noise);
            break;
        case DamageKind::TrailingGarbage:
            trailing_garbage(image, l, noise);
            break;
    }
}

}  // namespace tessaly::test
