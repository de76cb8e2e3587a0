// CSV parsing and shell quoting for the tests that run programs.
#pragma once

#include <string>
#include <vector>

namespace tessaly::test {

// Parses RFC 4180 text (quoted fields may hold commas, quotes and line
// breaks; lines end in LF or CRLF) into records of fields.
std::vector<std::vector<std::string>> parse_csv(const std::string& text);

// The text quoted for a POSIX shell command line.
std::string shell_quote(const std::string& text);

}  // namespace tessaly::test
