// Rendering one column value as text.
//
// Every value the reader delivers is UTF-8 text; its format is what the
// rebuilt database receives, so the texts below are part of the program's
// behaviour:
//
//   code  stored value            text
//   1     the null-mask bit        "1" when set, "0" when clear
//   2     u8                       decimal, 0..255
//   3     i16                      decimal, signed
//   4     i32                      decimal, signed
//   5     i64 ten-thousandths      at least one integer digit, '.', four decimals ("-1.5000")
//   6     IEEE single              about 6 significant digits, trailing zeros trimmed
//   7     IEEE double              about 15 significant digits, trailing zeros trimmed
//   8     IEEE double, days since 1899-12-30
//                                  "MM/DD/YYYY hh:mm:ss AM" (12-hour clock); "MM/DD/YYYY "
//                                  (trailing blank) without a time; "hh:mm:ss AM" alone on
//                                  day 0; seconds rounded to the nearest; years 100..9999
//   9     binary                   always empty
//   10    text                     UTF-8 (Jet 4 UTF-16LE or compressed; Jet 3 code page)
//   11    long binary              "OLE DATA"
//   12    memo                     long_value.h
//   16    numeric (17 bytes)       sign, then the magnitude zero-padded to `precision`
//                                  digits with '.' before the last `scale` digits
//   other                          empty
//
// A null value (other than a boolean), a value of length 0 and a value whose
// bytes do not lie inside the current page all render as empty text.
#pragma once

#include <cstdint>
#include <string>

#include "reader/table_def.h"

namespace tessaly::reader {

enum ColumnTypeCode : std::int32_t {
    kTypeBoolean = 1,
    kTypeByte = 2,
    kTypeInt16 = 3,
    kTypeInt32 = 4,
    kTypeMoney = 5,
    kTypeSingle = 6,
    kTypeDouble = 7,
    kTypeDateTime = 8,
    kTypeBinary = 9,
    kTypeText = 10,
    kTypeLongBinary = 11,
    kTypeMemo = 12,
    kTypeNumeric = 16,
};

// Width of a numeric (type 16) value.
inline constexpr std::int64_t kNumericSize = 17;
// Text of every non-empty long binary value.
inline constexpr std::string_view kLongBinaryText = "OLE DATA";

// Renders one column's value, located in the current page, into `out`.
void render_column(const ColumnDef& column, JetFile& file, std::int64_t position,
                   std::int64_t length, bool is_null, std::string& out);

// Text of a value of types 2 to 12 at position/length of the current page.
void render_value(std::int32_t type, JetFile& file, std::int64_t position, std::int64_t length,
                  std::string& out);
void render_numeric(JetFile& file, std::int64_t position, std::int32_t precision,
                    std::int32_t scale, std::string& out);
void render_money(JetFile& file, std::int64_t position, std::string& out);
void render_datetime(JetFile& file, std::int64_t position, std::string& out);

// The formatting rules, free of pages.
std::string format_money(std::int64_t ten_thousandths);
// `single` selects the type 6 rule (6 digits, exponent rounded to single precision).
std::string format_float(double x, bool single);
std::string format_datetime(double days);
std::string format_numeric(bool negative, unsigned __int128 magnitude, std::int32_t precision,
                           std::int32_t scale);

}  // namespace tessaly::reader
