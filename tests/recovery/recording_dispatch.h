// A RebuildDispatch for driver tests: records every call, can answer
// STOP_CODE at a chosen call, and, like real rebuilding, reads the table's
// definition and rows (moving the file's current page) so that tests see
// whether the driver handed over the right definition page and put its own
// page back afterwards.
#pragma once

#include <string>
#include <vector>

#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "recovery/rebuild_dispatch.h"

namespace tessaly::recovery::test {

class RecordingDispatch : public RebuildDispatch {
  public:
    struct Call {
        std::string kind;  // "table", "query" or "relationships"
        std::int32_t type = 0;
        std::int64_t page = 0;
        std::string name;
        // For tables: the columns and rows found at the page; -1 when the
        // definition could not be read.
        std::int64_t columns = -1;
        std::int64_t rows = 0;
    };

    std::vector<Call> calls;
    // Zero-based index of the call that answers STOP_CODE; -1 for none.
    int stop_at_call = -1;
    // Append a TableSummary for every table read to its end, as the analysis
    // pass does.
    bool summarise = false;

    int process_table(RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                      std::int32_t type, std::int64_t page, std::string_view name) override {
        Call call{"table", type, page, std::string(name)};
        reader::CatalogEntry entry{file, std::string(name), type, page};
        auto table = reader::read_table_def(entry);
        bool stopped = false;
        if (table && reader::read_columns(*table)) {
            call.columns = static_cast<std::int64_t>(table->columns.size());
            reader::rewind_rows(*table);
            int read = 0;
            while ((read = reader::next_row(*table, state)) == 1)
                ++call.rows;
            stopped = read == STOP_CODE;
        }
        if (table) reader::free_table_def(std::move(table), state);
        calls.push_back(call);
        const int result = answer(stopped);
        // Like the analysis pass: only a table read to its end is listed.
        if (summarise && result != STOP_CODE && call.columns > 0)
            state.found_tables.push_back({page, call.name, call.columns, call.rows});
        return result;
    }

    int rebuild_query(RecoveryState&, const std::shared_ptr<reader::JetFile>& file,
                      std::int32_t type, std::int64_t key, std::string_view name) override {
        reader::load_page(*file, 0);  // rebuilding reads the saved-query table elsewhere
        calls.push_back({"query", type, key, std::string(name)});
        return answer(false);
    }

    int rebuild_relationships(RecoveryState&,
                              const std::shared_ptr<reader::JetFile>& file) override {
        reader::load_page(*file, 0);
        calls.push_back({"relationships", 0, 0, {}});
        return answer(false);
    }

    // "kind:name" of every call, for compact expectations.
    std::vector<std::string> summary() const {
        std::vector<std::string> out;
        for (const Call& c : calls)
            out.push_back(c.name.empty() ? c.kind : c.kind + ":" + c.name);
        return out;
    }

  private:
    int answer(bool stopped) const {
        const bool stop_here = static_cast<int>(calls.size()) - 1 == stop_at_call;
        return stopped || stop_here ? STOP_CODE : 1;
    }
};

}  // namespace tessaly::recovery::test
