// Storing rows: encoding values, long values, index entries, and keeping the
// file within its size limit.
#include <algorithm>

#include "common/le.h"
#include "jetdb/database_state.h"
#include "jetdb/ddl.h"
#include "jetdb/field_builders.h"
#include "jetdb/index_key.h"
#include "jetdb/row_format.h"
#include "jetdb/table_indexes.h"
#include "jetdb/text_codec.h"

namespace tessaly::jetdb {

using namespace layout;

namespace {

// Map rows that fit on one map page.
constexpr std::uint32_t kMapRowsPerPage =
    (kPageSize - kDataRowTableOffset) / (kMapRowSize + kDataRowOffsetSize);
// Bitmap pages a reference-form global map may need at most.
constexpr std::uint32_t kGlobalMapReserve = kReferenceMapSlots;
// Pages kept back for rounding in the estimates.
constexpr std::uint32_t kReserveSlack = 8;

struct PendingLongValue {
    std::size_t column = 0;
    std::vector<std::uint8_t> data;
    LongValueKind kind = LongValueKind::Inline;
};

std::uint32_t map_row_count(const TableDefinition& def) {
    std::uint32_t n = 2 + static_cast<std::uint32_t>(def.real_indexes().size());
    for (const auto& c : def.columns())
        if (c.is_long_value()) n += 2;
    return n;
}

std::uint32_t capped(std::size_t pages) {
    return static_cast<std::uint32_t>(std::min<std::size_t>(pages, kReferenceMapSlots));
}

}  // namespace

int DatabaseState::find_table(std::string_view name) const {
    const auto folded = fold_name(name);
    for (std::size_t i = 0; i < tables.size(); ++i)
        if (tables[i]->definition().key() == folded) return static_cast<int>(i);
    return -1;
}

bool DatabaseState::name_in_use(std::string_view name) const {
    if (find_table(name) >= 0) return true;
    const auto folded = fold_name(name);
    return std::find(query_keys.begin(), query_keys.end(), folded) != query_keys.end();
}

void DatabaseState::account(const TableDefinition& def, int sign) {
    const auto apply = [sign](std::uint32_t& total, std::size_t amount) {
        total = sign > 0 ? total + static_cast<std::uint32_t>(amount)
                         : total - static_cast<std::uint32_t>(amount);
    };
    apply(map_rows, map_row_count(def));
    apply(real_index_count, def.real_indexes().size());
    apply(tdef_extra_pages, tdef_page_count(def.encoded_size()) - 1);
}

std::uint64_t DatabaseState::close_reserve(bool quick) const {
    // Index pages: leaves are at least half full, and the node levels above
    // them take fewer pages than the leaves; a map of one page stays inline.
    const std::size_t leaf_room = std::max(
        kIndexLeafCapacity / 2, kIndexLeafCapacity - std::min(index_entry_max, kIndexLeafCapacity));
    const std::uint64_t leaf_pages = (index_bytes + leaf_room - 1) / leaf_room;
    const std::uint64_t index_pages = 2 * leaf_pages + real_index_count;
    const std::uint64_t index_map_pages = std::min<std::uint64_t>(
        2 * leaf_pages, std::uint64_t{kReferenceMapSlots} * real_index_count);
    std::uint64_t map_pages = std::uint64_t{kReferenceMapSlots} * map_rows;
    if (!quick) {
        map_pages = 0;
        const auto bitmap_pages = [](const UsageMap& m) {
            return m.pages().size() > 1 ? capped(m.pages().size()) : 0;
        };
        for (const auto& t : tables) {
            map_pages += bitmap_pages(t->owned()) + bitmap_pages(t->free());
            for (const auto& lv : t->all_long_values())
                map_pages += bitmap_pages(lv.owned()) + bitmap_pages(lv.free());
        }
    }
    map_pages += (map_rows + kMapRowsPerPage - 1) / kMapRowsPerPage;
    std::uint64_t total =
        index_pages + index_map_pages + map_pages + tdef_extra_pages + kReserveSlack;
    // The global map needs bitmap pages once the file outgrows page 1.
    if (file->page_count() + total > kGlobalInlinePages) total += kGlobalMapReserve;
    return total;
}

void DatabaseState::require_room(std::uint32_t pages) const {
    const std::uint64_t room = file->room();
    if (room >= pages + close_reserve(true)) return;
    if (room >= pages + close_reserve(false)) return;
    throw EngineError("The database has reached its maximum size of 2 GB");
}

void DatabaseState::check_foreign_keys(const TableStore& table,
                                       const std::vector<FieldValue>& values,
                                       const std::vector<RowKey>& own_keys) const {
    for (const ForeignKey& fk : table.foreign_keys) {
        const FieldValue& v = values[fk.column];
        if (v.is_null) continue;
        const TableStore& primary = *tables[fk.primary_table];
        const TableDefinition& pdef = primary.definition();
        const RealIndex& index = pdef.real_indexes()[fk.primary_index];
        const IndexColumn& ic = index.columns.front();
        std::vector<std::uint8_t> key;
        for (const Column& c : pdef.columns())
            if (c.number == ic.column) append_index_key(key, c.spec, v, ic.ascending);
        if (unique_index_has(primary, fk.primary_index, key)) continue;
        // A row may refer to itself in a relationship of a table with itself.
        if (&primary == &table && own_keys[fk.primary_index] && *own_keys[fk.primary_index] == key)
            continue;
        throw EngineError(
            "You cannot add or change a record because a related record is required in table '" +
            fk.primary_name + "'.");
    }
}

void DatabaseState::insert_row(TableStore& table, std::vector<FieldValue>& values) {
    const TableDefinition& def = table.definition();
    const auto& columns = def.columns();
    if (values.size() != columns.size())
        throw EngineError("Internal error: row does not match its table");

    // Autonumbers are handed out only when the row is stored.
    std::uint32_t autonumber = table.last_autonumber;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].spec.autonumber && values[i].is_null) {
            if (autonumber == static_cast<std::uint32_t>(INT32_MAX))
                throw EngineError("The autonumber field has run out of numbers");
            values[i] = field_uint32(++autonumber);
        }
    }

    // Stored forms of every field; long values first as bare headers.
    if (field_buffers.size() < columns.size()) field_buffers.resize(columns.size());
    std::vector<EncodedField> fields(columns.size());
    std::vector<PendingLongValue> long_values;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        const FieldValue& v = values[i];
        EncodedField& f = fields[i];
        if (v.is_null) continue;
        std::vector<std::uint8_t>& buf = field_buffers[i];
        switch (c.spec.type) {
            case ColumnType::Boolean:
                f.present = !v.bytes.empty() && v.bytes[0] != 0;
                break;
            case ColumnType::Text:
                buf = encode_jet4_text(v.text, c.ext_flags & kColumnExtCompressedUnicode);
                if (buf.size() > c.spec.size)
                    throw EngineError(
                        "The field is too small to accept the amount of data you attempted to "
                        "add.");
                f.present = true;
                f.bytes = buf;
                break;
            case ColumnType::Binary:
                if (v.bytes.size() > c.spec.size)
                    throw EngineError(
                        "The field is too small to accept the amount of data you attempted to "
                        "add.");
                f.present = true;
                f.bytes = v.bytes;
                break;
            case ColumnType::Memo:
            case ColumnType::Ole: {
                PendingLongValue lv;
                lv.column = i;
                lv.data = c.spec.type == ColumnType::Memo
                              ? encode_jet4_text(v.text, c.ext_flags & kColumnExtCompressedUnicode)
                              : v.bytes;
                if (lv.data.size() > kLongValueLengthMask)
                    throw EngineError("The value is too large for a long-value field");
                long_values.push_back(std::move(lv));
                f.present = true;
                buf.assign(kLongValueHeaderSize, 0);
                f.bytes = buf;
                break;
            }
            default:
                if (v.bytes.size() != fixed_width(c.spec.type))
                    throw EngineError("Internal error: fixed value of the wrong size");
                f.present = true;
                f.bytes = v.bytes;
                break;
        }
    }

    std::size_t row_size = encoded_row_size(def, fields);
    if (row_size > kMaxRowSize) throw EngineError("Record is too large.");

    // Short long values go into the row while it has room.
    std::uint32_t pages_needed = 0;
    for (auto& lv : long_values) {
        lv.kind = choose_long_value_kind(lv.data.size(), kMaxRowSize - row_size);
        if (lv.kind == LongValueKind::Inline) row_size += lv.data.size();
        pages_needed += long_value_pages_needed(lv.kind, lv.data.size());
    }
    if (!table.fits_current_page(row_size)) ++pages_needed;

    // Index keys, before anything is written; refused here when the row
    // breaks a unique or required index.
    std::vector<RowKey> keys = prepare_row_keys(table, values);
    check_foreign_keys(table, values, keys);
    std::uint64_t entry_bytes = 0;
    std::size_t entry_max = index_entry_max;
    for (const auto& key : keys) {
        if (!key) continue;
        entry_bytes += key->size() + kIndexEntryPointerSize;
        entry_max = std::max(entry_max, key->size() + kIndexEntryPointerSize);
    }
    {
        // The reserve grows with this row's index entries.
        const std::uint64_t saved_bytes = index_bytes;
        const std::size_t saved_max = index_entry_max;
        index_bytes += entry_bytes;
        index_entry_max = entry_max;
        try {
            require_room(pages_needed);
        } catch (...) {
            index_bytes = saved_bytes;
            index_entry_max = saved_max;
            throw;
        }
    }

    // Nothing can be refused from here on: write long values, then the row.
    for (auto& lv : long_values) {
        const Column& c = columns[lv.column];
        std::vector<std::uint8_t>& buf = field_buffers[lv.column];
        std::uint32_t first_row = 0;
        if (lv.kind == LongValueKind::SingleRow)
            first_row = table.long_values(c.number).write_single(*file, lv.data);
        else if (lv.kind == LongValueKind::Chain)
            first_row = table.long_values(c.number).write_chain(*file, lv.data);
        const auto header = long_value_header(lv.kind, lv.data.size(), first_row);
        buf.assign(header.begin(), header.end());
        if (lv.kind == LongValueKind::Inline) buf.insert(buf.end(), lv.data.begin(), lv.data.end());
        fields[lv.column].bytes = buf;
    }
    encode_row(def, fields, row_buffer);
    const std::uint32_t where = table.place_row(*file, row_buffer);
    add_row_keys(table, std::move(keys), where);
    ++table.row_count;
    table.last_autonumber = autonumber;
}

void DatabaseState::add_catalog_entry(std::uint32_t id, std::uint32_t parent,
                                      const std::u16string& name, std::int16_t type,
                                      std::uint32_t flags, Account owner) {
    TableStore& objects = system_table(SystemTable::Objects);
    std::vector<FieldValue> row(objects.definition().columns().size());
    namespace o = msys_objects;
    row[o::Id] = field_uint32(id);
    row[o::ParentId] = field_uint32(parent);
    row[o::Name] = field_text(name);
    row[o::Type] = field_int16(type);
    row[o::DateCreate] = field_double(creation_date);
    row[o::DateUpdate] = field_double(creation_date);
    const Sid sid = sids.sid(owner);
    row[o::Owner] = field_binary(sid);
    row[o::Flags] = field_uint32(flags);
    insert_row(objects, row);
}

void DatabaseState::add_aces(const std::vector<AceRow>& aces) {
    TableStore& t = system_table(SystemTable::Aces);
    for (const AceRow& a : aces) {
        std::vector<FieldValue> row(t.definition().columns().size());
        row[msys_aces::ObjectId] = field_uint32(a.object_id);
        const Sid sid = sids.sid(a.account);
        row[msys_aces::SID] = field_binary(sid);
        row[msys_aces::ACM] = field_uint32(a.rights);
        row[msys_aces::FInheritable] = field_bool(a.inheritable);
        insert_row(t, row);
    }
}

}  // namespace tessaly::jetdb
