#include "jetdb/table_store.h"

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

LongValueStore& TableStore::long_values(std::uint16_t column_number) {
    for (auto& lv : long_values_)
        if (lv.column_number() == column_number) return lv;
    long_values_.emplace_back(column_number);
    return long_values_.back();
}

}  // namespace tessaly::jetdb
