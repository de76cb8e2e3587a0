// Feeds arbitrary bytes to the destination engine's text entry points: stored
// text decoding, DDL parsing, name checks and field conversion for every type.
// Every failure must be an EngineError; decoded text must survive re-encoding.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "jetdb/ddl.h"
#include "jetdb/engine_error.h"
#include "jetdb/text_codec.h"
#include "jetdb/value_convert.h"

using namespace tessaly::jetdb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::u16string decoded = decode_jet4_text(bytes);
    if (decoded.size() > size) std::abort();
    if (decoded.empty() || decoded.front() != u'\uFEFF') {
        const auto stored = encode_jet4_text(decoded, true);
        if (decode_jet4_text(stored) != decoded) std::abort();
    }
    (void)utf16_to_utf8(decoded);

    try {
        (void)parse_ddl(text);
    } catch (const EngineError&) {
    }
    try {
        check_object_name(text);
    } catch (const EngineError&) {
    }
    (void)fold_name(text);

    using T = ColumnType;
    for (T type : {T::Boolean, T::Byte, T::Int, T::Long, T::Currency, T::Single, T::Double,
                   T::DateTime, T::Binary, T::Text, T::Ole, T::Memo, T::Guid, T::Numeric}) {
        ColumnSpec column;
        column.name = "F";
        column.type = type;
        column.size = 20;
        column.precision = 28;
        column.scale = 4;
        try {
            const FieldValue v = convert_field_text(column, text);
            if (!v.is_null && is_fixed_type(type) && type != T::Boolean &&
                v.bytes.size() != fixed_width(type))
                std::abort();
        } catch (const EngineError&) {
        }
    }
    return 0;
}
