#include "rebuild/table_pass.h"

#include <optional>
#include <string>

#include "log/log_texts.h"
#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "reader/value_render.h"
#include "rebuild/currency_symbol.h"
#include "rebuild/destination.h"
#include "rebuild/schema_rebuild.h"
#include "recovery/display_lists.h"

namespace tessaly::rebuild {
namespace {

constexpr std::string_view kSelectAllFrom = "SELECT * FROM [";
constexpr std::string_view kCloseBracket = "]";
constexpr int kRecordsetOptions = 0;
// Shown for an empty money value after the currency symbol.
constexpr std::string_view kEmptyMoneyText = "0";

bool row_is_empty(const std::vector<std::string>& values) {
    for (const std::string& v : values)
        if (!v.empty()) return false;
    return true;
}

// The recordset of a save pass: open from the schema step to the end of the
// pass, or never open when the destination refused it.
class RecordWriter {
  public:
    RecordWriter(DestRecordset* recordset, std::string_view table_name) : recordset_(recordset) {
        if (!recordset_) return;
        try {
            // A recordset left open by an earlier user is closed first.
            if (recordset_->is_open()) recordset_->close();
            recordset_->open(
                kDefaultRecordsetType,
                std::string(kSelectAllFrom) + std::string(table_name) + std::string(kCloseBracket),
                kRecordsetOptions);
        } catch (const jetdb::EngineError&) {
            // The table could not be opened: its rows are only counted.
        }
        open_ = recordset_->is_open();
    }

    // Adds one record; every failure stays inside its field or record.
    void add(const std::vector<reader::ColumnDef>& columns,
             const std::vector<std::string>& values) {
        if (!open_) return;
        try {
            recordset_->add_new();
        } catch (const jetdb::EngineError&) {
            return;  // this row only
        }
        for (std::size_t i = 0; i < columns.size() && i < values.size(); ++i) {
            try {
                recordset_->set_field_value(columns[i].name, values[i]);
            } catch (const jetdb::EngineError&) {
                // The field stays unset.
            }
        }
        try {
            recordset_->update();
        } catch (const jetdb::EngineError&) {
            // The record is not stored.
        }
    }

    void close() {
        if (!recordset_) return;
        try {
            if (recordset_->is_open()) recordset_->close();
        } catch (const jetdb::EngineError&) {
        }
        open_ = false;
    }

  private:
    DestRecordset* recordset_;
    bool open_ = false;
};

void write_save_summary(recovery::RecoveryState& state, std::string_view table_name,
                        std::int64_t columns, std::int64_t records) {
    recovery::DisplaySurfaces& display = state.display;
    recovery::append_save_line(display, std::string(kListTableLabel) + std::string(table_name));
    recovery::append_save_line(display, std::string(kListFieldsLabel) + std::to_string(columns));
    recovery::append_save_line(display, std::string(kListRecordsLabel) + std::to_string(records));
    recovery::append_save_line(display, "");
    log::log_table_rebuilt(table_name, columns, records);
}

}  // namespace

PassMode pass_mode(const recovery::RecoveryState& state) {
    if (state.save_active) return PassMode::Save;
    if (state.close_source_on_release) return PassMode::PreviewTable;
    return PassMode::Analysis;
}

int process_table(recovery::RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                  std::int32_t object_type, std::int64_t definition_page,
                  std::string_view table_name) {
    if (!file) return 1;
    const PassMode mode = pass_mode(state);
    file->table_record_count = 0;

    reader::CatalogEntry entry{file, std::string(table_name), object_type, definition_page};
    std::unique_ptr<reader::TableDef> table = reader::read_table_def(entry);
    if (!table) {
        reader::jet_close(*file, state);
        return 1;
    }
    if (!reader::read_columns(*table) || table->columns.empty()) {
        reader::free_table_def(std::move(table), state);
        return 1;
    }
    const std::vector<reader::ColumnDef>& columns = table->columns;

    table->primary_key_count = 0;
    if (mode == PassMode::Save) mark_table_keys(*table, definition_page);
    reader::rewind_rows(*table);

    if (mode == PassMode::PreviewTable) {
        for (std::size_t i = 0; i < columns.size(); ++i)
            recovery::add_preview_column(state.display, columns[i].name, static_cast<int>(i));
    }

    const Destination* destination = state.destination;
    std::optional<RecordWriter> writer;
    if (mode == PassMode::Save) {
        rebuild_schema(destination ? destination->destDatabase : nullptr, table_name, *table,
                       file->is_jet4());
        writer.emplace(destination ? destination->destRecordset : nullptr, table_name);
    }

    std::optional<std::string> currency;  // looked up at the first money cell
    int result = 1;
    bool completed = false;
    while (true) {
        const int read = reader::next_row(*table, state);
        if (read == recovery::STOP_CODE) {
            result = recovery::STOP_CODE;
            break;
        }
        if (read != 1) {
            completed = true;
            break;
        }
        const std::vector<std::string>& values = state.column_values;
        if (row_is_empty(values)) continue;

        if (mode == PassMode::PreviewTable) {
            const auto line = static_cast<std::size_t>(file->table_record_count);
            for (std::size_t i = 0; i < columns.size() && i < values.size(); ++i) {
                if (columns[i].type == reader::kTypeMoney) {
                    if (!currency) currency = user_currency_symbol();
                    const std::string shown =
                        *currency + (values[i].empty() ? std::string(kEmptyMoneyText) : values[i]);
                    recovery::set_preview_cell(state.display, static_cast<int>(i), line, shown);
                } else {
                    recovery::set_preview_cell(state.display, static_cast<int>(i), line, values[i]);
                }
            }
        } else if (mode == PassMode::Save) {
            writer->add(columns, values);
        }
        ++file->table_record_count;
    }

    const std::int64_t column_count = static_cast<std::int64_t>(columns.size());
    const std::int64_t record_count = file->table_record_count;
    if (mode == PassMode::Analysis && completed) {
        state.found_tables.push_back(
            {definition_page, std::string(table_name), column_count, record_count});
    }
    reader::free_table_def(std::move(table), state);
    if (writer) writer->close();
    if (mode == PassMode::Save) write_save_summary(state, table_name, column_count, record_count);
    return result;
}

}  // namespace tessaly::rebuild
