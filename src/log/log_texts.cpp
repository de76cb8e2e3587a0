#include "log/log_texts.h"

#include "log/activity_log.h"

namespace tessaly::log {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kCrLf2 = "\r\n\r\n";
constexpr std::string_view kCrLf3 = "\r\n\r\n\r\n";

void put(std::string_view text) {
    append_log(text);
}
void put(std::int64_t n) {
    append_log(std::to_string(n));
}

}  // namespace

void log_program_start(const std::tm& now) {
    for (int i = 0; i < 4; ++i)
        put(kCrLf);
    put("********************************* Start Log File ********************************");
    put(kCrLf);
    put(kCrLf);
    put("*************************Tessaly For Microsoft Access************************");
    put(kCrLf);
    put(kCrLf);
    put("Version 1.0");
    put(kCrLf);
    put("Date");
    put("    ");
    put(std::to_string(now.tm_mday) + "\\" + std::to_string(now.tm_mon + 1) + "\\" +
        std::to_string(now.tm_year + 1900));
    put(kCrLf);
    put("Time");
    put("    ");
    put(std::to_string(now.tm_hour) + ":" + std::to_string(now.tm_min) + ":" +
        std::to_string(now.tm_sec));
    put(kCrLf);
    put(kCrLf);
    put("************************* Step 1 :- Source Files Selection ***********************");
    put(kCrLf);
    put(kCrLf);
    put(kCrLf3);
}

void log_source_files(const std::vector<std::string>& paths) {
    put("Source Files :");
    put(kCrLf);
    put("______________");
    put(kCrLf);
    put(kCrLf);
    std::int64_t number = 1;
    for (const auto& path : paths) {
        put(number++);
        put("-");
        put("   ");
        put(path);
        put(kCrLf);
    }
    put(kCrLf3);
    put("************************* Step 2 :- Analysis of Files ***********************");
    put(kCrLf2);
}

void log_analysis_summary(std::string_view source_path, const std::vector<TableCounts>& tables) {
    std::int64_t total_records = 0;
    for (const auto& t : tables)
        total_records += t.records;
    put(kCrLf2);
    put("Selected File For Repairing :   ");
    put(source_path);
    put(kCrLf);
    put("Total Tables :                   ");
    put(static_cast<std::int64_t>(tables.size()));
    put(kCrLf);
    put("Total Records :                  ");
    put(total_records);
    put(kCrLf2);
    for (const auto& t : tables) {
        put("Table Name : ");
        put(t.name);
        put(kCrLf);
        put(t.columns);
        put(" Columns, ");
        put(t.records);
        put(" Records");
        put(kCrLf2);
    }
    put(kCrLf);
}

void log_save_start() {
    put("************************* Step 3 :- File Saving ***********************");
    put(kCrLf2);
}

void log_destination(std::string_view destination_path, bool after_overwrite_confirmed) {
    put(after_overwrite_confirmed ? "Destination File Path:  " : "Destination File Path:     ");
    put(destination_path);
    put(kCrLf2);
}

void log_repair_aborted() {
    put(kCrLf);
    put(kCrLf);
    put("******************* Repairing aborted***********************************");
}

void log_table_rebuilt(std::string_view table_name, std::int64_t columns, std::int64_t rows) {
    put("Repairing Table :           " + std::string(table_name));
    put(kCrLf);
    put("Total Fields Recovered :    " + std::to_string(columns));
    put(kCrLf);
    put("Total Records Recovered :   " + std::to_string(rows));
    put(kCrLf2);
}

void log_completion(bool aborted) {
    put(kCrLf);
    put(kCrLf);
    if (!aborted) put("Repairing Completed successfully");
}

}  // namespace tessaly::log
