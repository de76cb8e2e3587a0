// The three calls the catalog walk and the raw catalog scan make into table,
// query and relationship rebuilding. The driver only ever reaches rebuilding
// through this interface, so the walk can be exercised with a recording
// implementation and the front ends pass the real one (rebuild_forwarder.h).
//
// Contract shared by the three calls: they run in the mode the run state
// selects (save_active, close_source_on_release), may read any page of `file`
// (the caller puts its own page back afterwards), handle every failure of
// their own, and return STOP_CODE after a confirmed stop, any other value
// otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "recovery/recovery_state.h"

namespace tessaly::reader {
class JetFile;
}

namespace tessaly::recovery {

class RebuildDispatch {
  public:
    virtual ~RebuildDispatch() = default;

    // One pass over the table defined on `definition_page`. `object_type` is
    // the catalog's stored type (before masking); `name` is UTF-8.
    virtual int process_table(RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                              std::int32_t object_type, std::int64_t definition_page,
                              std::string_view name) = 0;

    // Rebuilds the saved query `name` whose catalog key is `key`.
    virtual int rebuild_query(RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                              std::int32_t object_type, std::int64_t key,
                              std::string_view name) = 0;

    // Recreates every relationship of the source.
    virtual int rebuild_relationships(RecoveryState& state,
                                      const std::shared_ptr<reader::JetFile>& file) = 0;
};

}  // namespace tessaly::recovery
