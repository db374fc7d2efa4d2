// SPDX-License-Identifier: GPL-3.0-or-later
// The LZS decoder against hand-written bit streams (each code of the format once), against the test-media
// writer's compressor (written separately from the same description), and against hostile blocks.

#include "decode/lzs_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lzs_compressor.h"
#include "support/same_bytes.h"

namespace ostrum::decode {
namespace {

// Writes bits most significant first, as the format stores them.
class Bits {
  public:
    Bits& Put(unsigned value, unsigned count) {
        for (unsigned i = count; i-- > 0;) {
            if (used_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1u) bytes_.back() |= static_cast<std::uint8_t>(0x80u >> (used_ % 8));
            ++used_;
        }
        return *this;
    }
    Bits& Literal(char c) { return Put(0, 1).Put(static_cast<std::uint8_t>(c), 8); }
    Bits& Match(unsigned offset, unsigned length) {
        Put(1, 1);
        if (offset < 128) {
            Put(1, 1).Put(offset, 7);
        } else {
            Put(0, 1).Put(offset, 11);
        }
        if (length <= 4) return Put(length - 2, 2);
        if (length <= 7) return Put(3, 2).Put(length - 5, 2);
        Put(15, 4);
        for (length -= 8; length >= 15; length -= 15) Put(15, 4);
        return Put(length, 4);
    }
    Bits& End() { return Put(1, 1).Put(1, 1).Put(0, 7); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
    std::size_t used_ = 0;
};

std::string Decode(const Bits& bits, std::size_t size, LzsResult* result = nullptr) {
    std::vector<std::uint8_t> out(size);
    const LzsResult got = LzsDecode(bits.bytes(), out);
    if (result != nullptr) *result = got;
    EXPECT_TRUE(got.ok || result != nullptr) << got.error;
    return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(got.produced));
}

TEST(LzsDecoder, LiteralsAndOverlappingShortMatch) {
    EXPECT_EQ(Decode(Bits().Literal('A').Literal('B').Match(2, 5).End(), 7), "ABABABA");
    EXPECT_EQ(Decode(Bits().Literal('x').Match(1, 2).End(), 3), "xxx");
    EXPECT_EQ(Decode(Bits().End(), 0), "");
}

TEST(LzsDecoder, EveryLengthCodeAndTheLongOffset) {
    std::string alphabet;
    Bits prefix;
    for (int i = 0; i < 300; ++i) {
        alphabet += static_cast<char>('a' + i % 26 + (i / 26) % 2 * ('A' - 'a'));
        prefix.Literal(alphabet.back());
    }
    for (unsigned length : {2u, 3u, 4u, 5u, 6u, 7u, 8u, 22u, 23u, 37u, 38u, 300u}) {
        Bits bits = prefix;
        bits.Match(300, length).End();
        std::string want = alphabet;
        for (unsigned i = 0; i < length; ++i) want += want[want.size() - 300];
        EXPECT_EQ(Decode(bits, want.size()), want) << "length " << length;
    }
    Bits shortOffset = prefix;
    shortOffset.Match(127, 9).End();
    EXPECT_EQ(Decode(shortOffset, 309), alphabet + alphabet.substr(173, 9));
}

TEST(LzsDecoder, HostileBlocksAreRefusedWithoutOverrun) {
    LzsResult result;
    // A match reaching before the first byte of output.
    Decode(Bits().Literal('a').Match(2, 2).End(), 3, &result);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("back"), std::string::npos) << result.error;
    // More output than stated, by a literal and by a match.
    Decode(Bits().Literal('a').Literal('b').End(), 1, &result);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.produced, 1u);
    Decode(Bits().Literal('a').Match(1, 300).End(), 10, &result);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("more data than the frame states"), std::string::npos);
    // Fewer than stated.
    Decode(Bits().Literal('a').End(), 2, &result);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("states 2 bytes but holds 1"), std::string::npos) << result.error;
    // Input ending before the end marker, inside a literal, inside a length.
    Decode(Bits().Literal('a'), 1, &result);
    EXPECT_FALSE(result.ok);
    Bits cut = Bits().Literal('a').Literal('b');
    std::vector<std::uint8_t> half(cut.bytes().begin(), cut.bytes().begin() + 1);
    std::vector<std::uint8_t> out(2);
    EXPECT_FALSE(LzsDecode(half, out).ok);
    // A long offset of 0 is no end marker.
    Decode(Bits().Literal('a').Put(1, 1).Put(0, 1).Put(0, 11).Put(0, 2), 3, &result);
    EXPECT_FALSE(result.ok);
    // An endless run of 1111 length groups stops at the output's size.
    Bits endless = Bits().Literal('a').Put(1, 1).Put(1, 1).Put(1, 7).Put(15, 4);
    for (int i = 0; i < 20000; ++i) endless.Put(15, 4);
    Decode(endless, 64, &result);
    EXPECT_FALSE(result.ok);
}

std::vector<std::uint8_t> Compressible(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> data;
    const std::string words[] = {"tape ", "backup ", "set ", "MTF ", "\n", "0123456789", "stream "};
    while (data.size() < size) {
        if (random() % 5 == 0) {
            data.push_back(static_cast<std::uint8_t>(random()));
        } else {
            const std::string& word = words[random() % std::size(words)];
            data.insert(data.end(), word.begin(), word.end());
        }
    }
    data.resize(size);
    return data;
}

TEST(LzsDecoder, DecodesWhatTheWritersCompressorMakes) {
    std::mt19937 random(42);
    std::vector<std::vector<std::uint8_t>> inputs = {{},
                                                     {7},
                                                     std::vector<std::uint8_t>(65536, 0),
                                                     Compressible(65536, 1),
                                                     Compressible(1000, 2),
                                                     Compressible(4097, 3)};
    std::vector<std::uint8_t> noise(65536);
    for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
    inputs.push_back(noise);
    for (const auto& input : inputs) {
        std::vector<std::uint8_t> compressed;
        mtfwriter::LzsCompress(input, compressed);
        std::vector<std::uint8_t> out(input.size());
        const LzsResult result = LzsDecode(compressed, out);
        EXPECT_TRUE(result.ok) << result.error << " (input of " << input.size() << " bytes)";
        EXPECT_TRUE(test_support::SameBytes(out, input)) << "input of " << input.size() << " bytes";
    }
}

}  // namespace
}  // namespace ostrum::decode
