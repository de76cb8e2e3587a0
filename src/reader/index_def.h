// Index definitions: the index area that follows the column names.
//
// Area layout (continuous definition bytes from TableDef::names_end):
//   real_index_count real-index records (JetFormat::real_index_record_size),
//     each with 10 key slots of 3 bytes (u16 column number, 0xFFFF = unused)
//     from real_index_key_start;
//   index_count index entries (JetFormat::index_entry_size): u16 real-index
//     number at index_entry_number_offset, type byte at index_entry_type_offset;
//   index_count names (u16 length in Jet 4, u8 in Jet 3, then the text).
#pragma once

#include "reader/table_def.h"

namespace tessaly::reader {

// Fills table.indexes with one IndexDef per index entry. Requires read_columns
// to have run on this table. Damage handling:
//   - index or real-index counts outside 0..kMaxIndexes: no indexes (both
//     counts become 0);
//   - a Jet 4 name longer than 512 bytes, or a definition that ends early:
//     that node and the later ones keep empty names and no node gets key
//     columns;
//   - an entry naming a real index that does not exist gets no key columns.
// Key columns are read from the real-index records by following the
// definition's continuous byte sequence, also across page boundaries.
// Moves the file's current page over the definition's pages.
void read_indexes(TableDef& table);

}  // namespace tessaly::reader
