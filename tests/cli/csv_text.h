// CSV parsing for the tests that run programs (shell quoting comes from the
// oracles' helpers).
#pragma once

#include <string>
#include <vector>

#include "support/oracles.h"

namespace tessaly::test {

// Parses RFC 4180 text (quoted fields may hold commas, quotes and line
// breaks; lines end in LF or CRLF) into records of fields.
std::vector<std::vector<std::string>> parse_csv(const std::string& text);

}  // namespace tessaly::test
