// An open source Jet file: version detection, the two page buffers, page
// reading with its one-page cache, and the bounded field reads.
//
// Contracts shared by every operation here:
//   - The source is only ever read. Opening asks for no write access and
//     changes no attribute, permission or time of the file.
//   - Page numbers are signed 64-bit: a negative number (for example the -1 of
//     a field read outside its page) reads nothing. Offsets are computed in 64
//     bits, so large damaged page numbers never alias other pages.
//   - Field reads never leave the page (checked reads: the first page_size
//     bytes; buf_ reads: the 4096-byte buffer) and answer -1 (or 0 for buf_
//     bytes) instead.
//   - Nothing throws for damaged input; failures are 0, -1 or null.
// A JetFile is used by one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/le.h"
#include "reader/jet_format.h"
#include "reader/jet_layout.h"
#include "reader/page_source.h"
#include "reader/text_decode.h"
#include "recovery/recovery_state.h"

namespace tessaly::reader {

using PageBuffer = std::array<std::uint8_t, kPageBufferSize>;

// Bounds the reader keeps against damaged data; adjustable per file.
struct ReaderLimits {
    // Largest memo text collected for one value, in stored bytes.
    std::size_t max_long_value_bytes = kDefaultMaxLongValueBytes;
};

class JetFile {
  public:
    JetFile(std::unique_ptr<PageSource> source, std::filesystem::path path);
    ~JetFile();
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;

    // The path the file was opened with (empty for in-memory sources).
    std::filesystem::path path;
    // 0 = Jet 3, 1 = Jet 4 once opened.
    std::int32_t version = kVersionJet3;
    // Per-version constants; jet4_format exactly when version is 1.
    const JetFormat* format = &jet3_format;
    // Number of the page held in `page`; 0 after opening.
    std::int64_t current_page = 0;
    // Bytes consumed by checked field reads since the current page was loaded.
    // Callers may note it with current_page and put both back later.
    std::uint32_t cursor = 0;
    PageBuffer page{};
    PageBuffer alt_page{};
    // Kept for table rebuilding; the reader never touches it.
    std::int64_t table_record_count = 0;
    // The database's code page from the header (Jet 3 text is stored in it).
    int code_page = kDefaultCodePage;
    ReaderLimits limits;
    // Whole or partial page reads made so far (for diagnostics and tests).
    std::uint64_t page_reads = 0;

    bool is_jet4() const { return version == kVersionJet4; }
    std::int64_t page_size() const { return format->page_size; }
    // The current page, bounded to page_size bytes.
    ByteView page_view() const { return ByteView(page.data(), format->page_size); }

    bool is_open() const;
    // Closes the source; later page reads answer 0. Idempotent.
    void close();
    PageSource& source() { return *source_; }

    // Converts Jet 3 (8-bit) text from the file's code page into UTF-8.
    void decode_8bit_text(ByteView source, std::string& out);

  private:
    std::unique_ptr<PageSource> source_;
    std::unique_ptr<CodePageDecoder> decoder_;
};

// Why jet_open answered null.
enum class OpenError {
    None,
    NotFound,    // the path names no file
    CannotOpen,  // the file exists but cannot be read
    TooShort,    // fewer bytes than one 2048-byte page
};

// Opens a source file read-only and decides its version (header field at
// 0x14; for values other than 0 and 1, the Jet 3 signature on pages 4 and 2).
// First closes the sources earlier opens left open in `state` (and only
// those). On success page 0 is current (cursor 4) and the file is recorded in
// state.sources_left_open. Returns null on failure, with `error` set when given.
std::shared_ptr<JetFile> jet_open(const std::filesystem::path& path, recovery::RecoveryState& state,
                                  OpenError* error = nullptr);

// The same over bytes in memory.
std::shared_ptr<JetFile> jet_open_bytes(std::vector<std::uint8_t> bytes,
                                        recovery::RecoveryState& state, OpenError* error = nullptr);

// Releases the file: closes its source when state.close_source_on_release is
// set; otherwise it stays open until the next jet_open closes it (or its last
// owner lets it go).
void jet_close(JetFile& file, const recovery::RecoveryState& state);

// Reads page `number` into `buffer` (page_size bytes). Answers page_size when
// the whole page arrived, else 0; a page at or past the end leaves the buffer
// untouched, a partial page leaves the bytes that arrived. Does not change
// current_page or cursor.
std::int64_t read_page(JetFile& file, PageBuffer& buffer, std::int64_t number);

// Cached load into `page`: reads when number is 0 or differs from
// current_page (the answer is ignored), then makes number current with cursor 0.
void load_page(JetFile& file, std::int64_t number);

// read_page into alt_page; current_page unchanged.
std::int64_t load_alt_page(JetFile& file, std::int64_t number);

// Exchanges the contents of page and alt_page; current_page and cursor unchanged.
void swap_page_buffers(JetFile& file);

// Checked reads on the current page: -1 when the field does not lie inside the
// first page_size bytes; otherwise the value, and cursor grows by the width.
std::int32_t get_u8(JetFile& file, std::int64_t offset);
std::int32_t get_u16(JetFile& file, std::int64_t offset);
std::int32_t get_u24(JetFile& file, std::int64_t offset);
// Signed 32-bit value (a stored FFFFFFFF is also -1).
std::int32_t get_u32(JetFile& file, std::int64_t offset);
// The stored double, or -1.0 outside the page; cursor unchanged.
double get_f64(JetFile& file, std::int64_t offset);

// Reads from any page buffer without failing: a negative offset is first
// reduced to its low 12 bits (-2 reads at 4094); bytes outside the buffer read
// as 0.
std::uint8_t buf_u8(const PageBuffer& buffer, std::int64_t offset);
std::uint16_t buf_u16(const PageBuffer& buffer, std::int64_t offset);
std::int32_t buf_u32(const PageBuffer& buffer, std::int64_t offset);

}  // namespace tessaly::reader
