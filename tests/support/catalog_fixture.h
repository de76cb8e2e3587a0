// Synthetic databases for the catalog walk and the raw catalog scan: a
// catalog on page 2 in the system's own row layout (the fixed Id, ParentId,
// Type, DateCreate, DateUpdate and Flags columns, 30 bytes, then Name as the
// first variable-length value), so that both the walk (through the
// definition) and the scan (at fixed positions) read the same objects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/jet_page_builder.h"

namespace tessaly::test {

struct CatalogObjectSpec {
    std::int32_t id = 0;
    std::string name;
    std::int32_t type = 1;  // stored as a 16-bit value
    // Stored name bytes to use instead of encoding `name`.
    std::optional<std::vector<std::uint8_t>> raw_name;
};

// Adds a user table with columns Id (long) and Label (text) and `rows` rows
// (Id 1..rows); returns its definition page.
int add_user_table(JetFileBuilder& builder, int rows);

// Writes the catalog definition on page 2 and its rows on one new data page;
// returns the data page.
int add_system_catalog(JetFileBuilder& builder, const std::vector<CatalogObjectSpec>& objects);

// The row bytes of one catalog object in the catalog layout.
std::vector<std::uint8_t> catalog_row(const JetFileBuilder& builder,
                                      const CatalogObjectSpec& object);

// Overwrites a whole page with a fixed pseudo-random pattern (byte 0 kept as
// `first_byte`), seeded by `seed`.
void garble_page(JetFileBuilder& builder, int page, std::uint8_t first_byte, std::uint32_t seed);

}  // namespace tessaly::test
