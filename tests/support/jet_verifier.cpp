#include "support/jet_verifier.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <unordered_map>

#include "support/jet_index_check.h"
#include "support/jet_layout.h"
#include "support/jet_tdef.h"

namespace tessaly::test {

using namespace jet;

std::size_t VerifyReport::error_count() const {
    return static_cast<std::size_t>(
        std::count_if(problems.begin(), problems.end(),
                      [](const auto& p) { return p.severity == Severity::kError; }));
}

std::size_t VerifyReport::warning_count() const {
    return problems.size() - error_count();
}

std::string VerifyReport::to_string() const {
    std::ostringstream out;
    for (const auto& p : problems)
        out << (p.severity == Severity::kError ? "error" : "warning") << " page " << p.page << ": "
            << p.message << "\n";
    return out.str();
}

namespace {

std::string num(std::uint64_t v) {
    return std::to_string(v);
}

constexpr std::uint8_t kColFlagAutoLong = 0x04;
constexpr std::uint32_t kNoOwner = 0xFFFFFFFF;

using RowVisitor = std::function<void(const TableDef&, const CrackedRow&)>;

class Verifier {
  public:
    Verifier(const Jet4File& file, ProblemList& problems)
        : f_(file), p_(problems), owner_(file.page_count(), kNoOwner) {}

    void run() {
        if (f_.size() % kPageSize != 0)
            p_.error(f_.page_count(),
                     "file size " + num(f_.size()) + " is not a whole number of 4096-byte pages");
        if (f_.page_count() < 3) {
            p_.error(0, "file holds " + num(f_.page_count()) + " pages, too few for a database");
            return;
        }
        if (f_.page_count() > kMaxPages)
            p_.error(0, "file of " + num(f_.page_count()) + " pages passes the 2 GB limit");
        check_header();
        claim(0, "the database header", 0);
        claim(kGlobalMapPage, "the global page map", 0);
        check_global_map();
        check_catalog();
        for (std::uint32_t holder : map_holders_) {
            DataPageInfo info;
            if (owner_[holder] != kNoOwner && owner_names_[owner_[holder]] == "the global page map")
                continue;  // page 1 also carries maps
            claim(holder, "usage-map rows", holder);
            if (check_data_page(holder, "usage-map page", info) && info.owner != 0 &&
                holder != kGlobalMapPage)
                p_.error(holder, "usage-map page owner field is " + num(info.owner) + ", not 0");
        }
        check_ownership();
    }

  private:
    // ---- page 0 ----
    void check_header() {
        ByteView pg = f_.page(0);
        HeaderInfo h = decode_header(pg);
        if (h.page_type != kPageHeader || pg.u8(1) != kPageMarker)
            p_.error(0, "page 0 does not start 00 01");
        if (!h.signature_ok) p_.error(0, "page 0 lacks the \"Standard Jet DB\" signature");
        if (h.version != kVersionJet4)
            p_.error(0, "version byte " + hex_byte(h.version) + " is not Jet 4 (0x01)");
        if (h.code_page == 0) p_.error(0, "header code page is 0");
        if (h.db_key != 0)
            p_.error(0, "header database key is " + num(h.db_key) + ": pages would be encoded");
        if (h.sort_lcid == 0) p_.error(0, "header sort order LCID is 0");
        if (!(h.creation_date > 0 && h.creation_date < kMaxOleDate))
            p_.error(0, "header creation date " + std::to_string(h.creation_date) +
                            " is outside 1899..9999");
    }

    // ---- global page map ----
    void check_global_map() {
        DataPageInfo info;
        if (!check_data_page(kGlobalMapPage, "global map page", info)) return;
        if (info.rows.empty()) {
            p_.error(kGlobalMapPage, "global map page has no rows");
            return;
        }
        ByteView pg = f_.page(kGlobalMapPage);
        UsageMap map;
        std::string error;
        if (!decode_usage_map(f_, pg.sub(info.rows[0].start, info.rows[0].length()), map, error)) {
            p_.error(kGlobalMapPage, "global map: " + error);
            return;
        }
        for (std::uint32_t mp : map.map_pages)
            claim(mp, "the global page map", kGlobalMapPage);
        if (map.type == kMapInline && map.start != 0)
            p_.error(kGlobalMapPage, "global map starts at page " + num(map.start) + ", not 0");
        if (!map.negative_slots.empty())
            p_.warning(kGlobalMapPage, "global map has " + num(map.negative_slots.size()) +
                                           " negative page slots, read as no page");
        global_free_.assign(f_.page_count(), true);
        covered_.assign(f_.page_count(), false);
        // Coverage: inline maps start at `start`; reference maps from page 0.
        // Covered pages are used unless their bit says free.
        std::uint32_t first = map.type == kMapInline ? map.start : 0;
        for (std::uint64_t p = first;
             p < std::uint64_t(first) + map.bitmap_bits && p < f_.page_count(); ++p) {
            covered_[p] = true;
            global_free_[p] = false;
        }
        for (std::uint32_t p : map.pages)
            if (p < f_.page_count()) global_free_[p] = true;
        have_global_ = true;
    }

    // ---- catalog ----
    // Reads a column of a cracked row by name: the column and its value, or
    // nulls when the table has no such column.
    struct Cell {
        const ColumnDef* column = nullptr;
        const ColumnValue* value = nullptr;
    };
    static Cell cell(const TableDef& def, const CrackedRow& row, const char* name) {
        const ColumnDef* c = def.column_by_name(name);
        if (!c) return {};
        return {c, &row.values[static_cast<std::size_t>(c - def.columns.data())]};
    }
    std::optional<std::int64_t> int_of(const TableDef& def, const CrackedRow& row,
                                       const char* name) const {
        Cell c = cell(def, row, name);
        return c.column ? value_as_int(*c.column, *c.value) : std::nullopt;
    }
    std::string text_of(const TableDef& def, const CrackedRow& row, const char* name) const {
        Cell c = cell(def, row, name);
        return c.column ? value_as_text(f_, *c.column, *c.value) : std::string();
    }
    static std::string lower(std::string s) {
        for (auto& ch : s)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return s;
    }

    // ---- catalog ----
    // MSysObjects at page 2; every table row names a TDEF page; parents,
    // Ids and names are consistent; MSysACEs, MSysQueries and
    // MSysRelationships refer to objects, tables and columns that exist.
    void check_catalog() {
        ByteView cat = f_.page(kCatalogPage);
        if (cat.u8(0) != kPageTdef) {
            p_.error(kCatalogPage, "page 2 is not a TDEF page: MSysObjects must start there");
            return;
        }
        struct Object {
            std::uint32_t id;
            std::uint32_t parent;
            std::int64_t type;
            std::string name;
        };
        std::vector<Object> objects;
        verify_table(kCatalogPage, "MSysObjects", [&](const TableDef& def, const CrackedRow& row) {
            auto id = int_of(def, row, "Id");
            auto type = int_of(def, row, "Type");
            auto parent = int_of(def, row, "ParentId");
            if (!id || !type || !parent) {
                p_.error(kCatalogPage, "MSysObjects row lacks Id, ParentId or Type", "catalog row");
                return;
            }
            objects.push_back({static_cast<std::uint32_t>(*id), static_cast<std::uint32_t>(*parent),
                               *type, text_of(def, row, "Name")});
        });
        if (!catalog_ok_) return;

        std::map<std::uint32_t, const Object*> by_id;
        std::set<std::pair<std::uint32_t, std::string>> names;
        for (const auto& o : objects) {
            if (!by_id.emplace(o.id, &o).second)
                p_.error(kCatalogPage, "MSysObjects Id " + num(o.id) + " repeats");
            if (!names.insert({o.parent, lower(o.name)}).second)
                p_.error(kCatalogPage,
                         "MSysObjects name '" + o.name + "' repeats under parent " + num(o.parent));
        }
        for (const auto& o : objects)
            if (o.parent != kCatalogRootId && !by_id.count(o.parent))
                p_.error(kCatalogPage,
                         "MSysObjects row '" + o.name + "' has parent " + num(o.parent) +
                             ", which does not exist",
                         "catalog parent");

        std::set<std::uint32_t> seen;
        std::map<std::string, std::uint32_t> table_pages;  // lower-case name -> TDEF page
        std::map<std::uint32_t, TableDef> defs;
        table_pages["msysobjects"] = kCatalogPage;
        for (const auto& o : objects) {
            if (o.type != kObjTable) continue;
            std::uint32_t page = o.id & kObjIdPageMask;
            if (page == kCatalogPage) continue;
            if (!seen.insert(page).second) {
                p_.error(page, "two catalog tables point at TDEF page " + num(page));
                continue;
            }
            ByteView pg = f_.page(page);
            if (pg.size() == 0 || pg.u8(0) != kPageTdef) {
                p_.error(page, "catalog table '" + o.name + "' points at page " + num(page) +
                                   ", not a TDEF page");
                continue;
            }
            table_pages[lower(o.name)] = page;
            RowVisitor visit;
            const std::string n = lower(o.name);
            if (n == "msysaces") {
                visit = [&](const TableDef& def, const CrackedRow& row) {
                    auto object = int_of(def, row, "ObjectId");
                    if (!object || !by_id.count(static_cast<std::uint32_t>(*object)))
                        p_.error(page,
                                 "MSysACEs row names object " + num(object.value_or(0)) +
                                     ", which does not exist",
                                 "ace object");
                };
            } else if (n == "msysqueries") {
                visit = [&](const TableDef& def, const CrackedRow& row) {
                    auto object = int_of(def, row, "ObjectId");
                    auto it =
                        object ? by_id.find(static_cast<std::uint32_t>(*object)) : by_id.end();
                    if (it == by_id.end() || it->second->type != kObjQuery)
                        p_.error(page,
                                 "MSysQueries row names object " + num(object.value_or(0)) +
                                     ", which is not a query",
                                 "query object");
                };
            } else if (n == "msysrelationships") {
                visit = [&](const TableDef& def, const CrackedRow& row) {
                    relationships_.push_back(
                        {text_of(def, row, "szRelationship"), text_of(def, row, "szObject"),
                         text_of(def, row, "szColumn"), text_of(def, row, "szReferencedObject"),
                         text_of(def, row, "szReferencedColumn")});
                };
            }
            verify_table(page, o.name, visit);
        }
        check_relationships(table_pages);
    }

    struct Relationship {
        std::string name, object, column, referenced_object, referenced_column;
    };

    // Each relationship row joins columns of tables that exist.
    void check_relationships(const std::map<std::string, std::uint32_t>& table_pages) {
        for (const auto& r : relationships_) {
            for (const auto& [table, column] :
                 {std::pair{r.object, r.column},
                  std::pair{r.referenced_object, r.referenced_column}}) {
                auto it = table_pages.find(lower(table));
                if (it == table_pages.end()) {
                    p_.error(kCatalogPage,
                             "relationship '" + r.name + "' names table '" + table +
                                 "', which does not exist",
                             "relationship");
                    continue;
                }
                TableDef def;
                ProblemList quiet;
                if (read_table_def(f_, it->second, def, quiet) && !def.column_by_name(column))
                    p_.error(it->second,
                             "relationship '" + r.name + "' names column '" + column +
                                 "', which table '" + table + "' lacks",
                             "relationship");
            }
        }
    }

    // ---- tables ----
    void verify_table(std::uint32_t tdef_page, const std::string& name, const RowVisitor& visit) {
        TableDef def;
        const std::string who = "table '" + name + "'";
        if (!read_table_def(f_, tdef_page, def, p_, name)) {
            for (std::uint32_t pg : def.chain)
                claim(pg, "TDEF of " + who, tdef_page);
            return;
        }
        if (tdef_page == kCatalogPage) catalog_ok_ = true;
        for (std::uint32_t pg : def.chain)
            claim(pg, "TDEF of " + who, tdef_page);
        check_tdef_free_space(def);

        // Data pages.
        UsageMap owned;
        if (!load_map(def.owned_map, "owned-pages map of " + who, tdef_page, owned)) return;
        std::set<std::uint32_t> owned_set(owned.pages.begin(), owned.pages.end());
        UsageMap free_map;
        if (load_map(def.free_map, "free-space map of " + who, tdef_page, free_map))
            for (std::uint32_t p : free_map.pages)
                if (!owned_set.count(p))
                    p_.error(p, "free-space map of " + who + " lists page " + num(p) +
                                    ", which the table does not own");

        // Long-value pages, per memo/OLE column.
        std::map<std::uint32_t, std::uint16_t> lval_page_column;  // page -> column number
        for (const auto& lv : def.lv_maps) {
            const ColumnDef* c = def.column_by_number(lv.column);
            std::string what =
                "long-value pages of " + who + " column '" + (c ? c->name : num(lv.column)) + "'";
            UsageMap m;
            if (!load_map(lv.owned, what, tdef_page, m)) continue;
            std::set<std::uint32_t> lv_set(m.pages.begin(), m.pages.end());
            for (std::uint32_t p : m.pages) {
                if (!claim(p, what, tdef_page)) continue;
                DataPageInfo info;
                if (!check_data_page(p, what, info)) continue;
                if (!info.lval)
                    p_.error(p, what + ": page lacks the LVAL tag (owner field " + num(info.owner) +
                                    ")");
                lval_page_column[p] = lv.column;
            }
            UsageMap mf;
            if (lv.free.page == 0 && lv.free.row == 0)
                p_.warning(tdef_page,
                           what +
                               " have no free-space map (Access writes none in some of its"
                               " own system tables)");
            else if (load_map(lv.free, "free " + what, tdef_page, mf))
                for (std::uint32_t p : mf.pages)
                    if (!lv_set.count(p))
                        p_.error(p, "free map of " + what + " lists page " + num(p) +
                                        " missing from its owned map");
        }

        // Rows.
        std::vector<std::unordered_map<std::uint32_t, IndexedRow>> index_rows(
            def.real_indexes.size());
        std::map<std::uint32_t, int> lval_refs;  // LVAL row id -> references
        std::set<std::uint32_t> overflow_targets;
        std::uint64_t live = 0;
        std::int64_t max_autonumber = 0;
        bool have_autonumber = false;
        for (std::uint32_t page : owned.pages) {
            if (!claim(page, "data page of " + who, tdef_page)) continue;
            DataPageInfo info;
            if (!check_data_page(page, "data page of " + who, info)) continue;
            if (info.owner != tdef_page) {
                p_.error(page, "data page of " + who + " has owner field " + num(info.owner) +
                                   ", not " + num(tdef_page));
                continue;
            }
            ByteView pg = f_.page(page);
            if (auto extra = pg.u32(kDataUnused); extra != 0u)
                p_.error(page, "data page of " + who + " has " + num(*extra) +
                                   " at bytes 8-11, which are zero on table pages");
            for (std::size_t i = 0; i < info.rows.size(); ++i) {
                const RowSlot& slot = info.rows[i];
                if (slot.deleted()) continue;
                ByteView body = pg.sub(slot.start, slot.length());
                std::string error;
                if (slot.overflow()) {
                    auto target = body.u32(0);
                    if (!target) {
                        p_.error(page, who + " row " + num(i) + ": overflow row too short");
                        continue;
                    }
                    RowPointer ptr = RowPointer::from_u32(*target);
                    if (!owned_set.count(ptr.page)) {
                        p_.error(page, who + " row " + num(i) + " overflows to page " +
                                           num(ptr.page) + ", which the table does not own");
                        continue;
                    }
                    RowSlot tslot;
                    auto t = data_row(f_, ptr.page, ptr.row, error, &tslot);
                    if (!t) {
                        p_.error(page, who + " row " + num(i) + " overflow: " + error);
                        continue;
                    }
                    if (tslot.overflow())
                        p_.error(page,
                                 who + " row " + num(i) + " overflows to another overflow row");
                    overflow_targets.insert(row_id(ptr.page, ptr.row));
                    body = *t;
                }
                if (body.size() > kMaxRowSize)
                    p_.error(page,
                             who + " row " + num(i) + " is " + num(body.size()) +
                                 " bytes, more than the " + num(kMaxRowSize) + " a row may take",
                             "row size " + name);
                CrackedRow row;
                if (!crack_row(def, body, row, error)) {
                    p_.error(page, who + " row " + num(i) + ": " + error, "row " + name);
                    continue;
                }
                ++live;
                for (std::size_t c = 0; c < def.columns.size(); ++c) {
                    const ColumnDef& col = def.columns[c];
                    const ColumnValue& v = row.values[c];
                    if (col.long_value() && !v.null) {
                        std::vector<std::uint8_t> data;
                        std::vector<std::uint32_t> visited;
                        if (!read_long_value(f_, v.bytes, data, error, &visited)) {
                            p_.error(
                                page,
                                who + " row " + num(i) + " column '" + col.name + "': " + error,
                                "lv " + name);
                            continue;
                        }
                        for (std::uint32_t id : visited) {
                            ++lval_refs[id];
                            auto it = lval_page_column.find(id >> 8);
                            if (it == lval_page_column.end() || it->second != col.number)
                                p_.error(page,
                                         who + " row " + num(i) + " column '" + col.name +
                                             "' uses LVAL page " + num(id >> 8) +
                                             ", not one of this column's long-value pages",
                                         "lv page " + name);
                        }
                    }
                    if ((col.flags & kColFlagAutoLong) && col.type == kTypeLong) {
                        if (auto n = value_as_int(col, v)) {
                            max_autonumber = std::max(max_autonumber, *n);
                            have_autonumber = true;
                        }
                    }
                }
                for (std::size_t k = 0; k < def.real_indexes.size(); ++k) {
                    IndexedRow& ir = index_rows[k][row_id(page, static_cast<std::uint32_t>(i))];
                    expected_index_row(def, def.real_indexes[k], row, ir);
                    if (ir.any_null && (def.real_indexes[k].flags & kIndexFlagRequired))
                        p_.error(page,
                                 who + " row " + num(i) + " has a null in index " + num(k) +
                                     ", which requires values",
                                 "required " + name);
                }
                if (visit) visit(def, row);
            }
        }
        for (std::uint32_t id : overflow_targets) {
            RowSlot tslot;
            std::string error;
            if (data_row(f_, id >> 8, id & 0xFF, error, &tslot) && !tslot.deleted())
                p_.error(id >> 8, who + " overflow target row " + num(id & 0xFF) +
                                      " is also listed as a live row");
        }
        check_lval_references(who, name, lval_page_column, lval_refs);

        if (def.row_count != live)
            p_.warning(tdef_page, who + " TDEF row count " + num(def.row_count) + ", live rows " +
                                      num(live) + " (Access lets this count go stale)");
        if (have_autonumber && max_autonumber > 0 &&
            static_cast<std::uint64_t>(max_autonumber) > def.autonumber)
            p_.warning(tdef_page, who + " autonumber counter " + num(def.autonumber) +
                                      " is below the largest value in use " + num(max_autonumber) +
                                      " (Access files carry such stale counters; Jet reseeds)");

        // Indexes: each real index serves a logical one; foreign keys name real tables.
        std::vector<bool> used(def.real_indexes.size(), false);
        for (const auto& l : def.logical_indexes) {
            if (l.real_index < used.size()) used[l.real_index] = true;
            if (l.type == kLogIdxForeignKey) {
                ByteView other = f_.page(l.other_tdef);
                if (other.size() == 0 || other.u8(0) != kPageTdef)
                    p_.error(tdef_page, who + " foreign-key index '" + l.name + "' names page " +
                                            num(l.other_tdef) + ", not a TDEF page");
            }
        }
        for (std::size_t k = 0; k < used.size(); ++k)
            if (!used[k])
                p_.error(tdef_page, who + " real index " + num(k) + " serves no logical index");
        for (std::size_t k = 0; k < def.real_indexes.size(); ++k) {
            const RealIndexDef& r = def.real_indexes[k];
            std::string what = "index " + num(k) + " of " + who;
            UsageMap m;
            if (!load_map(r.map, "usage map of " + what, tdef_page, m)) continue;
            std::set<std::uint32_t> pages;
            for (std::uint32_t p : m.pages)
                if (claim(p, "index pages of " + what, tdef_page)) pages.insert(p);
            check_index_tree(f_, def, k, what, pages, index_rows[k], p_);
        }
    }

    // TDEF free-space fields: 0 on full pages; on the last page Access
    // reserves 8 bytes beyond the definition.
    void check_tdef_free_space(const TableDef& def) {
        std::size_t remaining = def.defined_bytes;
        for (std::size_t i = 0; i < def.chain.size(); ++i) {
            std::size_t capacity = i == 0 ? kPageSize : kPageSize - kTdefPageHeader;
            std::size_t used = std::min(remaining, capacity) + (i == 0 ? 0 : kTdefPageHeader);
            remaining -= std::min(remaining, capacity);
            bool last = i + 1 == def.chain.size();
            std::size_t want =
                last ? kPageSize - kTdefPageHeader - std::min(used, kPageSize - kTdefPageHeader)
                     : 0;
            std::uint16_t have = *f_.page(def.chain[i]).u16(kTdefFreeSpace);
            if (have != want)
                p_.error(def.chain[i],
                         "TDEF free space field " + num(have) + ", definition leaves " + num(want));
        }
    }

    void check_lval_references(const std::string& who, const std::string& name,
                               const std::map<std::uint32_t, std::uint16_t>& lval_pages,
                               const std::map<std::uint32_t, int>& refs) {
        for (const auto& [page, column] : lval_pages) {
            DataPageInfo info;
            std::string error;
            if (!read_data_page(f_.page(page), info, error)) continue;
            for (std::size_t i = 0; i < info.rows.size(); ++i) {
                if (info.rows[i].deleted()) continue;
                auto it = refs.find(row_id(page, static_cast<std::uint32_t>(i)));
                int n = it == refs.end() ? 0 : it->second;
                if (n == 0)
                    p_.warning(page,
                               who + " LVAL row " + num(i) +
                                   " is used by no row (Access leaves dropped values behind)",
                               "lval orphan " + name);
                else if (n > 1)
                    p_.error(page, who + " LVAL row " + num(i) + " is used " + num(n) + " times",
                             "lval shared " + name);
            }
        }
    }

    // Resolves a map pointer, claims the page holding the map row and any
    // reference-map pages. False (with a finding) when it cannot be decoded.
    bool load_map(RowPointer ptr, const std::string& what, std::uint32_t referrer, UsageMap& map) {
        std::string error;
        auto row = data_row(f_, ptr.page, ptr.row, error);
        if (!row) {
            p_.error(referrer, what + ": " + error);
            return false;
        }
        map_holders_.insert(ptr.page);
        if (!decode_usage_map(f_, *row, map, error)) {
            p_.error(ptr.page, what + " (row " + num(ptr.row) + "): " + error);
            return false;
        }
        for (std::uint32_t mp : map.map_pages)
            claim(mp, what, referrer);
        if (!map.negative_slots.empty())
            p_.warning(ptr.page, what + ": reference map has negative page slots, read as no page");
        for (std::uint32_t p : map.pages)
            if (p >= f_.page_count()) {
                p_.error(ptr.page, what + " lists page " + num(p) + " past the end of the file");
                map.pages.erase(
                    std::remove_if(map.pages.begin(), map.pages.end(),
                                   [&](std::uint32_t q) { return q >= f_.page_count(); }),
                    map.pages.end());
                break;
            }
        return true;
    }

    // Checks a data page's row table and free-space field.
    bool check_data_page(std::uint32_t page, const std::string& what, DataPageInfo& info) {
        ByteView pg = f_.page(page);
        if (pg.size() == 0) {
            p_.error(page, what + " " + num(page) + " is past the end of the file");
            return false;
        }
        if (pg.u8(0) != kPageData) {
            p_.error(page, what + " has type " + hex_byte(*pg.u8(0)) + ", not a data page");
            return false;
        }
        std::string error;
        if (!read_data_page(pg, info, error)) {
            p_.error(page, what + ": " + error);
            return false;
        }
        if (info.free_space != info.computed_free)
            p_.error(page,
                     what + ": free space field " + num(info.free_space) + ", rows leave " +
                         num(info.computed_free),
                     "data free space");
        return true;
    }

    // Records `owner` for `page`; a second claim is an error. False when the
    // page cannot be claimed (past the end, or already owned).
    bool claim(std::uint32_t page, const std::string& owner, std::uint32_t referrer) {
        if (page >= owner_.size()) {
            p_.error(referrer, owner + " claims page " + num(page) + " past the end of the file");
            return false;
        }
        if (owner_[page] != kNoOwner) {
            p_.error(page, "page " + num(page) + " is owned twice: by " +
                               owner_names_[owner_[page]] + " and by " + owner);
            return false;
        }
        auto it = std::find(owner_names_.begin(), owner_names_.end(), owner);
        if (it == owner_names_.end()) it = owner_names_.insert(owner_names_.end(), owner);
        owner_[page] = static_cast<std::uint32_t>(it - owner_names_.begin());
        return true;
    }

    // Every page owned exactly once, and the global map agreeing.
    void check_ownership() {
        for (std::uint32_t p = 0; p < f_.page_count(); ++p) {
            ByteView pg = f_.page(p);
            bool owned = owner_[p] != kNoOwner;
            bool zero = std::all_of(pg.data(), pg.data() + pg.size(),
                                    [](std::uint8_t b) { return b == 0; });
            if (!have_global_) {
                if (!owned)
                    p_.error(p,
                             "page " + num(p) + " (type " + hex_byte(*pg.u8(0)) +
                                 ") is owned by nothing",
                             "unowned");
                continue;
            }
            if (owned && global_free_[p]) {
                p_.error(p,
                         "page " + num(p) + " belongs to " + owner_names_[owner_[p]] +
                             (covered_[p] ? " but the global map marks it free"
                                          : " but lies past the global map's coverage (free)"),
                         "owned but free");
            } else if (!owned && !global_free_[p]) {
                p_.warning(p,
                           "page " + num(p) + " (type " + hex_byte(*pg.u8(0)) +
                               ") is marked used in the global map but nothing owns it"
                               " (Access leaves such orphans after deletes)",
                           "orphan");
            } else if (!owned && !zero) {
                p_.warning(p,
                           "free page " + num(p) + " is not zero-filled (type " +
                               hex_byte(*pg.u8(0)) + "; Access leaves stale pages)",
                           "stale free");
            }
        }
    }

    const Jet4File& f_;
    ProblemList& p_;
    std::vector<std::uint32_t> owner_;
    std::vector<std::string> owner_names_;
    std::set<std::uint32_t> map_holders_;
    std::vector<bool> global_free_;
    std::vector<bool> covered_;
    std::vector<Relationship> relationships_;
    bool have_global_ = false;
    bool catalog_ok_ = false;
};

}  // namespace

VerifyReport verify_jet4_bytes(std::vector<std::uint8_t> bytes) {
    Jet4File file(std::move(bytes));
    ProblemList problems;
    Verifier(file, problems).run();
    problems.flush_suppressed();
    return VerifyReport{std::move(problems.items)};
}

VerifyReport verify_jet4(const std::filesystem::path& path) {
    std::string error;
    auto file = Jet4File::load(path, error);
    if (!file) return VerifyReport{{Problem{Severity::kError, 0, error}}};
    ProblemList problems;
    Verifier(*file, problems).run();
    problems.flush_suppressed();
    return VerifyReport{std::move(problems.items)};
}

}  // namespace tessaly::test
