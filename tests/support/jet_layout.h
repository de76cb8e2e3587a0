// On-disk layout of Jet 4 files (4096-byte pages), as the test-side checker
// reads them. Independent of the engine's own constants on purpose: the
// verifier must not share a mistake with the writer it checks.
//
// Page 0 (database definition)        Data page (type 0x01)
//   00  u8   page type 0               00 u8  type 1     02 u16 free space
//   04  16   "Standard Jet DB\0"       04 u32 owner TDEF page ("LVAL" on
//   14  u8   version (1 = Jet 4)              long-value pages)
//   18  128  RC4-masked region         0C u16 row count  0E u16 row offsets
//
// TDEF page (type 0x02), then 25-byte column blocks, column names, 52-byte
// real-index blocks, 28-byte logical-index blocks, logical-index names and the
// long-value column map list (see the offset constants below).
//
// Index page (type 0x03 node, 0x04 leaf)
//   02 u16 free space   04 u32 owner TDEF   0C u32 prev   10 u32 next
//   14 u32 tail child   18 u16 shared prefix length   1B entry mask (453 bytes)
//   1E0 entries
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaly::test::jet {

inline constexpr std::size_t kPageSize = 4096;
inline constexpr std::uint32_t kMaxPages = 0x80000000u / kPageSize;  // 2 GB limit

// Page types (first byte of a page).
inline constexpr std::uint8_t kPageHeader = 0x00;
inline constexpr std::uint8_t kPageData = 0x01;
inline constexpr std::uint8_t kPageTdef = 0x02;
inline constexpr std::uint8_t kPageIndexNode = 0x03;
inline constexpr std::uint8_t kPageIndexLeaf = 0x04;
inline constexpr std::uint8_t kPageUsageMap = 0x05;

// ---- Page 0 ----
inline constexpr std::size_t kHdrSignature = 0x04;
inline constexpr char kHdrSignatureText[] = "Standard Jet DB";  // 15 chars + NUL
inline constexpr std::size_t kHdrSignatureSize = 16;
inline constexpr std::size_t kHdrVersion = 0x14;
inline constexpr std::uint8_t kVersionJet4 = 0x01;
inline constexpr std::size_t kHdrMaskedStart = 0x18;
inline constexpr std::size_t kHdrMaskedSize = 128;
inline constexpr std::uint8_t kHdrMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
// Offsets below are absolute page offsets inside the masked region.
inline constexpr std::size_t kHdrCodePage = 0x3C;
inline constexpr std::size_t kHdrDbKey = 0x3E;
inline constexpr std::size_t kHdrPassword = 0x42;
inline constexpr std::size_t kHdrPasswordSize = 40;
inline constexpr std::size_t kHdrUnknown6A = 0x6A;
inline constexpr std::size_t kHdrSortOrder = 0x6E;  // u16 LCID, u8 0, u8 sort version
inline constexpr std::size_t kHdrCreationDate = 0x72;
inline constexpr std::size_t kHdrConst98 = 0x98;      // unmasked
inline constexpr std::size_t kHdrVersionText = 0x9C;  // "4.0\0", unmasked
inline constexpr std::uint16_t kLcidGeneral = 0x0409;
inline constexpr std::uint8_t kPageMarker = 0x01;  // second byte of pages 0..5
inline constexpr double kMaxOleDate = 2958466.0;   // 10000-01-01
inline constexpr std::uint32_t kRefSlotNegative = 0x80000000u;

// ---- Data pages ----
inline constexpr std::size_t kDataFreeSpace = 0x02;
inline constexpr std::size_t kDataOwner = 0x04;
inline constexpr std::size_t kDataUnused = 0x08;  // u32, zero except on some LVAL pages
inline constexpr std::size_t kDataRowCount = 0x0C;
inline constexpr std::size_t kDataRowTable = 0x0E;
inline constexpr std::uint16_t kRowDeleted = 0x8000;
inline constexpr std::uint16_t kRowOverflow = 0x4000;  // body is a row pointer
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr std::size_t kMaxRowsPerPage = 255;
inline constexpr std::uint32_t kLvalTag = 0x4C41564C;  // "LVAL" read little-endian
inline constexpr std::uint32_t kGlobalMapPage = 1;
inline constexpr std::uint32_t kCatalogPage = 2;

// ---- Usage maps ----
inline constexpr std::uint8_t kMapInline = 0x00;
inline constexpr std::uint8_t kMapReference = 0x01;
inline constexpr std::size_t kMapInlineStart = 1;  // u32 first page covered
inline constexpr std::size_t kMapInlineBits = 5;   // bitmap follows
inline constexpr std::size_t kMapRefPointers = 1;  // u32 page of each type-5 page
inline constexpr std::size_t kMapPageBits = 4;     // bitmap offset on a type-5 page
inline constexpr std::uint32_t kMapPageSpan = (kPageSize - kMapPageBits) * 8;  // 32736

// ---- TDEF ----
inline constexpr std::size_t kTdefFreeSpace = 0x02;
inline constexpr std::size_t kTdefNextPage = 0x04;
inline constexpr std::size_t kTdefPageHeader = 8;  // repeated on continuation pages
inline constexpr std::size_t kTdefLength = 0x08;
inline constexpr std::size_t kTdefMagic = 0x0C;
inline constexpr std::uint32_t kTdefMagicValue = 1625;
inline constexpr std::size_t kTdefRowCount = 0x10;
inline constexpr std::size_t kTdefAutonumber = 0x14;
inline constexpr std::size_t kTdefAutonumberFlag = 0x18;  // 0x01 in every Access file
inline constexpr std::size_t kTdefTableType = 0x28;
inline constexpr std::size_t kTdefMaxColumns = 0x29;
inline constexpr std::size_t kTdefVarColumns = 0x2B;
inline constexpr std::size_t kTdefColumnCount = 0x2D;
inline constexpr std::size_t kTdefLogicalCount = 0x2F;
inline constexpr std::size_t kTdefRealCount = 0x33;
inline constexpr std::size_t kTdefOwnedMap = 0x37;
inline constexpr std::size_t kTdefFreeMap = 0x3B;
inline constexpr std::size_t kTdefRealRowCounts = 0x3F;  // 12 bytes per real index
inline constexpr std::size_t kTdefRealRowCountSize = 12;
inline constexpr std::uint8_t kTableUser = 0x4E;
inline constexpr std::uint8_t kTableSystem = 0x53;

inline constexpr std::size_t kColBlockSize = 25;
inline constexpr std::size_t kColType = 0;
inline constexpr std::size_t kColMagic = 1;
inline constexpr std::size_t kColNumber = 5;
inline constexpr std::size_t kColVarIndex = 7;
inline constexpr std::size_t kColIndex = 9;
inline constexpr std::size_t kColMisc = 11;  // sort order, or precision/scale
inline constexpr std::size_t kColFlags = 15;
inline constexpr std::size_t kColExtFlags = 16;
inline constexpr std::size_t kColFixedOffset = 21;
inline constexpr std::size_t kColLength = 23;
inline constexpr std::uint8_t kColFlagFixed = 0x01;
inline constexpr std::uint8_t kColFlagUpdatable = 0x02;    // set on every column Access writes
inline constexpr std::uint8_t kColExtCompressible = 0x01;  // text may use FF FE compression
inline constexpr std::uint8_t kTextCompressed[2] = {0xFF, 0xFE};

inline constexpr std::size_t kRealIdxBlockSize = 52;
inline constexpr std::size_t kRealIdxMagic = 0;
inline constexpr std::uint32_t kRealIdxMagicValue = 1923;
inline constexpr std::size_t kRealIdxColumns = 4;  // 10 x (u16 column, u8 order)
inline constexpr std::size_t kRealIdxColumnSlots = 10;
inline constexpr std::size_t kRealIdxColumnSlotSize = 3;
inline constexpr std::uint16_t kRealIdxUnusedColumn = 0xFFFF;
inline constexpr std::size_t kRealIdxMap = 34;
inline constexpr std::size_t kRealIdxRoot = 38;
inline constexpr std::size_t kRealIdxFlags = 46;
inline constexpr std::uint8_t kIndexFlagUnique = 0x01;
inline constexpr std::uint8_t kIndexFlagIgnoreNulls = 0x02;
inline constexpr std::uint8_t kIndexFlagRequired = 0x08;

inline constexpr std::size_t kLogIdxBlockSize = 28;
inline constexpr std::size_t kLogIdxMagic = 0;
inline constexpr std::size_t kLogIdxNumber = 4;
inline constexpr std::size_t kLogIdxRealIndex = 8;
inline constexpr std::size_t kLogIdxRelRole = 12;
inline constexpr std::size_t kLogIdxOtherIndex = 13;
inline constexpr std::size_t kLogIdxOtherTdef = 17;
inline constexpr std::size_t kLogIdxCascadeUpdate = 21;
inline constexpr std::size_t kLogIdxCascadeDelete = 22;
inline constexpr std::size_t kLogIdxType = 23;
inline constexpr std::uint8_t kLogIdxPrimaryKey = 1;
inline constexpr std::uint8_t kLogIdxForeignKey = 2;

inline constexpr std::size_t kLvMapEntrySize = 10;  // u16 column, owned ptr, free ptr
inline constexpr std::uint16_t kLvMapEnd = 0xFFFF;
inline constexpr std::size_t kMaxNameChars = 64;
inline constexpr std::uint16_t kMaxTextBytes = 510;  // TEXT(255) in UTF-16
inline constexpr std::uint16_t kMaxBinaryBytes = 510;
inline constexpr double kCurrencyScale = 10000.0;  // currency is int64 x 10^4
inline constexpr std::size_t kMaxColumns = 255;
inline constexpr std::size_t kMaxIndexes = 32;

// Column types.
inline constexpr std::uint8_t kTypeBool = 0x01;
inline constexpr std::uint8_t kTypeByte = 0x02;
inline constexpr std::uint8_t kTypeInt = 0x03;
inline constexpr std::uint8_t kTypeLong = 0x04;
inline constexpr std::uint8_t kTypeMoney = 0x05;
inline constexpr std::uint8_t kTypeFloat = 0x06;
inline constexpr std::uint8_t kTypeDouble = 0x07;
inline constexpr std::uint8_t kTypeDate = 0x08;
inline constexpr std::uint8_t kTypeBinary = 0x09;
inline constexpr std::uint8_t kTypeText = 0x0A;
inline constexpr std::uint8_t kTypeOle = 0x0B;
inline constexpr std::uint8_t kTypeMemo = 0x0C;
inline constexpr std::uint8_t kTypeGuid = 0x0F;
inline constexpr std::uint8_t kTypeNumeric = 0x10;
inline constexpr std::uint8_t kTypeFixedBlob = 0x11;

// ---- Rows ----
inline constexpr std::size_t kRowColumnCount = 0;  // u16
inline constexpr std::size_t kRowFixedArea = 2;
inline constexpr std::size_t kMaxRowSize = 4060;
inline constexpr std::size_t kLvHeaderSize = 12;
inline constexpr std::uint32_t kLvInline = 0x80000000u;
inline constexpr std::uint32_t kLvSingleRow = 0x40000000u;
inline constexpr std::uint32_t kLvTypeMask = 0xC0000000u;
inline constexpr std::uint32_t kLvLengthMask = 0x3FFFFFFFu;
inline constexpr std::size_t kLvPointer = 4;    // row byte + 3-byte page
inline constexpr std::size_t kLvChainLink = 4;  // next-row pointer heading a chain row

// ---- Index pages ----
inline constexpr std::size_t kIdxFreeSpace = 0x02;
inline constexpr std::size_t kIdxOwner = 0x04;
inline constexpr std::size_t kIdxPrev = 0x0C;
inline constexpr std::size_t kIdxNext = 0x10;
inline constexpr std::size_t kIdxTail = 0x14;
inline constexpr std::size_t kIdxPrefixLength = 0x18;
inline constexpr std::size_t kIdxMask = 0x1B;
inline constexpr std::size_t kIdxEntries = 0x1E0;
inline constexpr std::size_t kIdxMaskSize = kIdxEntries - kIdxMask;  // 453
inline constexpr std::size_t kIdxRowPointer = 4;                     // 3-byte big-endian page + row
inline constexpr std::size_t kIdxChildPointer = 4;  // big-endian child page (nodes)

// Catalog (MSysObjects) values.
inline constexpr std::int16_t kObjTable = 1;
inline constexpr std::int16_t kObjQuery = 5;
inline constexpr std::uint32_t kCatalogRootId = 0x0F000000;  // parent of the top containers
inline constexpr std::uint32_t kObjIdPageMask = 0x00FFFFFF;

}  // namespace tessaly::test::jet
