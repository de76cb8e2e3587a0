// Path texts of source files and the destinations made from them.
#pragma once

#include <string>
#include <string_view>

namespace tessaly::recovery {

// Normalises the separator after a drive letter in a Windows drive path
// ("C:\folder\a.mdb", "C:\\folder\a.mdb", "C:a.mdb" all become "C:\...").
// Any other text, POSIX paths and UNC paths included, is returned unchanged.
std::string normalize_drive_separator(std::string_view path);

// The file name of a path: the part after the last '/' or '\'.
std::string file_name_part(std::string_view path);

}  // namespace tessaly::recovery
