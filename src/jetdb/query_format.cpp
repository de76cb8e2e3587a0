#include "jetdb/query_format.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "jetdb/query_rows.h"

namespace tessaly::jetdb {
namespace {

namespace q = query;

constexpr std::int16_t kKindPassThrough = 8;

// Words a bare name may not be (they would read as SQL).
constexpr std::string_view kSqlWords[] = {
    "AND",      "OR",          "NOT",       "SELECT",     "FROM",   "WHERE", "GROUP", "ORDER",
    "HAVING",   "BY",          "AS",        "ON",         "JOIN",   "INNER", "LEFT",  "RIGHT",
    "UNION",    "INTO",        "PIVOT",     "SET",        "VALUES", "IN",    "IS",    "LIKE",
    "TOP",      "WITH",        "ALL",       "MOD",        "XOR",    "EQV",   "IMP",   "BETWEEN",
    "DISTINCT", "DISTINCTROW", "TRANSFORM", "PARAMETERS", "OUTER",
};

std::string upper_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A name as SQL needs it: bracketed unless it is a plain word.
std::string quoted(std::string_view name) {
    bool plain = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (!(std::isalnum(u) || c == '_' || u >= 0x80)) plain = false;
    }
    const std::string upper = upper_ascii(name);
    for (std::string_view word : kSqlWords) {
        if (upper == word) plain = false;
    }
    return plain ? std::string(name) : "[" + std::string(name) + "]";
}

// A parameter name: each part between '!' or '.' quoted on its own.
std::string quoted_path(std::string_view name) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '!' && name[i] != '.') continue;
        out += quoted(name.substr(start, i - start));
        if (i < name.size()) out += name[i];
        start = i + 1;
    }
    return out;
}

std::string parameter_type(const QueryRow& row) {
    struct Type {
        std::int16_t code;
        std::string_view name;
    };
    static constexpr Type kTypes[] = {
        {0, "Value"},    {1, "Bit"},         {2, "Byte"},       {3, "Short"},    {4, "Long"},
        {5, "Currency"}, {6, "IEEESingle"},  {7, "IEEEDouble"}, {8, "DateTime"}, {9, "Binary"},
        {10, "Text"},    {11, "LongBinary"}, {12, "Memo"},      {15, "Guid"},    {16, "Decimal"},
    };
    for (const Type& t : kTypes) {
        if (row.flag != t.code) continue;
        std::string name(t.name);
        if (row.lv_extra && *row.lv_extra > 0) name += "(" + std::to_string(*row.lv_extra) + ")";
        return name;
    }
    return "Value";
}

// One FROM item while the joins are combined: a table, or a join of two items.
struct Source {
    std::string table;               // "name [AS alias]" for a table
    std::vector<std::string> names;  // lower-case names it exposes
    int left = -1;
    int right = -1;
    std::int16_t kind = 0;
    std::vector<std::string> conditions;
};

class FromBuilder {
  public:
    void add_table(const QueryRow& row) {
        Source s;
        const std::string exposed = row.name2 ? *row.name2 : row.name1.value_or("");
        if (row.expression) {
            s.table = "(" + *row.expression + ") AS " + quoted(exposed);
        } else {
            s.table = quoted(row.name1.value_or(""));
            if (row.name2) s.table += " AS " + quoted(*row.name2);
        }
        s.names.push_back(lower_ascii(exposed));
        roots_.push_back(add(std::move(s)));
    }

    void add_join(const QueryRow& row) {
        const std::string n1 = row.name1.value_or("");
        const std::string n2 = row.name2.value_or("");
        const int a = root_of(n1);
        const int b = root_of(n2);
        const std::string condition = row.expression.value_or("");
        if (a == b) {
            pool_[static_cast<std::size_t>(find_join(a, n1, n2))].conditions.push_back(condition);
            return;
        }
        Source j;
        j.left = a;
        j.right = b;
        j.kind = row.flag.value_or(q::kJoinInner);
        j.conditions.push_back(condition);
        j.names = pool_[static_cast<std::size_t>(a)].names;
        const auto& right_names = pool_[static_cast<std::size_t>(b)].names;
        j.names.insert(j.names.end(), right_names.begin(), right_names.end());
        const int joined = add(std::move(j));
        auto pa = std::find(roots_.begin(), roots_.end(), a);
        auto pb = std::find(roots_.begin(), roots_.end(), b);
        if (pb < pa) std::swap(pa, pb);
        *pa = joined;
        roots_.erase(pb);
    }

    std::string text() const {
        std::string out;
        for (int root : roots_) {
            if (!out.empty()) out += ", ";
            out += render(root, false);
        }
        return out;
    }

  private:
    int add(Source s) {
        pool_.push_back(std::move(s));
        return static_cast<int>(pool_.size()) - 1;
    }

    static bool exposes(const Source& s, const std::string& name) {
        return std::find(s.names.begin(), s.names.end(), lower_ascii(name)) != s.names.end();
    }

    // The root holding `name`; a table no input row names becomes a new root.
    int root_of(const std::string& name) {
        for (int r : roots_) {
            if (exposes(pool_[static_cast<std::size_t>(r)], name)) return r;
        }
        Source s;
        s.table = quoted(name);
        s.names.push_back(lower_ascii(name));
        const int added = add(std::move(s));
        roots_.push_back(added);
        return added;
    }

    // The join inside `node` that connects the two names (the node itself
    // when no deeper join does).
    int find_join(int node, const std::string& n1, const std::string& n2) const {
        const Source& s = pool_[static_cast<std::size_t>(node)];
        if (s.left < 0) return node;
        for (int child : {s.left, s.right}) {
            const Source& c = pool_[static_cast<std::size_t>(child)];
            if (exposes(c, n1) && exposes(c, n2)) return find_join(child, n1, n2);
        }
        return node;
    }

    std::string render(int node, bool nested) const {
        const Source& s = pool_[static_cast<std::size_t>(node)];
        if (s.left < 0) return s.table;
        const char* kind = s.kind == q::kJoinLeft    ? " LEFT JOIN "
                           : s.kind == q::kJoinRight ? " RIGHT JOIN "
                                                     : " INNER JOIN ";
        std::string on;
        if (s.conditions.size() == 1) {
            on = s.conditions.front();
        } else {
            for (const std::string& c : s.conditions) {
                on += (on.empty() ? "(" : " AND (") + c + ")";
            }
        }
        std::string text = render(s.left, true) + kind + render(s.right, true) + " ON " + on;
        return nested ? "(" + text + ")" : text;
    }

    std::vector<Source> pool_;
    std::vector<int> roots_;
};

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

std::string column(const QueryRow& row) {
    std::string text = row.expression.value_or("");
    if (row.name1) text += " AS " + quoted(*row.name1);
    return text;
}

}  // namespace

std::optional<std::string> format_query_sql(const std::vector<QueryRow>& rows) {
    std::int16_t kind = q::kKindSelect;
    const QueryRow* kind_row = nullptr;
    std::int16_t options = 0;
    std::optional<std::string> top;
    std::vector<std::string> params;
    std::vector<const QueryRow*> tables;
    std::vector<const QueryRow*> columns;
    std::vector<const QueryRow*> joins;
    std::vector<const QueryRow*> groups;
    std::vector<const QueryRow*> orders;
    std::optional<std::string> where;
    std::optional<std::string> having;
    for (const QueryRow& r : rows) {
        switch (r.attribute) {
            case q::kAttrKind:
                kind_row = &r;
                kind = r.flag.value_or(q::kKindSelect);
                break;
            case q::kAttrParameter:
                params.push_back(quoted_path(r.name1.value_or("")) + " " + parameter_type(r));
                break;
            case q::kAttrOptions:
                options = r.flag.value_or(0);
                top = r.name1;
                break;
            case q::kAttrTable:
                tables.push_back(&r);
                break;
            case q::kAttrColumn:
                columns.push_back(&r);
                break;
            case q::kAttrJoin:
                joins.push_back(&r);
                break;
            case q::kAttrWhere:
                where = r.expression;
                break;
            case q::kAttrGroupBy:
                groups.push_back(&r);
                break;
            case q::kAttrHaving:
                having = r.expression;
                break;
            case q::kAttrOrderBy:
                orders.push_back(&r);
                break;
            default:
                break;
        }
    }
    if (kind == kKindPassThrough) return std::nullopt;
    if (kind == q::kKindDataDefinition) {
        return kind_row && kind_row->expression ? *kind_row->expression : std::string();
    }

    std::string sql;
    if (!params.empty()) sql = "PARAMETERS " + joined(params) + "; ";

    std::vector<std::string> order_terms;
    for (const QueryRow* r : orders) {
        order_terms.push_back(r->expression.value_or("") +
                              (r->name1 && !r->name1->empty() ? " DESC" : ""));
    }
    const std::string order_by = order_terms.empty() ? "" : " ORDER BY " + joined(order_terms);

    if (kind == q::kKindUnion) {
        std::string part1;
        std::string part2;
        for (const QueryRow* t : tables) {
            if (t->name2 == q::kUnionPart1) part1 = t->expression.value_or("");
            if (t->name2 == q::kUnionPart2) part2 = t->expression.value_or("");
        }
        const bool all = (options & q::kUnionDistinct) == 0;
        if (part1.empty() || !std::isspace(static_cast<unsigned char>(part1.back()))) part1 += " ";
        return sql + part1 + (all ? "UNION ALL " : "UNION ") + part2 + order_by + ";";
    }

    FromBuilder from;
    for (const QueryRow* t : tables)
        from.add_table(*t);
    for (const QueryRow* j : joins)
        from.add_join(*j);
    const std::string from_text = from.text();
    const std::string where_text = where ? " WHERE " + *where : "";

    std::vector<std::string> select_list;
    std::string transform;
    std::string pivot;
    std::vector<std::string> values;
    std::vector<std::string> targets;
    std::vector<std::string> assignments;
    for (const QueryRow* c : columns) {
        if (kind == q::kKindCrosstab && c->flag == q::kCrosstabValue) {
            transform = "TRANSFORM " + column(*c) + " ";
        } else if (kind == q::kKindCrosstab && c->flag == q::kCrosstabColumnHeading) {
            pivot = " PIVOT " + c->expression.value_or("");
        } else if (kind == q::kKindUpdate) {
            assignments.push_back(c->name2.value_or("") + " = " + c->expression.value_or(""));
        } else if (kind == q::kKindAppend && c->flag == q::kAppendValue) {
            values.push_back(c->expression.value_or(""));
            if (c->name2) targets.push_back(*c->name2);
        } else {
            select_list.push_back(column(*c));
            if (kind == q::kKindAppend && c->name2) targets.push_back(*c->name2);
        }
    }
    if ((options & q::kOptionStar) != 0) select_list.push_back("*");

    if (kind == q::kKindUpdate) {
        return sql + "UPDATE " + from_text + " SET " + joined(assignments) + where_text + ";";
    }
    if (kind == q::kKindDelete) {
        const std::string what = select_list.empty() ? "" : joined(select_list) + " ";
        return sql + "DELETE " + what + "FROM " + from_text + where_text + ";";
    }

    std::string head = "SELECT ";
    if ((options & q::kOptionDistinct) != 0) head += "DISTINCT ";
    if ((options & q::kOptionDistinctRow) != 0) head += "DISTINCTROW ";
    if ((options & q::kOptionTop) != 0 && top) {
        head += "TOP " + *top + ((options & q::kOptionPercent) != 0 ? " PERCENT " : " ");
    }
    std::string select = head + joined(select_list);
    const std::string target = kind_row && kind_row->name1 ? quoted(*kind_row->name1) : "";
    if (kind == q::kKindMakeTable) select += " INTO " + target;
    if (!from_text.empty()) select += " FROM " + from_text;
    select += where_text;
    std::vector<std::string> group_terms;
    for (const QueryRow* g : groups) {
        if (kind == q::kKindCrosstab && g->flag == q::kCrosstabColumnHeading) continue;
        group_terms.push_back(g->expression.value_or(""));
    }
    if (!group_terms.empty()) select += " GROUP BY " + joined(group_terms);
    if (having) select += " HAVING " + *having;
    select += order_by;
    if ((options & q::kOptionOwnerAccess) != 0) select += " WITH OWNERACCESS OPTION";

    if (kind == q::kKindAppend) {
        std::string insert = "INSERT INTO " + target;
        if (!targets.empty()) insert += " (" + joined(targets) + ")";
        if (!values.empty()) return sql + insert + " VALUES (" + joined(values) + ");";
        return sql + insert + " " + select + ";";
    }
    return sql + transform + select + pivot + ";";
}

}  // namespace tessaly::jetdb
