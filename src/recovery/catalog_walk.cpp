#include "recovery/catalog_walk.h"

#include <set>
#include <string>

#include "reader/catalog_list.h"
#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "recovery/catalog_layout.h"
#include "recovery/catalog_scan.h"

namespace tessaly::recovery {
namespace {

constexpr unsigned kDecimalBase = 10;

int find_column(const reader::TableDef& table, std::string_view name, int fallback) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].name == name) return static_cast<int>(i);
    return fallback;
}

struct CatalogColumns {
    int type, id, name;
};

CatalogColumns catalog_columns(const reader::TableDef& table, bool jet4) {
    const CatalogSlots slots = jet4 ? kJet4CatalogSlots : kJet3CatalogSlots;
    return {find_column(table, kCatalogTypeColumn, slots.type),
            find_column(table, kCatalogIdColumn, slots.id),
            find_column(table, kCatalogNameColumn, slots.name)};
}

std::string_view slot_text(const std::vector<std::string>& values, int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= values.size()) return {};
    return values[static_cast<std::size_t>(slot)];
}

}  // namespace

std::uint64_t decode_catalog_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * kDecimalBase + static_cast<unsigned>(text[i] - '0');
    return value;
}

bool is_rebuilt_table(std::int32_t masked_type, std::string_view name) {
    return masked_type == reader::kObjectTypeTable && !name.empty() &&
           !name.starts_with(reader::kSystemObjectPrefix);
}

bool is_rebuilt_query(std::int32_t masked_type, std::string_view name, bool save_active) {
    return masked_type == reader::kObjectTypeQuery && !name.empty() &&
           !name.starts_with(kTemporaryQueryPrefix) && save_active;
}

int walk_catalog(RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                 RebuildDispatch& dispatch) {
    if (!file) return 1;
    reader::CatalogEntry entry{file, std::string(), 0, reader::kCatalogPage};
    std::unique_ptr<reader::TableDef> catalog = reader::read_table_def(entry);
    if (!catalog) return scan_catalog_pages(state, file, dispatch);
    if (!reader::read_columns(*catalog) || catalog->columns.empty()) {
        // Dropped without closing the source: the scan still needs it.
        catalog.reset();
        return scan_catalog_pages(state, file, dispatch);
    }
    const CatalogColumns columns = catalog_columns(*catalog, file->is_jet4());
    reader::rewind_rows(*catalog);

    std::set<std::int64_t> tables_done;
    bool saw_table_row = false;
    bool page_lost = false;
    int result = 1;
    while (true) {
        const int read = reader::next_row(*catalog, state);
        if (read == STOP_CODE) {
            result = STOP_CODE;
            break;
        }
        if (read != 1) break;

        const std::int64_t noted_page = file->current_page;
        const std::uint32_t noted_cursor = file->cursor;
        const std::uint64_t type_value =
            decode_catalog_number(slot_text(state.column_values, columns.type));
        const auto stored_type = static_cast<std::int32_t>(type_value);
        const std::int32_t type = stored_type & reader::kObjectTypeMask;
        const auto page = static_cast<std::int64_t>(
            decode_catalog_number(slot_text(state.column_values, columns.id)) &
            reader::kObjectIdPageMask);
        const std::string name(slot_text(state.column_values, columns.name));
        saw_table_row = saw_table_row || type == reader::kObjectTypeTable;

        int dispatched = 1;
        if (is_rebuilt_table(type, name) && tables_done.insert(page).second) {
            dispatched = dispatch.process_table(state, file, stored_type, page, name);
        } else if (is_rebuilt_query(type, name, state.save_active)) {
            dispatched = dispatch.rebuild_query(state, file, stored_type, page, name);
        }
        if (dispatched == STOP_CODE) {
            result = STOP_CODE;
            break;
        }

        if (noted_page == 0 || noted_page != file->current_page) {
            if (reader::read_page(*file, file->page, noted_page) == 0) {
                page_lost = true;
                break;
            }
        }
        file->current_page = noted_page;
        file->cursor = noted_cursor;
    }

    if (result != STOP_CODE && !page_lost && !saw_table_row) {
        catalog.reset();
        return scan_catalog_pages(state, file, dispatch);
    }
    if (result != STOP_CODE && !page_lost && state.save_active) {
        if (dispatch.rebuild_relationships(state, file) == STOP_CODE) result = STOP_CODE;
    }
    reader::free_table_def(std::move(catalog), state);
    return result;
}

}  // namespace tessaly::recovery
