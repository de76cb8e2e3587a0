// A destination engine for tests: records every call in order, refuses what
// it is told to refuse (throwing jetdb::EngineError as the real engine does),
// and can forward accepted calls to another destination (the real engine) so
// that a test sees which of its calls were refused.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rebuild/destination.h"

namespace tessaly::test {

class RecordingDestination {
  public:
    using Fields = std::vector<std::pair<std::string, std::string>>;

    // One call: its operation name, its arguments as text, and whether it
    // was refused (by a rule below or by the forwarded-to engine).
    struct Call {
        std::string op;
        std::vector<std::string> args;
        bool refused = false;
    };

    // Forward accepted calls to `inner` (its null members are not used).
    explicit RecordingDestination(rebuild::Destination inner = {});
    ~RecordingDestination();
    RecordingDestination(const RecordingDestination&) = delete;
    RecordingDestination& operator=(const RecordingDestination&) = delete;

    // The bundle to hand to the code under test.
    rebuild::Destination* bundle() { return &bundle_; }

    // Refusal rules (empty = accept).
    std::function<bool(const std::string& statement)> refuse_statement;
    std::function<bool(const std::string& sql)> refuse_open;
    std::function<bool(int record)> refuse_add_new;  // 0-based add_new number
    std::function<bool(const std::string& field, const std::string& text)> refuse_field;
    std::function<bool(const Fields& record)> refuse_update;
    std::function<bool(const std::string& name, const std::string* sql)> refuse_query;
    std::function<bool(const std::string& name, int attributes)> refuse_relation;
    // Relation and saved-query names are unique, as in the engine: creating
    // one under a name already used is refused.
    bool unique_names = true;

    std::vector<Call> calls;
    // Statements handed to execute, accepted or not, in order.
    std::vector<std::string> statements;
    // Records stored by update, per recordset SQL text.
    std::map<std::string, std::vector<Fields>> stored;
    // Saved queries appended: name -> SQL text (empty for an empty query).
    std::map<std::string, std::string> queries;
    // Relations created: name -> "table.field -> foreign_table.foreign_field attributes".
    std::map<std::string, std::string> relations;
    int refused_updates = 0;

    // The calls whose op is `op`, as "arg0|arg1|..." texts.
    std::vector<std::string> calls_of(const std::string& op) const;

  private:
    class Database;
    class Recordset;
    class QueryDef;
    friend class Database;
    friend class Recordset;
    friend class QueryDef;

    // Records a call; throws EngineError when `refused`.
    void record(std::string op, std::vector<std::string> args, bool refused);
    // Runs `forward` and records the call; refused when `refused` or when
    // `forward` throws.
    template <class F>
    void run(std::string op, std::vector<std::string> args, bool refused, F&& forward);

    rebuild::Destination inner_;
    std::unique_ptr<Database> database_;
    std::unique_ptr<Recordset> recordset_;
    std::unique_ptr<QueryDef> query_;
    rebuild::Destination bundle_;
};

}  // namespace tessaly::test
