// The production RebuildDispatch: hands every call to table, query and
// relationship rebuilding (src/rebuild) unchanged.
#pragma once

#include "recovery/rebuild_dispatch.h"

namespace tessaly::recovery {

class RebuildForwarder : public RebuildDispatch {
  public:
    int process_table(RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                      std::int32_t object_type, std::int64_t definition_page,
                      std::string_view name) override;
    int rebuild_query(RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                      std::int32_t object_type, std::int64_t key, std::string_view name) override;
    int rebuild_relationships(RecoveryState& state,
                              const std::shared_ptr<reader::JetFile>& file) override;
};

}  // namespace tessaly::recovery
