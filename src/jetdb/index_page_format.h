// On-disk layout of a Jet 4 index page (leaf 0x04, intermediate node 0x03).
//
//   Off   Size  Field
//   0x00  1     page type: 0x04 leaf, 0x03 node
//   0x01  1     0x01
//   0x02  2     free space: page size - (0x1E0 + bytes of entry data)
//   0x04  4     owning table-definition page
//   0x08  4     0
//   0x0C  4     previous page at this level (0 = none)
//   0x10  4     next page at this level (0 = none)
//   0x14  4     node pages: the last child, which has no entry ("tail"); leaves 0
//   0x18  2     shared-prefix length
//   0x1A  1     1 on node pages, 0 on leaves
//   0x1B  453   entry mask: bit k (LSB first) set <=> an entry ends at 0x1E0 + k
//   0x1E0 ...   entries; the first is complete, later ones omit the shared prefix
//
// Leaf entry: key bytes, data page (3 bytes big-endian), row (1 byte).
// Node entry: the last leaf entry of the child's subtree, then the child page
// (4 bytes big-endian). Header integers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaly::jetdb::index_page {

inline constexpr std::size_t kPageSize = 4096;

inline constexpr std::uint8_t kTypeNode = 0x03;
inline constexpr std::uint8_t kTypeLeaf = 0x04;
inline constexpr std::uint8_t kPageMarker = 0x01;
inline constexpr std::uint8_t kNodeMarker = 0x01;  // byte 0x1A of node pages

inline constexpr std::size_t kOffType = 0x00;
inline constexpr std::size_t kOffMarker = 0x01;
inline constexpr std::size_t kOffFreeSpace = 0x02;
inline constexpr std::size_t kOffTdefPage = 0x04;
inline constexpr std::size_t kOffPrevPage = 0x0C;
inline constexpr std::size_t kOffNextPage = 0x10;
inline constexpr std::size_t kOffTailPage = 0x14;
inline constexpr std::size_t kOffPrefixLength = 0x18;
inline constexpr std::size_t kOffNodeMarker = 0x1A;
inline constexpr std::size_t kOffEntryMask = 0x1B;
inline constexpr std::size_t kEntryMaskSize = 453;
inline constexpr std::size_t kOffEntries = 0x1E0;

// Bytes of entry data one page holds.
inline constexpr std::size_t kEntryCapacity = kPageSize - kOffEntries;

// Bytes after the key: row pointer (3-byte page + row), and on node pages the
// child page.
inline constexpr std::size_t kRowPointerSize = 4;
inline constexpr std::size_t kRowPageSize = 3;
inline constexpr std::size_t kChildPointerSize = 4;

}  // namespace tessaly::jetdb::index_page
