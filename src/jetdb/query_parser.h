// The recursive-descent parser behind parse_query_sql. Internal to the query
// module: it checks a statement the way Jet does before storing it and
// collects the pieces that become MSysQueries rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jetdb/query_lexer.h"
#include "jetdb/query_sql.h"

namespace tessaly::jetdb::query {

// What one SELECT contributes, in statement order.
struct SelectParts {
    std::int16_t options = 0;
    std::optional<std::string> top;   // the n of TOP n
    std::optional<std::string> into;  // SELECT ... INTO target
    bool has_from = false;
    std::vector<QueryRow> tables;
    std::vector<QueryRow> columns;
    std::vector<QueryRow> joins;
    std::optional<std::string> where;
    std::vector<QueryRow> group_by;
    std::optional<std::string> having;
    std::vector<QueryRow> order_by;
    std::size_t order_by_token = 0;          // token index of ORDER, when there is an ORDER BY
    std::vector<std::string> exposed_names;  // table names or aliases, for duplicates
};

class Parser {
  public:
    explicit Parser(std::string_view sql);

    // The rows of the whole statement; throws EngineError when Jet would refuse it.
    std::vector<QueryRow> parse_statement();

  private:
    // Cursor.
    const Token& cur() const { return tokens_[pos_]; }
    const Token& peek(std::size_t ahead) const;
    bool at_keyword(std::string_view keyword) const { return is_keyword(cur(), keyword); }
    bool at_symbol(std::string_view symbol) const;
    bool accept_keyword(std::string_view keyword);
    bool accept_symbol(std::string_view symbol);
    void expect_keyword(std::string_view keyword, std::string_view context);
    void expect_symbol(std::string_view symbol, std::string_view context);
    bool at_end() const { return cur().kind == TokenKind::End; }
    bool at_statement_end() const { return at_end() || at_symbol(";"); }
    std::string slice(std::size_t first_token, std::size_t end_token) const;
    [[noreturn]] void fail(std::string_view what) const;

    // Words that end a name or an expression.
    bool is_reserved(const Token& token) const;
    bool clause_keyword_at(std::size_t i) const;  // FROM, WHERE, GROUP BY, ... at token i
    bool at_clause_keyword() const { return clause_keyword_at(pos_); }
    bool at_join_keyword() const;

    // Expressions (query_expr.cpp). Each checks one expression and leaves the
    // cursor on the first token after it.
    void expression();  // OR, XOR, EQV, IMP
    void and_level();
    void not_level();
    void comparison_level();
    void concat_level();
    void additive_level();
    void multiplicative_level();
    void unary_level();
    void primary();
    void name_chain();
    void subquery_in_parentheses();
    std::string expression_text();

    // Clauses (query_statement.cpp).
    void select(SelectParts& parts);
    void select_chain(SelectParts& parts);  // SELECT ... {UNION [ALL] SELECT ...}
    void select_items(SelectParts& parts, bool allow_star);
    std::optional<std::string> column_alias();
    void sources(SelectParts& parts);
    std::vector<std::string> join_expression(SelectParts& parts);
    std::vector<std::string> source_primary(SelectParts& parts);
    std::vector<std::string> table_reference(SelectParts& parts);
    void add_join_rows(SelectParts& parts, std::size_t first, std::size_t end,
                       const std::vector<std::string>& left, const std::vector<std::string>& right,
                       std::int16_t kind);
    void tail_clauses(SelectParts& parts);
    std::string target_table();
    std::vector<QueryRow> parameters();

    std::vector<QueryRow> select_statement(std::vector<QueryRow> params);
    std::vector<QueryRow> union_statement(std::vector<QueryRow> params);
    std::vector<QueryRow> crosstab_statement(std::vector<QueryRow> params);
    std::vector<QueryRow> insert_statement(std::vector<QueryRow> params);
    std::vector<QueryRow> update_statement(std::vector<QueryRow> params);
    std::vector<QueryRow> delete_statement(std::vector<QueryRow> params);
    void finish_statement();

    // Bounds the recursion of nested parentheses and subqueries, so that a
    // damaged or hostile text cannot exhaust the stack.
    static constexpr int kMaxNesting = 128;
    class NestingGuard {
      public:
        explicit NestingGuard(Parser& parser);
        ~NestingGuard() { --parser_.nesting_; }
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;

      private:
        Parser& parser_;
    };

    std::string_view sql_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int nesting_ = 0;
};

// Emits the rows of a statement in the order Access writes them: start and end
// markers, kind, parameters, options, tables, columns, joins, WHERE, GROUP BY,
// HAVING, ORDER BY.
struct StatementRows {
    std::int16_t kind = 0;
    std::optional<std::string> target;  // Name1 of the kind row
    std::optional<std::string> text;    // Expression of the kind row
    std::vector<QueryRow> parameters;
    std::optional<std::int16_t> options;  // no options row when empty
    std::optional<std::string> top;
    SelectParts parts;
};
std::vector<QueryRow> emit_rows(StatementRows statement);

}  // namespace tessaly::jetdb::query
