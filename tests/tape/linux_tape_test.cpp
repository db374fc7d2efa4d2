// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux backend against a played st drive: the open, the status and SCSI queries, the read
// outcomes, oversized blocks, and the calls made.

#include "tape/linux_tape.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include "played_drive.h"
#include "tap_builder.h"
#include "tape/tape_devices.h"

namespace ostrum::tape {
namespace {

using testing::Pattern;
using testing::PlayedDrive;

class LinuxTapeTest : public ::testing::Test {
  protected:
    std::unique_ptr<TapeDrive> OpenDrive(const std::string& name = "//./tape3") {
        std::unique_ptr<TapeDrive> drive;
        const TapeResult opened = devices_.Open(name, drive);
        EXPECT_TRUE(opened) << opened.error();
        return drive;
    }
    TapeRead ReadOnce(TapeDrive& drive, std::vector<std::uint8_t>* bytes = nullptr) {
        buffer_.assign(kTapeReadSize, 0);
        TapeRead read = drive.Read(buffer_);
        if (bytes) bytes->assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(read.count));
        return read;
    }

    std::shared_ptr<PlayedDrive> played_ = std::make_shared<PlayedDrive>();
    TapeDevices devices_{played_};
    std::vector<std::uint8_t> buffer_;
};

TEST_F(LinuxTapeTest, OpensTheNonRewindingDeviceReadOnlyNonBlockingAndClosesIt) {
    {
        auto drive = OpenDrive("//./tape3");
        ASSERT_TRUE(drive);
        EXPECT_EQ(drive->name(), "//./tape3");
    }
    EXPECT_EQ(played_->log, (std::vector<std::string>{"open /dev/nst3 ro nonblock", "close"}));
    EXPECT_EQ(played_->openFlags & O_CLOEXEC, O_CLOEXEC);
}

TEST_F(LinuxTapeTest, OpenFailuresSayWhyAndInterruptedCallsAreRetried) {
    std::unique_ptr<TapeDrive> drive;
    played_->openError = ENOENT;
    EXPECT_EQ(devices_.Open("//./tape0", drive).fault(), TapeFault::NotFound);
    played_->openError = EACCES;
    const TapeResult denied = devices_.Open("//./tape0", drive);
    EXPECT_EQ(denied.fault(), TapeFault::AccessDenied);
    EXPECT_NE(denied.error().find("/dev/nst0"), std::string::npos) << denied.error();
    EXPECT_NE(denied.error().find("Permission denied"), std::string::npos) << denied.error();

    // The driver's one-open rule: a second open while the first is held is refused as busy.
    played_->openError = 0;
    auto first = OpenDrive("//./tape0");
    const TapeResult busy = devices_.Open("//./tape0", drive);
    EXPECT_EQ(busy.fault(), TapeFault::Busy);
    EXPECT_NE(busy.error().find("in use"), std::string::npos);
    first.reset();

    played_->interruptions = 2;
    played_->log.clear();
    EXPECT_TRUE(OpenDrive("//./tape0"));
    EXPECT_EQ(played_->Count("open /dev/nst0 ro nonblock"), 3u);
}

TEST_F(LinuxTapeTest, MediaFiguresFromStatusCapacityLogAndPartitionPage) {
    played_->blockSize = 0;
    played_->capacity = PlayedDrive::CapacityPage{11'444'224, 9'000'000};  // about 12 TB, far above 4 GiB
    played_->partitions = PlayedDrive::PartitionPage{3, 1};
    auto drive = OpenDrive();
    TapeMediaParameters media;
    const TapeResult queried = drive->GetMediaParameters(media);
    ASSERT_TRUE(queried) << queried.error();
    EXPECT_EQ(media.capacity, 11'444'224LL * 1048576);
    EXPECT_EQ(media.remaining, 9'000'000LL * 1048576);
    EXPECT_EQ(media.blockSize, 0u);
    EXPECT_EQ(media.partitionCount, 2u);
    EXPECT_TRUE(media.writeProtected);
    EXPECT_EQ(played_->Count("SG_IO 4d 00 71"), 1u);  // LOG SENSE, cumulative values of page 0x31
    EXPECT_EQ(played_->Count("SG_IO 1a 08 11"), 1u);  // MODE SENSE(6) of page 0x11, no block descriptors

    played_->blockSize = 1024;
    ASSERT_TRUE(drive->GetMediaParameters(media));
    EXPECT_EQ(media.blockSize, 1024u);
}

TEST_F(LinuxTapeTest, DriveThatDoesNotAnswerSCSIQueriesReportsZeroesAndOnePartition) {
    auto drive = OpenDrive();
    TapeMediaParameters media;
    media.capacity = media.remaining = 99;
    ASSERT_TRUE(drive->GetMediaParameters(media));
    EXPECT_EQ(media.capacity, 0);
    EXPECT_EQ(media.remaining, 0);
    EXPECT_EQ(media.partitionCount, 1u);
    TapeDriveParameters info;
    ASSERT_TRUE(drive->GetDriveParameters(info));
    EXPECT_EQ(info.maximumBlockSize, 0u);
    EXPECT_EQ(info.maximumPartitionCount, 1u);
    EXPECT_EQ(info.featuresLow & kDriveVariableBlock, kDriveVariableBlock);
}

TEST_F(LinuxTapeTest, VariableBlockFeatureFollowsTheBlockLimits) {
    auto drive = OpenDrive();
    TapeDriveParameters info;
    played_->limits = PlayedDrive::Limits{0xFFFFFF, 1};
    ASSERT_TRUE(drive->GetDriveParameters(info));
    EXPECT_EQ(info.featuresLow, kDriveVariableBlock);
    EXPECT_EQ(info.maximumBlockSize, 0xFFFFFFu);
    EXPECT_EQ(info.minimumBlockSize, 1u);
    played_->limits = PlayedDrive::Limits{512, 512};  // a fixed-block drive
    ASSERT_TRUE(drive->GetDriveParameters(info));
    EXPECT_EQ(info.featuresLow & kDriveVariableBlock, 0u);
}

TEST_F(LinuxTapeTest, DriveWithoutMediumOpensButFailsMediaQueryRewindAndRead) {
    played_->medium = false;
    auto drive = OpenDrive();
    ASSERT_TRUE(drive);
    TapeDriveParameters info;
    EXPECT_TRUE(drive->GetDriveParameters(info));
    TapeMediaParameters media;
    EXPECT_EQ(drive->GetMediaParameters(media).fault(), TapeFault::NoMedium);
    const TapeResult rewind = drive->Rewind();
    EXPECT_EQ(rewind.fault(), TapeFault::NoMedium);
    EXPECT_NE(rewind.error().find("rewind"), std::string::npos) << rewind.error();
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::Error);
}

TEST_F(LinuxTapeTest, RewindAndVariableBlocksUseTheTapeOperations) {
    auto drive = OpenDrive();
    played_->log.clear();
    EXPECT_TRUE(drive->Rewind());
    EXPECT_TRUE(drive->SetMediaParameters(0));
    EXPECT_EQ(played_->log, (std::vector<std::string>{"MTREW", "MTSETBLK 0"}));
}

TEST_F(LinuxTapeTest, ReadsTellFilemarkSetmarkErrorAndEndOfData) {
    const auto a = Pattern(32768, 1), b = Pattern(512, 2);
    played_->Block(a).Filemark().Block(b).Setmark().MediumError().Block(a);
    auto drive = OpenDrive();
    std::vector<std::uint8_t> got;
    EXPECT_EQ(ReadOnce(*drive, &got).count, 32768u);
    EXPECT_EQ(got, a);
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::Filemark);
    EXPECT_EQ(ReadOnce(*drive, &got).count, 512u);  // the data behind the mark
    EXPECT_EQ(got, b);
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::Setmark);
    const TapeRead error = ReadOnce(*drive);
    EXPECT_EQ(error.end, ReadEnd::Error);
    EXPECT_NE(error.error.find("//./tape3 (/dev/nst3)"), std::string::npos) << error.error;
    EXPECT_NE(error.error.find("block 4"), std::string::npos) << error.error;
    EXPECT_NE(error.error.find("Input/output error"), std::string::npos) << error.error;
    EXPECT_EQ(ReadOnce(*drive).count, 32768u);  // the block behind the bad one
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::EndOfData);
    // The driver would answer EIO now; the layer keeps reporting the end of data without asking it.
    const std::size_t reads = played_->CountPrefix("read");
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::EndOfData);
    EXPECT_EQ(played_->CountPrefix("read"), reads);
    // Each read asked for kTapeReadSize: the drive gave no block limits.
    EXPECT_EQ(played_->Count("read 65536"), reads);
    ASSERT_TRUE(drive->Rewind());
    EXPECT_EQ(ReadOnce(*drive).count, 32768u);
}

TEST_F(LinuxTapeTest, FilemarkSeenOnlyInTheFileNumberStillCountsAsFilemark) {
    played_->flagsMarks = false;
    played_->Block(Pattern(100, 1)).Filemark().Block(Pattern(200, 2));
    auto drive = OpenDrive();
    ASSERT_TRUE(drive->Rewind());
    EXPECT_EQ(ReadOnce(*drive).count, 100u);
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::Filemark);
    EXPECT_EQ(ReadOnce(*drive).count, 200u);
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::EndOfData);
}

TEST_F(LinuxTapeTest, BlocksLongerThanTheReadArriveWholeInPiecesOfAtMostTapeReadSize) {
    played_->limits = PlayedDrive::Limits{1 << 20, 1};
    const auto big = Pattern(300000, 5), small = Pattern(4000, 6);
    played_->Block(big).Block(small).Filemark().Block(big);
    auto drive = OpenDrive();
    std::vector<std::uint8_t> joined, piece;
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(ReadOnce(*drive, &piece).succeeded());
        sizes.push_back(piece.size());
        joined.insert(joined.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{65536, 65536, 65536, 65536, 37856}));
    EXPECT_EQ(joined, big);
    EXPECT_EQ(ReadOnce(*drive, &piece).count, 4000u);
    EXPECT_EQ(piece, small);
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::Filemark);
    joined.clear();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(ReadOnce(*drive, &piece).succeeded());
        joined.insert(joined.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(joined, big);
    // The drive was asked for whole blocks of its largest size, one request per block or mark.
    EXPECT_EQ(played_->Count("read 1048576"), 4u);
}

TEST_F(LinuxTapeTest, OversizedBlockOnADriveWithoutLimitsIsAnErrorAndTheTapeGoesOn) {
    played_->Block(Pattern(100000, 1)).Block(Pattern(10, 2));
    auto drive = OpenDrive();
    const TapeRead refused = ReadOnce(*drive);
    EXPECT_EQ(refused.end, ReadEnd::Error);
    EXPECT_NE(refused.error.find("longer than the 65536-byte read request"), std::string::npos)
        << refused.error;
    EXPECT_EQ(ReadOnce(*drive).count, 10u);
}

TEST_F(LinuxTapeTest, InterruptedReadsAndStatusQueriesAreRetried) {
    played_->Block(Pattern(10, 1)).Filemark();
    auto drive = OpenDrive();
    played_->interruptions = 1;
    EXPECT_EQ(ReadOnce(*drive).count, 10u);
    played_->interruptions = 0;
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::Filemark);
    EXPECT_EQ(played_->Count("EINTR"), 1u);
}

}  // namespace
}  // namespace ostrum::tape
