#include "support/jet_index_check.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#include "support/jet_layout.h"

namespace tessaly::test::jet {

namespace {

constexpr std::uint8_t kKeyFlagAsc = 0x7F;
constexpr std::uint8_t kKeyFlagDesc = 0x80;
constexpr std::uint8_t kKeyNullAsc = 0x00;
constexpr std::uint8_t kKeyNullDesc = 0xFF;
constexpr std::uint8_t kKeyTrue = 0x00;
constexpr std::uint8_t kKeyFalse = 0xFF;
constexpr std::uint8_t kOrderAscending = 0x01;
constexpr std::size_t kGuidChunk = 8;
constexpr std::uint8_t kChunkMore = 0x09;
constexpr std::size_t kMaxTreeDepth = 32;

std::string num(std::uint64_t v) {
    return std::to_string(v);
}

// Big-endian copy of a little-endian fixed value.
std::vector<std::uint8_t> big_endian(ByteView v) {
    std::vector<std::uint8_t> out(v.data(), v.data() + v.size());
    std::reverse(out.begin(), out.end());
    return out;
}

void invert(std::vector<std::uint8_t>& bytes) {
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(~b);
}

// Appends one column's key part; false when the type is not encoded here
// (text and the variable-length kinds are checked by the engine's own tests).
bool append_key(std::vector<std::uint8_t>& key, const ColumnDef& c, const ColumnValue& v,
                bool asc) {
    if (c.type == kTypeBool) {
        key.push_back(asc ? kKeyFlagAsc : kKeyFlagDesc);
        bool t = v.bool_value;
        key.push_back(asc == t ? kKeyTrue : kKeyFalse);
        return true;
    }
    if (v.null) {
        key.push_back(asc ? kKeyNullAsc : kKeyNullDesc);
        return true;
    }
    std::vector<std::uint8_t> body;
    switch (c.type) {
        case kTypeByte:
            body = big_endian(v.bytes);
            break;
        case kTypeInt:
        case kTypeLong:
        case kTypeMoney:
            body = big_endian(v.bytes);
            if (!body.empty()) body[0] ^= 0x80;
            break;
        case kTypeFloat:
        case kTypeDouble:
        case kTypeDate:
            body = big_endian(v.bytes);
            if (!body.empty()) {
                if (body[0] & 0x80)
                    invert(body);
                else
                    body[0] ^= 0x80;
            }
            break;
        case kTypeGuid: {
            if (v.bytes.size() != 16) return false;
            std::vector<std::uint8_t> g(v.bytes.data(), v.bytes.data() + 16);
            std::reverse(g.begin(), g.begin() + 4);
            std::reverse(g.begin() + 4, g.begin() + 6);
            std::reverse(g.begin() + 6, g.begin() + 8);
            key.push_back(asc ? kKeyFlagAsc : kKeyFlagDesc);
            for (std::size_t chunk = 0; chunk < 2; ++chunk) {
                for (std::size_t i = 0; i < kGuidChunk; ++i)
                    key.push_back(asc ? g[chunk * kGuidChunk + i]
                                      : static_cast<std::uint8_t>(~g[chunk * kGuidChunk + i]));
                std::uint8_t len = chunk == 0 ? kChunkMore : static_cast<std::uint8_t>(kGuidChunk);
                key.push_back(chunk == 0 || asc ? len : static_cast<std::uint8_t>(~len));
            }
            return true;
        }
        default:
            return false;
    }
    if (!asc) invert(body);
    key.push_back(asc ? kKeyFlagAsc : kKeyFlagDesc);
    key.insert(key.end(), body.begin(), body.end());
    return true;
}

struct LeafEntry {
    std::vector<std::uint8_t> key;
    std::uint32_t page = 0;  // data page of the row
    std::uint8_t row = 0;
    std::uint32_t index_page = 0;
};

std::uint32_t be24(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 16 | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           b[at + 2];
}

class TreeWalker {
  public:
    TreeWalker(const Jet4File& file, const TableDef& def, const std::string& what,
               const std::set<std::uint32_t>& map_pages, ProblemList& problems)
        : file_(file), def_(def), what_(what), map_pages_(map_pages), problems_(problems) {}

    // Walks the subtree at `page`; returns its last entry (key + row pointer).
    std::optional<std::vector<std::uint8_t>> walk(std::uint32_t page, std::size_t depth) {
        if (depth > kMaxTreeDepth) {
            problems_.error(page, what_ + ": tree deeper than " + num(kMaxTreeDepth) + " levels");
            return std::nullopt;
        }
        if (!visited_.insert(page).second) {
            problems_.error(page, what_ + ": index page " + num(page) + " is reached twice");
            return std::nullopt;
        }
        if (!map_pages_.count(page))
            problems_.error(
                page, what_ + ": index page " + num(page) + " is not in the index's usage map");
        ByteView pg = file_.page(page);
        if (pg.size() == 0) {
            problems_.error(page,
                            what_ + ": index page " + num(page) + " is past the end of the file");
            return std::nullopt;
        }
        IndexPageInfo info;
        std::string error;
        if (pg.u8(0) != kPageIndexLeaf && pg.u8(0) != kPageIndexNode) {
            problems_.error(page, what_ + ": page " + num(page) + " has type " +
                                      hex_byte(*pg.u8(0)) + ", not an index page");
            return std::nullopt;
        }
        if (!read_index_page(pg, info, error)) {
            problems_.error(page, what_ + ": " + error);
            return std::nullopt;
        }
        if (info.owner != def_.page)
            problems_.error(page, what_ + ": index page owner field is " + num(info.owner) +
                                      ", not TDEF page " + num(def_.page));
        if (info.free_space != kPageSize - info.entries_end)
            problems_.error(page, what_ + ": index page free space field " + num(info.free_space) +
                                      ", entries leave " + num(kPageSize - info.entries_end));
        if (levels_.size() <= depth) levels_.resize(depth + 1);
        levels_[depth].push_back(page);
        links_[page] = {info.prev, info.next};

        if (info.type == kPageIndexLeaf) {
            if (!leaf_depth_) leaf_depth_ = depth;
            if (*leaf_depth_ != depth)
                problems_.error(page, what_ + ": leaf page at depth " + num(depth) +
                                          ", other leaves at depth " + num(*leaf_depth_));
            if (info.tail != 0)
                problems_.error(page, what_ + ": leaf page has a tail pointer " + num(info.tail));
            std::optional<std::vector<std::uint8_t>> last;
            for (const auto& e : info.entries) {
                if (e.size() <= kIdxRowPointer) {
                    problems_.error(
                        page, what_ + ": leaf entry of " + num(e.size()) + " bytes has no key");
                    continue;
                }
                LeafEntry le;
                le.key.assign(e.begin(), e.end() - kIdxRowPointer);
                le.page = be24(e, e.size() - kIdxRowPointer);
                le.row = e.back();
                le.index_page = page;
                leaves_.push_back(std::move(le));
                last = e;
            }
            return last;
        }

        std::optional<std::vector<std::uint8_t>> last;
        const std::vector<std::uint8_t>* prev_entry = nullptr;
        for (const auto& e : info.entries) {
            if (e.size() <= kIdxRowPointer + kIdxChildPointer) {
                problems_.error(page,
                                what_ + ": node entry of " + num(e.size()) + " bytes has no key");
                continue;
            }
            std::vector<std::uint8_t> content(e.begin(), e.end() - kIdxChildPointer);
            std::uint32_t child =
                static_cast<std::uint32_t>(e[e.size() - 4]) << 24 | be24(e, e.size() - 3);
            if (prev_entry && !(*prev_entry < content))
                problems_.error(page, what_ + ": node entries out of order", "node order");
            auto child_last = walk(child, depth + 1);
            if (child_last && *child_last != content)
                problems_.error(page,
                                what_ + ": node entry for child " + num(child) + " is " +
                                    hex_bytes(content) + ", the child's last entry is " +
                                    hex_bytes(*child_last),
                                "node entry");
            last = child_last;
            prev_entry = &e;
        }
        if (info.tail != 0) {
            last = walk(info.tail, depth + 1);
        } else if (info.entries.empty()) {
            problems_.error(page, what_ + ": node page has neither entries nor a tail page");
        }
        return last;
    }

    void finish(const std::unordered_map<std::uint32_t, IndexedRow>& rows, bool unique,
                bool ignore_nulls) {
        // Sibling links per level.
        for (std::size_t d = 0; d < levels_.size(); ++d) {
            const auto& pages = levels_[d];
            for (std::size_t i = 0; i < pages.size(); ++i) {
                auto [prev, next] = links_[pages[i]];
                std::uint32_t want_prev = i ? pages[i - 1] : 0;
                std::uint32_t want_next = i + 1 < pages.size() ? pages[i + 1] : 0;
                if (prev != want_prev || next != want_next)
                    problems_.error(pages[i],
                                    what_ + ": sibling links prev " + num(prev) + " next " +
                                        num(next) + ", level order needs " + num(want_prev) +
                                        " / " + num(want_next),
                                    "sibling");
            }
        }
        for (std::uint32_t p : map_pages_)
            if (!visited_.count(p))
                problems_.error(p,
                                what_ + ": page " + num(p) +
                                    " is in the index's usage map but not reachable from the root");

        // Order, uniqueness and row coverage.
        std::unordered_map<std::uint32_t, int> seen;
        for (std::size_t i = 0; i < leaves_.size(); ++i) {
            const LeafEntry& e = leaves_[i];
            if (i > 0) {
                const LeafEntry& p = leaves_[i - 1];
                auto a = std::tie(p.key, p.page, p.row);
                auto b = std::tie(e.key, e.page, e.row);
                if (b < a)
                    problems_.error(e.index_page,
                                    what_ + ": entry " + hex_bytes(e.key) + " -> " + num(e.page) +
                                        ":" + num(e.row) + " sorts before the previous entry " +
                                        hex_bytes(p.key),
                                    "order");
                if (unique && p.key == e.key) {
                    auto ra = rows.find(row_id(p.page, p.row));
                    auto rb = rows.find(row_id(e.page, e.row));
                    bool null_involved = (ra != rows.end() && ra->second.any_null) ||
                                         (rb != rows.end() && rb->second.any_null);
                    if (!null_involved)
                        problems_.error(
                            e.index_page,
                            what_ + ": unique index holds key " + hex_bytes(e.key) + " twice",
                            "unique");
                }
            }
            std::uint32_t id = row_id(e.page, e.row);
            auto it = rows.find(id);
            if (it == rows.end()) {
                problems_.error(e.index_page,
                                what_ + ": entry points at page " + num(e.page) + " row " +
                                    num(e.row) + ", not a live row of the table",
                                "dangling");
                continue;
            }
            if (++seen[id] == 2)
                problems_.error(
                    e.index_page,
                    what_ + ": row " + num(e.page) + ":" + num(e.row) + " appears more than once",
                    "duplicate row");
            const IndexedRow& r = it->second;
            bool match = r.key_complete ? e.key == r.key_prefix
                                        : e.key.size() >= r.key_prefix.size() &&
                                              std::equal(r.key_prefix.begin(), r.key_prefix.end(),
                                                         e.key.begin());
            if (!match)
                problems_.error(e.index_page,
                                what_ + ": key " + hex_bytes(e.key) + " of row " + num(e.page) +
                                    ":" + num(e.row) + " does not encode the row's value " +
                                    hex_bytes(r.key_prefix),
                                "key value");
        }
        for (const auto& [id, r] : rows) {
            bool expected = !(ignore_nulls && r.all_null);
            bool present = seen.count(id) > 0;
            if (expected && !present)
                problems_.error(id >> 8,
                                what_ + ": live row " + num(id >> 8) + ":" + num(id & 0xFF) +
                                    " is missing from the index",
                                "missing row");
            if (!expected && present)
                problems_.error(id >> 8,
                                what_ + ": all-null row " + num(id >> 8) + ":" + num(id & 0xFF) +
                                    " is indexed although nulls are ignored",
                                "null row");
        }
    }

  private:
    const Jet4File& file_;
    const TableDef& def_;
    const std::string& what_;
    const std::set<std::uint32_t>& map_pages_;
    ProblemList& problems_;
    std::set<std::uint32_t> visited_;
    std::vector<std::vector<std::uint32_t>> levels_;
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> links_;
    std::optional<std::size_t> leaf_depth_;
    std::vector<LeafEntry> leaves_;
};

}  // namespace

void expected_index_row(const TableDef& def, const RealIndexDef& index, const CrackedRow& row,
                        IndexedRow& out) {
    out = {};
    out.all_null = true;
    out.key_complete = true;
    for (const auto& ic : index.columns) {
        std::size_t pos = def.columns.size();
        for (std::size_t i = 0; i < def.columns.size(); ++i)
            if (def.columns[i].number == ic.column) pos = i;
        if (pos == def.columns.size() || pos >= row.values.size()) {
            out.key_complete = false;
            out.all_null = false;
            return;
        }
        const ColumnValue& v = row.values[pos];
        bool is_null = v.null && def.columns[pos].type != kTypeBool;
        out.any_null |= is_null;
        out.all_null &= is_null;
        if (out.key_complete &&
            !append_key(out.key_prefix, def.columns[pos], v, ic.order == kOrderAscending))
            out.key_complete = false;
    }
}

void check_index_tree(const Jet4File& file, const TableDef& def, std::size_t index,
                      const std::string& what, const std::set<std::uint32_t>& map_pages,
                      const std::unordered_map<std::uint32_t, IndexedRow>& rows,
                      ProblemList& problems) {
    const RealIndexDef& r = def.real_indexes[index];
    TreeWalker walker(file, def, what, map_pages, problems);
    walker.walk(r.root, 0);
    walker.finish(rows, r.flags & kIndexFlagUnique, r.flags & kIndexFlagIgnoreNulls);
}

}  // namespace tessaly::test::jet
