// Temporary stand-ins for the text codec, value conversion, DDL parsing,
// index keys and index pages, used until their real implementations are
// merged. Deliberately minimal.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/le.h"
#include "jetdb/ddl.h"
#include "jetdb/engine_error.h"
#include "jetdb/index_key.h"
#include "jetdb/index_pages.h"
#include "jetdb/text_codec.h"
#include "jetdb/value_convert.h"

namespace tessaly::jetdb {

std::u16string utf8_to_utf16(std::string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp;
        int n;
        if (c < 0x80)
            cp = c, n = 1;
        else if ((c >> 5) == 6)
            cp = c & 0x1F, n = 2;
        else if ((c >> 4) == 14)
            cp = c & 0x0F, n = 3;
        else if ((c >> 3) == 30)
            cp = c & 0x07, n = 4;
        else
            throw EngineError("Malformed UTF-8");
        if (i + n > s.size()) throw EngineError("Malformed UTF-8");
        for (int k = 1; k < n; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc >> 6) != 2) throw EngineError("Malformed UTF-8");
            cp = (cp << 6) | (cc & 0x3F);
        }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view t) {
    std::string out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        std::uint32_t cp = t[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < t.size() && t[i + 1] >= 0xDC00 &&
            t[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (t[++i] - 0xDC00);
        else if (cp >= 0xD800 && cp < 0xE000)
            cp = 0xFFFD;
        if (cp < 0x80)
            out.push_back(static_cast<char>(cp));
        else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::vector<std::uint8_t> encode_jet4_text(std::u16string_view text, bool compressible) {
    std::vector<std::uint8_t> out;
    const bool latin =
        std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= 1 && c <= 0xFF; });
    if (compressible && latin && text.size() >= 3 && text.size() <= 1024) {
        out = {0xFF, 0xFE};
        for (char16_t c : text)
            out.push_back(static_cast<std::uint8_t>(c));
        return out;
    }
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return out;
}

namespace {

double ole_date(int y, int m, int d, double secs) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = era * 146097 + static_cast<long>(doe) - 719468 + 25569;
    return days >= 0 ? days + secs / 86400 : days - secs / 86400;
}

bool parse_time(const std::string& s, std::size_t& p, double& secs) {
    int h = 0, m = 0, sec = 0, n = 0;
    if (std::sscanf(s.c_str() + p, "%d:%d:%d%n", &h, &m, &sec, &n) < 3) return false;
    p += n;
    while (p < s.size() && s[p] == ' ')
        ++p;
    if (s.compare(p, 2, "PM") == 0) {
        if (h < 12) h += 12;
        p += 2;
    } else if (s.compare(p, 2, "AM") == 0) {
        if (h == 12) h = 0;
        p += 2;
    }
    secs = h * 3600.0 + m * 60 + sec;
    return true;
}

}  // namespace

FieldValue convert_field_text(const ColumnSpec& column, std::string_view text_in) {
    FieldValue v;
    if (text_in.empty()) return v;
    v.is_null = false;
    std::string text(text_in);
    const auto bad = [&] { return EngineError("Data type conversion error."); };
    auto number = [&]() {
        char* end = nullptr;
        const double d = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end) throw bad();
        return d;
    };
    auto integer = [&](double lo, double hi, int width) {
        const double d = std::nearbyint(number());
        if (d < lo || d > hi) throw EngineError("Numeric field overflow.");
        v.bytes.resize(width);
        const auto i = static_cast<std::int64_t>(d);
        for (int k = 0; k < width; ++k)
            v.bytes[k] = static_cast<std::uint8_t>(i >> (8 * k));
    };
    switch (column.type) {
        case ColumnType::Boolean: {
            std::string u;
            for (char c : text)
                u.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
            bool b;
            if (u == "TRUE" || u == "YES")
                b = true;
            else if (u == "FALSE" || u == "NO")
                b = false;
            else
                b = number() != 0;
            v.bytes = {static_cast<std::uint8_t>(b)};
            break;
        }
        case ColumnType::Byte:
            integer(0, 255, 1);
            break;
        case ColumnType::Int:
            integer(-32768, 32767, 2);
            break;
        case ColumnType::Long:
            integer(-2147483648.0, 2147483647.0, 4);
            break;
        case ColumnType::Currency: {
            const double d = number() * 10000;
            v.bytes.resize(8);
            put_u64(v.bytes, 0,
                    static_cast<std::uint64_t>(static_cast<std::int64_t>(std::llround(d))));
            break;
        }
        case ColumnType::Single:
            v.bytes.resize(4);
            put_f32(v.bytes, 0, static_cast<float>(number()));
            break;
        case ColumnType::Double:
            v.bytes.resize(8);
            put_f64(v.bytes, 0, number());
            break;
        case ColumnType::DateTime: {
            int y, m, d, n = 0;
            double secs = 0, date = 0;
            std::size_t p = 0;
            if (std::sscanf(text.c_str(), "%d-%d-%d%n", &y, &m, &d, &n) == 3) {
                p = n;
                date = ole_date(y, m, d, 0);
                while (p < text.size() && (text[p] == ' ' || text[p] == 'T'))
                    ++p;
                if (p < text.size() && !parse_time(text, p, secs)) throw bad();
                date = ole_date(y, m, d, secs);
            } else if (std::sscanf(text.c_str(), "%d/%d/%d%n", &m, &d, &y, &n) == 3) {
                p = n;
                while (p < text.size() && text[p] == ' ')
                    ++p;
                if (p < text.size() && !parse_time(text, p, secs)) throw bad();
                date = ole_date(y, m, d, secs);
            } else if (parse_time(text, p, secs)) {
                date = secs / 86400;
            } else {
                throw bad();
            }
            v.bytes.resize(8);
            put_f64(v.bytes, 0, date);
            break;
        }
        case ColumnType::Text:
            v.text = utf8_to_utf16(text);
            if (v.text.size() * 2 > column.size)
                throw EngineError(
                    "The field is too small to accept the amount of data you attempted to add.");
            break;
        case ColumnType::Memo:
            v.text = utf8_to_utf16(text);
            break;
        case ColumnType::Binary:
        case ColumnType::Ole:
            v.bytes.assign(text.begin(), text.end());
            break;
        case ColumnType::Guid: {
            unsigned a, b, c, d[8];
            if (std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &a, &b, &c,
                            &d[0], &d[1], &d[2], &d[3], &d[4], &d[5], &d[6], &d[7]) != 11)
                throw bad();
            v.bytes.resize(16);
            put_u32(v.bytes, 0, a);
            put_u16(v.bytes, 4, static_cast<std::uint16_t>(b));
            put_u16(v.bytes, 6, static_cast<std::uint16_t>(c));
            for (int k = 0; k < 8; ++k)
                v.bytes[8 + k] = static_cast<std::uint8_t>(d[k]);
            break;
        }
        case ColumnType::Numeric: {
            double x = number();
            v.bytes.assign(17, 0);
            if (x < 0) {
                v.bytes[0] = 0x80;
                x = -x;
            }
            const auto scaled =
                static_cast<std::uint64_t>(std::llround(x * std::pow(10.0, column.scale)));
            put_u32(v.bytes, 9, static_cast<std::uint32_t>(scaled >> 32));
            put_u32(v.bytes, 13, static_cast<std::uint32_t>(scaled));
            break;
        }
    }
    return v;
}

void check_object_name(std::string_view name) {
    if (name.empty() || name.size() > 64 || name[0] == ' ') throw EngineError("Invalid name");
    for (unsigned char c : name)
        if (c < 0x20 || c == '.' || c == '!' || c == '`' || c == '[' || c == ']')
            throw EngineError("Invalid name");
}

namespace {

struct Lexer {
    std::string_view s;
    std::size_t p = 0;
    void ws() {
        while (p < s.size() && std::isspace(static_cast<unsigned char>(s[p])))
            ++p;
    }
    bool sym(char c) {
        ws();
        if (p < s.size() && s[p] == c) {
            ++p;
            return true;
        }
        return false;
    }
    std::string word() {
        ws();
        std::string w;
        if (p < s.size() && s[p] == '[') {
            const auto e = s.find(']', p);
            if (e == std::string_view::npos) throw EngineError("Syntax error");
            w = std::string(s.substr(p + 1, e - p - 1));
            p = e + 1;
            return w;
        }
        while (p < s.size() && (std::isalnum(static_cast<unsigned char>(s[p])) || s[p] == '_'))
            w.push_back(s[p++]);
        return w;
    }
    std::string kw() {
        std::string w = word();
        for (auto& c : w)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return w;
    }
    bool peek_kw(const char* k) {
        auto save = p;
        bool ok = kw() == k;
        if (!ok) p = save;
        return ok;
    }
    void expect_kw(const char* k) {
        if (kw() != k) throw EngineError(std::string("Syntax error: expected ") + k);
    }
    int num() {
        ws();
        int n = 0;
        bool any = false;
        while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) {
            n = n * 10 + (s[p++] - '0');
            any = true;
            if (n > 100000) break;
        }
        if (!any) throw EngineError("Syntax error");
        return n;
    }
    void end() {
        sym(';');
        ws();
        if (p != s.size()) throw EngineError("Syntax error");
    }
};

ColumnSpec parse_column(Lexer& lx) {
    ColumnSpec c;
    c.name = lx.word();
    check_object_name(c.name);
    const std::string t = lx.kw();
    if (t == "BIT")
        c.type = ColumnType::Boolean;
    else if (t == "BYTE")
        c.type = ColumnType::Byte;
    else if (t == "INT" || t == "SHORT" || t == "SMALLINT")
        c.type = ColumnType::Int;
    else if (t == "LONG" || t == "INTEGER")
        c.type = ColumnType::Long;
    else if (t == "COUNTER" || t == "AUTOINCREMENT") {
        c.type = ColumnType::Long;
        c.autonumber = true;
    } else if (t == "CURRENCY")
        c.type = ColumnType::Currency;
    else if (t == "SINGLE")
        c.type = ColumnType::Single;
    else if (t == "DOUBLE")
        c.type = ColumnType::Double;
    else if (t == "DATE" || t == "DATETIME")
        c.type = ColumnType::DateTime;
    else if (t == "GUID")
        c.type = ColumnType::Guid;
    else if (t == "OLEOBJECT" || t == "LONGBINARY")
        c.type = ColumnType::Ole;
    else if (t == "MEMO" || t == "LONGTEXT")
        c.type = ColumnType::Memo;
    else if (t == "TEXT" || t == "BINARY") {
        c.type = t == "TEXT" ? ColumnType::Text : ColumnType::Binary;
        int n = 255;
        if (lx.sym('(')) {
            n = lx.num();
            if (!lx.sym(')')) throw EngineError("Syntax error");
        }
        if (n < 1 || n > 255) throw EngineError("Size of field is too long.");
        c.size = static_cast<std::uint16_t>(t == "TEXT" ? 2 * n : n);
    } else if (t == "DECIMAL") {
        c.type = ColumnType::Numeric;
        c.precision = 18;
        if (lx.sym('(')) {
            c.precision = static_cast<std::uint8_t>(lx.num());
            if (lx.sym(',')) c.scale = static_cast<std::uint8_t>(lx.num());
            if (!lx.sym(')')) throw EngineError("Syntax error");
        }
    } else
        throw EngineError("Syntax error in field definition.");
    if (c.type != ColumnType::Text && c.type != ColumnType::Binary) c.size = fixed_width(c.type);
    return c;
}

std::vector<IndexColumnRef> index_columns(Lexer& lx) {
    std::vector<IndexColumnRef> cols;
    if (!lx.sym('(')) throw EngineError("Syntax error");
    do {
        IndexColumnRef r;
        r.name = lx.word();
        if (lx.peek_kw("DESC"))
            r.ascending = false;
        else
            lx.peek_kw("ASC");
        cols.push_back(r);
    } while (lx.sym(','));
    if (!lx.sym(')')) throw EngineError("Syntax error");
    return cols;
}

}  // namespace

DdlStatement parse_ddl(std::string_view statement) {
    Lexer lx{statement};
    const std::string first = lx.kw();
    if (first == "CREATE") {
        if (lx.peek_kw("TABLE")) {
            CreateTableStmt s;
            s.table = lx.word();
            check_object_name(s.table);
            if (!lx.sym('(')) throw EngineError("Syntax error in CREATE TABLE statement.");
            do
                s.columns.push_back(parse_column(lx));
            while (lx.sym(','));
            if (!lx.sym(')')) throw EngineError("Syntax error in CREATE TABLE statement.");
            lx.end();
            return s;
        }
        CreateIndexStmt s;
        s.unique = lx.peek_kw("UNIQUE");
        lx.expect_kw("INDEX");
        s.name = lx.word();
        lx.expect_kw("ON");
        s.table = lx.word();
        s.columns = index_columns(lx);
        if (lx.peek_kw("WITH")) {
            lx.expect_kw("PRIMARY");
            s.primary = true;
        }
        lx.end();
        return s;
    }
    if (first == "ALTER") {
        lx.expect_kw("TABLE");
        const std::string table = lx.word();
        lx.expect_kw("ADD");
        if (lx.peek_kw("CONSTRAINT") || lx.peek_kw("PRIMARY")) {
            CreateIndexStmt s;
            s.table = table;
            s.primary = s.unique = true;
            if (lx.s.substr(0, lx.p).back() != 'Y') {
                s.name = lx.word();
                lx.expect_kw("PRIMARY");
            }
            lx.expect_kw("KEY");
            s.columns = index_columns(lx);
            lx.end();
            return s;
        }
        lx.peek_kw("COLUMN");
        AddColumnStmt s;
        s.table = table;
        s.column = parse_column(lx);
        lx.end();
        return s;
    }
    throw EngineError("Invalid SQL statement.");
}

void append_index_key(std::vector<std::uint8_t>& key, const ColumnSpec& column,
                      const FieldValue& value, bool ascending) {
    const std::size_t start = key.size();
    if (value.is_null && column.type != ColumnType::Boolean) {
        key.push_back(ascending ? 0x00 : 0xFF);
        return;
    }
    key.push_back(ascending ? 0x7F : 0x80);
    switch (column.type) {
        case ColumnType::Boolean:
            key.push_back(!value.is_null && value.bytes[0] ? 0x00 : 0xFF);
            break;
        case ColumnType::Byte:
            key.push_back(value.bytes[0]);
            break;
        case ColumnType::Int:
        case ColumnType::Long:
        case ColumnType::Currency:
            for (std::size_t i = value.bytes.size(); i-- > 0;)
                key.push_back(static_cast<std::uint8_t>(value.bytes[i] ^
                                                        (i + 1 == value.bytes.size() ? 0x80 : 0)));
            break;
        case ColumnType::Text:
        case ColumnType::Memo: {
            for (char16_t c : value.text) {
                if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
                static const std::uint8_t letters[] = {
                    0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B, 0x5C, 0x5E, 0x60,
                    0x62, 0x64, 0x66, 0x68, 0x69, 0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};
                if (c >= u'A' && c <= u'Z')
                    key.push_back(letters[c - u'A']);
                else if (c >= u'0' && c <= u'9')
                    key.push_back(static_cast<std::uint8_t>(0x36 + 2 * (c - u'0')));
                else if (c == u' ')
                    key.push_back(0x07);
                else
                    key.push_back(0x2B);
            }
            key.push_back(0x01);
            key.push_back(0x00);
            break;
        }
        default:
            for (std::size_t i = value.bytes.size(); i-- > 0;)
                key.push_back(value.bytes[i]);
            break;
    }
    if (!ascending)
        for (std::size_t i = start + 1; i < key.size(); ++i)
            key[i] = static_cast<std::uint8_t>(~key[i]);
}

namespace {

constexpr std::size_t kEntriesOffset = 0x1E0;
constexpr std::size_t kMaskOffset = 0x1B;

struct Built {
    std::uint32_t page;
    std::vector<std::uint8_t> last;
};

std::vector<Built> write_level(const std::vector<std::vector<std::uint8_t>>& entries,
                               const std::vector<std::vector<std::uint8_t>>& lasts, bool leaf,
                               std::uint32_t tdef, const PageAllocator& allocate,
                               const PageWriter& write) {
    std::vector<std::vector<std::size_t>> groups(1);
    std::size_t used = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (used + entries[i].size() > 4096 - kEntriesOffset) {
            groups.emplace_back();
            used = 0;
        }
        groups.back().push_back(i);
        used += entries[i].size();
    }
    std::vector<std::uint32_t> pages;
    for (std::size_t g = 0; g < groups.size(); ++g)
        pages.push_back(allocate());
    std::vector<Built> out;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        std::vector<std::uint8_t> page(4096, 0);
        page[0] = leaf ? 0x04 : 0x03;
        page[1] = 0x01;
        put_u32(page, 4, tdef);
        put_u32(page, 0x0C, g > 0 ? pages[g - 1] : 0);
        put_u32(page, 0x10, g + 1 < groups.size() ? pages[g + 1] : 0);
        page[0x1A] = leaf ? 0 : 1;
        std::size_t pos = kEntriesOffset;
        for (std::size_t i : groups[g]) {
            std::copy(entries[i].begin(), entries[i].end(),
                      page.begin() + static_cast<std::ptrdiff_t>(pos));
            pos += entries[i].size();
            const std::size_t bit = pos - kEntriesOffset;
            page[kMaskOffset + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        }
        put_u16(page, 2, static_cast<std::uint16_t>(4096 - pos));
        if (!leaf && !groups[g].empty()) {
            const auto& last = entries[groups[g].back()];
            put_u32(page, 0x14,
                    static_cast<std::uint32_t>(last[last.size() - 4]) << 24 |
                        last[last.size() - 3] << 16 | last[last.size() - 2] << 8 |
                        last[last.size() - 1]);
        }
        write(pages[g], page);
        out.push_back(
            {pages[g], groups[g].empty() ? std::vector<std::uint8_t>{} : lasts[groups[g].back()]});
    }
    return out;
}

}  // namespace

std::uint32_t write_index_pages(std::vector<IndexEntry> entries, std::uint32_t tdef_page,
                                const PageAllocator& allocate, const PageWriter& write) {
    std::sort(entries.begin(), entries.end(), [](const IndexEntry& a, const IndexEntry& b) {
        if (a.key != b.key) return a.key < b.key;
        if (a.page != b.page) return a.page < b.page;
        return a.row < b.row;
    });
    std::vector<std::vector<std::uint8_t>> level;
    for (const auto& e : entries) {
        auto x = e.key;
        x.push_back(static_cast<std::uint8_t>(e.page >> 16));
        x.push_back(static_cast<std::uint8_t>(e.page >> 8));
        x.push_back(static_cast<std::uint8_t>(e.page));
        x.push_back(e.row);
        level.push_back(std::move(x));
    }
    auto built = write_level(level, level, true, tdef_page, allocate, write);
    while (built.size() > 1) {
        std::vector<std::vector<std::uint8_t>> next, lasts;
        for (const auto& b : built) {
            auto x = b.last;
            for (int k = 3; k >= 0; --k)
                x.push_back(static_cast<std::uint8_t>(b.page >> (8 * k)));
            next.push_back(std::move(x));
            lasts.push_back(b.last);
        }
        built = write_level(next, lasts, false, tdef_page, allocate, write);
    }
    return built.front().page;
}

}  // namespace tessaly::jetdb
