#include "reader/text_decode.h"

#include <iconv.h>

#include <cerrno>
#include <string>

#include "reader/jet_layout.h"

namespace tessaly::reader {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

bool is_high_surrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool is_low_surrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Collects UTF-16 units and writes them as UTF-8, pairing surrogates.
class Utf16Sink {
  public:
    explicit Utf16Sink(std::string& out) : out_(out) {}
    ~Utf16Sink() { flush(); }
    void unit(char32_t u) {
        if (pending_high_ != 0) {
            char32_t high = pending_high_;
            pending_high_ = 0;
            if (is_low_surrogate(u)) {
                append_utf8(out_, 0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00));
                return;
            }
            append_utf8(out_, kReplacement);
        }
        if (is_high_surrogate(u)) {
            pending_high_ = u;
        } else if (is_low_surrogate(u)) {
            append_utf8(out_, kReplacement);
        } else {
            append_utf8(out_, u);
        }
    }
    void flush() {
        if (pending_high_ != 0) append_utf8(out_, kReplacement);
        pending_high_ = 0;
    }

  private:
    std::string& out_;
    char32_t pending_high_ = 0;  // 0 = none
};

bool has_compressed_marker(ByteView source) {
    return source.size() >= 2 && source.data()[0] == kCompressedTextMarker[0] &&
           source.data()[1] == kCompressedTextMarker[1];
}

}  // namespace

void append_utf8(std::string& out, char32_t c) {
    if (c > kMaxCodePoint || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void decode_text(ByteView source, std::string& out) {
    out.clear();
    Utf16Sink sink(out);
    const std::uint8_t* p = source.data();
    const std::size_t n = source.size();
    if (has_compressed_marker(source)) {
        bool one_byte = true;
        std::size_t i = 2;
        while (i < n) {
            if (p[i] == 0) {
                one_byte = !one_byte;
                ++i;
            } else if (one_byte) {
                sink.unit(p[i]);
                ++i;
            } else if (i + 1 < n) {
                sink.unit(static_cast<char32_t>(p[i] | (p[i + 1] << 8)));
                i += 2;
            } else {
                break;
            }
        }
        return;
    }
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        char32_t u = static_cast<char32_t>(p[i] | (p[i + 1] << 8));
        if (u == 0) break;
        sink.unit(u);
    }
}

std::string decode_text(ByteView source) {
    std::string out;
    decode_text(source, out);
    return out;
}

struct CodePageDecoder::Converter {
    iconv_t handle = reinterpret_cast<iconv_t>(-1);
    ~Converter() {
        if (handle != reinterpret_cast<iconv_t>(-1)) iconv_close(handle);
    }
};

CodePageDecoder::CodePageDecoder(int code_page)
    : code_page_(code_page), converter_(std::make_unique<Converter>()) {
    if (code_page_ > 0) {
        std::string name = "CP" + std::to_string(code_page_);
        converter_->handle = iconv_open("UTF-8", name.c_str());
    }
    if (converter_->handle == reinterpret_cast<iconv_t>(-1)) {
        code_page_ = kDefaultCodePage;
        converter_->handle = iconv_open("UTF-8", "CP1252");
    }
}

CodePageDecoder::~CodePageDecoder() = default;

void CodePageDecoder::decode(ByteView source, std::string& out) {
    out.clear();
    std::size_t length = 0;
    bool ascii = true;
    while (length < source.size() && source.data()[length] != 0) {
        ascii = ascii && source.data()[length] < 0x80;
        ++length;
    }
    if (ascii || converter_->handle == reinterpret_cast<iconv_t>(-1)) {
        for (std::size_t i = 0; i < length; ++i)
            append_utf8(out, source.data()[i]);
        return;
    }
    iconv(converter_->handle, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(source.data()));
    std::size_t in_left = length;
    char buffer[256];
    while (in_left > 0) {
        char* o = buffer;
        std::size_t o_left = sizeof buffer;
        std::size_t r = iconv(converter_->handle, &in, &in_left, &o, &o_left);
        out.append(buffer, static_cast<std::size_t>(o - buffer));
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // A byte the code page does not define (or a cut double-byte
        // sequence): keep it as the character with that number.
        append_utf8(out, static_cast<std::uint8_t>(*in));
        ++in;
        --in_left;
        iconv(converter_->handle, nullptr, nullptr, nullptr, nullptr);
    }
}

}  // namespace tessaly::reader
