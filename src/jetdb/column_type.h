// Column type codes as stored in a Jet 4 column descriptor, and the shape of a
// destination column.
#pragma once

#include <cstdint>
#include <string>

namespace tessaly::jetdb {

enum class ColumnType : std::uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Int = 0x03,       // 16-bit signed
    Long = 0x04,      // 32-bit signed
    Currency = 0x05,  // int64 scaled by 10,000
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,  // OLE automation date (days since 1899-12-30)
    Binary = 0x09,    // up to 255 bytes
    Text = 0x0A,      // up to 255 characters, stored as UTF-16LE or compressed
    Ole = 0x0B,       // long binary
    Memo = 0x0C,      // long text
    Guid = 0x0F,
    Numeric = 0x10,  // 17 bytes: sign + 128-bit magnitude
};

// What a column is, as the DDL declared it.
struct ColumnSpec {
    std::string name;  // UTF-8
    ColumnType type = ColumnType::Text;
    std::uint16_t size =
        0;  // bytes on disk: Text = 2 x characters, Binary = bytes; fixed types their width
    std::uint8_t precision = 0;  // Numeric only
    std::uint8_t scale = 0;      // Numeric only
    bool autonumber = false;     // COUNTER (Long) columns
};

// True for the types whose value lives in the row's fixed area.
inline bool is_fixed_type(ColumnType t) {
    switch (t) {
        case ColumnType::Text:
        case ColumnType::Binary:
        case ColumnType::Memo:
        case ColumnType::Ole:
            return false;
        default:
            return true;
    }
}

// True for memo and OLE columns, whose values go to long-value pages.
inline bool is_long_value_type(ColumnType t) {
    return t == ColumnType::Memo || t == ColumnType::Ole;
}

// Width in the fixed area (0 for booleans, which live in the null mask).
inline std::uint16_t fixed_width(ColumnType t) {
    switch (t) {
        case ColumnType::Boolean:
            return 0;
        case ColumnType::Byte:
            return 1;
        case ColumnType::Int:
            return 2;
        case ColumnType::Long:
            return 4;
        case ColumnType::Currency:
            return 8;
        case ColumnType::Single:
            return 4;
        case ColumnType::Double:
            return 8;
        case ColumnType::DateTime:
            return 8;
        case ColumnType::Guid:
            return 16;
        case ColumnType::Numeric:
            return 17;
        default:
            return 0;
    }
}

}  // namespace tessaly::jetdb
