// What the recovery driver needs to know about the catalog table (the system
// table whose definition starts on page 2) beyond what the reader provides.
//
// Catalog columns, looked up by name; when a name cannot be read the column is
// taken from its usual position in the column list:
//   value         column   Jet 4 slot  Jet 3 slot  decoding
//   object type   "Type"   16          3           decimal; low 7 bits
//   object id     "Id"     6           0           decimal; low 24 bits = definition page
//   object name   "Name"   11          2           text
//
// A catalog row as the raw scan reads it without a definition, relative to the
// row base b (b = row start for Jet 3, row start + 1 for Jet 4, because a Jet 4
// row begins with a two-byte column count and a Jet 3 row with a one-byte one):
//   b + 1    u16  low 16 bits of the object id (the definition page)
//   b + 9    u8   object type (low 7 bits used)
//   b + 31   ...  object name: the first variable-length value after the
//                 30-byte fixed area (Jet 4: two bytes per character)
// Row offset entries of a data page keep flags in their top four bits.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessaly::recovery {

// Catalog column names and their usual slots.
inline constexpr std::string_view kCatalogTypeColumn = "Type";
inline constexpr std::string_view kCatalogIdColumn = "Id";
inline constexpr std::string_view kCatalogNameColumn = "Name";
struct CatalogSlots {
    int type, id, name;
};
inline constexpr CatalogSlots kJet4CatalogSlots{16, 6, 11};
inline constexpr CatalogSlots kJet3CatalogSlots{3, 0, 2};

// Object types the driver acts on.
inline constexpr std::int32_t kObjectTypeRelationship = 8;

// Names the driver passes over: system tables and temporary saved queries
// (both compared exactly, case-sensitive).
inline constexpr std::string_view kTemporaryQueryPrefix = "~s";

// Raw catalog rows.
inline constexpr std::int64_t kJet4RowBaseAdjust = 1;
inline constexpr std::int64_t kRawIdOffset = 1;
inline constexpr std::int64_t kRawTypeOffset = 9;
inline constexpr std::int64_t kRawNameOffset = 31;
inline constexpr std::uint32_t kRowEntryFlagBits = 0xF000;
// Longest name kept by the raw scan, in characters.
inline constexpr std::size_t kMaxScannedNameChars = 257;
// Longest stored name accepted when a name is cut by its row's offset table,
// in bytes (Jet names have at most 64 characters; generous for damaged files).
inline constexpr std::int64_t kMaxStoredNameBytes = 2 * kMaxScannedNameChars;

}  // namespace tessaly::recovery
