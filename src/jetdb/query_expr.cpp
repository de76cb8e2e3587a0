// Cursor helpers and the expression grammar of the query parser.
//
// Expressions are only checked, not evaluated: the rows keep their text as
// written. Precedence, loosest first: OR/XOR/EQV/IMP, AND, NOT, comparisons
// (= <> < > <= >= LIKE, IS [NOT] NULL, [NOT] IN, [NOT] BETWEEN .. AND ..),
// &, + -, MOD \ * / ^, unary - +, then literals, names, calls and
// parenthesised expressions or subqueries.
#include <array>
#include <string>

#include "jetdb/engine_error.h"
#include "jetdb/query_parser.h"

namespace tessaly::jetdb::query {
namespace {

// Words that cannot stand for a name inside an expression or a FROM clause.
constexpr std::array<std::string_view, 42> kReservedWords{
    "AND",        "OR",     "XOR",     "EQV",    "IMP",      "NOT",         "LIKE",
    "IS",         "IN",     "BETWEEN", "MOD",    "SELECT",   "FROM",        "WHERE",
    "GROUP",      "ORDER",  "HAVING",  "BY",     "AS",       "ON",          "JOIN",
    "INNER",      "LEFT",   "RIGHT",   "OUTER",  "UNION",    "INTO",        "PIVOT",
    "TRANSFORM",  "SET",    "VALUES",  "WITH",   "DISTINCT", "DISTINCTROW", "TOP",
    "PARAMETERS", "EXISTS", "ALL",     "INSERT", "UPDATE",   "DELETE",      "OWNERACCESS",
};

constexpr std::array<std::string_view, 6> kComparisonSymbols{"=", "<>", "<", ">", "<=", ">="};

}  // namespace

Parser::Parser(std::string_view sql) : sql_(sql), tokens_(tokenize(sql)) {}

const Token& Parser::peek(std::size_t ahead) const {
    const std::size_t i = pos_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
}

bool Parser::at_symbol(std::string_view symbol) const {
    return cur().kind == TokenKind::Symbol && cur().text == symbol;
}

bool Parser::accept_keyword(std::string_view keyword) {
    if (!at_keyword(keyword)) return false;
    ++pos_;
    return true;
}

bool Parser::accept_symbol(std::string_view symbol) {
    if (!at_symbol(symbol)) return false;
    ++pos_;
    return true;
}

void Parser::expect_keyword(std::string_view keyword, std::string_view context) {
    if (!accept_keyword(keyword)) {
        fail(std::string("expected ") + std::string(keyword) + " " + std::string(context));
    }
}

void Parser::expect_symbol(std::string_view symbol, std::string_view context) {
    if (!accept_symbol(symbol)) {
        fail(std::string("expected '") + std::string(symbol) + "' " + std::string(context));
    }
}

std::string Parser::slice(std::size_t first_token, std::size_t end_token) const {
    if (end_token <= first_token) return {};
    const std::size_t begin = tokens_[first_token].begin;
    const std::size_t end = tokens_[end_token - 1].end;
    return std::string(sql_.substr(begin, end - begin));
}

void Parser::fail(std::string_view what) const {
    std::string near = at_end() ? std::string("the end") : "'" + std::string(cur().text) + "'";
    throw EngineError("Syntax error: " + std::string(what) + " near " + near + " in " +
                      quoted_excerpt(sql_));
}

Parser::NestingGuard::NestingGuard(Parser& parser) : parser_(parser) {
    if (++parser_.nesting_ > kMaxNesting) {
        throw EngineError("Query is too complex: more than " + std::to_string(kMaxNesting) +
                          " nested parentheses or subqueries");
    }
}

bool Parser::is_reserved(const Token& token) const {
    if (token.kind != TokenKind::Word) return false;
    for (std::string_view word : kReservedWords) {
        if (is_keyword(token, word)) return true;
    }
    return false;
}

bool Parser::clause_keyword_at(std::size_t i) const {
    const Token& t = tokens_[i];
    if (is_keyword(t, "FROM") || is_keyword(t, "INTO") || is_keyword(t, "WHERE") ||
        is_keyword(t, "HAVING") || is_keyword(t, "UNION") || is_keyword(t, "PIVOT")) {
        return true;
    }
    if (t.kind == TokenKind::End) return false;
    const Token& next = tokens_[i + 1];
    if ((is_keyword(t, "GROUP") || is_keyword(t, "ORDER")) && is_keyword(next, "BY")) return true;
    return is_keyword(t, "WITH") && is_keyword(next, "OWNERACCESS");
}

bool Parser::at_join_keyword() const {
    return at_keyword("INNER") || at_keyword("LEFT") || at_keyword("RIGHT") || at_keyword("JOIN");
}

std::string Parser::expression_text() {
    const std::size_t first = pos_;
    expression();
    return slice(first, pos_);
}

void Parser::expression() {
    const NestingGuard guard(*this);
    and_level();
    while (accept_keyword("OR") || accept_keyword("XOR") || accept_keyword("EQV") ||
           accept_keyword("IMP")) {
        and_level();
    }
}

void Parser::and_level() {
    not_level();
    while (accept_keyword("AND"))
        not_level();
}

void Parser::not_level() {
    while (accept_keyword("NOT")) {
    }
    comparison_level();
}

void Parser::comparison_level() {
    concat_level();
    for (;;) {
        bool matched = false;
        for (std::string_view op : kComparisonSymbols) {
            if (accept_symbol(op)) {
                matched = true;
                break;
            }
        }
        if (matched) {
            concat_level();
            continue;
        }
        if (accept_keyword("IS")) {
            accept_keyword("NOT");
            expect_keyword("NULL", "after IS");
            continue;
        }
        const bool negated =
            at_keyword("NOT") && (is_keyword(peek(1), "LIKE") || is_keyword(peek(1), "IN") ||
                                  is_keyword(peek(1), "BETWEEN"));
        if (negated) ++pos_;
        if (accept_keyword("LIKE")) {
            concat_level();
        } else if (accept_keyword("IN")) {
            if (!at_symbol("(")) fail("expected a list after IN");
            if (is_keyword(peek(1), "SELECT")) {
                subquery_in_parentheses();
            } else {
                ++pos_;
                expression();
                while (accept_symbol(","))
                    expression();
                expect_symbol(")", "to close the IN list");
            }
        } else if (accept_keyword("BETWEEN")) {
            concat_level();
            expect_keyword("AND", "in BETWEEN");
            concat_level();
        } else {
            return;
        }
    }
}

void Parser::concat_level() {
    additive_level();
    while (accept_symbol("&"))
        additive_level();
}

void Parser::additive_level() {
    multiplicative_level();
    while (accept_symbol("+") || accept_symbol("-"))
        multiplicative_level();
}

void Parser::multiplicative_level() {
    unary_level();
    while (accept_symbol("*") || accept_symbol("/") || accept_symbol("\\") || accept_symbol("^") ||
           accept_keyword("MOD")) {
        unary_level();
    }
}

void Parser::unary_level() {
    while (accept_symbol("-") || accept_symbol("+")) {
    }
    primary();
}

void Parser::subquery_in_parentheses() {
    expect_symbol("(", "before a subquery");
    SelectParts ignored;
    select_chain(ignored);
    expect_symbol(")", "to close the subquery");
}

void Parser::primary() {
    const Token& t = cur();
    switch (t.kind) {
        case TokenKind::Number:
        case TokenKind::String:
        case TokenKind::Date:
            ++pos_;
            return;
        case TokenKind::Bracket:
            name_chain();
            return;
        case TokenKind::Word:
            if (is_keyword(t, "EXISTS")) {
                ++pos_;
                subquery_in_parentheses();
                return;
            }
            if (peek(1).kind == TokenKind::Symbol && peek(1).text == "(" &&
                (!is_reserved(t) || is_keyword(t, "LEFT") || is_keyword(t, "RIGHT"))) {
                pos_ += 2;  // function call
                if (accept_symbol(")")) return;
                if (accept_symbol("*")) {  // Count(*)
                    expect_symbol(")", "after '*'");
                    return;
                }
                accept_keyword("DISTINCT");
                expression();
                while (accept_symbol(","))
                    expression();
                expect_symbol(")", "to close the argument list");
                return;
            }
            if (is_reserved(t)) fail("missing operand");
            name_chain();
            return;
        case TokenKind::Symbol:
            if (t.text == "(") {
                if (is_keyword(peek(1), "SELECT")) {
                    subquery_in_parentheses();
                    return;
                }
                ++pos_;
                expression();
                while (accept_symbol(","))
                    expression();
                expect_symbol(")", "to close the parenthesis");
                return;
            }
            fail("missing operand");
        case TokenKind::End:
            fail("missing operand");
    }
}

// name {(. | !) name} with '*' allowed as the last part (Table.*).
void Parser::name_chain() {
    ++pos_;
    while (at_symbol(".") || at_symbol("!")) {
        ++pos_;
        if (accept_symbol("*")) return;
        if (cur().kind == TokenKind::Bracket || cur().kind == TokenKind::Word) {
            ++pos_;
            continue;
        }
        fail("expected a name after '.' or '!'");
    }
}

}  // namespace tessaly::jetdb::query
