// SPDX-License-Identifier: GPL-3.0-or-later
// A small reference decoder for the tests, written from the bit format alone: LZS blocks and the 24-byte "FH"
// frames of compressed MTF streams. Malformed input gives an error text, never a crash.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace ostrum::mtfwriter::testing {

struct DecodeError {
    std::string what;
};

using Decoded = std::variant<std::vector<std::uint8_t>, DecodeError>;

// Decodes one LZS block that must end with the end marker followed only by zero bits.
Decoded LzsDecode(std::span<const std::uint8_t> block);

struct FrameInfo {
    std::uint16_t originalMediaAttributes = 0;
    std::uint64_t remainingUncompressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint32_t compressedSize = 0;
    std::uint8_t sequenceNumber = 0;
    bool stored = false;
};

// Decodes the data of a compressed stream (a run of frames); checks each frame header's id and checksum, the
// sequence numbers and the remaining sizes. `frames` receives what each header said.
Decoded DecodeFrames(std::span<const std::uint8_t> streamData, std::vector<FrameInfo>* frames = nullptr);

}  // namespace ostrum::mtfwriter::testing
