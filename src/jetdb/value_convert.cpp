#include "jetdb/value_convert.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "common/le.h"
#include "jetdb/date_text.h"
#include "jetdb/engine_error.h"
#include "jetdb/number_text.h"
#include "jetdb/text_codec.h"

namespace tessaly::jetdb {

namespace {

// Numeric value layout: sign byte, then four 32-bit words, most significant first.
constexpr std::size_t kNumericSignOffset = 0;
constexpr std::size_t kNumericMagnitudeOffset = 1;
constexpr std::size_t kNumericWordCount = 4;
constexpr std::size_t kNumericWordBytes = 4;
constexpr std::uint8_t kNumericNegative = 0x80;
constexpr int kMaxNumericPrecision = 28;
constexpr int kDefaultNumericPrecision = 18;

constexpr int kCurrencyScale = 4;
constexpr std::uint16_t kDefaultVariableSize = 255;  // Binary bytes / Text characters
constexpr std::size_t kGuidBytes = 16;
constexpr std::size_t kEchoLimit = 40;  // characters of the text quoted in messages

[[noreturn]] void refuse(const ColumnSpec& column, std::string_view text, const char* reason) {
    // Quote at most kEchoLimit bytes, cut at a UTF-8 character boundary.
    std::size_t cut = std::min(text.size(), kEchoLimit);
    if (cut < text.size())
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
    std::string shown(text.substr(0, cut));
    if (cut < text.size()) shown += "...";
    throw EngineError("Cannot store '" + shown + "' in field '" + column.name + "' (" +
                      column_type_name(column.type) + "): " + reason);
}

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool equals_ignore_case(std::string_view a, std::string_view upper_b) {
    if (a.size() != upper_b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper_b[i]) return false;
    }
    return true;
}

DecimalText parse_number(const ColumnSpec& column, std::string_view text) {
    DecimalText n;
    if (!parse_decimal_text(text, n)) refuse(column, text, "not a number");
    return n;
}

FieldValue fixed_value(std::size_t width) {
    FieldValue v;
    v.is_null = false;
    v.bytes.resize(width);
    return v;
}

// Signed integer in [min, max] from rounded text.
std::int64_t to_integer(const ColumnSpec& column, std::string_view text, std::int64_t min,
                        std::int64_t max) {
    const DecimalText n = parse_number(column, text);
    const auto magnitude = scaled_magnitude(n, 0);
    const UInt128 limit =
        n.negative ? static_cast<UInt128>(-(min + 1)) + 1 : static_cast<UInt128>(max);
    if (!magnitude || *magnitude > limit) refuse(column, text, "value out of range");
    if (*magnitude == 0) return 0;
    if (n.negative) return -static_cast<std::int64_t>(*magnitude - 1) - 1;
    return static_cast<std::int64_t>(*magnitude);
}

FieldValue convert_boolean(const ColumnSpec& column, std::string_view text) {
    const std::string_view word = trim_blanks(text);
    bool value;
    if (equals_ignore_case(word, "TRUE") || equals_ignore_case(word, "YES")) {
        value = true;
    } else if (equals_ignore_case(word, "FALSE") || equals_ignore_case(word, "NO")) {
        value = false;
    } else {
        value = !parse_number(column, text).is_zero();
    }
    FieldValue v;
    v.is_null = false;
    v.bytes = {static_cast<std::uint8_t>(value ? 1 : 0)};
    return v;
}

FieldValue convert_integer(const ColumnSpec& column, std::string_view text, std::size_t width,
                           std::int64_t min, std::int64_t max) {
    const std::int64_t value = to_integer(column, text, min, max);
    FieldValue v = fixed_value(width);
    const auto bits = static_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < width; ++i)
        v.bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    return v;
}

FieldValue convert_currency(const ColumnSpec& column, std::string_view text) {
    const DecimalText n = parse_number(column, text);
    const auto magnitude = scaled_magnitude(n, kCurrencyScale);
    const UInt128 limit =
        static_cast<UInt128>(std::numeric_limits<std::int64_t>::max()) + (n.negative ? 1 : 0);
    if (!magnitude || *magnitude > limit) refuse(column, text, "value out of range");
    std::uint64_t bits = static_cast<std::uint64_t>(*magnitude);
    if (n.negative) bits = ~bits + 1;
    FieldValue v = fixed_value(fixed_width(ColumnType::Currency));
    put_u64(v.bytes, 0, bits);
    return v;
}

FieldValue convert_single(const ColumnSpec& column, std::string_view text) {
    const auto value = decimal_to_float(parse_number(column, text));
    if (!value) refuse(column, text, "value out of range");
    FieldValue v = fixed_value(fixed_width(ColumnType::Single));
    put_f32(v.bytes, 0, *value);
    return v;
}

FieldValue convert_double(const ColumnSpec& column, std::string_view text) {
    const auto value = decimal_to_double(parse_number(column, text));
    if (!value) refuse(column, text, "value out of range");
    FieldValue v = fixed_value(fixed_width(ColumnType::Double));
    put_f64(v.bytes, 0, *value);
    return v;
}

FieldValue convert_date(const ColumnSpec& column, std::string_view text) {
    const auto value = parse_date_text(text);
    if (!value) refuse(column, text, "not a date/time");
    FieldValue v = fixed_value(fixed_width(ColumnType::DateTime));
    put_f64(v.bytes, 0, *value);
    return v;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

FieldValue convert_guid(const ColumnSpec& column, std::string_view text) {
    // Textual layout: 8-4-4-4-12 hex digits; the first three groups are
    // stored little-endian.
    static constexpr std::size_t kTextLength = 36;
    static constexpr std::array<std::size_t, 4> kDashes = {8, 13, 18, 23};
    struct Group {
        std::size_t text_offset, bytes, out_offset;
        bool little_endian;
    };
    static constexpr std::array<Group, 5> kGroups = {{{0, 4, 0, true},
                                                      {9, 2, 4, true},
                                                      {14, 2, 6, true},
                                                      {19, 2, 8, false},
                                                      {24, 6, 10, false}}};

    std::string_view s = trim_blanks(text);
    if (s.size() == kTextLength + 2 && s.front() == '{' && s.back() == '}')
        s = s.substr(1, kTextLength);
    if (s.size() != kTextLength) refuse(column, text, "not a GUID");
    for (std::size_t dash : kDashes)
        if (s[dash] != '-') refuse(column, text, "not a GUID");

    FieldValue v = fixed_value(kGuidBytes);
    for (const Group& g : kGroups) {
        for (std::size_t k = 0; k < g.bytes; ++k) {
            const int hi = hex_value(s[g.text_offset + 2 * k]);
            const int lo = hex_value(s[g.text_offset + 2 * k + 1]);
            if (hi < 0 || lo < 0) refuse(column, text, "not a GUID");
            const std::size_t out =
                g.little_endian ? g.out_offset + g.bytes - 1 - k : g.out_offset + k;
            v.bytes[out] = static_cast<std::uint8_t>(hi << 4 | lo);
        }
    }
    return v;
}

FieldValue convert_numeric(const ColumnSpec& column, std::string_view text) {
    const int precision = column.precision == 0 ? kDefaultNumericPrecision : column.precision;
    if (precision > kMaxNumericPrecision || column.scale > precision)
        refuse(column, text, "invalid precision or scale");
    const DecimalText n = parse_number(column, text);
    const auto magnitude = scaled_magnitude(n, column.scale);
    if (!magnitude || *magnitude >= power_of_ten(precision))
        refuse(column, text, "value needs more digits than the field's precision");

    FieldValue v = fixed_value(fixed_width(ColumnType::Numeric));
    v.bytes[kNumericSignOffset] = (n.negative && *magnitude != 0) ? kNumericNegative : 0;
    for (std::size_t w = 0; w < kNumericWordCount; ++w) {
        const unsigned shift = 32 * (kNumericWordCount - 1 - w);
        put_u32(v.bytes, kNumericMagnitudeOffset + w * kNumericWordBytes,
                static_cast<std::uint32_t>(*magnitude >> shift));
    }
    return v;
}

std::u16string to_utf16(const ColumnSpec& column, std::string_view text) {
    try {
        return utf8_to_utf16(text);
    } catch (const EngineError& e) {
        throw EngineError("Cannot store a value in field '" + column.name + "' (" +
                          column_type_name(column.type) + "): " + e.what());
    }
}

std::size_t text_limit(const ColumnSpec& column) {
    return column.size == 0 ? kDefaultVariableSize : column.size / 2u;
}

FieldValue convert_text(const ColumnSpec& column, std::string_view text, bool bounded) {
    FieldValue v;
    v.is_null = false;
    v.text = to_utf16(column, text);
    if (bounded && v.text.size() > text_limit(column))
        refuse(column, text,
               ("text longer than the field size of " + std::to_string(text_limit(column)) +
                " characters")
                   .c_str());
    return v;
}

FieldValue convert_binary(const ColumnSpec& column, std::string_view text, bool bounded) {
    const std::u16string units = to_utf16(column, text);
    const std::size_t limit = column.size == 0 ? kDefaultVariableSize : column.size;
    if (bounded && 2 * units.size() > limit)
        refuse(column, text,
               ("data longer than the field size of " + std::to_string(limit) + " bytes").c_str());
    FieldValue v;
    v.is_null = false;
    v.bytes.resize(2 * units.size());
    for (std::size_t i = 0; i < units.size(); ++i)
        put_u16(v.bytes, 2 * i, units[i]);
    return v;
}

}  // namespace

const char* column_type_name(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
            return "Yes/No";
        case ColumnType::Byte:
            return "Byte";
        case ColumnType::Int:
            return "Integer";
        case ColumnType::Long:
            return "Long Integer";
        case ColumnType::Currency:
            return "Currency";
        case ColumnType::Single:
            return "Single";
        case ColumnType::Double:
            return "Double";
        case ColumnType::DateTime:
            return "Date/Time";
        case ColumnType::Binary:
            return "Binary";
        case ColumnType::Text:
            return "Text";
        case ColumnType::Ole:
            return "OLE Object";
        case ColumnType::Memo:
            return "Memo";
        case ColumnType::Guid:
            return "Replication ID";
        case ColumnType::Numeric:
            return "Decimal";
    }
    return "unknown type";
}

FieldValue convert_field_text(const ColumnSpec& column, std::string_view text) {
    if (text.empty()) return FieldValue{};
    try {
        switch (column.type) {
            case ColumnType::Boolean:
                return convert_boolean(column, text);
            case ColumnType::Byte:
                return convert_integer(column, text, 1, 0,
                                       std::numeric_limits<std::uint8_t>::max());
            case ColumnType::Int:
                return convert_integer(column, text, 2, std::numeric_limits<std::int16_t>::min(),
                                       std::numeric_limits<std::int16_t>::max());
            case ColumnType::Long:
                return convert_integer(column, text, 4, std::numeric_limits<std::int32_t>::min(),
                                       std::numeric_limits<std::int32_t>::max());
            case ColumnType::Currency:
                return convert_currency(column, text);
            case ColumnType::Single:
                return convert_single(column, text);
            case ColumnType::Double:
                return convert_double(column, text);
            case ColumnType::DateTime:
                return convert_date(column, text);
            case ColumnType::Guid:
                return convert_guid(column, text);
            case ColumnType::Numeric:
                return convert_numeric(column, text);
            case ColumnType::Text:
                return convert_text(column, text, true);
            case ColumnType::Memo:
                return convert_text(column, text, false);
            case ColumnType::Binary:
                return convert_binary(column, text, true);
            case ColumnType::Ole:
                return convert_binary(column, text, false);
        }
    } catch (const EngineError&) {
        throw;
    } catch (const std::exception& e) {
        // Allocation failures and the like still leave as engine errors.
        throw EngineError("Cannot store a value in field '" + column.name + "': " + e.what());
    }
    refuse(column, text, "unsupported field type");
}

}  // namespace tessaly::jetdb
