// The raw catalog scan: the catalog walk's fallback for a file whose catalog
// definition (page 2) cannot be read. Without a definition the catalog rows
// cannot be split into columns, so every page of the file is read in order;
// on each data page owned by page 2 every row is taken apart at the fixed
// positions of catalog_layout.h and the object it names is dispatched with
// the walk's rules (is_rebuilt_table / is_rebuilt_query).
//
// Names: the row's own variable-length offset table gives the stored name
// whole (spaces, underscores and non-ASCII letters kept; Jet 4 compressed
// text decoded). When that table cannot be trusted, the name is taken from
// the name position while the bytes are ASCII letters or digits (Jet 4: two
// bytes per character, high byte 0), at most 257 characters.
//
// Damaged input: a page that cannot be read completely ends the scan (which
// is normally the end of the file); rows with impossible offsets are skipped
// one by one; an offset equal to the row before is dispatched once; a
// definition page already handed to process_table in this scan is not handed
// over again. A definition page is the low 16 bits of the object id, so
// objects defined at page 65536 or later are looked for at the wrong page and
// fail there.
//
// Relationships are recreated once, after the last page, during a save run
// that dispatched at least one table (when every table already exists),
// instead of once per relationship row.
//
// Result: 1, or STOP_CODE after a confirmed stop (asked between pages too,
// so a long scan of a large file can be stopped).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "reader/jet_file.h"
#include "recovery/rebuild_dispatch.h"
#include "recovery/recovery_state.h"

namespace tessaly::recovery {

int scan_catalog_pages(RecoveryState& state, const std::shared_ptr<reader::JetFile>& file,
                       RebuildDispatch& dispatch);

// One catalog row read at fixed positions.
struct RawCatalogRow {
    std::int32_t type = 0;             // low 7 bits of the stored type; 0 when unreadable
    std::int64_t definition_page = 0;  // low 16 bits of the id; -1 when outside the page
    std::string name;                  // UTF-8; empty when none could be read
};

// Reads row `row` of the current page, whose offset entry (flags cleared) is
// `offset`. The file's cursor moves; the current page does not.
RawCatalogRow read_raw_catalog_row(reader::JetFile& file, std::int32_t row, std::int64_t offset);

}  // namespace tessaly::recovery
