#include "jetdb/page_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "jetdb/engine_error.h"

namespace tessaly::jetdb {

namespace {

// Pages gathered before a write-behind flush.
constexpr std::uint32_t kBufferPages = 256;

std::string errno_text() {
    return std::strerror(errno);
}

}  // namespace

PageFile::PageFile(const std::filesystem::path& path, std::uint64_t max_bytes) : path_(path) {
    const std::uint64_t limit = std::min<std::uint64_t>(max_bytes, layout::kMaxFileBytes);
    // The file stays strictly below the limit.
    max_pages_ = static_cast<std::uint32_t>((limit - 1) / layout::kPageSize);
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0) throw EngineError("Cannot create file '" + path.string() + "': " + errno_text());
    buffer_.resize(kBufferPages * layout::kPageSize);
}

PageFile::~PageFile() {
    if (fd_ >= 0) ::close(fd_);
}

void PageFile::require_room(std::uint32_t pages) const {
    if (room() < pages) throw EngineError("The database has reached its maximum size of 2 GB");
}

std::uint32_t PageFile::allocate() {
    require_room(1);
    written_.push_back(false);
    return page_count_++;
}

void PageFile::write(std::uint32_t page, std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) throw EngineError("The database file is closed");
    if (page >= page_count_ || bytes.size() != layout::kPageSize)
        throw EngineError("Internal error: write of an unallocated page");
    written_[page] = true;
    if (buffer_pages_ > 0 && page >= buffer_first_ && page < buffer_first_ + buffer_pages_) {
        std::memcpy(buffer_.data() + (page - buffer_first_) * layout::kPageSize, bytes.data(),
                    layout::kPageSize);
        return;
    }
    if (buffer_pages_ > 0 &&
        (page != buffer_first_ + buffer_pages_ || buffer_pages_ == kBufferPages))
        flush_buffer();
    if (buffer_pages_ == 0) buffer_first_ = page;
    std::memcpy(buffer_.data() + buffer_pages_ * layout::kPageSize, bytes.data(),
                layout::kPageSize);
    ++buffer_pages_;
}

void PageFile::read(std::uint32_t page, std::span<std::uint8_t> out) {
    if (fd_ < 0) throw EngineError("The database file is closed");
    if (page >= page_count_ || !written_[page] || out.size() != layout::kPageSize)
        throw EngineError("Internal error: read of a page never written");
    if (buffer_pages_ > 0 && page >= buffer_first_ && page < buffer_first_ + buffer_pages_) {
        std::memcpy(out.data(), buffer_.data() + (page - buffer_first_) * layout::kPageSize,
                    layout::kPageSize);
        return;
    }
    std::size_t done = 0;
    const auto offset = static_cast<std::uint64_t>(page) * layout::kPageSize;
    while (done < out.size()) {
        const ssize_t n =
            ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw EngineError("Cannot read '" + path_.string() + "': " + errno_text());
        done += static_cast<std::size_t>(n);
    }
}

void PageFile::flush_buffer() {
    if (buffer_pages_ == 0) return;
    write_at(static_cast<std::uint64_t>(buffer_first_) * layout::kPageSize, buffer_.data(),
             static_cast<std::size_t>(buffer_pages_) * layout::kPageSize);
    buffer_pages_ = 0;
}

void PageFile::write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EngineError("Cannot write '" + path_.string() + "': " + errno_text());
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
}

void PageFile::finish() {
    if (fd_ < 0) throw EngineError("The database file is closed");
    flush_buffer();
    for (std::uint32_t p = 0; p < page_count_; ++p)
        if (!written_[p])
            throw EngineError("Internal error: page " + std::to_string(p) + " was never written");
    if (::fsync(fd_) != 0)
        throw EngineError("Cannot write '" + path_.string() + "': " + errno_text());
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        throw EngineError("Cannot close '" + path_.string() + "': " + errno_text());
}

void PageFile::abandon() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

}  // namespace tessaly::jetdb
