// Splitting a saved query's SQL text into tokens. Internal to the query parser.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::jetdb::query {

enum class TokenKind {
    Word,     // identifier or keyword: letters, digits, '_' and any non-ASCII byte
    Bracket,  // [name]
    String,   // "text" or 'text', the quote doubled inside
    Date,     // #date#
    Number,   // 12, 1.5, .5, 1E3
    Symbol,   // one operator or punctuation character, or <=, >=, <>
    End,      // after the last token
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::size_t begin = 0;  // byte offsets into the SQL text
    std::size_t end = 0;
    std::string_view text;  // the token as written, delimiters included
};

// Tokens of `sql`, the End token last. Whitespace separates tokens and is not
// kept. Throws EngineError for an unclosed bracket, quote or date literal, a
// stray ']', and parentheses that do not pair up.
std::vector<Token> tokenize(std::string_view sql);

// The text inside a Bracket token (without the brackets); other tokens as written.
std::string_view unbracketed(const Token& token);

// The SQL text quoted for an error message, shortened when long.
std::string quoted_excerpt(std::string_view sql);

// Case-insensitive ASCII comparison of a Word token with a keyword.
bool is_keyword(const Token& token, std::string_view keyword);

}  // namespace tessaly::jetdb::query
