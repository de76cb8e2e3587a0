#include "common/le.h"

#include <gtest/gtest.h>

#include <array>

namespace tessaly {
namespace {

TEST(ByteView, ReadsInsideAndRefusesOutside) {
    const std::array<std::uint8_t, 6> bytes{0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF};
    ByteView v(bytes);
    EXPECT_EQ(v.u16(0), 0x0201);
    EXPECT_EQ(v.u24(1), 0x040302u);
    EXPECT_EQ(v.u32(2), 0xFFFF0403u);
    EXPECT_EQ(v.u16(4), 0xFFFF);
    EXPECT_FALSE(v.u16(5));
    EXPECT_FALSE(v.u32(3));
    EXPECT_FALSE(v.u8(-1));
    EXPECT_FALSE(v.u64(0));
    EXPECT_EQ(v.sub(4, 3).size(), 0u);
    EXPECT_EQ(v.sub(4, 2).size(), 2u);
}

TEST(ByteView, WritersRoundTrip) {
    std::array<std::uint8_t, 24> buf{};
    put_u16(buf, 0, 0xBEEF);
    put_u24(buf, 2, 0x123456);
    put_u32(buf, 5, 0xCAFEBABE);
    put_f64(buf, 12, -2.5);
    ByteView v(buf);
    EXPECT_EQ(v.u16(0), 0xBEEF);
    EXPECT_EQ(v.u24(2), 0x123456u);
    EXPECT_EQ(v.u32(5), 0xCAFEBABEu);
    EXPECT_EQ(v.f64(12), -2.5);
}

}  // namespace
}  // namespace tessaly
