// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/lzs_decoder.h"

#include <optional>

namespace ostrum::decode {
namespace {

constexpr unsigned kShortOffsetBits = 7;
constexpr unsigned kLongOffsetBits = 11;
constexpr unsigned kLengthGroupBits = 4;
constexpr std::size_t kLengthGroupAll = 15;  // a group of 1111 adds 15 and another group follows
constexpr std::size_t kLongLengthBase = 8;

// Reads the input most significant bit first; every read says whether the bits were there.
class BitReader {
  public:
    explicit BitReader(std::span<const std::uint8_t> input) : input_(input) {}

    std::optional<unsigned> Take(unsigned count) {
        while (available_ < count) {
            if (next_ >= input_.size()) return std::nullopt;
            buffer_ = (buffer_ << 8) | input_[next_++];
            available_ += 8;
        }
        available_ -= count;
        return static_cast<unsigned>((buffer_ >> available_) & ((1u << count) - 1));
    }
    // The input byte the reader has reached, for messages.
    std::size_t position() const { return next_; }

  private:
    std::span<const std::uint8_t> input_;
    std::size_t next_ = 0;
    std::uint64_t buffer_ = 0;
    unsigned available_ = 0;
};

// The match length after the offset; nothing when the input ends inside it. `limit` bounds the long form
// so that a hostile run of 1111 groups stops as soon as it can no longer fit the output.
std::optional<std::size_t> TakeLength(BitReader& bits, std::size_t limit) {
    auto first = bits.Take(2);
    if (!first) return std::nullopt;
    if (*first < 3) return std::size_t{2} + *first;
    auto second = bits.Take(2);
    if (!second) return std::nullopt;
    if (*second < 3) return std::size_t{5} + *second;
    std::size_t length = kLongLengthBase;
    for (;;) {
        auto group = bits.Take(kLengthGroupBits);
        if (!group) return std::nullopt;
        length += *group;
        if (*group < kLengthGroupAll || length > limit) return length;
    }
}

LzsResult Refuse(std::size_t produced, const BitReader& bits, const std::string& what) {
    return LzsResult{false, produced, what + " (at compressed byte " + std::to_string(bits.position()) + ")"};
}

}  // namespace

LzsResult LzsDecode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
    BitReader bits(input);
    std::size_t produced = 0;
    for (;;) {
        auto kind = bits.Take(1);
        if (!kind) return Refuse(produced, bits, "the compressed data ends before the end marker");
        if (*kind == 0) {
            auto literal = bits.Take(8);
            if (!literal) return Refuse(produced, bits, "the compressed data ends inside a literal");
            if (produced == output.size()) return Refuse(produced, bits, "more data than the frame states");
            output[produced++] = static_cast<std::uint8_t>(*literal);
            continue;
        }
        auto shortForm = bits.Take(1);
        auto offset = shortForm ? bits.Take(*shortForm ? kShortOffsetBits : kLongOffsetBits) : std::nullopt;
        if (!offset) return Refuse(produced, bits, "the compressed data ends inside a match offset");
        if (*offset == 0) {
            if (*shortForm) break;  // the end marker
            return Refuse(produced, bits, "a match with offset 0");
        }
        auto length = TakeLength(bits, output.size() - produced);
        if (!length) return Refuse(produced, bits, "the compressed data ends inside a match length");
        if (*offset > produced) {
            return Refuse(produced, bits,
                          "a match reaching " + std::to_string(*offset) + " bytes back from byte " +
                              std::to_string(produced));
        }
        if (*length > output.size() - produced)
            return Refuse(produced, bits, "more data than the frame states");
        // Byte by byte: a match may overlap the bytes it produces (offset smaller than length).
        for (std::size_t i = 0; i < *length; ++i, ++produced) output[produced] = output[produced - *offset];
    }
    if (produced != output.size()) {
        return Refuse(produced, bits,
                      "the frame states " + std::to_string(output.size()) + " bytes but holds " +
                          std::to_string(produced));
    }
    return LzsResult{true, produced, {}};
}

}  // namespace ostrum::decode
