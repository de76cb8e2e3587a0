#include "reader/row_reader.h"

#include <algorithm>
#include <array>

#include "reader/value_render.h"
#include "recovery/stop_control.h"

namespace tessaly::reader {

namespace {

constexpr std::int64_t kBitsPerByte = 8;
constexpr std::int64_t kJet3JumpSpan = 256;

bool is_data_page(const JetFile& file) {
    const auto& p = file.page;
    if (p[0] != kDataPageMarker || p[1] != kDataPageMarker) return false;
    return !std::equal(kLongValueMarker.begin(), kLongValueMarker.end(),
                       p.begin() + kPageOwnerOffset,
                       [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

bool bit_set(ByteView bitmap, std::int64_t bit) {
    auto byte = bitmap.u8(bit / kBitsPerByte);
    return byte && ((*byte >> (bit % kBitsPerByte)) & 1) != 0;
}

// First set bit at or after `from` and below `count`, or -1.
std::int64_t first_set_bit(ByteView bitmap, std::int64_t from, std::int64_t count) {
    std::int64_t i = from;
    while (i < count) {
        if (i % kBitsPerByte == 0) {
            auto byte = bitmap.u8(i / kBitsPerByte);
            if (!byte) return -1;
            if (*byte == 0) {
                i += kBitsPerByte;
                continue;
            }
        }
        if (bit_set(bitmap, i)) return i;
        ++i;
    }
    return -1;
}

// Fills `offsets` with the variable-column offsets j = 0 .. min(count, needed)
// of one row. False when the Jet 3 offset area lies outside the page (every
// variable-length column of the row is then null).
bool read_var_offsets(const JetFile& file, std::int64_t start, std::int64_t end,
                      std::int64_t mask_bytes, std::int64_t count, std::int64_t needed,
                      std::vector<std::int64_t>& offsets) {
    const PageBuffer& p = file.page;
    const std::int64_t last = std::min(count, needed);
    offsets.clear();
    if (file.is_jet4()) {
        for (std::int64_t j = 0; j <= last; ++j)
            offsets.push_back(buf_u16(p, end - mask_bytes - 3 - 2 * j));
        return true;
    }
    std::int64_t jumps = (end - start) / kJet3JumpSpan;
    const std::int64_t top = end - jumps - mask_bytes - 1;
    if ((top - start - count) / kJet3JumpSpan < jumps) --jumps;
    if (top < 0 || top >= file.page_size()) return false;
    std::int64_t used = 0;
    for (std::int64_t j = 0; j <= last; ++j) {
        while (used < jumps && buf_u8(p, end - mask_bytes - 1 - used) == j)
            ++used;
        offsets.push_back(kJet3JumpSpan * used + buf_u8(p, top - j));
    }
    return true;
}

}  // namespace

void rewind_rows(TableDef& table) {
    table.rows_started = false;
    table.data_page = 0;
    table.row_index = 0;
}

std::int64_t usage_map_next(TableDef& table, std::int64_t after) {
    const auto& map = table.usage_map;
    if (map.empty() || after < 0) return 0;
    ByteView view(map.data(), map.size());
    JetFile& file = table.file();
    const std::int64_t length = static_cast<std::int64_t>(map.size());
    if (map[0] == kUsageMapInline) {
        if (length <= kInlineMapBitmapOffset) return 0;
        const std::int64_t first = *view.u32(kInlineMapFirstPageOffset);
        const std::int64_t from = after >= first ? after - first + 1 : 0;
        const std::int64_t bits = (length - kInlineMapBitmapOffset) * kBitsPerByte;
        std::int64_t bit = first_set_bit(
            view.sub(kInlineMapBitmapOffset, length - kInlineMapBitmapOffset), from, bits);
        return bit < 0 ? 0 : first + bit;
    }
    if (map[0] == kUsageMapReference) {
        const std::int64_t span = file.page_size() * kBitsPerByte - kMapPageHeaderBits;
        const std::int64_t map_pages = (length - kReferenceMapPagesOffset) / kReferenceMapEntrySize;
        std::int64_t m = (after + 1) / span;
        std::int64_t b = (after + 1) % span;
        ByteView bitmap(file.alt_page.data() + kMapPageBitmapOffset,
                        static_cast<std::size_t>(file.page_size() - kMapPageBitmapOffset));
        for (; m < map_pages; ++m, b = 0) {
            const std::int64_t p = *view.u32(kReferenceMapPagesOffset + kReferenceMapEntrySize * m);
            if (p == 0) continue;
            if (load_alt_page(file, p) != file.page_size()) return 0;
            std::int64_t bit = first_set_bit(bitmap, b, span);
            if (bit >= 0) return m * span + bit;
        }
    }
    return 0;
}

std::int64_t next_data_page(TableDef& table) {
    JetFile& file = table.file();
    const std::int64_t candidate = usage_map_next(table, table.data_page);
    if (candidate <= 0) return 0;
    if (candidate != file.current_page) {
        const std::int64_t got = read_page(file, file.page, candidate);
        file.current_page = candidate;
        file.cursor = 0;
        if (got == 0) return 0;
    }
    if (!is_data_page(file)) return 0;
    table.data_page = candidate;
    return candidate;
}

RowEntry find_row(const JetFile& file, std::int32_t row) {
    RowEntry e;
    if (row < 0 || row > kMaxRowNumber) return e;
    e.found = true;
    const std::int64_t table = file.format->data_row_count_offset + 2;
    e.raw = buf_u16(file.page, table + 2 * std::int64_t{row});
    const std::int64_t previous =
        row == 0 ? file.page_size()
                 : (buf_u16(file.page, table + 2 * std::int64_t{row - 1}) & kRowStartMask);
    const std::int64_t size = previous - (e.raw & kRowStartMask);
    e.size_ok = size >= 0 && size < kMaxRowSize;
    e.size = e.size_ok ? static_cast<std::int32_t>(size) : 0;
    return e;
}

std::int32_t split_row(TableDef& table, std::int64_t start, std::int64_t end) {
    JetFile& file = table.file();
    const PageBuffer& p = file.page;
    const std::int64_t n = file.is_jet4() ? buf_u16(p, start) : buf_u8(p, start);
    const std::int64_t mask_bytes = (n + 7) / kBitsPerByte;
    // A row of a table without variable-length columns stores no variable
    // count: the bytes there are fixed data and must not shorten the row.
    std::int64_t needed = 0;
    bool any_variable = false;
    for (const ColumnDef& c : table.columns) {
        if (c.is_fixed) continue;
        any_variable = true;
        needed = std::max<std::int64_t>(needed, c.var_index + 1);
    }
    std::int64_t v = 0;
    if (!any_variable) {
        v = 0;
    } else if (file.is_jet4()) {
        v = std::max<std::int32_t>(get_u16(file, end - mask_bytes - 1), 0);
    } else {
        v = buf_u8(p, end - mask_bytes);
    }
    auto& offsets = table.var_offsets;
    const bool have_offsets =
        table.column_count != 0 &&
        read_var_offsets(file, start, end, mask_bytes, v, needed, offsets);

    const std::int64_t fixed = n - v;
    const std::int64_t width = file.format->row_column_count_width;
    const std::int64_t mask_start = end - mask_bytes + 1;
    std::int64_t seen = 0;
    table.fields.resize(table.columns.size());
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnDef& c = table.columns[i];
        RowField& f = table.fields[i];
        f = RowField{};
        f.column = static_cast<int>(i);
        f.is_fixed = c.is_fixed;
        const std::int64_t mask_byte = c.number / kBitsPerByte;
        const bool present = mask_byte < mask_bytes &&
                             ((buf_u8(p, mask_start + mask_byte) >> (c.number % kBitsPerByte)) & 1);
        bool located = false;
        if (c.is_fixed) {
            if (fixed < 0 || seen < fixed) {
                f.position = start + width + c.fixed_offset;
                f.length = c.size;
                ++seen;
                located = true;
            }
        } else if (have_offsets && c.var_index < v) {
            const std::int64_t from = offsets[static_cast<std::size_t>(c.var_index)];
            f.position = start + from;
            f.length = offsets[static_cast<std::size_t>(c.var_index) + 1] - from;
            located = true;
        }
        f.is_null = !present;
        if (!located) {
            f.position = 0;
            f.length = 0;
            f.is_null = true;
        }
    }
    return static_cast<std::int32_t>(n);
}

int read_row(TableDef& table, std::int32_t row, recovery::RecoveryState& state) {
    JetFile& file = table.file();
    RowEntry e = find_row(file, row);
    if (!e.found || (e.raw & kRowLookupFlag)) return 0;
    // A definition claiming no rows: only live rows, so that an emptied table
    // does not come back from its deleted rows while a stale count loses nothing.
    if (table.row_count == 0 && (e.raw & kRowDeletedFlag)) return 0;
    const std::int64_t start = e.raw & kRowStartMask;
    const std::int64_t end = start + e.size - 1;
    split_row(table, start, end);
    state.column_values.resize(table.columns.size());
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnDef& c = table.columns[i];
        const RowField& f = table.fields[i];
        if (c.type == kTypeBoolean)
            render_column(c, file, f.position, f.length, f.is_null, state.column_values[i]);
        else if (f.is_null)
            render_column(c, file, 0, 0, true, state.column_values[i]);
        else
            render_column(c, file, f.position, f.length, false, state.column_values[i]);
    }
    return 1;
}

int next_row(TableDef& table, recovery::RecoveryState& state) {
    if (recovery::check_stop(state) == recovery::STOP_CODE) return recovery::STOP_CODE;
    JetFile& file = table.file();
    if (!table.rows_started) {
        table.rows_started = true;
        table.row_index = 0;
        if (next_data_page(table) == 0) return 0;
    } else if (table.data_page == 0) {
        return 0;
    } else if (file.current_page != table.data_page) {
        load_page(file, table.data_page);
    }
    for (;;) {
        const std::int32_t count = std::min(
            std::max(get_u16(file, file.format->data_row_count_offset), 0), kMaxRowNumber + 1);
        if (table.row_index >= count) {
            table.row_index = 0;
            if (next_data_page(table) == 0) {
                table.data_page = 0;
                return 0;
            }
            continue;
        }
        const int r = read_row(table, table.row_index, state);
        ++table.row_index;
        if (r == 1) return 1;
    }
}

}  // namespace tessaly::reader
