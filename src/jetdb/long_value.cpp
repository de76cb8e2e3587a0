#include "jetdb/long_value.h"

#include <algorithm>

#include "common/le.h"

namespace tessaly::jetdb {

using namespace layout;

LongValueKind choose_long_value_kind(std::size_t length, std::size_t inline_room) {
    if (length <= kMaxInlineLongValue && length <= inline_room) return LongValueKind::Inline;
    if (length <= kMaxLongValueRow) return LongValueKind::SingleRow;
    return LongValueKind::Chain;
}

std::uint32_t long_value_pages_needed(LongValueKind kind, std::size_t length) {
    switch (kind) {
        case LongValueKind::Inline:
            return 0;
        case LongValueKind::SingleRow:
            return 1;
        case LongValueKind::Chain:
            return static_cast<std::uint32_t>((length + kMaxChainPart - 1) / kMaxChainPart);
    }
    return 0;
}

std::array<std::uint8_t, kLongValueHeaderSize> long_value_header(LongValueKind kind,
                                                                 std::size_t length,
                                                                 std::uint32_t first_row) {
    std::array<std::uint8_t, kLongValueHeaderSize> h{};
    std::uint32_t bits = kLongValueChain;
    if (kind == LongValueKind::Inline) bits = kLongValueInline;
    if (kind == LongValueKind::SingleRow) bits = kLongValueSingleRow;
    put_u32(h, 0, static_cast<std::uint32_t>(length) | bits);
    put_u32(h, kLongValuePointerOffset, kind == LongValueKind::Inline ? 0 : first_row);
    return h;
}

void LongValueStore::start_page(std::uint32_t page) {
    page_.reset_long_value();
    page_number_ = page;
    open_ = true;
    owned_.add(page);
    free_.add(page);
}

void LongValueStore::retire_page(PageFile& file) {
    if (!open_) return;
    file.write(page_number_, page_.bytes());
    free_.remove(page_number_);
    open_ = false;
}

std::uint32_t LongValueStore::write_single(PageFile& file, std::span<const std::uint8_t> data) {
    if (!open_ || !page_.fits(data.size())) {
        const std::uint32_t page = file.allocate();
        retire_page(file);
        start_page(page);
    }
    const std::uint8_t row = page_.add_row(data);
    return make_row_pointer(page_number_, row);
}

std::uint32_t LongValueStore::write_chain(PageFile& file, std::span<const std::uint8_t> data) {
    const std::size_t parts = (data.size() + kMaxChainPart - 1) / kMaxChainPart;
    // Every part starts a page of its own, so the page numbers are known
    // before the first part is written.
    file.require_room(static_cast<std::uint32_t>(parts));
    std::vector<std::uint32_t> pages;
    pages.reserve(parts);
    for (std::size_t i = 0; i < parts; ++i)
        pages.push_back(file.allocate());
    retire_page(file);
    for (std::size_t i = 0; i < parts; ++i) {
        const std::size_t offset = i * kMaxChainPart;
        const std::size_t size = std::min(kMaxChainPart, data.size() - offset);
        scratch_.assign(kChainLinkSize + size, 0);
        const std::uint32_t next = i + 1 < parts ? make_row_pointer(pages[i + 1], 0) : 0;
        put_u32(scratch_, 0, next);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset), size,
                    scratch_.begin() + kChainLinkSize);
        start_page(pages[i]);
        page_.add_row(scratch_);
        if (i + 1 < parts) retire_page(file);
    }
    return make_row_pointer(pages.front(), 0);
}

void LongValueStore::flush(PageFile& file) {
    if (open_) file.write(page_number_, page_.bytes());
}

}  // namespace tessaly::jetdb
