// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The table of MTF block and stream tags that every 512-byte slot is tested against.

#include <array>
#include <cstdint>

#include "catalog/byte_reader.h"

namespace ostrum::catalog {

// Tag indexes as returned by LookupBlockTag; those the scan acts on have names.
inline constexpr int kTagAllZero = -2;
inline constexpr int kTagUnknown = -1;
inline constexpr int kTagTAPE = 0;
inline constexpr int kTagSSET = 2;
inline constexpr int kTagDIRB = 4;
inline constexpr int kTagFILE = 5;
inline constexpr int kTagESET = 6;
inline constexpr int kTagEOTM = 7;
inline constexpr int kTagSTAN = 15;
inline constexpr int kTagSPAD = 16;

inline constexpr std::array<std::array<char, 4>, 19> BlockTagTable = {{
    {'T', 'A', 'P', 'E'}, {'S', 'F', 'M', 'B'}, {'S', 'S', 'E', 'T'}, {'V', 'O', 'L', 'B'},
    {'D', 'I', 'R', 'B'}, {'F', 'I', 'L', 'E'}, {'E', 'S', 'E', 'T'}, {'E', 'O', 'T', 'M'},
    {'C', 'F', 'I', 'L'}, {'E', 'S', 'P', 'B'}, {'T', 'S', 'M', 'P'}, {'T', 'F', 'D', 'D'},
    {'N', 'A', 'C', 'L'}, {'N', 'T', 'Q', 'U'}, {'C', 'S', 'U', 'M'}, {'S', 'T', 'A', 'N'},
    {'S', 'P', 'A', 'D'}, {'F', 'E', 'N', 'D'}, {'N', 'T', 'O', 'I'},
}};

// A tag's four bytes as the little-endian word a slot's first four bytes read as.
constexpr std::uint32_t TagWord(const std::array<char, 4>& tag) {
    return std::uint32_t{static_cast<std::uint8_t>(tag[0])} |
           (std::uint32_t{static_cast<std::uint8_t>(tag[1])} << 8) |
           (std::uint32_t{static_cast<std::uint8_t>(tag[2])} << 16) |
           (std::uint32_t{static_cast<std::uint8_t>(tag[3])} << 24);
}

// Classifies the first four bytes of a slot: -2 when all are zero, the index of the first table entry
// they equal (byte for byte, case-sensitive), else -1. Fewer than four bytes classify as -1.
int LookupBlockTag(ByteSpan slot);

// True when the four bytes at `offset` spell the tag.
bool HasTagAt(ByteSpan bytes, std::size_t offset, const std::array<char, 4>& tag);

// True when the word (a slot's first four bytes read little-endian) is the tag of a descriptor block,
// TAPE to ESPB: the blocks that begin with a common block header and its checksum.
bool IsDescriptorBlockTag(std::uint32_t word);

// True when the common block header at `offset` is whole in `bytes` and its Header Checksum is the XOR
// of the 25 words before it.
bool BlockHeaderChecksumHolds(ByteSpan bytes, std::size_t offset);

}  // namespace ostrum::catalog
