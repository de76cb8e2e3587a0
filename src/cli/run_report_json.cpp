#include "cli/run_report_json.h"

#include "cli/json_writer.h"

namespace tessaly::cli {
namespace {

const char* file_outcome(recovery::SaveFileStatus status) {
    switch (status) {
        case recovery::SaveFileStatus::Repaired:
            return "repaired";
        case recovery::SaveFileStatus::Stopped:
            return "stopped";
        case recovery::SaveFileStatus::Declined:
            return "declined";
        case recovery::SaveFileStatus::SourceNotOpened:
            return "not_opened";
        case recovery::SaveFileStatus::NotCreated:
            return "destination_not_created";
    }
    return "";
}

const char* object_outcome(recovery::ObjectOutcome outcome) {
    switch (outcome) {
        case recovery::ObjectOutcome::Created:
            return "created";
        case recovery::ObjectOutcome::Fallback:
            return "fallback";
        case recovery::ObjectOutcome::Failed:
            break;
    }
    return "failed";
}

void write_objects(JsonWriter& json, const char* name,
                   const std::vector<recovery::ObjectReport>& objects) {
    json.key(name);
    json.begin_array();
    for (const auto& o : objects) {
        json.begin_object();
        json.key("name");
        json.value(o.name);
        json.key("outcome");
        json.value(object_outcome(o.outcome));
        json.end_object();
    }
    json.end_array();
}

}  // namespace

void write_repair_json(std::ostream& out, const std::vector<std::string>& sources,
                       const std::vector<ConsoleSaveView::FileEntry>& files,
                       recovery::RunReport& report, bool stopped) {
    JsonWriter json(out);
    json.begin_object();
    json.key("files");
    json.begin_array();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const ConsoleSaveView::FileEntry* entry = nullptr;
        for (const auto& f : files)
            if (f.outcome.index == static_cast<int>(i)) entry = &f;
        json.begin_object();
        json.key("source");
        json.value(entry ? entry->outcome.source : sources[i]);
        json.key("destination");
        json.value(entry ? entry->outcome.destination.string() : std::string());
        json.key("outcome");
        json.value(entry ? file_outcome(entry->outcome.status) : "not_reached");
        const recovery::FileReport empty;
        const recovery::FileReport& r =
            entry && entry->report >= 0 &&
                    static_cast<std::size_t>(entry->report) < report.files().size()
                ? report.files()[static_cast<std::size_t>(entry->report)]
                : empty;
        json.key("tables");
        json.begin_array();
        for (const auto& t : r.tables) {
            json.begin_object();
            json.key("name");
            json.value(t.name);
            json.key("columns");
            json.value(t.columns);
            json.key("rows_read");
            json.value(t.rows_read);
            json.key("rows_written");
            json.value(t.rows_written);
            json.key("rows_refused");
            json.value(t.rows_refused);
            json.end_object();
        }
        json.end_array();
        write_objects(json, "queries", r.queries);
        write_objects(json, "relationships", r.relationships);
        json.end_object();
    }
    json.end_array();
    json.key("stopped");
    json.value(stopped);
    json.end_object();
    out << '\n';
}

void write_analyse_json(std::ostream& out, const std::vector<AnalysedFile>& files, bool stopped) {
    JsonWriter json(out);
    json.begin_object();
    json.key("files");
    json.begin_array();
    for (const auto& f : files) {
        json.begin_object();
        json.key("source");
        json.value(f.source);
        json.key("outcome");
        json.value(f.outcome);
        json.key("tables");
        json.begin_array();
        for (const auto& t : f.tables) {
            json.begin_object();
            json.key("name");
            json.value(t.name);
            json.key("columns");
            json.value(t.column_count);
            json.key("rows_read");
            json.value(t.record_count);
            json.end_object();
        }
        json.end_array();
        json.end_object();
    }
    json.end_array();
    json.key("stopped");
    json.value(stopped);
    json.end_object();
    out << '\n';
}

}  // namespace tessaly::cli
