#include "cli/json_writer.h"

namespace tessaly::cli {
namespace {

constexpr unsigned char kFirstPlainChar = 0x20;
constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

void JsonWriter::separate() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (!has_value_.empty()) {
        if (has_value_.back()) out_ << ',';
        has_value_.back() = true;
    }
}

void JsonWriter::write_string(std::string_view text) {
    out_ << '"';
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
            case '"':
                out_ << "\\\"";
                break;
            case '\\':
                out_ << "\\\\";
                break;
            case '\n':
                out_ << "\\n";
                break;
            case '\r':
                out_ << "\\r";
                break;
            case '\t':
                out_ << "\\t";
                break;
            default:
                if (c < kFirstPlainChar)
                    out_ << "\\u00" << kHexDigits[c >> 4] << kHexDigits[c & 0xF];
                else
                    out_ << ch;
        }
    }
    out_ << '"';
}

void JsonWriter::begin_object() {
    separate();
    out_ << '{';
    has_value_.push_back(false);
}

void JsonWriter::end_object() {
    has_value_.pop_back();
    out_ << '}';
}

void JsonWriter::begin_array() {
    separate();
    out_ << '[';
    has_value_.push_back(false);
}

void JsonWriter::end_array() {
    has_value_.pop_back();
    out_ << ']';
}

void JsonWriter::key(std::string_view name) {
    separate();
    write_string(name);
    out_ << ':';
    after_key_ = true;
}

void JsonWriter::value(std::string_view text) {
    separate();
    write_string(text);
}

void JsonWriter::value(std::int64_t number) {
    separate();
    out_ << number;
}

void JsonWriter::value(bool flag) {
    separate();
    out_ << (flag ? "true" : "false");
}

}  // namespace tessaly::cli
