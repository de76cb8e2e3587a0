// Codes of the saved-query table (MSysQueries): what a row's Attribute means,
// the query kinds of the kind row and the bits of the options row.
//
//   Attribute  Row                Columns used
//   0          start marker       Flag 0
//   1          query kind         Flag kind; Name1 target table; Expression DDL text
//   2          parameter          Name1 name; Flag column type code; LvExtra text size
//   3          options            Flag option bits; Name1 the n of TOP n
//   5          input table        Name1 table; Name2 alias; union parts: Expression
//   6          output column      Expression; Name1 alias; Name2 target column;
//                                 crosstab Flag: 0 value, 1 column heading, 2 row heading
//   7          join               Name1 left, Name2 right table; Expression; Flag kind
//   8, 10      WHERE, HAVING      Expression
//   9          GROUP BY           Expression; Flag 0 (crosstab: 1 pivot, 2 row heading)
//   11         ORDER BY           Expression; Name1 "D" when descending
//   255        end marker         -
#pragma once

#include <cstdint>
#include <string_view>

namespace tessaly::jetdb::query {

inline constexpr std::uint8_t kAttrStart = 0;
inline constexpr std::uint8_t kAttrKind = 1;
inline constexpr std::uint8_t kAttrParameter = 2;
inline constexpr std::uint8_t kAttrOptions = 3;
inline constexpr std::uint8_t kAttrTable = 5;
inline constexpr std::uint8_t kAttrColumn = 6;
inline constexpr std::uint8_t kAttrJoin = 7;
inline constexpr std::uint8_t kAttrWhere = 8;
inline constexpr std::uint8_t kAttrGroupBy = 9;
inline constexpr std::uint8_t kAttrHaving = 10;
inline constexpr std::uint8_t kAttrOrderBy = 11;
inline constexpr std::uint8_t kAttrEnd = 255;

// Flag of the kind row.
inline constexpr std::int16_t kKindSelect = 1;
inline constexpr std::int16_t kKindMakeTable = 2;
inline constexpr std::int16_t kKindAppend = 3;
inline constexpr std::int16_t kKindUpdate = 4;
inline constexpr std::int16_t kKindDelete = 5;
inline constexpr std::int16_t kKindCrosstab = 6;
inline constexpr std::int16_t kKindDataDefinition = 7;
inline constexpr std::int16_t kKindUnion = 9;

// Bits of the options row's Flag.
inline constexpr std::int16_t kOptionStar = 0x01;  // SELECT * (or DELETE *)
inline constexpr std::int16_t kOptionDistinct = 0x02;
inline constexpr std::int16_t kOptionOwnerAccess = 0x04;
inline constexpr std::int16_t kOptionDistinctRow = 0x08;
inline constexpr std::int16_t kOptionTop = 0x10;
inline constexpr std::int16_t kOptionPercent = 0x20;
// Union queries: bit 1 always, bit 2 for UNION (clear for UNION ALL).
inline constexpr std::int16_t kUnionBase = 0x01;
inline constexpr std::int16_t kUnionDistinct = 0x02;

// Flag of a join row.
inline constexpr std::int16_t kJoinInner = 1;
inline constexpr std::int16_t kJoinLeft = 2;
inline constexpr std::int16_t kJoinRight = 3;

// Flag of crosstab output-column and grouping rows.
inline constexpr std::int16_t kCrosstabValue = 0;
inline constexpr std::int16_t kCrosstabColumnHeading = 1;
inline constexpr std::int16_t kCrosstabRowHeading = 2;

// Flag of an append query's VALUES row (bit 15 of the 16-bit flag).
inline constexpr std::int16_t kAppendValue = -0x8000;

// Name1 of a descending ORDER BY row; Name2 of the two parts of a union.
inline constexpr std::string_view kDescending = "D";
inline constexpr std::string_view kUnionPart1 = "X7YZ_____1";
inline constexpr std::string_view kUnionPart2 = "X7YZ_____2";

}  // namespace tessaly::jetdb::query
