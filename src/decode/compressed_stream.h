// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The data of a stream written with MTF software compression: a run of frames, each a 24-byte "FH" header
// and its payload, LZS-compressed or stored. The decoder takes the stream's bytes in whatever pieces the
// medium delivers them and hands on the decoded bytes, frame by frame.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalog/compressed_frames.h"

namespace ostrum::decode {

namespace frame_hdr = catalog::frame_hdr;
using catalog::kMaxFrameBytes;

class CompressedStreamDecoder {
  public:
    enum class Status { Ok, Damaged, OutputFailed };
    // Receives decoded bytes; returns false when they could not be stored.
    using Output = std::function<bool(std::span<const std::uint8_t>)>;

    CompressedStreamDecoder();

    // Takes the next bytes of the stream's data. Damaged (with error()) at the first frame that fails a
    // check; OutputFailed when the output refused bytes. Nothing is taken after either.
    Status Take(std::span<const std::uint8_t> bytes, const Output& output);
    // All the stream's bytes have been given: Damaged when they ended inside a frame or before the
    // uncompressed size the first frame announced.
    Status Finish();
    // The stream was cut inside a frame's data: hands on what the part received decodes to, the bytes of
    // its complete literals and matches (of a stored frame, the bytes as they are). Nothing when no frame
    // was under way or a check had failed; OutputFailed when the output refused the bytes.
    Status DecodeCutFrame(const Output& output);

    const std::string& error() const { return error_; }
    std::uint64_t decoded() const { return decoded_; }
    // The stream's uncompressed size as its first frame header announced it, once that header has been
    // taken and has passed its checks.
    std::optional<std::uint64_t> announced() const { return announced_; }

  private:
    using FrameHeader = catalog::FrameHeader;

    std::size_t TakeHeader(std::span<const std::uint8_t> bytes);
    bool CheckHeader();
    Status DecodeFrame(std::span<const std::uint8_t> payload, const Output& output);
    Status Fail(const std::string& what);

    std::array<std::uint8_t, frame_hdr::kSize> header_{};
    std::size_t headerHave_ = 0;
    std::optional<FrameHeader> frame_;   // the frame whose payload is being gathered
    std::vector<std::uint8_t> payload_;  // a payload that arrived in pieces
    std::vector<std::uint8_t> decoded_buffer_;
    std::optional<std::uint64_t> remaining_;  // uncompressed bytes still due, by the frames' own account
    std::optional<std::uint64_t> announced_;
    std::uint64_t frameIndex_ = 0;
    std::uint64_t streamOffset_ = 0;  // stream bytes taken so far, for messages
    std::uint64_t frameStart_ = 0;
    std::uint64_t decoded_ = 0;
    std::string error_;
    bool failed_ = false;
};

}  // namespace ostrum::decode
