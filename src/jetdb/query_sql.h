// Saved queries: SQL text <-> the rows Access stores in MSysQueries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::jetdb {

// One MSysQueries row (its ObjectId is the query's catalog Id, set by the writer).
struct QueryRow {
    std::uint8_t attribute = 0;
    std::optional<std::string> expression;  // UTF-8
    std::optional<std::int16_t> flag;
    std::optional<std::string> name1;
    std::optional<std::string> name2;
    std::optional<std::int32_t> lv_extra;  // LvExtra: the size of a Text(n) parameter

    bool operator==(const QueryRow&) const = default;
};

// Parses a saved query's SQL text into the MSysQueries rows Access would store
// for it, start and end markers included. Throws EngineError for text Jet
// refuses (syntax errors, unbalanced brackets or quotes, no source).
//
// Accepted: [PARAMETERS ...;] followed by SELECT (with DISTINCT, DISTINCTROW,
// TOP n [PERCENT], INTO, FROM with inner/left/right joins nested in
// parentheses, WHERE, GROUP BY, HAVING, ORDER BY, WITH OWNERACCESS OPTION),
// UNION [ALL], TRANSFORM ... PIVOT, INSERT INTO, UPDATE, DELETE, and data
// definition statements (CREATE/ALTER/DROP, stored as text). Names Access
// writes unbracketed where it would need brackets (a parameter or alias with
// blanks, "FROM Order Details AS [x]") are read up to the next delimiter.
// Expressions are stored as written, with their original spacing.
std::vector<QueryRow> parse_query_sql(std::string_view sql);

}  // namespace tessaly::jetdb
