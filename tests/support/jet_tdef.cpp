#include "support/jet_tdef.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "support/jet_layout.h"

namespace tessaly::test::jet {

namespace {

std::string num(std::uint64_t v) {
    return std::to_string(v);
}

// The definition bytes of a TDEF chain laid end to end: the first page whole,
// continuation pages without their 8-byte header.
class TdefBuffer {
  public:
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> pages;

    ByteView view() const { return ByteView(bytes.data(), bytes.size()); }
    // The page an offset of the buffer lives on.
    std::uint32_t page_of(std::size_t offset) const {
        if (pages.empty()) return 0;
        if (offset < kPageSize) return pages[0];
        std::size_t i = 1 + (offset - kPageSize) / (kPageSize - kTdefPageHeader);
        return pages[std::min(i, pages.size() - 1)];
    }
};

// Prefixes every finding with the table's name.
struct LabelledProblems {
    ProblemList& out;
    std::string prefix;
    void error(std::uint32_t page, const std::string& message) {
        out.error(page, prefix + message);
    }
    void warning(std::uint32_t page, const std::string& message) {
        out.warning(page, prefix + message);
    }
};

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string utf16_to_utf8(const std::vector<std::uint16_t>& units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            u = 0xFFFD;  // unpaired surrogate
        }
        append_utf8(out, u);
    }
    return out;
}

std::string lower_ascii(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Reads a u16-length-prefixed UTF-16LE name at `pos`, advancing it.
bool read_name(ByteView v, std::size_t& pos, std::string& name, std::size_t& chars) {
    auto len = v.u16(pos);
    if (!len || !v.contains(pos + 2, *len)) return false;
    std::vector<std::uint16_t> units;
    for (std::size_t i = 0; i + 1 < *len; i += 2)
        units.push_back(*v.u16(pos + 2 + i));
    chars = units.size();
    name = utf16_to_utf8(units);
    pos += 2 + *len;
    return (*len % 2) == 0;
}

std::size_t natural_length(std::uint8_t type) {
    switch (type) {
        case kTypeBool:
        case kTypeByte:
            return 1;
        case kTypeInt:
            return 2;
        case kTypeLong:
        case kTypeFloat:
            return 4;
        case kTypeMoney:
        case kTypeDouble:
        case kTypeDate:
            return 8;
        case kTypeGuid:
            return 16;
        case kTypeNumeric:
            return 17;
        default:
            return 0;
    }
}

bool known_type(std::uint8_t type) {
    return (type >= kTypeBool && type <= kTypeMemo) || type == kTypeGuid || type == kTypeNumeric ||
           type == kTypeFixedBlob;
}

void check_columns(const TableDef& def, const TdefBuffer& buf, std::size_t col_start,
                   LabelledProblems& problems) {
    std::set<std::uint16_t> numbers, var_slots;
    std::set<std::string> names;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> fixed_ranges;
    std::size_t var_count = 0;
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const ColumnDef& c = def.columns[i];
        std::uint32_t where = buf.page_of(col_start + i * kColBlockSize);
        std::string who = "column '" + c.name + "'";
        if (!known_type(c.type))
            problems.error(where, who + " has unknown type " + hex_byte(c.type));
        if (c.number >= def.max_columns)
            problems.error(where, who + " number " + num(c.number) +
                                      " is not below the table's column total " +
                                      num(def.max_columns));
        if (!numbers.insert(c.number).second)
            problems.error(where, who + " repeats column number " + num(c.number));
        if (!names.insert(lower_ascii(c.name)).second)
            problems.error(where, who + " repeats a column name");
        if (c.name.empty()) problems.error(where, "column " + num(i) + " has an empty name");
        std::size_t natural = natural_length(c.type);
        if (natural && c.type != kTypeBool && c.length != natural)
            problems.error(where, who + " of type " + hex_byte(c.type) + " has length " +
                                      num(c.length) + ", expected " + num(natural));
        if (c.type == kTypeText && (c.length == 0 || c.length > kMaxTextBytes || c.length % 2))
            problems.error(where, who + " text length " + num(c.length) + " is not 2..510 even");
        if (c.type == kTypeBinary && (c.length == 0 || c.length > kMaxBinaryBytes))
            problems.error(where, who + " binary length " + num(c.length) + " is not 1..510");
        if (!(c.flags & kColFlagUpdatable))
            problems.error(
                where, who + " lacks the updatable flag 0x02 (flags " + hex_byte(c.flags) + ")");
        if (c.long_value() && c.fixed())
            problems.error(where, who + " is a long-value column marked fixed");
        if (natural && !c.fixed() && c.type != kTypeBool)
            problems.warning(where, who + " of fixed-size type " + hex_byte(c.type) +
                                        " is stored as variable-length (Access does so in"
                                        " some of its own system tables)");
        if (c.fixed()) {
            if (c.type != kTypeBool)
                fixed_ranges.push_back({c.fixed_offset, c.fixed_offset + c.length});
        } else {
            ++var_count;
            if (!var_slots.insert(c.var_index).second)
                problems.error(where, who + " repeats variable slot " + num(c.var_index));
        }
    }
    // The TDEF counts variable columns ever defined, as the column total does
    // for all columns; they differ from the live counts only after deletions.
    if (var_count > def.var_columns)
        problems.error(def.page, "TDEF says " + num(def.var_columns) +
                                     " variable columns, the column blocks hold " + num(var_count));
    else if (var_count < def.var_columns)
        problems.warning(def.page, "TDEF counts " + num(def.var_columns) +
                                       " variable columns ever defined, " + num(var_count) +
                                       " remain (columns were deleted)");
    if (def.columns.size() < def.max_columns)
        problems.warning(def.page, "TDEF column total " + num(def.max_columns) + ", " +
                                       num(def.columns.size()) +
                                       " columns remain (columns were deleted)");
    for (const auto& c : def.columns)
        if (!c.fixed() && c.var_index >= def.var_columns)
            problems.error(def.page, "column '" + c.name + "' variable slot " + num(c.var_index) +
                                         " is not below the variable-column total " +
                                         num(def.var_columns));
    std::sort(fixed_ranges.begin(), fixed_ranges.end());
    for (std::size_t i = 1; i < fixed_ranges.size(); ++i)
        if (fixed_ranges[i].first < fixed_ranges[i - 1].second)
            problems.error(def.page,
                           "fixed columns overlap at fixed offset " + num(fixed_ranges[i].first));
}

}  // namespace

const ColumnDef* TableDef::column_by_number(std::uint16_t number) const {
    for (const auto& c : columns)
        if (c.number == number) return &c;
    return nullptr;
}

const ColumnDef* TableDef::column_by_name(const std::string& name) const {
    for (const auto& c : columns)
        if (lower_ascii(c.name) == lower_ascii(name)) return &c;
    return nullptr;
}

bool read_table_def(const Jet4File& file, std::uint32_t page, TableDef& def,
                    ProblemList& table_problems, const std::string& label) {
    def = {};
    LabelledProblems problems{table_problems, label.empty() ? "" : "table '" + label + "': "};
    def.page = page;
    TdefBuffer buf;
    std::set<std::uint32_t> seen;
    for (std::uint32_t p = page; p != 0;) {
        ByteView pg = file.page(p);
        if (pg.size() == 0) {
            problems.error(buf.pages.empty() ? page : buf.pages.back(),
                           "TDEF chain points at page " + num(p) + " past the end of the file");
            break;
        }
        if (!seen.insert(p).second) {
            problems.error(buf.pages.back(), "TDEF chain loops back to page " + num(p));
            break;
        }
        if (pg.u8(0) != kPageTdef) {
            problems.error(p, "TDEF chain page has type " + hex_byte(*pg.u8(0)));
            break;
        }
        std::size_t from = buf.pages.empty() ? 0 : kTdefPageHeader;
        buf.bytes.insert(buf.bytes.end(), pg.data() + from, pg.data() + kPageSize);
        buf.pages.push_back(p);
        p = *pg.u32(kTdefNextPage);
    }
    def.chain = buf.pages;
    if (buf.pages.empty()) return false;
    ByteView v = buf.view();

    def.tdef_len = *v.u32(kTdefLength);
    if (v.u32(kTdefMagic) != kTdefMagicValue)
        problems.error(page, "TDEF constant at 0x0C is " + num(*v.u32(kTdefMagic)) + ", not 1625");
    def.row_count = *v.u32(kTdefRowCount);
    def.autonumber = *v.u32(kTdefAutonumber);
    def.table_type = *v.u8(kTdefTableType);
    def.max_columns = *v.u16(kTdefMaxColumns);
    def.var_columns = *v.u16(kTdefVarColumns);
    def.column_count = *v.u16(kTdefColumnCount);
    def.logical_count = *v.u32(kTdefLogicalCount);
    def.real_count = *v.u32(kTdefRealCount);
    def.owned_map = RowPointer::from_u32(*v.u32(kTdefOwnedMap));
    def.free_map = RowPointer::from_u32(*v.u32(kTdefFreeMap));

    if (def.table_type != kTableUser && def.table_type != kTableSystem)
        problems.error(
            page, "table type byte " + hex_byte(def.table_type) + " is neither user nor system");
    if (def.column_count == 0 || def.column_count > kMaxColumns)
        problems.error(page, "column count " + num(def.column_count) + " outside 1..255");
    if (def.column_count > def.max_columns)
        problems.error(page, "column count " + num(def.column_count) + " exceeds column total " +
                                 num(def.max_columns));
    if (def.real_count > kMaxIndexes || def.logical_count > kMaxIndexes) {
        problems.error(page, "index counts " + num(def.real_count) + " real / " +
                                 num(def.logical_count) + " logical exceed 32");
        return false;
    }
    if (def.column_count > kMaxColumns) return false;

    std::size_t pos = kTdefRealRowCounts;
    for (std::uint32_t i = 0; i < def.real_count; ++i) {
        RealIndexDef r;
        r.row_count = v.u32(pos + i * kTdefRealRowCountSize + 4).value_or(0);
        def.real_indexes.push_back(r);
    }
    pos += def.real_count * kTdefRealRowCountSize;

    std::size_t col_start = pos;
    for (std::uint16_t i = 0; i < def.column_count; ++i, pos += kColBlockSize) {
        if (!v.contains(pos, kColBlockSize)) {
            problems.error(buf.page_of(pos), "column block " + num(i) + " runs past the TDEF");
            return false;
        }
        ColumnDef c;
        c.type = *v.u8(pos + kColType);
        c.number = *v.u16(pos + kColNumber);
        c.var_index = *v.u16(pos + kColVarIndex);
        c.index = *v.u16(pos + kColIndex);
        for (int k = 0; k < 4; ++k)
            c.misc[k] = *v.u8(pos + kColMisc + k);
        c.flags = *v.u8(pos + kColFlags);
        c.ext_flags = *v.u8(pos + kColExtFlags);
        c.fixed_offset = *v.u16(pos + kColFixedOffset);
        c.length = *v.u16(pos + kColLength);
        def.columns.push_back(c);
    }
    for (auto& c : def.columns) {
        std::size_t chars = 0;
        std::size_t at = pos;
        if (!read_name(v, pos, c.name, chars)) {
            problems.error(buf.page_of(at),
                           "column name at TDEF offset " + num(at) + " is unreadable");
            return false;
        }
        if (chars == 0 || chars > kMaxNameChars)
            problems.error(buf.page_of(at), "column name '" + c.name + "' has " + num(chars) +
                                                " characters (1..64 allowed)");
    }
    check_columns(def, buf, col_start, problems);

    for (std::uint32_t i = 0; i < def.real_count; ++i, pos += kRealIdxBlockSize) {
        if (!v.contains(pos, kRealIdxBlockSize)) {
            problems.error(buf.page_of(pos), "real index block " + num(i) + " runs past the TDEF");
            return false;
        }
        RealIndexDef& r = def.real_indexes[i];
        std::uint32_t where = buf.page_of(pos);
        for (std::size_t s = 0; s < kRealIdxColumnSlots; ++s) {
            std::size_t at = pos + kRealIdxColumns + s * kRealIdxColumnSlotSize;
            std::uint16_t col = *v.u16(at);
            if (col == kRealIdxUnusedColumn) continue;
            r.columns.push_back({col, *v.u8(at + 2)});
            if (!def.column_by_number(col))
                problems.error(where,
                               "real index " + num(i) + " names missing column number " + num(col));
        }
        if (r.columns.empty()) problems.error(where, "real index " + num(i) + " has no columns");
        r.map = RowPointer::from_u32(*v.u32(pos + kRealIdxMap));
        r.root = *v.u32(pos + kRealIdxRoot);
        r.flags = *v.u8(pos + kRealIdxFlags);
    }
    std::set<std::uint32_t> logical_numbers;
    for (std::uint32_t i = 0; i < def.logical_count; ++i, pos += kLogIdxBlockSize) {
        if (!v.contains(pos, kLogIdxBlockSize)) {
            problems.error(buf.page_of(pos),
                           "logical index block " + num(i) + " runs past the TDEF");
            return false;
        }
        LogicalIndexDef l;
        std::uint32_t where = buf.page_of(pos);
        if (v.u32(pos + kLogIdxMagic) != kTdefMagicValue)
            problems.error(where, "logical index block " + num(i) + " lacks the 1625 constant");
        l.number = *v.u32(pos + kLogIdxNumber);
        l.real_index = *v.u32(pos + kLogIdxRealIndex);
        l.rel_role = *v.u8(pos + kLogIdxRelRole);
        l.other_index = static_cast<std::int32_t>(*v.u32(pos + kLogIdxOtherIndex));
        l.other_tdef = *v.u32(pos + kLogIdxOtherTdef);
        l.cascade_update = *v.u8(pos + kLogIdxCascadeUpdate);
        l.cascade_delete = *v.u8(pos + kLogIdxCascadeDelete);
        l.type = *v.u8(pos + kLogIdxType);
        if (l.real_index >= def.real_count)
            problems.error(where, "logical index " + num(i) + " uses real index " +
                                      num(l.real_index) + " of " + num(def.real_count));
        if (!logical_numbers.insert(l.number).second)
            problems.error(where, "logical index number " + num(l.number) + " repeats");
        def.logical_indexes.push_back(l);
    }
    std::set<std::string> index_names;
    int primary_keys = 0;
    for (auto& l : def.logical_indexes) {
        std::size_t chars = 0;
        std::size_t at = pos;
        if (!read_name(v, pos, l.name, chars)) {
            problems.error(buf.page_of(at),
                           "logical index name at TDEF offset " + num(at) + " is unreadable");
            return false;
        }
        if (chars == 0 || chars > kMaxNameChars)
            problems.error(buf.page_of(at),
                           "index name '" + l.name + "' has " + num(chars) + " characters");
        if (!index_names.insert(lower_ascii(l.name)).second)
            problems.error(buf.page_of(at), "index name '" + l.name + "' repeats");
        if (l.type == kLogIdxPrimaryKey) ++primary_keys;
    }
    if (primary_keys > 1) problems.error(page, "table has " + num(primary_keys) + " primary keys");

    // Long-value column map list, ended by FF FF.
    std::set<std::uint16_t> lv_columns;
    for (;;) {
        auto col = v.u16(pos);
        if (!col) {
            problems.error(buf.page_of(pos), "long-value map list runs past the TDEF");
            return false;
        }
        if (*col == kLvMapEnd) {
            pos += 2;
            break;
        }
        if (!v.contains(pos, kLvMapEntrySize)) {
            problems.error(buf.page_of(pos), "long-value map entry runs past the TDEF");
            return false;
        }
        LvMapDef m;
        m.column = *col;
        m.owned = RowPointer::from_u32(*v.u32(pos + 2));
        m.free = RowPointer::from_u32(*v.u32(pos + 6));
        const ColumnDef* c = def.column_by_number(m.column);
        if (!c || !c->long_value())
            problems.error(buf.page_of(pos), "long-value map names column number " + num(m.column) +
                                                 ", not a memo/OLE column");
        if (!lv_columns.insert(m.column).second)
            problems.error(buf.page_of(pos),
                           "long-value map for column " + num(m.column) + " repeats");
        def.lv_maps.push_back(m);
        pos += kLvMapEntrySize;
    }
    for (const auto& c : def.columns)
        if (c.long_value() && !lv_columns.count(c.number))
            problems.error(page, "memo/OLE column '" + c.name + "' has no long-value map entry");

    // The stored length counts the definition bytes from the start of the first page.
    def.defined_bytes = static_cast<std::uint32_t>(pos);
    if (def.tdef_len != pos)
        problems.error(page, "TDEF length field " + num(def.tdef_len) +
                                 " but the definition ends at " + num(pos));
    std::size_t pages_needed = pos <= kPageSize
                                   ? 1
                                   : 1 + (pos - kPageSize + kPageSize - kTdefPageHeader - 1) /
                                             (kPageSize - kTdefPageHeader);
    if (pages_needed != buf.pages.size())
        problems.error(page, "TDEF spans " + num(buf.pages.size()) +
                                 " pages, its definition needs " + num(pages_needed));
    return true;
}

bool crack_row(const TableDef& def, ByteView row, CrackedRow& out, std::string& error) {
    out = {};
    out.values.resize(def.columns.size());
    auto count = row.u16(kRowColumnCount);
    if (!count) {
        error = "row of " + num(row.size()) + " bytes is too short";
        return false;
    }
    out.column_count = *count;
    if (*count > def.max_columns || *count == 0) {
        error = "row column count " + num(*count) + " outside 1.." + num(def.max_columns);
        return false;
    }
    std::size_t mask_size = (*count + 7) / 8;
    if (row.size() < kRowFixedArea + mask_size) {
        error = "row of " + num(row.size()) + " bytes cannot hold its null mask";
        return false;
    }
    std::size_t mask_pos = row.size() - mask_size;
    auto present = [&](std::uint16_t number) {
        return number < *count && (*row.u8(mask_pos + number / 8) >> (number % 8)) & 1;
    };

    std::size_t var_table_start = mask_pos;  // first byte of the trailer before the mask
    std::vector<std::uint16_t> offsets;      // var column i starts; back() = end of data
    if (def.var_columns > 0) {
        if (mask_pos < kRowFixedArea + 2) {
            error = "row too short for its variable-column count";
            return false;
        }
        std::size_t count_pos = mask_pos - 2;
        std::uint16_t nvar = *row.u16(count_pos);
        if (count_pos < kRowFixedArea + 2 * (static_cast<std::size_t>(nvar) + 1)) {
            error = "variable-column count " + num(nvar) + " does not fit the row";
            return false;
        }
        var_table_start = count_pos - 2 * (static_cast<std::size_t>(nvar) + 1);
        for (std::size_t i = 0; i < nvar; ++i)
            offsets.push_back(*row.u16(count_pos - 2 * (i + 1)));
        offsets.push_back(*row.u16(var_table_start));  // end of variable data
        for (std::size_t i = 0; i < offsets.size(); ++i) {
            if (offsets[i] < kRowFixedArea || offsets[i] > var_table_start ||
                (i > 0 && offsets[i] < offsets[i - 1])) {
                error = "variable offset " + num(i) + " = " + num(offsets[i]) +
                        " is out of order or outside the data area (ends " + num(var_table_start) +
                        ")";
                return false;
            }
        }
    }
    std::size_t fixed_end = offsets.empty() ? var_table_start : offsets.front();

    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const ColumnDef& c = def.columns[i];
        ColumnValue& val = out.values[i];
        if (c.number >= *count) continue;  // column added after this row was written
        bool bit = present(c.number);
        if (c.type == kTypeBool) {
            val.null = false;
            val.bool_value = bit;
            continue;
        }
        if (c.fixed()) {
            std::size_t at = kRowFixedArea + c.fixed_offset;
            // Every fixed column the row counts has its space, null or not.
            if (at + c.length > fixed_end) {
                error = "fixed column '" + c.name + "' at " + num(at) + "+" + num(c.length) +
                        " passes the fixed area end " + num(fixed_end);
                return false;
            }
            if (!bit) continue;
            val.null = false;
            val.bytes = row.sub(at, c.length);
            continue;
        }
        if (offsets.empty() || static_cast<std::size_t>(c.var_index) + 1 >= offsets.size())
            continue;
        if (!bit) {
            if (offsets[c.var_index + 1] != offsets[c.var_index]) {
                error = "null column '" + c.name + "' occupies " +
                        num(offsets[c.var_index + 1] - offsets[c.var_index]) + " bytes";
                return false;
            }
            continue;
        }
        val.null = false;
        val.bytes = row.sub(offsets[c.var_index], offsets[c.var_index + 1] - offsets[c.var_index]);
        if (c.type == kTypeText && val.bytes.size() > 0) {
            bool compressed = val.bytes.size() >= 2 && val.bytes.u8(0) == kTextCompressed[0] &&
                              val.bytes.u8(1) == kTextCompressed[1];
            if (compressed && !(c.ext_flags & kColExtCompressible)) {
                error = "column '" + c.name + "' holds compressed text but does not allow it";
                return false;
            }
            if (!compressed && val.bytes.size() % 2) {
                error = "column '" + c.name + "' holds " + num(val.bytes.size()) +
                        " bytes of UTF-16 text, an odd count";
                return false;
            }
        }
        if ((c.type == kTypeText || c.type == kTypeBinary) && val.bytes.size() > c.length) {
            error = "column '" + c.name + "' holds " + num(val.bytes.size()) +
                    " bytes, more than its length " + num(c.length);
            return false;
        }
        std::size_t natural = natural_length(c.type);
        if (natural && c.type != kTypeBool && val.bytes.size() != natural) {
            error = "variable-stored column '" + c.name + "' holds " + num(val.bytes.size()) +
                    " bytes, its type needs " + num(natural);
            return false;
        }
        if (c.long_value() && val.bytes.size() < kLvHeaderSize) {
            error = "memo/OLE column '" + c.name + "' holds " + num(val.bytes.size()) +
                    " bytes, less than a long-value header";
            return false;
        }
    }
    return true;
}

std::vector<CrackedRow> read_table_rows(const Jet4File& file, const TableDef& def,
                                        std::size_t* skipped) {
    std::vector<CrackedRow> rows;
    std::size_t bad = 0;
    std::string error;
    auto map_row = data_row(file, def.owned_map.page, def.owned_map.row, error);
    UsageMap owned;
    if (!map_row || !decode_usage_map(file, *map_row, owned, error)) {
        if (skipped) *skipped = 1;
        return rows;
    }
    for (std::uint32_t page : owned.pages) {
        ByteView pg = file.page(page);
        DataPageInfo info;
        if (pg.u8(0) != kPageData || !read_data_page(pg, info, error) || info.owner != def.page)
            continue;
        for (const RowSlot& slot : info.rows) {
            if (slot.deleted()) continue;
            ByteView body = pg.sub(slot.start, slot.length());
            if (slot.overflow()) {
                auto target = body.u32(0);
                std::optional<ByteView> t;
                if (target) {
                    RowPointer ptr = RowPointer::from_u32(*target);
                    t = data_row(file, ptr.page, ptr.row, error);
                }
                if (!t) {
                    ++bad;
                    continue;
                }
                body = *t;
            }
            CrackedRow row;
            if (crack_row(def, body, row, error))
                rows.push_back(std::move(row));
            else
                ++bad;
        }
    }
    if (skipped) *skipped = bad;
    return rows;
}

bool read_long_value(const Jet4File& file, ByteView value, std::vector<std::uint8_t>& out,
                     std::string& error, std::vector<std::uint32_t>* rows_visited) {
    out.clear();
    auto word = value.u32(0);
    if (!word || value.size() < kLvHeaderSize) {
        error = "long-value header shorter than 12 bytes";
        return false;
    }
    std::uint32_t length = *word & kLvLengthMask;
    std::uint32_t kind = *word & kLvTypeMask;
    RowPointer ptr = RowPointer::from_u32(*value.u32(kLvPointer));
    if (kind == kLvInline) {
        if (length != value.size() - kLvHeaderSize) {
            error = "inline long value says " + num(length) + " bytes, holds " +
                    num(value.size() - kLvHeaderSize);
            return false;
        }
        out.assign(value.data() + kLvHeaderSize, value.data() + value.size());
        return true;
    }
    auto lval_row = [&](RowPointer p) -> std::optional<ByteView> {
        RowSlot slot;
        auto r = data_row(file, p.page, p.row, error, &slot);
        if (!r) return std::nullopt;
        if (file.page(p.page).u32(kDataOwner) != kLvalTag) {
            error = "long value points at page " + num(p.page) + ", not an LVAL page";
            return std::nullopt;
        }
        if (slot.deleted()) {
            error = "long value points at deleted row " + num(p.row) + " of page " + num(p.page);
            return std::nullopt;
        }
        if (rows_visited) rows_visited->push_back(p.page << 8 | p.row);
        return r;
    };
    if (kind == kLvSingleRow) {
        auto r = lval_row(ptr);
        if (!r) return false;
        if (r->size() != length) {
            error = "single-row long value says " + num(length) + " bytes, its row holds " +
                    num(r->size());
            return false;
        }
        out.assign(r->data(), r->data() + length);
        return true;
    }
    if (kind != 0) {
        error = "long-value header has both type bits set";
        return false;
    }
    std::set<std::uint32_t> seen;
    while (out.size() < length) {
        if (ptr.page == 0) {
            error =
                "long-value chain ends after " + num(out.size()) + " of " + num(length) + " bytes";
            return false;
        }
        if (!seen.insert(ptr.page << 8 | ptr.row).second) {
            error = "long-value chain loops at page " + num(ptr.page) + " row " + num(ptr.row);
            return false;
        }
        auto r = lval_row(ptr);
        if (!r) return false;
        std::uint32_t ptr_page = ptr.page;
        if (r->size() < kLvChainLink) {
            error = "long-value chain row shorter than its link";
            return false;
        }
        ptr = RowPointer::from_u32(*r->u32(0));
        std::size_t take = std::min<std::size_t>(r->size() - kLvChainLink, length - out.size());
        if (take != r->size() - kLvChainLink) {
            error = "long-value chain row on page " + num(ptr_page) + " holds " +
                    num(r->size() - kLvChainLink - take) + " bytes past the value's " + num(length);
            return false;
        }
        out.insert(out.end(), r->data() + kLvChainLink, r->data() + kLvChainLink + take);
    }
    if (ptr.page != 0) {
        error = "long-value chain continues past its " + num(length) + " bytes (to page " +
                num(ptr.page) + ")";
        return false;
    }
    return true;
}

std::string decode_text(ByteView bytes) {
    std::vector<std::uint16_t> units;
    if (bytes.size() >= 2 && bytes.u8(0) == kTextCompressed[0] &&
        bytes.u8(1) == kTextCompressed[1]) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < bytes.size()) {
            std::uint8_t b = *bytes.u8(i);
            if (b == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                units.push_back(b);
                ++i;
            } else {
                if (i + 1 >= bytes.size()) break;
                units.push_back(*bytes.u16(i));
                i += 2;
            }
        }
    } else {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            units.push_back(*bytes.u16(i));
    }
    return utf16_to_utf8(units);
}

std::optional<std::int64_t> value_as_int(const ColumnDef& column, const ColumnValue& value) {
    if (value.null) return std::nullopt;
    switch (column.type) {
        case kTypeBool:
            return value.bool_value ? -1 : 0;
        case kTypeByte:
            return value.bytes.u8(0);
        case kTypeInt:
            if (auto v = value.bytes.u16(0)) return static_cast<std::int16_t>(*v);
            return std::nullopt;
        case kTypeLong:
            if (auto v = value.bytes.u32(0)) return static_cast<std::int32_t>(*v);
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::string value_as_text(const Jet4File& file, const ColumnDef& column, const ColumnValue& value) {
    if (value.null) return "";
    char buf[64];
    switch (column.type) {
        case kTypeBool:
            return value.bool_value ? "true" : "false";
        case kTypeByte:
        case kTypeInt:
        case kTypeLong:
            return std::to_string(value_as_int(column, value).value_or(0));
        case kTypeMoney:
            std::snprintf(
                buf, sizeof buf, "%.4f",
                static_cast<double>(static_cast<std::int64_t>(value.bytes.u64(0).value_or(0))) /
                    kCurrencyScale);
            return buf;
        case kTypeFloat:
            std::snprintf(buf, sizeof buf, "%g", value.bytes.f32(0).value_or(0));
            return buf;
        case kTypeDouble:
        case kTypeDate:
            std::snprintf(buf, sizeof buf, "%.10g", value.bytes.f64(0).value_or(0));
            return buf;
        case kTypeText:
            return decode_text(value.bytes);
        case kTypeMemo: {
            std::vector<std::uint8_t> data;
            std::string error;
            if (!read_long_value(file, value.bytes, data, error)) return "<" + error + ">";
            return decode_text(ByteView(data.data(), data.size()));
        }
        case kTypeOle: {
            std::vector<std::uint8_t> data;
            std::string error;
            if (!read_long_value(file, value.bytes, data, error)) return "<" + error + ">";
            return hex_bytes(data, data.size());
        }
        default: {
            std::vector<std::uint8_t> data(value.bytes.data(),
                                           value.bytes.data() + value.bytes.size());
            return hex_bytes(data, data.size());
        }
    }
}

}  // namespace tessaly::test::jet
