// On-disk layout of a Jet 4 database file (4096-byte pages), as the writer
// produces it. Every offset the writer uses is named here; the algorithms use
// these names only. Integers are little-endian unless a comment says otherwise.
//
// Page kinds (first byte of every page except page 0):
//   0x01 data page (table rows, long-value rows, usage-map rows)
//   0x02 table definition (TDEF)
//   0x03 index node page, 0x04 index leaf page
//   0x05 usage-map bitmap page (referenced from a "reference" usage map)
//
// File structure written by this library:
//   page 0            database header (partly masked, see header_page.h)
//   page 1            data page: row 0 global page map, row 1 reserved map
//   pages 2..5        TDEFs of MSysObjects, MSysACEs, MSysQueries, MSysRelationships
//   further pages     in allocation order: TDEFs of user tables, data pages,
//                     long-value pages, index pages, map pages, bitmap pages
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaly::jetdb::layout {

// ---------------------------------------------------------------- file
inline constexpr std::size_t kPageSize = 4096;
// Jet 4 files may not reach 2 GiB.
inline constexpr std::uint64_t kMaxFileBytes = 2ull * 1024 * 1024 * 1024;

inline constexpr std::uint8_t kPageTypeData = 0x01;
inline constexpr std::uint8_t kPageTypeTdef = 0x02;
inline constexpr std::uint8_t kPageTypeIndexNode = 0x03;
inline constexpr std::uint8_t kPageTypeIndexLeaf = 0x04;
inline constexpr std::uint8_t kPageTypeUsageBitmap = 0x05;
// Second byte of every page written by Jet 4.
inline constexpr std::uint8_t kPageMarker = 0x01;

inline constexpr std::uint32_t kHeaderPage = 0;
inline constexpr std::uint32_t kGlobalMapPage = 1;
inline constexpr std::uint32_t kMSysObjectsTdefPage = 2;

// ---------------------------------------------------------------- page 0
// | off  | size | content                                                  |
// | 0x00 | 4    | 00 01 00 00                                              |
// | 0x04 | 16   | "Standard Jet DB" + NUL                                  |
// | 0x14 | 1    | format version, 1 = Jet 4                                |
// | 0x18 | 128  | masked region (XOR with RC4 keystream of kHeaderMaskKey) |
// | 0x98 | 4    | u32 kHeaderUnmaskedConstant                              |
// | 0x9C | 4    | "4.0" + NUL                                              |
// | 0xE00| 512  | 256 u16 words kHeaderTrailerWord                         |
// Inside the masked region (absolute offsets, before masking):
// | 0x18 | 24   | six u32 constants kHeaderMaskedConstants                 |
// | 0x3C | 2    | default code page                                        |
// | 0x3E | 4    | database key (0 = pages not encoded)                     |
// | 0x42 | 40   | password area, XOR with the creation-date mask           |
// | 0x6A | 4    | engine build number                                      |
// | 0x6E | 4    | default sort order: u16 LCID, u8 0, u8 sort version      |
// | 0x72 | 8    | creation date, OLE automation double                     |
inline constexpr std::size_t kHeaderSignatureOffset = 0x04;
inline constexpr char kHeaderSignature[] = "Standard Jet DB";  // written with its NUL
inline constexpr std::size_t kHeaderVersionOffset = 0x14;
inline constexpr std::uint8_t kHeaderVersionJet4 = 0x01;
inline constexpr std::size_t kHeaderMaskedOffset = 0x18;
inline constexpr std::size_t kHeaderMaskedLength = 128;
inline constexpr std::uint8_t kHeaderMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr std::uint32_t kHeaderMaskedConstants[6] = {0x100, 0x101, 2, 3, 4, 5};
inline constexpr std::size_t kHeaderCodePageOffset = 0x3C;
inline constexpr std::size_t kHeaderDatabaseKeyOffset = 0x3E;
inline constexpr std::size_t kHeaderPasswordOffset = 0x42;
inline constexpr std::size_t kHeaderPasswordLength = 40;
inline constexpr std::size_t kHeaderEngineBuildOffset = 0x6A;
inline constexpr std::size_t kHeaderSortOrderOffset = 0x6E;
inline constexpr std::size_t kHeaderCreationDateOffset = 0x72;
inline constexpr std::size_t kHeaderUnmaskedConstantOffset = 0x98;
inline constexpr std::uint32_t kHeaderUnmaskedConstant = 0x654;
inline constexpr std::size_t kHeaderEngineVersionOffset = 0x9C;
inline constexpr char kHeaderEngineVersion[] = "4.0";  // written with its NUL
inline constexpr std::size_t kHeaderTrailerOffset = 0xE00;
inline constexpr std::size_t kHeaderTrailerWords = 256;
inline constexpr std::uint16_t kHeaderTrailerWord = 0x0100;
inline constexpr std::uint16_t kHeaderTrailerFirstWord = 0x0101;
// The newest Jet 4.0 engine build seen in Access-made files.
inline constexpr std::uint32_t kEngineBuildNumber = 9756;
inline constexpr std::uint16_t kCodePage1252 = 1252;
inline constexpr std::uint16_t kLcidEnglishUs = 0x0409;
inline constexpr std::uint8_t kSortVersionGeneral = 0;

// ---------------------------------------------------------------- data page
// | off | size | content                                           |
// | 0   | 1    | kPageTypeData                                     |
// | 1   | 1    | kPageMarker                                       |
// | 2   | 2    | free space                                        |
// | 4   | 4    | owner TDEF page, or "LVAL" on long-value pages    |
// | 8   | 4    | 0                                                 |
// | 12  | 2    | row count                                         |
// | 14  | 2×n  | row offsets; row i spans offset[i]..offset[i-1]-1 |
// Rows are packed downward from the page end (row 0 ends at kPageSize).
inline constexpr std::size_t kDataFreeSpaceOffset = 2;
inline constexpr std::size_t kDataOwnerOffset = 4;
inline constexpr std::size_t kDataRowCountOffset = 12;
inline constexpr std::size_t kDataRowTableOffset = 14;
inline constexpr std::size_t kDataRowOffsetSize = 2;
inline constexpr std::size_t kDataMaxRowsPerPage = 255;
inline constexpr std::uint8_t kLongValueOwnerTag[4] = {'L', 'V', 'A', 'L'};

// ---------------------------------------------------------------- rows
// | u16 column count | fixed area | variable data | u16 end of data |
// | u16 variable offsets, last column first | u16 variable count | null mask |
// The fixed area starts right after the column count; fixed-column offsets in
// the TDEF are relative to that start. The EOD/offsets/count trio is left out
// when the table has no variable columns. Null mask: one bit per column
// number, 1 = present (booleans: 1 = true).
inline constexpr std::size_t kRowColumnCountSize = 2;
inline constexpr std::size_t kRowVarEntrySize = 2;
inline constexpr std::size_t kMaxRowSize = 4060;

// ---------------------------------------------------------------- usage maps
// A map row starts with its type byte.
// Inline (type 0): | u8 0 | u32 first page | 64-byte bitmap (LSB first) |
// Reference (type 1): | u8 1 | 17 × u32 bitmap page numbers (0 = none) |
// A bitmap page: | 05 01 00 00 | 4092-byte bitmap |, bitmap page k of a
// reference map covers pages k × kPagesPerBitmapPage onward.
inline constexpr std::uint8_t kMapTypeInline = 0x00;
inline constexpr std::uint8_t kMapTypeReference = 0x01;
inline constexpr std::size_t kMapRowSize = 69;
inline constexpr std::size_t kInlineMapStartOffset = 1;
inline constexpr std::size_t kInlineMapBitmapOffset = 5;
inline constexpr std::size_t kInlineMapBitmapBytes = kMapRowSize - kInlineMapBitmapOffset;
inline constexpr std::uint32_t kInlineMapPages = kInlineMapBitmapBytes * 8;
inline constexpr std::size_t kReferenceMapSlots = (kMapRowSize - 1) / 4;
inline constexpr std::size_t kBitmapPageHeader = 4;
inline constexpr std::uint32_t kPagesPerBitmapPage = (kPageSize - kBitmapPageHeader) * 8;
// The global map on page 1 is an inline map whose bitmap grows with the file
// (never shorter than an ordinary inline map); bit = 1 means "page free".
inline constexpr std::size_t kGlobalMapRow = 0;
inline constexpr std::size_t kGlobalMapGranule = 4;  // bitmap length is a multiple of this

// The largest global-map row page 1 can hold next to its second (reserved) row,
// and the pages such a row describes.
inline constexpr std::size_t kGlobalMapMaxRow =
    kPageSize - kDataRowTableOffset - 2 * kDataRowOffsetSize - kMapRowSize;
inline constexpr std::uint64_t kGlobalInlinePages = (kGlobalMapMaxRow - kInlineMapBitmapOffset) * 8;

// A pointer to a row: | u8 row number | u24 page |.
inline constexpr std::uint32_t make_row_pointer(std::uint32_t page, std::uint8_t row) {
    return (page << 8) | row;
}

// ---------------------------------------------------------------- TDEF
// Page header: | 02 01 | u16 free space | u32 next TDEF page | then the
// definition; continuation pages repeat the 8-byte header and the definition
// resumes at offset 8.
// | off  | size | content                                         |
// | 0x08 | 4    | definition length (from offset 0, up to FF FF)  |
// | 0x0C | 4    | kTdefMagic                                      |
// | 0x10 | 4    | row count                                       |
// | 0x14 | 4    | last autonumber handed out                      |
// | 0x18 | 1    | 0x01                                            |
// | 0x28 | 1    | table type (0x4E user, 0x53 system)             |
// | 0x29 | 2    | max column number + 1                           |
// | 0x2B | 2    | variable-length column count                    |
// | 0x2D | 2    | column count                                    |
// | 0x2F | 4    | logical index count                             |
// | 0x33 | 4    | real index count                                |
// | 0x37 | 4    | row pointer of the owned-pages map              |
// | 0x3B | 4    | row pointer of the free-space-pages map         |
// | 0x3F | 12×r | per real index: u32 0, u32 row count, u32 0     |
// then 25-byte column blocks, column names (u16 byte length + UTF-16LE),
// 52-byte real index blocks, 28-byte logical index blocks, logical index
// names, per long-value column (u16 number, map pointer owned, map pointer
// free), and FF FF.
inline constexpr std::size_t kTdefPageHeaderSize = 8;
inline constexpr std::size_t kTdefFreeSpaceOffset = 2;
inline constexpr std::size_t kTdefNextPageOffset = 4;
inline constexpr std::size_t kTdefLengthOffset = 0x08;
inline constexpr std::size_t kTdefMagicOffset = 0x0C;
inline constexpr std::uint32_t kTdefMagic = 0x659;
inline constexpr std::size_t kTdefRowCountOffset = 0x10;
inline constexpr std::size_t kTdefAutonumberOffset = 0x14;
inline constexpr std::size_t kTdefAutonumberFlagOffset = 0x18;
inline constexpr std::uint8_t kTdefAutonumberFlag = 0x01;
inline constexpr std::size_t kTdefTableTypeOffset = 0x28;
inline constexpr std::uint8_t kTableTypeUser = 0x4E;
inline constexpr std::uint8_t kTableTypeSystem = 0x53;
inline constexpr std::size_t kTdefMaxColumnsOffset = 0x29;
inline constexpr std::size_t kTdefVarColumnsOffset = 0x2B;
inline constexpr std::size_t kTdefColumnCountOffset = 0x2D;
inline constexpr std::size_t kTdefLogicalIndexCountOffset = 0x2F;
inline constexpr std::size_t kTdefRealIndexCountOffset = 0x33;
inline constexpr std::size_t kTdefOwnedMapOffset = 0x37;
inline constexpr std::size_t kTdefFreeMapOffset = 0x3B;
inline constexpr std::size_t kTdefFixedHeaderSize = 0x3F;
inline constexpr std::size_t kTdefIndexRowCountSize = 12;
inline constexpr std::size_t kTdefIndexRowCountValueOffset = 4;
inline constexpr std::uint16_t kTdefEndMarker = 0xFFFF;

// Column block, 25 bytes:
// | 0  | 1 | type            | 11 | 4 | LCID+sort (text) / precision,scale |
// | 1  | 4 | kTdefMagic      | 15 | 1 | flags                              |
// | 5  | 2 | column number   | 16 | 1 | extended flags                     |
// | 7  | 2 | variable index  | 17 | 4 | 0                                  |
// | 9  | 2 | column number   | 21 | 2 | fixed offset                       |
// |    |   | (0 in system tables) | 23 | 2 | length                        |
inline constexpr std::size_t kColumnBlockSize = 25;
inline constexpr std::size_t kColumnTypeOffset = 0;
inline constexpr std::size_t kColumnMagicOffset = 1;
inline constexpr std::size_t kColumnNumberOffset = 5;
inline constexpr std::size_t kColumnVarIndexOffset = 7;
inline constexpr std::size_t kColumnNumberCopyOffset = 9;
inline constexpr std::size_t kColumnSortOrderOffset = 11;
inline constexpr std::size_t kColumnPrecisionOffset = 11;
inline constexpr std::size_t kColumnScaleOffset = 12;
inline constexpr std::size_t kColumnFlagsOffset = 15;
inline constexpr std::size_t kColumnExtFlagsOffset = 16;
inline constexpr std::size_t kColumnFixedOffsetOffset = 21;
inline constexpr std::size_t kColumnLengthOffset = 23;

inline constexpr std::uint8_t kColumnFlagFixed = 0x01;
inline constexpr std::uint8_t kColumnFlagUpdatable = 0x02;
inline constexpr std::uint8_t kColumnFlagAutoLong = 0x04;
// Set on every column of the engine's own tables.
inline constexpr std::uint8_t kColumnFlagSystem = 0x10;
// Set on the security-id columns of the engine's own tables.
inline constexpr std::uint8_t kColumnFlagSystemSid = 0x20;
inline constexpr std::uint8_t kColumnFlagAutoGuid = 0x40;
inline constexpr std::uint8_t kColumnExtCompressedUnicode = 0x01;

// Real index block, 52 bytes:
// | 0  | 4  | kRealIndexMagic                                   |
// | 4  | 30 | 10 × (u16 column number or 0xFFFF, u8 order flag) |
// | 34 | 4  | row pointer of the index's page map               |
// | 38 | 4  | root index page                                   |
// | 42 | 4  | 0                                                 |
// | 46 | 1  | index flags                                       |
// | 47 | 5  | 0                                                 |
inline constexpr std::size_t kRealIndexBlockSize = 52;
inline constexpr std::uint32_t kRealIndexMagic = 0x783;
inline constexpr std::size_t kRealIndexColumnsOffset = 4;
inline constexpr std::size_t kRealIndexColumnSlotSize = 3;
inline constexpr std::size_t kRealIndexColumnSlots = 10;
inline constexpr std::uint16_t kRealIndexUnusedColumn = 0xFFFF;
inline constexpr std::uint8_t kRealIndexAscending = 0x01;
inline constexpr std::uint8_t kRealIndexDescending = 0x00;
inline constexpr std::size_t kRealIndexMapOffset = 34;
inline constexpr std::size_t kRealIndexRootOffset = 38;
inline constexpr std::size_t kRealIndexFlagsOffset = 46;
inline constexpr std::uint8_t kIndexFlagUnique = 0x01;
inline constexpr std::uint8_t kIndexFlagIgnoreNulls = 0x02;
inline constexpr std::uint8_t kIndexFlagRequired = 0x08;
inline constexpr std::uint8_t kIndexFlagAlways = 0x80;

// Logical index block, 28 bytes:
// | 0  | 4 | kTdefMagic                   | 17 | 4 | other table's TDEF page |
// | 4  | 4 | logical index number         | 21 | 1 | cascade updates         |
// | 8  | 4 | real index number            | 22 | 1 | cascade deletes         |
// | 12 | 1 | relationship side (1/2) or 0 | 23 | 1 | kind: 1 PK, 2 FK, 0     |
// | 13 | 4 | other logical index or -1    | 24 | 4 | 0                       |
inline constexpr std::size_t kLogicalIndexBlockSize = 28;
inline constexpr std::size_t kLogicalIndexNumberOffset = 4;
inline constexpr std::size_t kLogicalIndexRealOffset = 8;
inline constexpr std::size_t kLogicalIndexSideOffset = 12;
inline constexpr std::size_t kLogicalIndexOtherIndexOffset = 13;
inline constexpr std::size_t kLogicalIndexOtherTableOffset = 17;
inline constexpr std::size_t kLogicalIndexCascadeUpdateOffset = 21;
inline constexpr std::size_t kLogicalIndexCascadeDeleteOffset = 22;
inline constexpr std::size_t kLogicalIndexKindOffset = 23;
// What the engine writes into the cascade bytes of an index that is not a
// foreign key.
inline constexpr std::uint8_t kLogicalIndexNoCascade = 0x04;
inline constexpr std::uint8_t kLogicalIndexKindPlain = 0;
inline constexpr std::uint8_t kLogicalIndexKindPrimary = 1;
inline constexpr std::uint8_t kLogicalIndexKindForeign = 2;

inline constexpr std::size_t kLongValueMapEntrySize = 10;

// ---------------------------------------------------------------- long values
// Header in the row, 12 bytes: | u32 length + kind bits | u32 row pointer |
// | u32 0 |, followed by the data itself for inline values.
// An LVAL row of a chain: | u32 row pointer to the next part (0 = last) | data |
inline constexpr std::size_t kLongValueHeaderSize = 12;
inline constexpr std::uint32_t kLongValueInline = 0x80000000u;
inline constexpr std::uint32_t kLongValueSingleRow = 0x40000000u;
inline constexpr std::uint32_t kLongValueChain = 0x00000000u;
inline constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFFu;
inline constexpr std::size_t kLongValuePointerOffset = 4;
inline constexpr std::size_t kMaxInlineLongValue = 64;
// The largest LVAL row the engine writes: a page's room less 4 bytes it keeps free.
inline constexpr std::size_t kMaxLongValueRow = 4076;
inline constexpr std::size_t kChainLinkSize = 4;
inline constexpr std::size_t kMaxChainPart = kMaxLongValueRow - kChainLinkSize;

// ---------------------------------------------------------------- index pages
inline constexpr std::size_t kIndexEntriesOffset = 0x1E0;
// A leaf entry ends with the row's 3-byte page and 1-byte row number.
inline constexpr std::size_t kIndexEntryPointerSize = 4;
inline constexpr std::size_t kIndexLeafCapacity = kPageSize - kIndexEntriesOffset;

}  // namespace tessaly::jetdb::layout
