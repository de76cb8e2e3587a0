#include "rebuild/schema_rebuild.h"

#include <algorithm>

#include "reader/index_def.h"
#include "reader/value_render.h"

namespace tessaly::rebuild {
namespace {

// Type codes the reader does not name but the destination has a type for.
constexpr std::int32_t kTypeReplicationId = 15;
// BINARY(n) bounds; a stored size outside them asks for the largest.
constexpr std::int32_t kMinBinarySize = 1;
constexpr std::int32_t kMaxBinarySize = 255;
// Jet 4 stores a text column's size in bytes of UTF-16.
constexpr std::int32_t kJet4BytesPerChar = 2;
// The trailing ", [" of an unfinished key constraint.
constexpr std::size_t kKeyListTailLength = 3;

std::string bracketed(std::string_view name) {
    return "[" + std::string(name) + "]";
}

}  // namespace

std::optional<std::string> column_type_text(const reader::ColumnDef& column, bool jet4) {
    switch (column.type) {
        case reader::kTypeBoolean:
            return "] BIT";
        case reader::kTypeByte:
            return "] BYTE";
        case reader::kTypeInt16:
            return "] INT";
        case reader::kTypeInt32:
            return "] LONG";
        case reader::kTypeMoney:
            return "] CURRENCY";
        case reader::kTypeSingle:
            return "] SINGLE";
        case reader::kTypeDouble:
            return "] DOUBLE";
        case reader::kTypeDateTime:
            return "] DATE";
        case reader::kTypeBinary: {
            const std::int32_t n = column.size >= kMinBinarySize && column.size <= kMaxBinarySize
                                       ? column.size
                                       : kMaxBinarySize;
            return "] BINARY(" + std::to_string(n) + ")";
        }
        case reader::kTypeText: {
            const std::int32_t n = jet4 ? column.size / kJet4BytesPerChar : column.size;
            return "] TEXT(" + std::to_string(n) + ")";
        }
        case reader::kTypeLongBinary:
            return "] OLEOBJECT";
        case reader::kTypeMemo:
            return "] MEMO";
        case kTypeReplicationId:
            return "] GUID";
        case reader::kTypeNumeric:
            return "] DOUBLE";
        default:
            return std::nullopt;
    }
}

void mark_key_columns(reader::TableDef& table, const reader::IndexDef& index) {
    if (index.type != kIndexTypePrimaryKey && index.type != kIndexTypeOrdinary) return;
    for (const std::int32_t key : index.keys) {
        auto column = std::find_if(table.columns.begin(), table.columns.end(),
                                   [&](const reader::ColumnDef& c) { return c.number == key - 1; });
        if (column == table.columns.end()) return;
        if (index.type == kIndexTypePrimaryKey) {
            column->is_primary_key = true;
            column->is_indexed = true;
            ++table.primary_key_count;
        } else {
            column->is_indexed = true;
        }
    }
}

void mark_table_keys(reader::TableDef& table, std::int64_t definition_page) {
    table.primary_key_count = 0;
    if (definition_page < kFirstKeyedDefinitionPage) return;
    if (table.index_count == 0 && table.real_index_count == 0) return;
    reader::read_indexes(table);
    const std::size_t entries =
        std::min(table.indexes.size(), static_cast<std::size_t>(std::max(table.index_count, 0)));
    for (std::size_t i = 0; i < entries; ++i)
        mark_key_columns(table, table.indexes[i]);
    table.indexes.clear();
}

std::vector<std::string> schema_statements(std::string_view table_name,
                                           const reader::TableDef& table, bool jet4) {
    const std::string t = bracketed(table_name);
    const bool composite_key = table.primary_key_count >= 2;
    std::vector<std::string> out;
    std::string key_statement;
    bool table_created = false;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const reader::ColumnDef& column = table.columns[i];
        if (column.is_primary_key && column.is_indexed && composite_key) {
            if (key_statement.empty()) {
                key_statement = "ALTER TABLE " + t + " ADD Constraint [PK_" +
                                std::string(table_name) + "] PRIMARY KEY ([";
            }
            key_statement += column.name + "], [";
        }
        const std::optional<std::string> type_text = column_type_text(column, jet4);
        if (!type_text) continue;
        if (!table_created) {
            out.push_back("CREATE TABLE " + t + "([" + column.name + *type_text + ");");
            table_created = true;
        } else {
            out.push_back("ALTER TABLE " + t + " ADD [" + column.name + *type_text + ";");
        }
        if (column.is_primary_key && column.is_indexed && table.primary_key_count == 1)
            out.push_back("ALTER TABLE " + t + " ADD PRIMARY KEY (" + bracketed(column.name) +
                          ");");
        if (!column.is_primary_key && column.is_indexed)
            out.push_back("CREATE INDEX MyIndex" + std::to_string(i) + " ON " + t + "(" +
                          bracketed(column.name) + ")");
    }
    if (composite_key && !key_statement.empty()) {
        key_statement.resize(key_statement.size() - kKeyListTailLength);
        key_statement += ");";
        out.push_back(std::move(key_statement));
    }
    return out;
}

void rebuild_schema(DestDatabase* database, std::string_view table_name,
                    const reader::TableDef& table, bool jet4) {
    if (!database) return;
    for (const std::string& statement : schema_statements(table_name, table, jet4)) {
        try {
            database->execute(statement, kFailOnError);
        } catch (const jetdb::EngineError&) {
            // A refused statement costs only what it would have made.
        }
    }
}

}  // namespace tessaly::rebuild
