#include "jetdb/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tessaly::jetdb {

namespace {

constexpr int kMaxScaledDigits = 38;
// Exponents beyond this are saturated; every type overflows or underflows
// long before.
constexpr std::int32_t kExponentLimit = 100000;
constexpr int kRoundingHalf = 5;

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

std::int32_t clamp_exponent(std::int64_t v) {
    if (v > kExponentLimit) return kExponentLimit;
    if (v < -kExponentLimit) return -kExponentLimit;
    return static_cast<std::int32_t>(v);
}

// Collects significant digits into `out`.
class DigitSink {
  public:
    explicit DigitSink(DecimalText& out) : out_(out) {}

    void integer_digit(int d) {
        if (!started_ && d == 0) return;
        started_ = true;
        keep(d);
        ++integer_digits_;
    }
    void fraction_digit(int d) {
        if (!started_ && d == 0) {
            ++leading_fraction_zeros_;
            return;
        }
        started_ = true;
        keep(d);
    }
    std::int64_t point() const {
        return started_ ? integer_digits_ - (integer_digits_ == 0 ? leading_fraction_zeros_ : 0)
                        : 0;
    }

  private:
    void keep(int d) {
        if (out_.count < DecimalText::kKeptDigits)
            out_.digits[out_.count++] = static_cast<std::uint8_t>(d);
        else if (d != 0)
            out_.dropped_nonzero = true;
    }

    DecimalText& out_;
    bool started_ = false;
    std::int64_t integer_digits_ = 0;
    std::int64_t leading_fraction_zeros_ = 0;
};

// Writes "d1d2...dn[1]e<exp>" for from_chars; a trailing 1 stands for dropped
// non-zero digits so that rounding still sees them.
std::size_t format_for_from_chars(const DecimalText& n, char* buf, std::size_t size) {
    std::size_t len = 0;
    for (int i = 0; i < n.count; ++i)
        buf[len++] = static_cast<char>('0' + n.digits[i]);
    std::int64_t exp = static_cast<std::int64_t>(n.point) - n.count;
    if (n.dropped_nonzero) {
        buf[len++] = '1';
        --exp;
    }
    buf[len++] = 'e';
    auto res = std::to_chars(buf + len, buf + size, exp);
    return static_cast<std::size_t>(res.ptr - buf);
}

template <typename Float>
std::optional<Float> decimal_to_floating(const DecimalText& n) {
    if (n.is_zero()) return Float(0);
    char buf[DecimalText::kKeptDigits + 32];
    const std::size_t len = format_for_from_chars(n, buf, sizeof buf);
    Float value{};
    const auto res = std::from_chars(buf, buf + len, value);
    if (res.ec == std::errc::result_out_of_range) {
        if (n.point > 0) return std::nullopt;  // too large
        return Float(0);                       // too small
    }
    if (res.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    return n.negative ? -value : value;
}

}  // namespace

bool parse_decimal_text(std::string_view text, DecimalText& out) {
    out = DecimalText{};
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && is_blank(text[i]))
        ++i;

    bool parenthesised = false;
    bool sign_seen = false;
    bool currency_seen = false;
    if (i < n && text[i] == '(') {
        parenthesised = true;
        ++i;
    }
    for (;;) {
        if (i >= n) return false;
        const char c = text[i];
        if ((c == '+' || c == '-') && !sign_seen && !parenthesised) {
            sign_seen = true;
            out.negative = c == '-';
            ++i;
        } else if (c == '$' && !currency_seen) {
            currency_seen = true;
            ++i;
        } else {
            break;
        }
    }

    DigitSink sink(out);
    bool any_digit = false;
    while (i < n) {
        const char c = text[i];
        if (is_digit(c)) {
            sink.integer_digit(c - '0');
            any_digit = true;
        } else if (c == ',' && any_digit) {
            // thousands separator
        } else {
            break;
        }
        ++i;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && is_digit(text[i])) {
            sink.fraction_digit(text[i] - '0');
            any_digit = true;
            ++i;
        }
    }
    if (!any_digit) return false;

    std::int64_t exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool exp_negative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            exp_negative = text[i] == '-';
            ++i;
        }
        if (i >= n || !is_digit(text[i])) return false;
        while (i < n && is_digit(text[i])) {
            if (exponent <= kExponentLimit) exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (exp_negative) exponent = -exponent;
    }

    if (i < n && (text[i] == '+' || text[i] == '-') && !sign_seen && !parenthesised) {
        out.negative = text[i] == '-';
        ++i;
    }
    if (parenthesised) {
        if (i >= n || text[i] != ')') return false;
        out.negative = true;
        ++i;
    }
    while (i < n && is_blank(text[i]))
        ++i;
    if (i != n) return false;

    if (out.is_zero()) {
        out.point = 0;
    } else {
        out.point = clamp_exponent(sink.point() + exponent);
    }
    return true;
}

UInt128 power_of_ten(int exponent) {
    UInt128 v = 1;
    for (int i = 0; i < exponent; ++i)
        v *= 10;
    return v;
}

UInt128 max_scaled_magnitude() {
    static const UInt128 max = power_of_ten(kMaxScaledDigits) - 1;
    return max;
}

std::optional<UInt128> scaled_magnitude(const DecimalText& number, int scale) {
    if (number.is_zero()) return UInt128{0};
    const std::int64_t whole_digits = static_cast<std::int64_t>(number.point) + scale;
    if (whole_digits > kMaxScaledDigits) return std::nullopt;
    if (whole_digits < 0) return UInt128{0};  // below 0.1 units: rounds to zero

    UInt128 v = 0;
    for (std::int64_t k = 0; k < whole_digits; ++k)
        v = v * 10 + (k < number.count ? number.digits[k] : 0);

    const int round_digit = whole_digits < number.count ? number.digits[whole_digits] : 0;
    bool rest_nonzero = number.dropped_nonzero;
    for (std::int64_t k = whole_digits + 1; k < number.count && !rest_nonzero; ++k)
        rest_nonzero = number.digits[k] != 0;
    if (round_digit > kRoundingHalf ||
        (round_digit == kRoundingHalf && (rest_nonzero || (v & 1) != 0)))
        ++v;
    if (v > max_scaled_magnitude()) return std::nullopt;
    return v;
}

std::optional<double> decimal_to_double(const DecimalText& number) {
    return decimal_to_floating<double>(number);
}

std::optional<float> decimal_to_float(const DecimalText& number) {
    return decimal_to_floating<float>(number);
}

}  // namespace tessaly::jetdb
