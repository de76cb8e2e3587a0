#include "jetdb/system_tables.h"

#include <string>

namespace tessaly::jetdb {

using namespace layout;

namespace {

// Text and binary columns of the system tables hold up to 255 characters/510 bytes.
constexpr std::uint16_t kSystemTextBytes = 510;

struct ColumnDecl {
    const char16_t* name;
    ColumnType type;
    bool sid = false;
};

struct IndexDecl {
    const char16_t* name;
    std::initializer_list<std::uint16_t> columns;
    std::uint8_t flags;
    std::uint8_t kind;
};

std::u16string to_u16(const char16_t* s) {
    return std::u16string(s);
}

std::string ascii_of(const char16_t* s) {
    std::string out;
    for (; *s; ++s)
        out.push_back(static_cast<char>(*s));
    return out;
}

TableDefinition build(SystemTable which, std::initializer_list<ColumnDecl> columns,
                      std::initializer_list<IndexDecl> indexes) {
    TableDefinition def(to_u16(system_table_name(which)), true);
    for (const auto& c : columns) {
        ColumnSpec spec;
        spec.name = ascii_of(c.name);
        spec.type = c.type;
        if (c.type == ColumnType::Text || c.type == ColumnType::Binary)
            spec.size = kSystemTextBytes;
        std::uint8_t flags = kColumnFlagSystem;
        if (c.sid) flags |= kColumnFlagSystemSid;
        def.add_column(spec, to_u16(c.name), flags);
    }
    std::uint32_t number = 0;
    for (const auto& i : indexes) {
        RealIndex ri;
        for (std::uint16_t col : i.columns)
            ri.columns.push_back({col, true});
        ri.flags = i.flags;
        def.real_indexes().push_back(ri);
        LogicalIndex li;
        li.name = to_u16(i.name);
        li.number = number;
        li.real_index = number;
        li.kind = i.kind;
        def.logical_indexes().push_back(li);
        ++number;
    }
    return def;
}

constexpr std::uint8_t kUniqueIndex = kIndexFlagAlways | kIndexFlagUnique;
constexpr std::uint8_t kRequiredIndex = kIndexFlagAlways | kIndexFlagRequired;
constexpr std::uint8_t kSparseIndex = kIndexFlagAlways | kIndexFlagIgnoreNulls;

}  // namespace

const char16_t* system_table_name(SystemTable table) {
    switch (table) {
        case SystemTable::Objects:
            return u"MSysObjects";
        case SystemTable::Aces:
            return u"MSysACEs";
        case SystemTable::Queries:
            return u"MSysQueries";
        case SystemTable::Relationships:
            return u"MSysRelationships";
    }
    return u"";
}

TableDefinition make_system_table(SystemTable table) {
    using T = ColumnType;
    switch (table) {
        case SystemTable::Objects: {
            namespace o = msys_objects;
            return build(
                table,
                {{u"Id", T::Long},
                 {u"ParentId", T::Long},
                 {u"Name", T::Text},
                 {u"Type", T::Int},
                 {u"DateCreate", T::DateTime},
                 {u"DateUpdate", T::DateTime},
                 {u"Owner", T::Binary, true},
                 {u"Flags", T::Long},
                 {u"Database", T::Memo},
                 {u"Connect", T::Memo},
                 {u"ForeignName", T::Text},
                 {u"RmtInfoShort", T::Binary},
                 {u"RmtInfoLong", T::Ole},
                 {u"Lv", T::Ole},
                 {u"LvProp", T::Ole},
                 {u"LvModule", T::Ole},
                 {u"LvExtra", T::Ole}},
                {{u"ParentIdName", {o::ParentId, o::Name}, kUniqueIndex, kLogicalIndexKindPlain},
                 {u"Id", {o::Id}, kUniqueIndex, kLogicalIndexKindPrimary}});
        }
        case SystemTable::Aces:
            return build(
                table,
                {{u"ObjectId", T::Long},
                 {u"SID", T::Binary, true},
                 {u"ACM", T::Long},
                 {u"FInheritable", T::Boolean}},
                {{u"ObjectId", {msys_aces::ObjectId}, kRequiredIndex, kLogicalIndexKindPlain}});
        case SystemTable::Queries: {
            namespace q = msys_queries;
            return build(table,
                         {{u"ObjectId", T::Long},
                          {u"Attribute", T::Byte},
                          {u"Order", T::Binary},
                          {u"Name1", T::Text},
                          {u"Name2", T::Text},
                          {u"Expression", T::Memo},
                          {u"Flag", T::Int},
                          {u"LvExtra", T::Long}},
                         {{u"ObjectIdAttribute",
                           {q::ObjectId, q::Attribute, q::Order},
                           kUniqueIndex,
                           kLogicalIndexKindPrimary}});
        }
        case SystemTable::Relationships: {
            namespace r = msys_relationships;
            return build(
                table,
                {{u"szRelationship", T::Text},
                 {u"grbit", T::Long},
                 {u"ccolumn", T::Long},
                 {u"icolumn", T::Long},
                 {u"szObject", T::Text},
                 {u"szColumn", T::Text},
                 {u"szReferencedObject", T::Text},
                 {u"szReferencedColumn", T::Text}},
                {{u"szRelationship", {r::szRelationship}, kSparseIndex, kLogicalIndexKindPlain},
                 {u"szObject", {r::szObject}, kSparseIndex, kLogicalIndexKindPlain},
                 {u"szReferencedObject",
                  {r::szReferencedObject},
                  kSparseIndex,
                  kLogicalIndexKindPlain}});
        }
    }
    return TableDefinition(u"", true);
}

}  // namespace tessaly::jetdb
