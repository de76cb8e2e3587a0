// Page 0 of a Jet 4 database: the database definition page.
#pragma once

#include <cstdint>
#include <span>

#include "jetdb/usage_map.h"

namespace tessaly::jetdb {

struct HeaderFields {
    double creation_date = 0;  // OLE automation date
    std::uint16_t code_page = layout::kCodePage1252;
    std::uint16_t sort_lcid = layout::kLcidEnglishUs;
};

// Builds page 0: signature, version, the masked region (constants, code
// page, no database key, the empty-password area, engine build, sort order,
// creation date) and the fixed trailer.
PageBytes build_header_page(const HeaderFields& fields);

// XORs `bytes` with the RC4 keystream of `key` (applying it twice restores
// the input).
void rc4_apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> bytes);

}  // namespace tessaly::jetdb
