// A destination database: a new Jet 4 (.mdb) file built from DDL statements
// and rows. This is the engine behind `destDatabase`.
//
// Life of a database:
//   Database db;
//   db.create(path, ";LANGID=0x0409;CP=1252;COUNTRY=0", 0);
//   db.execute("CREATE TABLE [T]([A] LONG);", 128);
//   Recordset rs(db); rs.open(-1, "SELECT * FROM [T]", 0); ... rs.close();
//   db.close();   // the file appears under `path` only now
//
// Every failure of a public operation throws EngineError; nothing else leaves
// the library. One thread uses a database at a time. Texts are UTF-8; the
// UTF-16 overloads convert and do the same.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "jetdb/engine_error.h"

namespace tessaly::jetdb {

class Recordset;
struct DatabaseState;

// Relation attributes (MSysRelationships.grbit).
inline constexpr std::int32_t kRelationOneToOne = 0x1;
inline constexpr std::int32_t kRelationNotEnforced = 0x2;
inline constexpr std::int32_t kRelationCascadeUpdates = 0x100;
inline constexpr std::int32_t kRelationCascadeDeletes = 0x1000;
inline constexpr std::int32_t kRelationCascadeToNull = 0x2000;

// Options beyond what create() takes from its caller; tests use them to get
// reproducible files and to reach the size limit quickly.
struct DatabaseOptions {
    // The file stays below this size (never above Jet 4's 2 GB).
    std::uint64_t max_file_bytes = std::uint64_t{2} * 1024 * 1024 * 1024;
    // Creation date as an OLE automation date; 0 = the current local time.
    double creation_date = 0;
};

class Database {
  public:
    Database();
    explicit Database(DatabaseOptions options);
    // Closes the database when still open (errors are swallowed: call close()
    // to learn about them).
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Starts a new, empty Jet 4 database that will be stored at `path`.
    // `locale` must name English (LANGID 0x0409, General sort order) and
    // code page 1252 (";LANGID=0x0409;CP=1252;COUNTRY=0"); `options` must be
    // 0. Throws when a file already exists at `path`, when the database is
    // already open, or when the temporary file beside `path` cannot be made.
    void create(const std::filesystem::path& path, std::string_view locale, int options);

    // Runs one DDL statement (UTF-8): CREATE TABLE, ALTER TABLE ... ADD
    // column. `options` is the engine's option mask (128 = fail on error;
    // errors always throw). Throws for statements Jet refuses, leaving the
    // database unchanged.
    void execute(std::string_view statement, int options);
    void execute(std::u16string_view statement, int options);

    // Adds a one-field relationship (UTF-8 names): `foreign_table`.
    // `foreign_field` refers to `table`.`field`. `attributes` are the
    // engine's relation flags: kRelationNotEnforced, the cascade flags, and
    // the one-to-one and join-kind flags, all kept as given. An enforced
    // relationship needs a unique index on `field` alone and stored rows that
    // keep it; it adds the indexes Access adds on both tables, and later rows
    // of `foreign_table` must keep it too. Throws EngineError, changing
    // nothing, for a duplicate or invalid name, a missing table or field,
    // fields of different types, and (when enforced) a missing unique index or
    // rows that break the rule.
    void create_relation(std::string_view name, std::string_view table,
                         std::string_view foreign_table, std::int32_t attributes,
                         std::string_view field, std::string_view foreign_field);

    bool is_open() const;

    // Writes everything out, then moves the file from its temporary name to
    // its final one. Open recordsets are closed. On failure the temporary
    // file is removed and the database is closed all the same.
    void close();

  private:
    friend class Recordset;
    friend class QueryDef;
    DatabaseOptions options_;
    std::unique_ptr<DatabaseState> state_;
};

// A table opened for adding rows ("SELECT * FROM [t]"); the engine behind
// `destRecordset`.
class Recordset {
  public:
    explicit Recordset(Database& database);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // `type` -1 (default, dynaset) or 2 (dynaset); `sql` is
    // "SELECT * FROM [table]" (the brackets optional, a final ';' allowed);
    // `options` 0. Throws when the database is closed, the table does not
    // exist or is one of the engine's own tables.
    void open(int type, std::string_view sql, int options);
    void open(int type, std::u16string_view sql, int options);
    bool is_open() const;
    void close();

    // Starts a new record; a record begun before and not stored is dropped.
    void add_new();
    // Sets one field of the new record from text (UTF-8), converted as the
    // engine converts text for the field's type. The field is found by name
    // without regard to case. On failure the field is left unset and the
    // call throws.
    void set_field_value(std::string_view field, std::string_view text);
    void set_field_value(std::u16string_view field, std::u16string_view text);
    // Stores the new record. On failure nothing is stored and it throws.
    // Either way the record is finished; the next one starts with add_new().
    void update();

  private:
    struct Pending;
    Database& database_;
    std::uint64_t session_ = 0;  // the database session the recordset was opened in
    std::size_t table_ = 0;      // index of the table in the database
    std::unique_ptr<Pending> pending_;
    bool open_ = false;
};

// A saved query on its way into a database; the engine behind
// `destQueryDef`. create() checks the name and the SQL text; append()
// stores the query (its catalog row, permissions and MSysQueries rows).
class QueryDef {
  public:
    explicit QueryDef(Database& database);
    ~QueryDef();
    QueryDef(const QueryDef&) = delete;
    QueryDef& operator=(const QueryDef&) = delete;

    // Starts a saved query called `name` (UTF-8) from SQL text. Throws when
    // the database is closed, the name is invalid or already names a table or
    // saved query, or Jet would refuse the text.
    void create(std::string_view name, std::string_view sql);
    // Starts an empty saved query (a plain select without source).
    void create(std::string_view name);
    void create(std::u16string_view name, std::u16string_view sql);
    void create(std::u16string_view name);
    // Stores the query begun by create(). Throws when there is none, the
    // name has been taken meanwhile, or the file is full.
    void append();
    bool is_open() const;
    // Ends the query definition; one not appended is dropped.
    void close();

  private:
    struct Pending;
    Database& database_;
    std::uint64_t session_ = 0;
    std::unique_ptr<Pending> pending_;
};

}  // namespace tessaly::jetdb
