// The `tessaly` command-line program: batch and headless front end of the engine.
#include <algorithm>
#include <array>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command.h"
#include "common/version.h"

namespace {

using tessaly::cli::Command;

constexpr std::array kCommands{
    Command{"analyse", "analyse FILE...", "show what can be recovered from each database",
            tessaly::cli::run_analyse},
    Command{"repair", "repair --out DIR FILE...", "recover each database into a new one in DIR",
            tessaly::cli::run_repair},
    Command{"dump", "dump FILE [TABLE]", "list a database's tables, or print one table as CSV",
            tessaly::cli::run_dump},
};

void print_usage(std::ostream& out) {
    out << "Usage: tessaly <command> [options]\n"
           "\n"
           "Recovers damaged Microsoft Access (.mdb) databases.\n"
           "\n"
           "Commands:\n";
    for (const Command& c : kCommands) {
        std::string name = c.synopsis;
        name.resize(std::max<std::size_t>(name.size() + 2, 20), ' ');
        out << "  " << name << c.summary << "\n";
    }
    out << "\nRun 'tessaly <command> --help' for a command's options.\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        print_usage(std::cerr);
        return tessaly::cli::kExitUsage;
    }
    const std::string_view verb = args.front();
    if (verb == "--help" || verb == "-h" || verb == "help") {
        print_usage(std::cout);
        return tessaly::cli::kExitOk;
    }
    if (verb == "--version") {
        std::cout << "tessaly " << tessaly::version_text() << "\n";
        return tessaly::cli::kExitOk;
    }
    for (const Command& c : kCommands) {
        if (verb == c.name) {
            args.erase(args.begin());
            return c.run(args, std::cout, std::cerr);
        }
    }
    std::cerr << "tessaly: unknown command '" << verb << "' (see tessaly --help)\n";
    return tessaly::cli::kExitUsage;
}
