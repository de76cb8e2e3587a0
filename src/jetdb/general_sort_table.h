// Per-character sort codes of the General (legacy) text order (LCID 0x0409,
// sort version 0), the order Jet 4 index keys of text columns use.
//
// The table covers every UTF-16 code unit. It is stored as runs of
// consecutive code units (see scripts/gen_general_sort_table.py, which
// generates general_sort_table.cpp): each run points at one record of a byte
// pool laid out as
//   u8 len_a | a[len_a] | u8 len_b | b[len_b] | u8 flag | u8 elements
// where `elements` is the number of sort elements of the inline code (the
// positions the character takes in the accent and unprintable sections; 2
// for U+00DF "ss"), and the rest depends on the run's kind:
//   Simple            a = inline code bytes
//   International     a = inline code bytes, b = accent code bytes
//   Unprintable       a = code bytes of the unprintable section
//   UnprintableExt    a = one byte added to the previous accent code
//   InternationalExt  a = inline bytes, b = accent bytes (may be empty),
//                     flag = 2 or 3 (the character's two-bit class code)
//   Ignored           nothing (the character leaves no trace in the key)
// A run with step 1 counts its inline code up by one per code unit, in base
// 254 with digits 0x02..0xFF.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tessaly::jetdb::general_sort {

enum class CharKind : std::uint8_t {
    Ignored,
    Simple,
    International,
    Unprintable,
    UnprintableExt,
    InternationalExt,
};

struct SortRun {
    std::uint16_t first;  // first code unit of the run
    std::uint16_t count;  // code units in the run (>= 1)
    CharKind kind;
    std::uint8_t step;     // 0: same record for all; 1: inline code counts up
    std::uint32_t record;  // offset of the record in kSortPool
};

extern const SortRun kSortRuns[];
extern const std::size_t kSortRunCount;
extern const std::uint8_t kSortPool[];
extern const std::size_t kSortPoolSize;

// Longest inline code of any character.
inline constexpr std::size_t kMaxInlineBytes = 8;

// The codes of one character, resolved from the runs.
struct CharCodes {
    CharKind kind = CharKind::Ignored;
    std::array<std::uint8_t, kMaxInlineBytes> inline_bytes{};
    std::uint8_t inline_size = 0;
    std::span<const std::uint8_t> extra;        // accent codes (International*)
    std::span<const std::uint8_t> unprintable;  // Unprintable
    std::uint8_t modifier = 0;                  // UnprintableExt
    std::uint8_t class_flag = 0;                // InternationalExt
    std::uint8_t elements = 0;                  // sort elements of the inline code

    std::span<const std::uint8_t> inline_codes() const {
        return std::span<const std::uint8_t>(inline_bytes.data(), inline_size);
    }
};

// Codes of `c`. Surrogate halves are Ignored.
CharCodes char_codes(char16_t c);

}  // namespace tessaly::jetdb::general_sort
