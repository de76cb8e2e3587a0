// Every text the program writes to the activity log, grouped by the step that
// writes it. Each function makes the same sequence of append_log calls the
// log has always been written with, so the file reads exactly the same.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::log {

// Program start: banner, version, local date ("d\m\yyyy") and time ("h:m:s",
// 24-hour clock, no leading zeros), and the heading of step 1.
void log_program_start(const std::tm& local_now);

// The list of source files (numbered from 1) and the heading of step 2.
void log_source_files(const std::vector<std::string>& paths);

struct TableCounts {
    std::string name;
    std::int64_t columns = 0;
    std::int64_t records = 0;
};

// The analysis summary of one file: path, totals, then one block per table.
void log_analysis_summary(std::string_view source_path, const std::vector<TableCounts>& tables);

// The heading of the save run (step 3).
void log_save_start();

// The destination of one file, just before it is created. `after_overwrite_confirmed`
// selects the label used after the user confirmed overwriting in the
// current-database mode.
void log_destination(std::string_view destination_path, bool after_overwrite_confirmed);

// A file's job ended with a confirmed stop.
void log_repair_aborted();

// One rebuilt table with its column count and the number of non-empty rows read.
void log_table_rebuilt(std::string_view table_name, std::int64_t columns, std::int64_t rows);

// The completion dialog opened; `aborted` leaves out the success line.
void log_completion(bool aborted);

}  // namespace tessaly::log
