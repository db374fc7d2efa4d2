// SPDX-License-Identifier: GPL-3.0-or-later
// The LZS compressor and the compressed-stream frames, checked with the reference decoder written from the
// bit format alone.
#include "lzs_compressor.h"

#include <gtest/gtest.h>

#include <random>

#include "chain_walker.h"
#include "lzs_reference_decoder.h"
#include "mtf_writer.h"
#include "test_media.h"

namespace ostrum::mtfwriter::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Compress(const Bytes& in) {
    Bytes out;
    LzsCompress(in, out);
    return out;
}

void ExpectRoundTrip(const Bytes& in) {
    const Bytes packed = Compress(in);
    const Decoded d = LzsDecode(packed);
    ASSERT_TRUE(std::holds_alternative<Bytes>(d))
        << std::get<DecodeError>(d).what << " (size " << in.size() << ")";
    ASSERT_EQ(std::get<Bytes>(d), in);
}

Bytes RandomBytes(std::size_t n, std::uint32_t seed, int alphabet = 256) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(0, alphabet - 1);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>('a' + dist(rng));
    return b;
}

TEST(LzsBits, HandEncodedExamples) {
    // Empty input: only the end marker 1 1 0000000, then zeros to the byte boundary.
    EXPECT_EQ(Compress({}), (Bytes{0xC0, 0x00}));
    // 'A' (0x41): literal 0 01000001, end marker 110000000 -> 001000001 110000000 000000.
    EXPECT_EQ(Compress({'A'}), (Bytes{0x20, 0xE0, 0x00}));
    // "AAAAAAAAAA": literal A, then a match at offset 1 of length 9 (1111 0001), overlapping its own output:
    // 00100000 1|1100000 01|111100 01|110000 000|00000 -> 35 bits, five bytes.
    EXPECT_EQ(Compress(Bytes(10, 'A')), (Bytes{0x20, 0xE0, 0x7C, 0x70, 0x00}));
}

TEST(LzsBits, EveryMatchLengthEncodesAsDescribed) {
    // A literal then one match of length L at offset 1: 9 + 9 + length bits + 9 end-marker bits.
    for (std::size_t length = 2; length <= 80; ++length) {
        SCOPED_TRACE(length);
        const Bytes in(length + 1, 'z');
        std::size_t lengthBits = length <= 4 ? 2 : length <= 7 ? 4 : 4 + 4 * (1 + (length - 8) / 15);
        EXPECT_EQ(Compress(in).size(), (9 + 9 + lengthBits + 9 + 7) / 8);
        ExpectRoundTrip(in);
    }
}

TEST(LzsRoundTrip, AssortedData) {
    ExpectRoundTrip({});
    ExpectRoundTrip({0});
    ExpectRoundTrip({1, 2});
    ExpectRoundTrip(RandomBytes(65536, 1));
    ExpectRoundTrip(Bytes(65536, 0));
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "The quick brown fox " + std::to_string(i % 97) + ". ";
    const Bytes textBytes = BytesOf(text);
    ExpectRoundTrip(textBytes);
    EXPECT_LT(Compress(textBytes).size(), textBytes.size() / 3);
    // Repeats just inside, at and beyond the 2047-byte window.
    for (std::size_t period : {127u, 128u, 2046u, 2047u, 2048u, 3000u}) {
        Bytes block = RandomBytes(period, static_cast<std::uint32_t>(period));
        Bytes in;
        for (int r = 0; r < 4; ++r) in.insert(in.end(), block.begin(), block.end());
        SCOPED_TRACE(period);
        ExpectRoundTrip(in);
        if (period <= 2047) {
            EXPECT_LT(Compress(in).size(), in.size() / 2);
        }
    }
}

TEST(LzsRoundTrip, RandomInputsOverSmallAlphabets) {
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
        const auto size = static_cast<std::size_t>(rng() % 6000);
        const int alphabet = 1 + static_cast<int>(rng() % 6);
        ExpectRoundTrip(RandomBytes(size, static_cast<std::uint32_t>(rng()), alphabet));
    }
}

TEST(LzsFrames, StoredWhenNotSmallerCompressedOtherwise) {
    Bytes out;
    const Bytes noise = RandomBytes(1000, 3);
    AppendFrame(noise, {.remainingUncompressedSize = 1000}, out);
    std::vector<FrameInfo> frames;
    Decoded d = DecodeFrames(out, &frames);
    ASSERT_TRUE(std::holds_alternative<Bytes>(d)) << std::get<DecodeError>(d).what;
    EXPECT_EQ(std::get<Bytes>(d), noise);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].stored);
    EXPECT_EQ(out.size(), 24u + 1000u);

    out.clear();
    frames.clear();
    const Bytes zeros(4000, 0);
    AppendFrame(zeros, {.originalMediaAttributes = 0x20, .remainingUncompressedSize = 4000}, out);
    d = DecodeFrames(out, &frames);
    ASSERT_TRUE(std::holds_alternative<Bytes>(d)) << std::get<DecodeError>(d).what;
    EXPECT_EQ(std::get<Bytes>(d), zeros);
    EXPECT_FALSE(frames[0].stored);
    EXPECT_EQ(frames[0].originalMediaAttributes, 0x20);
    EXPECT_EQ(out.size(), 24u + frames[0].compressedSize);

    out.clear();
    AppendFrame(zeros, {.remainingUncompressedSize = 4000, .corruptChecksum = true}, out);
    d = DecodeFrames(out);
    ASSERT_TRUE(std::holds_alternative<DecodeError>(d));
    EXPECT_EQ(std::get<DecodeError>(d).what, "frame header checksum");

    EXPECT_THROW(AppendFrame(Bytes(65537), {}, out), std::invalid_argument);
}

// Compressed files in a written set: frames of at most 64 KiB, each compressed on its own, in sequence.
TEST(LzsInMedia, FilesSpanningFramesDecodeToTheirData) {
    std::string text;
    for (int i = 0; text.size() < 200000; ++i)
        text += "row " + std::to_string(i) + ";value=" + std::to_string(i * 7) + "\n";
    const std::vector<FileData> contents = {BytesOf(""),       BytesOf("q"),
                                            Bytes(65536, 'x'), Bytes(65537, 'y'),
                                            BytesOf(text),     GeneratedData{.size = 150000, .seed = 8}};
    MediaDescription media{.tape = {.logicalBlockSize = 512}};
    DataSet set{.info = {.name = "packed", .compressed = true}};
    for (std::size_t i = 0; i < contents.size(); ++i) {
        set.entries.push_back(
            FileEntry{.name = "F" + std::to_string(i) + ".DAT", .data = contents[i], .csum = i % 2 == 0});
    }
    media.sets.push_back(set);
    MemorySink sink;
    const Manifest m = WriteMedia(media, sink);
    const Walk walk = WalkImage(sink.bytes, 512);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    ASSERT_EQ(m.files.size(), contents.size());
    for (std::size_t i = 0; i < contents.size(); ++i) {
        SCOPED_TRACE(i);
        const ManifestFile& f = m.files[i];
        EXPECT_TRUE(f.compressed);
        EXPECT_EQ(f.originalLength, DataSize(contents[i]));
        std::vector<FrameInfo> frames;
        const Decoded d = DecodeFrames(Slice(sink.bytes, *f.dataOffset, f.dataLength), &frames);
        ASSERT_TRUE(std::holds_alternative<Bytes>(d)) << std::get<DecodeError>(d).what;
        EXPECT_EQ(std::get<Bytes>(d), ExpectedBytes(contents[i]));
        EXPECT_EQ(frames.size(), (DataSize(contents[i]) + 65535) / 65536);
        if (!frames.empty()) {
            EXPECT_EQ(frames[0].remainingUncompressedSize, DataSize(contents[i]));
            EXPECT_EQ(frames[0].originalMediaAttributes, i % 2 == 0 ? 0x20 : 0);
        }
    }
    EXPECT_LT(m.files[4].dataLength, text.size() / 2);
    EXPECT_GT(m.files[5].dataLength, 150000u) << "noise is stored, plus frame headers";
}

TEST(LzsInMedia, WrongChecksumOnTheChosenFrameOnly) {
    MediaDescription media;
    media.sets.push_back(
        {.info = {.name = "bad", .compressed = true},
         .entries = {FileEntry{.name = "B.BIN", .data = Bytes(200000, 'b'), .badFrameChecksum = 1}}});
    MemorySink sink;
    const Manifest m = WriteMedia(media, sink);
    const Bytes stored = Slice(sink.bytes, *m.files[0].dataOffset, m.files[0].dataLength);
    std::vector<FrameInfo> frames;
    const Decoded d = DecodeFrames(stored, &frames);
    ASSERT_TRUE(std::holds_alternative<DecodeError>(d));
    EXPECT_EQ(std::get<DecodeError>(d).what, "frame header checksum");
    EXPECT_EQ(frames.size(), 1u) << "the first frame is sound, the second is not";
}

TEST(LzsInMedia, LargeStreamsAreCompressedWithoutBeingHeld) {
    constexpr std::uint64_t kSize = (16u << 20) + 12345;  // above the in-memory limit: compressed twice
    MediaDescription media;
    media.sets.push_back(
        {.info = {.name = "large", .compressed = true},
         .entries = {
             FileEntry{.name = "L.BIN", .data = GeneratedData{.size = kSize, .seed = 11}, .csum = true}}});
    MemorySink sink;
    const Manifest m = WriteMedia(media, sink);
    const Walk walk = WalkImage(sink.bytes, 512);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    const Decoded d = DecodeFrames(Slice(sink.bytes, *m.files[0].dataOffset, m.files[0].dataLength));
    ASSERT_TRUE(std::holds_alternative<Bytes>(d)) << std::get<DecodeError>(d).what;
    EXPECT_EQ(std::get<Bytes>(d), ExpectedBytes(GeneratedData{.size = kSize, .seed = 11}));
}

}  // namespace
}  // namespace ostrum::mtfwriter::testing
