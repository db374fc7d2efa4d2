// SPDX-License-Identifier: GPL-3.0-or-later
#include "lzs_compressor.h"

#include <array>
#include <stdexcept>

#include "byte_order.h"
#include "mtf_layout.h"

namespace ostrum::mtfwriter {

// The LZS bit stream written here. Bits are taken most significant first within each byte.
//
//   literal:      0 bbbbbbbb                  the byte itself
//   match:        1 <offset> <length>         copy <length> bytes starting <offset> bytes back in the output
//     offset:     1 ooooooo                   offsets 1..127
//                 0 ooooooooooo               offsets 1..2047
//     length:     00 = 2, 01 = 3, 10 = 4, 1100 = 5, 1101 = 6, 1110 = 7,
//                 1111 then 4-bit groups: each group 1111 adds 15, the first group below 15 ends it,
//                 length = 8 + 15 * (number of 1111 groups) + last group
//   end marker:   1 1 0000000                 a short-offset match with offset 0
//   then zero bits up to the next byte boundary.
//
// A match may overlap its own output (offset < length): the copy proceeds byte by byte. Every block starts
// with an empty history and ends with the end marker.
namespace {

constexpr std::size_t kMaxOffset = 2047;
constexpr std::size_t kMaxShortOffset = 127;
constexpr std::size_t kMinMatch = 2;
// How many earlier positions with the same two leading bytes are tried; more gains little on test data.
constexpr int kMaxChain = 48;
// A match this long is taken without looking further.
constexpr std::size_t kGoodEnoughMatch = 256;

class BitWriter {
  public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    // Appends the low `count` bits of `value`, most significant first. count <= 16.
    void Put(std::uint32_t value, int count) {
        acc_ = (acc_ << count) | (value & ((1u << count) - 1));
        pending_ += count;
        while (pending_ >= 8) {
            pending_ -= 8;
            out_.push_back(static_cast<std::uint8_t>(acc_ >> pending_));
        }
        acc_ &= (1u << pending_) - 1;
    }

    void PadToByte() {
        if (pending_ > 0) Put(0, 8 - pending_);
    }

  private:
    std::vector<std::uint8_t>& out_;
    std::uint32_t acc_ = 0;
    int pending_ = 0;
};

void PutLiteral(BitWriter& bits, std::uint8_t byte) {
    bits.Put(0, 1);
    bits.Put(byte, 8);
}

// Lengths 2 to 7 have codes of their own; longer ones are 1111 followed by 4-bit groups.
struct LengthCode {
    std::uint32_t bits;
    int count;
};
constexpr LengthCode kShortLengthCodes[] = {{0b00, 2},   {0b01, 2},   {0b10, 2},
                                            {0b1100, 4}, {0b1101, 4}, {0b1110, 4}};

void PutLength(BitWriter& bits, std::size_t length) {
    if (length <= 7) {
        const LengthCode code = kShortLengthCodes[length - 2];
        bits.Put(code.bits, code.count);
        return;
    }
    bits.Put(0b1111, 4);
    std::size_t rest = length - 8;
    for (; rest >= 15; rest -= 15) bits.Put(0b1111, 4);
    bits.Put(static_cast<std::uint32_t>(rest), 4);
}

void PutMatch(BitWriter& bits, std::size_t offset, std::size_t length) {
    bits.Put(1, 1);
    if (offset <= kMaxShortOffset) {
        bits.Put(1, 1);
        bits.Put(static_cast<std::uint32_t>(offset), 7);
    } else {
        bits.Put(0, 1);
        bits.Put(static_cast<std::uint32_t>(offset), 11);
    }
    PutLength(bits, length);
}

void PutEndMarker(BitWriter& bits) {
    bits.Put(0b11, 2);
    bits.Put(0, 7);
    bits.PadToByte();
}

// Hash chains keyed by the exact two bytes at a position, so every candidate already matches two bytes.
class MatchFinder {
  public:
    explicit MatchFinder(std::span<const std::uint8_t> input) : in_(input) {
        head_.assign(1u << 16, -1);
        prev_.assign(input.size(), -1);
    }

    struct Match {
        std::size_t offset = 0;
        std::size_t length = 0;
    };

    Match LongestAt(std::size_t pos) const {
        Match best;
        if (pos + kMinMatch > in_.size()) return best;
        std::int32_t cand = head_[key(pos)];
        for (int tries = 0;
             cand >= 0 && pos - static_cast<std::size_t>(cand) <= kMaxOffset && tries < kMaxChain;
             ++tries, cand = prev_[static_cast<std::size_t>(cand)]) {
            const std::size_t from = static_cast<std::size_t>(cand);
            std::size_t length = kMinMatch;
            while (pos + length < in_.size() && in_[from + length] == in_[pos + length]) ++length;
            if (length > best.length) {
                best = {pos - from, length};
                if (length >= kGoodEnoughMatch) break;
            }
        }
        return best;
    }

    void Insert(std::size_t pos) {
        if (pos + kMinMatch > in_.size()) return;
        const std::uint32_t k = key(pos);
        prev_[pos] = head_[k];
        head_[k] = static_cast<std::int32_t>(pos);
    }

  private:
    std::uint32_t key(std::size_t pos) const { return (std::uint32_t{in_[pos]} << 8) | in_[pos + 1]; }

    std::span<const std::uint8_t> in_;
    std::vector<std::int32_t> head_;
    std::vector<std::int32_t> prev_;
};

}  // namespace

void LzsCompress(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& output) {
    BitWriter bits(output);
    MatchFinder finder(input);
    std::size_t pos = 0;
    while (pos < input.size()) {
        const MatchFinder::Match match = finder.LongestAt(pos);
        if (match.length >= kMinMatch) {
            PutMatch(bits, match.offset, match.length);
            for (std::size_t i = 0; i < match.length; ++i) finder.Insert(pos + i);
            pos += match.length;
        } else {
            PutLiteral(bits, input[pos]);
            finder.Insert(pos);
            ++pos;
        }
    }
    PutEndMarker(bits);
}

std::size_t AppendFrame(std::span<const std::uint8_t> input, const FrameOptions& options,
                        std::vector<std::uint8_t>& output) {
    namespace fh = layout::frame;
    if (input.size() > fh::kMaxUncompressedSize) {
        throw std::invalid_argument("a compression frame holds at most 64 KiB of data");
    }
    std::vector<std::uint8_t> packed;
    packed.reserve(input.size() + input.size() / 8 + 8);
    LzsCompress(input, packed);
    const bool stored = packed.size() >= input.size();
    const std::span<const std::uint8_t> payload = stored ? input : std::span<const std::uint8_t>(packed);

    std::array<std::uint8_t, fh::kSize> header{};
    PutU16(header, fh::kHeaderId, fh::kFrameHeaderId);
    PutU16(header, fh::kOriginalMediaAttributes, options.originalMediaAttributes);
    PutU64(header, fh::kRemainingUncompressedSize, options.remainingUncompressedSize);
    PutU32(header, fh::kUncompressedSize, static_cast<std::uint32_t>(input.size()));
    PutU32(header, fh::kCompressedSize, static_cast<std::uint32_t>(payload.size()));
    PutU8(header, fh::kSequenceNumber, options.sequenceNumber);
    std::uint16_t checksum = XorWords(header, 0, fh::kChecksummedWords);
    if (options.corruptChecksum) checksum ^= 0x5A5A;
    PutU16(header, fh::kChecksum, checksum);

    output.insert(output.end(), header.begin(), header.end());
    output.insert(output.end(), payload.begin(), payload.end());
    return header.size() + payload.size();
}

}  // namespace ostrum::mtfwriter
