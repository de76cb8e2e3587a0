// Index key encoding of Jet 4 (General sort order, LCID 0x0409).
#pragma once

#include <cstdint>
#include <vector>

#include "jetdb/column_type.h"
#include "jetdb/field_value.h"

namespace tessaly::jetdb {

// Appends one column's part of an index key exactly as Access writes it on
// index pages: the flag byte (0x7F ascending, 0x80 descending) and the encoded
// value, or the null marker.
void append_index_key(std::vector<std::uint8_t>& key, const ColumnSpec& column,
                      const FieldValue& value, bool ascending);

}  // namespace tessaly::jetdb
