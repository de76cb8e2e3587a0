// Little-endian integer access for on-disk structures.
//
// Every on-disk integer of a Jet file is little-endian. These helpers are the
// only way the project turns bytes into integers and back:
//   - ByteView: a non-owning, bounds-checked view. Reads outside the view
//     answer std::nullopt (or the caller's default) and never touch memory
//     outside the span.
//   - put_u16/put_u24/put_u32/put_u64: writers into a caller-owned buffer.
//     REQUIRES: offset + width <= buffer size (checked with assert in debug).
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace tessaly {

class ByteView {
  public:
    ByteView() = default;
    ByteView(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit ByteView(std::span<const std::uint8_t> bytes)
        : data_(bytes.data()), size_(bytes.size()) {}

    std::size_t size() const { return size_; }
    const std::uint8_t* data() const { return data_; }

    // True when [offset, offset + width) lies inside the view.
    bool contains(std::int64_t offset, std::int64_t width) const {
        return offset >= 0 && width >= 0 && static_cast<std::uint64_t>(offset) <= size_ &&
               static_cast<std::uint64_t>(width) <= size_ - static_cast<std::uint64_t>(offset);
    }

    std::optional<std::uint8_t> u8(std::int64_t offset) const {
        if (!contains(offset, 1)) return std::nullopt;
        return data_[offset];
    }
    std::optional<std::uint16_t> u16(std::int64_t offset) const {
        if (!contains(offset, 2)) return std::nullopt;
        return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    }
    std::optional<std::uint32_t> u24(std::int64_t offset) const {
        if (!contains(offset, 3)) return std::nullopt;
        return static_cast<std::uint32_t>(data_[offset]) |
               (static_cast<std::uint32_t>(data_[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(data_[offset + 2]) << 16);
    }
    std::optional<std::uint32_t> u32(std::int64_t offset) const {
        if (!contains(offset, 4)) return std::nullopt;
        return static_cast<std::uint32_t>(data_[offset]) |
               (static_cast<std::uint32_t>(data_[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(data_[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(data_[offset + 3]) << 24);
    }
    std::optional<std::uint64_t> u64(std::int64_t offset) const {
        if (!contains(offset, 8)) return std::nullopt;
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | data_[offset + i];
        return v;
    }
    std::optional<double> f64(std::int64_t offset) const {
        auto bits = u64(offset);
        if (!bits) return std::nullopt;
        double d;
        std::memcpy(&d, &*bits, sizeof d);
        return d;
    }
    std::optional<float> f32(std::int64_t offset) const {
        auto bits = u32(offset);
        if (!bits) return std::nullopt;
        float f;
        std::memcpy(&f, &*bits, sizeof f);
        return f;
    }
    // Sub-view of [offset, offset + width); empty when it does not fit.
    ByteView sub(std::int64_t offset, std::int64_t width) const {
        if (!contains(offset, width)) return {};
        return ByteView(data_ + offset, static_cast<std::size_t>(width));
    }

  private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

inline void put_u8(std::span<std::uint8_t> out, std::size_t offset, std::uint8_t v) {
    assert(offset + 1 <= out.size());
    out[offset] = v;
}
inline void put_u16(std::span<std::uint8_t> out, std::size_t offset, std::uint16_t v) {
    assert(offset + 2 <= out.size());
    out[offset] = static_cast<std::uint8_t>(v);
    out[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put_u24(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t v) {
    assert(offset + 3 <= out.size());
    for (int i = 0; i < 3; ++i)
        out[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void put_u32(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t v) {
    assert(offset + 4 <= out.size());
    for (int i = 0; i < 4; ++i)
        out[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void put_u64(std::span<std::uint8_t> out, std::size_t offset, std::uint64_t v) {
    assert(offset + 8 <= out.size());
    for (int i = 0; i < 8; ++i)
        out[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void put_f64(std::span<std::uint8_t> out, std::size_t offset, double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    put_u64(out, offset, bits);
}
inline void put_f32(std::span<std::uint8_t> out, std::size_t offset, float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    put_u32(out, offset, bits);
}

}  // namespace tessaly
