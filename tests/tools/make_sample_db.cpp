// make_sample_db: writes a small Jet 4 sample database with our own writer,
// for demonstrations: Customers (10 rows), Products (8 rows) and Orders (25
// rows, with notes), then marks the first Orders row of its first data page
// deleted the way Access does.
//   make_sample_db DESTINATION
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "jetdb/database.h"
#include "reader/catalog_list.h"
#include "reader/jet_file.h"

namespace {

constexpr int kFailOnError = 128;
constexpr int kDefaultRecordset = -1;
// Data page: owner u32 at 4; u16 row count at 12 and offsets after it (Jet 4).
constexpr std::size_t kPageSize = 4096, kOwnerOffset = 4, kFirstRowEntry = 14;
constexpr std::uint8_t kDataPage = 0x01;
// Access marks a deleted row by setting both top bits of its offset entry.
constexpr std::uint16_t kDeletedFlags = 0xC000;

// Keys and indexes are added when the writer can store them.
void try_execute(tessaly::jetdb::Database& db, const std::string& statement) {
    try {
        db.execute(statement, kFailOnError);
    } catch (const tessaly::jetdb::EngineError&) {
    }
}

void fill(tessaly::jetdb::Database& db, const std::string& table,
          const std::vector<std::vector<std::pair<std::string, std::string>>>& rows) {
    tessaly::jetdb::Recordset rs(db);
    rs.open(kDefaultRecordset, "SELECT * FROM [" + table + "]", 0);
    for (const auto& row : rows) {
        rs.add_new();
        for (const auto& [field, text] : row)
            rs.set_field_value(field, text);
        rs.update();
    }
    rs.close();
}

// Marks row 0 of the first data page owned by `table`'s definition deleted.
bool delete_first_row(const std::filesystem::path& path, const std::string& table) {
    tessaly::recovery::RecoveryState state;
    auto file = tessaly::reader::jet_open(path, state);
    std::vector<tessaly::reader::CatalogObject> objects;
    if (!file || !tessaly::reader::list_catalog(file, state, objects)) return false;
    std::int64_t definition = 0;
    for (const auto& o : objects)
        if (o.name == table) definition = o.definition_page;
    file.reset();
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(f)), {});
    for (std::size_t at = 0; definition && at + kPageSize <= image.size(); at += kPageSize) {
        const std::uint8_t* p = image.data() + at;
        const std::uint32_t owner = p[kOwnerOffset] | (p[kOwnerOffset + 1] << 8) |
                                    (p[kOwnerOffset + 2] << 16) |
                                    (static_cast<std::uint32_t>(p[kOwnerOffset + 3]) << 24);
        if (p[0] != kDataPage || owner != definition) continue;
        f.clear();
        f.seekp(static_cast<std::streamoff>(at + kFirstRowEntry + 1));
        const char high = static_cast<char>(p[kFirstRowEntry + 1] | (kDeletedFlags >> 8));
        f.write(&high, 1);
        return static_cast<bool>(f);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_sample_db DESTINATION\n";
        return 2;
    }
    const std::filesystem::path path = argv[1];
    try {
        std::filesystem::remove(path);
        tessaly::jetdb::Database db;
        db.create(path, ";LANGID=0x0409;CP=1252;COUNTRY=0", 0);
        db.execute("CREATE TABLE [Customers]([Id] LONG, [Name] TEXT(50), [City] TEXT(40));",
                   kFailOnError);
        try_execute(db, "ALTER TABLE [Customers] ADD PRIMARY KEY ([Id]);");
        db.execute("CREATE TABLE [Products]([Id] LONG, [Name] TEXT(50), [Price] CURRENCY);",
                   kFailOnError);
        try_execute(db, "ALTER TABLE [Products] ADD PRIMARY KEY ([Id]);");
        db.execute(
            "CREATE TABLE [Orders]([Id] LONG, [Customer] LONG, [Product] LONG, [Quantity] "
            "SHORT, [Ordered] DATETIME, [Notes] MEMO);",
            kFailOnError);
        try_execute(db, "ALTER TABLE [Orders] ADD PRIMARY KEY ([Id]);");
        try_execute(db, "CREATE INDEX [ByCustomer] ON [Orders]([Customer]);");

        const char* cities[] = {"Lisbon", "Oslo", "Quito", "Perth", "Tunis"};
        std::vector<std::vector<std::pair<std::string, std::string>>> rows;
        for (int i = 1; i <= 10; ++i)
            rows.push_back({{"Id", std::to_string(i)},
                            {"Name", "Customer " + std::to_string(i)},
                            {"City", cities[i % 5]}});
        fill(db, "Customers", rows);
        rows.clear();
        for (int i = 1; i <= 8; ++i)
            rows.push_back({{"Id", std::to_string(i)},
                            {"Name", "Product " + std::to_string(i)},
                            {"Price", std::to_string(i * 3) + ".25"}});
        fill(db, "Products", rows);
        rows.clear();
        for (int i = 1; i <= 25; ++i)
            rows.push_back({{"Id", std::to_string(i)},
                            {"Customer", std::to_string(1 + i % 10)},
                            {"Product", std::to_string(1 + i % 8)},
                            {"Quantity", std::to_string(i)},
                            {"Ordered", "2024-03-" + std::to_string(1 + i % 28)},
                            {"Notes", "Order " + std::to_string(i) + ": " +
                                          std::string(static_cast<std::size_t>(i * 40), '~')}});
        fill(db, "Orders", rows);
        db.close();
    } catch (const tessaly::jetdb::EngineError& e) {
        std::cerr << "make_sample_db: " << e.what() << "\n";
        return 1;
    }
    if (!delete_first_row(path, "Orders")) {
        std::cerr << "make_sample_db: could not mark a row deleted\n";
        return 1;
    }
    return 0;
}
