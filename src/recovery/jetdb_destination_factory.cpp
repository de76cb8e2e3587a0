#include "recovery/jetdb_destination_factory.h"

#include "jetdb/database.h"

namespace tessaly::recovery {
namespace {

class DatabaseAdapter : public rebuild::DestDatabase {
  public:
    explicit DatabaseAdapter(jetdb::Database& db) : db_(db) {}
    void execute(std::string_view statement, int options) override {
        db_.execute(statement, options);
    }
    void create_relation(std::string_view, std::string_view, std::string_view, std::int32_t,
                         std::string_view, std::string_view) override {
        throw jetdb::EngineError("relations cannot be stored yet");
    }
    bool is_open() const override { return db_.is_open(); }
    void close() override { db_.close(); }

  private:
    jetdb::Database& db_;
};

class RecordsetAdapter : public rebuild::DestRecordset {
  public:
    explicit RecordsetAdapter(jetdb::Database& db) : rs_(db) {}
    void open(int type, std::string_view sql, int options) override {
        rs_.open(type, sql, options);
    }
    bool is_open() const override { return rs_.is_open(); }
    void close() override { rs_.close(); }
    void add_new() override { rs_.add_new(); }
    void set_field_value(std::string_view field, std::string_view text) override {
        rs_.set_field_value(field, text);
    }
    void update() override { rs_.update(); }

  private:
    jetdb::Recordset rs_;
};

class QueryDefAdapter : public rebuild::DestQueryDef {
  public:
    void create(std::string_view, std::string_view) override { refuse(); }
    void create(std::string_view) override { refuse(); }
    void append() override { refuse(); }
    bool is_open() const override { return false; }
    void close() override {}

  private:
    [[noreturn]] static void refuse() {
        throw jetdb::EngineError("saved queries cannot be stored yet");
    }
};

}  // namespace

// One open destination database with its three engine objects.
class JetdbDestinationFactory::Open {
  public:
    Open() : database_adapter(database), recordset_adapter(database) {}
    jetdb::Database database;
    DatabaseAdapter database_adapter;
    RecordsetAdapter recordset_adapter;
    QueryDefAdapter query_adapter;
    rebuild::Destination bundle{&database_adapter, &query_adapter, &recordset_adapter};
};

JetdbDestinationFactory::JetdbDestinationFactory(RunReport* report) : report_(report) {}

JetdbDestinationFactory::~JetdbDestinationFactory() = default;

bool JetdbDestinationFactory::create(RecoveryState& state, const std::filesystem::path& path) {
    close(state);
    auto destination = std::make_unique<Open>();
    try {
        destination->database.create(path, kDestinationLocale, 0);
    } catch (const jetdb::EngineError&) {
        return false;
    }
    destination_ = std::move(destination);
    if (report_) {
        report_->begin_file();
        reporting_ = std::make_unique<ReportingDestination>(destination_->bundle, *report_);
        state.destination = reporting_->bundle();
    } else {
        state.destination = &destination_->bundle;
    }
    return true;
}

void JetdbDestinationFactory::close(RecoveryState& state) {
    state.destination = nullptr;
    if (!destination_) return;
    try {
        if (destination_->database.is_open()) destination_->database.close();
    } catch (const jetdb::EngineError&) {
        // The writer removes what it could not finish; nothing more to do here.
    }
    reporting_.reset();
    destination_.reset();
}

}  // namespace tessaly::recovery
