#include "cli/run_options.h"

#include <fstream>

namespace tessaly::cli {
namespace {

// Jet databases name their engine at offset 4 of page 0.
constexpr std::streamoff kSignatureOffset = 4;
constexpr std::string_view kJetSignature = "Standard Jet DB";

bool take_value(const std::vector<std::string>& args, std::size_t& i, std::string_view name,
                std::optional<std::string>& value, std::string& error) {
    const std::string& a = args[i];
    const std::string prefix = std::string(name) + "=";
    if (a.starts_with(prefix)) {
        value = a.substr(prefix.size());
    } else if (i + 1 < args.size()) {
        value = args[++i];
    } else {
        error = std::string(name) + " needs a value";
        return false;
    }
    if (value->empty()) {
        error = std::string(name) + " needs a value";
        return false;
    }
    return true;
}

bool is_option(const std::string& a, std::string_view name) {
    return a == name || a.starts_with(std::string(name) + "=");
}

}  // namespace

std::optional<RunOptions> parse_run_options(const std::vector<std::string>& args,
                                            bool allow_repair_options, std::string& error) {
    RunOptions options;
    bool only_files = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (only_files || a.empty() || a[0] != '-' || a == "-") {
            options.files.push_back(a);
        } else if (a == "--") {
            only_files = true;
        } else if (a == "--help" || a == "-h") {
            options.help = true;
        } else if (a == "--json") {
            options.json = true;
        } else if (is_option(a, "--log")) {
            if (!take_value(args, i, "--log", options.log, error)) return std::nullopt;
        } else if (allow_repair_options && is_option(a, "--out")) {
            if (!take_value(args, i, "--out", options.out, error)) return std::nullopt;
        } else if (allow_repair_options && a.starts_with("--overwrite=")) {
            const std::string v = a.substr(std::string_view("--overwrite=").size());
            if (v == "ask")
                options.overwrite = OverwritePolicy::Ask;
            else if (v == "yes")
                options.overwrite = OverwritePolicy::Yes;
            else if (v == "no")
                options.overwrite = OverwritePolicy::No;
            else {
                error = "--overwrite takes ask, yes or no";
                return std::nullopt;
            }
        } else {
            error = "unknown option '" + a + "'";
            return std::nullopt;
        }
    }
    return options;
}

std::optional<bool> has_jet_signature(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string head(kJetSignature.size(), '\0');
    in.seekg(kSignatureOffset);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (!in) return false;
    return head == kJetSignature;
}

}  // namespace tessaly::cli
