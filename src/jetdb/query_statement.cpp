// Clauses and statements of the query parser: SELECT and its clauses, the
// FROM clause with its joins, PARAMETERS, and the statement kinds.
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <string>
#include <utility>

#include "jetdb/engine_error.h"
#include "jetdb/query_parser.h"
#include "jetdb/query_rows.h"

namespace tessaly::jetdb::query {
namespace {

// SQL type names of a PARAMETERS declaration and the column type code stored
// in the parameter row's Flag.
struct TypeName {
    std::string_view name;
    std::int16_t code;
};
constexpr std::int16_t kTypeText = 10;
constexpr std::array<TypeName, 49> kParameterTypes{{
    {"Value", 0},       {"Bit", 1},           {"Boolean", 1},   {"YesNo", 1},
    {"Logical", 1},     {"Logical1", 1},      {"Byte", 2},      {"Integer1", 2},
    {"TinyInt", 2},     {"Short", 3},         {"SmallInt", 3},  {"Integer2", 3},
    {"Long", 4},        {"Int", 4},           {"Integer", 4},   {"Integer4", 4},
    {"Counter", 4},     {"AutoIncrement", 4}, {"Currency", 5},  {"Money", 5},
    {"IEEESingle", 6},  {"Single", 6},        {"Real", 6},      {"Float4", 6},
    {"IEEEDouble", 7},  {"Double", 7},        {"Float", 7},     {"Float8", 7},
    {"Number", 7},      {"DateTime", 8},      {"Date", 8},      {"Time", 8},
    {"TimeStamp", 8},   {"Binary", 9},        {"VarBinary", 9}, {"Text", 10},
    {"Char", 10},       {"VarChar", 10},      {"String", 10},   {"Alphanumeric", 10},
    {"LongBinary", 11}, {"OLEObject", 11},    {"General", 11},  {"Memo", 12},
    {"LongText", 12},   {"LongChar", 12},     {"Guid", 15},     {"Decimal", 16},
    {"Numeric", 16},
}};

std::string strip_brackets(std::string text) {
    std::erase(text, '[');
    std::erase(text, ']');
    return text;
}

std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

QueryRow row(std::uint8_t attribute) {
    QueryRow r;
    r.attribute = attribute;
    return r;
}

}  // namespace

// ---- SELECT ---------------------------------------------------------------

void Parser::select(SelectParts& parts) {
    expect_keyword("SELECT", "at the start of the query");
    if (accept_keyword("DISTINCT")) {
        parts.options |= kOptionDistinct;
    } else if (accept_keyword("DISTINCTROW")) {
        parts.options |= kOptionDistinctRow;
    } else {
        accept_keyword("ALL");
    }
    if (accept_keyword("TOP")) {
        if (cur().kind != TokenKind::Number) fail("expected a number after TOP");
        parts.top = std::string(cur().text);
        ++pos_;
        parts.options |= kOptionTop;
        if (accept_keyword("PERCENT")) parts.options |= kOptionPercent;
    }
    select_items(parts, true);
    if (accept_keyword("INTO")) parts.into = target_table();
    if (accept_keyword("FROM")) {
        parts.has_from = true;
        sources(parts);
    }
    if ((parts.options & kOptionStar) != 0 && !parts.has_from) {
        throw EngineError("Query input must contain at least one table or query: " +
                          quoted_excerpt(sql_));
    }
    tail_clauses(parts);
}

void Parser::select_chain(SelectParts& parts) {
    select(parts);
    while (accept_keyword("UNION")) {
        accept_keyword("ALL");
        SelectParts other;
        select(other);
    }
}

void Parser::select_items(SelectParts& parts, bool allow_star) {
    do {
        if (at_symbol("*")) {
            if (!allow_star) fail("'*' is not allowed here");
            ++pos_;
            parts.options |= kOptionStar;
            continue;
        }
        QueryRow column = row(kAttrColumn);
        column.expression = expression_text();
        column.flag = 0;
        column.name1 = column_alias();
        parts.columns.push_back(std::move(column));
    } while (accept_symbol(","));
}

// An alias after AS. Access writes some aliases unbracketed although they
// hold blanks or operators ("AS Sum-Amount", "AS Total amount"): without
// brackets the alias runs to the next top-level ',' or clause keyword.
std::optional<std::string> Parser::column_alias() {
    if (!accept_keyword("AS")) return std::nullopt;
    auto ends_alias = [this](std::size_t i) {
        const Token& t = tokens_[i];
        if (t.kind == TokenKind::End) return true;
        if (t.kind == TokenKind::Symbol) return t.text == "," || t.text == ";" || t.text == ")";
        return clause_keyword_at(i) || is_keyword(t, "SELECT");
    };
    const Token& t = cur();
    const bool single_name =
        t.kind == TokenKind::Bracket || (t.kind == TokenKind::Word && !is_reserved(t));
    if (single_name && ends_alias(pos_ + 1)) {
        ++pos_;
        return std::string(unbracketed(t));
    }
    const std::size_t first = pos_;
    int depth = 0;
    while (!at_end() && (depth > 0 || !ends_alias(pos_))) {
        if (at_symbol("(")) ++depth;
        if (at_symbol(")")) --depth;
        ++pos_;
    }
    if (pos_ == first) fail("expected a name after AS");
    return strip_brackets(slice(first, pos_));
}

void Parser::tail_clauses(SelectParts& parts) {
    if (accept_keyword("WHERE")) parts.where = expression_text();
    if (at_keyword("GROUP") && is_keyword(peek(1), "BY")) {
        pos_ += 2;
        do {
            QueryRow group = row(kAttrGroupBy);
            group.expression = expression_text();
            group.flag = 0;
            parts.group_by.push_back(std::move(group));
        } while (accept_symbol(","));
    }
    if (accept_keyword("HAVING")) parts.having = expression_text();
    if (at_keyword("ORDER") && is_keyword(peek(1), "BY")) {
        parts.order_by_token = pos_;
        pos_ += 2;
        do {
            QueryRow order = row(kAttrOrderBy);
            order.expression = expression_text();
            if (accept_keyword("DESC")) {
                order.name1 = std::string(kDescending);
            } else {
                accept_keyword("ASC");
            }
            parts.order_by.push_back(std::move(order));
        } while (accept_symbol(","));
    }
    if (accept_keyword("WITH")) {
        expect_keyword("OWNERACCESS", "after WITH");
        expect_keyword("OPTION", "after OWNERACCESS");
        parts.options |= kOptionOwnerAccess;
    }
}

// ---- FROM -----------------------------------------------------------------

void Parser::sources(SelectParts& parts) {
    do {
        join_expression(parts);
    } while (accept_symbol(","));
}

// source [INNER|LEFT|RIGHT [OUTER] JOIN source ON condition]. Like Jet, a
// second join at the same level needs parentheses around the first.
std::vector<std::string> Parser::join_expression(SelectParts& parts) {
    std::vector<std::string> left = source_primary(parts);
    if (!at_join_keyword()) return left;
    std::int16_t kind = kJoinInner;
    if (accept_keyword("LEFT")) {
        kind = kJoinLeft;
        accept_keyword("OUTER");
    } else if (accept_keyword("RIGHT")) {
        kind = kJoinRight;
        accept_keyword("OUTER");
    } else if (!accept_keyword("INNER")) {
        fail("a join needs INNER, LEFT or RIGHT");
    }
    expect_keyword("JOIN", "in the FROM clause");
    std::vector<std::string> right = source_primary(parts);
    expect_keyword("ON", "after the joined table");
    const std::size_t first = pos_;
    expression();
    add_join_rows(parts, first, pos_, left, right, kind);
    if (at_join_keyword()) fail("missing operator: join the first tables in parentheses");
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

std::vector<std::string> Parser::source_primary(SelectParts& parts) {
    const NestingGuard guard(*this);
    if (!at_symbol("(")) return table_reference(parts);
    if (!is_keyword(peek(1), "SELECT")) {
        ++pos_;
        std::vector<std::string> names = join_expression(parts);
        expect_symbol(")", "to close the join");
        return names;
    }
    // A subquery used as a table: (SELECT ...) [AS] alias.
    ++pos_;
    const std::size_t first = pos_;
    SelectParts ignored;
    select_chain(ignored);
    const std::size_t end = pos_;
    expect_symbol(")", "to close the subquery");
    accept_keyword("AS");
    if (cur().kind != TokenKind::Bracket && (cur().kind != TokenKind::Word || is_reserved(cur()))) {
        fail("a subquery in FROM needs an alias");
    }
    QueryRow table = row(kAttrTable);
    table.expression = slice(first, end);
    table.name2 = std::string(unbracketed(cur()));
    ++pos_;
    const std::string exposed = *table.name2;
    parts.tables.push_back(std::move(table));
    parts.exposed_names.push_back(exposed);
    return {exposed};
}

// table [[AS] alias]. Access writes the table of an aliased input unbracketed
// ("FROM Order Details AS [x]"): before AS every word belongs to the name, and
// so do three or more words in a row, or two beginning with ORDER or GROUP;
// other pairs of words are a table and its alias.
std::vector<std::string> Parser::table_reference(SelectParts& parts) {
    const std::size_t first = pos_;
    // ORDER and GROUP begin a name unless BY follows ("Order Details").
    auto name_word = [this, first]() {
        if (cur().kind == TokenKind::Bracket) return true;
        if (cur().kind != TokenKind::Word) return false;
        if (pos_ == first && (at_keyword("ORDER") || at_keyword("GROUP")) &&
            !is_keyword(peek(1), "BY")) {
            return true;
        }
        return !is_reserved(cur());
    };
    while (name_word())
        ++pos_;
    const std::size_t count = pos_ - first;
    if (count == 0) fail("expected a table or query name");
    auto name_of = [this](std::size_t from, std::size_t to) {
        return to - from == 1 ? std::string(unbracketed(tokens_[from]))
                              : strip_brackets(slice(from, to));
    };
    QueryRow table = row(kAttrTable);
    if (accept_keyword("AS")) {
        table.name1 = name_of(first, first + count);
        if (cur().kind != TokenKind::Bracket &&
            (cur().kind != TokenKind::Word || is_reserved(cur()))) {
            fail("expected an alias after AS");
        }
        table.name2 = std::string(unbracketed(cur()));
        ++pos_;
    } else if (count == 2 && !is_reserved(tokens_[first])) {
        table.name1 = std::string(unbracketed(tokens_[first]));
        table.name2 = std::string(unbracketed(tokens_[first + 1]));
    } else {
        table.name1 = name_of(first, pos_);
    }
    const std::string exposed = table.name2 ? *table.name2 : *table.name1;
    const std::string key = lower_ascii(exposed);
    for (const std::string& seen : parts.exposed_names) {
        if (lower_ascii(seen) == key) {
            throw EngineError("Can't repeat table name '" + exposed +
                              "' in FROM clause: " + quoted_excerpt(sql_));
        }
    }
    parts.exposed_names.push_back(exposed);
    parts.tables.push_back(std::move(table));
    return {exposed};
}

// One join row per top-level AND term of the ON condition (a single term keeps
// its text whole; several lose one pair of enclosing parentheses each). Name1
// and Name2 are the first table of each side the term refers to, else the
// first table of that side.
void Parser::add_join_rows(SelectParts& parts, std::size_t first, std::size_t end,
                           const std::vector<std::string>& left,
                           const std::vector<std::string>& right, std::int16_t kind) {
    std::vector<std::pair<std::size_t, std::size_t>> terms;
    std::size_t start = first;
    int depth = 0;
    int open_betweens = 0;
    for (std::size_t i = first; i < end; ++i) {
        const Token& t = tokens_[i];
        if (t.kind == TokenKind::Symbol && t.text == "(") ++depth;
        if (t.kind == TokenKind::Symbol && t.text == ")") --depth;
        if (depth != 0) continue;
        if (is_keyword(t, "BETWEEN")) {
            ++open_betweens;
        } else if (is_keyword(t, "AND")) {
            if (open_betweens > 0) {
                --open_betweens;
            } else {
                terms.emplace_back(start, i);
                start = i + 1;
            }
        }
    }
    terms.emplace_back(start, end);

    auto enclosed = [this](std::size_t a, std::size_t b) {
        if (b - a < 2 || tokens_[a].text != "(" || tokens_[b - 1].text != ")") return false;
        int d = 0;
        for (std::size_t i = a; i < b; ++i) {
            if (tokens_[i].kind != TokenKind::Symbol) continue;
            if (tokens_[i].text == "(") ++d;
            if (tokens_[i].text == ")" && --d == 0 && i != b - 1) return false;
        }
        return true;
    };
    auto side_name = [this](std::size_t a, std::size_t b, const std::vector<std::string>& side) {
        for (std::size_t i = a; i + 1 < b; ++i) {
            const Token& t = tokens_[i];
            const Token& next = tokens_[i + 1];
            const bool name = t.kind == TokenKind::Word || t.kind == TokenKind::Bracket;
            const bool qualifies =
                next.kind == TokenKind::Symbol && (next.text == "." || next.text == "!");
            const bool chained = i > a && tokens_[i - 1].kind == TokenKind::Symbol &&
                                 (tokens_[i - 1].text == "." || tokens_[i - 1].text == "!");
            if (!name || !qualifies || chained) continue;
            const std::string key = lower_ascii(unbracketed(t));
            for (const std::string& candidate : side) {
                if (lower_ascii(candidate) == key) return candidate;
            }
        }
        return side.front();
    };

    for (auto [a, b] : terms) {
        if (terms.size() > 1 && enclosed(a, b)) {
            ++a;
            --b;
        }
        if (a >= b) fail("empty join condition");
        QueryRow join = row(kAttrJoin);
        join.expression = slice(a, b);
        join.flag = kind;
        join.name1 = side_name(a, b, left);
        join.name2 = side_name(a, b, right);
        parts.joins.push_back(std::move(join));
    }
}

std::string Parser::target_table() {
    if (cur().kind != TokenKind::Bracket && (cur().kind != TokenKind::Word || is_reserved(cur()))) {
        fail("expected a table name");
    }
    std::string name(unbracketed(cur()));
    ++pos_;
    return name;
}

// ---- PARAMETERS -------------------------------------------------------------

// PARAMETERS name type [, name type] ; where type may carry a size, Text(50).
// Access writes some names unbracketed though they hold blanks or '!'
// ("Forms!Sales Dialog!From"): a name is everything before the type word.
std::vector<QueryRow> Parser::parameters() {
    std::vector<QueryRow> rows;
    if (!accept_keyword("PARAMETERS")) return rows;
    do {
        const std::size_t first = pos_;
        int depth = 0;
        while (!at_end() && !(depth == 0 && (at_symbol(",") || at_symbol(";")))) {
            if (at_symbol("(")) ++depth;
            if (at_symbol(")")) --depth;
            ++pos_;
        }
        const std::size_t end = pos_;
        std::size_t type_at = end - 1;
        std::optional<std::int32_t> size;
        if (end > first && tokens_[end - 1].text == ")") {
            std::size_t open = end - 1;
            while (open > first && tokens_[open].text != "(")
                --open;
            if (open == first || tokens_[open].text != "(") fail("bad parameter type");
            if (open + 2 == end - 1 && tokens_[open + 1].kind == TokenKind::Number) {
                const std::string_view digits = tokens_[open + 1].text;
                std::int32_t n = 0;
                const auto [ptr, ec] =
                    std::from_chars(digits.data(), digits.data() + digits.size(), n);
                if (ec == std::errc{} && ptr == digits.data() + digits.size()) size = n;
            }
            type_at = open - 1;
        }
        if (end == first || type_at <= first || tokens_[type_at].kind != TokenKind::Word) {
            fail("expected a name and a type in the PARAMETERS clause");
        }
        const TypeName* type = nullptr;
        for (const TypeName& candidate : kParameterTypes) {
            if (is_keyword(tokens_[type_at], candidate.name)) type = &candidate;
        }
        if (type == nullptr) fail("unknown parameter type");
        QueryRow parameter = row(kAttrParameter);
        parameter.name1 = strip_brackets(slice(first, type_at));
        parameter.flag = type->code;
        if (type->code == kTypeText && size && *size > 0) parameter.lv_extra = size;
        rows.push_back(std::move(parameter));
    } while (accept_symbol(","));
    expect_symbol(";", "after the PARAMETERS clause");
    return rows;
}

// ---- Statements ---------------------------------------------------------

void Parser::finish_statement() {
    accept_symbol(";");
    if (!at_end()) fail("characters found after the end of the statement");
}

std::vector<QueryRow> Parser::parse_statement() {
    if (at_end()) throw EngineError("Invalid SQL statement: the text is empty");
    if (at_keyword("CREATE") || at_keyword("ALTER") || at_keyword("DROP")) {
        StatementRows s;
        s.kind = kKindDataDefinition;
        const std::size_t first = pos_;
        while (!at_end())
            ++pos_;
        s.text = slice(first, pos_);
        return emit_rows(std::move(s));
    }
    std::vector<QueryRow> params = parameters();
    if (at_keyword("SELECT")) {
        int depth = 0;
        for (std::size_t i = pos_; tokens_[i].kind != TokenKind::End; ++i) {
            if (tokens_[i].text == "(") ++depth;
            if (tokens_[i].text == ")") --depth;
            if (depth == 0 && is_keyword(tokens_[i], "UNION")) {
                return union_statement(std::move(params));
            }
        }
        return select_statement(std::move(params));
    }
    if (at_keyword("TRANSFORM")) return crosstab_statement(std::move(params));
    if (at_keyword("INSERT")) return insert_statement(std::move(params));
    if (at_keyword("UPDATE")) return update_statement(std::move(params));
    if (at_keyword("DELETE")) return delete_statement(std::move(params));
    fail("expected SELECT, TRANSFORM, INSERT, UPDATE or DELETE");
}

std::vector<QueryRow> Parser::select_statement(std::vector<QueryRow> params) {
    StatementRows s;
    select(s.parts);
    finish_statement();
    s.kind = s.parts.into ? kKindMakeTable : kKindSelect;
    s.target = s.parts.into;
    s.parameters = std::move(params);
    s.options = s.parts.options;
    s.top = s.parts.top;
    return emit_rows(std::move(s));
}

// part1 UNION [ALL] part2 [ORDER BY ...]: the text before the last UNION
// (trailing blanks and line breaks kept) and the text after it (up to ORDER BY
// or the end) become the two input rows; ORDER BY applies to the whole.
std::vector<QueryRow> Parser::union_statement(std::vector<QueryRow> params) {
    const std::size_t start = pos_;
    SelectParts first;
    select(first);
    std::size_t last_union = pos_;
    std::size_t second_start = pos_;
    bool all = false;
    SelectParts last;
    while (at_keyword("UNION")) {
        last_union = pos_;
        ++pos_;
        all = accept_keyword("ALL");
        second_start = pos_;
        last = SelectParts{};
        select(last);
    }
    const std::size_t second_end = last.order_by.empty() ? pos_ : last.order_by_token;
    finish_statement();

    StatementRows s;
    s.kind = kKindUnion;
    s.parameters = std::move(params);
    s.options = static_cast<std::int16_t>(kUnionBase | (all ? 0 : kUnionDistinct));
    const std::size_t begin1 = tokens_[start].begin;
    QueryRow part1 = row(kAttrTable);
    part1.expression = std::string(sql_.substr(begin1, tokens_[last_union].begin - begin1));
    part1.name2 = std::string(kUnionPart1);
    QueryRow part2 = row(kAttrTable);
    part2.expression = slice(second_start, second_end);
    part2.name2 = std::string(kUnionPart2);
    s.parts.tables = {std::move(part1), std::move(part2)};
    s.parts.order_by = std::move(last.order_by);
    return emit_rows(std::move(s));
}

// TRANSFORM value [AS alias] SELECT ... PIVOT heading [IN (list)].
std::vector<QueryRow> Parser::crosstab_statement(std::vector<QueryRow> params) {
    expect_keyword("TRANSFORM", "");
    QueryRow value = row(kAttrColumn);
    value.expression = expression_text();
    value.flag = kCrosstabValue;
    value.name1 = column_alias();
    StatementRows s;
    SelectParts& parts = s.parts;
    select(parts);
    expect_keyword("PIVOT", "at the end of a TRANSFORM query");
    const std::size_t pivot_first = pos_;
    concat_level();
    const std::string heading = slice(pivot_first, pos_);
    if (accept_keyword("IN")) {
        expect_symbol("(", "after IN");
        expression();
        while (accept_symbol(","))
            expression();
        expect_symbol(")", "to close the IN list");
    }
    QueryRow pivot_column = row(kAttrColumn);
    pivot_column.expression = slice(pivot_first, pos_);
    pivot_column.flag = kCrosstabColumnHeading;
    finish_statement();

    for (QueryRow& c : parts.columns)
        c.flag = kCrosstabRowHeading;
    for (QueryRow& g : parts.group_by)
        g.flag = kCrosstabRowHeading;
    parts.columns.insert(parts.columns.begin(), std::move(value));
    parts.columns.push_back(std::move(pivot_column));
    QueryRow pivot_group = row(kAttrGroupBy);
    pivot_group.expression = heading;
    pivot_group.flag = kCrosstabColumnHeading;
    parts.group_by.push_back(std::move(pivot_group));

    s.kind = kKindCrosstab;
    s.parameters = std::move(params);
    s.options = parts.options;
    s.top = parts.top;
    return emit_rows(std::move(s));
}

// INSERT INTO target [(columns)] SELECT ... | VALUES (...). Like Access, an
// append query without options has no options row.
std::vector<QueryRow> Parser::insert_statement(std::vector<QueryRow> params) {
    expect_keyword("INSERT", "");
    expect_keyword("INTO", "after INSERT");
    StatementRows s;
    s.kind = kKindAppend;
    s.target = target_table();
    s.parameters = std::move(params);
    std::vector<std::string> targets;
    if (accept_symbol("(")) {
        do {
            const std::size_t first = pos_;
            if (cur().kind != TokenKind::Bracket && cur().kind != TokenKind::Word) {
                fail("expected a column name");
            }
            name_chain();
            targets.push_back(slice(first, pos_));
        } while (accept_symbol(","));
        expect_symbol(")", "to close the column list");
    }
    SelectParts& parts = s.parts;
    if (accept_keyword("VALUES")) {
        expect_symbol("(", "after VALUES");
        do {
            QueryRow value = row(kAttrColumn);
            value.expression = expression_text();
            value.flag = kAppendValue;
            parts.columns.push_back(std::move(value));
        } while (accept_symbol(","));
        expect_symbol(")", "to close the VALUES list");
    } else {
        select(parts);
        if (!targets.empty() && (parts.options & kOptionStar) != 0) {
            fail("a column list needs the values named");
        }
    }
    finish_statement();
    if (!targets.empty()) {
        if (targets.size() != parts.columns.size()) {
            throw EngineError("Number of query values and destination fields are not the same: " +
                              quoted_excerpt(sql_));
        }
        for (std::size_t i = 0; i < targets.size(); ++i)
            parts.columns[i].name2 = targets[i];
    }
    if (parts.options != 0) s.options = parts.options;
    s.top = parts.top;
    return emit_rows(std::move(s));
}

// UPDATE sources SET target = value [, ...] [WHERE condition].
std::vector<QueryRow> Parser::update_statement(std::vector<QueryRow> params) {
    expect_keyword("UPDATE", "");
    StatementRows s;
    SelectParts& parts = s.parts;
    parts.has_from = true;
    sources(parts);
    expect_keyword("SET", "in UPDATE");
    do {
        const std::size_t first = pos_;
        if (cur().kind != TokenKind::Bracket && cur().kind != TokenKind::Word) {
            fail("expected the column to set");
        }
        name_chain();
        const std::string target = slice(first, pos_);
        expect_symbol("=", "after the column to set");
        QueryRow value = row(kAttrColumn);
        value.expression = expression_text();
        value.flag = 0;
        value.name2 = target;
        parts.columns.push_back(std::move(value));
    } while (accept_symbol(","));
    if (accept_keyword("WHERE")) parts.where = expression_text();
    finish_statement();
    s.kind = kKindUpdate;
    s.parameters = std::move(params);
    s.options = parts.options;
    return emit_rows(std::move(s));
}

// DELETE [* | columns] FROM sources [WHERE condition].
std::vector<QueryRow> Parser::delete_statement(std::vector<QueryRow> params) {
    expect_keyword("DELETE", "");
    StatementRows s;
    SelectParts& parts = s.parts;
    if (!at_keyword("FROM")) select_items(parts, true);
    expect_keyword("FROM", "in DELETE");
    parts.has_from = true;
    sources(parts);
    if (accept_keyword("WHERE")) parts.where = expression_text();
    finish_statement();
    s.kind = kKindDelete;
    s.parameters = std::move(params);
    s.options = parts.options;
    return emit_rows(std::move(s));
}

// ---- Rows ---------------------------------------------------------------

std::vector<QueryRow> emit_rows(StatementRows s) {
    std::vector<QueryRow> rows;
    QueryRow start = row(kAttrStart);
    start.flag = 0;
    rows.push_back(std::move(start));
    rows.push_back(row(kAttrEnd));
    QueryRow kind = row(kAttrKind);
    kind.flag = s.kind;
    kind.name1 = s.target;
    kind.expression = s.text;
    rows.push_back(std::move(kind));
    for (QueryRow& p : s.parameters)
        rows.push_back(std::move(p));
    if (s.options) {
        QueryRow options = row(kAttrOptions);
        options.flag = *s.options;
        if ((*s.options & kOptionTop) != 0) options.name1 = s.top;
        rows.push_back(std::move(options));
    }
    SelectParts& p = s.parts;
    for (QueryRow& r : p.tables)
        rows.push_back(std::move(r));
    for (QueryRow& r : p.columns)
        rows.push_back(std::move(r));
    for (QueryRow& r : p.joins)
        rows.push_back(std::move(r));
    if (p.where) {
        QueryRow where = row(kAttrWhere);
        where.expression = p.where;
        rows.push_back(std::move(where));
    }
    for (QueryRow& r : p.group_by)
        rows.push_back(std::move(r));
    if (p.having) {
        QueryRow having = row(kAttrHaving);
        having.expression = p.having;
        rows.push_back(std::move(having));
    }
    for (QueryRow& r : p.order_by)
        rows.push_back(std::move(r));
    return rows;
}

}  // namespace tessaly::jetdb::query
