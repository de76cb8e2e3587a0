// Writing a saved query's MSysQueries rows as SQL text, the inverse of
// parse_query_sql: every clause the rows hold is written, joins are rebuilt
// as nested JOIN ... ON phrases from their table pairs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jetdb/query_sql.h"

namespace tessaly::jetdb {

// The SQL text of one saved query from its rows (any order, markers
// optional; rows without a kind row are read as a select query). Pass-through
// queries, whose text belongs to another server, have no SQL form here:
// std::nullopt. Names that need them are bracketed; expressions are written as
// stored. For rows Access wrote, parse_query_sql of the result gives the same
// rows again, except what SQL cannot say (the alias of a crosstab's column
// heading).
std::optional<std::string> format_query_sql(const std::vector<QueryRow>& rows);

}  // namespace tessaly::jetdb
