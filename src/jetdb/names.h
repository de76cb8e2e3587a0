// Comparing object and column names the way the engine does: without regard
// to letter case.
#pragma once

#include <string>
#include <string_view>

namespace tessaly::jetdb {

// The name in upper case (Latin, Greek and Cyrillic letters folded), for
// case-insensitive comparison and lookup.
std::u16string fold_name(std::u16string_view name);

inline bool names_equal(std::u16string_view a, std::u16string_view b) {
    return fold_name(a) == fold_name(b);
}

// Ordering of names without regard to case (the order the engine keeps the
// columns of its own tables and logical index names in).
inline bool name_less(std::u16string_view a, std::u16string_view b) {
    return fold_name(a) < fold_name(b);
}

}  // namespace tessaly::jetdb
