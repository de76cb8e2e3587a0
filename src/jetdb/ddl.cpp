#include "jetdb/ddl.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>

#include "jetdb/engine_error.h"
#include "jetdb/text_codec.h"

namespace tessaly::jetdb {

namespace {

constexpr int kMaxTextChars = 255;
constexpr int kMaxBinaryBytes = 255;
constexpr int kDefaultTextChars = 255;
constexpr int kDefaultBinaryBytes = 255;
constexpr int kMaxDecimalPrecision = 28;
constexpr int kDefaultDecimalPrecision = 18;
constexpr int kDefaultDecimalScale = 0;
constexpr std::uint16_t kBooleanDescriptorLength = 1;
constexpr char16_t kFirstPrintable = 0x20;

// ---------------------------------------------------------------- names

char16_t fold_unit(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? c - 0x20 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;  // Latin-1 letters
    if (c == 0xFF) return 0x178;                               // y with diaeresis
    if (c == 0x131) return u'I';                               // dotless i
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) ? c - 1 : c;  // Latin Extended-A, upper case even
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c : c - 1;  // Latin Extended-A, upper case odd
    if (c == 0x3C2) return 0x3A3;    // final sigma
    if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB)) return c - 0x20;  // Greek
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;    // Cyrillic
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;    // Cyrillic with marks
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;  // full-width Latin
    return c;
}

// ---------------------------------------------------------------- tokens

enum class Tok { Word, Bracketed, LParen, RParen, Comma, Semicolon, End };

struct Token {
    Tok kind = Tok::End;
    std::string_view text;  // word or bracket contents
    std::size_t pos = 0;
};

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool is_word_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

[[noreturn]] void syntax_error(std::string_view statement, std::size_t pos) {
    std::string near(statement.substr(pos, 20));
    throw EngineError(near.empty() ? "Syntax error: the statement ends too early"
                                   : "Syntax error near '" + near + "'");
}

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (is_space(c)) {
            ++i;
            continue;
        }
        Token t;
        t.pos = i;
        if (c == '[') {
            const std::size_t close = s.find(']', i + 1);
            if (close == std::string_view::npos)
                throw EngineError("Syntax error: a name in brackets is not closed");
            t.kind = Tok::Bracketed;
            t.text = s.substr(i + 1, close - i - 1);
            i = close + 1;
        } else if (is_word_char(c)) {
            std::size_t j = i;
            while (j < s.size() && is_word_char(s[j]))
                ++j;
            t.kind = Tok::Word;
            t.text = s.substr(i, j - i);
            i = j;
        } else {
            switch (c) {
                case '(':
                    t.kind = Tok::LParen;
                    break;
                case ')':
                    t.kind = Tok::RParen;
                    break;
                case ',':
                    t.kind = Tok::Comma;
                    break;
                case ';':
                    t.kind = Tok::Semicolon;
                    break;
                default:
                    syntax_error(s, i);
            }
            t.text = s.substr(i, 1);
            ++i;
        }
        out.push_back(t);
    }
    Token end;
    end.pos = s.size();
    out.push_back(end);
    return out;
}

bool same_word(std::string_view word, std::string_view upper_keyword) {
    if (word.size() != upper_keyword.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper_keyword[i]) return false;
    }
    return true;
}

constexpr std::array<std::string_view, 22> kKeywords = {
    "ADD",     "ALTER",      "ASC",    "COLUMN", "CONSTRAINT", "CREATE", "DESC", "DISALLOW",
    "DROP",    "FOREIGN",    "IGNORE", "INDEX",  "KEY",        "NOT",    "NULL", "ON",
    "PRIMARY", "REFERENCES", "TABLE",  "UNIQUE", "WITH",       "DEFAULT"};

bool is_keyword(std::string_view word) {
    return std::any_of(kKeywords.begin(), kKeywords.end(),
                       [&](std::string_view k) { return same_word(word, k); });
}

// ---------------------------------------------------------------- types

enum class SizeRule { None, Text, Binary, Decimal };

struct TypeWord {
    std::string_view word;
    ColumnType type;
    SizeRule size;
    bool autonumber;
};

constexpr TypeWord kTypeWords[] = {
    {"BIT", ColumnType::Boolean, SizeRule::None, false},
    {"BOOLEAN", ColumnType::Boolean, SizeRule::None, false},
    {"LOGICAL", ColumnType::Boolean, SizeRule::None, false},
    {"LOGICAL1", ColumnType::Boolean, SizeRule::None, false},
    {"YESNO", ColumnType::Boolean, SizeRule::None, false},
    {"BYTE", ColumnType::Byte, SizeRule::None, false},
    {"TINYINT", ColumnType::Byte, SizeRule::None, false},
    {"INTEGER1", ColumnType::Byte, SizeRule::None, false},
    {"SHORT", ColumnType::Int, SizeRule::None, false},
    {"SMALLINT", ColumnType::Int, SizeRule::None, false},
    {"INTEGER2", ColumnType::Int, SizeRule::None, false},
    // INT is the 16-bit integer here: schema rebuilding declares 16-bit
    // source columns as INT and expects the same width back.
    {"INT", ColumnType::Int, SizeRule::None, false},
    {"LONG", ColumnType::Long, SizeRule::None, false},
    {"INTEGER", ColumnType::Long, SizeRule::None, false},
    {"INTEGER4", ColumnType::Long, SizeRule::None, false},
    {"COUNTER", ColumnType::Long, SizeRule::None, true},
    {"AUTOINCREMENT", ColumnType::Long, SizeRule::None, true},
    {"CURRENCY", ColumnType::Currency, SizeRule::None, false},
    {"MONEY", ColumnType::Currency, SizeRule::None, false},
    {"SINGLE", ColumnType::Single, SizeRule::None, false},
    {"REAL", ColumnType::Single, SizeRule::None, false},
    {"FLOAT4", ColumnType::Single, SizeRule::None, false},
    {"IEEESINGLE", ColumnType::Single, SizeRule::None, false},
    {"DOUBLE", ColumnType::Double, SizeRule::None, false},
    {"FLOAT", ColumnType::Double, SizeRule::None, false},
    {"FLOAT8", ColumnType::Double, SizeRule::None, false},
    {"IEEEDOUBLE", ColumnType::Double, SizeRule::None, false},
    {"NUMBER", ColumnType::Double, SizeRule::None, false},
    {"DATETIME", ColumnType::DateTime, SizeRule::None, false},
    {"DATE", ColumnType::DateTime, SizeRule::None, false},
    {"TIME", ColumnType::DateTime, SizeRule::None, false},
    {"TIMESTAMP", ColumnType::DateTime, SizeRule::None, false},
    {"TEXT", ColumnType::Text, SizeRule::Text, false},
    {"CHAR", ColumnType::Text, SizeRule::Text, false},
    {"VARCHAR", ColumnType::Text, SizeRule::Text, false},
    {"CHARACTER", ColumnType::Text, SizeRule::Text, false},
    {"STRING", ColumnType::Text, SizeRule::Text, false},
    {"ALPHANUMERIC", ColumnType::Text, SizeRule::Text, false},
    {"NCHAR", ColumnType::Text, SizeRule::Text, false},
    {"MEMO", ColumnType::Memo, SizeRule::None, false},
    {"LONGTEXT", ColumnType::Memo, SizeRule::None, false},
    {"LONGCHAR", ColumnType::Memo, SizeRule::None, false},
    {"NOTE", ColumnType::Memo, SizeRule::None, false},
    {"NTEXT", ColumnType::Memo, SizeRule::None, false},
    {"BINARY", ColumnType::Binary, SizeRule::Binary, false},
    {"VARBINARY", ColumnType::Binary, SizeRule::Binary, false},
    {"OLEOBJECT", ColumnType::Ole, SizeRule::None, false},
    {"LONGBINARY", ColumnType::Ole, SizeRule::None, false},
    {"GENERAL", ColumnType::Ole, SizeRule::None, false},
    {"IMAGE", ColumnType::Ole, SizeRule::None, false},
    {"GUID", ColumnType::Guid, SizeRule::None, false},
    {"UNIQUEIDENTIFIER", ColumnType::Guid, SizeRule::None, false},
    {"DECIMAL", ColumnType::Numeric, SizeRule::Decimal, false},
    {"NUMERIC", ColumnType::Numeric, SizeRule::Decimal, false},
    {"DEC", ColumnType::Numeric, SizeRule::Decimal, false},
};

std::optional<TypeWord> find_type_word(std::string_view word) {
    for (const auto& t : kTypeWords)
        if (same_word(word, t.word)) return t;
    return std::nullopt;
}

// ---------------------------------------------------------------- parser

class Parser {
  public:
    explicit Parser(std::string_view statement)
        : statement_(statement), tokens_(tokenize(statement)) {}

    DdlStatement parse() {
        DdlStatement result;
        if (accept_keyword("CREATE")) {
            if (accept_keyword("TABLE")) {
                result = create_table();
            } else {
                bool unique = accept_keyword("UNIQUE");
                expect_keyword("INDEX");
                result = create_index(unique);
            }
        } else if (accept_keyword("ALTER")) {
            expect_keyword("TABLE");
            result = alter_table();
        } else {
            fail();
        }
        accept(Tok::Semicolon);
        if (peek().kind != Tok::End) fail();
        return result;
    }

  private:
    const Token& peek() const { return tokens_[index_]; }
    const Token& next() {
        const Token& t = tokens_[index_];
        if (t.kind != Tok::End) ++index_;
        return t;
    }
    [[noreturn]] void fail() const { syntax_error(statement_, peek().pos); }

    bool accept(Tok kind) {
        if (peek().kind != kind) return false;
        next();
        return true;
    }
    void expect(Tok kind) {
        if (!accept(kind)) fail();
    }
    bool at_keyword(std::string_view keyword) const {
        return peek().kind == Tok::Word && same_word(peek().text, keyword);
    }
    bool accept_keyword(std::string_view keyword) {
        if (!at_keyword(keyword)) return false;
        next();
        return true;
    }
    void expect_keyword(std::string_view keyword) {
        if (!accept_keyword(keyword)) fail();
    }

    std::string name() {
        const Token& t = peek();
        if (t.kind == Tok::Bracketed) {
            next();
        } else if (t.kind == Tok::Word && !is_digit(t.text.front()) && !is_keyword(t.text)) {
            next();
        } else {
            fail();
        }
        std::string n(t.text);
        check_object_name(n);
        return n;
    }

    int small_number() {
        const Token& t = peek();
        if (t.kind != Tok::Word || !std::all_of(t.text.begin(), t.text.end(), is_digit)) fail();
        next();
        int value = 0;
        const auto res = std::from_chars(t.text.data(), t.text.data() + t.text.size(), value);
        if (res.ec != std::errc()) return std::numeric_limits<int>::max();
        return value;
    }

    ColumnSpec column_definition() {
        ColumnSpec c;
        c.name = name();
        const Token& type_token = peek();
        if (type_token.kind != Tok::Word) fail();
        next();
        std::optional<TypeWord> t;
        if (same_word(type_token.text, "NATIONAL")) {
            if (!accept_keyword("CHARACTER") && !accept_keyword("CHAR")) fail();
            accept_keyword("VARYING");
            t = find_type_word("TEXT");
        } else {
            t = find_type_word(type_token.text);
            if (!t) throw EngineError("Unknown field type '" + std::string(type_token.text) + "'");
            if (same_word(type_token.text, "CHARACTER")) {
                accept_keyword("VARYING");
            } else if (same_word(type_token.text, "BIT") || same_word(type_token.text, "BINARY")) {
                if (accept_keyword("VARYING")) t = find_type_word("VARBINARY");
            }
        }
        c.type = t->type;
        c.autonumber = t->autonumber;
        switch (t->size) {
            case SizeRule::None:
                c.size =
                    c.type == ColumnType::Boolean ? kBooleanDescriptorLength : fixed_width(c.type);
                break;
            case SizeRule::Text: {
                int chars = kDefaultTextChars;
                if (accept(Tok::LParen)) {
                    chars = small_number();
                    expect(Tok::RParen);
                    if (chars < 1 || chars > kMaxTextChars)
                        throw EngineError("Size of text field '" + c.name +
                                          "' must be between 1 and 255");
                }
                c.size = static_cast<std::uint16_t>(2 * chars);
                break;
            }
            case SizeRule::Binary: {
                int bytes = kDefaultBinaryBytes;
                if (accept(Tok::LParen)) {
                    bytes = small_number();
                    expect(Tok::RParen);
                    if (bytes < 1 || bytes > kMaxBinaryBytes)
                        throw EngineError("Size of binary field '" + c.name +
                                          "' must be between 1 and 255");
                }
                c.size = static_cast<std::uint16_t>(bytes);
                break;
            }
            case SizeRule::Decimal: {
                int precision = kDefaultDecimalPrecision;
                int scale = kDefaultDecimalScale;
                if (accept(Tok::LParen)) {
                    precision = small_number();
                    if (accept(Tok::Comma)) scale = small_number();
                    expect(Tok::RParen);
                }
                if (precision < 1 || precision > kMaxDecimalPrecision || scale > precision)
                    throw EngineError("Precision and scale of decimal field '" + c.name +
                                      "' must satisfy 1 <= precision <= 28 and scale <= precision");
                c.precision = static_cast<std::uint8_t>(precision);
                c.scale = static_cast<std::uint8_t>(scale);
                c.size = fixed_width(c.type);
                break;
            }
        }
        return c;
    }

    CreateTableStmt create_table() {
        CreateTableStmt s;
        s.table = name();
        expect(Tok::LParen);
        std::vector<std::u16string> keys;
        do {
            ColumnSpec c = column_definition();
            std::u16string key = fold_name(c.name);
            if (std::find(keys.begin(), keys.end(), key) != keys.end())
                throw EngineError("Field '" + c.name + "' is defined more than once");
            if (s.columns.size() == kMaxTableColumns)
                throw EngineError("Too many fields defined: at most 255");
            keys.push_back(std::move(key));
            s.columns.push_back(std::move(c));
        } while (accept(Tok::Comma));
        expect(Tok::RParen);
        return s;
    }

    // ( name [ASC|DESC] {, ...} )
    std::vector<IndexColumnRef> index_columns(bool allow_order) {
        std::vector<IndexColumnRef> cols;
        std::vector<std::u16string> keys;
        expect(Tok::LParen);
        do {
            IndexColumnRef ref;
            ref.name = name();
            if (allow_order) {
                if (accept_keyword("DESC"))
                    ref.ascending = false;
                else
                    accept_keyword("ASC");
            }
            std::u16string key = fold_name(ref.name);
            if (std::find(keys.begin(), keys.end(), key) != keys.end())
                throw EngineError("Field '" + ref.name + "' appears more than once in the index");
            if (cols.size() == kMaxIndexColumns)
                throw EngineError("Too many fields in one index: at most 10");
            keys.push_back(std::move(key));
            cols.push_back(std::move(ref));
        } while (accept(Tok::Comma));
        expect(Tok::RParen);
        return cols;
    }

    CreateIndexStmt create_index(bool unique) {
        CreateIndexStmt s;
        s.unique = unique;
        s.name = name();
        expect_keyword("ON");
        s.table = name();
        s.columns = index_columns(true);
        if (accept_keyword("WITH")) {
            bool any = false;
            for (;;) {
                if (accept_keyword("PRIMARY")) {
                    if (s.primary) fail();
                    s.primary = true;
                } else if (accept_keyword("DISALLOW")) {
                    expect_keyword("NULL");
                    if (s.disallow_null) fail();
                    s.disallow_null = true;
                } else if (accept_keyword("IGNORE")) {
                    expect_keyword("NULL");
                    if (s.ignore_null) fail();
                    s.ignore_null = true;
                } else {
                    break;
                }
                any = true;
            }
            if (!any) fail();
            if (s.primary && s.ignore_null)
                throw EngineError("A primary key cannot ignore null values");
        }
        if (s.primary) {
            s.unique = true;
            s.disallow_null = true;
        }
        return s;
    }

    DdlStatement alter_table() {
        const std::string table = name();
        expect_keyword("ADD");
        if (accept_keyword("PRIMARY")) {
            expect_keyword("KEY");
            return primary_key(table, "");
        }
        if (accept_keyword("CONSTRAINT")) {
            std::string constraint = name();
            if (accept_keyword("PRIMARY")) {
                expect_keyword("KEY");
                return primary_key(table, std::move(constraint));
            }
            expect_keyword("UNIQUE");
            CreateIndexStmt s;
            s.table = table;
            s.name = std::move(constraint);
            s.unique = true;
            s.columns = index_columns(false);
            return s;
        }
        accept_keyword("COLUMN");
        AddColumnStmt s;
        s.table = table;
        s.column = column_definition();
        return s;
    }

    CreateIndexStmt primary_key(const std::string& table, std::string constraint) {
        CreateIndexStmt s;
        s.table = table;
        s.name = std::move(constraint);
        s.primary = true;
        s.unique = true;
        s.disallow_null = true;
        s.columns = index_columns(false);
        return s;
    }

    std::string_view statement_;
    std::vector<Token> tokens_;
    std::size_t index_ = 0;
};

}  // namespace

DdlStatement parse_ddl(std::string_view statement) {
    return Parser(statement).parse();
}

void check_object_name(std::string_view name) {
    std::u16string units;
    try {
        units = utf8_to_utf16(name);
    } catch (const EngineError&) {
        throw EngineError("Invalid name: not valid UTF-8 text");
    }
    const std::string quoted = "'" + std::string(name) + "'";
    if (units.empty()) throw EngineError("Invalid name: a name cannot be empty");
    if (units.size() > kMaxObjectNameLength)
        throw EngineError("Invalid name " + quoted + ": longer than 64 characters");
    if (units.front() == u' ') throw EngineError("Invalid name " + quoted + ": leading space");
    for (char16_t u : units) {
        if (u < kFirstPrintable)
            throw EngineError("Invalid name " + quoted + ": control character");
        if (u == u'.' || u == u'!' || u == u'`' || u == u'[' || u == u']')
            throw EngineError("Invalid name " + quoted + ": contains . ! ` [ or ]");
    }
}

std::u16string fold_name(std::string_view name) {
    std::u16string units;
    try {
        units = utf8_to_utf16(name);
    } catch (const EngineError&) {
        units.clear();
        for (char c : name)
            units.push_back(static_cast<unsigned char>(c));
        return units;
    }
    for (char16_t& u : units)
        u = fold_unit(u);
    return units;
}

bool names_equal(std::string_view a, std::string_view b) {
    if (a == b) return true;
    return fold_name(a) == fold_name(b);
}

}  // namespace tessaly::jetdb
