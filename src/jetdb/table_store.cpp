#include "jetdb/table_store.h"

#include "common/le.h"
#include "jetdb/engine_error.h"

namespace tessaly::jetdb {

std::uint32_t TableStore::place_row(PageFile& file, std::span<const std::uint8_t> row) {
    if (!fits_current_page(row.size())) {
        const std::uint32_t page = file.allocate();
        if (open_) {
            file.write(page_number_, page_.bytes());
            free_.remove(page_number_);
        }
        page_.reset_table(tdef_page_);
        page_number_ = page;
        open_ = true;
        owned_.add(page);
        free_.add(page);
    }
    const std::uint8_t number = page_.add_row(row);
    return layout::make_row_pointer(page_number_, number);
}

void TableStore::flush(PageFile& file) {
    if (open_) file.write(page_number_, page_.bytes());
    for (auto& lv : long_values_)
        lv.flush(file);
}

void TableStore::for_each_row(
    PageFile& file,
    const std::function<void(std::span<const std::uint8_t>, std::uint32_t)>& fn) const {
    PageBytes buffer;
    for (std::uint32_t page : owned_.pages()) {
        std::span<const std::uint8_t> bytes;
        if (open_ && page == page_number_) {
            bytes = page_.bytes();
        } else {
            file.read(page, buffer);
            bytes = buffer;
        }
        const ByteView v(bytes);
        const std::uint16_t rows = v.u16(layout::kDataRowCountOffset).value_or(0);
        std::size_t end = layout::kPageSize;
        for (std::uint16_t r = 0; r < rows; ++r) {
            const auto start = v.u16(layout::kDataRowTableOffset + layout::kDataRowOffsetSize * r);
            if (!start || *start >= end)
                throw EngineError("Internal error: a stored page is damaged");
            fn(bytes.subspan(*start, end - *start),
               layout::make_row_pointer(page, static_cast<std::uint8_t>(r)));
            end = *start;
        }
    }
}

LongValueStore& TableStore::long_values(std::uint16_t column_number) {
    for (auto& lv : long_values_)
        if (lv.column_number() == column_number) return lv;
    long_values_.emplace_back(column_number);
    return long_values_.back();
}

}  // namespace tessaly::jetdb
