// SPDX-License-Identifier: GPL-3.0-or-later
// Preparing a drive for a full read, the block-mode helpers, the probe and the device list, against
// played Linux drives and virtual drives.

#include "tape/tape_operations.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "played_drive.h"
#include "tap_builder.h"
#include "tape/device_list.h"

namespace ostrum::tape {
namespace {

using testing::Pattern;
using testing::PlayedDrive;
using testing::TapBuilder;
using testing::TempFolder;

class PrepareTest : public ::testing::Test {
  protected:
    std::size_t Position(const std::string& line) const {
        return static_cast<std::size_t>(std::find(played_->log.begin(), played_->log.end(), line) -
                                        played_->log.begin());
    }
    std::shared_ptr<PlayedDrive> played_ = std::make_shared<PlayedDrive>();
    TapeDevices devices_{played_};
};

TEST_F(PrepareTest, VariableBlockDriveIsOpenedRewoundQueriedAndSetToVariableBlocks) {
    played_->limits = PlayedDrive::Limits{1 << 20, 1};
    played_->capacity = PlayedDrive::CapacityPage{4096, 100};
    played_->blockSize = 1024;
    PreparedTape prepared;
    const TapeResult result = PrepareTapeForReading(devices_, "//./tape1", prepared);
    ASSERT_TRUE(result) << result.error();
    ASSERT_TRUE(prepared.drive);
    EXPECT_EQ(prepared.capacity, 4096LL * 1048576);
    EXPECT_EQ(played_->log.front(), "open /dev/nst1 ro nonblock");
    EXPECT_LT(Position("MTREW"), Position("SG_IO 4d 00 71"));           // rewind, then the media query
    EXPECT_LT(Position("SG_IO 4d 00 71"), Position("SG_IO 05 00 00"));  // then the drive query
    EXPECT_EQ(played_->log.back(), "MTSETBLK 0");
    EXPECT_EQ(played_->blockSize, 0u);
    EXPECT_EQ(played_->Count("close"), 0u);  // the caller holds the drive
    prepared.drive.reset();
    EXPECT_EQ(played_->log.back(), "close");
}

TEST_F(PrepareTest, DriveWithoutVariableBlocksKeepsItsBlockSizeAndStillReadsTapeReadSize) {
    played_->limits = PlayedDrive::Limits{512, 512};
    played_->blockSize = 512;
    played_->Block(Pattern(512, 1));
    PreparedTape prepared;
    ASSERT_TRUE(PrepareTapeForReading(devices_, "//./tape0", prepared));
    EXPECT_EQ(played_->CountPrefix("MTSETBLK"), 0u);
    EXPECT_EQ(played_->blockSize, 512u);
    EXPECT_EQ(QueryMediaBlockSize(*prepared.drive), 512);
    std::vector<std::uint8_t> buffer(kTapeReadSize);
    EXPECT_EQ(prepared.drive->Read(buffer).count, 512u);
    EXPECT_EQ(played_->Count("read 65536"), 1u);
}

TEST_F(PrepareTest, RefusedBlockSizeChangeIsIgnored) {
    played_->setBlockError = EIO;
    PreparedTape prepared;
    EXPECT_TRUE(PrepareTapeForReading(devices_, "//./tape0", prepared));
    EXPECT_EQ(played_->Count("MTSETBLK 0"), 1u);
    EXPECT_FALSE(SetMediaBlockSize(*prepared.drive, 0));
}

TEST_F(PrepareTest, GivingUpAfterTheOpenClosesTheDriveAndSaysWhichStepFailed) {
    PreparedTape prepared;
    played_->openError = EBUSY;
    EXPECT_EQ(PrepareTapeForReading(devices_, "//./tape0", prepared).fault(), TapeFault::Busy);
    EXPECT_EQ(played_->Count("close"), 0u);  // nothing was opened

    played_->openError = 0;
    played_->medium = false;  // the rewind fails
    const TapeResult rewind = PrepareTapeForReading(devices_, "//./tape0", prepared);
    EXPECT_NE(rewind.error().find("rewind"), std::string::npos) << rewind.error();
    EXPECT_FALSE(prepared.drive);
    EXPECT_EQ(played_->log.back(), "close");

    played_->medium = true;
    played_->statusError = EIO;  // the media query fails
    played_->log.clear();
    const TapeResult query = PrepareTapeForReading(devices_, "//./tape0", prepared);
    EXPECT_NE(query.error().find("query the medium"), std::string::npos) << query.error();
    EXPECT_EQ(played_->log.back(), "close");
    EXPECT_EQ(played_->CountPrefix("MTSETBLK"), 0u);
}

TEST_F(PrepareTest, BlockModeHelpersAnswerZeroAndMinusOneOnFailure) {
    std::unique_ptr<TapeDrive> drive;
    ASSERT_TRUE(devices_.Open("//./tape0", drive));
    played_->limits = PlayedDrive::Limits{65536, 1};
    EXPECT_EQ(DriveSupportsVariableBlocks(*drive), kDriveVariableBlock);
    played_->statusError = EIO;
    EXPECT_EQ(DriveSupportsVariableBlocks(*drive), 0u);
    played_->statusError = 0;
    played_->medium = false;
    EXPECT_EQ(QueryMediaBlockSize(*drive), -1);
}

TEST_F(PrepareTest, ProbeTellsNotOpenedNoMediumAndMediumAndAlwaysCloses) {
    played_->openError = ENOENT;
    TapeProbe probe = ProbeTapeDevice(devices_, "//./tape5");
    EXPECT_EQ(probe.outcome, ProbeOutcome::NotOpened);
    EXPECT_NE(probe.error.find("/dev/nst5"), std::string::npos);

    played_->openError = 0;
    played_->medium = false;
    probe = ProbeTapeDevice(devices_, "//./tape5");
    EXPECT_EQ(probe.outcome, ProbeOutcome::NoMedium);
    EXPECT_EQ(played_->log.back(), "close");

    played_->medium = true;
    played_->capacity = PlayedDrive::CapacityPage{10, 4};
    played_->log.clear();
    probe = ProbeTapeDevice(devices_, "//./tape5");
    EXPECT_EQ(probe.outcome, ProbeOutcome::Medium);
    EXPECT_EQ(probe.media.capacity, 10LL * 1048576);
    EXPECT_EQ(probe.media.remaining, 4LL * 1048576);
    // The drive is asked about itself before its medium; nothing is rewound or read.
    EXPECT_EQ(played_->log[1], "MTIOCGET");
    EXPECT_EQ(played_->CountPrefix("read"), 0u);
    EXPECT_EQ(played_->Count("MTREW"), 0u);
    EXPECT_EQ(played_->log.back(), "close");
}

TEST(DeviceListTest, CellsUseTheListFormatsWithAll64Bits) {
    TapeMediaParameters media;
    media.capacity = 5'000'000'000;
    media.remaining = 5'000'000'000;
    media.blockSize = 512;
    media.partitionCount = 1;
    const auto cells = DeviceListCells("//./tape3", media);
    EXPECT_EQ(cells[0], "//./tape3");
    EXPECT_EQ(cells[1], "5000000000");
    EXPECT_EQ(cells[2], " 0x12a05f200 (5000000000)");
    EXPECT_EQ(cells[3], " 0x00000200 (512)");
    EXPECT_EQ(cells[4], " 0x00000001 (1)");
    EXPECT_EQ(std::stoll(cells[1]), media.capacity);  // the capacity survives the trip through its text
}

TEST(DeviceListTest, ListsDrivesWithMediaInDeviceOrderAndProbesOnlyTwenty) {
    TempFolder folder;
    auto played = std::make_shared<PlayedDrive>();
    played->openError = ENOENT;  // no Linux drives at all
    TapeDevices devices(played);
    EXPECT_FALSE(EnumerateTapeDevices(devices).found);
    EXPECT_EQ(played->CountPrefix("open"), 20u);
    EXPECT_EQ(played->Count("open /dev/nst19 ro nonblock"), 1u);
    EXPECT_EQ(played->Count("open /dev/nst20 ro nonblock"), 0u);

    const auto tape = folder.path("t.tap").string();
    TapBuilder().Record(Pattern(1024, 1)).EndOfMedium().WriteTo(tape);
    for (int number : {3, 0, 1}) {
        VirtualTapeOptions options;
        options.path = tape;
        options.noMedium = number == 1;
        ASSERT_TRUE(devices.AttachVirtual(number, options));
    }
    const TapeDeviceEnumeration list = EnumerateTapeDevices(devices);
    EXPECT_TRUE(list.found);
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.rows[0].name, "//./tape0");
    EXPECT_EQ(list.rows[1].name, "//./tape3");
    EXPECT_EQ(list.rows[1].cells[1], "1036");
    ASSERT_EQ(list.notes.size(), 1u);  // tape1 opened without a medium: no row, but it counts as found
    EXPECT_NE(list.notes[0].find("//./tape1"), std::string::npos);
    // Every probed drive was closed again.
    for (int number : {0, 1, 3}) EXPECT_FALSE(devices.Attached(number)->inUse());

    // Only a drive without a medium is enough to count as found.
    TapeDevices onlyEmpty(played);
    VirtualTapeOptions empty;
    empty.path = tape;
    empty.noMedium = true;
    ASSERT_TRUE(onlyEmpty.AttachVirtual(7, empty));
    const TapeDeviceEnumeration none = EnumerateTapeDevices(onlyEmpty);
    EXPECT_TRUE(none.found);
    EXPECT_TRUE(none.rows.empty());
}

}  // namespace
}  // namespace ostrum::tape
