#include "jetdb/text_codec.h"

#include <string>

#include "jetdb/engine_error.h"

namespace tessaly::jetdb {

namespace {

constexpr char32_t kReplacementChar = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kSurrogateFirst = 0xD800;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr char16_t kHighSurrogateFirst = 0xD800;
constexpr char16_t kHighSurrogateLast = 0xDBFF;
constexpr char16_t kLowSurrogateFirst = 0xDC00;
constexpr char16_t kLowSurrogateLast = 0xDFFF;
constexpr char32_t kSupplementaryBase = 0x10000;
constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr char16_t kMaxOneByteChar = 0xFF;

[[noreturn]] void throw_bad_utf8(std::size_t offset) {
    throw EngineError("Malformed UTF-8 text at byte " + std::to_string(offset));
}

bool is_continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < kSupplementaryBase) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// How one UTF-16 unit can be stored inside a compressed value.
enum class UnitClass { OneByte, TwoByte, Unstorable };

UnitClass classify(char16_t unit) {
    if (unit == 0) return UnitClass::Unstorable;
    if (unit <= kMaxOneByteChar) return UnitClass::OneByte;
    if ((unit & 0xFF) == 0) return UnitClass::Unstorable;  // low byte would read as a switch
    return UnitClass::TwoByte;
}

void append_plain(std::vector<std::uint8_t>& out, std::u16string_view text) {
    out.reserve(out.size() + 2 * text.size());
    for (char16_t unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        int extra;
        char32_t cp;
        char32_t min_cp;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
            min_cp = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
            min_cp = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
            min_cp = kSupplementaryBase;
        } else {
            throw_bad_utf8(i);
        }
        if (n - i <= static_cast<std::size_t>(extra)) throw_bad_utf8(i);
        for (int k = 1; k <= extra; ++k) {
            const unsigned char b = s[i + k];
            if (!is_continuation(b)) throw_bad_utf8(i + k);
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < min_cp || cp > kMaxCodePoint || (cp >= kSurrogateFirst && cp <= kSurrogateLast))
            throw_bad_utf8(i);
        if (cp >= kSupplementaryBase) {
            const char32_t v = cp - kSupplementaryBase;
            out.push_back(static_cast<char16_t>(kHighSurrogateFirst + (v >> 10)));
            out.push_back(static_cast<char16_t>(kLowSurrogateFirst + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            out.push_back(static_cast<char>(unit));
        } else if (unit >= kHighSurrogateFirst && unit <= kHighSurrogateLast) {
            if (i + 1 < text.size() && text[i + 1] >= kLowSurrogateFirst &&
                text[i + 1] <= kLowSurrogateLast) {
                const char32_t cp = kSupplementaryBase +
                                    ((static_cast<char32_t>(unit - kHighSurrogateFirst) << 10) |
                                     (text[i + 1] - kLowSurrogateFirst));
                append_utf8(out, cp);
                ++i;
            } else {
                append_utf8(out, kReplacementChar);
            }
        } else if (unit >= kLowSurrogateFirst && unit <= kLowSurrogateLast) {
            append_utf8(out, kReplacementChar);
        } else {
            append_utf8(out, unit);
        }
    }
    return out;
}

std::vector<std::uint8_t> encode_jet4_text(std::u16string_view text, bool compressible) {
    std::vector<std::uint8_t> out;
    if (text.empty()) return out;
    const std::size_t plain_size = 2 * text.size();
    if (!compressible) {
        append_plain(out, text);
        return out;
    }

    // Size of the compressed form: mark, one byte per one-byte char, two per
    // two-byte unit, and two switch bytes around every two-byte run.
    std::size_t compressed_size = sizeof kCompressedTextMark;
    bool in_two_byte_run = false;
    for (char16_t unit : text) {
        switch (classify(unit)) {
            case UnitClass::Unstorable:
                append_plain(out, text);
                return out;
            case UnitClass::OneByte:
                compressed_size += 1;
                in_two_byte_run = false;
                break;
            case UnitClass::TwoByte:
                compressed_size += in_two_byte_run ? 2 : 4;
                in_two_byte_run = true;
                break;
        }
    }
    const bool shorter = compressed_size < plain_size && compressed_size <= kMaxCompressedTextBytes;
    if (!shorter && text.front() != kByteOrderMark) {
        append_plain(out, text);
        return out;
    }

    out.reserve(compressed_size);
    out.push_back(kCompressedTextMark[0]);
    out.push_back(kCompressedTextMark[1]);
    in_two_byte_run = false;
    for (char16_t unit : text) {
        if (unit <= kMaxOneByteChar) {
            if (in_two_byte_run) out.push_back(kCompressionModeSwitch);
            in_two_byte_run = false;
            out.push_back(static_cast<std::uint8_t>(unit));
        } else {
            if (!in_two_byte_run) out.push_back(kCompressionModeSwitch);
            in_two_byte_run = true;
            out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            out.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
    }
    if (in_two_byte_run) out.push_back(kCompressionModeSwitch);
    return out;
}

std::u16string decode_jet4_text(std::span<const std::uint8_t> stored) {
    std::u16string out;
    const std::size_t n = stored.size();
    const bool compressed =
        n >= 2 && stored[0] == kCompressedTextMark[0] && stored[1] == kCompressedTextMark[1];
    if (!compressed) {
        out.reserve(n / 2);
        for (std::size_t i = 0; i + 1 < n; i += 2)
            out.push_back(static_cast<char16_t>(stored[i] | (stored[i + 1] << 8)));
        return out;
    }
    out.reserve(n - 2);
    bool one_byte_mode = true;
    std::size_t i = 2;
    while (i < n) {
        const std::uint8_t b = stored[i];
        if (b == kCompressionModeSwitch) {
            one_byte_mode = !one_byte_mode;
            ++i;
        } else if (one_byte_mode) {
            out.push_back(b);
            ++i;
        } else if (i + 1 < n) {
            out.push_back(static_cast<char16_t>(b | (stored[i + 1] << 8)));
            i += 2;
        } else {
            break;  // odd trailing byte of a two-byte unit
        }
    }
    return out;
}

}  // namespace tessaly::jetdb
