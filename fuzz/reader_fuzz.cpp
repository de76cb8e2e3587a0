// Feeds arbitrary bytes to the reader's open-and-read-every-table path: the
// catalog's tables, then every page read as if it held a table definition.
// Any crash, sanitizer report, leak or hang is a finding.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "reader/reader.h"

namespace {

using namespace tessaly;

// Bounds per input so that one input stays fast.
constexpr std::size_t kMaxTables = 48;
constexpr std::int64_t kMaxDefinitionPages = 48;
constexpr std::size_t kLongValueLimit = 1 << 20;

void read_everything(const std::shared_ptr<reader::JetFile>& file, recovery::RecoveryState& state,
                     std::int64_t page, std::int32_t type) {
    reader::CatalogEntry entry{file, "T", type, page};
    auto table = reader::read_table_def(entry);
    if (!table || !reader::read_columns(*table)) return;
    reader::read_indexes(*table);
    reader::rewind_rows(*table);
    std::size_t bytes = 0;
    while (reader::next_row(*table, state) == 1) {
        for (const auto& v : state.column_values)
            bytes += v.size();
    }
    (void)bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    recovery::RecoveryState state;
    auto file = reader::jet_open_bytes(std::vector<std::uint8_t>(data, data + size), state);
    if (!file) return 0;
    file->limits.max_long_value_bytes = kLongValueLimit;

    std::vector<reader::CatalogObject> objects;
    reader::list_catalog(file, state, objects);
    std::size_t tables = 0;
    for (const auto& object : objects) {
        if (object.type != reader::kObjectTypeTable) continue;
        if (++tables > kMaxTables) break;
        read_everything(file, state, object.definition_page, object.stored_type);
    }
    const std::int64_t pages = static_cast<std::int64_t>(size) / file->page_size();
    for (std::int64_t p = 0; p < pages && p < kMaxDefinitionPages; ++p)
        read_everything(file, state, p, 1);
    return 0;
}
