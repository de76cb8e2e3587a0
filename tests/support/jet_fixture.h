// A tiny, consistent Jet 4 database built byte by byte, for tests that
// corrupt a known-good file (no corpus needed).
//
// Layout (page: content):
//   0 header            1 global map          2 MSysObjects TDEF
//   3 usage-map rows    4 MSysObjects rows    5 TDEF of table "T"
//   6 rows of "T"       7 index node (root)   8, 9 index leaves
//   10 LVAL page of T.Notes
// Table "T": ID (LONG autonumber, primary key), Name (TEXT(50)), Notes (MEMO);
// rows (1,"a",null), (2,"bb",memo on page 10), (3,null,inline memo).
#pragma once

#include <cstdint>
#include <vector>

namespace tessaly::test::fixture {

inline constexpr std::uint32_t kTinyMapPage = 3;
inline constexpr std::uint32_t kTinyCatalogData = 4;
inline constexpr std::uint32_t kTinyTableTdef = 5;
inline constexpr std::uint32_t kTinyTableData = 6;
inline constexpr std::uint32_t kTinyIndexRoot = 7;
inline constexpr std::uint32_t kTinyIndexLeaf1 = 8;
inline constexpr std::uint32_t kTinyIndexLeaf2 = 9;
inline constexpr std::uint32_t kTinyLval = 10;
inline constexpr std::uint32_t kTinyPageCount = 11;

// Map rows on kTinyMapPage, by row number.
inline constexpr std::uint8_t kTinyMapCatalogOwned = 0;
inline constexpr std::uint8_t kTinyMapTableOwned = 2;
inline constexpr std::uint8_t kTinyMapIndex = 4;

// The whole file image.
std::vector<std::uint8_t> tiny_jet4();

// Byte offset, inside the file image, of row `row` on data page `page`
// (reads the row table of `image`).
std::size_t row_offset(const std::vector<std::uint8_t>& image, std::uint32_t page,
                       std::uint32_t row);

}  // namespace tessaly::test::fixture
