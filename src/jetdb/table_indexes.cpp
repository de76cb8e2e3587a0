#include "jetdb/table_indexes.h"

#include <cstdio>
#include <string_view>

#include "jetdb/engine_error.h"
#include "jetdb/index_key.h"
#include "jetdb/row_format.h"
#include "jetdb/text_codec.h"

namespace tessaly::jetdb {

using namespace layout;

namespace {

const char* const kDuplicateMessage =
    "The changes you requested to the table were not successful because they would create "
    "duplicate values in the index, primary key, or relationship.";
const char* const kNullMessage = "Index or primary key cannot contain a Null value.";

int position_of(const TableDefinition& def, std::uint16_t number) {
    const auto& columns = def.columns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].number == number) return static_cast<int>(i);
    return -1;
}

// The key of one row for one real index; `any_null`/`all_null` describe its columns.
std::vector<std::uint8_t> key_of(const TableDefinition& def, const RealIndex& index,
                                 const std::vector<FieldValue>& values, bool& any_null,
                                 bool& all_null) {
    std::vector<std::uint8_t> key;
    any_null = false;
    all_null = true;
    for (const IndexColumn& ic : index.columns) {
        const int pos = position_of(def, ic.column);
        if (pos < 0) throw EngineError("Internal error: index on a missing column");
        const Column& c = def.columns()[static_cast<std::size_t>(pos)];
        const FieldValue& v = values[static_cast<std::size_t>(pos)];
        const bool is_null = v.is_null && c.spec.type != ColumnType::Boolean;
        any_null = any_null || is_null;
        all_null = all_null && is_null;
        append_index_key(key, c.spec, v, ic.ascending);
    }
    return key;
}

// The name the engine gives an index created without one.
std::string generated_index_name(std::uint64_t seed) {
    // A mix of the seed spread over the three groups of the engine's pattern.
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ull;
    x ^= x >> 29;
    char name[32];
    std::snprintf(name, sizeof name, "Index_%08X_%04X_%04X", static_cast<unsigned>(x >> 32),
                  static_cast<unsigned>((x >> 16) & 0xFFFF), static_cast<unsigned>(x & 0xFFFF));
    return name;
}

}  // namespace

std::vector<RowKey> prepare_row_keys(TableStore& table, const std::vector<FieldValue>& values) {
    const TableDefinition& def = table.definition();
    const auto& real = def.real_indexes();
    auto& states = table.indexes();
    states.resize(real.size());
    std::vector<RowKey> keys(real.size());
    for (std::size_t k = 0; k < real.size(); ++k) {
        bool any_null = false, all_null = false;
        auto key = key_of(def, real[k], values, any_null, all_null);
        if ((real[k].flags & kIndexFlagRequired) && any_null) throw EngineError(kNullMessage);
        if ((real[k].flags & kIndexFlagIgnoreNulls) && all_null) continue;
        if ((real[k].flags & kIndexFlagUnique) && !any_null &&
            states[k].unique_keys.contains(key, states[k].entries))
            throw EngineError(kDuplicateMessage);
        keys[k] = std::move(key);
    }
    return keys;
}

void add_row_keys(TableStore& table, std::vector<RowKey>&& keys, std::uint32_t row_pointer) {
    const auto& real = table.definition().real_indexes();
    auto& states = table.indexes();
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (!keys[k]) continue;
        IndexState& state = states[k];
        state.entries.add(*keys[k], row_pointer >> 8,
                          static_cast<std::uint8_t>(row_pointer & 0xFF));
        if (real[k].flags & kIndexFlagUnique)
            state.unique_keys.insert(static_cast<std::uint32_t>(state.entries.size() - 1),
                                     state.entries);
    }
}

IndexState index_stored_rows(const TableStore& table, PageFile& file, const RealIndex& real,
                             std::uint64_t& bytes) {
    const TableDefinition& def = table.definition();
    IndexState state;
    std::vector<FieldValue> values;
    table.for_each_row(file, [&](std::span<const std::uint8_t> row, std::uint32_t pointer) {
        decode_row(def, row, values);
        bool any_null = false, all_null = false;
        auto key = key_of(def, real, values, any_null, all_null);
        if ((real.flags & kIndexFlagRequired) && any_null) throw EngineError(kNullMessage);
        if ((real.flags & kIndexFlagIgnoreNulls) && all_null) return;
        bytes += key.size() + kIndexEntryPointerSize;
        const bool check = (real.flags & kIndexFlagUnique) && !any_null;
        if (check && state.unique_keys.contains(key, state.entries))
            throw EngineError(kDuplicateMessage);
        state.entries.add(key, pointer >> 8, static_cast<std::uint8_t>(pointer & 0xFF));
        if (check)
            state.unique_keys.insert(static_cast<std::uint32_t>(state.entries.size() - 1),
                                     state.entries);
    });
    return state;
}

bool unique_index_has(const TableStore& table, std::size_t real_index,
                      const std::vector<std::uint8_t>& key) {
    const auto& states = table.indexes();
    return real_index < states.size() &&
           states[real_index].unique_keys.contains(key, states[real_index].entries);
}

std::uint64_t create_index(TableStore& table, PageFile& file, const CreateIndexStmt& s,
                           std::uint64_t name_seed) {
    TableDefinition& def = table.definition();
    // Columns.
    RealIndex real;
    real.flags = kIndexFlagAlways;
    if (s.unique || s.primary) real.flags |= kIndexFlagUnique;
    if (s.disallow_null || s.primary) real.flags |= kIndexFlagRequired;
    if (s.ignore_null) real.flags |= kIndexFlagIgnoreNulls;
    for (const IndexColumnRef& ref : s.columns) {
        const int pos = def.find_column(ref.name);
        if (pos < 0) throw EngineError("Field '" + ref.name + "' not found in table.");
        const Column& c = def.columns()[static_cast<std::size_t>(pos)];
        if (c.is_long_value())
            throw EngineError("Cannot create an index on the memo or OLE field '" + ref.name +
                              "'.");
        real.columns.push_back({c.number, ref.ascending});
    }
    if (real.columns.empty() || real.columns.size() > kRealIndexColumnSlots)
        throw EngineError("Invalid number of fields in an index.");
    // Name, uniqueness of the name and of the primary key, index count.
    std::string name = s.name;
    if (name.empty()) name = generated_index_name(name_seed);
    check_object_name(name);
    for (const LogicalIndex& li : def.logical_indexes()) {
        if (fold_name(utf16_to_utf8(li.name)) == fold_name(name))
            throw EngineError("Index '" + name + "' already exists.");
        if (s.primary && li.kind == kLogicalIndexKindPrimary)
            throw EngineError("Table already has a primary key.");
    }
    if (def.logical_indexes().size() >= kMaxTableIndexes)
        throw EngineError("Cannot create more indexes on this table.");

    // Entries for the rows already stored, checked like new rows.
    std::uint64_t bytes = 0;
    IndexState state = index_stored_rows(table, file, real, bytes);

    LogicalIndex logical;
    logical.name = utf8_to_utf16(name);
    logical.number = static_cast<std::uint32_t>(def.logical_indexes().size());
    logical.real_index = static_cast<std::uint32_t>(def.real_indexes().size());
    logical.kind = s.primary ? kLogicalIndexKindPrimary : kLogicalIndexKindPlain;
    def.real_indexes().push_back(real);
    def.logical_indexes().push_back(logical);
    table.indexes().resize(def.real_indexes().size());
    table.indexes().back() = std::move(state);
    return bytes;
}

}  // namespace tessaly::jetdb
