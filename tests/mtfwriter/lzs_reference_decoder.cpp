// SPDX-License-Identifier: GPL-3.0-or-later
#include "lzs_reference_decoder.h"

#include "chain_walker.h"

namespace ostrum::mtfwriter::testing {

namespace {

class BitReader {
  public:
    explicit BitReader(std::span<const std::uint8_t> in) : in_(in) {}

    bool Get(int count, std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (bit_ >= in_.size() * 8) return false;
            const std::uint8_t byte = in_[bit_ / 8];
            value = (value << 1) | ((byte >> (7 - bit_ % 8)) & 1u);
            ++bit_;
        }
        return true;
    }
    // True when only zero bits are left.
    bool RestIsZero() {
        std::uint32_t v = 0;
        while (bit_ < in_.size() * 8) {
            if (!Get(1, v) || v != 0) return false;
        }
        return true;
    }
    std::size_t bytesUsed() const { return (bit_ + 7) / 8; }

  private:
    std::span<const std::uint8_t> in_;
    std::size_t bit_ = 0;
};

bool ReadLength(BitReader& bits, std::size_t& length) {
    std::uint32_t v = 0;
    if (!bits.Get(2, v)) return false;
    if (v < 3) {
        length = 2 + v;
        return true;
    }
    if (!bits.Get(2, v)) return false;
    if (v < 3) {
        length = 5 + v;
        return true;
    }
    length = 8;
    while (true) {
        if (!bits.Get(4, v)) return false;
        if (v < 15) {
            length += v;
            return true;
        }
        length += 15;
    }
}

}  // namespace

Decoded LzsDecode(std::span<const std::uint8_t> block) {
    BitReader bits(block);
    std::vector<std::uint8_t> out;
    while (true) {
        std::uint32_t flag = 0;
        std::uint32_t v = 0;
        if (!bits.Get(1, flag)) return DecodeError{"no end marker"};
        if (flag == 0) {
            if (!bits.Get(8, v)) return DecodeError{"truncated literal"};
            out.push_back(static_cast<std::uint8_t>(v));
            continue;
        }
        std::uint32_t shortForm = 0;
        if (!bits.Get(1, shortForm)) return DecodeError{"truncated offset"};
        std::uint32_t offset = 0;
        if (!bits.Get(shortForm ? 7 : 11, offset)) return DecodeError{"truncated offset"};
        if (offset == 0) {
            if (!shortForm) return DecodeError{"long offset 0"};
            if (bits.bytesUsed() != block.size() || !bits.RestIsZero()) {
                return DecodeError{"bytes or non-zero bits after the end marker"};
            }
            return out;
        }
        std::size_t length = 0;
        if (!ReadLength(bits, length)) return DecodeError{"truncated length"};
        if (offset > out.size()) return DecodeError{"offset before the start of the output"};
        for (std::size_t i = 0; i < length; ++i) out.push_back(out[out.size() - offset]);
    }
}

Decoded DecodeFrames(std::span<const std::uint8_t> data, std::vector<FrameInfo>* frames) {
    std::vector<std::uint8_t> out;
    std::uint64_t pos = 0;
    std::uint8_t expectedSequence = 1;
    std::uint64_t expectedRemaining = 0;
    bool first = true;
    while (pos < data.size()) {
        if (data.size() - pos < 24) return DecodeError{"truncated frame header"};
        FrameInfo f;
        if (data[pos] != 'F' || data[pos + 1] != 'H') return DecodeError{"frame id is not FH"};
        if (XorOfWords(data, pos, 11) != ReadU16(data, pos + 22)) return DecodeError{"frame header checksum"};
        f.originalMediaAttributes = ReadU16(data, pos + 2);
        f.remainingUncompressedSize = ReadU64(data, pos + 4);
        f.uncompressedSize = ReadU32(data, pos + 12);
        f.compressedSize = ReadU32(data, pos + 16);
        f.sequenceNumber = data[pos + 20];
        f.stored = f.compressedSize == f.uncompressedSize;
        if (f.sequenceNumber != expectedSequence) return DecodeError{"frame sequence number"};
        if (!first && f.remainingUncompressedSize != expectedRemaining) return DecodeError{"remaining size"};
        if (f.uncompressedSize > 65536 || f.uncompressedSize > f.remainingUncompressedSize) {
            return DecodeError{"frame too large"};
        }
        if (data.size() - pos - 24 < f.compressedSize) return DecodeError{"truncated frame payload"};
        const auto payload = data.subspan(pos + 24, f.compressedSize);
        if (f.stored) {
            out.insert(out.end(), payload.begin(), payload.end());
        } else {
            Decoded d = LzsDecode(payload);
            if (auto* e = std::get_if<DecodeError>(&d)) return *e;
            const auto& bytes = std::get<std::vector<std::uint8_t>>(d);
            if (bytes.size() != f.uncompressedSize) return DecodeError{"frame decodes to the wrong size"};
            out.insert(out.end(), bytes.begin(), bytes.end());
        }
        expectedRemaining = f.remainingUncompressedSize - f.uncompressedSize;
        expectedSequence = static_cast<std::uint8_t>(expectedSequence + 1);
        first = false;
        pos += 24 + f.compressedSize;
        if (frames) frames->push_back(f);
    }
    if (!first && expectedRemaining != 0)
        return DecodeError{"frames end before the remaining size is used up"};
    return out;
}

}  // namespace ostrum::mtfwriter::testing
