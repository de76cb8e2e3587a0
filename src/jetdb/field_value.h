// One field's value on its way into a destination row or index key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::jetdb {

// A typed value ready to be stored. Which member carries it depends on the
// column's type:
//   - Boolean: bytes = {0} or {1}
//   - fixed types: bytes = the little-endian on-disk bytes, fixed_width(type) long
//     (Numeric: 17 bytes; Guid: 16 bytes in on-disk order)
//   - Binary, Ole: bytes = the raw bytes
//   - Text, Memo: text = the characters (UTF-16); bytes unused
struct FieldValue {
    bool is_null = true;
    std::vector<std::uint8_t> bytes;
    std::u16string text;
};

}  // namespace tessaly::jetdb
