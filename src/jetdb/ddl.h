// Parsing of the data-definition statements the destination engine executes.
//
// Grammar (keywords in any case; a name is [anything but ']'] or a bare word
// of letters, digits and '_' that starts with a letter or '_' and is not a
// keyword of this grammar; one trailing ';' allowed):
//   CREATE TABLE name ( name type {, name type} )
//   ALTER TABLE name ADD [COLUMN] name type
//   ALTER TABLE name ADD PRIMARY KEY ( name {, name} )
//   ALTER TABLE name ADD CONSTRAINT name PRIMARY KEY ( name {, name} )
//   ALTER TABLE name ADD CONSTRAINT name UNIQUE ( name {, name} )
//   CREATE [UNIQUE] INDEX name ON name ( name [ASC|DESC] {, name [ASC|DESC]} )
//          [WITH {PRIMARY | DISALLOW NULL | IGNORE NULL}]
//
// Types and their synonyms (as the engine's SQL knows them):
//   BIT, BOOLEAN, LOGICAL, LOGICAL1, YESNO                     Boolean
//   BYTE, TINYINT, INTEGER1                                    Byte
//   SHORT, SMALLINT, INTEGER2                                  Int (16-bit)
//   LONG, INT, INTEGER, INTEGER4                               Long (32-bit)
//   COUNTER, AUTOINCREMENT                                     Long, autonumber
//   CURRENCY, MONEY                                            Currency
//   SINGLE, REAL, FLOAT4, IEEESINGLE                           Single
//   DOUBLE, FLOAT, FLOAT8, IEEEDOUBLE, NUMBER                  Double
//   DATETIME, DATE, TIME, TIMESTAMP                            DateTime
//   TEXT, CHAR, VARCHAR, CHARACTER, STRING, ALPHANUMERIC, NCHAR,
//   CHARACTER VARYING, NATIONAL CHAR[ACTER] [VARYING]  [(n)]   Text, n = 1..255
//                                                              characters, 255 without (n)
//   MEMO, LONGTEXT, LONGCHAR, NOTE, NTEXT                      Memo
//   BINARY, VARBINARY, BINARY VARYING, BIT VARYING    [(n)]    Binary, n = 1..255
//                                                              bytes, 255 without (n)
//   OLEOBJECT, LONGBINARY, GENERAL, IMAGE                      Ole
//   GUID, UNIQUEIDENTIFIER                                     Guid
//   DECIMAL, NUMERIC, DEC [(p[, s])]                           Numeric, p = 1..28,
//                                                              s = 0..p; default (18, 0)
// Note INT is the 32-bit LONG, as in the engine's SQL; the 16-bit type is
// SHORT / SMALLINT.
//
// ColumnSpec.size is the column descriptor's length in bytes: Text 2 x
// characters, Binary its bytes, Boolean 1, Memo and Ole 0, other fixed types
// fixed_width(type).
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "jetdb/column_type.h"

namespace tessaly::jetdb {

inline constexpr std::size_t kMaxTableColumns = 255;
inline constexpr std::size_t kMaxIndexColumns = 10;
inline constexpr std::size_t kMaxObjectNameLength = 64;  // UTF-16 units

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
// ALTER TABLE [t] ADD CONSTRAINT [name] UNIQUE ([a], [b]);
// CREATE [UNIQUE] INDEX name ON [t]([c] [ASC|DESC], ...) [WITH PRIMARY]
// A primary key is also unique and disallows nulls.
struct CreateIndexStmt {
    std::string table;
    std::string name;  // empty for ADD PRIMARY KEY without a constraint name
    std::vector<IndexColumnRef> columns;
    bool unique = false;
    bool primary = false;
    bool disallow_null = false;  // WITH DISALLOW NULL, or primary
    bool ignore_null = false;    // WITH IGNORE NULL: null keys get no index entry
};

using DdlStatement = std::variant<CreateTableStmt, AddColumnStmt, CreateIndexStmt>;

// Parses one statement. Throws EngineError for whatever Jet refuses at parse
// time: syntax errors, unknown types, TEXT(n) or BINARY(n) outside 1..255,
// bad DECIMAL precision/scale, invalid names, duplicate column names within
// one CREATE TABLE or one index, more than 255 columns, more than 10 columns
// in one index, WITH PRIMARY together with IGNORE NULL.
DdlStatement parse_ddl(std::string_view statement);

// Throws EngineError unless `name` is a valid Jet object or column name:
// valid UTF-8 of 1..64 UTF-16 units, none of . ! ` [ ], no leading space, no
// control characters (below U+0020).
void check_object_name(std::string_view name);

// Key for comparing object and column names the way the engine does: without
// regard to case (Latin, Greek and Cyrillic letters, full-width Latin).
// Malformed UTF-8 is compared byte for byte.
std::u16string fold_name(std::string_view name);

// True when the two names denote the same object (fold_name equal).
bool names_equal(std::string_view a, std::string_view b);

}  // namespace tessaly::jetdb
