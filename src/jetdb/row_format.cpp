#include "jetdb/row_format.h"

#include <cstring>

#include "common/le.h"

namespace tessaly::jetdb {

using namespace layout;

namespace {

std::size_t null_mask_size(std::size_t columns) {
    return (columns + 7) / 8;
}

std::size_t variable_trailer_size(const TableDefinition& def) {
    if (def.variable_count() == 0) return 0;
    // end of data, one offset per variable column, variable count
    return kRowVarEntrySize * (def.variable_count() + 2);
}

}  // namespace

std::size_t encoded_row_size(const TableDefinition& def, std::span<const EncodedField> fields) {
    std::size_t size = kRowColumnCountSize + def.fixed_area_size() + variable_trailer_size(def) +
                       null_mask_size(def.columns().size());
    const auto& columns = def.columns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (!columns[i].is_fixed() && fields[i].present) size += fields[i].bytes.size();
    return size;
}

void encode_row(const TableDefinition& def, std::span<const EncodedField> fields,
                std::vector<std::uint8_t>& out) {
    const auto& columns = def.columns();
    out.assign(encoded_row_size(def, fields), 0);
    put_u16(out, 0, static_cast<std::uint16_t>(columns.size()));
    const std::size_t mask_start = out.size() - null_mask_size(columns.size());

    // Fixed area and null mask.
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        if (!fields[i].present) continue;
        out[mask_start + c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
        if (c.is_fixed() && !fields[i].bytes.empty())
            std::memcpy(out.data() + kRowColumnCountSize + c.fixed_offset, fields[i].bytes.data(),
                        fields[i].bytes.size());
    }
    if (def.variable_count() == 0) return;

    // Variable data in slot order; the offset table runs backward from the
    // variable count, which sits just before the null mask.
    std::vector<const EncodedField*> by_slot(def.variable_count(), nullptr);
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (!columns[i].is_fixed()) by_slot[columns[i].var_index] = &fields[i];
    std::size_t pos = kRowColumnCountSize + def.fixed_area_size();
    const std::size_t count_at = mask_start - kRowVarEntrySize;
    put_u16(out, count_at, def.variable_count());
    for (std::size_t slot = 0; slot < by_slot.size(); ++slot) {
        put_u16(out, count_at - kRowVarEntrySize * (slot + 1), static_cast<std::uint16_t>(pos));
        const EncodedField* f = by_slot[slot];
        if (f && f->present && !f->bytes.empty()) {
            std::memcpy(out.data() + pos, f->bytes.data(), f->bytes.size());
            pos += f->bytes.size();
        }
    }
    put_u16(out, count_at - kRowVarEntrySize * (by_slot.size() + 1),
            static_cast<std::uint16_t>(pos));
}

}  // namespace tessaly::jetdb
