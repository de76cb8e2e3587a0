// The destination engine objects over our own Jet 4 writer (jetdb::Database,
// jetdb::Recordset and jetdb::QueryDef): what a save run creates per
// destination file and hands to the rebuild steps through
// RecoveryState::destination.
//
// Relations are refused with EngineError for as long as the writer cannot
// store them; the rebuild steps treat that like any refusal.
#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "jetdb/database.h"
#include "rebuild/destination.h"

namespace tessaly::rebuild {

// The locale every destination database is created with.
inline constexpr std::string_view kDestinationLocale = ";LANGID=0x0409;CP=1252;COUNTRY=0";
// Creation options (the engine's defaults).
inline constexpr int kDestinationCreateOptions = 0;

class JetdbDestination {
  public:
    explicit JetdbDestination(jetdb::DatabaseOptions options = {});
    ~JetdbDestination();
    JetdbDestination(const JetdbDestination&) = delete;
    JetdbDestination& operator=(const JetdbDestination&) = delete;

    // Starts a new database to be stored at `path` (nothing may exist there).
    // Throws EngineError when the writer refuses.
    void create(const std::filesystem::path& path);

    // The three objects, bound to this database; valid while it lives.
    Destination* bundle() { return &bundle_; }

    jetdb::Database& database() { return database_; }

  private:
    class DatabaseAdapter;
    class RecordsetAdapter;
    class QueryDefAdapter;

    jetdb::Database database_;
    std::unique_ptr<DatabaseAdapter> database_adapter_;
    std::unique_ptr<RecordsetAdapter> recordset_adapter_;
    std::unique_ptr<QueryDefAdapter> query_adapter_;
    Destination bundle_;
};

}  // namespace tessaly::rebuild
