#include "recovery/source_paths.h"

#include <cctype>

namespace tessaly::recovery {
namespace {

constexpr std::size_t kSeparatorIndex = 2;  // just after "X:"

bool is_drive_path(std::string_view path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

}  // namespace

std::string normalize_drive_separator(std::string_view path) {
    std::string text(path);
    if (!is_drive_path(text)) return text;
    // At most two separators directly after the drive are dropped, then one is put back.
    for (int pass = 0; pass < 2; ++pass) {
        if (text.find('\\') == kSeparatorIndex) text.erase(kSeparatorIndex, 1);
    }
    text.insert(kSeparatorIndex, 1, '\\');
    return text;
}

std::string file_name_part(std::string_view path) {
    const auto cut = path.find_last_of("/\\");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

}  // namespace tessaly::recovery
