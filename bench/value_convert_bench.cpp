// Converts 1,000,000 rows of field texts as the record copy hands them over
// (long, double, currency, date, 30-character text, boolean) and prints rows/s.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "jetdb/value_convert.h"

using namespace tessaly::jetdb;

int main() {
    constexpr int kRows = 1000000;
    auto make = [](const char* name, ColumnType type, std::uint16_t size = 0) {
        ColumnSpec c;
        c.name = name;
        c.type = type;
        c.size = size;
        return c;
    };
    const std::vector<ColumnSpec> columns = {
        make("Id", ColumnType::Long),        make("Amount", ColumnType::Double),
        make("Price", ColumnType::Currency), make("When", ColumnType::DateTime),
        make("Name", ColumnType::Text, 60),  make("Flag", ColumnType::Boolean),
    };
    std::vector<std::string> texts(columns.size());
    const std::string name(30, 'n');

    std::size_t checksum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int row = 0; row < kRows; ++row) {
        texts[0] = std::to_string(row);
        texts[1] = std::to_string(row) + ".333333333333";
        texts[2] = std::to_string(row % 100000) + ".2500";
        texts[3] = row % 2 ? "01/01/2000 06:00:00 PM" : "01/01/2000 ";
        texts[4] = name;
        texts[5] = row % 2 ? "1" : "0";
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const FieldValue v = convert_field_text(columns[c], texts[c]);
            checksum += v.bytes.size() + v.text.size();
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("value conversion: %d rows x %zu fields in %.3f s = %.0f rows/s (checksum %zu)\n",
                kRows, columns.size(), seconds, kRows / seconds, checksum);
    return 0;
}
