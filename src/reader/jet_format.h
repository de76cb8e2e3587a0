// Per-version constants of the Jet file layout.
//
// A JetFormat is chosen once when a file is opened (jet3_format for 2048-byte
// pages, jet4_format for 4096-byte pages) and never changes afterwards. Every
// offset below is a byte offset inside a page (or inside one descriptor or
// record, where the comment says so).
//
//   field                          Jet 4  Jet 3  where
//   page_size                       4096   2048  bytes per page; page n at n x page_size
//   data_row_count_offset             12      8  data page: u16 row count, entries follow
//   tdef_row_count_offset             16     12  definition: u32 row count
//   tdef_column_count_offset          45     25  definition: u16 column count
//   tdef_index_count_offset           47     27  definition: u32 index entry count
//   tdef_real_index_count_offset      51     31  definition: u32 real index count
//   tdef_usage_map_offset             55     35  definition: row byte + u24 page of the usage map
//   tdef_first_page_offset            56     36  (kept for completeness)
//   tdef_index_start_offset           63     43  definition: real-index headers, then columns
//   real_index_entry_size             12      8  one real-index header
//   column_flags_offset               15     13  descriptor: flags (bit 0 = fixed length)
//   column_size_offset                23     16  descriptor: u16 size in bytes
//   column_number_offset               5      1  descriptor: column number (low byte used)
//   column_entry_size                 25     18  one column descriptor
//   tdef_free_map_offset              59     39  definition: row byte + u24 page of the free map
//   column_var_index_offset            7      3  descriptor: u16 place among variable columns
//   column_fixed_offset_offset        21     14  descriptor: u16 offset in the fixed area
//   column_second_number_offset        9      5  (kept for completeness)
//   --- further layout facts that differ by version ---
//   row_column_count_width             2      1  a row starts with its column count
//   name_length_width                  2      1  a name starts with its byte length
//   real_index_record_size            52     39  real-index record in the index area
//   real_index_key_start               4      0  first key slot inside that record
//   index_entry_size                  28     20  index entry in the index area
//   index_entry_number_offset          8      4  entry: u16 real-index number
//   index_entry_type_offset           23     19  entry: type byte (1 = primary key)
#pragma once

#include <cstdint>

namespace tessaly::reader {

struct JetFormat {
    std::uint32_t page_size;
    std::uint16_t data_row_count_offset;
    std::uint16_t tdef_row_count_offset;
    std::uint16_t tdef_column_count_offset;
    std::uint16_t tdef_index_count_offset;
    std::uint16_t tdef_real_index_count_offset;
    std::uint16_t tdef_usage_map_offset;
    std::uint16_t tdef_first_page_offset;
    std::uint16_t tdef_index_start_offset;
    std::uint16_t real_index_entry_size;
    std::uint16_t column_flags_offset;
    std::uint16_t column_size_offset;
    std::uint16_t column_number_offset;
    std::uint16_t column_entry_size;
    std::uint16_t tdef_free_map_offset;
    std::uint16_t column_var_index_offset;
    std::uint16_t column_fixed_offset_offset;
    std::uint16_t column_second_number_offset;
    std::uint16_t row_column_count_width;
    std::uint16_t name_length_width;
    std::uint16_t real_index_record_size;
    std::uint16_t real_index_key_start;
    std::uint16_t index_entry_size;
    std::uint16_t index_entry_number_offset;
    std::uint16_t index_entry_type_offset;
};

inline constexpr JetFormat jet4_format{4096, 12, 16, 45, 47, 51, 55, 56, 63, 12, 15, 23, 5,
                                       25,   59, 7,  21, 9,  2,  2,  52, 4,  28, 8,  23};

inline constexpr JetFormat jet3_format{2048, 8,  12, 25, 27, 31, 35, 36, 43, 8,  13, 16, 1,
                                       18,   39, 3,  14, 5,  1,  1,  39, 0,  20, 4,  19};

}  // namespace tessaly::reader
