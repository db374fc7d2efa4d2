// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/compressed_frames.h"

namespace ostrum::catalog {
namespace {

std::optional<FrameHeader> Refuse(std::string* error, std::string why) {
    if (error != nullptr) *error = std::move(why);
    return std::nullopt;
}

}  // namespace

std::optional<FrameHeader> ReadFrameHeader(ByteSpan header, std::optional<std::uint64_t> remainingDue,
                                           std::string* error) {
    const auto sum = XorOfLE16Words(header, 0, frame_hdr::kChecksum);
    if (!sum) return Refuse(error, "the stream ends inside the frame header");
    const std::uint16_t id = *ReadLE16(header, frame_hdr::kHeaderId);
    if (id == frame_hdr::kEncryptedFrameId)
        return Refuse(error, "an encrypted frame, which cannot be decoded");
    if (id != frame_hdr::kCompressedFrameId) return Refuse(error, "no \"FH\" frame header");
    if (*sum != ReadLE16(header, frame_hdr::kChecksum))
        return Refuse(error, "the header checksum does not match");

    const FrameHeader frame{*ReadLE64(header, frame_hdr::kRemainingUncompressedSize),
                            *ReadLE32(header, frame_hdr::kUncompressedSize),
                            *ReadLE32(header, frame_hdr::kCompressedSize)};
    if (frame.uncompressed > kMaxFrameBytes) {
        return Refuse(error, "it states " + std::to_string(frame.uncompressed) +
                                 " uncompressed bytes, more than a frame holds");
    }
    if (frame.compressed > frame.uncompressed) {
        return Refuse(error, "its compressed size " + std::to_string(frame.compressed) +
                                 " exceeds its uncompressed size " + std::to_string(frame.uncompressed));
    }
    // Each frame states what remains from itself to the end; a missing or repeated frame breaks the chain.
    if (remainingDue && frame.remaining != *remainingDue) {
        return Refuse(error, "it says " + std::to_string(frame.remaining) + " bytes remain where " +
                                 std::to_string(*remainingDue) + " were due");
    }
    if (frame.uncompressed > frame.remaining)
        return Refuse(error, "it holds more than the bytes it says remain");
    return frame;
}

}  // namespace ostrum::catalog
