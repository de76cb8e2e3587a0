#include "support/corpus.h"

#include <sys/wait.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace tessaly::test {

std::filesystem::path corpus_dir() {
    std::filesystem::path dir = TESSALY_CORPUS_DIR;
    if (const char* env = std::getenv("TESSALY_CORPUS"); env && *env) dir = env;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return {};
    return std::filesystem::canonical(dir, ec);
}

std::vector<std::filesystem::path> corpus_files() {
    std::vector<std::filesystem::path> files;
    auto dir = corpus_dir();
    if (dir.empty()) return files;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        if (e.is_regular_file() && e.path().extension() == ".mdb") files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::filesystem::path cli_path() {
    return TESSALY_CLI_PATH;
}

bool have_program(const std::string& name) {
    std::string out;
    return run_capture("command -v '" + name + "' >/dev/null 2>&1", out) == 0;
}

int run_capture(const std::string& command, std::string& out) {
    out.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 65536> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0)
        out.append(buf.data(), n);
    int status = pclose(pipe);
    if (status == -1) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tessaly::test
