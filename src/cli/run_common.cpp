#include "cli/run_common.h"

#include <filesystem>

#include "cli/run_options.h"
#include "log/log_texts.h"

namespace tessaly::cli {

std::tm local_now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

void log_run_start(const std::tm& now, const std::vector<std::string>& files) {
    log::log_program_start(now);
    log::log_source_files(files);
}

void warn_without_signature(Console& console, const std::string& verb,
                            const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) continue;
        if (has_jet_signature(file) == false)
            console.err_line("tessaly " + verb + ": warning: " + file +
                             ": no Jet database signature; trying it all the same");
    }
}

}  // namespace tessaly::cli
