// A plain listing of the catalog table (the definition on page 2): every
// object's type, id and name, in stored order. Read-only front ends (the CLI's
// dump, the fuzz target) use it; the recovery driver walks the catalog itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reader/jet_file.h"
#include "recovery/recovery_state.h"

namespace tessaly::reader {

inline constexpr std::int64_t kCatalogPage = 2;
inline constexpr std::int32_t kObjectTypeMask = 0x7F;
inline constexpr std::int64_t kObjectIdPageMask = 0xFFFFFF;
inline constexpr std::int32_t kObjectTypeTable = 1;
inline constexpr std::int32_t kObjectTypeQuery = 5;
inline constexpr std::string_view kSystemObjectPrefix = "MSys";

struct CatalogObject {
    std::int32_t type = 0;             // object type (low 7 bits of the stored type)
    std::int32_t stored_type = 0;      // the stored type as read
    std::int64_t definition_page = 0;  // low 24 bits of the object id
    std::string name;                  // UTF-8
};

// Decimal text to integer: leading blanks skipped, an optional sign, digits up
// to the first non-digit; 0 when there are none (or the value does not fit).
std::int64_t parse_catalog_number(std::string_view text);

// Reads every catalog row into `objects`. False when the catalog's definition
// or columns cannot be read. A confirmed stop ends the listing early. The
// file's current page moves.
bool list_catalog(const std::shared_ptr<JetFile>& file, recovery::RecoveryState& state,
                  std::vector<CatalogObject>& objects);

// Type 1, a non-empty name that does not begin with "MSys" (case-sensitive).
bool is_user_table(const CatalogObject& object);

}  // namespace tessaly::reader
