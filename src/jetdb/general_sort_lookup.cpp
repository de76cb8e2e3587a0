// Resolving one character's sort codes from the generated runs.
#include <algorithm>

#include "jetdb/general_sort_table.h"

namespace tessaly::jetdb::general_sort {
namespace {

constexpr std::uint8_t kDigitMin = 0x02;  // smallest byte a code may hold
constexpr unsigned kDigitBase = 0x100 - kDigitMin;
constexpr std::size_t kLatin1Count = 0x100;

// Adds `by` to the inline code (base 254, digits 0x02..0xFF). The generator
// only emits step runs whose every member fits, so no carry leaves the code.
void count_up(std::span<std::uint8_t> digits, unsigned by) {
    for (std::size_t i = digits.size(); i-- > 0 && by != 0;) {
        const unsigned value = digits[i] - kDigitMin + by;
        digits[i] = static_cast<std::uint8_t>(kDigitMin + value % kDigitBase);
        by = value / kDigitBase;
    }
}

CharCodes resolve(char16_t c) {
    const auto* end = kSortRuns + kSortRunCount;
    // The last run whose first code unit is <= c; the runs cover 0..0xFFFF.
    const auto* run = std::upper_bound(kSortRuns, end, c,
                                       [](char16_t v, const SortRun& r) { return v < r.first; }) -
                      1;
    CharCodes codes;
    codes.kind = run->kind;
    const std::uint8_t* rec = kSortPool + run->record;
    const std::uint8_t len_a = rec[0];
    const std::uint8_t* a = rec + 1;
    const std::uint8_t len_b = a[len_a];
    const std::uint8_t* b = a + len_a + 1;
    const std::uint8_t flag = b[len_b];
    codes.elements = b[len_b + 1];
    switch (run->kind) {
        case CharKind::Ignored:
            break;
        case CharKind::Simple:
        case CharKind::International:
        case CharKind::InternationalExt:
            codes.inline_size = std::min<std::uint8_t>(len_a, kMaxInlineBytes);
            std::copy_n(a, codes.inline_size, codes.inline_bytes.begin());
            if (run->step != 0)
                count_up(std::span<std::uint8_t>(codes.inline_bytes.data(), codes.inline_size),
                         static_cast<unsigned>(c - run->first));
            codes.extra = std::span<const std::uint8_t>(b, len_b);
            codes.class_flag = flag;
            break;
        case CharKind::Unprintable:
            codes.unprintable = std::span<const std::uint8_t>(a, len_a);
            break;
        case CharKind::UnprintableExt:
            codes.modifier = len_a > 0 ? a[0] : 0;
            break;
    }
    return codes;
}

struct Latin1Cache {
    std::array<CharCodes, kLatin1Count> codes;
    Latin1Cache() {
        for (std::size_t c = 0; c < kLatin1Count; ++c)
            codes[c] = resolve(static_cast<char16_t>(c));
    }
};

}  // namespace

CharCodes char_codes(char16_t c) {
    if (c < kLatin1Count) {
        static const Latin1Cache cache;
        return cache.codes[c];
    }
    return resolve(c);
}

}  // namespace tessaly::jetdb::general_sort
