#include "reader/index_def.h"

namespace tessaly::reader {

namespace {

// Positions a cursor at `offset` bytes past names_end on its page.
DefinitionCursor cursor_after_names(TableDef& table, std::int64_t offset, bool& ok) {
    JetFile& file = table.file();
    load_page(file, table.names_end_page);
    DefinitionCursor cursor(file, table.names_end);
    ok = cursor.skip(offset);
    return cursor;
}

}  // namespace

void read_indexes(TableDef& table) {
    table.indexes.clear();
    if (table.index_count <= 0) return;
    if (table.index_count > kMaxIndexes || table.real_index_count < 0 ||
        table.real_index_count > kMaxIndexes) {
        table.index_count = 0;
        table.real_index_count = 0;
        return;
    }
    JetFile& file = table.file();
    const JetFormat& f = *file.format;
    const std::int64_t record = f.real_index_record_size;

    bool ok = false;
    DefinitionCursor cursor = cursor_after_names(table, record * table.real_index_count, ok);
    std::vector<IndexDef> indexes(static_cast<std::size_t>(table.index_count));
    std::vector<std::uint8_t> bytes;
    for (IndexDef& index : indexes) {
        if (!ok || !cursor.read_definition_bytes(f.index_entry_size, bytes)) {
            ok = false;
            break;
        }
        ByteView entry(bytes.data(), bytes.size());
        index.number = *entry.u16(f.index_entry_number_offset);
        index.type = *entry.u8(f.index_entry_type_offset);
    }

    bool names_ok = ok;
    for (IndexDef& index : indexes) {
        if (!names_ok) break;
        std::optional<std::uint32_t> length;
        if (file.is_jet4()) {
            length = cursor.read_u16();
            if (length && *length > static_cast<std::uint32_t>(kMaxJet4NameLength)) length.reset();
        } else {
            length = cursor.read_u8();
        }
        if (!length || !cursor.read_definition_bytes(*length, bytes)) {
            names_ok = false;
            break;
        }
        ByteView text(bytes.data(), bytes.size());
        if (file.is_jet4())
            decode_text(text, index.name);
        else
            file.decode_8bit_text(text, index.name);
        std::size_t chars = 0;
        for (std::size_t i = 0; i < index.name.size(); ++i) {
            if ((static_cast<unsigned char>(index.name[i]) & 0xC0) == 0x80) continue;
            if (chars++ == kMaxIndexNameChars) {
                index.name.resize(i);
                break;
            }
        }
    }

    if (names_ok) {
        for (IndexDef& index : indexes) {
            if (index.type == kIndexTypeForeignKey || index.number >= table.real_index_count)
                continue;
            bool at = false;
            DefinitionCursor keys =
                cursor_after_names(table, record * index.number + f.real_index_key_start, at);
            for (int slot = 0; at && slot < kIndexKeySlots; ++slot) {
                auto column = keys.read_u16();
                if (!column || !keys.skip(kIndexKeySlotSize - 2)) break;
                if (*column != kUnusedKeySlot) index.keys.push_back(std::int32_t{*column} + 1);
            }
        }
    }
    table.indexes = std::move(indexes);
}

}  // namespace tessaly::reader
