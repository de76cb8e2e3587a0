// A damage generator for Jet files: deterministic, seeded ways of breaking a
// copy of a database the way real damage does, for the damage suite and for
// making damaged samples. Works on Jet 3 (2048-byte pages) and Jet 4
// (4096-byte pages) images alike; never grows a file beyond what the kind
// says and never reads outside the image.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tessaly::test {

enum class DamageKind {
    Truncate,         // the file is cut at a point between 30% and 95% of its length
    ZeroPages,        // a few pages (never page 0) are zeroed
    ZeroCatalog,      // the catalog definition page (page 2) is zeroed
    GarbleCatalog,    // the catalog definition page is overwritten with noise (type byte kept)
    HeaderVersion,    // the header's version field holds an unknown value
    BitFlips,         // bits flipped all over the file (about one per 4 KiB)
    SwapPages,        // pairs of pages (never page 0) exchange places
    UsageMaps,        // the usage-map rows that tables name are overwritten with noise
    LongValuePages,   // long-value (memo / OLE) pages are zeroed or garbled
    RowOffsets,       // row offset tables of data pages get impossible entries
    TrailingGarbage,  // noise is appended after the last page
};

// Every kind, in declaration order.
const std::vector<DamageKind>& all_damage_kinds();
std::string_view damage_name(DamageKind kind);  // e.g. "zero-catalog"
std::optional<DamageKind> damage_from_name(std::string_view name);

// Applies `kind` to `image` with the given seed. The same image, kind and
// seed always give the same result.
void apply_damage(std::vector<std::uint8_t>& image, DamageKind kind, std::uint32_t seed);

}  // namespace tessaly::test
