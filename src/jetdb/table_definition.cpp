#include "jetdb/table_definition.h"

#include <algorithm>
#include <numeric>

#include "common/le.h"
#include "jetdb/ddl.h"
#include "jetdb/text_codec.h"

namespace tessaly::jetdb {

using namespace layout;

namespace {

// Appends little-endian integers and raw bytes to a growing buffer.
class Writer {
  public:
    explicit Writer(std::vector<std::uint8_t>& out) : out_(out) {}
    void u8(std::uint8_t v) { out_.push_back(v); }
    void u16(std::uint16_t v) {
        grow(2);
        put_u16(out_, out_.size() - 2, v);
    }
    void u32(std::uint32_t v) {
        grow(4);
        put_u32(out_, out_.size() - 4, v);
    }
    void zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }
    void name(std::u16string_view text) {
        u16(static_cast<std::uint16_t>(text.size() * 2));
        for (char16_t c : text)
            u16(static_cast<std::uint16_t>(c));
    }

  private:
    void grow(std::size_t n) { out_.resize(out_.size() + n); }
    std::vector<std::uint8_t>& out_;
};

}  // namespace

TableDefinition::TableDefinition(std::u16string name, bool system)
    : name_(std::move(name)), key_(fold_name(utf16_to_utf8(name_))), system_(system) {}

std::uint16_t Column::stored_length() const {
    switch (spec.type) {
        case ColumnType::Boolean:
            return 1;
        case ColumnType::Text:
        case ColumnType::Binary:
            return spec.size;
        case ColumnType::Memo:
        case ColumnType::Ole:
            return 0;
        default:
            return fixed_width(spec.type);
    }
}

std::size_t TableDefinition::add_column(const ColumnSpec& spec, std::u16string name,
                                        std::uint8_t extra_flags, std::uint8_t ext_flags) {
    Column c;
    c.spec = spec;
    c.name = std::move(name);
    c.key = fold_name(utf16_to_utf8(c.name));
    c.number = static_cast<std::uint16_t>(columns_.size());
    c.ext_flags = ext_flags;
    c.flags = kColumnFlagUpdatable | extra_flags;
    if (c.is_fixed()) {
        c.flags |= kColumnFlagFixed;
        c.var_index = variable_count_;
        c.fixed_offset = spec.type == ColumnType::Boolean ? 0 : fixed_area_;
        fixed_area_ = static_cast<std::uint16_t>(fixed_area_ + fixed_width(spec.type));
        if (spec.autonumber && spec.type == ColumnType::Long) c.flags |= kColumnFlagAutoLong;
    } else {
        c.var_index = variable_count_++;
    }
    columns_.push_back(std::move(c));
    return columns_.size() - 1;
}

int TableDefinition::find_column(std::string_view name) const {
    const auto folded = fold_name(name);
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].key == folded) return static_cast<int>(i);
    return -1;
}

std::vector<std::uint8_t> TableDefinition::encode() const {
    // The engine keeps its own tables' columns in name order, user tables'
    // in column-number order.
    std::vector<const Column*> order;
    for (const auto& c : columns_)
        order.push_back(&c);
    if (system_)
        std::stable_sort(order.begin(), order.end(),
                         [](const Column* a, const Column* b) { return a->key < b->key; });
    std::vector<const LogicalIndex*> logical;
    for (const auto& li : logical_indexes_)
        logical.push_back(&li);
    std::stable_sort(
        logical.begin(), logical.end(), [](const LogicalIndex* a, const LogicalIndex* b) {
            return fold_name(utf16_to_utf8(a->name)) < fold_name(utf16_to_utf8(b->name));
        });

    std::vector<std::uint8_t> out;
    Writer w(out);
    w.u8(kPageTypeTdef);
    w.u8(kPageMarker);
    w.zeros(kTdefPageHeaderSize - 2);  // free space and next page, set by split_definition
    w.u32(0);                          // length, patched below
    w.u32(kTdefMagic);
    w.u32(row_count);
    w.u32(last_autonumber);
    w.u8(kTdefAutonumberFlag);
    w.zeros(kTdefTableTypeOffset - kTdefAutonumberFlagOffset - 1);
    w.u8(system_ ? kTableTypeSystem : kTableTypeUser);
    w.u16(static_cast<std::uint16_t>(columns_.size()));
    w.u16(variable_count_);
    w.u16(static_cast<std::uint16_t>(columns_.size()));
    w.u32(static_cast<std::uint32_t>(logical_indexes_.size()));
    w.u32(static_cast<std::uint32_t>(real_indexes_.size()));
    w.u32(owned_map);
    w.u32(free_map);
    for (std::size_t i = 0; i < real_indexes_.size(); ++i) {
        w.u32(0);
        w.u32(row_count);
        w.u32(0);
    }
    for (const Column* c : order) {
        w.u8(static_cast<std::uint8_t>(c->spec.type));
        w.u32(kTdefMagic);
        w.u16(c->number);
        w.u16(c->var_index);
        w.u16(system_ ? 0 : c->number);
        if (c->spec.type == ColumnType::Numeric) {
            w.u8(c->spec.precision);
            w.u8(c->spec.scale);
            w.u16(0);
        } else {
            w.u16(kLcidEnglishUs);
            w.u8(0);
            w.u8(kSortVersionGeneral);
        }
        w.u8(c->flags);
        w.u8(c->ext_flags);
        w.u32(0);
        w.u16(c->is_fixed() ? c->fixed_offset : 0);
        w.u16(c->stored_length());
    }
    for (const Column* c : order)
        w.name(c->name);
    for (const auto& ri : real_indexes_) {
        w.u32(kRealIndexMagic);
        for (std::size_t slot = 0; slot < kRealIndexColumnSlots; ++slot) {
            if (slot < ri.columns.size()) {
                w.u16(ri.columns[slot].column);
                w.u8(ri.columns[slot].ascending ? kRealIndexAscending : kRealIndexDescending);
            } else {
                w.u16(kRealIndexUnusedColumn);
                w.u8(0);
            }
        }
        w.u32(ri.map_pointer);
        w.u32(ri.root_page);
        w.u32(0);
        w.u8(ri.flags);
        w.zeros(kRealIndexBlockSize - kRealIndexFlagsOffset - 1);
    }
    for (const LogicalIndex* li : logical) {
        w.u32(kTdefMagic);
        w.u32(li->number);
        w.u32(li->real_index);
        w.u8(li->side);
        w.u32(static_cast<std::uint32_t>(li->other_index));
        w.u32(li->other_table);
        w.u8(li->cascade_update);
        w.u8(li->cascade_delete);
        w.u8(li->kind);
        w.u32(0);
    }
    for (const LogicalIndex* li : logical)
        w.name(li->name);
    for (const Column* c : order) {
        if (!c->is_long_value()) continue;
        LongValueMapPointers maps;
        for (const auto& m : long_value_maps)
            if (m.column == c->number) maps = m;
        w.u16(c->number);
        w.u32(maps.owned);
        w.u32(maps.free);
    }
    w.u16(kTdefEndMarker);
    put_u32(out, kTdefLengthOffset, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::size_t TableDefinition::encoded_size() const {
    std::size_t size = kTdefFixedHeaderSize + kTdefIndexRowCountSize * real_indexes_.size() +
                       kRealIndexBlockSize * real_indexes_.size() + sizeof(kTdefEndMarker);
    for (const auto& c : columns_) {
        size += kColumnBlockSize + 2 + 2 * c.name.size();
        if (c.is_long_value()) size += kLongValueMapEntrySize;
    }
    for (const auto& li : logical_indexes_)
        size += kLogicalIndexBlockSize + 2 + 2 * li.name.size();
    return size;
}

std::size_t tdef_page_count(std::size_t definition_size) {
    if (definition_size <= kPageSize) return 1;
    const std::size_t per_page = kPageSize - kTdefPageHeaderSize;
    return 1 + (definition_size - kPageSize + per_page - 1) / per_page;
}

std::vector<PageBytes> split_definition(const std::vector<std::uint8_t>& definition,
                                        const std::vector<std::uint32_t>& pages) {
    std::vector<PageBytes> out(pages.size());
    std::size_t pos = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        PageBytes& page = out[i];
        page.fill(0);
        std::size_t used;
        if (i == 0) {
            used = std::min(definition.size(), kPageSize);
            std::copy_n(definition.begin(), used, page.begin());
            pos = used;
        } else {
            page[0] = kPageTypeTdef;
            page[1] = kPageMarker;
            const std::size_t chunk =
                std::min(definition.size() - pos, kPageSize - kTdefPageHeaderSize);
            std::copy_n(definition.begin() + static_cast<std::ptrdiff_t>(pos), chunk,
                        page.begin() + kTdefPageHeaderSize);
            pos += chunk;
            used = kTdefPageHeaderSize + chunk;
        }
        const std::size_t free =
            used + kTdefPageHeaderSize >= kPageSize ? 0 : kPageSize - kTdefPageHeaderSize - used;
        put_u16(page, kTdefFreeSpaceOffset, static_cast<std::uint16_t>(free));
        put_u32(page, kTdefNextPageOffset, i + 1 < pages.size() ? pages[i + 1] : 0);
    }
    return out;
}

}  // namespace tessaly::jetdb
