// The one exception type that leaves the destination database library.
#pragma once

#include <stdexcept>
#include <string>

namespace tessaly::jetdb {

// Thrown for every failure of the destination engine: refused statements,
// failed conversions, refused rows, I/O errors. Nothing else escapes the
// library's public operations.
class EngineError : public std::runtime_error {
  public:
    explicit EngineError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tessaly::jetdb
