// Conversion of a field's text into its typed value, as the desktop database
// engine converts a string under English (United States) settings.
//
// Per column type (numbers are read as number_text.h describes: blanks around,
// a sign before or after, '.' decimals, ',' digit grouping, exponents, "$",
// parentheses for negatives; dates as date_text.h describes):
//   Boolean   "True"/"False", "Yes"/"No" (any case, blanks around), or any
//             number: non-zero is true ("-1", "1", "0.5"); bytes {1} / {0}.
//   Byte      0..255; Int -32768..32767; Long -2^31..2^31-1. Fractions are
//             rounded half to even first ("2.5" -> 2, "3.5" -> 4, "-0.4" -> 0
//             also for Byte), then the range is checked.
//   Currency  ten-thousandths in a signed 64-bit integer, rounded half to even
//             at the fifth decimal ("0.00005" -> 0, "0.00015" -> 2).
//   Single, Double  the nearest value of the type; too large is an error, too
//             small gives 0.
//   DateTime  the automation date (days since 1899-12-30); before 1899-12-30
//             the time part counts away from zero (1899-12-29 06:00 = -1.25).
//   Guid      "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" with or without the
//             braces, any case; bytes in on-disk order (first three groups
//             little-endian, the last eight bytes as written).
//   Numeric   17 bytes: sign (0x80 negative, 0 otherwise) and the magnitude
//             scaled by 10^scale as four 32-bit little-endian words, most
//             significant word first. Rounded half to even at the scale;
//             a value needing more than precision digits is an error
//             (precision 0 counts as 18, the DDL default).
//   Text      at most size/2 UTF-16 units (255 when size is 0); Memo any length.
//   Binary, Ole  the text's UTF-16LE bytes, as the engine stores a string
//             assigned to a binary field; Binary holds at most `size` bytes
//             (255 when size is 0).
// An empty text gives null for every type; blanks alone are not a number.
#pragma once

#include <string_view>

#include "jetdb/column_type.h"
#include "jetdb/field_value.h"

namespace tessaly::jetdb {

// Converts UTF-8 `text` for a column of `column`'s type and size.
// An empty text gives a null value. Throws EngineError when the text does not
// convert (not a number, out of range, text longer than the column, ...); the
// message names the field, its type and the reason.
FieldValue convert_field_text(const ColumnSpec& column, std::string_view text);

// The type's name as the engine's user interface shows it ("Long Integer").
const char* column_type_name(ColumnType type);

}  // namespace tessaly::jetdb
