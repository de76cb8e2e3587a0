// One verb of the `tessaly` program. Each verb lives in its own file and is
// listed in main.cpp's command table.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tessaly::cli {

// Exit statuses shared by the verbs.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // the work could not be done (damaged beyond reading)
inline constexpr int kExitUsage = 2;    // bad arguments, missing or unopenable file, unknown name
inline constexpr int kExitStopped = 5;  // the user stopped the run

struct Command {
    const char* name;
    const char* synopsis;  // the verb with its arguments, for the program's --help
    const char* summary;   // one line for the program's --help
    // Runs the verb with the arguments after its name; returns the exit status.
    int (*run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};

int run_analyse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_repair(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_dump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tessaly::cli
