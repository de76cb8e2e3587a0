#include "reader/long_value.h"

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

namespace tessaly::reader {

namespace {

struct RowBounds {
    std::int64_t start = 0;
    std::int64_t end = -1;  // inclusive; end < start means no bytes
};

// Bounds of row `row` on the long-value page in `buffer`, kept inside the page.
// `zero_end_means_page_end` gives a single long-value row whose previous entry
// reads 0 the rest of the page.
RowBounds long_value_row(const JetFile& file, const PageBuffer& buffer, std::int64_t row,
                         bool zero_end_means_page_end) {
    const std::int64_t page_size = file.page_size();
    const std::int64_t table = file.format->data_row_count_offset + 2;
    ByteView page(buffer.data(), static_cast<std::size_t>(page_size));
    RowBounds b;
    if (row == 0) {
        b.end = page_size - 1;
    } else {
        std::uint32_t e = page.u16(table + 2 * (row - 1)).value_or(kLongValueRowStartMask) &
                          kLongValueRowStartMask;
        b.end = (e == 0 && zero_end_means_page_end) ? page_size - 1 : std::int64_t{e} - 1;
    }
    auto start = page.u16(table + 2 * row);
    if (!start) return {0, -1};
    b.start = *start & kRowStartMask;
    b.end = std::min(b.end, page_size - 1);
    if (b.start >= page_size) return {0, -1};
    return b;
}

void decode_long_text(JetFile& file, ByteView bytes, std::string& out) {
    if (file.is_jet4())
        decode_text(bytes, out);
    else
        file.decode_8bit_text(bytes, out);
}

// Bytes up to (not including) the first zero byte.
ByteView until_zero(ByteView v) {
    std::size_t n = 0;
    while (n < v.size() && v.data()[n] != 0)
        ++n;
    return ByteView(v.data(), n);
}

void render_single_row(JetFile& file, std::int64_t row, std::int64_t page_number,
                       std::string& out) {
    if (load_alt_page(file, page_number) != file.page_size()) return;
    RowBounds b = long_value_row(file, file.alt_page, row, true);
    if (b.end < b.start) return;
    ByteView page(file.alt_page.data(), static_cast<std::size_t>(file.page_size()));
    decode_long_text(file, page.sub(b.start, b.end - b.start + 1), out);
}

void render_chain(JetFile& file, std::int64_t row, std::int64_t page_number, std::string& out) {
    const std::size_t limit = file.limits.max_long_value_bytes;
    std::vector<std::uint8_t> collected;
    std::set<std::pair<std::int64_t, std::int64_t>> visited;
    std::int64_t loaded = -1;
    ByteView page(file.alt_page.data(), static_cast<std::size_t>(file.page_size()));
    while (page_number != 0 && collected.size() < limit) {
        if (!visited.emplace(page_number, row).second) break;
        if (page_number != loaded) {
            if (load_alt_page(file, page_number) != file.page_size()) return;
            loaded = page_number;
        }
        RowBounds b = long_value_row(file, file.alt_page, row, false);
        if (!page.contains(b.start, kChainLinkSize) || b.end < b.start) break;
        ByteView part = page.sub(b.start + kChainLinkSize, b.end - b.start + 1 - kChainLinkSize);
        if (!file.is_jet4()) part = until_zero(part);
        std::size_t take = std::min(part.size(), limit - collected.size());
        collected.insert(collected.end(), part.data(), part.data() + take);
        row = *page.u8(b.start);
        page_number = *page.u24(b.start + 1);
    }
    decode_long_text(file, ByteView(collected.data(), collected.size()), out);
}

}  // namespace

void render_memo(JetFile& file, std::int64_t position, std::int64_t length, std::string& out) {
    out.clear();
    ByteView value = file.page_view().sub(position, length);
    if (length < kMemoHeaderSize || value.size() == 0) return;
    const std::uint32_t stored_length = *value.u16(kMemoLengthOffset);
    const std::uint32_t flags = *value.u16(kMemoFlagsOffset);
    ByteView inline_text = value.sub(kMemoHeaderSize, length - kMemoHeaderSize);
    if (flags & kMemoInlineFlag) {
        if (stored_length == 0) return;
        if (file.is_jet4()) {
            decode_text(inline_text, out);
        } else {
            std::size_t n = std::min<std::size_t>(stored_length, inline_text.size());
            file.decode_8bit_text(ByteView(inline_text.data(), n), out);
        }
        return;
    }
    const std::int64_t row = *value.u8(kMemoRowOffset);
    const std::int64_t page_number = *value.u24(kMemoPageOffset);
    if (flags & kMemoSingleRowFlag)
        render_single_row(file, row, page_number, out);
    else
        render_chain(file, row, page_number, out);
}

}  // namespace tessaly::reader
