// The engine's own tables and the catalog of a new database.
#pragma once

#include <cstdint>

#include "jetdb/table_definition.h"

namespace tessaly::jetdb {

// Catalog (MSysObjects) ids of the containers and the database object.
inline constexpr std::uint32_t kCatalogRootId = 0x0F000000;
inline constexpr std::uint32_t kTablesContainerId = 0x0F000001;
inline constexpr std::uint32_t kDatabasesContainerId = 0x0F000002;
inline constexpr std::uint32_t kRelationshipsContainerId = 0x0F000003;
inline constexpr std::uint32_t kDatabaseObjectId = 0x10000000;
// First id of the series handed to saved queries and relationships.
inline constexpr std::uint32_t kFirstDocumentId = 0x80000000;

// MSysObjects.Type values.
inline constexpr std::int16_t kObjectTypeTable = 1;
inline constexpr std::int16_t kObjectTypeDatabase = 2;
inline constexpr std::int16_t kObjectTypeContainer = 3;
inline constexpr std::int16_t kObjectTypeQuery = 5;
inline constexpr std::int16_t kObjectTypeRelationship = 8;
// MSysObjects.Flags of the engine's own objects.
inline constexpr std::uint32_t kObjectFlagsSystem = 0x80000000;

// Column positions of MSysObjects (also its column numbers).
namespace msys_objects {
enum : std::size_t {
    Id,
    ParentId,
    Name,
    Type,
    DateCreate,
    DateUpdate,
    Owner,
    Flags,
    Database,
    Connect,
    ForeignName,
    RmtInfoShort,
    RmtInfoLong,
    Lv,
    LvProp,
    LvModule,
    LvExtra,
};
}
namespace msys_aces {
enum : std::size_t { ObjectId, SID, ACM, FInheritable };
}
namespace msys_queries {
enum : std::size_t { ObjectId, Attribute, Order, Name1, Name2, Expression, Flag, LvExtra };
}
namespace msys_relationships {
enum : std::size_t {
    szRelationship,
    grbit,
    ccolumn,
    icolumn,
    szObject,
    szColumn,
    szReferencedObject,
    szReferencedColumn,
};
}

// The system tables in the order of their TDEF pages (2, 3, 4, 5).
enum class SystemTable { Objects, Aces, Queries, Relationships };
inline constexpr SystemTable kSystemTables[] = {SystemTable::Objects, SystemTable::Aces,
                                                SystemTable::Queries, SystemTable::Relationships};

// The definition of one system table: columns, real and logical indexes.
TableDefinition make_system_table(SystemTable table);
const char16_t* system_table_name(SystemTable table);

}  // namespace tessaly::jetdb
