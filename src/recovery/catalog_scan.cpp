#include "recovery/catalog_scan.h"

#include <algorithm>
#include <set>

#include "reader/catalog_list.h"
#include "reader/table_def.h"
#include "reader/text_decode.h"
#include "recovery/catalog_layout.h"
#include "recovery/catalog_walk.h"
#include "recovery/stop_control.h"

namespace tessaly::recovery {
namespace {

constexpr int kBitsPerByte = 8;
constexpr std::int64_t kRowEntrySize = 2;
constexpr std::uint32_t kHighByteShift = 8;
// A Jet 3 row of this length or more carries jump bytes in its offset table.
constexpr std::int64_t kJet3JumpRowLength = 256;
constexpr char32_t kFirstPrintable = 0x20;

bool is_catalog_data_page(reader::JetFile& file) {
    const ByteView page = file.page_view();
    return page.u8(0) == reader::kDataPageMarker && page.u8(1) == reader::kDataPageMarker &&
           page.u32(reader::kPageOwnerOffset) == reader::kCatalogPage;
}

bool is_ascii_alnum(std::uint32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The name rule for rows whose offset table cannot be used.
std::string alnum_name(const reader::JetFile& file, std::int64_t position) {
    const ByteView page = file.page_view();
    const std::int64_t step = file.is_jet4() ? 2 : 1;
    std::string name;
    for (std::int64_t at = position; name.size() < kMaxScannedNameChars; at += step) {
        std::uint32_t c = 0;
        if (file.is_jet4()) {
            auto unit = page.u16(at);
            if (!unit) break;
            c = *unit;
        } else {
            auto byte = page.u8(at);
            if (!byte) break;
            c = *byte;
        }
        if (!is_ascii_alnum(c)) break;
        name.push_back(static_cast<char>(c));
    }
    return name;
}

// A u16 (Jet 4) or u8 (Jet 3) field of the row's offset area.
std::optional<std::uint32_t> small_field(const ByteView& page, bool jet4, std::int64_t at) {
    if (jet4) {
        auto v = page.u16(at);
        return v ? std::optional<std::uint32_t>(*v) : std::nullopt;
    }
    auto v = page.u8(at);
    return v ? std::optional<std::uint32_t>(*v) : std::nullopt;
}

bool is_plain_text(const std::string& utf8) {
    if (utf8.empty()) return false;
    for (unsigned char c : utf8)
        if (c < kFirstPrintable) return false;
    return true;
}

// The stored bytes of the name, cut by the row's variable-length offsets:
// the first value that starts at the name position and is not empty.
std::optional<ByteView> stored_name_bytes(reader::JetFile& file, std::int32_t row,
                                          std::int64_t start) {
    const ByteView page = file.page_view();
    const std::int64_t end = reader::row_end(file, row);
    if (end >= file.page_size() || end <= start) return std::nullopt;
    const bool jet4 = file.is_jet4();
    const std::int64_t name_at = kRawNameOffset + (jet4 ? kJet4RowBaseAdjust : 0);
    if (!jet4 && end - start + 1 >= kJet3JumpRowLength) return std::nullopt;

    std::optional<std::uint32_t> columns = small_field(page, jet4, start);
    if (!columns) return std::nullopt;
    const std::int64_t mask_bytes = (*columns + kBitsPerByte - 1) / kBitsPerByte;
    const std::int64_t width = jet4 ? 2 : 1;
    const std::int64_t count_at = end - mask_bytes - (width - 1);
    std::optional<std::uint32_t> var_count = small_field(page, jet4, count_at);
    if (!var_count || count_at <= start) return std::nullopt;
    auto offset_of = [&](std::int64_t j) -> std::optional<std::uint32_t> {
        const std::int64_t at = count_at - width * (j + 1);
        if (at <= start) return std::nullopt;
        return small_field(page, jet4, at);
    };
    for (std::int64_t j = 0; j < static_cast<std::int64_t>(*var_count); ++j) {
        auto from = offset_of(j);
        auto to = offset_of(j + 1);
        if (!from || !to || *from > name_at) return std::nullopt;
        if (*from < name_at || *to <= *from) continue;
        const std::int64_t length = *to - *from;
        if (length > kMaxStoredNameBytes || start + *to > count_at) return std::nullopt;
        return page.sub(start + *from, length);
    }
    return std::nullopt;
}

std::string row_name(reader::JetFile& file, std::int32_t row, std::int64_t start) {
    if (auto bytes = stored_name_bytes(file, row, start)) {
        std::string name;
        if (file.is_jet4())
            reader::decode_text(*bytes, name);
        else
            file.decode_8bit_text(*bytes, name);
        if (is_plain_text(name)) return name;
    }
    const std::int64_t base = start + (file.is_jet4() ? kJet4RowBaseAdjust : 0);
    return alnum_name(file, base + kRawNameOffset);
}

}  // namespace

RawCatalogRow read_raw_catalog_row(reader::JetFile& file, std::int32_t row, std::int64_t offset) {
    RawCatalogRow found;
    const std::int64_t base = offset + (file.is_jet4() ? kJet4RowBaseAdjust : 0);
    const std::int32_t type = reader::get_u8(file, base + kRawTypeOffset);
    found.type = type < 0 ? 0 : (type & reader::kObjectTypeMask);
    found.definition_page = reader::get_u16(file, base + kRawIdOffset);
    found.name = row_name(file, row, offset);
    return found;
}

int scan_catalog_pages(RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                       RebuildDispatch& dispatch) {
    if (!file) return 1;
    reader::JetFile& f = *file;
    const std::int64_t count_at = f.format->data_row_count_offset;
    const std::int64_t entries_at = count_at + kRowEntrySize;
    std::set<std::int64_t> tables_done;
    std::int64_t previous_offset = 0;
    int result = 1;
    for (std::int64_t p = 0;; ++p) {
        if (check_stop(state) == STOP_CODE) {
            result = STOP_CODE;
            break;
        }
        if (p == 0 || p != f.current_page) {
            if (reader::read_page(f, f.page, p) == 0) break;
            f.current_page = p;
            f.cursor = 0;
        }
        if (!is_catalog_data_page(f)) continue;
        // A damaged count is bounded by the most rows a page can hold.
        const std::int32_t row_count =
            std::min(reader::get_u16(f, count_at), reader::kMaxRowNumber + 1);
        for (std::int32_t i = 0; i < row_count && result != STOP_CODE; ++i) {
            const std::int32_t entry = reader::get_u16(f, entries_at + kRowEntrySize * i);
            if (entry < 0) break;  // this entry and all later ones lie outside the page
            const std::int64_t offset = static_cast<std::uint32_t>(entry) & ~kRowEntryFlagBits;
            if (offset < entries_at + kRowEntrySize * row_count || offset >= f.page_size() ||
                offset == previous_offset)
                continue;
            const std::uint32_t cursor = f.cursor;
            const RawCatalogRow row = read_raw_catalog_row(f, i, offset);
            int dispatched = 1;
            if (is_rebuilt_table(row.type, row.name) &&
                tables_done.insert(row.definition_page).second) {
                dispatched =
                    dispatch.process_table(state, file, row.type, row.definition_page, row.name);
            } else if (is_rebuilt_query(row.type, row.name, state.save_active)) {
                dispatched =
                    dispatch.rebuild_query(state, file, row.type, row.definition_page, row.name);
            }
            if (dispatched == STOP_CODE) result = STOP_CODE;
            reader::load_page(f, p);
            f.cursor = cursor;
            previous_offset = offset;
        }
        if (result == STOP_CODE) break;
    }
    if (result != STOP_CODE && state.save_active && !tables_done.empty()) {
        if (dispatch.rebuild_relationships(state, file) == STOP_CODE) result = STOP_CODE;
    }
    return result;
}

}  // namespace tessaly::recovery
