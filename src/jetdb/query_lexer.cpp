#include "jetdb/query_lexer.h"

#include <string>

#include "jetdb/engine_error.h"

namespace tessaly::jetdb::query {
namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_word_char(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || is_digit(c) || c == '_' || u >= 0x80;
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// End of a literal that starts at `pos` with `quote` and doubles the quote
// inside; npos when it never closes.
std::size_t quoted_end(std::string_view sql, std::size_t pos, char quote) {
    std::size_t i = pos + 1;
    while (i < sql.size()) {
        if (sql[i] != quote) {
            ++i;
            continue;
        }
        if (i + 1 < sql.size() && sql[i + 1] == quote) {
            i += 2;
            continue;
        }
        return i + 1;
    }
    return std::string_view::npos;
}

std::size_t number_end(std::string_view sql, std::size_t i) {
    while (i < sql.size() && is_digit(sql[i]))
        ++i;
    if (i < sql.size() && sql[i] == '.') {
        ++i;
        while (i < sql.size() && is_digit(sql[i]))
            ++i;
    }
    if (i < sql.size() && (sql[i] == 'e' || sql[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < sql.size() && (sql[j] == '+' || sql[j] == '-')) ++j;
        if (j < sql.size() && is_digit(sql[j])) {
            i = j;
            while (i < sql.size() && is_digit(sql[i]))
                ++i;
        }
    }
    return i;
}

[[noreturn]] void refuse(const std::string& what, std::string_view sql, std::size_t pos) {
    throw EngineError(what + " at position " + std::to_string(pos + 1) + " of " +
                      quoted_excerpt(sql));
}

}  // namespace

std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (is_space(c)) {
            ++i;
            continue;
        }
        Token t;
        t.begin = i;
        std::size_t end = i + 1;
        if (c == '[') {
            t.kind = TokenKind::Bracket;
            end = sql.find(']', i + 1);
            if (end == std::string_view::npos) refuse("Unclosed bracket", sql, i);
            if (sql.substr(i + 1, end - i - 1).find('[') != std::string_view::npos) {
                refuse("Invalid bracketing of name", sql, i);
            }
            ++end;
        } else if (c == ']') {
            refuse("Invalid bracketing of name", sql, i);
        } else if (c == '"' || c == '\'') {
            t.kind = TokenKind::String;
            end = quoted_end(sql, i, c);
            if (end == std::string_view::npos) refuse("Unclosed quote", sql, i);
        } else if (c == '#') {
            t.kind = TokenKind::Date;
            end = sql.find('#', i + 1);
            if (end == std::string_view::npos) refuse("Unclosed date literal", sql, i);
            ++end;
        } else if (is_digit(c) || (c == '.' && i + 1 < sql.size() && is_digit(sql[i + 1]))) {
            t.kind = TokenKind::Number;
            end = number_end(sql, i);
            // A name may begin with digits ("2ndQuarter"): letters right after
            // the digits make the whole run a word.
            if (end < sql.size() && is_word_char(sql[end]) && sql[end] != '.') {
                t.kind = TokenKind::Word;
                while (end < sql.size() && is_word_char(sql[end]))
                    ++end;
            }
        } else if (is_word_char(c)) {
            t.kind = TokenKind::Word;
            while (end < sql.size() && is_word_char(sql[end]))
                ++end;
        } else {
            t.kind = TokenKind::Symbol;
            if (end < sql.size()) {
                const char n = sql[end];
                if ((c == '<' && (n == '=' || n == '>')) || (c == '>' && n == '=')) ++end;
            }
        }
        t.end = end;
        t.text = sql.substr(t.begin, t.end - t.begin);
        tokens.push_back(t);
        i = end;
    }
    int depth = 0;
    for (const Token& t : tokens) {
        if (t.kind != TokenKind::Symbol) continue;
        if (t.text == "(") ++depth;
        if (t.text == ")" && --depth < 0) refuse("Unbalanced parenthesis", sql, t.begin);
    }
    if (depth != 0) refuse("Unclosed parenthesis", sql, sql.size() - 1);
    Token last;
    last.begin = last.end = sql.size();
    tokens.push_back(last);
    return tokens;
}

std::string quoted_excerpt(std::string_view sql) {
    constexpr std::size_t kLongest = 200;
    if (sql.size() <= kLongest) return "'" + std::string(sql) + "'";
    return "'" + std::string(sql.substr(0, kLongest)) + "...'";
}

std::string_view unbracketed(const Token& token) {
    if (token.kind == TokenKind::Bracket && token.text.size() >= 2) {
        return token.text.substr(1, token.text.size() - 2);
    }
    return token.text;
}

bool is_keyword(const Token& token, std::string_view keyword) {
    if (token.kind != TokenKind::Word || token.text.size() != keyword.size()) return false;
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        if (lower(token.text[i]) != lower(keyword[i])) return false;
    }
    return true;
}

}  // namespace tessaly::jetdb::query
