// Index key encoding of Jet 4 (General sort order, LCID 0x0409).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "jetdb/column_type.h"
#include "jetdb/field_value.h"

namespace tessaly::jetdb {

// Appends one column's part of an index key exactly as Access writes it on
// index pages: the flag byte (0x7F ascending, 0x80 descending) and the encoded
// value, or the null marker.
//
// Requires: `value` laid out as field_value.h describes for `column.type`.
// Guarantees: comparing whole keys as unsigned byte strings (shorter first on
// a common prefix) gives Access's row order. Booleans are never null (a null
// boolean is keyed as false). Throws EngineError for OLE columns, which cannot
// be indexed, and for fixed-type values of the wrong width.
void append_index_key(std::vector<std::uint8_t>& key, const ColumnSpec& column,
                      const FieldValue& value, bool ascending);

// Key flag bytes.
inline constexpr std::uint8_t kKeyAscendingFlag = 0x7F;
inline constexpr std::uint8_t kKeyDescendingFlag = 0x80;
inline constexpr std::uint8_t kKeyAscendingNull = 0x00;
inline constexpr std::uint8_t kKeyDescendingNull = 0xFF;

// Characters of a text value that take part in its key.
inline constexpr std::size_t kMaxIndexedTextChars = 255;

// Appends the General (legacy) sort-order encoding of `text` without the flag
// byte: inline codes, 0x01, the accent / class / unprintable sections, 0x00
// (descending: everything inverted and one more 0x00). Trailing spaces and
// characters past kMaxIndexedTextChars do not take part.
void append_general_text_key(std::vector<std::uint8_t>& key, std::u16string_view text,
                             bool ascending);

}  // namespace tessaly::jetdb
