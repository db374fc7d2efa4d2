// SPDX-License-Identifier: GPL-3.0-or-later
// Stac LZS compression (compressor only) and the 24-byte "FH" frames of MTF software compression.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ostrum::mtfwriter {

// Compresses `input` as one independent LZS block (the history starts empty) and appends the bit stream, end
// marker and final zero bits included, to `output`. The bit format is documented in lzs_compressor.cpp.
void LzsCompress(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& output);

struct FrameOptions {
    // The stream's media-format attributes without the compressed bit.
    std::uint16_t originalMediaAttributes = 0;
    // Uncompressed bytes from this frame to the end of the stream.
    std::uint64_t remainingUncompressedSize = 0;
    std::uint8_t sequenceNumber = 1;
    bool corruptChecksum = false;  // write a wrong header checksum (for tests of readers)
};

// Appends one frame (24-byte header + payload) holding `input` (at most 64 KiB) to `output`. The payload is
// the LZS form when that is smaller, otherwise the raw bytes (stored frame: compressed size == uncompressed
// size). Returns the number of bytes appended.
std::size_t AppendFrame(std::span<const std::uint8_t> input, const FrameOptions& options,
                        std::vector<std::uint8_t>& output);

}  // namespace ostrum::mtfwriter
