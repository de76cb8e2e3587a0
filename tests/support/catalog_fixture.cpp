#include "support/catalog_fixture.h"

namespace tessaly::test {
namespace {

constexpr std::uint8_t kTypeInt16 = 3, kTypeLong = 4, kTypeDate = 8, kTypeText = 10;

TableSpec catalog_spec() {
    TableSpec spec;
    spec.columns = {
        fixed_column("Id", kTypeLong, 4, 0, 0),
        fixed_column("ParentId", kTypeLong, 4, 1, 4),
        fixed_column("Type", kTypeInt16, 2, 2, 8),
        fixed_column("DateCreate", kTypeDate, 8, 3, 10),
        fixed_column("DateUpdate", kTypeDate, 8, 4, 18),
        fixed_column("Flags", kTypeLong, 4, 5, 26),
        variable_column("Name", kTypeText, 128, 6, 0),
    };
    return spec;
}

TableSpec user_table_spec() {
    TableSpec spec;
    spec.columns = {fixed_column("Id", kTypeLong, 4, 0, 0),
                    variable_column("Label", kTypeText, 100, 1, 0)};
    return spec;
}

}  // namespace

int add_user_table(JetFileBuilder& builder, int rows) {
    TableSpec spec = user_table_spec();
    spec.row_count = static_cast<std::uint32_t>(rows);
    std::vector<std::vector<CellValue>> values;
    for (int i = 1; i <= rows; ++i)
        values.push_back({i32_value(i), text_value("row " + std::to_string(i), builder.jet4())});
    return builder.add_table(spec, values);
}

std::vector<std::uint8_t> catalog_row(const JetFileBuilder& builder,
                                      const CatalogObjectSpec& object) {
    return builder.make_row(
        catalog_spec(),
        {i32_value(object.id), null_value(), i16_value(static_cast<std::int16_t>(object.type)),
         null_value(), null_value(), null_value(),
         object.raw_name ? bytes_value(*object.raw_name)
                         : text_value(object.name, builder.jet4())});
}

int add_system_catalog(JetFileBuilder& builder, const std::vector<CatalogObjectSpec>& objects) {
    TableSpec spec = catalog_spec();
    spec.row_count = static_cast<std::uint32_t>(objects.size());
    const int data = builder.add_data_page(2);
    for (const CatalogObjectSpec& o : objects)
        builder.add_row(data, catalog_row(builder, o));
    builder.add_table_def(spec, {data}, 2);
    return data;
}

void garble_page(JetFileBuilder& builder, int page, std::uint8_t first_byte, std::uint32_t seed) {
    std::uint32_t x = seed ? seed : 1;
    for (auto& byte : builder.page(page)) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<std::uint8_t>(x);
    }
    builder.page(page)[0] = first_byte;
}

}  // namespace tessaly::test
