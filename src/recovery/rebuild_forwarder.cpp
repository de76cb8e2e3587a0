#include "recovery/rebuild_forwarder.h"

#include "rebuild/query_rebuild.h"
#include "rebuild/relationship_rebuild.h"
#include "rebuild/table_pass.h"

namespace tessaly::recovery {

int RebuildForwarder::process_table(RecoveryState& state,
                                    const std::shared_ptr<reader::JetFile>& file,
                                    std::int32_t object_type, std::int64_t definition_page,
                                    std::string_view name) {
    return rebuild::process_table(state, file, object_type, definition_page, name);
}

int RebuildForwarder::rebuild_query(RecoveryState& state,
                                    const std::shared_ptr<reader::JetFile>& file,
                                    std::int32_t object_type, std::int64_t key,
                                    std::string_view name) {
    return rebuild::rebuild_query(state, file, object_type, key, name);
}

int RebuildForwarder::rebuild_relationships(RecoveryState& state,
                                            const std::shared_ptr<reader::JetFile>& file) {
    return rebuild::rebuild_relationships(state, file);
}

}  // namespace tessaly::recovery
