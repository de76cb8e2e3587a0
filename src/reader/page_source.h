// Where a JetFile's bytes come from: a source file opened read-only, or bytes
// held in memory (fuzzing, tests, data already loaded by a caller).
//
// A source never writes. Reads are positional; a read at or past the end
// answers 0 and leaves the buffer untouched; a read that straddles the end
// fills the bytes that exist and answers their count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

namespace tessaly::reader {

class PageSource {
  public:
    virtual ~PageSource() = default;
    // Reads up to buffer.size() bytes starting at offset; answers how many
    // arrived (0 after close()).
    virtual std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> buffer) = 0;
    // Releases the underlying file; later reads answer 0. Idempotent.
    virtual void close() = 0;
    virtual bool is_open() const = 0;
};

// Why a file source could not be opened.
enum class SourceOpenError {
    None,
    NotFound,    // the path names nothing
    CannotOpen,  // exists but cannot be opened for reading (a folder, no permission)
};

// Opens `path` for reading only: no write access is asked for, no attribute,
// permission or time is changed (access times are left alone where the system
// allows it). Returns null and sets `error` on failure.
std::unique_ptr<PageSource> open_file_source(const std::filesystem::path& path,
                                             SourceOpenError& error);

// A source over bytes in memory (taken over by the source).
std::unique_ptr<PageSource> make_memory_source(std::vector<std::uint8_t> bytes);

}  // namespace tessaly::reader
