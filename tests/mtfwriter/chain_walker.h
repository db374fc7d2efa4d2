// SPDX-License-Identifier: GPL-3.0-or-later
// An independent reader for the tests: follows the chain of blocks of a written image from TAPE to EOTM using
// each block's offset to first event and each stream's length, and checks every header checksum, stream
// checksum, alignment, control block id and format logical address on the way. It shares no code with the
// writer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ostrum::mtfwriter::testing {

struct WalkedStream {
    std::string id;
    std::uint64_t headerOffset = 0;
    std::uint16_t fileSystemAttributes = 0;
    std::uint16_t mediaFormatAttributes = 0;
    std::uint64_t length = 0;
    std::uint16_t compressionAlgorithm = 0;
    std::uint64_t dataOffset() const { return headerOffset + 22; }
};

struct WalkedBlock {
    std::string type;
    std::uint64_t offset = 0;
    std::uint32_t attributes = 0;
    std::uint64_t displayableSize = 0;
    std::uint64_t formatLogicalAddress = 0;
    std::uint32_t controlBlockId = 0;
    std::u16string
        name;  // SSET data set name, DIRB directory name, FILE file name (from the block or PNAM/FNAM)
    std::vector<WalkedStream> streams;
    std::uint64_t end = 0;  // first byte after the block and its streams

    const WalkedStream* stream(const std::string& id) const;
};

struct Walk {
    std::uint32_t logicalBlockSize = 0;
    bool softFilemarks = false;
    std::vector<WalkedBlock> blocks;
    std::vector<std::uint64_t> filemarks;  // inferred from the layout (hard) or found (SFMB)
    std::vector<std::string> errors;       // empty when the image is sound
    std::uint64_t end = 0;

    std::vector<const WalkedBlock*> ofType(const std::string& type) const;
};

// Walks `image`. Filemarks are expected on `physicalBlockSize` boundaries.
Walk WalkImage(std::span<const std::uint8_t> image, std::uint32_t physicalBlockSize);

// Reads a 5-byte MTF date as (year, month, day, hour, minute, second).
struct DecodedDate {
    int year, month, day, hour, minute, second;
    bool operator==(const DecodedDate&) const = default;
};
DecodedDate DecodeDate(std::span<const std::uint8_t> fiveBytes);

std::uint16_t ReadU16(std::span<const std::uint8_t> b, std::uint64_t off);
std::uint32_t ReadU32(std::span<const std::uint8_t> b, std::uint64_t off);
std::uint64_t ReadU64(std::span<const std::uint8_t> b, std::uint64_t off);
// XOR of `words` little-endian 16-bit words from `off`: the header checksum of blocks, streams and frames.
std::uint16_t XorOfWords(std::span<const std::uint8_t> b, std::uint64_t off, int words);

}  // namespace ostrum::mtfwriter::testing
