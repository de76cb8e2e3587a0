// The --json reports of the run verbs.
//
// repair: {"files":[{"source","destination","outcome",
//            "tables":[{"name","columns","rows_read","rows_written","rows_refused"}],
//            "queries":[{"name","outcome"}], "relationships":[{"name","outcome"}]}],
//          "stopped":bool}
// analyse: {"files":[{"source","outcome","tables":[{"name","columns","rows_read"}]}],
//           "stopped":bool}
// File outcomes: "repaired", "analysed", "stopped", "not_opened", "declined",
// "destination_not_created", "not_reached" (after a stop). Query and
// relationship outcomes: "created", "fallback", "failed".
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/console_run.h"
#include "recovery/run_report.h"

namespace tessaly::cli {

struct AnalysedFile {
    std::string source;
    std::string outcome;
    std::vector<recovery::TableSummary> tables;
};

void write_repair_json(std::ostream& out, const std::vector<std::string>& sources,
                       const std::vector<ConsoleSaveView::FileEntry>& files,
                       recovery::RunReport& report, bool stopped);

void write_analyse_json(std::ostream& out, const std::vector<AnalysedFile>& files, bool stopped);

}  // namespace tessaly::cli
