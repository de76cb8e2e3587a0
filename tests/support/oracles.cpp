#include "support/oracles.h"

#include <cctype>
#include <sstream>

#include "support/corpus.h"

namespace tessaly::test {
namespace {

std::filesystem::path mdb_reader_dir() {
    return std::filesystem::path(TESSALY_SOURCE_DIR) / "build-tools" / "oracle";
}

std::filesystem::path mdb_reader_script() {
    return std::filesystem::path(TESSALY_SOURCE_DIR) / "tests" / "support" / "mdb_reader_dump.mjs";
}

// A libmdb page dump line: an offset of 4 to 8 hex digits, a colon or blank,
// then at least four blank-separated hex byte pairs. Text that merely starts
// with digits ("2100 Paul Revere Blvd.") does not match.
bool is_hex_dump_line(const std::string& line) {
    auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    std::size_t i = 0;
    while (i < line.size() && hex(line[i]))
        ++i;
    if (i < 4 || i > 8 || i >= line.size() || (line[i] != ' ' && line[i] != ':')) return false;
    int pairs = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == ':'))
            ++i;
        if (i + 1 < line.size() && hex(line[i]) && hex(line[i + 1]) &&
            (i + 2 == line.size() || line[i + 2] == ' ')) {
            ++pairs;
            i += 2;
        } else {
            break;
        }
    }
    return pairs >= 4;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

}  // namespace

bool parse_csv(const std::string& text, CsvTable& out) {
    out = {};
    std::vector<std::optional<std::string>> record;
    std::string field;
    bool quoted = false;     // the current field was quoted
    bool in_quotes = false;  // inside a quoted section
    bool any = false;        // the current record has content
    bool first = true;
    auto end_field = [&] {
        if (quoted || !field.empty())
            record.emplace_back(field);
        else
            record.emplace_back(std::nullopt);
        field.clear();
        quoted = false;
    };
    auto end_record = [&] {
        end_field();
        if (first) {
            for (auto& f : record)
                out.header.push_back(f.value_or(""));
            first = false;
        } else {
            out.rows.push_back(std::move(record));
        }
        record.clear();
        any = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (in_quotes) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field.push_back('"');
                    ++i;
                } else {
                    in_quotes = false;
                }
            } else {
                field.push_back(c);
            }
            continue;
        }
        if (c == '"') {
            if (!field.empty()) return false;
            in_quotes = quoted = any = true;
        } else if (c == ',') {
            end_field();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (any || !field.empty() || !record.empty()) end_record();
        } else {
            field.push_back(c);
            any = true;
        }
    }
    if (in_quotes) return false;
    if (any || !field.empty() || !record.empty()) end_record();
    return true;
}

std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q.push_back(c);
    }
    return q + "'";
}

std::optional<std::vector<std::string>> mdbtools_tables(const std::filesystem::path& file) {
    if (!have_program("mdb-tables")) return std::nullopt;
    std::string out;
    if (run_capture("mdb-tables -1 " + shell_quote(file.string()) + " 2>/dev/null", out) != 0)
        return std::nullopt;
    return split_lines(out);
}

std::optional<CsvTable> mdbtools_export(const std::filesystem::path& file, const std::string& table,
                                        const std::string& extra) {
    if (!have_program("mdb-export")) return std::nullopt;
    std::string out;
    std::string cmd = "mdb-export -D '%m/%d/%Y %H:%M:%S' -T '%m/%d/%Y %H:%M:%S' -b hex " + extra +
                      " " + shell_quote(file.string()) + " " + shell_quote(table) + " 2>/dev/null";
    if (run_capture(cmd, out) != 0) return std::nullopt;
    std::string kept;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (is_hex_dump_line(line)) continue;
        kept += line;
        kept += '\n';
    }
    CsvTable t;
    if (!parse_csv(kept, t)) return std::nullopt;
    return t;
}

bool have_mdb_reader() {
    return have_program("node") &&
           std::filesystem::exists(mdb_reader_dir() / "node_modules" / "mdb-reader");
}

namespace {
std::optional<std::string> run_mdb_reader(const std::filesystem::path& file,
                                          const std::string* table) {
    if (!have_mdb_reader()) return std::nullopt;
    std::string cmd = "MDB_READER_DIR=" + shell_quote(mdb_reader_dir().string()) + " node " +
                      shell_quote(mdb_reader_script().string()) + " " + shell_quote(file.string());
    if (table) cmd += " " + shell_quote(*table);
    cmd += " 2>/dev/null";
    std::string out;
    if (run_capture(cmd, out) != 0) return std::nullopt;
    return out;
}
}  // namespace

std::optional<std::vector<std::string>> mdb_reader_tables(const std::filesystem::path& file) {
    auto out = run_mdb_reader(file, nullptr);
    if (!out) return std::nullopt;
    return split_lines(*out);
}

std::optional<CsvTable> mdb_reader_export(const std::filesystem::path& file,
                                          const std::string& table) {
    auto out = run_mdb_reader(file, &table);
    if (!out) return std::nullopt;
    CsvTable t;
    if (!parse_csv(*out, t)) return std::nullopt;
    return t;
}

}  // namespace tessaly::test
