#include "rebuild/jetdb_destination.h"

#include <string>

namespace tessaly::rebuild {

class JetdbDestination::DatabaseAdapter : public DestDatabase {
  public:
    explicit DatabaseAdapter(jetdb::Database& db) : db_(db) {}
    void execute(std::string_view statement, int options) override {
        db_.execute(statement, options);
    }
    void create_relation(std::string_view, std::string_view, std::string_view, std::int32_t,
                         std::string_view, std::string_view) override {
        throw jetdb::EngineError("Relations are not supported by this engine yet.");
    }
    bool is_open() const override { return db_.is_open(); }
    void close() override { db_.close(); }

  private:
    jetdb::Database& db_;
};

class JetdbDestination::RecordsetAdapter : public DestRecordset {
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

class JetdbDestination::QueryDefAdapter : public DestQueryDef {
  public:
    void create(std::string_view, std::string_view) override { refuse(); }
    void create(std::string_view) override { refuse(); }
    void append() override { refuse(); }
    bool is_open() const override { return false; }
    void close() override {}

  private:
    [[noreturn]] static void refuse() {
        throw jetdb::EngineError("Saved queries are not supported by this engine yet.");
    }
};

JetdbDestination::JetdbDestination(jetdb::DatabaseOptions options)
    : database_(options),
      database_adapter_(std::make_unique<DatabaseAdapter>(database_)),
      recordset_adapter_(std::make_unique<RecordsetAdapter>(database_)),
      query_adapter_(std::make_unique<QueryDefAdapter>()),
      bundle_{database_adapter_.get(), query_adapter_.get(), recordset_adapter_.get()} {}

JetdbDestination::~JetdbDestination() = default;

void JetdbDestination::create(const std::filesystem::path& path) {
    database_.create(path, kDestinationLocale, kDestinationCreateOptions);
}

}  // namespace tessaly::rebuild
