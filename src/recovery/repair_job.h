// The per-file repair job: the save run's unit of work for one source path.
//
//   1. Open the source read-only with jet_open, which first closes the
//      sources earlier work left open and decides the Jet version (including
//      its fallback for a header version that is neither 0 nor 1). The
//      source's content, permissions and times are never changed.
//   2. During a save run, announce the file in the progress list:
//      "Selected File For Repairing: " + the path as shown, then
//      "Scanning file for Table[s] ", then an empty line.
//   3. Walk the catalog (catalog_walk.h) and release the file following
//      close_source_on_release.
//
// A missing file, one that cannot be read, or one shorter than a page ends the
// job with 1 and no list lines; `open_error` (when given) tells why.
#pragma once

#include <filesystem>
#include <string_view>

#include "reader/jet_file.h"
#include "recovery/rebuild_dispatch.h"
#include "recovery/recovery_state.h"

namespace tessaly::recovery {

inline constexpr std::string_view kSelectedFileLine = "Selected File For Repairing: ";
inline constexpr std::string_view kScanningLine = "Scanning file for Table[s] ";

// Returns the walk's result (1 or STOP_CODE), or 1 when the file could not be
// opened.
int repair_source_file(RecoveryState& state, const std::filesystem::path& path,
                       RebuildDispatch& dispatch, reader::OpenError* open_error = nullptr);

}  // namespace tessaly::recovery
