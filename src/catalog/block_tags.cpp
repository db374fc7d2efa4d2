#include "block_tags.h"

#include <cstring>

namespace ostrum::catalog {
namespace {

constexpr std::array<std::uint32_t, BlockTagTable.size()> MakeTagWords() {
    std::array<std::uint32_t, BlockTagTable.size()> words{};
    for (std::size_t i = 0; i < BlockTagTable.size(); ++i) words[i] = TagWord(BlockTagTable[i]);
    return words;
}

constexpr auto kTagWords = MakeTagWords();

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

}  // namespace ostrum::catalog
