// Text conversions for the destination writer.
//
// Stored Jet 4 text (text and memo values, also on long-value pages):
//   plain       UTF-16LE code units, nothing else.
//   compressed  `FF FE`, then bytes read in two modes, starting in the
//               one-byte mode:
//                 one-byte mode: each non-zero byte is one character 0x01-0xFF;
//                 two-byte mode: each pair is one UTF-16LE code unit;
//               a 0x00 byte (at a character boundary) switches modes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::jetdb {

// The two bytes that open a compressed text value.
inline constexpr std::uint8_t kCompressedTextMark[2] = {0xFF, 0xFE};
// The byte that switches between the one-byte and two-byte modes.
inline constexpr std::uint8_t kCompressionModeSwitch = 0x00;
// A value is stored compressed only when its compressed form needs at most
// this many bytes (the engine's rule for memo values; text values never
// come near it).
inline constexpr std::size_t kMaxCompressedTextBytes = 4096;

// UTF-8 -> UTF-16. Throws EngineError on malformed UTF-8 (bad lead or
// continuation bytes, truncated sequences, overlong forms, encoded
// surrogates, code points above U+10FFFF).
std::u16string utf8_to_utf16(std::string_view utf8);

// UTF-16 -> UTF-8. Unpaired surrogates become U+FFFD.
std::string utf16_to_utf8(std::u16string_view text);

// The stored form of a Jet 4 text or memo value: when `compressible` (the
// column allows Unicode compression) and Access would compress it, `FF FE`
// followed by the compressed bytes; otherwise plain UTF-16LE.
//
// Compression rule: characters 0x01-0xFF go in one-byte mode; every other
// character must have both bytes non-zero and goes in two-byte mode, each
// two-byte run enclosed by a switch byte on both sides (so the value always
// ends in one-byte mode, which every known reader decodes). A text holding a
// character that cannot be written that way (U+0000, or a unit whose low or
// high byte is zero outside 0x01-0xFF, e.g. U+0100, U+4E00) stays plain.
// The compressed form is chosen when it is strictly shorter than the plain
// form and at most kMaxCompressedTextBytes long; so one- and two-character
// Latin texts stay plain, as Access stores them. A text whose first unit is
// U+FEFF would read as compressed in plain form, so it is always stored
// compressed when it can be (in a compressible column).
// An empty text gives no bytes.
std::vector<std::uint8_t> encode_jet4_text(std::u16string_view text, bool compressible);

// The characters of a stored Jet 4 text value, plain or compressed (decided
// by the `FF FE` mark). Any bytes are accepted: a trailing odd byte of a
// two-byte unit is dropped; the result never has more units than the input
// has bytes.
std::u16string decode_jet4_text(std::span<const std::uint8_t> stored);

}  // namespace tessaly::jetdb
