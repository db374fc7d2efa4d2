// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frames of a stream written with MTF software compression: each begins with a 24-byte "FH" header
// that gives, besides the payload's size, the uncompressed bytes the frame decodes to. The scan adds
// those up for a compressed file's size without decoding anything; the decoder checks every header the
// same way before it decodes the payload.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "catalog/byte_reader.h"

namespace ostrum::catalog {

// The compression frame header, at the start of every frame.
namespace frame_hdr {
inline constexpr std::size_t kHeaderId = 0;                   // UINT16 0x4846, the bytes "FH"
inline constexpr std::size_t kOriginalMediaAttributes = 2;    // UINT16, the stream's before compression
inline constexpr std::size_t kRemainingUncompressedSize = 4;  // UINT64, from this frame to the stream's end
inline constexpr std::size_t kUncompressedSize = 12;          // UINT32
inline constexpr std::size_t kCompressedSize = 16;            // UINT32; the same for a stored frame
inline constexpr std::size_t kSequenceNumber = 20;            // UINT8, from 1
inline constexpr std::size_t kChecksum = 22;                  // UINT16 XOR of the 11 words before it
inline constexpr std::size_t kSize = 24;
inline constexpr std::uint16_t kCompressedFrameId = 0x4846;  // "FH"
inline constexpr std::uint16_t kEncryptedFrameId = 0x4845;   // "EH": no cipher is defined for it
}  // namespace frame_hdr

// A frame never holds more than this many uncompressed bytes; a larger stated size is damage.
inline constexpr std::size_t kMaxFrameBytes = 64 * 1024;

struct FrameHeader {
    std::uint64_t remaining = 0;  // uncompressed bytes from this frame to the end of the stream
    std::uint32_t uncompressed = 0;
    std::uint32_t compressed = 0;  // payload bytes after the header
};

// Reads the frame header at the start of `header` and checks it: its id, its checksum, sizes a frame can
// have, and, when `remainingDue` is given (what the frame before left to come), that it continues the
// stream. Nothing when a check fails, with the reason in `error` when given.
std::optional<FrameHeader> ReadFrameHeader(ByteSpan header, std::optional<std::uint64_t> remainingDue,
                                           std::string* error = nullptr);

}  // namespace ostrum::catalog
