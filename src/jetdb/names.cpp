#include "jetdb/names.h"

namespace tessaly::jetdb {

namespace {

char16_t fold_char(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
    if (c < 0x80) return c;
    // Latin-1 Supplement: à..þ except ÷; ÿ -> Ÿ.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
    if (c == 0xFF) return 0x178;
    // Latin Extended-A: pairs of upper (even) and lower (odd) letters.
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return static_cast<char16_t>(c & ~1u);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1u) ? c : static_cast<char16_t>(c - 1);
    // Greek.
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
    // Cyrillic.
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
    return c;
}

}  // namespace

std::u16string fold_name(std::u16string_view name) {
    std::u16string out(name);
    for (auto& c : out)
        c = fold_char(c);
    return out;
}

}  // namespace tessaly::jetdb
