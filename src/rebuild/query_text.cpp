#include "rebuild/query_text.h"

#include <array>
#include <charconv>
#include <cstddef>

namespace tessaly::rebuild {
namespace {

// Attribute texts of the rows that contribute to the SQL text.
constexpr std::string_view kAttrParameter = "2";
constexpr std::string_view kAttrOptions = "3";
constexpr std::string_view kAttrTable = "5";
constexpr std::string_view kAttrColumn = "6";
constexpr std::string_view kAttrJoin = "7";
constexpr std::string_view kAttrWhere = "8";
constexpr std::string_view kAttrGroupBy = "9";
constexpr std::string_view kAttrHaving = "10";
constexpr std::string_view kAttrOrderBy = "11";

// Flag texts: the DISTINCT option, and the left and right join kinds.
constexpr std::string_view kFlagDistinct = "2";
constexpr std::string_view kFlagLeftJoin = "2";
constexpr std::string_view kFlagRightJoin = "3";

// Option bits of the options row (attribute 3).
constexpr long kOptionTop = 0x10;
constexpr long kOptionPercent = 0x20;

// Parameter type codes (the column type codes) and the text type's code.
constexpr long kTypeText = 10;
struct ParameterType {
    long code;
    std::string_view name;
};
constexpr std::array<ParameterType, 15> kParameterTypes{{
    {0, "Value"},
    {1, "Bit"},
    {2, "Byte"},
    {3, "Short"},
    {4, "Long"},
    {5, "Currency"},
    {6, "IEEESingle"},
    {7, "IEEEDouble"},
    {8, "DateTime"},
    {9, "Binary"},
    {10, "Text"},
    {11, "LongBinary"},
    {12, "Memo"},
    {15, "Guid"},
    {16, "Decimal"},
}};
constexpr std::string_view kDefaultParameterType = "DateTime";

// Join level from which a further join starts a new chain instead of nesting
// (levels above it behave the same, so the level stays there).
constexpr int kJoinChainRestartLevel = 5;

// Reads the leading decimal integer of `text` (optional '-'); false when the
// text does not start with a number.
bool leading_number(std::string_view text, long& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc{} && ptr != first;
}

// Number of characters (not bytes) of a UTF-8 text.
std::size_t char_count(std::string_view text) {
    std::size_t n = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++n;
    }
    return n;
}

// The state of one reconstruction: the working texts and counters.
struct Assembly {
    std::string select_head = "SELECT ";
    std::string top;  // "TOP n " or "TOP n PERCENT ", from the options row
    std::string parameters;
    int parameter_count = 0;
    std::string columns;
    std::string from;
    std::string joins;
    int join_level = 0;
    int from_join_count = 0;
    std::string where;
    std::string group;
    int group_count = 0;
    std::string having;
    std::string order;
    int order_count = 0;
};

void apply_join(Assembly& a, const SavedQueryRow& row) {
    const std::string& x = row.expression;
    const std::string& n1 = row.name1;
    const std::string& n2 = row.name2;
    const std::string kind = row.flag == kFlagLeftJoin ? " LEFT JOIN " : " INNER JOIN ";
    switch (a.join_level) {
        case 4:
            a.joins = kind + "((((" + n2 + a.joins + " )))) ON " + x;
            a.join_level = 5;
            return;
        case 3:
            a.joins = kind + "(((" + n2 + a.joins + " ))) ON " + x;
            a.join_level = 4;
            return;
        case 2:
            a.joins = kind + "(( " + n2 + a.joins + " )) ON " + x;
            a.join_level = 3;
            return;
        case 1:
            a.joins =
                kind + "(" + (a.from_join_count == 1 ? std::string() : n2) + a.joins + ") ON " + x;
            a.join_level = 2;
            return;
        default:
            break;
    }
    if (row.flag == kFlagRightJoin) {
        a.joins = " RIGHT JOIN [" + n2 + "] ON " + x;
        return;
    }
    std::string joined = kind + "[" + n2 + "] ON " + x;
    if (a.from_join_count == 1) joined = n1 + joined;
    if (a.from.empty()) {
        a.from = " FROM (" + n1 + joined + ")";
        ++a.from_join_count;
    } else {
        a.joins = joined;
        if (a.join_level < kJoinChainRestartLevel) ++a.join_level;
    }
}

void apply_row(Assembly& a, const SavedQueryRow& row) {
    const std::string_view attr = row.attribute;
    if (attr == kAttrParameter) a.select_head = "SELECT DISTINCTROW ";
    if (attr == kAttrOptions) {
        long bits = 0;
        if (leading_number(row.flag, bits) && (bits & kOptionTop) != 0 && !row.name1.empty()) {
            a.top = "TOP " + row.name1 + ((bits & kOptionPercent) != 0 ? " PERCENT " : " ");
        }
        if (row.flag == kFlagDistinct) a.select_head = "SELECT DISTINCT ";
        return;
    }
    if (attr == kAttrParameter) {
        if (row.name1.empty()) return;
        a.parameters += row.name1 + " " + parameter_type_name(row.flag, row.lv_extra) + ", ";
        if (a.parameter_count == 0) a.select_head = "SELECT DISTINCTROW ";
        ++a.parameter_count;
        return;
    }
    if (attr == kAttrTable) {
        if (row.name1.empty()) return;
        if (!row.name2.empty()) {
            a.from = " FROM " + row.name1 + " AS [" + row.name2 + "]";
        } else if (a.from.empty()) {
            a.from = " FROM [" + row.name1 + "]";
        }
        return;
    }
    if (row.expression.empty()) return;
    if (attr == kAttrColumn) {
        std::string column = a.select_head;
        if (!a.select_head.empty()) column += a.top;
        column += row.expression;
        if (char_count(row.name1) > 1) column += " AS " + row.name1;
        a.columns += column + ", ";
        a.select_head.clear();
    } else if (attr == kAttrJoin) {
        apply_join(a, row);
    } else if (attr == kAttrWhere) {
        a.where = " WHERE " + row.expression;
    } else if (attr == kAttrGroupBy) {
        a.group += (a.group_count == 0 ? " GROUP BY " : ", ") + row.expression;
        ++a.group_count;
    } else if (attr == kAttrHaving) {
        a.having = " HAVING " + row.expression;
    } else if (attr == kAttrOrderBy) {
        a.order += (a.order_count == 0 ? " ORDER BY " : ", ") + row.expression;
        ++a.order_count;
        if (!row.name1.empty()) a.order += " DESC";
    }
}

}  // namespace

bool row_belongs_to_query(const SavedQueryRow& row, std::uint32_t key) {
    long long id = 0;
    const char* first = row.object_id.data();
    std::from_chars(first, first + row.object_id.size(), id);
    return (static_cast<std::uint64_t>(id) & kQueryKeyMask) == key;
}

std::string parameter_type_name(std::string_view flag, std::string_view lv_extra) {
    long code = 0;
    if (!leading_number(flag, code)) return std::string(kDefaultParameterType);
    for (const ParameterType& type : kParameterTypes) {
        if (type.code != code) continue;
        std::string name(type.name);
        long size = 0;
        if (code == kTypeText && leading_number(lv_extra, size) && size > 0) {
            name += "(" + std::to_string(size) + ")";
        }
        return name;
    }
    return std::string(kDefaultParameterType);
}

std::string build_query_text(const std::vector<SavedQueryRow>& rows) {
    Assembly a;
    for (const SavedQueryRow& row : rows)
        apply_row(a, row);

    std::string text;
    if (a.parameter_count > 0) {
        a.parameters.resize(a.parameters.size() - 2);  // the final ", "
        text = "PARAMETERS " + a.parameters + ";  ";
    }
    if (!a.columns.empty()) a.columns.resize(a.columns.size() - 2);
    text += a.columns;
    if (text.empty()) text = a.top.empty() ? "SELECT*" : "SELECT " + a.top + "*";
    text += a.from;
    text += a.joins;
    text += a.where;
    text += a.group;
    text += a.having;
    text += a.order;
    text += ";";
    return text;
}

}  // namespace tessaly::rebuild
