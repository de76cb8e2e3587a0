// The `tessaly` command-line program: batch and headless front end of the engine.
#include <cstring>
#include <iostream>
#include <string>

namespace {

constexpr const char* kUsage =
    "Usage: tessaly <command> [options]\n"
    "\n"
    "Recovers damaged Microsoft Access (.mdb) databases.\n"
    "\n"
    "Commands:\n"
    "  dump FILE [TABLE]   list a database's tables, or print one table as CSV\n"
    "\n"
    "Run 'tessaly <command> --help' for a command's options.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::cout << kUsage;
        return argc < 2 ? 2 : 0;
    }
    std::cerr << "tessaly: unknown command '" << argv[1] << "' (see tessaly --help)\n";
    return 2;
}
