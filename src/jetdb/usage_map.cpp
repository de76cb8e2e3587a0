#include "jetdb/usage_map.h"

#include <algorithm>

#include "common/le.h"

namespace tessaly::jetdb {

using namespace layout;

namespace {

constexpr std::uint32_t kBitsPerByte = 8;

void set_bit(std::span<std::uint8_t> bitmap, std::uint32_t bit) {
    bitmap[bit / kBitsPerByte] |= static_cast<std::uint8_t>(1u << (bit % kBitsPerByte));
}

std::uint32_t inline_start(std::uint32_t first_page) {
    return first_page / kBitsPerByte * kBitsPerByte;
}

}  // namespace

void UsageMap::add(std::uint32_t page) {
    if (pages_.empty() || page > pages_.back()) {
        pages_.push_back(page);
        return;
    }
    auto it = std::lower_bound(pages_.begin(), pages_.end(), page);
    if (it == pages_.end() || *it != page) pages_.insert(it, page);
}

void UsageMap::remove(std::uint32_t page) {
    auto it = std::lower_bound(pages_.begin(), pages_.end(), page);
    if (it != pages_.end() && *it == page) pages_.erase(it);
}

bool UsageMap::contains(std::uint32_t page) const {
    return std::binary_search(pages_.begin(), pages_.end(), page);
}

bool UsageMap::fits_inline() const {
    if (pages_.empty()) return true;
    return pages_.back() - inline_start(pages_.front()) < kInlineMapPages;
}

MapRow UsageMap::inline_row() const {
    MapRow row{};
    row[0] = kMapTypeInline;
    const std::uint32_t start = pages_.empty() ? 0 : inline_start(pages_.front());
    put_u32(row, kInlineMapStartOffset, start);
    auto bitmap = std::span<std::uint8_t>(row).subspan(kInlineMapBitmapOffset);
    for (std::uint32_t p : pages_)
        set_bit(bitmap, p - start);
    return row;
}

std::vector<std::uint32_t> UsageMap::reference_slots() const {
    std::vector<std::uint32_t> slots;
    for (std::uint32_t p : pages_) {
        const std::uint32_t slot = p / kPagesPerBitmapPage;
        if (slots.empty() || slots.back() != slot) slots.push_back(slot);
    }
    return slots;
}

MapRow UsageMap::reference_row(std::span<const std::uint32_t> bitmap_pages) const {
    MapRow row{};
    row[0] = kMapTypeReference;
    const auto slots = reference_slots();
    for (std::size_t i = 0; i < slots.size() && i < bitmap_pages.size(); ++i)
        put_u32(row, 1 + 4 * slots[i], bitmap_pages[i]);
    return row;
}

PageBytes UsageMap::bitmap_page(std::uint32_t slot) const {
    PageBytes page{};
    page[0] = kPageTypeUsageBitmap;
    page[1] = kPageMarker;
    auto bitmap = std::span<std::uint8_t>(page).subspan(kBitmapPageHeader);
    const std::uint32_t first = slot * kPagesPerBitmapPage;
    auto it = std::lower_bound(pages_.begin(), pages_.end(), first);
    for (; it != pages_.end() && *it - first < kPagesPerBitmapPage; ++it)
        set_bit(bitmap, *it - first);
    return page;
}

std::vector<std::uint8_t> global_inline_map_row(std::uint32_t page_count,
                                                std::size_t max_row_size) {
    std::size_t bitmap_bytes = (page_count + kBitsPerByte - 1) / kBitsPerByte;
    bitmap_bytes = (bitmap_bytes + kGlobalMapGranule - 1) / kGlobalMapGranule * kGlobalMapGranule;
    bitmap_bytes = std::max(bitmap_bytes, kInlineMapBitmapBytes);
    if (kInlineMapBitmapOffset + bitmap_bytes > max_row_size) return {};
    std::vector<std::uint8_t> row(kInlineMapBitmapOffset + bitmap_bytes, 0);
    row[0] = kMapTypeInline;
    put_u32(row, kInlineMapStartOffset, 0);
    auto bitmap = std::span<std::uint8_t>(row).subspan(kInlineMapBitmapOffset);
    const auto bits = static_cast<std::uint32_t>(bitmap_bytes * kBitsPerByte);
    for (std::uint32_t p = page_count; p < bits; ++p)
        set_bit(bitmap, p);
    return row;
}

PageBytes global_bitmap_page(std::uint32_t slot, std::uint32_t page_count) {
    PageBytes page{};
    page[0] = kPageTypeUsageBitmap;
    page[1] = kPageMarker;
    auto bitmap = std::span<std::uint8_t>(page).subspan(kBitmapPageHeader);
    const std::uint64_t first = static_cast<std::uint64_t>(slot) * kPagesPerBitmapPage;
    for (std::uint32_t i = 0; i < kPagesPerBitmapPage; ++i)
        if (first + i >= page_count) set_bit(bitmap, i);
    return page;
}

}  // namespace tessaly::jetdb
