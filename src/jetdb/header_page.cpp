#include "jetdb/header_page.h"

#include <array>
#include <cmath>
#include <cstring>
#include <numeric>

#include "common/le.h"

namespace tessaly::jetdb {

using namespace layout;

void rc4_apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> bytes) {
    constexpr std::size_t kStateSize = 256;
    std::array<std::uint8_t, kStateSize> s;
    std::iota(s.begin(), s.end(), 0);
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < kStateSize; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t x = 0;
    j = 0;
    for (auto& b : bytes) {
        x = static_cast<std::uint8_t>(x + 1);
        j = static_cast<std::uint8_t>(j + s[x]);
        std::swap(s[x], s[j]);
        b ^= s[static_cast<std::uint8_t>(s[x] + s[j])];
    }
}

PageBytes build_header_page(const HeaderFields& fields) {
    PageBytes page{};
    page[0] = 0x00;
    page[1] = kPageMarker;
    std::memcpy(page.data() + kHeaderSignatureOffset, kHeaderSignature, sizeof kHeaderSignature);
    page[kHeaderVersionOffset] = kHeaderVersionJet4;

    for (std::size_t i = 0; i < std::size(kHeaderMaskedConstants); ++i)
        put_u32(page, kHeaderMaskedOffset + 4 * i, kHeaderMaskedConstants[i]);
    put_u16(page, kHeaderCodePageOffset, fields.code_page);
    put_u32(page, kHeaderDatabaseKeyOffset, 0);
    // An empty password is stored as the mask itself: the whole days of the
    // creation date as a 32-bit integer, repeated.
    const auto mask =
        static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(fields.creation_date)));
    for (std::size_t off = 0; off < kHeaderPasswordLength; off += 4)
        put_u32(page, kHeaderPasswordOffset + off, mask);
    put_u32(page, kHeaderEngineBuildOffset, kEngineBuildNumber);
    put_u16(page, kHeaderSortOrderOffset, fields.sort_lcid);
    page[kHeaderSortOrderOffset + 2] = 0;
    page[kHeaderSortOrderOffset + 3] = kSortVersionGeneral;
    put_f64(page, kHeaderCreationDateOffset, fields.creation_date);
    rc4_apply(kHeaderMaskKey,
              std::span<std::uint8_t>(page).subspan(kHeaderMaskedOffset, kHeaderMaskedLength));

    put_u32(page, kHeaderUnmaskedConstantOffset, kHeaderUnmaskedConstant);
    std::memcpy(page.data() + kHeaderEngineVersionOffset, kHeaderEngineVersion,
                sizeof kHeaderEngineVersion);
    for (std::size_t w = 0; w < kHeaderTrailerWords; ++w)
        put_u16(page, kHeaderTrailerOffset + 2 * w,
                w == 0 ? kHeaderTrailerFirstWord : kHeaderTrailerWord);
    return page;
}

}  // namespace tessaly::jetdb
