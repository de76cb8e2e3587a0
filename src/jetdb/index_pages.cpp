// Building the pages of one index from its sorted entries.
//
// Algorithm:
//  1. Sort the entries (key bytes, then data page, then row).
//  2. Pack the leaf level greedily: each leaf takes entries while their bytes,
//     with the prefix shared by all of them left out after the first, fit
//     into one page. A page whose entries fit without compression is written
//     uncompressed (prefix 0), as Access leaves its open pages.
//  3. While a level has more than one page, pack a node level above it: each
//     node page has one entry per child (the child subtree's last leaf entry
//     plus the child page) except its last child, which only the tail field
//     names. No node page is left with a single child when a neighbour can
//     spare one.
//  4. Number the pages top-down (root first, each level left to right) and
//     write each page once, with previous/next links within its level.
// Only per-page bookkeeping is kept besides the entries themselves.
#include "jetdb/index_pages.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>

#include "common/le.h"
#include "jetdb/engine_error.h"
#include "jetdb/index_page_format.h"

namespace tessaly::jetdb {
namespace {

using namespace index_page;

constexpr std::uint32_t kMaxRowPage = 0xFFFFFF;  // data pages are stored in 3 bytes
constexpr std::uint32_t kNoPage = 0;

using KeyView = std::span<const std::uint8_t>;

// Unsigned byte order, shorter first on a common prefix.
int compare_keys(KeyView a, KeyView b) {
    const std::size_t n = std::min(a.size(), b.size());
    if (n > 0) {
        const int c = std::memcmp(a.data(), b.data(), n);
        if (c != 0) return c;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

std::size_t common_prefix(KeyView a, KeyView b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// The first key bytes as a big-endian number, zero-padded: two keys whose
// heads differ compare as their heads do.
constexpr std::size_t kHeadBytes = 8;

std::uint64_t key_head(KeyView key) {
    std::uint64_t head = 0;
    for (std::size_t k = 0; k < kHeadBytes; ++k)
        head = (head << 8) | (k < key.size() ? key[k] : 0);
    return head;
}

// One page of a level: items [begin, end) of the level below (leaves: the
// entries). Node pages give an entry to items [begin, end - 1) and name the
// last item in the tail field, unless they hold a single item.
struct PageSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t prefix = 0;
    std::uint32_t number = 0;
};

// A level of the tree, and for each of its pages the entry its parent uses.
struct Level {
    bool leaf = true;
    std::vector<PageSpan> pages;
    std::vector<std::size_t> last_entry;  // per page: its subtree's last leaf entry
};

// The sizes and keys of the items one level packs.
struct Items {
    const IndexKeys* entries = nullptr;
    const std::vector<std::size_t>* last_entry = nullptr;  // null for leaves
    std::size_t count = 0;

    KeyView key(std::size_t i) const { return entries->key(last_entry ? (*last_entry)[i] : i); }
    std::size_t size(std::size_t i) const {
        return key(i).size() + kRowPointerSize + (last_entry ? kChildPointerSize : 0);
    }
};

// Entries a page of items [begin, end) carries.
std::size_t entry_end(const Items& items, std::size_t begin, std::size_t end) {
    if (items.last_entry == nullptr || end - begin <= 1) return end;
    return end - 1;
}

// Prefix a page is written with: 0 when its entries fit whole, otherwise
// the key bytes all of them share.
std::size_t page_prefix(const Items& items, std::size_t begin, std::size_t end) {
    const std::size_t last = entry_end(items, begin, end);
    std::size_t raw = 0;
    for (std::size_t i = begin; i < last; ++i)
        raw += items.size(i);
    if (raw <= kEntryCapacity) return 0;
    const KeyView first = items.key(begin);
    std::size_t prefix = first.size();
    for (std::size_t i = begin + 1; i < last; ++i)
        prefix = std::min(prefix, common_prefix(first, items.key(i)));
    return prefix;
}

std::vector<PageSpan> pack(const Items& items) {
    std::vector<PageSpan> pages;
    const bool node = items.last_entry != nullptr;
    std::size_t i = 0;
    while (i < items.count) {
        const std::size_t begin = i;
        if (items.size(begin) > kEntryCapacity)
            throw EngineError("index key of " + std::to_string(items.key(begin).size()) +
                              " bytes does not fit on an index page");
        std::size_t sum = items.size(begin);
        const KeyView first = items.key(begin);
        std::size_t prefix = first.size();
        std::size_t j = begin + 1;
        for (; j < items.count; ++j) {
            const std::size_t p = std::min(prefix, common_prefix(first, items.key(j)));
            const std::size_t n = j - begin + 1;
            const std::size_t packed = sum + items.size(j) - (n - 1) * p;
            if (packed > kEntryCapacity) break;
            sum += items.size(j);
            prefix = p;
        }
        // A node page also takes the first child that did not fit, as its tail.
        const std::size_t end = (node && j < items.count) ? j + 1 : j;
        pages.push_back(PageSpan{begin, end, 0, 0});
        i = end;
    }
    if (node && pages.size() > 1 && pages.back().end - pages.back().begin == 1) {
        PageSpan& prev = pages[pages.size() - 2];
        if (prev.end - prev.begin >= 3) {
            --prev.end;
            --pages.back().begin;
        }
    }
    for (auto& p : pages)
        p.prefix = page_prefix(items, p.begin, p.end);
    return pages;
}

void put_be(std::span<std::uint8_t> out, std::size_t at, std::uint32_t v, std::size_t width) {
    for (std::size_t k = 0; k < width; ++k)
        out[at + k] = static_cast<std::uint8_t>(v >> (8 * (width - 1 - k)));
}

class PageBuilder {
  public:
    PageBuilder(bool leaf, std::uint32_t tdef_page, std::size_t prefix) : prefix_(prefix) {
        bytes_.fill(0);
        put_u8(bytes_, kOffType, leaf ? kTypeLeaf : kTypeNode);
        put_u8(bytes_, kOffMarker, kPageMarker);
        put_u32(bytes_, kOffTdefPage, tdef_page);
        put_u16(bytes_, kOffPrefixLength, static_cast<std::uint16_t>(prefix));
        if (!leaf) put_u8(bytes_, kOffNodeMarker, kNodeMarker);
    }

    // Appends one entry: key, row pointer, and for node pages the child.
    void add(KeyView key, const IndexKeyRecord& e, std::uint32_t child, bool node) {
        std::array<std::uint8_t, kRowPointerSize + kChildPointerSize> tail{};
        put_be(tail, 0, e.page, kRowPageSize);
        tail[kRowPageSize] = e.row;
        std::size_t tail_size = kRowPointerSize;
        if (node) {
            put_be(tail, kRowPointerSize, child, kChildPointerSize);
            tail_size += kChildPointerSize;
        }
        const std::size_t skip = first_ ? 0 : prefix_;
        first_ = false;
        for (std::size_t k = skip; k < key.size(); ++k)
            push(key[k]);
        for (std::size_t k = 0; k < tail_size; ++k)
            push(tail[k]);
        const std::size_t end = used_;
        bytes_[kOffEntryMask + end / 8] |= static_cast<std::uint8_t>(1u << (end % 8));
    }

    std::span<const std::uint8_t> finish(std::uint32_t prev, std::uint32_t next,
                                         std::uint32_t tail) {
        put_u32(bytes_, kOffPrevPage, prev);
        put_u32(bytes_, kOffNextPage, next);
        put_u32(bytes_, kOffTailPage, tail);
        put_u16(bytes_, kOffFreeSpace, static_cast<std::uint16_t>(kEntryCapacity - used_));
        return bytes_;
    }

  private:
    void push(std::uint8_t b) {
        // The packing keeps every page within kEntryCapacity.
        bytes_[kOffEntries + used_] = b;
        ++used_;
    }

    std::array<std::uint8_t, kPageSize> bytes_;
    std::size_t prefix_;
    std::size_t used_ = 0;
    bool first_ = true;
};

}  // namespace

void IndexKeys::sort() {
    struct SortItem {
        std::uint64_t head;
        std::uint32_t index;
    };
    // Bytes every key starts with take no part in the order; the heads are
    // taken after them.
    std::size_t shared = records_.empty() ? 0 : key(0).size();
    for (std::size_t i = 1; i < records_.size() && shared > 0; ++i)
        shared = std::min(shared, common_prefix(key(0).first(shared), key(i)));
    const auto rest = [this, shared](std::size_t i) { return key(i).subspan(shared); };
    std::vector<SortItem> order(records_.size());
    for (std::size_t i = 0; i < records_.size(); ++i)
        order[i] = SortItem{key_head(rest(i)), static_cast<std::uint32_t>(i)};
    std::sort(order.begin(), order.end(), [this, &rest](const SortItem& a, const SortItem& b) {
        if (a.head != b.head) return a.head < b.head;
        const int c = compare_keys(rest(a.index), rest(b.index));
        if (c != 0) return c < 0;
        const IndexKeyRecord& ra = records_[a.index];
        const IndexKeyRecord& rb = records_[b.index];
        if (ra.page != rb.page) return ra.page < rb.page;
        return ra.row < rb.row;
    });
    std::vector<IndexKeyRecord> sorted(records_.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        sorted[i] = records_[order[i].index];
    records_.swap(sorted);
}

std::uint32_t write_index_pages(std::vector<IndexEntry> entries, std::uint32_t tdef_page,
                                const PageAllocator& allocate, const PageWriter& write) {
    IndexKeys keys;
    for (const auto& e : entries)
        keys.add(e.key, e.page, e.row);
    entries = {};
    return write_index_pages(std::move(keys), tdef_page, allocate, write);
}

std::uint32_t write_index_pages(IndexKeys entries, std::uint32_t tdef_page,
                                const PageAllocator& allocate, const PageWriter& write) {
    if (entries.size() > std::numeric_limits<std::uint32_t>::max())
        throw EngineError("too many entries for one index");
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries.record(i).page > kMaxRowPage)
            throw EngineError("index entry points at page " +
                              std::to_string(entries.record(i).page) +
                              ", beyond 3-byte page numbers");
    entries.sort();

    // Levels bottom-up: the leaves, then node levels until one page remains.
    std::vector<Level> levels;
    {
        Level leaves;
        leaves.pages = pack(Items{&entries, nullptr, entries.size()});
        if (leaves.pages.empty()) leaves.pages.push_back(PageSpan{});  // empty index: one leaf
        for (const auto& p : leaves.pages)
            leaves.last_entry.push_back(p.end > 0 ? p.end - 1 : 0);
        levels.push_back(std::move(leaves));
    }
    while (levels.back().pages.size() > 1) {
        const Level& below = levels.back();
        Level up;
        up.leaf = false;
        up.pages = pack(Items{&entries, &below.last_entry, below.pages.size()});
        for (const auto& p : up.pages)
            up.last_entry.push_back(below.last_entry[p.end - 1]);
        levels.push_back(std::move(up));
    }

    // Page numbers top-down, root first.
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        for (auto& p : level->pages)
            p.number = allocate();

    for (std::size_t li = 0; li < levels.size(); ++li) {
        const Level& level = levels[li];
        const Level* below = li > 0 ? &levels[li - 1] : nullptr;
        for (std::size_t pi = 0; pi < level.pages.size(); ++pi) {
            const PageSpan& p = level.pages[pi];
            PageBuilder page(level.leaf, tdef_page, p.prefix);
            std::uint32_t tail = kNoPage;
            if (level.leaf) {
                for (std::size_t i = p.begin; i < p.end; ++i)
                    page.add(entries.key(i), entries.record(i), 0, false);
            } else {
                const Items items{&entries, &below->last_entry, below->pages.size()};
                const std::size_t last = entry_end(items, p.begin, p.end);
                for (std::size_t c = p.begin; c < last; ++c)
                    page.add(entries.key(below->last_entry[c]),
                             entries.record(below->last_entry[c]), below->pages[c].number, true);
                if (last < p.end) tail = below->pages[p.end - 1].number;
            }
            const std::uint32_t prev = pi > 0 ? level.pages[pi - 1].number : kNoPage;
            const std::uint32_t next =
                pi + 1 < level.pages.size() ? level.pages[pi + 1].number : kNoPage;
            write(p.number, page.finish(prev, next, tail));
        }
    }
    return levels.back().pages.front().number;
}

}  // namespace tessaly::jetdb
