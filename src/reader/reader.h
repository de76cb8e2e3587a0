// The damaged-file reader: one include for the layers that drive it.
//
// A typical pass over one table (the catalog walk, the table pass, query and
// relationship rebuilding all read this way):
//
//   recovery::RecoveryState state;            // column_values, stop check, release flag
//   auto file = reader::jet_open(path, state);        // read-only; null when unusable
//   auto table = reader::read_table_def({file, name, type, definition_page});
//   if (table && reader::read_columns(*table)) {
//       reader::read_indexes(*table);                 // optional, right after the columns
//       reader::rewind_rows(*table);
//       int r;
//       while ((r = reader::next_row(*table, state)) == 1)
//           use(state.column_values);                 // one UTF-8 text per column
//       if (r == recovery::STOP_CODE) ...             // the user confirmed a stop
//   }
//   reader::free_table_def(std::move(table), state);  // closes the file if the flag says so
//
// Several tables of one file may be read in turn or interleaved: next_row makes
// its table's data page current again. Values of a row live in
// state.column_values only until the next row of any table is read.
#pragma once

#include "reader/catalog_list.h"
#include "reader/index_def.h"
#include "reader/jet_file.h"
#include "reader/long_value.h"
#include "reader/row_reader.h"
#include "reader/table_def.h"
#include "reader/text_decode.h"
#include "reader/value_render.h"
#include "recovery/recovery_state.h"
#include "recovery/stop_control.h"
