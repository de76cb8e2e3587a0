#include "support/jet_pages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "support/jet_layout.h"

namespace tessaly::test::jet {

void ProblemList::add(Severity severity, std::uint32_t page, std::string message,
                      const std::string& kind) {
    if (!kind.empty()) {
        KindCount& k = kinds_[kind];
        k.severity = std::max(k.severity, severity);
        if (++k.seen > kLimitPerKind) return;
    }
    items.push_back({severity, page, std::move(message)});
}

void ProblemList::flush_suppressed() {
    for (auto& [kind, k] : kinds_) {
        if (k.seen > kLimitPerKind)
            items.push_back({k.severity, 0,
                             std::to_string(k.seen - kLimitPerKind) + " more findings of kind '" +
                                 kind + "' not listed"});
        k.seen = std::min(k.seen, kLimitPerKind);
    }
}

std::optional<Jet4File> Jet4File::load(const std::filesystem::path& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path.string();
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + path.string();
        return std::nullopt;
    }
    return Jet4File(std::move(bytes));
}

std::uint32_t Jet4File::page_count() const {
    return static_cast<std::uint32_t>(bytes_.size() / kPageSize);
}

ByteView Jet4File::page(std::uint32_t number) const {
    if (number >= page_count()) return {};
    return ByteView(bytes_.data() + static_cast<std::size_t>(number) * kPageSize, kPageSize);
}

namespace {

// RC4 keystream of `n` bytes for `key`.
std::vector<std::uint8_t> rc4_stream(const std::uint8_t* key, std::size_t key_len, std::size_t n) {
    std::array<std::uint8_t, 256> s;
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % key_len]);
        std::swap(s[i], s[j]);
    }
    std::vector<std::uint8_t> out(n);
    std::uint8_t a = 0, b = 0;
    for (std::size_t k = 0; k < n; ++k) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        out[k] = s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
    return out;
}

}  // namespace

void apply_header_mask(std::span<std::uint8_t> page0) {
    auto stream = rc4_stream(kHdrMaskKey, sizeof kHdrMaskKey, kHdrMaskedSize);
    for (std::size_t i = 0; i < kHdrMaskedSize && kHdrMaskedStart + i < page0.size(); ++i)
        page0[kHdrMaskedStart + i] ^= stream[i];
}

HeaderInfo decode_header(ByteView page0) {
    HeaderInfo h;
    h.page_type = page0.u8(0).value_or(0xFF);
    auto sig = page0.sub(kHdrSignature, kHdrSignatureSize);
    h.signature_ok = sig.size() == kHdrSignatureSize &&
                     std::equal(sig.data(), sig.data() + kHdrSignatureSize,
                                reinterpret_cast<const std::uint8_t*>(kHdrSignatureText));
    h.version = page0.u8(kHdrVersion).value_or(0xFF);

    // Plain copy of the page prefix with the masked region decoded in place.
    std::array<std::uint8_t, kHdrMaskedStart + kHdrMaskedSize> plain{};
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = page0.u8(i).value_or(0);
    apply_header_mask(plain);
    std::copy(plain.begin() + kHdrMaskedStart, plain.end(), h.masked_plain.begin());

    ByteView p(plain.data(), plain.size());
    h.code_page = p.u16(kHdrCodePage).value_or(0);
    h.db_key = p.u32(kHdrDbKey).value_or(0);
    for (std::size_t i = 0; i < kHdrPasswordSize; ++i)
        h.password[i] = p.u8(kHdrPassword + i).value_or(0);
    h.unknown_6a = p.u32(kHdrUnknown6A).value_or(0);
    h.sort_lcid = p.u16(kHdrSortOrder).value_or(0);
    h.sort_version = p.u8(kHdrSortOrder + 3).value_or(0);
    h.creation_date = p.f64(kHdrCreationDate).value_or(0);

    // The stored password is XORed with the truncated creation date repeated.
    std::uint32_t mask = 0;
    if (std::isfinite(h.creation_date) && std::fabs(h.creation_date) < 2147483647.0)
        mask = static_cast<std::uint32_t>(static_cast<std::int32_t>(h.creation_date));
    h.password_empty = true;
    for (std::size_t i = 0; i < kHdrPasswordSize; ++i) {
        auto m = static_cast<std::uint8_t>(mask >> (8 * (i % 4)));
        if ((h.password[i] ^ m) != 0) h.password_empty = false;
    }
    h.const_98 = page0.u32(kHdrConst98).value_or(0);
    for (std::size_t i = 0; i < 4; ++i) {
        auto c = page0.u8(kHdrVersionText + i).value_or(0);
        if (c == 0) break;
        h.version_text.push_back(static_cast<char>(c));
    }
    return h;
}

bool read_data_page(ByteView page, DataPageInfo& info, std::string& error) {
    info = {};
    if (page.size() != kPageSize) {
        error = "page missing";
        return false;
    }
    info.free_space = *page.u16(kDataFreeSpace);
    info.owner = *page.u32(kDataOwner);
    info.lval = info.owner == kLvalTag;
    std::uint32_t count = *page.u16(kDataRowCount);
    std::uint32_t table_end = kDataRowTable + 2 * count;
    if (count > kMaxRowsPerPage || table_end > kPageSize) {
        error = "row count " + std::to_string(count) + " is impossible";
        return false;
    }
    std::uint32_t end = kPageSize;
    for (std::uint32_t i = 0; i < count; ++i) {
        RowSlot slot;
        slot.raw = *page.u16(kDataRowTable + 2 * i);
        slot.start = slot.raw & kRowOffsetMask;
        if (slot.start < table_end || slot.start > end) {
            error = "row " + std::to_string(i) + " offset " + std::to_string(slot.start) +
                    (slot.start < table_end
                         ? " overlaps the row table"
                         : " is not below the previous row's start " + std::to_string(end));
            return false;
        }
        slot.end = static_cast<std::uint16_t>(end);
        end = slot.start;
        info.rows.push_back(slot);
    }
    info.computed_free = end - table_end;
    return true;
}

std::optional<ByteView> data_row(const Jet4File& file, std::uint32_t page, std::uint32_t row,
                                 std::string& error, RowSlot* slot) {
    ByteView pg = file.page(page);
    if (pg.size() == 0) {
        error = "page " + std::to_string(page) + " is past the end of the file";
        return std::nullopt;
    }
    if (pg.u8(0) != kPageData) {
        error = "page " + std::to_string(page) + " is not a data page (type " +
                hex_byte(*pg.u8(0)) + ")";
        return std::nullopt;
    }
    DataPageInfo info;
    if (!read_data_page(pg, info, error)) {
        error = "page " + std::to_string(page) + ": " + error;
        return std::nullopt;
    }
    if (row >= info.rows.size()) {
        error = "row " + std::to_string(row) + " does not exist on page " + std::to_string(page) +
                " (" + std::to_string(info.rows.size()) + " rows)";
        return std::nullopt;
    }
    const RowSlot& s = info.rows[row];
    if (slot) *slot = s;
    return pg.sub(s.start, s.length());
}

bool decode_usage_map(const Jet4File& file, ByteView row, UsageMap& map, std::string& error) {
    map = {};
    auto type = row.u8(0);
    if (!type) {
        error = "usage map row is empty";
        return false;
    }
    map.type = *type;
    if (map.type == kMapInline) {
        auto start = row.u32(kMapInlineStart);
        if (!start || row.size() < kMapInlineBits) {
            error = "inline usage map row of " + std::to_string(row.size()) + " bytes is too short";
            return false;
        }
        map.start = *start;
        std::size_t nbytes = row.size() - kMapInlineBits;
        map.bitmap_bits = static_cast<std::uint32_t>(nbytes * 8);
        for (std::size_t k = 0; k < nbytes; ++k) {
            std::uint8_t b = *row.u8(kMapInlineBits + k);
            for (int bit = 0; bit < 8; ++bit)
                if (b & (1u << bit))
                    map.pages.push_back(map.start + static_cast<std::uint32_t>(8 * k + bit));
        }
        return true;
    }
    if (map.type == kMapReference) {
        std::size_t pointers = (row.size() - kMapRefPointers) / 4;
        for (std::size_t i = 0; i < pointers; ++i) {
            std::uint32_t mp = *row.u32(kMapRefPointers + 4 * i);
            if (mp == 0) continue;
            if (mp & kRefSlotNegative) {
                map.negative_slots.push_back(mp);
                continue;
            }
            ByteView bitmap = file.page(mp);
            if (bitmap.size() == 0) {
                error = "reference usage map points at page " + std::to_string(mp) +
                        " past the end of the file";
                return false;
            }
            if (bitmap.u8(0) != kPageUsageMap) {
                error = "reference usage map points at page " + std::to_string(mp) + " of type " +
                        hex_byte(*bitmap.u8(0)) + ", not a map page";
                return false;
            }
            map.map_pages.push_back(mp);
            std::uint32_t base = static_cast<std::uint32_t>(i) * kMapPageSpan;
            for (std::size_t k = kMapPageBits; k < kPageSize; ++k) {
                std::uint8_t b = *bitmap.u8(k);
                for (int bit = 0; bit < 8 && b; ++bit)
                    if (b & (1u << bit))
                        map.pages.push_back(
                            base + static_cast<std::uint32_t>(8 * (k - kMapPageBits) + bit));
            }
        }
        map.bitmap_bits = static_cast<std::uint32_t>(pointers) * kMapPageSpan;
        return true;
    }
    error = "usage map has unknown type " + hex_byte(map.type);
    return false;
}

bool read_index_page(ByteView page, IndexPageInfo& info, std::string& error) {
    info = {};
    if (page.size() != kPageSize) {
        error = "page missing";
        return false;
    }
    info.type = *page.u8(0);
    info.free_space = *page.u16(kIdxFreeSpace);
    info.owner = *page.u32(kIdxOwner);
    info.prev = *page.u32(kIdxPrev);
    info.next = *page.u32(kIdxNext);
    info.tail = *page.u32(kIdxTail);
    info.prefix_length = *page.u16(kIdxPrefixLength);

    std::vector<std::uint32_t> ends;
    if (*page.u8(kIdxMask) & 1u) {
        error = "entry mask bit 0 is set (zero-length entry)";
        return false;
    }
    for (std::uint32_t k = 1; k < kIdxMaskSize * 8; ++k) {
        if (!(*page.u8(kIdxMask + k / 8) & (1u << (k % 8)))) continue;
        if (kIdxEntries + k > kPageSize) {
            error = "entry mask marks an entry ending at " + std::to_string(kIdxEntries + k) +
                    ", past the page end";
            return false;
        }
        ends.push_back(k);
    }
    std::uint32_t start = 0;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        ByteView raw = page.sub(kIdxEntries + start, ends[i] - start);
        std::vector<std::uint8_t> entry;
        if (i > 0) {
            const auto& first = info.entries.front();
            entry.assign(first.begin(), first.begin() + info.prefix_length);
        }
        entry.insert(entry.end(), raw.data(), raw.data() + raw.size());
        if (i == 0 && entry.size() < info.prefix_length) {
            error = "shared prefix of " + std::to_string(info.prefix_length) +
                    " bytes is longer than the first entry (" + std::to_string(entry.size()) + ")";
            return false;
        }
        info.entries.push_back(std::move(entry));
        start = ends[i];
    }
    info.entries_end = kIdxEntries + start;
    return true;
}

std::string hex_byte(std::uint8_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v);
    return buf;
}

std::string hex_bytes(const std::vector<std::uint8_t>& bytes, std::size_t limit) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        out += buf;
    }
    if (bytes.size() > limit) out += "...";
    return out;
}

}  // namespace tessaly::test::jet
