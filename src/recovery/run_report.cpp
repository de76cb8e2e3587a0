#include "recovery/run_report.h"

#include <tuple>

#include "reader/table_def.h"

namespace tessaly::recovery {

void RunReport::begin_file() {
    files_.emplace_back();
}

FileReport& RunReport::current() {
    if (files_.empty()) files_.emplace_back();
    return files_.back();
}

std::string RunReport::live_table() const {
    std::lock_guard lock(live_mutex_);
    return live_table_;
}

void RunReport::set_live_table(std::string name) {
    std::lock_guard lock(live_mutex_);
    live_table_ = std::move(name);
    live_rows_.store(0, std::memory_order_relaxed);
}

int ReportingDispatch::process_table(RecoveryState& state,
                                     const std::shared_ptr<reader::JetFile>& file,
                                     std::int32_t object_type, std::int64_t definition_page,
                                     std::string_view name) {
    TableReport table;
    table.name = std::string(name);
    {
        // The pass reads the definition again; this read only counts columns.
        reader::CatalogEntry entry{file, table.name, object_type, definition_page};
        auto def = reader::read_table_def(entry);
        table.columns =
            def && reader::read_columns(*def) ? static_cast<std::int64_t>(def->columns.size()) : -1;
    }
    report_.current().tables.push_back(table);
    report_.set_live_table(table.name);
    const int result = inner_.process_table(state, file, object_type, definition_page, name);
    // The pass may have added further tables' entries in the meantime: none
    // do, but look the entry up by position all the same.
    TableReport& done = report_.current().tables.back();
    done.rows_read = file ? file->table_record_count : 0;
    return result;
}

int ReportingDispatch::rebuild_query(RecoveryState& state,
                                     const std::shared_ptr<reader::JetFile>& file,
                                     std::int32_t object_type, std::int64_t key,
                                     std::string_view name) {
    return inner_.rebuild_query(state, file, object_type, key, name);
}

int ReportingDispatch::rebuild_relationships(RecoveryState& state,
                                             const std::shared_ptr<reader::JetFile>& file) {
    return inner_.rebuild_relationships(state, file);
}

class ReportingDestination::Database : public rebuild::DestDatabase {
  public:
    Database(rebuild::DestDatabase* inner, RunReport& report) : inner_(inner), report_(report) {}
    void execute(std::string_view statement, int options) override {
        need()->execute(statement, options);
    }
    // The second attempt for the same field pair is the fallback under the
    // stored name; it upgrades the first attempt's entry.
    void create_relation(std::string_view name, std::string_view table,
                         std::string_view foreign_table, std::int32_t attributes,
                         std::string_view field, std::string_view foreign_field) override {
        auto key = std::make_tuple(std::string(table), std::string(foreign_table),
                                   std::string(field), std::string(foreign_field));
        auto& list = report_.current().relationships;
        const bool retry = last_failed_ && key == last_key_ && !list.empty();
        if (!retry) list.push_back({std::string(name), ObjectOutcome::Failed});
        last_key_ = key;
        last_failed_ = true;
        need()->create_relation(name, table, foreign_table, attributes, field, foreign_field);
        last_failed_ = false;
        list.back() = {std::string(name), retry ? ObjectOutcome::Fallback : ObjectOutcome::Created};
    }
    bool is_open() const override { return inner_ && inner_->is_open(); }
    void close() override { need()->close(); }

  private:
    rebuild::DestDatabase* need() {
        if (!inner_) throw jetdb::EngineError("no destination database");
        return inner_;
    }
    rebuild::DestDatabase* inner_;
    RunReport& report_;
    std::tuple<std::string, std::string, std::string, std::string> last_key_;
    bool last_failed_ = false;
};

class ReportingDestination::Recordset : public rebuild::DestRecordset {
  public:
    Recordset(rebuild::DestRecordset* inner, RunReport& report) : inner_(inner), report_(report) {}
    void open(int type, std::string_view sql, int options) override {
        need()->open(type, sql, options);
    }
    bool is_open() const override { return inner_ && inner_->is_open(); }
    void close() override { need()->close(); }
    void add_new() override {
        try {
            need()->add_new();
        } catch (const jetdb::EngineError&) {
            refused();
            throw;
        }
    }
    void set_field_value(std::string_view field, std::string_view text) override {
        need()->set_field_value(field, text);
    }
    void update() override {
        try {
            need()->update();
        } catch (const jetdb::EngineError&) {
            refused();
            throw;
        }
        if (auto* t = table()) ++t->rows_written;
        report_.count_live_row();
    }

  private:
    TableReport* table() {
        auto& tables = report_.current().tables;
        return tables.empty() ? nullptr : &tables.back();
    }
    void refused() {
        if (auto* t = table()) ++t->rows_refused;
        report_.count_live_row();
    }
    rebuild::DestRecordset* need() {
        if (!inner_) throw jetdb::EngineError("no destination recordset");
        return inner_;
    }
    rebuild::DestRecordset* inner_;
    RunReport& report_;
};

class ReportingDestination::QueryDef : public rebuild::DestQueryDef {
  public:
    QueryDef(rebuild::DestQueryDef* inner, RunReport& report) : inner_(inner), report_(report) {}
    void create(std::string_view name, std::string_view sql) override {
        note(name, true);
        need()->create(name, sql);
    }
    void create(std::string_view name) override {
        note(name, false);
        need()->create(name);
    }
    void append() override {
        need()->append();
        auto& list = report_.current().queries;
        if (!list.empty())
            list.back().outcome = with_sql_ ? ObjectOutcome::Created : ObjectOutcome::Fallback;
    }
    bool is_open() const override { return inner_ && inner_->is_open(); }
    void close() override { need()->close(); }

  private:
    // A second create under the same name, after a refusal, is the fallback.
    void note(std::string_view name, bool with_sql) {
        auto& list = report_.current().queries;
        if (list.empty() || list.back().name != name ||
            list.back().outcome != ObjectOutcome::Failed)
            list.push_back({std::string(name), ObjectOutcome::Failed});
        with_sql_ = with_sql;
    }
    rebuild::DestQueryDef* need() {
        if (!inner_) throw jetdb::EngineError("no destination query");
        return inner_;
    }
    rebuild::DestQueryDef* inner_;
    RunReport& report_;
    bool with_sql_ = false;
};

ReportingDestination::ReportingDestination(const rebuild::Destination& inner, RunReport& report)
    : database_(std::make_unique<Database>(inner.destDatabase, report)),
      recordset_(std::make_unique<Recordset>(inner.destRecordset, report)),
      query_(std::make_unique<QueryDef>(inner.destQueryDef, report)),
      bundle_{database_.get(), query_.get(), recordset_.get()} {}

ReportingDestination::~ReportingDestination() = default;

}  // namespace tessaly::recovery
