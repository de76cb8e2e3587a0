#include "jetdb/query_sql.h"

#include "jetdb/query_parser.h"

namespace tessaly::jetdb {

std::vector<QueryRow> parse_query_sql(std::string_view sql) {
    query::Parser parser(sql);
    return parser.parse_statement();
}

}  // namespace tessaly::jetdb
