// Parsing of the data-definition statements the destination engine executes.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "jetdb/column_type.h"

namespace tessaly::jetdb {

// CREATE TABLE [t]([c] type, ...);
struct CreateTableStmt {
    std::string table;
    std::vector<ColumnSpec> columns;
};

// ALTER TABLE [t] ADD [c] type;
struct AddColumnStmt {
    std::string table;
    ColumnSpec column;
};

struct IndexColumnRef {
    std::string name;
    bool ascending = true;
};

// ALTER TABLE [t] ADD PRIMARY KEY ([c], ...);
// ALTER TABLE [t] ADD CONSTRAINT [name] PRIMARY KEY ([a], [b]);
// CREATE [UNIQUE] INDEX name ON [t]([c] [ASC|DESC], ...) [WITH PRIMARY]
struct CreateIndexStmt {
    std::string table;
    std::string name;  // empty for ADD PRIMARY KEY without a constraint name
    std::vector<IndexColumnRef> columns;
    bool unique = false;
    bool primary = false;
};

using DdlStatement = std::variant<CreateTableStmt, AddColumnStmt, CreateIndexStmt>;

// Parses one statement. Throws EngineError for whatever Jet refuses at parse
// time: syntax errors, unknown types, TEXT(n) outside 1..255, invalid names,
// duplicate column names within one CREATE TABLE, more than 255 columns.
DdlStatement parse_ddl(std::string_view statement);

// Throws EngineError unless `name` is a valid Jet object or column name:
// 1..64 characters, none of . ! ` [ ], no leading space, no control characters.
void check_object_name(std::string_view name);

}  // namespace tessaly::jetdb
