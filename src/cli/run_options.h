// Options shared by the run verbs (analyse, repair), parsed in one place.
//   --out DIR | --out=DIR           destination folder (repair)
//   --overwrite=ask|yes|no          existing destinations (repair; default ask)
//   --log FILE | --log=FILE         activity log location instead of the settings'
//   --json                          machine-readable report on stdout
//   --help | -h                     the verb's help
//   --                              everything after it is a FILE
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/console_run.h"

namespace tessaly::cli {

struct RunOptions {
    bool help = false;
    bool json = false;
    std::optional<std::string> out;
    std::optional<std::string> log;
    OverwritePolicy overwrite = OverwritePolicy::Ask;
    std::vector<std::string> files;
};

// Parses `args`; `allow_repair_options` admits --out and --overwrite. On a
// usage error answers nullopt with `error` set to one line describing it.
std::optional<RunOptions> parse_run_options(const std::vector<std::string>& args,
                                            bool allow_repair_options, std::string& error);

// True when the file begins with the Jet signature (page 0, offset 4). False
// for a file that can be read but lacks it; nullopt when it cannot be read.
std::optional<bool> has_jet_signature(const std::string& path);

}  // namespace tessaly::cli
