// What a run did, file by file, for reports outside the activity log (the
// command line's --json report and its progress display).
//
// Collection works by decoration, so neither the driver nor rebuilding knows
// about it: ReportingDispatch wraps the dispatch and notes each table handed
// over (its columns, and the non-empty rows the pass read); ReportingDestination
// wraps the destination objects and counts each record stored or refused, and
// tells whether each saved query and relationship was created as read, by its
// fallback, or not at all.
//
// Threading: the run's worker writes; another thread may read the live
// counters (live_table(), live_rows()) at any time. Everything else is read
// after the run has ended.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "rebuild/destination.h"
#include "recovery/rebuild_dispatch.h"

namespace tessaly::recovery {

struct TableReport {
    std::string name;
    std::int64_t columns = 0;       // -1 when the definition could not be read
    std::int64_t rows_read = 0;     // non-empty rows read
    std::int64_t rows_written = 0;  // records the destination stored
    std::int64_t rows_refused = 0;  // records the destination refused
};

enum class ObjectOutcome {
    Created,   // as read from the source
    Fallback,  // by the fallback (a query without its SQL text, a relation under its stored name)
    Failed,
};

struct ObjectReport {
    std::string name;
    ObjectOutcome outcome = ObjectOutcome::Failed;
};

struct FileReport {
    std::vector<TableReport> tables;
    std::vector<ObjectReport> queries;
    std::vector<ObjectReport> relationships;
};

class RunReport {
  public:
    // Starts the report of the next file; later notes go to it.
    void begin_file();
    // The file being reported (a new one when none was begun).
    FileReport& current();
    std::vector<FileReport>& files() { return files_; }

    // Live progress, readable from another thread.
    std::string live_table() const;
    std::int64_t live_rows() const { return live_rows_.load(std::memory_order_relaxed); }
    void set_live_table(std::string name);
    void count_live_row() { live_rows_.fetch_add(1, std::memory_order_relaxed); }

  private:
    std::vector<FileReport> files_;
    mutable std::mutex live_mutex_;
    std::string live_table_;
    std::atomic<std::int64_t> live_rows_{0};
};

// Notes each table handed to `inner` in the report.
class ReportingDispatch : public RebuildDispatch {
  public:
    ReportingDispatch(RebuildDispatch& inner, RunReport& report) : inner_(inner), report_(report) {}
    int process_table(RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                      std::int32_t object_type, std::int64_t definition_page,
                      std::string_view name) override;
    int rebuild_query(RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                      std::int32_t object_type, std::int64_t key, std::string_view name) override;
    int rebuild_relationships(RecoveryState& state,
                              const std::shared_ptr<reader::JetFile>& file) override;

  private:
    RebuildDispatch& inner_;
    RunReport& report_;
};

// Destination objects that pass every call to `inner` and note its outcome.
class ReportingDestination {
  public:
    ReportingDestination(const rebuild::Destination& inner, RunReport& report);
    ~ReportingDestination();
    ReportingDestination(const ReportingDestination&) = delete;
    ReportingDestination& operator=(const ReportingDestination&) = delete;
    rebuild::Destination* bundle() { return &bundle_; }

  private:
    class Database;
    class Recordset;
    class QueryDef;
    std::unique_ptr<Database> database_;
    std::unique_ptr<Recordset> recordset_;
    std::unique_ptr<QueryDef> query_;
    rebuild::Destination bundle_;
};

}  // namespace tessaly::recovery
