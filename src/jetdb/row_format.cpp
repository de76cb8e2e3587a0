#include "jetdb/row_format.h"

#include <cstring>

#include "common/le.h"
#include "jetdb/engine_error.h"
#include "jetdb/text_codec.h"

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

void decode_row(const TableDefinition& def, std::span<const std::uint8_t> row,
                std::vector<FieldValue>& out) {
    const auto& columns = def.columns();
    out.assign(columns.size(), FieldValue{});
    const ByteView v(row);
    const auto bad = [] {
        return EngineError("Internal error: a stored row does not match its table");
    };
    const auto count = v.u16(0);
    if (!count) throw bad();
    const std::size_t mask_size = null_mask_size(*count);
    if (row.size() < kRowColumnCountSize + mask_size) throw bad();
    const std::size_t mask_start = row.size() - mask_size;
    const auto present = [&](std::uint16_t number) {
        return number < *count && (row[mask_start + number / 8] >> (number % 8) & 1) != 0;
    };
    // The offset table exists when the row has variable columns.
    bool has_trailer = false;
    for (const auto& c : columns)
        if (!c.is_fixed() && c.number < *count) has_trailer = true;
    std::size_t var_count = 0;
    std::size_t count_at = mask_start;
    if (has_trailer) {
        if (mask_start < kRowVarEntrySize) throw bad();
        count_at = mask_start - kRowVarEntrySize;
        var_count = *v.u16(count_at);
    }
    const auto var_offset = [&](std::size_t slot) -> std::size_t {
        const auto o = v.u16(static_cast<std::int64_t>(count_at) -
                             static_cast<std::int64_t>(kRowVarEntrySize * (slot + 1)));
        if (!o || *o > row.size()) throw bad();
        return *o;
    };
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        FieldValue& f = out[i];
        if (c.spec.type == ColumnType::Boolean) {
            f.is_null = false;
            f.bytes = {static_cast<std::uint8_t>(present(c.number) ? 1 : 0)};
            continue;
        }
        if (!present(c.number) || c.is_long_value()) continue;
        if (c.is_fixed()) {
            const ByteView data =
                v.sub(kRowColumnCountSize + c.fixed_offset, fixed_width(c.spec.type));
            if (data.size() == 0) throw bad();
            f.is_null = false;
            f.bytes.assign(data.data(), data.data() + data.size());
            continue;
        }
        if (c.var_index >= var_count) continue;
        const std::size_t start = var_offset(c.var_index), end = var_offset(c.var_index + 1);
        if (end < start) throw bad();
        f.is_null = false;
        const auto bytes = row.subspan(start, end - start);
        if (c.spec.type == ColumnType::Text)
            f.text = decode_jet4_text(bytes);
        else
            f.bytes.assign(bytes.begin(), bytes.end());
    }
}

}  // namespace tessaly::jetdb
