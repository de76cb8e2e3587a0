// Turning the rows of the source's saved-query table (MSysQueries) back into
// the SQL text of one saved query.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::rebuild {

// One MSysQueries row as the reader renders it: every value is text, a null
// value is an empty text. Numbers are decimal ("%ld"); the 16-bit Flag is
// rendered unsigned (a stored -1 reads "65535"). Texts are UTF-8.
struct SavedQueryRow {
    std::string object_id;   // the query's catalog Id, signed decimal
    std::string attribute;   // what the row contributes (0 start ... 255 end)
    std::string expression;  // column, join condition, criterion, sort term
    std::string flag;        // option bits, join kind, parameter type, query kind
    std::string lv_extra;    // parameter text size
    std::string name1;       // parameter, table, alias, TOP count, "D"
    std::string name2;       // table alias, joined table, target column
    std::string order;       // always empty (binary column)
};

// Mask applied to a row's ObjectId before it is compared with a catalog key.
inline constexpr std::uint32_t kQueryKeyMask = 0xFFFFFF;

// True when `row` belongs to the saved query whose catalog key is `key`: its
// ObjectId, read as a decimal integer and reduced to its low 24 bits, equals
// `key`. A damaged ObjectId text reads as the number its leading digits give
// (0 when there are none).
bool row_belongs_to_query(const SavedQueryRow& row, std::uint32_t key);

// The SQL type name a parameter row declares: its Flag read as a column type
// code (1 Bit, 2 Byte, 3 Short, 4 Long, 5 Currency, 6 IEEESingle, 7 IEEEDouble,
// 8 DateTime, 9 Binary, 10 Text, 11 LongBinary, 12 Memo, 15 Guid, 16 Decimal,
// 0 Value), text with its size "Text(n)" when LvExtra gives one. Unknown or
// missing codes give "DateTime".
std::string parameter_type_name(std::string_view flag, std::string_view lv_extra);

// Assembles the SQL text of one saved query from its rows, in the order the
// table delivered them (only rows of that query: see row_belongs_to_query).
// Phrases: PARAMETERS, SELECT [DISTINCT|DISTINCTROW] [TOP n [PERCENT]], the
// output columns with aliases, FROM with the first input table (or the
// aliased one), INNER/LEFT/RIGHT joins nested up to four levels, WHERE,
// GROUP BY, HAVING, ORDER BY with DESC, and a closing ";". Rows with an
// unknown attribute contribute nothing. A query without output columns and
// parameters starts with "SELECT*". Texts grow as needed; nothing is cut.
// The result is not checked: the engine may refuse it (the caller then
// stores an empty query of that name).
std::string build_query_text(const std::vector<SavedQueryRow>& rows);

}  // namespace tessaly::rebuild
