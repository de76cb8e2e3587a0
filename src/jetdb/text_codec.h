// Text conversions for the destination writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::jetdb {

// UTF-8 -> UTF-16. Throws EngineError on malformed UTF-8.
std::u16string utf8_to_utf16(std::string_view utf8);

// UTF-16 -> UTF-8. Unpaired surrogates become U+FFFD.
std::string utf16_to_utf8(std::u16string_view text);

// The stored form of a Jet 4 text or memo value: when `compressible` (the
// column allows Unicode compression) and Access would compress it, `FF FE`
// followed by the compressed bytes; otherwise plain UTF-16LE.
std::vector<std::uint8_t> encode_jet4_text(std::u16string_view text, bool compressible);

}  // namespace tessaly::jetdb
