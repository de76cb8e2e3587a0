// The activity log "Activity Log.txt": a plain UTF-8 text file to which every
// step of a run appends its story, piece by piece. Nothing reads it back.
//
// Location, looked up afresh at every append:
//   1. the override set with set_log_file_override (the CLI's --log FILE);
//   2. the folder named by the setting "LogPath", when it exists;
//   3. the folder named by the setting "FilePath", when it exists;
//   4. the program's state folder ($XDG_STATE_HOME/tessaly), created on demand.
// Size limit: an append that finds the file larger than log_size_limit bytes
// deletes it and starts a new file holding only the new text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace tessaly::log {

inline constexpr std::string_view log_file_name = "Activity Log.txt";
inline constexpr std::uintmax_t log_size_limit = 5'242'880;

// Makes every later append go to `file` (empty path: back to the settings).
void set_log_file_override(const std::filesystem::path& file);

// The file the next append writes to.
std::filesystem::path log_file_path();

// Appends `text` whole at the end of the log file, creating the file (and the
// state folder) when missing and making a read-only file writable first.
// Answers true when the text was written; failures are silent otherwise.
// Safe to call from several threads (appends are serialised).
bool append_log(std::string_view text);

// Deletes `folder`/"Activity Log.txt" and then appends "\r\n", which starts a
// new file at the append location.
void clear_log(const std::filesystem::path& folder);

}  // namespace tessaly::log
