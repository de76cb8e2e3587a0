#include "reader/jet_file.h"

#include <algorithm>
#include <utility>

namespace tessaly::reader {

namespace {

// The header's masked region is XORed with an RC4 keystream; only the code
// page is needed from it, so the stream is produced up to that field.
int header_code_page(const PageBuffer& page0) {
    constexpr std::size_t kStreamLength = kCodePageOffset + 2 - kHeaderMaskOffset;
    std::array<std::uint8_t, 256> s;
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + kHeaderMaskKey[i % sizeof kHeaderMaskKey]);
        std::swap(s[i], s[j]);
    }
    std::array<std::uint8_t, kStreamLength> stream;
    std::uint8_t a = 0, b = 0;
    for (auto& k : stream) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        k = s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
    const std::size_t at = kCodePageOffset - kHeaderMaskOffset;
    int low = page0[kCodePageOffset] ^ stream[at];
    int high = page0[kCodePageOffset + 1] ^ stream[at + 1];
    int code_page = low | (high << 8);
    return code_page == 0 ? kDefaultCodePage : code_page;
}

void close_sources_left_open(recovery::RecoveryState& state) {
    for (auto& weak : state.sources_left_open) {
        if (auto file = weak.lock()) file->close();
    }
    state.sources_left_open.clear();
}

std::shared_ptr<JetFile> open_source(std::unique_ptr<PageSource> source, std::filesystem::path path,
                                     recovery::RecoveryState& state, OpenError* error) {
    auto fail = [&](OpenError why) -> std::shared_ptr<JetFile> {
        if (error) *error = why;
        return nullptr;
    };
    auto file = std::make_shared<JetFile>(std::move(source), std::move(path));
    // Provisional Jet 3 pages: the header fits in the first 2048 bytes.
    if (read_page(*file, file->page, 0) == 0) return fail(OpenError::TooShort);
    file->current_page = 0;
    file->cursor = 0;
    std::int32_t version = get_u32(*file, kVersionOffset);
    if (version != kVersionJet3 && version != kVersionJet4) {
        bool jet3 = false;
        for (std::int64_t probe : kSignatureProbePages) {
            load_page(*file, probe);
            jet3 = jet3 || get_u16(*file, kJet3SignatureOffset) == kJet3Signature;
        }
        version = jet3 ? kVersionJet3 : kVersionJet4;
        read_page(*file, file->page, 0);
        file->current_page = 0;
        file->cursor = 0;
    }
    file->version = version;
    file->format = version == kVersionJet4 ? &jet4_format : &jet3_format;
    file->code_page = header_code_page(file->page);
    state.sources_left_open.push_back(file);
    if (error) *error = OpenError::None;
    return file;
}

std::uint8_t byte_at(const PageBuffer& buffer, std::int64_t offset) {
    if (offset < 0 || offset >= static_cast<std::int64_t>(buffer.size())) return 0;
    return buffer[static_cast<std::size_t>(offset)];
}

std::int64_t reduce_negative(std::int64_t offset) {
    constexpr std::int64_t kLow12 = 0xFFF;
    return offset < 0 ? (offset & kLow12) : offset;
}

}  // namespace

JetFile::JetFile(std::unique_ptr<PageSource> source, std::filesystem::path path_in)
    : path(std::move(path_in)), source_(std::move(source)) {}

JetFile::~JetFile() = default;

bool JetFile::is_open() const {
    return source_ && source_->is_open();
}

void JetFile::close() {
    if (source_) source_->close();
}

void JetFile::decode_8bit_text(ByteView source, std::string& out) {
    if (!decoder_ || decoder_->code_page() != code_page)
        decoder_ = std::make_unique<CodePageDecoder>(code_page);
    decoder_->decode(source, out);
}

std::shared_ptr<JetFile> jet_open(const std::filesystem::path& path, recovery::RecoveryState& state,
                                  OpenError* error) {
    close_sources_left_open(state);
    SourceOpenError why = SourceOpenError::None;
    auto source = open_file_source(path, why);
    if (!source) {
        if (error)
            *error = why == SourceOpenError::NotFound ? OpenError::NotFound : OpenError::CannotOpen;
        return nullptr;
    }
    return open_source(std::move(source), path, state, error);
}

std::shared_ptr<JetFile> jet_open_bytes(std::vector<std::uint8_t> bytes,
                                        recovery::RecoveryState& state, OpenError* error) {
    close_sources_left_open(state);
    return open_source(make_memory_source(std::move(bytes)), {}, state, error);
}

void jet_close(JetFile& file, const recovery::RecoveryState& state) {
    if (state.close_source_on_release) file.close();
}

std::int64_t read_page(JetFile& file, PageBuffer& buffer, std::int64_t number) {
    if (number < 0 || !file.is_open()) return 0;
    const std::uint64_t size = file.format->page_size;
    const std::uint64_t offset = size * static_cast<std::uint64_t>(number);
    if (offset / size != static_cast<std::uint64_t>(number)) return 0;
    ++file.page_reads;
    std::size_t got = file.source().read_at(offset, std::span(buffer.data(), size));
    return got == size ? static_cast<std::int64_t>(size) : 0;
}

void load_page(JetFile& file, std::int64_t number) {
    if (number == 0 || number != file.current_page) read_page(file, file.page, number);
    file.current_page = number;
    file.cursor = 0;
}

std::int64_t load_alt_page(JetFile& file, std::int64_t number) {
    return read_page(file, file.alt_page, number);
}

void swap_page_buffers(JetFile& file) {
    std::swap(file.page, file.alt_page);
}

std::int32_t get_u8(JetFile& file, std::int64_t offset) {
    auto v = file.page_view().u8(offset);
    if (!v) return -1;
    file.cursor += 1;
    return *v;
}

std::int32_t get_u16(JetFile& file, std::int64_t offset) {
    auto v = file.page_view().u16(offset);
    if (!v) return -1;
    file.cursor += 2;
    return *v;
}

std::int32_t get_u24(JetFile& file, std::int64_t offset) {
    auto v = file.page_view().u24(offset);
    if (!v) return -1;
    file.cursor += 3;
    return static_cast<std::int32_t>(*v);
}

std::int32_t get_u32(JetFile& file, std::int64_t offset) {
    auto v = file.page_view().u32(offset);
    if (!v) return -1;
    file.cursor += 4;
    return static_cast<std::int32_t>(*v);
}

double get_f64(JetFile& file, std::int64_t offset) {
    auto v = file.page_view().f64(offset);
    return v ? *v : -1.0;
}

std::uint8_t buf_u8(const PageBuffer& buffer, std::int64_t offset) {
    return byte_at(buffer, reduce_negative(offset));
}

std::uint16_t buf_u16(const PageBuffer& buffer, std::int64_t offset) {
    offset = reduce_negative(offset);
    return static_cast<std::uint16_t>(byte_at(buffer, offset) | (byte_at(buffer, offset + 1) << 8));
}

std::int32_t buf_u32(const PageBuffer& buffer, std::int64_t offset) {
    offset = reduce_negative(offset);
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | byte_at(buffer, offset + i);
    return static_cast<std::int32_t>(v);
}

}  // namespace tessaly::reader
