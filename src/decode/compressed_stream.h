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

namespace ostrum::decode {

// The compression frame header, at the start of every frame.
namespace frame_hdr {
inline constexpr std::size_t kHeaderId = 0;  // UINT16 0x4846, the bytes "FH"
inline constexpr std::size_t kOriginalMediaAttributes =
    2;  // UINT16, the stream's attributes before compression
inline constexpr std::size_t kRemainingUncompressedSize =
    4;                                                // UINT64, from this frame to the end of the stream
inline constexpr std::size_t kUncompressedSize = 12;  // UINT32
inline constexpr std::size_t kCompressedSize = 16;    // UINT32; equal to the above for a stored frame
inline constexpr std::size_t kSequenceNumber = 20;    // UINT8, from 1
inline constexpr std::size_t kChecksum = 22;          // UINT16 XOR of the 11 words before it
inline constexpr std::size_t kSize = 24;
inline constexpr std::uint16_t kCompressedFrameId = 0x4846;  // "FH"
inline constexpr std::uint16_t kEncryptedFrameId = 0x4845;   // "EH": no cipher is defined for it
}  // namespace frame_hdr

// A frame never holds more than this many uncompressed bytes; a larger stated size is damage.
inline constexpr std::size_t kMaxFrameBytes = 64 * 1024;

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
    struct FrameHeader {
        std::uint64_t remaining = 0;
        std::uint32_t uncompressed = 0;
        std::uint32_t compressed = 0;
    };

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
