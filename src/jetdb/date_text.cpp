#include "jetdb/date_text.h"

namespace tessaly::jetdb {

namespace {

constexpr int kSecondsPerDay = 86400;
constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;
constexpr int kMinYear = 100;
constexpr int kMaxYear = 9999;
// Two-digit years: below the pivot they belong to the 2000s, else the 1900s.
constexpr int kTwoDigitYearPivot = 30;
constexpr int kMaxGroupDigits = 4;
constexpr int kHoursPerHalfDay = 12;

constexpr int kEpochYear = 1899;
constexpr int kEpochMonth = 12;
constexpr int kEpochDay = 30;

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool is_leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int days_in_month(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (m == 2 && is_leap(y)) ? 29 : kDays[m - 1];
}

// Days since 0000-03-01 style civil count (proleptic Gregorian), shifted so
// that March starts the computational year and leap days fall last.
std::int64_t civil_day_number(int y, int m, int d) {
    const int year = m <= 2 ? y - 1 : y;
    const int era = year / 400;  // year >= 99 here, never negative
    const int year_of_era = year - era * 400;
    const int shifted_month = m > 2 ? m - 3 : m + 9;
    const int day_of_year = (153 * shifted_month + 2) / 5 + d - 1;
    const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return static_cast<std::int64_t>(era) * 146097 + day_of_era;
}

class Cursor {
  public:
    explicit Cursor(std::string_view s) : s_(s) {}
    bool done() const { return i_ >= s_.size(); }
    char peek() const { return done() ? '\0' : s_[i_]; }
    void advance() { ++i_; }
    std::size_t pos() const { return i_; }
    void reset(std::size_t pos) { i_ = pos; }
    void skip_blanks() {
        while (!done() && is_blank(s_[i_]))
            ++i_;
    }
    // Reads 1..kMaxGroupDigits digits; false when there is none or too many.
    bool number(int& value, int& digits) {
        value = 0;
        digits = 0;
        while (!done() && is_digit(s_[i_])) {
            if (++digits > kMaxGroupDigits) return false;
            value = value * 10 + (s_[i_] - '0');
            ++i_;
        }
        return digits > 0;
    }

  private:
    std::string_view s_;
    std::size_t i_ = 0;
};

struct DateParts {
    int year = 0, month = 0, day = 0;
    bool iso_order = false;
};

int expand_year(int value, int digits) {
    if (digits > 2) return value;
    return value < kTwoDigitYearPivot ? 2000 + value : 1900 + value;
}

// Reads a date if the text starts with one. Returns false (cursor unchanged
// meaning "no date here") only when the first group is not followed by a
// date separator; sets `bad` when it starts like a date but is not one.
bool read_date(Cursor& c, DateParts& out, bool& bad) {
    const std::size_t start = c.pos();
    int a, a_digits;
    if (!c.number(a, a_digits)) {
        c.reset(start);
        return false;
    }
    const char sep = c.peek();
    if (sep != '/' && sep != '-') {
        c.reset(start);
        return false;
    }
    c.advance();
    int b, b_digits, d, d_digits;
    if (!c.number(b, b_digits) || b_digits > 2 || c.peek() != sep) {
        bad = true;
        return false;
    }
    c.advance();
    if (!c.number(d, d_digits)) {
        bad = true;
        return false;
    }
    if (a_digits >= 3) {
        if (d_digits > 2) {
            bad = true;
            return false;
        }
        out = {a, b, d, true};
    } else {
        if (d_digits == 3 && d < kMinYear) {
            bad = true;
            return false;
        }
        out = {expand_year(d, d_digits), a, b, false};
    }
    if (out.year < kMinYear || out.year > kMaxYear || out.month < 1 || out.month > 12 ||
        out.day < 1 || out.day > days_in_month(out.year, out.month)) {
        bad = true;
        return false;
    }
    return true;
}

// Reads a time; the cursor must be at its first digit.
bool read_time(Cursor& c, int& seconds) {
    int h, h_digits, m = 0, s = 0, digits;
    if (!c.number(h, h_digits) || h_digits > 2) return false;
    bool has_minutes = false;
    if (c.peek() == ':') {
        c.advance();
        if (!c.number(m, digits) || digits > 2) return false;
        has_minutes = true;
        if (c.peek() == ':') {
            c.advance();
            if (!c.number(s, digits) || digits > 2) return false;
        }
    }
    c.skip_blanks();
    const char first = upper(c.peek());
    bool has_meridiem = false;
    bool pm = false;
    if (first == 'A' || first == 'P') {
        c.advance();
        if (upper(c.peek()) != 'M') return false;
        c.advance();
        has_meridiem = true;
        pm = first == 'P';
    }
    if (!has_minutes && !has_meridiem) return false;
    if (m > 59 || s > 59) return false;
    if (has_meridiem) {
        if (h > kHoursPerHalfDay) return false;
        h %= kHoursPerHalfDay;
        if (pm) h += kHoursPerHalfDay;
    } else if (h > 23) {
        return false;
    }
    seconds = h * kSecondsPerHour + m * kSecondsPerMinute + s;
    return true;
}

}  // namespace

std::int64_t days_from_epoch(int year, int month, int day) {
    static const std::int64_t epoch = civil_day_number(kEpochYear, kEpochMonth, kEpochDay);
    return civil_day_number(year, month, day) - epoch;
}

double automation_date(std::int64_t days, int seconds) {
    // One rounding only: the numerator is an exact integer well below 2^53.
    if (days >= 0) return static_cast<double>(days * kSecondsPerDay + seconds) / kSecondsPerDay;
    return -static_cast<double>(-days * kSecondsPerDay + seconds) / kSecondsPerDay;
}

std::optional<double> parse_date_text(std::string_view text) {
    Cursor c(text);
    c.skip_blanks();
    DateParts date;
    bool bad = false;
    const bool has_date = read_date(c, date, bad);
    if (bad) return std::nullopt;

    int seconds = 0;
    bool has_time = false;
    if (has_date) {
        const std::size_t after_date = c.pos();
        if (date.iso_order && upper(c.peek()) == 'T') {
            c.advance();
            if (!is_digit(c.peek()) || !read_time(c, seconds)) return std::nullopt;
            has_time = true;
        } else {
            c.skip_blanks();
            if (!c.done()) {
                if (c.pos() == after_date || !read_time(c, seconds)) return std::nullopt;
                has_time = true;
            }
        }
    } else {
        if (!is_digit(c.peek()) || !read_time(c, seconds)) return std::nullopt;
        has_time = true;
    }
    c.skip_blanks();
    if (!c.done()) return std::nullopt;

    const std::int64_t days = has_date ? days_from_epoch(date.year, date.month, date.day) : 0;
    return automation_date(days, has_time ? seconds : 0);
}

}  // namespace tessaly::jetdb
