#include "reader/page_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace tessaly::reader {

namespace {

class FileSource final : public PageSource {
  public:
    explicit FileSource(int fd) : fd_(fd) {}
    ~FileSource() override { close(); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        if (fd_ < 0 || offset > static_cast<std::uint64_t>(INT64_MAX)) return 0;
        std::size_t done = 0;
        while (done < buffer.size()) {
            ssize_t n = ::pread(fd_, buffer.data() + done, buffer.size() - done,
                                static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        return done;
    }
    void close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool is_open() const override { return fd_ >= 0; }

  private:
    int fd_;
};

class MemorySource final : public PageSource {
  public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        if (!open_ || offset >= bytes_.size()) return 0;
        std::size_t n = std::min<std::size_t>(buffer.size(), bytes_.size() - offset);
        std::memcpy(buffer.data(), bytes_.data() + offset, n);
        return n;
    }
    void close() override {
        open_ = false;
        bytes_.clear();
        bytes_.shrink_to_fit();
    }
    bool is_open() const override { return open_; }

  private:
    std::vector<std::uint8_t> bytes_;
    bool open_ = true;
};

}  // namespace

std::unique_ptr<PageSource> open_file_source(const std::filesystem::path& path,
                                             SourceOpenError& error) {
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        error = SourceOpenError::NotFound;
        return nullptr;
    }
    if (std::filesystem::is_directory(status)) {
        error = SourceOpenError::CannotOpen;
        return nullptr;
    }
    // O_NOATIME keeps the access time as it was; only the owner may ask for it,
    // so fall back to a plain read-only open.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = SourceOpenError::CannotOpen;
        return nullptr;
    }
    error = SourceOpenError::None;
    return std::make_unique<FileSource>(fd);
}

std::unique_ptr<PageSource> make_memory_source(std::vector<std::uint8_t> bytes) {
    return std::make_unique<MemorySource>(std::move(bytes));
}

}  // namespace tessaly::reader
