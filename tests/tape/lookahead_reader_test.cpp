// SPDX-License-Identifier: GPL-3.0-or-later
// The read queue of the tape scanner: bytes read ahead across marks and failed reads, handed out
// later exactly as the drive gave them, and the limits of reading ahead.

#include "tape/lookahead_reader.h"

#include <gtest/gtest.h>

#include "tap_builder.h"
#include "tape/block_pieces.h"
#include "tape/tape_devices.h"

namespace ostrum::tape {
namespace {

using testing::Pattern;
using testing::TapBuilder;
using testing::TempFolder;

class LookaheadReaderTest : public ::testing::Test {
  protected:
    std::unique_ptr<TapeDrive> Open(const TapBuilder& tape, VirtualTapeOptions options = {}) {
        options.path = folder_.path("t.tap").string();
        tape.WriteTo(options.path);
        EXPECT_TRUE(devices_.AttachVirtual(0, options));
        std::unique_ptr<TapeDrive> drive;
        EXPECT_TRUE(devices_.Open("//./tape0", drive));
        return drive;
    }
    std::vector<std::uint8_t> Following(LookaheadReader& reader, std::uint64_t distance, std::size_t count) {
        std::vector<std::uint8_t> out(count);
        out.resize(reader.following().ReadFollowing(distance, out));
        return out;
    }

    TempFolder folder_;
    TapeDevices devices_;
    std::atomic<bool> stop_{false};
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(kTapeReadSize);
};

TEST_F(LookaheadReaderTest, FollowingBytesCrossMarksAndErrorsAndTheQueueIsReplayedInOrder) {
    const auto a = Pattern(100, 1), b = Pattern(200, 2), c = Pattern(300, 3);
    VirtualTapeOptions options;
    options.errorRecords = {1};
    auto drive =
        Open(TapBuilder().Record(a).Mark().Record(Pattern(50, 9)).Record(b).Record(c).EndOfMedium(), options);
    LookaheadReader reader(*drive, stop_, {1 << 20, 100, 8});
    EXPECT_EQ(reader.Next(buffer_).count, 100u);

    // 250 bytes after A: all of B and the first 50 of C; the mark and the failed record deliver nothing.
    std::vector<std::uint8_t> expected(b);
    expected.insert(expected.end(), c.begin(), c.begin() + 50);
    EXPECT_EQ(Following(reader, 0, 250), expected);
    EXPECT_EQ(reader.queuedReads(), 4u);
    // Farther than the tape holds: what there is, up to the end of data.
    EXPECT_EQ(Following(reader, 450, 1000), std::vector<std::uint8_t>(c.begin() + 250, c.end()));

    EXPECT_EQ(reader.Next(buffer_).end, ReadEnd::Filemark);
    const TapeRead failed = reader.Next(buffer_);
    EXPECT_EQ(failed.end, ReadEnd::Error);
    EXPECT_NE(failed.error.find("data record 1"), std::string::npos);
    TapeRead read = reader.Next(buffer_);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer_.begin(), buffer_.begin() + read.count), b);
    read = reader.Next(buffer_);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer_.begin(), buffer_.begin() + read.count), c);
    EXPECT_EQ(reader.Next(buffer_).end, ReadEnd::EndOfData);
    EXPECT_EQ(reader.queuedReads(), 0u);
}

TEST_F(LookaheadReaderTest, ReadingAheadStopsAtItsLimitsAFailureRunAndStop) {
    TapBuilder tape;
    for (int i = 0; i < 10; ++i) tape.Record(Pattern(1000, i));
    for (int i = 0; i < 5; ++i) tape.BadRecord(Pattern(10, i));
    tape.Record(Pattern(1000, 99)).EndOfMedium();
    auto drive = Open(tape);

    LookaheadReader byBytes(*drive, stop_, {3000, 100, 8});
    byBytes.Next(buffer_);
    EXPECT_EQ(Following(byBytes, 0, 10000).size(), 3000u);
    EXPECT_EQ(byBytes.queuedReads(), 3u);

    ASSERT_TRUE(drive->Rewind());
    LookaheadReader byReads(*drive, stop_, {1 << 20, 2, 8});
    byReads.Next(buffer_);
    EXPECT_EQ(Following(byReads, 0, 10000).size(), 2000u);

    ASSERT_TRUE(drive->Rewind());
    LookaheadReader byFailures(*drive, stop_, {1 << 20, 100, 3});
    byFailures.Next(buffer_);
    EXPECT_EQ(Following(byFailures, 0, 100000).size(), 9000u);
    EXPECT_EQ(byFailures.queuedReads(), 12u);  // nine records, then three failures in a row

    ASSERT_TRUE(drive->Rewind());
    LookaheadReader stopped(*drive, stop_, {1 << 20, 100, 8});
    stopped.Next(buffer_);
    stop_ = true;
    EXPECT_TRUE(Following(stopped, 0, 100).empty());
    EXPECT_EQ(stopped.queuedReads(), 0u);
}

// A queued read used to be copied whole into the caller's buffer, whatever its size, and a held block's
// length was taken as given: both wrote or read past the end of a buffer.
TEST_F(LookaheadReaderTest, LengthsBeyondTheBufferAreNeverTrusted) {
    const auto a = Pattern(100, 1), b = Pattern(3000, 2);
    auto drive = Open(TapBuilder().Record(a).Record(b).EndOfMedium());
    LookaheadReader reader(*drive, stop_, {1 << 20, 100, 8});
    EXPECT_EQ(reader.Next(buffer_).count, 100u);
    EXPECT_EQ(Following(reader, 0, 3000), b);
    // A 1000-byte buffer takes the queued 3000-byte read in pieces, in order.
    std::vector<std::uint8_t> small(1000), joined;
    for (std::size_t expected : {1000u, 1000u, 1000u}) {
        const TapeRead read = reader.Next(small);
        ASSERT_EQ(read.count, expected);
        joined.insert(joined.end(), small.begin(), small.end());
    }
    EXPECT_EQ(joined, b);
    EXPECT_EQ(reader.Next(small).end, ReadEnd::EndOfData);
    EXPECT_EQ(reader.Next(std::span<std::uint8_t>()).end, ReadEnd::Error);

    BlockPieces pieces;
    std::fill_n(pieces.Space(10).begin(), 10, 7);
    pieces.Hold(100);  // more than the space read into
    std::vector<std::uint8_t> out(200, 0);
    EXPECT_EQ(pieces.Take(out), 10u);
    EXPECT_FALSE(pieces.pending());
}

}  // namespace
}  // namespace ostrum::tape
