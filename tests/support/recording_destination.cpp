#include "support/recording_destination.h"

#include <memory>
#include <optional>

namespace tessaly::test {

template <class F>
void RecordingDestination::run(std::string op, std::vector<std::string> args, bool refused,
                               F&& forward) {
    if (!refused) {
        try {
            forward();
        } catch (const jetdb::EngineError&) {
            refused = true;
        }
    }
    record(std::move(op), std::move(args), refused);
}

void RecordingDestination::record(std::string op, std::vector<std::string> args, bool refused) {
    calls.push_back({std::move(op), std::move(args), refused});
    if (refused) throw jetdb::EngineError("refused by the test: " + calls.back().op);
}

class RecordingDestination::Database : public rebuild::DestDatabase {
  public:
    explicit Database(RecordingDestination& owner) : d_(owner) {}

    void execute(std::string_view statement, int options) override {
        const std::string s(statement);
        d_.statements.push_back(s);
        const bool refused = d_.refuse_statement && d_.refuse_statement(s);
        d_.run("execute", {s, std::to_string(options)}, refused, [&] {
            if (d_.inner_.destDatabase) d_.inner_.destDatabase->execute(statement, options);
        });
    }

    void create_relation(std::string_view name, std::string_view table,
                         std::string_view foreign_table, std::int32_t attributes,
                         std::string_view field, std::string_view foreign_field) override {
        const std::string n(name);
        const bool refused = (d_.unique_names && d_.relations.count(n)) ||
                             (d_.refuse_relation && d_.refuse_relation(n, attributes));
        d_.run("create_relation",
               {n, std::string(table), std::string(foreign_table), std::to_string(attributes),
                std::string(field), std::string(foreign_field)},
               refused, [&] {
                   if (d_.inner_.destDatabase)
                       d_.inner_.destDatabase->create_relation(name, table, foreign_table,
                                                               attributes, field, foreign_field);
               });
        d_.relations[n] = std::string(table) + "." + std::string(field) + " -> " +
                          std::string(foreign_table) + "." + std::string(foreign_field) + " " +
                          std::to_string(attributes);
    }

    bool is_open() const override {
        return d_.inner_.destDatabase ? d_.inner_.destDatabase->is_open() : open_;
    }

    void close() override {
        d_.run("close_database", {}, false, [&] {
            if (d_.inner_.destDatabase) d_.inner_.destDatabase->close();
        });
        open_ = false;
    }

  private:
    RecordingDestination& d_;
    bool open_ = true;
};

class RecordingDestination::Recordset : public rebuild::DestRecordset {
  public:
    explicit Recordset(RecordingDestination& owner) : d_(owner) {}

    void open(int type, std::string_view sql, int options) override {
        const std::string s(sql);
        const bool refused = d_.refuse_open && d_.refuse_open(s);
        d_.run("open", {std::to_string(type), s, std::to_string(options)}, refused, [&] {
            if (d_.inner_.destRecordset) d_.inner_.destRecordset->open(type, sql, options);
        });
        open_ = true;
        sql_ = s;
    }

    bool is_open() const override {
        return d_.inner_.destRecordset ? d_.inner_.destRecordset->is_open() : open_;
    }

    void close() override {
        d_.run("close", {}, false, [&] {
            if (d_.inner_.destRecordset) d_.inner_.destRecordset->close();
        });
        open_ = false;
    }

    void add_new() override {
        const int number = add_count_++;
        const bool refused = d_.refuse_add_new && d_.refuse_add_new(number);
        pending_.reset();
        d_.run("add_new", {}, refused, [&] {
            if (d_.inner_.destRecordset) d_.inner_.destRecordset->add_new();
        });
        pending_.emplace();
    }

    void set_field_value(std::string_view field, std::string_view text) override {
        const std::string f(field), t(text);
        const bool refused = d_.refuse_field && d_.refuse_field(f, t);
        d_.run("set_field_value", {f, t}, refused, [&] {
            if (d_.inner_.destRecordset) d_.inner_.destRecordset->set_field_value(field, text);
        });
        if (pending_) pending_->emplace_back(f, t);
    }

    void update() override {
        const Fields record = pending_ ? *pending_ : Fields{};
        pending_.reset();
        const bool refused = d_.refuse_update && d_.refuse_update(record);
        try {
            d_.run("update", {}, refused, [&] {
                if (d_.inner_.destRecordset) d_.inner_.destRecordset->update();
            });
        } catch (const jetdb::EngineError&) {
            ++d_.refused_updates;
            throw;
        }
        d_.stored[sql_].push_back(record);
    }

  private:
    RecordingDestination& d_;
    bool open_ = false;
    std::string sql_;
    int add_count_ = 0;
    std::optional<Fields> pending_;
};

class RecordingDestination::QueryDef : public rebuild::DestQueryDef {
  public:
    explicit QueryDef(RecordingDestination& owner) : d_(owner) {}

    void create(std::string_view name, std::string_view sql) override {
        const std::string n(name), s(sql);
        const bool refused = d_.refuse_query && d_.refuse_query(n, &s);
        d_.run("create_query", {n, s}, refused, [&] {
            if (d_.inner_.destQueryDef) d_.inner_.destQueryDef->create(name, sql);
        });
        open_ = true;
        name_ = n;
        sql_ = s;
    }

    void create(std::string_view name) override {
        const std::string n(name);
        const bool refused = d_.refuse_query && d_.refuse_query(n, nullptr);
        d_.run("create_query", {n}, refused, [&] {
            if (d_.inner_.destQueryDef) d_.inner_.destQueryDef->create(name);
        });
        open_ = true;
        name_ = n;
        sql_.clear();
    }

    void append() override {
        const bool refused = !open_ || (d_.unique_names && d_.queries.count(name_));
        d_.run("append_query", {name_}, refused, [&] {
            if (d_.inner_.destQueryDef) d_.inner_.destQueryDef->append();
        });
        d_.queries[name_] = sql_;
    }

    bool is_open() const override {
        return d_.inner_.destQueryDef ? d_.inner_.destQueryDef->is_open() : open_;
    }

    void close() override {
        d_.run("close_query", {}, false, [&] {
            if (d_.inner_.destQueryDef) d_.inner_.destQueryDef->close();
        });
        open_ = false;
    }

  private:
    RecordingDestination& d_;
    bool open_ = false;
    std::string name_;
    std::string sql_;
};

RecordingDestination::RecordingDestination(rebuild::Destination inner)
    : inner_(inner),
      database_(std::make_unique<Database>(*this)),
      recordset_(std::make_unique<Recordset>(*this)),
      query_(std::make_unique<QueryDef>(*this)),
      bundle_{database_.get(), query_.get(), recordset_.get()} {}

RecordingDestination::~RecordingDestination() = default;

std::vector<std::string> RecordingDestination::calls_of(const std::string& op) const {
    std::vector<std::string> out;
    for (const Call& c : calls) {
        if (c.op != op) continue;
        std::string text;
        for (std::size_t i = 0; i < c.args.size(); ++i)
            text += (i ? "|" : "") + c.args[i];
        out.push_back(text);
    }
    return out;
}

}  // namespace tessaly::test
