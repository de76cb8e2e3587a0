#include "reader/table_def.h"

#include <algorithm>

namespace tessaly::reader {

namespace {

// Type codes at or below this are plausible in a catalog descriptor.
constexpr std::int32_t kMaxPlausibleCatalogType = 20;
// Page holding the catalog's definition.
constexpr std::int64_t kCatalogDefinitionPage = 2;
// Row start offsets above this are damaged (largest offset in a Jet 4 page).
constexpr std::int32_t kMaxRowStart = 4095;

// Keeps at most `max_chars` UTF-8 characters of `text`.
void cut_utf8(std::string& text, std::size_t max_chars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == max_chars) {
                text.resize(i);
                return;
            }
            ++chars;
        }
    }
}

// Copies one map row named by (row byte, u24 page) at `pointer_offset` of the
// definition page. Answers false when the row's bounds are damaged; `require_page`
// makes an unreadable map page a failure too. `copy` receives the row's bytes.
bool read_map_row(JetFile& file, std::int64_t pointer_offset, bool require_page,
                  std::vector<std::uint8_t>* copy) {
    const JetFormat& f = *file.format;
    std::int32_t row = get_u8(file, pointer_offset);
    std::int32_t map_page = get_u24(file, pointer_offset + 1);
    if (row < 0 || map_page < 0) return false;
    if (load_alt_page(file, map_page) == 0 && require_page) return false;
    swap_page_buffers(file);
    bool ok = false;
    std::int32_t start = get_u16(file, f.data_row_count_offset + 2 + 2 * std::int64_t{row});
    if (start >= 0 && start <= kMaxRowStart && start < file.page_size()) {
        std::int64_t end = std::min<std::int64_t>(row_end(file, row), file.page_size() - 1);
        std::int64_t length = end - start + 1;
        if (copy) {
            ok = length > 0 && length <= kMaxUsageMapLength;
            if (ok) copy->assign(file.page.begin() + start, file.page.begin() + start + length);
        } else {
            ok = length >= 0;
        }
    }
    swap_page_buffers(file);
    return ok;
}

}  // namespace

DefinitionCursor::DefinitionCursor(JetFile& file, std::int64_t position)
    : file_(file), position_(position) {}

bool DefinitionCursor::next_definition_page() {
    if (ended_) return false;
    std::int32_t next = get_u32(file_, kDefinitionNextPageOffset);
    if (next <= 0) {
        ended_ = true;
        return false;
    }
    PageBuffer& page = file_.page;
    if (next != file_.current_page && read_page(file_, page, next) == 0) {
        ended_ = true;
        return false;
    }
    file_.current_page = next;
    file_.cursor = 0;
    position_ += kDefinitionContinueOffset - file_.page_size();
    return true;
}

bool DefinitionCursor::ensure_byte() {
    while (!ended_ && position_ >= file_.page_size())
        next_definition_page();
    return !ended_ && position_ >= 0;
}

std::optional<std::uint8_t> DefinitionCursor::read_u8() {
    if (!ensure_byte()) return std::nullopt;
    return file_.page[static_cast<std::size_t>(position_++)];
}

std::optional<std::uint16_t> DefinitionCursor::read_u16() {
    auto low = read_u8();
    auto high = read_u8();
    if (!low || !high) return std::nullopt;
    return static_cast<std::uint16_t>(*low | (*high << 8));
}

bool DefinitionCursor::read_definition_bytes(std::size_t count, std::vector<std::uint8_t>& out) {
    out.clear();
    out.reserve(count);
    while (out.size() < count) {
        if (!ensure_byte()) return false;
        std::size_t here = std::min<std::size_t>(
            count - out.size(), static_cast<std::size_t>(file_.page_size() - position_));
        out.insert(out.end(), file_.page.begin() + position_,
                   file_.page.begin() + position_ + here);
        position_ += static_cast<std::int64_t>(here);
    }
    return true;
}

bool DefinitionCursor::skip(std::int64_t count) {
    if (count < 0) return false;
    while (count > 0) {
        if (!ensure_byte()) return false;
        std::int64_t here = std::min(count, file_.page_size() - position_);
        position_ += here;
        count -= here;
    }
    return !ended_;
}

std::int64_t row_end(JetFile& file, std::int32_t row) {
    if (row == 0) return file.page_size() - 1;
    std::int32_t entry = get_u16(file, file.format->data_row_count_offset + 2 * std::int64_t{row});
    return static_cast<std::int64_t>(static_cast<std::uint32_t>(entry) & kRowStartMask) - 1;
}

std::unique_ptr<TableDef> read_table_def(const CatalogEntry& entry) {
    if (!entry.file) return nullptr;
    JetFile& file = *entry.file;
    const JetFormat& f = *file.format;
    auto table = std::make_unique<TableDef>();
    table->entry = entry;
    table->name = entry.name;

    load_page(file, entry.definition_page);
    if (file.is_jet4()) {
        // The length covers every page of the definition, so it may exceed one page.
        std::int32_t length = get_u32(file, kJet4DefinitionLengthOffset);
        if (length < 1 || length > kJet4DefinitionLengthMax) return nullptr;
    }
    table->row_count = get_u32(file, f.tdef_row_count_offset);
    table->column_count = get_u16(file, f.tdef_column_count_offset);
    table->index_count = get_u32(file, f.tdef_index_count_offset);
    table->real_index_count = get_u32(file, f.tdef_real_index_count_offset);

    if (!read_map_row(file, f.tdef_usage_map_offset, true, &table->usage_map)) return nullptr;
    if (!read_map_row(file, f.tdef_free_map_offset, false, nullptr)) return nullptr;
    return table;
}

bool read_columns(TableDef& table) {
    table.columns.clear();
    JetFile& file = table.file();
    const JetFormat& f = *file.format;
    const std::int64_t start =
        std::int64_t{f.real_index_entry_size} * table.real_index_count + f.tdef_index_start_offset;
    if (start > kMaxRowStart || start < f.tdef_index_start_offset) return false;

    DefinitionCursor cursor(file, start);
    const std::int32_t stored = std::max(table.column_count, 0);
    const std::int32_t kept = std::min(stored, kMaxColumns);
    std::vector<ColumnDef> columns;
    columns.reserve(static_cast<std::size_t>(kept));
    std::vector<std::uint8_t> d;
    for (std::int32_t c = 0; c < stored; ++c) {
        if (!cursor.read_definition_bytes(f.column_entry_size, d)) return false;
        if (c >= kept) continue;
        ByteView v(d.data(), d.size());
        ColumnDef col;
        col.type = *v.u8(kColumnTypeOffset);
        col.size = col.type == 1 ? 0 : *v.u16(f.column_size_offset);
        col.is_fixed = (*v.u8(f.column_flags_offset) & kColumnFixedFlag) != 0;
        col.var_index = *v.u16(f.column_var_index_offset);
        col.number = *v.u8(f.column_number_offset);
        if (col.type == 16) {
            col.precision = *v.u8(kColumnPrecisionOffset);
            col.scale = *v.u8(kColumnScaleOffset);
        }
        col.fixed_offset = *v.u16(f.column_fixed_offset_offset);
        if (file.current_page == kCatalogDefinitionPage && col.fixed_offset > file.page_size() &&
            col.type > kMaxPlausibleCatalogType)
            return false;
        columns.push_back(std::move(col));
    }

    // Names, one per stored descriptor; a damaged name area repairs the rest.
    bool repair = false;
    std::vector<std::uint8_t> bytes;
    for (std::int32_t c = 0; c < stored; ++c) {
        std::string name;
        if (!repair) {
            std::optional<std::uint32_t> length;
            if (file.is_jet4()) {
                length = cursor.read_u16();
                if (length && *length > static_cast<std::uint32_t>(kMaxJet4NameLength))
                    length.reset();
            } else {
                length = cursor.read_u8();
            }
            if (!length || !cursor.read_definition_bytes(*length, bytes)) {
                repair = true;
            } else if (c < kept) {
                ByteView text(bytes.data(), bytes.size());
                if (file.is_jet4())
                    decode_text(text, name);
                else
                    file.decode_8bit_text(text, name);
                cut_utf8(name, kMaxColumnNameChars);
            }
        }
        if (c >= kept) continue;
        columns[static_cast<std::size_t>(c)].name =
            repair ? std::string(kRepairedFieldName) : std::move(name);
    }
    if (repair) {
        table.index_count = 0;
        table.real_index_count = 0;
    }
    table.names_end = cursor.position();
    table.names_end_page = file.current_page;
    if (table.names_end < 0 || table.names_end > kMaxRowStart) {
        table.index_count = 0;
        table.real_index_count = 0;
    }
    table.columns = std::move(columns);
    return true;
}

void free_table_def(std::unique_ptr<TableDef> table, const recovery::RecoveryState& state) {
    if (table && table->entry.file && state.close_source_on_release) table->entry.file->close();
}

}  // namespace tessaly::reader
