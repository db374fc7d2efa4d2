// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/block_tags.h"

#include <cstring>

#include "catalog/mtf_layout.h"

namespace ostrum::catalog {
namespace {

constexpr std::array<std::uint32_t, BlockTagTable.size()> MakeTagWords() {
    std::array<std::uint32_t, BlockTagTable.size()> words{};
    for (std::size_t i = 0; i < BlockTagTable.size(); ++i) words[i] = TagWord(BlockTagTable[i]);
    return words;
}

constexpr auto kTagWords = MakeTagWords();
// The descriptor blocks are the first entries of the tag table, TAPE to ESPB.
constexpr std::size_t kDescriptorTags = 10;

}  // namespace

int LookupBlockTag(ByteSpan slot) {
    auto word = ReadLE32(slot, 0);
    if (!word) return kTagUnknown;
    if (*word == 0) return kTagAllZero;
    for (std::size_t i = 0; i < kTagWords.size(); ++i) {
        if (kTagWords[i] == *word) return static_cast<int>(i);
    }
    return kTagUnknown;
}

bool HasTagAt(ByteSpan bytes, std::size_t offset, const std::array<char, 4>& tag) {
    return HasBytes(bytes, offset, 4) && std::memcmp(bytes.data() + offset, tag.data(), 4) == 0;
}

bool IsDescriptorBlockTag(std::uint32_t word) {
    for (std::size_t i = 0; i < kDescriptorTags; ++i) {
        if (TagWord(BlockTagTable[i]) == word) return true;
    }
    return false;
}

bool BlockHeaderChecksumHolds(ByteSpan bytes, std::size_t offset) {
    if (!HasBytes(bytes, offset, mtf::db_hdr::kSize)) return false;
    return XorOfLE16Words(bytes, offset, mtf::db_hdr::kHeaderChecksum) ==
           ReadLE16(bytes, offset + mtf::db_hdr::kHeaderChecksum);
}

}  // namespace ostrum::catalog
