// A minimal JSON writer for the command line's machine-readable reports:
// objects, arrays, strings (UTF-8, escaped as RFC 8259 requires), integers
// and booleans, written compactly with one top-level value per document.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace tessaly::cli {

class JsonWriter {
  public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}

    void begin_object();
    void end_object();
    void begin_array();
    void end_array();
    // The next member's name (inside an object).
    void key(std::string_view name);
    void value(std::string_view text);
    void value(const char* text) { value(std::string_view(text)); }
    void value(std::int64_t number);
    void value(bool flag);

  private:
    void separate();
    void write_string(std::string_view text);
    std::ostream& out_;
    // One entry per open container: true once it holds a value.
    std::vector<bool> has_value_;
    bool after_key_ = false;
};

}  // namespace tessaly::cli
