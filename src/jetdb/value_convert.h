// Conversion of a field's text into its typed value, as the desktop database
// engine converts a string under English (United States) settings.
#pragma once

#include <string_view>

#include "jetdb/column_type.h"
#include "jetdb/field_value.h"

namespace tessaly::jetdb {

// Converts UTF-8 `text` for a column of `column`'s type and size.
// An empty text gives a null value. Throws EngineError when the text does not
// convert (not a number, out of range, text longer than the column, ...).
FieldValue convert_field_text(const ColumnSpec& column, std::string_view text);

}  // namespace tessaly::jetdb
