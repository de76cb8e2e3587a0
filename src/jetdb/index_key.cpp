// Index key encoding of Jet 4: one column's part of a key per call.
//
// Numbers are written big-endian so that unsigned byte comparison orders
// them; text follows the General (legacy) sort order through the character
// tables of general_sort_table.h. Descending columns invert the encoded bytes.
#include "jetdb/index_key.h"

#include <algorithm>
#include <string>

#include "jetdb/engine_error.h"
#include "jetdb/general_sort_table.h"

namespace tessaly::jetdb {
namespace {

using general_sort::CharKind;

// Text key sections.
constexpr std::uint8_t kEndText = 0x01;         // ends the inline codes and separates sections
constexpr std::uint8_t kEndValue = 0x00;        // ends the text value
constexpr std::uint8_t kAccentFill = 0x02;      // accent slot of a character without accent
constexpr std::uint8_t kUnprintableMid = 0x06;  // between position and code of an unprintable
constexpr unsigned kUnprintableFirst = 7;       // position code of the first character
constexpr unsigned kUnprintableStep = 4;        // position code step per character
constexpr unsigned kUnprintableMark = 0x8000;   // high bit of every position code
// Class codes: two bits per character, three per byte under a 0b10 prefix.
constexpr std::uint8_t kClassByteStart = 0x80;
constexpr std::uint8_t kClassTrailing = 0x03;  // class code dropped at the end
constexpr unsigned kClassesPerByte = 3;
constexpr unsigned kClassBits = 2;
constexpr std::uint8_t kClassSuffix[] = {0xFF, 0x02, 0x80, 0xFF, 0x80};
constexpr std::uint8_t kClassBeforeUnprintable = 0xFF;

// Boolean keys.
constexpr std::uint8_t kBoolTrueAsc = 0x00;
constexpr std::uint8_t kBoolFalseAsc = 0xFF;

// Binary and GUID keys: 8-byte chunks, each followed by a length byte.
constexpr std::size_t kBinaryChunk = 8;
constexpr std::uint8_t kBinaryMoreFollows = 9;

// Numeric keys: sign byte, then the 128-bit magnitude.
constexpr std::size_t kNumericSize = 17;
constexpr std::uint8_t kNumericNegativeBit = 0x80;
constexpr std::uint8_t kNumericKeyPositive = 0xFF;
constexpr std::uint8_t kNumericKeyNegative = 0x00;
constexpr std::size_t kNumericWord = 4;

constexpr std::uint8_t kSignBit = 0x80;
constexpr std::size_t kGuidSize = 16;

void invert(std::vector<std::uint8_t>& bytes, std::size_t from) {
    for (std::size_t i = from; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
}

// Little-endian value bytes of a fixed-width type, checked for width.
const std::vector<std::uint8_t>& fixed_bytes(const ColumnSpec& column, const FieldValue& value,
                                             std::size_t width) {
    if (value.bytes.size() != width)
        throw EngineError("index key: value of column [" + column.name + "] has " +
                          std::to_string(value.bytes.size()) + " bytes, expected " +
                          std::to_string(width));
    return value.bytes;
}

std::vector<std::uint8_t> big_endian(const std::vector<std::uint8_t>& little) {
    return std::vector<std::uint8_t>(little.rbegin(), little.rend());
}

// Two's complement integers: flip the sign bit so negatives sort first.
void append_integer(std::vector<std::uint8_t>& key, std::vector<std::uint8_t> be, bool ascending) {
    const std::size_t start = key.size();
    be[0] ^= kSignBit;
    key.insert(key.end(), be.begin(), be.end());
    if (!ascending) invert(key, start);
}

// IEEE floats: positives get the sign bit set, negatives are inverted whole.
void append_float(std::vector<std::uint8_t>& key, std::vector<std::uint8_t> be, bool ascending) {
    const std::size_t start = key.size();
    const bool negative = (be[0] & kSignBit) != 0;
    if (!negative) be[0] ^= kSignBit;
    key.insert(key.end(), be.begin(), be.end());
    if (negative == ascending) invert(key, start);
}

void append_binary(std::vector<std::uint8_t>& key, const std::uint8_t* data, std::size_t size,
                   bool ascending) {
    std::size_t pos = 0;
    while (size - pos > kBinaryChunk) {
        const std::size_t start = key.size();
        key.insert(key.end(), data + pos, data + pos + kBinaryChunk);
        if (!ascending) invert(key, start);  // the 09 marker stays as is
        key.push_back(kBinaryMoreFollows);
        pos += kBinaryChunk;
    }
    if (size - pos > 0) {
        const std::size_t start = key.size();
        const std::size_t rest = size - pos;
        key.insert(key.end(), data + pos, data + size);
        key.insert(key.end(), kBinaryChunk - rest, 0);
        key.push_back(static_cast<std::uint8_t>(rest));
        if (!ascending) invert(key, start);
    }
}

// GUID bytes in textual order: the first three fields are stored little-endian.
std::vector<std::uint8_t> guid_text_order(const std::vector<std::uint8_t>& stored) {
    std::vector<std::uint8_t> out(stored);
    std::reverse(out.begin(), out.begin() + 4);
    std::reverse(out.begin() + 4, out.begin() + 6);
    std::reverse(out.begin() + 6, out.begin() + 8);
    return out;
}

// Numeric keys use the Jet 4 rule: the magnitude is inverted when the value is
// negative XOR the column is descending, then the sign byte is overwritten.
void append_numeric(std::vector<std::uint8_t>& key, const std::vector<std::uint8_t>& stored,
                    bool ascending) {
    std::vector<std::uint8_t> be(stored);
    for (std::size_t w = 1; w + kNumericWord <= kNumericSize; w += kNumericWord)
        std::reverse(be.begin() + static_cast<std::ptrdiff_t>(w),
                     be.begin() + static_cast<std::ptrdiff_t>(w + kNumericWord));
    const bool negative = (be[0] & kNumericNegativeBit) != 0;
    if (negative == ascending)
        for (auto& b : be)
            b = static_cast<std::uint8_t>(~b);
    be[0] = negative ? kNumericKeyNegative : kNumericKeyPositive;
    key.insert(key.end(), be.begin(), be.end());
}

// The accent section: one slot per sort element of the inline codes, filled
// with kAccentFill up to the next accented character. Unprintable modifiers add to
// the last accent code written.
struct AccentSection {
    std::vector<std::uint8_t> bytes;
    std::size_t chars = 0;       // character slots written
    std::size_t lead_marks = 0;  // modifier bytes written before any accent code
    bool used = false;

    void fill_to(std::size_t char_pos) {
        if (chars < char_pos) {
            bytes.insert(bytes.end(), char_pos - chars, kAccentFill);
            chars = char_pos;
        }
    }
};

void append_class_codes(std::vector<std::uint8_t>& key, std::vector<std::uint8_t> classes) {
    while (!classes.empty() && classes.back() == kClassTrailing)
        classes.pop_back();
    std::uint8_t cur = kClassByteStart;
    unsigned n = 0;
    for (std::uint8_t c : classes) {
        cur = static_cast<std::uint8_t>(cur | (c << ((kClassesPerByte - 1 - n) * kClassBits)));
        if (++n == kClassesPerByte) {
            key.push_back(cur);
            cur = kClassByteStart;
            n = 0;
        }
    }
    if (n > 0) key.push_back(cur);
    key.insert(key.end(), std::begin(kClassSuffix), std::end(kClassSuffix));
}

}  // namespace

void append_general_text_key(std::vector<std::uint8_t>& key, std::u16string_view text,
                             bool ascending) {
    if (text.size() > kMaxIndexedTextChars) text = text.substr(0, kMaxIndexedTextChars);
    while (!text.empty() && text.back() == u' ')
        text.remove_suffix(1);

    // Characters that sort as several letters ("ss" for U+00DF) take one
    // position per letter, unless spelling them out would make the text
    // longer than kMaxIndexedTextChars; then every character takes one.
    std::size_t spelled_out = 0;
    for (char16_t c : text)
        spelled_out += std::max<std::size_t>(general_sort::char_codes(c).elements, 1);
    const bool expand = spelled_out <= kMaxIndexedTextChars;
    auto positions = [expand](const general_sort::CharCodes& codes) -> std::size_t {
        return expand ? codes.elements : std::min<std::size_t>(codes.elements, 1);
    };

    const std::size_t start = key.size();
    AccentSection accents;
    std::vector<std::uint8_t> unprintables;
    std::vector<std::uint8_t> classes;
    std::size_t char_pos = 0;  // positions taken by the inline codes so far

    for (char16_t c : text) {
        const general_sort::CharCodes codes = general_sort::char_codes(c);
        const std::size_t pos = char_pos;
        const auto inline_codes = codes.inline_codes();
        if (!inline_codes.empty()) {
            key.insert(key.end(), inline_codes.begin(), inline_codes.end());
            char_pos += positions(codes);
        }
        switch (codes.kind) {
            case CharKind::Ignored:
            case CharKind::Simple:
                break;
            case CharKind::International:
            case CharKind::InternationalExt:
                if (!codes.extra.empty()) {
                    accents.used = true;
                    accents.fill_to(pos);
                    accents.bytes.insert(accents.bytes.end(), codes.extra.begin(),
                                         codes.extra.end());
                    accents.chars += std::max<std::size_t>(positions(codes), 1);
                }
                if (codes.kind == CharKind::InternationalExt) classes.push_back(codes.class_flag);
                break;
            case CharKind::UnprintableExt:
                accents.used = true;
                accents.fill_to(pos);
                if (!accents.bytes.empty()) {
                    accents.bytes.back() =
                        static_cast<std::uint8_t>(accents.bytes.back() + codes.modifier);
                } else {
                    accents.bytes.push_back(codes.modifier);
                    accents.lead_marks = 1;
                }
                break;
            case CharKind::Unprintable: {
                // The position counts accent bytes already written, as if every
                // later character had a one-byte accent slot.
                const std::size_t where =
                    accents.used ? accents.bytes.size() + (pos - accents.chars) - accents.lead_marks
                                 : pos;
                const unsigned code =
                    static_cast<unsigned>(kUnprintableFirst + kUnprintableStep * where) |
                    kUnprintableMark;
                unprintables.push_back(static_cast<std::uint8_t>(code >> 8));
                unprintables.push_back(static_cast<std::uint8_t>(code));
                unprintables.push_back(kUnprintableMid);
                unprintables.insert(unprintables.end(), codes.unprintable.begin(),
                                    codes.unprintable.end());
                break;
            }
        }
    }

    key.push_back(kEndText);
    while (!accents.bytes.empty() && accents.bytes.back() <= kAccentFill)
        accents.bytes.pop_back();
    const bool has_accents = !accents.bytes.empty();
    const bool has_unprintables = !unprintables.empty();
    const bool has_classes = !classes.empty();
    if (has_accents) key.insert(key.end(), accents.bytes.begin(), accents.bytes.end());
    if (has_classes || has_unprintables) {
        key.push_back(kEndText);
        key.push_back(kEndText);
        if (has_classes) {
            append_class_codes(key, std::move(classes));
            if (has_unprintables) key.push_back(kClassBeforeUnprintable);
        }
        if (has_unprintables) {
            key.push_back(kEndText);
            key.insert(key.end(), unprintables.begin(), unprintables.end());
        }
    }
    if (!ascending) {
        key.push_back(kEndValue);
        invert(key, start);
    }
    key.push_back(kEndValue);
}

void append_index_key(std::vector<std::uint8_t>& key, const ColumnSpec& column,
                      const FieldValue& value, bool ascending) {
    const ColumnType type = column.type;
    if (type == ColumnType::Ole)
        throw EngineError("index key: OLE column [" + column.name + "] cannot be indexed");

    if (type == ColumnType::Boolean) {
        const bool truth = !value.is_null && !value.bytes.empty() && value.bytes[0] != 0;
        key.push_back(ascending ? kKeyAscendingFlag : kKeyDescendingFlag);
        key.push_back(truth == ascending ? kBoolTrueAsc : kBoolFalseAsc);
        return;
    }
    if (value.is_null) {
        key.push_back(ascending ? kKeyAscendingNull : kKeyDescendingNull);
        return;
    }
    key.push_back(ascending ? kKeyAscendingFlag : kKeyDescendingFlag);

    switch (type) {
        case ColumnType::Byte: {
            const std::size_t start = key.size();
            key.push_back(fixed_bytes(column, value, fixed_width(type))[0]);
            if (!ascending) invert(key, start);
            return;
        }
        case ColumnType::Int:
        case ColumnType::Long:
        case ColumnType::Currency:
            append_integer(key, big_endian(fixed_bytes(column, value, fixed_width(type))),
                           ascending);
            return;
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime:
            append_float(key, big_endian(fixed_bytes(column, value, fixed_width(type))), ascending);
            return;
        case ColumnType::Guid: {
            const auto text_order = guid_text_order(fixed_bytes(column, value, kGuidSize));
            append_binary(key, text_order.data(), text_order.size(), ascending);
            return;
        }
        case ColumnType::Binary:
            append_binary(key, value.bytes.data(), value.bytes.size(), ascending);
            return;
        case ColumnType::Numeric:
            append_numeric(key, fixed_bytes(column, value, kNumericSize), ascending);
            return;
        case ColumnType::Text:
        case ColumnType::Memo:
            append_general_text_key(key, value.text, ascending);
            return;
        case ColumnType::Boolean:
        case ColumnType::Ole:
            break;
    }
    throw EngineError("index key: column [" + column.name + "] has a type that cannot be indexed");
}

}  // namespace tessaly::jetdb
