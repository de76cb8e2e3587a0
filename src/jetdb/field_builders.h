// Building typed field values directly (for the engine's own rows).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/le.h"
#include "jetdb/field_value.h"

namespace tessaly::jetdb {

inline FieldValue field_null() {
    return {};
}

inline FieldValue field_bool(bool v) {
    FieldValue f;
    f.is_null = false;
    f.bytes = {static_cast<std::uint8_t>(v ? 1 : 0)};
    return f;
}

inline FieldValue field_byte(std::uint8_t v) {
    FieldValue f;
    f.is_null = false;
    f.bytes = {v};
    return f;
}

inline FieldValue field_int16(std::int16_t v) {
    FieldValue f;
    f.is_null = false;
    f.bytes.resize(2);
    put_u16(f.bytes, 0, static_cast<std::uint16_t>(v));
    return f;
}

inline FieldValue field_int32(std::int32_t v) {
    FieldValue f;
    f.is_null = false;
    f.bytes.resize(4);
    put_u32(f.bytes, 0, static_cast<std::uint32_t>(v));
    return f;
}

inline FieldValue field_uint32(std::uint32_t v) {
    return field_int32(static_cast<std::int32_t>(v));
}

inline FieldValue field_double(double v) {
    FieldValue f;
    f.is_null = false;
    f.bytes.resize(8);
    put_f64(f.bytes, 0, v);
    return f;
}

inline FieldValue field_text(std::u16string text) {
    FieldValue f;
    f.is_null = false;
    f.text = std::move(text);
    return f;
}

inline FieldValue field_binary(std::span<const std::uint8_t> bytes) {
    FieldValue f;
    f.is_null = false;
    f.bytes.assign(bytes.begin(), bytes.end());
    return f;
}

}  // namespace tessaly::jetdb
