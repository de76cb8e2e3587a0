// Memo (long text) values.
//
// The row holds a 12-byte header (jet_layout.h): the text follows it in the row
// (inline), fills one row of a long-value page, or runs through a chain of
// long-value rows, each starting with a 4-byte link to the next.
//
// Guarantees: the current data page stays in the main buffer and current_page
// is unchanged (long-value pages go through alt_page); a chain that returns to
// a row already read, or that collects more than
// file.limits.max_long_value_bytes, ends there with what it collected; a chain
// page that cannot be read makes the whole value empty.
#pragma once

#include <cstdint>
#include <string>

#include "reader/jet_file.h"

namespace tessaly::reader {

// Renders the memo value at position/length of the current page into `out`.
void render_memo(JetFile& file, std::int64_t position, std::int64_t length, std::string& out);

}  // namespace tessaly::reader
