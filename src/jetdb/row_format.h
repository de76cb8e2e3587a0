// The byte layout of one table row.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jetdb/field_value.h"
#include "jetdb/table_definition.h"

namespace tessaly::jetdb {

// One column's part of a row, already in its stored form:
//   - fixed columns: fixed_width(type) bytes;
//   - booleans: no bytes, `present` is the value;
//   - text and binary: the stored bytes;
//   - memo and OLE: the 12-byte long-value header, plus the data when inline.
struct EncodedField {
    bool present = false;  // false = null
    std::span<const std::uint8_t> bytes;
};

// Size of the row encode_row would build. `fields` is indexed like
// def.columns().
std::size_t encoded_row_size(const TableDefinition& def, std::span<const EncodedField> fields);

// Builds the row into `out` (replacing its content).
void encode_row(const TableDefinition& def, std::span<const EncodedField> fields,
                std::vector<std::uint8_t>& out);

// Reads a row built by encode_row back into typed values, indexed like
// def.columns(). Memo and OLE columns read as null (only their long-value
// header lives in the row). Columns added after the row was written read as
// null. Throws EngineError when the row does not fit its definition.
void decode_row(const TableDefinition& def, std::span<const std::uint8_t> row,
                std::vector<FieldValue>& out);

}  // namespace tessaly::jetdb
