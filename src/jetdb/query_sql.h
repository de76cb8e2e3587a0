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
};

// Parses a saved query's SQL text into the MSysQueries rows Access would store
// for it, start and end markers included. Throws EngineError for text Jet
// refuses (syntax errors, unbalanced brackets or quotes, no source).
std::vector<QueryRow> parse_query_sql(std::string_view sql);

}  // namespace tessaly::jetdb
