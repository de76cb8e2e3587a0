// Layout facts shared by both Jet versions, and the reader's safety bounds.
//
// Page 0 (header):
//   0x14  u32  version: 0 = Jet 3, 1 = Jet 4 (other values: decided by signature)
//   0x18  ...  masked region (XOR with an RC4 keystream, key kHeaderMaskKey)
//   0x3C  u16  database code page (inside the masked region)
// Definition page (any version):
//   0     u8   page type 0x02
//   4     u32  next definition page of the same definition (0 = none)
//   8     ...  definition bytes go on here on a continuation page
//   8     u32  Jet 4 only: definition length over all its pages (not 0 on a sound page)
// Data page:
//   0,1   u8   0x01 0x01
//   4     4    owner definition page, or "LVAL" on a long-value page
//   row count and row offset entries at JetFormat::data_row_count_offset
//   entry: low 13 bits = row start, 0x4000 = not a row of its own, 0x8000 = deleted
// Usage map row (byte 0 = type):
//   type 0: u32 first page at 1, bitmap from 5 (bit i => first page + i)
//   type 1: u32 map page numbers from 1; each map page has its bitmap from 4 and
//           covers page_size * 8 - 32 pages
// Long value header (12 bytes in the row):
//   0 u16 length (low bits), 2 u16 flags (0x8000 inline, 0x4000 one row,
//   neither = chain), 4 u8 row, 5 u24 page; inline text from 12.
//   A chain row starts with a 4-byte link: u8 next row, u24 next page (0 = end).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessaly::reader {

// Both page buffers are always this large, whatever the version.
inline constexpr std::size_t kPageBufferSize = 4096;

// Header (page 0).
inline constexpr std::int64_t kVersionOffset = 0x14;
inline constexpr std::int32_t kVersionJet3 = 0;
inline constexpr std::int32_t kVersionJet4 = 1;
inline constexpr std::int64_t kHeaderMaskOffset = 0x18;
inline constexpr std::int64_t kCodePageOffset = 0x3C;
inline constexpr std::uint8_t kHeaderMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr int kDefaultCodePage = 1252;

// Version decided by signature when the header's version is unknown: a Jet 3
// definition page carries "VC" (0x4356) at offset 2. Probed on pages 4 and 2,
// counted in 2048-byte pages.
inline constexpr std::int64_t kJet3SignatureOffset = 2;
inline constexpr std::int32_t kJet3Signature = 0x4356;
inline constexpr std::int64_t kSignatureProbePages[2] = {4, 2};

// Definition pages.
inline constexpr std::int64_t kDefinitionNextPageOffset = 4;
inline constexpr std::int64_t kDefinitionContinueOffset = 8;
inline constexpr std::int64_t kJet4DefinitionLengthOffset = 8;
inline constexpr std::int64_t kJet4DefinitionLengthMax = 1 << 20;  // far above any real definition

// Data pages.
inline constexpr std::uint8_t kDataPageMarker = 0x01;
inline constexpr std::int64_t kPageOwnerOffset = 4;
inline constexpr std::string_view kLongValueMarker = "LVAL";
inline constexpr std::uint32_t kRowStartMask = 0x1FFF;
inline constexpr std::uint32_t kLongValueRowStartMask = 0x0FFF;
inline constexpr std::uint32_t kRowLookupFlag = 0x4000;
inline constexpr std::uint32_t kRowDeletedFlag = 0x8000;
inline constexpr std::int32_t kMaxRowNumber = 1000;
inline constexpr std::int32_t kMaxRowSize = 0x4000;

// Usage maps.
inline constexpr std::uint8_t kUsageMapInline = 0;
inline constexpr std::uint8_t kUsageMapReference = 1;
inline constexpr std::int64_t kInlineMapFirstPageOffset = 1;
inline constexpr std::int64_t kInlineMapBitmapOffset = 5;
inline constexpr std::int64_t kReferenceMapPagesOffset = 1;
inline constexpr std::int64_t kReferenceMapEntrySize = 4;
inline constexpr std::int64_t kMapPageBitmapOffset = 4;
inline constexpr std::int64_t kMapPageHeaderBits = 32;
inline constexpr std::int32_t kMaxUsageMapLength = 2048;

// Long values.
inline constexpr std::int64_t kMemoHeaderSize = 12;
inline constexpr std::int64_t kMemoLengthOffset = 0;
inline constexpr std::int64_t kMemoFlagsOffset = 2;
inline constexpr std::int64_t kMemoRowOffset = 4;
inline constexpr std::int64_t kMemoPageOffset = 5;
inline constexpr std::uint32_t kMemoInlineFlag = 0x8000;
inline constexpr std::uint32_t kMemoSingleRowFlag = 0x4000;
inline constexpr std::int64_t kChainLinkSize = 4;

// Jet 4 compressed text starts with these two bytes.
inline constexpr std::uint8_t kCompressedTextMarker[2] = {0xFF, 0xFE};

// Column descriptors.
inline constexpr std::int64_t kColumnTypeOffset = 0;
inline constexpr std::int64_t kColumnPrecisionOffset = 11;
inline constexpr std::int64_t kColumnScaleOffset = 12;
inline constexpr std::uint8_t kColumnFixedFlag = 0x01;

// Index areas.
inline constexpr int kIndexKeySlots = 10;
inline constexpr std::int64_t kIndexKeySlotSize = 3;
inline constexpr std::uint16_t kUnusedKeySlot = 0xFFFF;
inline constexpr std::uint8_t kIndexTypePrimaryKey = 1;
inline constexpr std::uint8_t kIndexTypeForeignKey = 2;

// Safety bounds against damaged counts and lengths.
inline constexpr int kMaxColumns = 256;                  // values per row, columns per table
inline constexpr int kMaxIndexes = 256;                  // index entries and real indexes per table
inline constexpr std::int32_t kMaxJet4NameLength = 512;  // longer name = damaged name area
inline constexpr std::size_t kMaxColumnNameChars = 259;
inline constexpr std::size_t kMaxIndexNameChars = 256;
inline constexpr std::size_t kDefaultMaxLongValueBytes = 64u << 20;  // 64 MiB per memo
inline constexpr std::string_view kRepairedFieldName = "RepairedField";

}  // namespace tessaly::reader
