// `tessaly dump FILE [TABLE]`: shows what the reader reads, for checking it
// from outside. Output formats are stable:
//   dump FILE        "JET3" or "JET4", then per user table of the catalog, in
//                    catalog order: name, TAB, column count (LF line ends).
//                    Tables are found by the recovery driver's catalog walk,
//                    and by its raw scan when the catalog cannot be read.
//   dump FILE TABLE  the table as CSV (RFC 4180: CRLF line ends, fields with
//                    a comma, quote, CR or LF quoted, quotes doubled), a header
//                    of column names, then every row the reader delivers
#include <ostream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "reader/catalog_list.h"
#include "reader/jet_file.h"
#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "recovery/catalog_walk.h"
#include "recovery/rebuild_dispatch.h"
#include "recovery/recovery_state.h"

namespace tessaly::cli {

namespace {

constexpr const char* kDumpHelp =
    "Usage: tessaly dump FILE [TABLE]\n"
    "\n"
    "Reads a Jet 3 or Jet 4 database (.mdb) with Tessaly's own damaged-file reader,\n"
    "without changing it.\n"
    "\n"
    "  tessaly dump FILE         prints JET3 or JET4, then one line per user table:\n"
    "                            the table name, a TAB, its column count (tables are\n"
    "                            found in the catalog, or on the raw pages when the\n"
    "                            catalog cannot be read)\n"
    "  tessaly dump FILE TABLE   prints the table as CSV (RFC 4180, UTF-8): a header of\n"
    "                            column names, then every row the reader can read;\n"
    "                            deleted rows that are still readable are included\n"
    "\n"
    "Exit status: 0 on success, 1 when the table's definition cannot be read,\n"
    "2 for a missing or unopenable file or an unknown table.\n";

void write_csv_field(std::ostream& out, const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        out << value;
        return;
    }
    out << '"';
    for (char c : value) {
        if (c == '"') out << '"';
        out << c;
    }
    out << '"';
}

void write_csv_line(std::ostream& out, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out << ',';
        write_csv_field(out, fields[i]);
    }
    out << "\r\n";
}

const char* open_error_text(reader::OpenError e) {
    switch (e) {
        case reader::OpenError::NotFound:
            return "no such file";
        case reader::OpenError::TooShort:
            return "too short to be a Jet database";
        default:
            return "cannot be opened for reading";
    }
}

bool same_name_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Collects the tables the catalog walk hands over, without reading them.
class TableListing : public recovery::RebuildDispatch {
  public:
    std::vector<reader::CatalogObject> tables;
    int process_table(recovery::RecoveryState&, const std::shared_ptr<reader::JetFile>&,
                      std::int32_t object_type, std::int64_t definition_page,
                      std::string_view name) override {
        tables.push_back({object_type & reader::kObjectTypeMask, object_type, definition_page,
                          std::string(name)});
        return 1;
    }
    int rebuild_query(recovery::RecoveryState&, const std::shared_ptr<reader::JetFile>&,
                      std::int32_t, std::int64_t, std::string_view) override {
        return 1;
    }
    int rebuild_relationships(recovery::RecoveryState&,
                              const std::shared_ptr<reader::JetFile>&) override {
        return 1;
    }
};

const reader::CatalogObject* find_table(const std::vector<reader::CatalogObject>& tables,
                                        const std::string& name) {
    for (const auto& t : tables)
        if (t.name == name) return &t;
    for (const auto& t : tables)
        if (same_name_ignoring_case(t.name, name)) return &t;
    return nullptr;
}

std::unique_ptr<reader::TableDef> read_table(const std::shared_ptr<reader::JetFile>& file,
                                             const reader::CatalogObject& object) {
    reader::CatalogEntry entry{file, object.name, object.stored_type, object.definition_page};
    auto table = reader::read_table_def(entry);
    if (!table || !reader::read_columns(*table)) return nullptr;
    return table;
}

}  // namespace

int run_dump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            out << kDumpHelp;
            return kExitOk;
        }
    }
    if (args.empty() || args.size() > 2) {
        err << "tessaly dump: expected FILE [TABLE] (see tessaly dump --help)\n";
        return kExitUsage;
    }
    recovery::RecoveryState state;
    reader::OpenError why = reader::OpenError::None;
    auto file = reader::jet_open(args[0], state, &why);
    if (!file) {
        err << "tessaly dump: " << args[0] << ": " << open_error_text(why) << "\n";
        return kExitUsage;
    }
    TableListing listing;
    recovery::walk_catalog(state, file, listing);
    const std::vector<reader::CatalogObject>& objects = listing.tables;

    if (args.size() == 1) {
        out << (file->is_jet4() ? "JET4" : "JET3") << "\n";
        for (const auto& o : objects) {
            auto table = read_table(file, o);
            out << o.name << '\t' << (table ? table->columns.size() : 0) << "\n";
        }
        return kExitOk;
    }

    const reader::CatalogObject* object = find_table(objects, args[1]);
    if (!object) {
        err << "tessaly dump: " << args[0] << ": no user table named '" << args[1] << "'\n";
        return kExitUsage;
    }
    auto table = read_table(file, *object);
    if (!table) {
        err << "tessaly dump: " << args[0] << ": the definition of table '" << object->name
            << "' cannot be read\n";
        return kExitFailed;
    }
    std::vector<std::string> header;
    for (const auto& c : table->columns)
        header.push_back(c.name);
    write_csv_line(out, header);
    reader::rewind_rows(*table);
    while (reader::next_row(*table, state) == 1)
        write_csv_line(out, state.column_values);
    return kExitOk;
}

}  // namespace tessaly::cli
