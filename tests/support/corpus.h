// Locating the shared corpus of real Access files and the built CLI.
// Tests that need real files call corpus_dir() and GTEST_SKIP() when it is empty.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tessaly::test {

// The corpus folder (env TESSALY_CORPUS overrides the configured path);
// empty when the folder does not exist.
std::filesystem::path corpus_dir();

// Every *.mdb file of the corpus, sorted by name; empty when absent.
std::vector<std::filesystem::path> corpus_files();

// Path of the built `tessaly` program.
std::filesystem::path cli_path();

// True when a program is on PATH (e.g. "mdb-export").
bool have_program(const std::string& name);

// Runs a shell command, capturing stdout; returns the exit status (or -1).
int run_capture(const std::string& command, std::string& out);

}  // namespace tessaly::test
