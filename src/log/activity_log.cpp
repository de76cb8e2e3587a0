#include "log/activity_log.h"

#include <sys/stat.h>

#include <cstdio>
#include <mutex>

#include "platform/folders.h"
#include "platform/settings.h"

namespace tessaly::log {
namespace {

std::mutex& log_mutex() {
    static std::mutex m;
    return m;
}

std::filesystem::path& override_path() {
    static std::filesystem::path p;
    return p;
}

bool is_folder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

std::filesystem::path locate_log_file() {
    if (!override_path().empty()) return override_path();
    const auto key = platform::app_registry_key;
    std::string folder = platform::read_registry_text(key, "LogPath");
    if (!is_folder(folder)) folder = platform::read_registry_text(key, "FilePath");
    if (!is_folder(folder)) {
        auto state = platform::program_state_folder();
        std::error_code ec;
        std::filesystem::create_directories(state, ec);
        folder = state.string();
    }
    return std::filesystem::path(folder) / log_file_name;
}

void make_writable(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR))
        ::chmod(file.c_str(), st.st_mode | S_IWUSR);
}

}  // namespace

void set_log_file_override(const std::filesystem::path& file) {
    std::lock_guard lock(log_mutex());
    override_path() = file;
}

std::filesystem::path log_file_path() {
    std::lock_guard lock(log_mutex());
    return locate_log_file();
}

bool append_log(std::string_view text) {
    std::lock_guard lock(log_mutex());
    const auto file = locate_log_file();
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) {
        make_writable(file);
        auto size = std::filesystem::file_size(file, ec);
        if (!ec && size > log_size_limit) std::filesystem::remove(file, ec);
    }
    FILE* f = std::fopen(file.c_str(), "ab");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

void clear_log(const std::filesystem::path& folder) {
    {
        std::lock_guard lock(log_mutex());
        std::error_code ec;
        std::filesystem::remove(folder / log_file_name, ec);
    }
    append_log("\r\n");
}

}  // namespace tessaly::log
