// Turning stored text into UTF-8.
//
// Jet 4 keeps text as UTF-16LE, or "compressed": the marker FF FE, then runs of
// one byte per character (high byte 0) and of two-byte UTF-16LE units; a 0x00
// byte switches between the two, starting with one-byte runs. Jet 3 keeps
// 8-bit text in the database's code page.
//
// Every function here reads only inside the view it is given and keeps every
// character: unpaired UTF-16 surrogates become U+FFFD, a byte the code page
// does not define becomes the character with that byte's number.
#pragma once

#include <memory>
#include <string>

#include "common/le.h"

namespace tessaly::reader {

// Appends the UTF-8 form of code point `c` (invalid values become U+FFFD).
void append_utf8(std::string& out, char32_t c);

// Jet 4 text (UTF-16LE or compressed) into UTF-8, replacing `out`. The text
// ends early at a U+0000 character; an odd trailing byte is ignored.
void decode_text(ByteView source, std::string& out);
std::string decode_text(ByteView source);

// Converts 8-bit text in a Windows code page into UTF-8. Double-byte code
// pages (932, 936, 949, 950) are supported. Not thread-safe: one decoder per
// thread (each JetFile owns its own).
class CodePageDecoder {
  public:
    // Unknown code pages fall back to Windows-1252.
    explicit CodePageDecoder(int code_page);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    int code_page() const { return code_page_; }
    // Replaces `out` with the UTF-8 form of `source`, ending early at a zero byte.
    void decode(ByteView source, std::string& out);

  private:
    struct Converter;
    int code_page_;
    std::unique_ptr<Converter> converter_;
};

}  // namespace tessaly::reader
