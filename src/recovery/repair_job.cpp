#include "recovery/repair_job.h"

#include <string>

#include "recovery/catalog_walk.h"
#include "recovery/display_lists.h"
#include "recovery/source_paths.h"

namespace tessaly::recovery {

int repair_source_file(RecoveryState& state, const std::filesystem::path& path,
                       RebuildDispatch& dispatch, reader::OpenError* open_error) {
    std::shared_ptr<reader::JetFile> file = reader::jet_open(path, state, open_error);
    if (!file) return 1;
    if (state.save_active) {
        append_save_line(state.display,
                         std::string(kSelectedFileLine) + normalize_drive_separator(path.string()));
        append_save_line(state.display, kScanningLine);
        append_save_line(state.display, "");
    }
    const int result = walk_catalog(state, file, dispatch);
    reader::jet_close(*file, state);
    return result;
}

}  // namespace tessaly::recovery
