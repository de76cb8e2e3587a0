// Reading dates and times written as text, the way the desktop engine reads
// them under English (United States) settings, without locale calls.
//
// Accepted forms (blanks are spaces or tabs, surrounding blanks ignored,
// AM/PM in any case):
//   date               M/D/Y or M-D-Y (month first), or Y-M-D or Y/M/D when the
//                      first group has 3 or 4 digits (ISO order)
//   time               H:MM[:SS] [AM|PM], or H AM|PM; 24-hour without AM/PM
//   date time          the two separated by blanks, or by 'T' after a Y-M-D date
// Years of one or two digits follow the 1930-2029 window (30 -> 1930,
// 29 -> 2029); years of three or four digits are taken as written and must
// lie in 100..9999. Month names, fractional seconds and time zones are not
// accepted.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaly::jetdb {

// Days from 1899-12-30 (the automation date epoch) to the given proleptic
// Gregorian date. REQUIRES: a valid date.
std::int64_t days_from_epoch(int year, int month, int day);

// The automation date (days since 1899-12-30, time of day as the fraction)
// of `days` after the epoch at `seconds` (0..86399) past midnight: the
// nearest double to days + seconds/86400, except that before the epoch the
// time part counts away from zero (1899-12-29 06:00 is -1.25).
double automation_date(std::int64_t days, int seconds);

// Parses `text`; std::nullopt when it is not a date/time of the forms above
// or names a day that does not exist. A time alone is a time on 1899-12-30
// (a value in [0, 1)).
std::optional<double> parse_date_text(std::string_view text);

}  // namespace tessaly::jetdb
