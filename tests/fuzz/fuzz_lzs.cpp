// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the LZS decoder. The first two bytes are the block's stated uncompressed size (little-endian),
// the rest is the block. The output buffer is exactly that long, so the sanitizers see any write past it.
// Every input is also compressed by the media writer's compressor and must decode back to itself.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "decode/lzs_decoder.h"
#include "lzs_compressor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using ostrum::decode::LzsDecode;
    if (size < 2) return 0;
    const std::size_t stated = data[0] | (std::size_t{data[1]} << 8);
    const std::span<const std::uint8_t> block(data + 2, size - 2);

    std::vector<std::uint8_t> output(stated);
    const auto result = LzsDecode(block, output);
    if (result.produced > stated) __builtin_trap();
    if (result.ok != result.error.empty()) __builtin_trap();
    if (result.ok && result.produced != stated) __builtin_trap();

    std::vector<std::uint8_t> packed;
    ostrum::mtfwriter::LzsCompress(block, packed);
    std::vector<std::uint8_t> unpacked(block.size());
    const auto back = LzsDecode(packed, unpacked);
    if (!back.ok || !std::equal(unpacked.begin(), unpacked.end(), block.begin())) __builtin_trap();
    return 0;
}
