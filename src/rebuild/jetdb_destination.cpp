#include "rebuild/jetdb_destination.h"

#include <string>

namespace tessaly::rebuild {

class JetdbDestination::DatabaseAdapter : public DestDatabase {
  public:
    explicit DatabaseAdapter(jetdb::Database& db) : db_(db) {}
    void execute(std::string_view statement, int options) override {
        db_.execute(statement, options);
    }
    void create_relation(std::string_view name, std::string_view table,
                         std::string_view foreign_table, std::int32_t attributes,
                         std::string_view field, std::string_view foreign_field) override {
        db_.create_relation(name, table, foreign_table, attributes, field, foreign_field);
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
    explicit QueryDefAdapter(jetdb::Database& db) : query_(db) {}
    void create(std::string_view name, std::string_view sql) override { query_.create(name, sql); }
    void create(std::string_view name) override { query_.create(name); }
    void append() override { query_.append(); }
    bool is_open() const override { return query_.is_open(); }
    void close() override { query_.close(); }

  private:
    jetdb::QueryDef query_;
};

JetdbDestination::JetdbDestination(jetdb::DatabaseOptions options)
    : database_(options),
      database_adapter_(std::make_unique<DatabaseAdapter>(database_)),
      recordset_adapter_(std::make_unique<RecordsetAdapter>(database_)),
      query_adapter_(std::make_unique<QueryDefAdapter>(database_)),
      bundle_{database_adapter_.get(), query_adapter_.get(), recordset_adapter_.get()} {}

JetdbDestination::~JetdbDestination() = default;

void JetdbDestination::create(const std::filesystem::path& path) {
    database_.create(path, kDestinationLocale, kDestinationCreateOptions);
}

}  // namespace tessaly::rebuild
