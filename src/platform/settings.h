// Read-only program settings.
//
// The program reads two text values, "FilePath" and "LogPath", under its key
// (the section named after the key) of an INI file written by whoever installs
// the program:
//   $XDG_CONFIG_HOME/Quillon/Quillon.ini   ($XDG_CONFIG_HOME defaults to ~/.config)
//   /etc/xdg/Quillon/Quillon.ini           (used when the first file is absent)
// Nothing here ever writes a setting.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly::platform {

// Name of the program's settings key; also the INI section that holds its values.
inline constexpr std::string_view app_registry_key = "Quillon";

// The settings file in use: the user's file when it exists, else the system
// file when it exists, else nullopt.
std::optional<std::filesystem::path> settings_file();

// Reads the text value `value_name` of section `key` from the settings file,
// looked up afresh at every call. Answers the empty text when the file, the
// section or the value is missing. Section and value names compare
// case-insensitively; surrounding blanks and one pair of double quotes around
// the value are removed.
std::string read_registry_text(std::string_view key, std::string_view value_name);

// Same lookup in a given INI text (used by read_registry_text and by tests).
std::string read_ini_value(std::string_view ini_text, std::string_view section,
                           std::string_view value_name);

}  // namespace tessaly::platform
