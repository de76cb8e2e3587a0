#include "reader/value_render.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "reader/long_value.h"

namespace tessaly::reader {

namespace {

constexpr int kSingleDigits = 6;
constexpr int kDoubleDigits = 15;
constexpr int kDefaultDecimals = 6;  // used when the digit rule gives no decimals count
constexpr int kMoneyDecimals = 4;
constexpr std::uint8_t kNumericNegative = 0x80;
constexpr std::int32_t kMaxNumericDigits = 40;  // bound for damaged precision/scale

// Date range Access stores: 01/01/100 .. 12/31/9999, as day numbers.
constexpr double kFirstDay = -657434;
constexpr double kLastDay = 2958465;
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kDaysFrom1970To1899_12_30 = -25569;

// Civil date of a day count from 1970-01-01 (proleptic Gregorian).
void civil_from_days(std::int64_t z, std::int64_t& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

std::string time_text(std::int64_t seconds) {
    const int h = static_cast<int>(seconds / 3600);
    const int m = static_cast<int>(seconds / 60 % 60);
    const int s = static_cast<int>(seconds % 60);
    const int h12 = h % 12 == 0 ? 12 : h % 12;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d %s", h12, m, s, h < 12 ? "AM" : "PM");
    return buf;
}

std::string u128_to_decimal(unsigned __int128 v) {
    std::string digits;
    do {
        digits.push_back(static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    } while (v != 0);
    std::reverse(digits.begin(), digits.end());
    return digits;
}

void render_text(JetFile& file, ByteView value, std::string& out) {
    if (file.is_jet4())
        decode_text(value, out);
    else
        file.decode_8bit_text(value, out);
}

}  // namespace

std::string format_money(std::int64_t ten_thousandths) {
    const bool negative = ten_thousandths < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(ten_thousandths)
                                       : static_cast<std::uint64_t>(ten_thousandths);
    std::string digits = std::to_string(magnitude);
    if (digits.size() < kMoneyDecimals + 1)
        digits.insert(0, kMoneyDecimals + 1 - digits.size(), '0');
    digits.insert(digits.size() - kMoneyDecimals, 1, '.');
    return negative ? "-" + digits : digits;
}

std::string format_float(double x, bool single) {
    if (!std::isfinite(x)) return {};
    if (x == 0) return "0";
    double e = std::log10(std::fabs(x));
    if (single) e = static_cast<float>(e);
    const int p = (single ? kSingleDigits : kDoubleDigits) - static_cast<int>(std::ceil(e));
    std::array<char, 1024> buf;
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), x, std::chars_format::fixed,
                           p < 0 ? kDefaultDecimals : p);
    std::string text(buf.data(), r.ec == std::errc() ? r.ptr : buf.data());
    if (p != 0 && text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    return text;
}

std::string format_datetime(double x) {
    if (!std::isfinite(x)) return {};
    double whole = std::trunc(x);
    if (whole < kFirstDay || whole > kLastDay) return {};
    std::int64_t day = static_cast<std::int64_t>(whole);
    std::int64_t seconds = std::llround(std::fabs(x - whole) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        if (day < static_cast<std::int64_t>(kLastDay)) {
            ++day;
            seconds = 0;
        } else {
            seconds = kSecondsPerDay - 1;
        }
    }
    if (day == 0) return time_text(seconds);
    std::int64_t year;
    int month, dom;
    civil_from_days(day + kDaysFrom1970To1899_12_30, year, month, dom);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d ", month, dom, static_cast<int>(year));
    std::string text = buf;
    if (seconds != 0) text += time_text(seconds);
    return text;
}

std::string format_numeric(bool negative, unsigned __int128 magnitude, std::int32_t precision,
                           std::int32_t scale) {
    precision = std::clamp(precision, 0, kMaxNumericDigits);
    scale = std::clamp(scale, 0, kMaxNumericDigits);
    std::string digits = u128_to_decimal(magnitude);
    std::string text;
    if (scale == 0) {
        text = digits;
    } else {
        std::size_t width = std::max(
            {static_cast<std::size_t>(precision), digits.size(), static_cast<std::size_t>(scale)});
        std::string padded(width - digits.size(), '0');
        padded += digits;
        text = padded.substr(0, width - scale) + "." + padded.substr(width - scale);
    }
    return negative && magnitude != 0 ? "-" + text : text;
}

void render_money(JetFile& file, std::int64_t position, std::string& out) {
    auto v = file.page_view().u64(position);
    out = v ? format_money(static_cast<std::int64_t>(*v)) : std::string();
}

void render_datetime(JetFile& file, std::int64_t position, std::string& out) {
    auto v = file.page_view().f64(position);
    out = v ? format_datetime(*v) : std::string();
}

void render_numeric(JetFile& file, std::int64_t position, std::int32_t precision,
                    std::int32_t scale, std::string& out) {
    ByteView v = file.page_view().sub(position, kNumericSize);
    if (v.size() == 0) {
        out.clear();
        return;
    }
    // Sign byte, then four u32 words, most significant first.
    unsigned __int128 magnitude = 0;
    for (int word = 0; word < 4; ++word)
        magnitude = (magnitude << 32) | *v.u32(1 + 4 * word);
    out = format_numeric((*v.u8(0) & kNumericNegative) != 0, magnitude, precision, scale);
}

void render_value(std::int32_t type, JetFile& file, std::int64_t position, std::int64_t length,
                  std::string& out) {
    out.clear();
    if (position < 0) return;
    ByteView page = file.page_view();
    switch (type) {
        case kTypeByte:
            if (auto v = page.u8(position)) out = std::to_string(*v);
            break;
        case kTypeInt16:
            if (auto v = page.u16(position)) out = std::to_string(static_cast<std::int16_t>(*v));
            break;
        case kTypeInt32:
            if (auto v = page.u32(position)) out = std::to_string(static_cast<std::int32_t>(*v));
            break;
        case kTypeMoney:
            render_money(file, position, out);
            break;
        case kTypeSingle:
            if (auto v = page.f32(position)) out = format_float(*v, true);
            break;
        case kTypeDouble:
            if (auto v = page.f64(position)) out = format_float(*v, false);
            break;
        case kTypeDateTime:
            render_datetime(file, position, out);
            break;
        case kTypeText: {
            ByteView value = page.sub(position, length);
            if (length > 0 && value.size() > 0) render_text(file, value, out);
            break;
        }
        case kTypeLongBinary:
            if (length > 0) out = kLongBinaryText;
            break;
        case kTypeMemo:
            if (length > 0 && page.contains(position, length))
                render_memo(file, position, length, out);
            break;
        default:  // binary and unknown types
            break;
    }
}

void render_column(const ColumnDef& column, JetFile& file, std::int64_t position,
                   std::int64_t length, bool is_null, std::string& out) {
    if (column.type == kTypeBoolean) {
        out = is_null ? "0" : "1";
    } else if (length == 0 || is_null) {
        out.clear();
    } else if (column.type == kTypeNumeric) {
        render_numeric(file, position, column.precision, column.scale, out);
    } else {
        render_value(column.type, file, position, length, out);
    }
}

}  // namespace tessaly::reader
