#include "rebuild/currency_symbol.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <string_view>

namespace tessaly::rebuild {
namespace {

constexpr std::string_view kUtf8 = "UTF-8";
// CRNCYSTR starts with where the symbol goes: '-' before the value, '+'
// after it, '.' in place of the radix character.
constexpr std::string_view kPositionMarks = "-+.";
constexpr unsigned char kFirstNonAscii = 0x80;
// Room for the converted symbol (a symbol is a few characters long).
constexpr std::size_t kUtf8BytesPerInputByte = 4;

// Owns a locale_t.
class LocaleHandle {
  public:
    explicit LocaleHandle(locale_t handle) : handle_(handle) {}
    ~LocaleHandle() {
        if (handle_ != locale_t{}) freelocale(handle_);
    }
    LocaleHandle(const LocaleHandle&) = delete;
    LocaleHandle& operator=(const LocaleHandle&) = delete;
    locale_t get() const { return handle_; }
    explicit operator bool() const { return handle_ != locale_t{}; }

  private:
    locale_t handle_;
};

bool is_ascii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= kFirstNonAscii) return false;
    return true;
}

// Converts `text` from `charset` to UTF-8; empty when that fails.
std::string to_utf8(std::string_view text, const char* charset) {
    iconv_t cd = iconv_open(kUtf8.data(), charset);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string in(text);
    std::string out(in.size() * kUtf8BytesPerInputByte, '\0');
    char* in_ptr = in.data();
    std::size_t in_left = in.size();
    char* out_ptr = out.data();
    std::size_t out_left = out.size();
    const std::size_t done = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1) || in_left != 0) return {};
    out.resize(out.size() - out_left);
    return out;
}

}  // namespace

std::string currency_symbol_of(const char* locale_name) {
    // The whole locale gives the character set of the symbol; when some of
    // its categories are not installed, the monetary one alone still gives it.
    LocaleHandle full(newlocale(LC_ALL_MASK, locale_name, locale_t{}));
    LocaleHandle monetary(full ? locale_t{} : newlocale(LC_MONETARY_MASK, locale_name, locale_t{}));
    const locale_t loc = full ? full.get() : monetary.get();
    if (loc == locale_t{}) return {};

    std::string_view symbol = nl_langinfo_l(CRNCYSTR, loc);
    if (!symbol.empty() && kPositionMarks.find(symbol.front()) != std::string_view::npos)
        symbol.remove_prefix(1);
    if (is_ascii(symbol)) return std::string(symbol);
    const char* charset = nl_langinfo_l(CODESET, loc);
    if (full && charset && std::string_view(charset) == kUtf8) return std::string(symbol);
    if (!full) return {};
    return to_utf8(symbol, charset);
}

std::string user_currency_symbol() {
    return currency_symbol_of("");
}

}  // namespace tessaly::rebuild
