// The three destination engine objects the rebuild steps write through:
// the database (DDL statements and relations), a recordset (new records, one
// field at a time, every value as text) and a saved-query definition.
//
// Contract shared by every operation: a failure throws jetdb::EngineError and
// nothing else; the callers catch it around the single statement, field,
// record, query or relation it concerns, drop it, and go on. The state/query
// operations (is_open) never throw. Texts are UTF-8. One thread uses the
// objects at a time (the save run's worker).
#pragma once

#include <cstdint>
#include <string_view>

#include "jetdb/engine_error.h"

namespace tessaly::rebuild {

// Option of DestDatabase::execute: a refused statement raises (it always does).
inline constexpr int kFailOnError = 128;
// DestRecordset::open type: the object's default type (dynaset).
inline constexpr int kDefaultRecordsetType = -1;
// Relation attribute: the relation is not enforced.
inline constexpr std::int32_t kRelationNotEnforced = 2;

// destDatabase: the destination database being written.
class DestDatabase {
  public:
    virtual ~DestDatabase() = default;
    // Runs one DDL statement.
    virtual void execute(std::string_view statement, int options) = 0;
    // Creates a one-field relation `name` from `table`.`field` (the
    // referenced side) to `foreign_table`.`foreign_field`.
    virtual void create_relation(std::string_view name, std::string_view table,
                                 std::string_view foreign_table, std::int32_t attributes,
                                 std::string_view field, std::string_view foreign_field) = 0;
    virtual bool is_open() const = 0;
    virtual void close() = 0;
};

// destRecordset: one table of the destination opened for adding records.
class DestRecordset {
  public:
    virtual ~DestRecordset() = default;
    // `sql` is "SELECT * FROM [table]".
    virtual void open(int type, std::string_view sql, int options) = 0;
    virtual bool is_open() const = 0;
    virtual void close() = 0;
    // Starts a new record.
    virtual void add_new() = 0;
    // Sets one field of the new record from text; the engine converts it to
    // the field's type. On failure the field stays unset.
    virtual void set_field_value(std::string_view field, std::string_view text) = 0;
    // Stores the new record; on failure nothing is stored.
    virtual void update() = 0;
};

// destQueryDef: one saved query being created.
class DestQueryDef {
  public:
    virtual ~DestQueryDef() = default;
    // Starts a saved query `name` with the SQL text `sql`; the object is open
    // afterwards.
    virtual void create(std::string_view name, std::string_view sql) = 0;
    // The same without SQL text (an empty saved query).
    virtual void create(std::string_view name) = 0;
    // Stores the query created last in the database.
    virtual void append() = 0;
    virtual bool is_open() const = 0;
    virtual void close() = 0;
};

// The bundle a save run hands to the rebuild steps (RecoveryState::destination).
// A null member makes every operation on that object count as failed.
struct Destination {
    DestDatabase* destDatabase = nullptr;
    DestQueryDef* destQueryDef = nullptr;
    DestRecordset* destRecordset = nullptr;
};

}  // namespace tessaly::rebuild
