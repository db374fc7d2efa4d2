// SPDX-License-Identifier: GPL-3.0-or-later
// The frame decoder of compressed streams, fed in pieces of every size the media may deliver, and its
// checks of damaged frame chains.

#include "decode/compressed_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "lzs_compressor.h"
#include "mtf_writer.h"
#include "support/same_bytes.h"

namespace ostrum::decode {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Original(std::size_t size) {
    Bytes data(size);
    mtfwriter::FillGenerated(11, 0, data);
    // Repeats make most frames compress; the generated tail of each frame stays noisy.
    for (std::size_t i = 0; i + 1 < size / 2; ++i) data[i] = static_cast<std::uint8_t>("MTF frame "[i % 10]);
    return data;
}

// The stream of frames the writer makes for `data`, each frame's offset in it noted.
Bytes Frames(const Bytes& data, std::vector<std::size_t>* starts = nullptr, int corrupt = -1) {
    Bytes stream;
    std::uint8_t sequence = 1;
    for (std::size_t done = 0; done < data.size(); done += kMaxFrameBytes, ++sequence) {
        const std::size_t n = std::min(kMaxFrameBytes, data.size() - done);
        if (starts != nullptr) starts->push_back(stream.size());
        mtfwriter::AppendFrame(std::span(data).subspan(done, n),
                               {.remainingUncompressedSize = data.size() - done,
                                .sequenceNumber = sequence,
                                .corruptChecksum = corrupt == sequence - 1},
                               stream);
    }
    return stream;
}

struct Decoded {
    CompressedStreamDecoder::Status status = CompressedStreamDecoder::Status::Ok;
    Bytes out;
    std::string error;
};

Decoded Feed(const Bytes& stream, std::size_t piece) {
    CompressedStreamDecoder decoder;
    Decoded result;
    const auto collect = [&](std::span<const std::uint8_t> bytes) {
        result.out.insert(result.out.end(), bytes.begin(), bytes.end());
        return true;
    };
    for (std::size_t at = 0; at < stream.size() && result.status == CompressedStreamDecoder::Status::Ok;
         at += piece) {
        result.status =
            decoder.Take(std::span(stream).subspan(at, std::min(piece, stream.size() - at)), collect);
    }
    if (result.status == CompressedStreamDecoder::Status::Ok) result.status = decoder.Finish();
    result.error = decoder.error();
    return result;
}

TEST(CompressedStream, FramesArrivingInAnyPiecesDecodeToTheOriginal) {
    const Bytes data = Original(3 * kMaxFrameBytes + 1234);
    const Bytes stream = Frames(data);
    ASSERT_LT(stream.size(), data.size());  // at least some frames were compressed
    for (std::size_t piece : {std::size_t{1}, std::size_t{23}, std::size_t{24}, std::size_t{4096},
                              std::size_t{65536}, stream.size()}) {
        const Decoded decoded = Feed(stream, piece);
        EXPECT_EQ(decoded.status, CompressedStreamDecoder::Status::Ok) << decoded.error << " piece " << piece;
        EXPECT_TRUE(test_support::SameBytes(decoded.out, data)) << "piece " << piece;
    }
    EXPECT_EQ(Feed({}, 1).status, CompressedStreamDecoder::Status::Ok);  // an empty file has no frames
}

TEST(CompressedStream, StoredFramesAreCopied) {
    Bytes noise(kMaxFrameBytes + 10);
    mtfwriter::FillGenerated(99, 0, noise);
    const Bytes stream = Frames(noise);
    ASSERT_EQ(stream.size(), noise.size() + 2 * frame_hdr::kSize);  // incompressible: both frames stored
    EXPECT_TRUE(test_support::SameBytes(Feed(stream, 1000).out, noise));
}

TEST(CompressedStream, DamagedChainsAreReportedWithTheFrame) {
    const Bytes data = Original(3 * kMaxFrameBytes);
    std::vector<std::size_t> starts;
    const Bytes stream = Frames(data, &starts);

    Decoded bad = Feed(Frames(data, nullptr, 1), 4096);
    EXPECT_EQ(bad.status, CompressedStreamDecoder::Status::Damaged);
    EXPECT_NE(bad.error.find("compressed frame 2"), std::string::npos) << bad.error;
    EXPECT_NE(bad.error.find("checksum"), std::string::npos);
    EXPECT_EQ(bad.out.size(), kMaxFrameBytes);  // the first frame was delivered

    Bytes missing(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(starts[1]));
    missing.insert(missing.end(), stream.begin() + static_cast<std::ptrdiff_t>(starts[2]), stream.end());
    Decoded gap = Feed(missing, 4096);
    EXPECT_EQ(gap.status, CompressedStreamDecoder::Status::Damaged);
    EXPECT_NE(gap.error.find("remain"), std::string::npos) << gap.error;

    for (std::size_t cut : {starts[2], starts[2] + 10, stream.size() - 1}) {
        Decoded shortStream =
            Feed(Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut)), 4096);
        EXPECT_EQ(shortStream.status, CompressedStreamDecoder::Status::Damaged) << "cut at " << cut;
        EXPECT_NE(shortStream.error.find("the stream ends"), std::string::npos) << shortStream.error;
    }

    Bytes notAFrame = stream;
    notAFrame[0] = 'X';
    EXPECT_NE(Feed(notAFrame, 4096).error.find("no \"FH\" frame header"), std::string::npos);
}

TEST(CompressedStream, HostileSizesAreRefusedBeforeAnyAllocation) {
    // A header with a correct checksum that states more than a frame can hold, then one whose compressed
    // size exceeds its uncompressed size.
    const auto header = [](std::uint32_t uncompressed, std::uint32_t compressed) {
        Bytes h(frame_hdr::kSize, 0);
        h[0] = 'F';
        h[1] = 'H';
        const std::uint64_t remaining = uncompressed;
        for (int i = 0; i < 8; ++i)
            h[frame_hdr::kRemainingUncompressedSize + i] = static_cast<std::uint8_t>(remaining >> (8 * i));
        for (int i = 0; i < 4; ++i)
            h[frame_hdr::kUncompressedSize + i] = static_cast<std::uint8_t>(uncompressed >> (8 * i));
        for (int i = 0; i < 4; ++i)
            h[frame_hdr::kCompressedSize + i] = static_cast<std::uint8_t>(compressed >> (8 * i));
        h[frame_hdr::kSequenceNumber] = 1;
        std::uint16_t sum = 0;
        for (std::size_t w = 0; w < frame_hdr::kChecksum; w += 2)
            sum ^= static_cast<std::uint16_t>(h[w] | (h[w + 1] << 8));
        h[frame_hdr::kChecksum] = static_cast<std::uint8_t>(sum);
        h[frame_hdr::kChecksum + 1] = static_cast<std::uint8_t>(sum >> 8);
        return h;
    };
    EXPECT_NE(Feed(header(0xFFFFFFFF, 10), 24).error.find("more than a frame holds"), std::string::npos);
    EXPECT_NE(Feed(header(100, 200), 24).error.find("exceeds its uncompressed size"), std::string::npos);
}

TEST(CompressedStream, RefusedOutputStopsTheDecoder) {
    const Bytes stream = Frames(Original(2 * kMaxFrameBytes));
    CompressedStreamDecoder decoder;
    int calls = 0;
    const auto refuse = [&](std::span<const std::uint8_t>) { return ++calls < 1; };
    EXPECT_EQ(decoder.Take(stream, refuse), CompressedStreamDecoder::Status::OutputFailed);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace ostrum::decode
