// Steps the run verbs share: the start of the activity log, the signature
// warning, and the local time that names a run.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "cli/terminal.h"

namespace tessaly::cli {

std::tm local_now();

// Writes the program-start banner and the list of sources to the log, as the
// desktop program does when its Repair button is pressed.
void log_run_start(const std::tm& now, const std::vector<std::string>& files);

// One warning line on stderr for each readable file without the Jet
// signature; such files are still tried.
void warn_without_signature(Console& console, const std::string& verb,
                            const std::vector<std::string>& files);

}  // namespace tessaly::cli
