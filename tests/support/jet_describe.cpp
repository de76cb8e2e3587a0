#include "support/jet_describe.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "support/jet_layout.h"
#include "support/jet_pages.h"
#include "support/jet_tdef.h"

namespace tessaly::test {

using namespace jet;

namespace {

constexpr std::uint32_t kRootParentId = 0x0F000000;
constexpr std::size_t kHdrConstantsEnd = kHdrCodePage;  // 0x18..0x3B: fixed dwords and zeros
constexpr std::size_t kHdrZeroTail = 0x7A;              // 0x7A..0x97: zeros
constexpr std::size_t kHdrWordTable = 0xE00;
constexpr std::uint16_t kHdrWordValue = 0x0100;
constexpr std::size_t kHdrWordTableLooseWords = 2;  // words 0 and 1 vary
constexpr std::uint32_t kPropMagic = 0x0032524D;    // "MR2\0"
constexpr std::uint16_t kPropNames = 0x80;
constexpr std::uint8_t kPropTypeText = 0x0A;
constexpr std::uint8_t kPropTypeMemo = 0x0C;
constexpr std::size_t kMaxPropChunks = 64;

std::string hex(std::uint64_t v, int width = 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%0*llX", width, static_cast<unsigned long long>(v));
    return buf;
}

std::string hex_view(ByteView v) {
    return hex_bytes(std::vector<std::uint8_t>(v.data(), v.data() + v.size()), 4096);
}

const char* type_name(std::uint8_t t) {
    switch (t) {
        case kTypeBool:
            return "BOOL";
        case kTypeByte:
            return "BYTE";
        case kTypeInt:
            return "INT";
        case kTypeLong:
            return "LONG";
        case kTypeMoney:
            return "CURRENCY";
        case kTypeFloat:
            return "SINGLE";
        case kTypeDouble:
            return "DOUBLE";
        case kTypeDate:
            return "DATETIME";
        case kTypeBinary:
            return "BINARY";
        case kTypeText:
            return "TEXT";
        case kTypeOle:
            return "OLE";
        case kTypeMemo:
            return "MEMO";
        case kTypeGuid:
            return "GUID";
        case kTypeNumeric:
            return "NUMERIC";
        case kTypeFixedBlob:
            return "BLOB";
        default:
            return "UNKNOWN";
    }
}

// Column access by name on a cracked row.
class RowReader {
  public:
    RowReader(const Jet4File& file, const TableDef& def, const CrackedRow& row)
        : file_(file), def_(def), row_(row) {}

    const ColumnValue* value(const std::string& name) const {
        const ColumnDef* c = def_.column_by_name(name);
        if (!c) return nullptr;
        return &row_.values[static_cast<std::size_t>(c - def_.columns.data())];
    }
    bool present(const std::string& name) const {
        const ColumnValue* v = value(name);
        return v && !v->null;
    }
    std::optional<std::int64_t> integer(const std::string& name) const {
        const ColumnDef* c = def_.column_by_name(name);
        const ColumnValue* v = value(name);
        if (!c || !v) return std::nullopt;
        return value_as_int(*c, *v);
    }
    std::string text(const std::string& name) const {
        const ColumnDef* c = def_.column_by_name(name);
        const ColumnValue* v = value(name);
        if (!c || !v) return "";
        return value_as_text(file_, *c, *v);
    }
    std::vector<std::uint8_t> bytes(const std::string& name) const {
        const ColumnDef* c = def_.column_by_name(name);
        const ColumnValue* v = value(name);
        if (!c || !v || v->null) return {};
        if (c->long_value()) {
            std::vector<std::uint8_t> out;
            std::string error;
            read_long_value(file_, v->bytes, out, error);
            return out;
        }
        return std::vector<std::uint8_t>(v->bytes.data(), v->bytes.data() + v->bytes.size());
    }

  private:
    const Jet4File& file_;
    const TableDef& def_;
    const CrackedRow& row_;
};

// Property names and text values of an "MR2" property blob: "Name=value" for
// text properties, "Name:type" for the others, in stored order.
std::string describe_properties(const std::vector<std::uint8_t>& blob) {
    ByteView v(blob.data(), blob.size());
    if (v.u32(0) != kPropMagic) return "unreadable";
    std::vector<std::string> names;
    std::vector<std::string> items;
    std::size_t pos = 4;
    for (std::size_t chunk = 0; chunk < kMaxPropChunks && v.contains(pos, 6); ++chunk) {
        std::uint32_t len = *v.u32(pos);
        std::uint16_t kind = *v.u16(pos + 4);
        if (len < 6 || !v.contains(pos, len)) return "unreadable";
        ByteView body = v.sub(pos + 6, len - 6);
        if (kind == kPropNames) {
            for (std::size_t p = 0; body.contains(p, 2);) {
                std::uint16_t n = *body.u16(p);
                if (!body.contains(p + 2, n)) break;
                names.push_back(decode_text(body.sub(p + 2, n)));
                p += 2 + n;
            }
        } else {
            // Value block: u32 length, u16 name length, name, then entries.
            auto block_len = body.u32(0);
            auto name_len = body.u16(4);
            if (!block_len || !name_len) return "unreadable";
            std::string block_name = decode_text(body.sub(6, *name_len));
            if (!block_name.empty()) items.push_back("[" + block_name + "]");
            for (std::size_t p = 6 + *name_len; body.contains(p, 8);) {
                std::uint16_t entry_len = *body.u16(p);
                if (entry_len < 8 || !body.contains(p, entry_len)) break;
                std::uint8_t type = *body.u8(p + 3);
                std::uint16_t name_index = *body.u16(p + 4);
                std::uint16_t value_len = *body.u16(p + 6);
                std::string name = name_index < names.size() ? names[name_index]
                                                             : "#" + std::to_string(name_index);
                ByteView value = body.sub(p + 8, value_len);
                if (type == kPropTypeText || type == kPropTypeMemo)
                    items.push_back(name + "=" + decode_text(value));
                else if (type >= kTypeBool && type <= kTypeLong && value.size() <= 4 &&
                         value.size() > 0) {
                    std::int64_t n = 0;
                    for (std::size_t i = value.size(); i-- > 0;)
                        n = n << 8 | *value.u8(i);
                    items.push_back(name + ":" + std::to_string(n));
                } else {
                    items.push_back(name + ":type" + hex(type, 2));
                }
                p += entry_len;
            }
        }
        pos += len;
    }
    std::string out;
    for (const auto& i : items)
        out += (out.empty() ? "" : "; ") + i;
    return out;
}

class Describer {
  public:
    Describer(const Jet4File& file, Description& out) : f_(file), d_(out) {}

    void run() {
        if (f_.page_count() < 3) {
            d_.problems.push_back("file holds fewer than 3 pages");
            return;
        }
        header();
        global_map();
        catalog();
    }

  private:
    void field(const std::string& key, const std::string& value) {
        std::string k = key;
        for (int n = 2; d_.fields.count(k); ++n)
            k = key + "#" + std::to_string(n);
        d_.fields[k] = value;
    }

    void header() {
        ByteView pg = f_.page(0);
        HeaderInfo h = decode_header(pg);
        field("header.page_type", hex(h.page_type, 2) + " " + hex(*pg.u8(1), 2));
        field("header.signature", h.signature_ok ? "Standard Jet DB" : "missing");
        field("header.version", hex(h.version, 2));
        field("header.code_page", std::to_string(h.code_page));
        field("header.db_key", hex(h.db_key, 8));
        field("header.sort_order",
              hex(h.sort_lcid, 4) + " version " + std::to_string(h.sort_version));
        field("header.password", h.password_empty ? "none" : "set");
        field("header.version_text", h.version_text);
        field("header.const_98", hex(h.const_98, 8));
        field("header.masked_18_3b",
              hex_view(ByteView(h.masked_plain.data(), kHdrConstantsEnd - kHdrMaskedStart)));
        bool zero_tail = std::all_of(h.masked_plain.begin() + (kHdrZeroTail - kHdrMaskedStart),
                                     h.masked_plain.end(), [](std::uint8_t b) { return b == 0; });
        field("header.masked_7a_97", zero_tail ? "zero" : "non-zero");
        std::size_t odd_words = 0;
        for (std::size_t w = kHdrWordTableLooseWords; w < (kPageSize - kHdrWordTable) / 2; ++w)
            if (pg.u16(kHdrWordTable + 2 * w) != kHdrWordValue) ++odd_words;
        field("header.word_table_e00", odd_words
                                           ? std::to_string(odd_words) + " words differ from 0x0100"
                                           : "all 0x0100 after word 1");
        d_.per_file["header.word_table_e00.first"] =
            hex(*pg.u16(kHdrWordTable), 4) + " " + hex(*pg.u16(kHdrWordTable + 2), 4);
        char date[32];
        std::snprintf(date, sizeof date, "%.17g", h.creation_date);
        d_.per_file["header.creation_date"] = date;
        d_.per_file["header.unknown_6a"] = hex(h.unknown_6a, 8);
        d_.per_file["file.pages"] = std::to_string(f_.page_count());
    }

    void global_map() {
        ByteView pg = f_.page(kGlobalMapPage);
        DataPageInfo info;
        std::string error;
        if (pg.u8(0) != kPageData || !read_data_page(pg, info, error) || info.rows.empty()) {
            d_.problems.push_back("page 1 is not a readable data page");
            return;
        }
        field("page1.owner_field", std::to_string(info.owner));
        field("page1.rows", std::to_string(info.rows.size()));
        UsageMap map;
        if (decode_usage_map(f_, pg.sub(info.rows[0].start, info.rows[0].length()), map, error))
            field("page1.global_map", std::string(map.type == kMapInline ? "inline" : "reference") +
                                          " start " + std::to_string(map.start));
        for (std::size_t i = 0; i < info.rows.size(); ++i) {
            ByteView row = pg.sub(info.rows[i].start, info.rows[i].length());
            d_.per_file["page1.row" + std::to_string(i) + ".length"] = std::to_string(row.size());
            if (i > 0)
                field("page1.row" + std::to_string(i),
                      std::all_of(row.data(), row.data() + row.size(),
                                  [](std::uint8_t b) { return b == 0; })
                          ? "zero"
                          : "non-zero");
        }
    }

    struct Object {
        std::uint32_t id = 0;
        std::uint32_t parent = 0;
        std::string name;
        std::int64_t type = 0;
        std::string path;
    };

    std::string path_of(std::uint32_t id) const {
        auto it = objects_.find(id);
        if (it == objects_.end()) return "#" + hex(id, 8);
        std::string parent;
        if (it->second.parent != kRootParentId) {
            auto p = objects_.find(it->second.parent);
            parent = p == objects_.end() ? "#" + hex(it->second.parent, 8) : p->second.name;
        }
        return parent + "/" + it->second.name;
    }

    // SIDs named by their relation to the MSysDb owner SID.
    std::string sid_label(const std::vector<std::uint8_t>& sid) const {
        if (sid.empty()) return "none";
        if (!db_owner_.empty() && sid.size() == db_owner_.size() && sid.size() <= 4) {
            std::uint32_t x = 0;
            for (std::size_t i = 0; i < sid.size(); ++i)
                x = x << 8 | (sid[i] ^ db_owner_[i]);
            return x == 0 ? "db" : "db^" + hex(x, static_cast<int>(2 * sid.size())).substr(2);
        }
        return "sid" + std::to_string(sid.size());
    }

    void catalog() {
        ProblemList quiet;
        TableDef cat;
        if (!read_table_def(f_, kCatalogPage, cat, quiet)) {
            d_.problems.push_back("MSysObjects TDEF on page 2 is unreadable");
            return;
        }
        std::size_t skipped = 0;
        auto rows = read_table_rows(f_, cat, &skipped);
        if (skipped)
            d_.problems.push_back(std::to_string(skipped) + " MSysObjects rows unreadable");
        for (const auto& row : rows) {
            RowReader r(f_, cat, row);
            Object o;
            o.id = static_cast<std::uint32_t>(r.integer("Id").value_or(0));
            o.parent = static_cast<std::uint32_t>(r.integer("ParentId").value_or(0));
            o.name = r.text("Name");
            o.type = r.integer("Type").value_or(0);
            objects_[o.id] = o;
            if (o.name == "MSysDb") db_owner_ = r.bytes("Owner");
        }
        static const char* kOptional[] = {"Database",    "Connect", "ForeignName", "RmtInfoShort",
                                          "RmtInfoLong", "Lv",      "LvModule",    "LvExtra"};
        for (const auto& row : rows) {
            RowReader r(f_, cat, row);
            auto id = static_cast<std::uint32_t>(r.integer("Id").value_or(0));
            std::string key = "object[" + path_of(id) + "]";
            const Object& o = objects_[id];
            bool table = o.type == kObjTable;
            std::string value =
                "id=" + (table ? std::string("<tdef>") : hex(id, 8)) +
                " parent=" + hex(o.parent, 8) + " type=" + std::to_string(o.type) +
                " flags=" + hex(static_cast<std::uint32_t>(r.integer("Flags").value_or(0)), 8) +
                " owner=" + sid_label(r.bytes("Owner"));
            for (const char* c : kOptional)
                if (r.present(c)) value += std::string(" ") + c;
            field(key, value);
            if (r.present("LvProp")) field(key + ".lvprop", describe_properties(r.bytes("LvProp")));
            if (table) d_.per_file[key + ".id"] = std::to_string(id);
            d_.per_file[key + ".dates"] = r.text("DateCreate") + " / " + r.text("DateUpdate");
            if (o.name == "MSysDb") d_.per_file[key + ".owner"] = hex_bytes(db_owner_);
        }

        tables_[kCatalogPage] = "MSysObjects";
        for (const auto& [id, o] : objects_)
            if (o.type == kObjTable) tables_[id & kObjIdPageMask] = o.name;
        for (const auto& [page, name] : tables_)
            table(page, name);
    }

    void table(std::uint32_t page, const std::string& name) {
        ProblemList quiet;
        TableDef def;
        if (f_.page(page).u8(0) != kPageTdef || !read_table_def(f_, page, def, quiet)) {
            d_.problems.push_back("table '" + name + "' has no readable TDEF on page " +
                                  std::to_string(page));
            return;
        }
        std::size_t skipped = 0;
        auto rows = read_table_rows(f_, def, &skipped);
        if (skipped)
            d_.problems.push_back(std::to_string(skipped) + " rows of '" + name + "' unreadable");
        std::string key = "table[" + name + "]";
        field(key, "kind=" + hex(def.table_type, 2) +
                       " columns=" + std::to_string(def.columns.size()) +
                       " column_total=" + std::to_string(def.max_columns) +
                       " variable=" + std::to_string(def.var_columns) +
                       " real_indexes=" + std::to_string(def.real_count) + " logical_indexes=" +
                       std::to_string(def.logical_count) + " rows=" + std::to_string(rows.size()) +
                       " tdef_rows=" + std::to_string(def.row_count) +
                       " tdef_pages=" + std::to_string(def.chain.size()));
        d_.per_file[key + ".tdef_page"] = std::to_string(page);
        d_.per_file[key + ".autonumber"] = std::to_string(def.autonumber);
        for (const auto& c : def.columns) {
            std::string v = std::string(type_name(c.type)) + " num=" + std::to_string(c.number) +
                            " index=" + std::to_string(c.index) + " flags=" + hex(c.flags, 2) +
                            " ext=" + hex(c.ext_flags, 2) + " length=" + std::to_string(c.length);
            if (c.fixed())
                v += " fixed_offset=" + std::to_string(c.fixed_offset);
            else
                v += " var_slot=" + std::to_string(c.var_index);
            v += " misc=" + hex_bytes(std::vector<std::uint8_t>(c.misc, c.misc + 4));
            if (c.long_value()) {
                bool mapped = std::any_of(def.lv_maps.begin(), def.lv_maps.end(),
                                          [&](const LvMapDef& m) { return m.column == c.number; });
                v += mapped ? " lv_maps" : " no_lv_maps";
            }
            field(key + ".column[" + c.name + "]", v);
        }
        for (const auto& l : def.logical_indexes) {
            std::string v = "kind=" + std::string(l.type == kLogIdxPrimaryKey   ? "primary"
                                                  : l.type == kLogIdxForeignKey ? "foreign"
                                                                                : "plain");
            if (l.real_index < def.real_indexes.size()) {
                const RealIndexDef& r = def.real_indexes[l.real_index];
                v += " real=" + std::to_string(l.real_index) + " columns=";
                for (std::size_t i = 0; i < r.columns.size(); ++i) {
                    const ColumnDef* c = def.column_by_number(r.columns[i].column);
                    v += (i ? "," : "") +
                         (c ? c->name : "#" + std::to_string(r.columns[i].column)) +
                         (r.columns[i].order == 0x01 ? "+" : "-");
                }
                v += " flags=" + hex(r.flags, 2);
            }
            if (l.type == kLogIdxForeignKey) {
                auto other = tables_.find(l.other_tdef);
                v += " role=" + std::to_string(l.rel_role) + " other=" +
                     (other == tables_.end() ? "#" + std::to_string(l.other_tdef) : other->second) +
                     " other_index=" + std::to_string(l.other_index);
            }
            v += " cascade=" + hex(l.cascade_update, 2) + "/" + hex(l.cascade_delete, 2);
            field(key + ".index[" + l.name + "]", v);
        }
        if (name == "MSysACEs") aces(def, rows);
        if (name == "MSysQueries") queries(def, rows);
        if (name == "MSysRelationships") relationships(def, rows);
    }

    void aces(const TableDef& def, const std::vector<CrackedRow>& rows) {
        for (const auto& row : rows) {
            RowReader r(f_, def, row);
            auto object = static_cast<std::uint32_t>(r.integer("ObjectId").value_or(0));
            auto sid = r.bytes("SID");
            std::string key = "ace[" + path_of(object) + "][" + sid_label(sid) + "]";
            field(key, "acm=" + hex(static_cast<std::uint32_t>(r.integer("ACM").value_or(0)), 8) +
                           " inheritable=" + r.text("FInheritable"));
            if (sid.size() > 4) d_.per_file["sid" + std::to_string(sid.size())] = hex_bytes(sid);
        }
    }

    void queries(const TableDef& def, const std::vector<CrackedRow>& rows) {
        std::map<std::string, int> seq;
        for (const auto& row : rows) {
            RowReader r(f_, def, row);
            std::string path =
                path_of(static_cast<std::uint32_t>(r.integer("ObjectId").value_or(0)));
            std::string key = "query[" + path + "][" + std::to_string(seq[path]++) + "]";
            std::string v = "attr=" + r.text("Attribute") + " flag=" + r.text("Flag") +
                            " name1=" + r.text("Name1") + " name2=" + r.text("Name2") +
                            " expr=" + r.text("Expression");
            if (r.present("Order")) v += " order=" + r.text("Order");
            if (r.present("LvExtra")) v += " lvextra";
            field(key, v);
        }
    }

    void relationships(const TableDef& def, const std::vector<CrackedRow>& rows) {
        for (const auto& row : rows) {
            RowReader r(f_, def, row);
            std::string key =
                "relationship[" + r.text("szRelationship") + "][" + r.text("icolumn") + "]";
            field(key,
                  "grbit=" + hex(static_cast<std::uint32_t>(r.integer("grbit").value_or(0)), 8) +
                      " ccolumn=" + r.text("ccolumn") + " object=" + r.text("szObject") + "." +
                      r.text("szColumn") + " referenced=" + r.text("szReferencedObject") + "." +
                      r.text("szReferencedColumn"));
        }
    }

    const Jet4File& f_;
    Description& d_;
    std::map<std::uint32_t, Object> objects_;
    std::map<std::uint32_t, std::string> tables_;  // TDEF page -> name
    std::vector<std::uint8_t> db_owner_;
};

}  // namespace

std::string Description::to_string() const {
    std::ostringstream out;
    for (const auto& [k, v] : fields)
        out << k << " = " << v << "\n";
    for (const auto& [k, v] : per_file)
        out << "per-file " << k << " = " << v << "\n";
    for (const auto& p : problems)
        out << "problem: " << p << "\n";
    return out.str();
}

Description describe_jet4_bytes(std::vector<std::uint8_t> bytes) {
    Jet4File file(std::move(bytes));
    Description d;
    Describer(file, d).run();
    return d;
}

Description describe_jet4(const std::filesystem::path& path) {
    std::string error;
    auto file = Jet4File::load(path, error);
    Description d;
    if (!file) {
        d.problems.push_back(error);
        return d;
    }
    Describer(*file, d).run();
    return d;
}

std::string Difference::to_string() const {
    return key + ": " + a.value_or("(absent)") + " | " + b.value_or("(absent)");
}

std::vector<Difference> diff_descriptions(const Description& a, const Description& b) {
    std::vector<Difference> out;
    auto ia = a.fields.begin();
    auto ib = b.fields.begin();
    while (ia != a.fields.end() || ib != b.fields.end()) {
        if (ib == b.fields.end() || (ia != a.fields.end() && ia->first < ib->first)) {
            out.push_back({ia->first, ia->second, std::nullopt});
            ++ia;
        } else if (ia == a.fields.end() || ib->first < ia->first) {
            out.push_back({ib->first, std::nullopt, ib->second});
            ++ib;
        } else {
            if (ia->second != ib->second) out.push_back({ia->first, ia->second, ib->second});
            ++ia;
            ++ib;
        }
    }
    return out;
}

}  // namespace tessaly::test
