// The page file a database is written into: allocation of page numbers, the
// size limit, and buffered writing of whole pages.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "jetdb/jet4_layout.h"

namespace tessaly::jetdb {

// Pages are numbered from 0 in allocation order; the file's page count only
// grows. Writes of consecutive pages are gathered into larger writes.
// Every failure throws EngineError.
class PageFile {
  public:
    // Creates `path`, which must not exist yet. The file never grows to
    // `max_bytes` or beyond.
    PageFile(const std::filesystem::path& path, std::uint64_t max_bytes);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    std::uint32_t page_count() const { return page_count_; }
    // Pages that can still be allocated before the limit.
    std::uint32_t room() const { return max_pages_ - page_count_; }

    // Throws EngineError unless `pages` more pages can be allocated.
    void require_room(std::uint32_t pages) const;

    // Hands out the next page number. Throws EngineError when the file
    // would reach its size limit; nothing changes then.
    std::uint32_t allocate();

    // Writes one whole page. REQUIRES: page < page_count(), bytes.size() == kPageSize.
    void write(std::uint32_t page, std::span<const std::uint8_t> bytes);

    // Reads back one page written before. REQUIRES: out.size() == kPageSize.
    void read(std::uint32_t page, std::span<std::uint8_t> out);

    // Flushes, checks that every allocated page was written, syncs and closes.
    void finish();
    // Closes and deletes the file (used when a database cannot be completed).
    void abandon() noexcept;

  private:
    void flush_buffer();
    void write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t size);

    std::filesystem::path path_;
    int fd_ = -1;
    std::uint32_t page_count_ = 0;
    std::uint32_t max_pages_ = 0;
    std::vector<bool> written_;
    // Write-behind buffer for a run of consecutive pages starting at buffer_first_.
    std::vector<std::uint8_t> buffer_;
    std::uint32_t buffer_first_ = 0;
    std::uint32_t buffer_pages_ = 0;
};

}  // namespace tessaly::jetdb
