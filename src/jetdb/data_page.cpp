#include "jetdb/data_page.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "common/le.h"

namespace tessaly::jetdb {

using namespace layout;

void DataPage::reset_header() {
    page_.fill(0);
    page_[0] = kPageTypeData;
    page_[1] = kPageMarker;
    rows_ = 0;
    data_start_ = kPageSize;
    free_ = kPageSize - kDataRowTableOffset;
    put_u16(page_, kDataFreeSpaceOffset, static_cast<std::uint16_t>(free_));
}

void DataPage::reset_table(std::uint32_t owner_page) {
    reset_header();
    put_u32(page_, kDataOwnerOffset, owner_page);
}

void DataPage::reset_long_value() {
    reset_header();
    std::copy(std::begin(kLongValueOwnerTag), std::end(kLongValueOwnerTag),
              page_.begin() + kDataOwnerOffset);
}

bool DataPage::fits(std::size_t row_size) const {
    return rows_ < kDataMaxRowsPerPage && row_size + kDataRowOffsetSize <= free_;
}

std::uint8_t DataPage::add_row(std::span<const std::uint8_t> row) {
    assert(fits(row.size()));
    data_start_ -= row.size();
    std::memcpy(page_.data() + data_start_, row.data(), row.size());
    put_u16(page_, kDataRowTableOffset + kDataRowOffsetSize * rows_,
            static_cast<std::uint16_t>(data_start_));
    const auto number = static_cast<std::uint8_t>(rows_);
    ++rows_;
    free_ -= row.size() + kDataRowOffsetSize;
    put_u16(page_, kDataRowCountOffset, rows_);
    put_u16(page_, kDataFreeSpaceOffset, static_cast<std::uint16_t>(free_));
    return number;
}

}  // namespace tessaly::jetdb
