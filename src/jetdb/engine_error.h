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

// Runs `fn` and lets only EngineError leave it: any other exception becomes
// an EngineError carrying its message. Public engine operations wrap their
// bodies in it.
template <typename Fn>
auto guarded(Fn&& fn) -> decltype(fn()) {
    try {
        return fn();
    } catch (const EngineError&) {
        throw;
    } catch (const std::exception& e) {
        throw EngineError(e.what());
    } catch (...) {
        throw EngineError("Unexpected failure in the database engine");
    }
}

}  // namespace tessaly::jetdb
