// Reading numbers written as text, the way the desktop engine reads a number
// under English (United States) settings, without locale calls.
//
// Accepted form (blanks are spaces or tabs):
//   [blanks] [ "(" ] [sign] [ "$" ] digits-with-commas [ "." digits ] [exponent] [sign] [ ")" ]
//   [blanks]
//   - sign is '+' or '-', written once, before or after the number;
//   - "(...)" makes the number negative and excludes a sign;
//   - the "$" currency sign may also come before the sign;
//   - commas may separate the digits before the '.', after the first digit;
//   - at least one digit, before or after the '.';
//   - exponent is 'e' or 'E', an optional sign and at least one digit.
// Hexadecimal and octal forms ("&H", "&O"), "Infinity" and "NaN" are not
// numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaly::jetdb {

__extension__ using UInt128 = unsigned __int128;

// A parsed number: (negative ? -1 : 1) x 0.d1 d2 ... dn x 10^point, where
// d1 is the first non-zero digit. count == 0 means the value is zero.
struct DecimalText {
    // Enough for every exact conversion here (at most 38 digits before the
    // rounding digit); further digits only decide rounding.
    static constexpr int kKeptDigits = 40;

    bool negative = false;
    int count = 0;
    std::int32_t point = 0;
    bool dropped_nonzero = false;  // a non-zero digit beyond kKeptDigits was seen
    std::uint8_t digits[kKeptDigits] = {};

    bool is_zero() const { return count == 0; }
};

// Parses `text`. Returns false when it is not a number of the form above.
bool parse_decimal_text(std::string_view text, DecimalText& out);

// Largest magnitude scaled_magnitude() answers: 10^38 - 1.
UInt128 max_scaled_magnitude();

// |value| x 10^scale, rounded to an integer half to even (the engine's
// rounding, so 2.5 -> 2, 3.5 -> 4, 0.00005 at scale 4 -> 0, 0.00015 -> 2).
// std::nullopt when the result exceeds max_scaled_magnitude().
// REQUIRES: 0 <= scale <= 38.
std::optional<UInt128> scaled_magnitude(const DecimalText& number, int scale);

// 10^exponent for 0 <= exponent <= 38.
UInt128 power_of_ten(int exponent);

// The nearest double / float. Values too small for the type give 0;
// std::nullopt when the value is too large for the type.
std::optional<double> decimal_to_double(const DecimalText& number);
std::optional<float> decimal_to_float(const DecimalText& number);

}  // namespace tessaly::jetdb
