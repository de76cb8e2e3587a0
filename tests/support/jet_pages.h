// Page-level decoding of Jet 4 files for the test-side checker and
// describer: the whole file in memory, the page-0 header, data-page row
// tables, usage maps and index pages.
//
// Every decoder is bounded: it reads through ByteView, never outside the page
// it is given, and answers damaged bytes with an error text instead of
// crashing. None of it is shared with the engine's reader or writer.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/le.h"
#include "support/jet_layout.h"

namespace tessaly::test::jet {

enum class Severity { kWarning, kError };

// One finding: the page it concerns and a message naming what is wrong.
struct Problem {
    Severity severity = Severity::kError;
    std::uint32_t page = 0;
    std::string message;
};

// Collects findings; warnings mark departures Access itself makes. A
// finding may carry a kind: past `kLimitPerKind` findings of one kind only a
// count is kept, so a systematic fault in a big table stays readable.
class ProblemList {
  public:
    static constexpr std::size_t kLimitPerKind = 20;

    void error(std::uint32_t page, std::string message, const std::string& kind = {}) {
        add(Severity::kError, page, std::move(message), kind);
    }
    void warning(std::uint32_t page, std::string message, const std::string& kind = {}) {
        add(Severity::kWarning, page, std::move(message), kind);
    }
    void add(Severity severity, std::uint32_t page, std::string message, const std::string& kind);
    // Appends one summary line per kind that went over the limit.
    void flush_suppressed();

    std::vector<Problem> items;

  private:
    struct KindCount {
        Severity severity = Severity::kWarning;
        std::size_t seen = 0;
    };
    std::map<std::string, KindCount> kinds_;
};

// A whole Jet 4 file held in memory.
class Jet4File {
  public:
    // Reads the file; nullopt with `error` set when it cannot be read.
    static std::optional<Jet4File> load(const std::filesystem::path& path, std::string& error);
    explicit Jet4File(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::uint32_t page_count() const;
    std::size_t size() const { return bytes_.size(); }
    // The page's bytes; an empty view when the page is past the end.
    ByteView page(std::uint32_t number) const;

  private:
    std::vector<std::uint8_t> bytes_;
};

// Page 0 fields, the masked region already decoded.
struct HeaderInfo {
    std::uint8_t page_type = 0;
    bool signature_ok = false;
    std::uint8_t version = 0;
    std::uint16_t code_page = 0;
    std::uint32_t db_key = 0;
    std::array<std::uint8_t, 40> password{};  // as stored (XOR-masked)
    bool password_empty = false;              // stored bytes equal the date mask
    std::uint32_t unknown_6a = 0;
    std::uint16_t sort_lcid = 0;
    std::uint8_t sort_version = 0;
    double creation_date = 0;
    std::uint32_t const_98 = 0;
    std::string version_text;  // "4.0" in Jet 4 files
    std::array<std::uint8_t, 128> masked_plain{};
};

// REQUIRES: page0 is the full first page. Never fails; short input decodes as zeros.
HeaderInfo decode_header(ByteView page0);

// XORs the RC4 mask over the masked region of a page-0 image (0x18..0x97);
// applying it twice restores the input. REQUIRES: page0.size() >= 0x98.
void apply_header_mask(std::span<std::uint8_t> page0);

// One slot of a data page's row table.
struct RowSlot {
    std::uint16_t raw = 0;  // offset with flag bits
    std::uint16_t start = 0;
    std::uint16_t end = 0;  // exclusive
    bool deleted() const { return raw & kRowDeleted; }
    bool overflow() const { return raw & kRowOverflow; }
    std::uint16_t length() const { return end - start; }
};

struct DataPageInfo {
    std::uint16_t free_space = 0;
    std::uint32_t owner = 0;
    bool lval = false;
    std::vector<RowSlot> rows;
    std::uint32_t computed_free = 0;  // page size - header - table - row bytes
};

// Decodes a data page's header and row table. Returns false with `error`
// set when the row table cannot be trusted (count too large, offsets outside
// the page or not decreasing); `info` then holds what was decoded.
bool read_data_page(ByteView page, DataPageInfo& info, std::string& error);

// The bytes of row `row` on data page `page`, honouring nothing but the row
// table (flags ignored). nullopt with `error` set when absent or unreadable.
std::optional<ByteView> data_row(const Jet4File& file, std::uint32_t page, std::uint32_t row,
                                 std::string& error, RowSlot* slot = nullptr);

// A TDEF map pointer: row number (low byte) and page (upper three bytes).
struct RowPointer {
    std::uint8_t row = 0;
    std::uint32_t page = 0;
    static RowPointer from_u32(std::uint32_t v) {
        return {static_cast<std::uint8_t>(v & 0xFF), v >> 8};
    }
};

// A decoded usage map: the pages whose bit is set, and for reference maps
// the type-5 pages holding the bitmaps.
struct UsageMap {
    std::uint8_t type = 0;
    std::uint32_t start = 0;  // inline maps: first page covered
    std::uint32_t bitmap_bits = 0;
    std::vector<std::uint32_t> pages;      // ascending
    std::vector<std::uint32_t> map_pages;  // reference maps only
    // Reference-map slots holding negative page numbers, read as "no page"
    // (seen only in a hand-altered sample file).
    std::vector<std::uint32_t> negative_slots;
};

// Decodes a usage-map row (inline or reference). Pages past the file end
// with their bit set are reported in `error` but kept in `pages`.
bool decode_usage_map(const Jet4File& file, ByteView row, UsageMap& map, std::string& error);

// Decoded index page.
struct IndexPageInfo {
    std::uint8_t type = 0;
    std::uint16_t free_space = 0;
    std::uint32_t owner = 0;
    std::uint32_t prev = 0;
    std::uint32_t next = 0;
    std::uint32_t tail = 0;
    std::uint16_t prefix_length = 0;
    std::uint32_t entries_end = 0;                   // page offset just past the last entry
    std::vector<std::vector<std::uint8_t>> entries;  // prefix restored
};

// Decodes an index page's header, entry mask and prefix-compressed entries.
bool read_index_page(ByteView page, IndexPageInfo& info, std::string& error);

// "page 12" style helpers for messages.
std::string hex_byte(std::uint8_t v);
std::string hex_bytes(const std::vector<std::uint8_t>& bytes, std::size_t limit = 48);

}  // namespace tessaly::test::jet
