// SPDX-License-Identifier: GPL-3.0-or-later
// Virtual drives over SIMH .tap files: the read contract, media figures, exclusive open, injected
// faults and damaged tape files.

#include "tape/virtual_tape.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tap_builder.h"
#include "tape/tape_devices.h"

namespace ostrum::tape {
namespace {

using testing::Pattern;
using testing::TapBuilder;
using testing::TempFolder;

class VirtualTapeTest : public ::testing::Test {
  protected:
    // Attaches `tape` as device 2 and opens it.
    std::unique_ptr<TapeDrive> Mount(const TapBuilder& tape, VirtualTapeOptions options = {}) {
        options.path = folder_.path("tape.tap").string();
        tape.WriteTo(options.path);
        EXPECT_TRUE(devices_.AttachVirtual(2, options));
        std::unique_ptr<TapeDrive> drive;
        const TapeResult opened = devices_.Open("//./tape2", drive);
        EXPECT_TRUE(opened) << opened.error();
        return drive;
    }

    // Reads once with a kTapeReadSize buffer, returning the result and the bytes delivered.
    TapeRead ReadOnce(TapeDrive& drive, std::vector<std::uint8_t>* bytes = nullptr) {
        buffer_.assign(kTapeReadSize, 0xEE);
        TapeRead read = drive.Read(buffer_);
        if (bytes) bytes->assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(read.count));
        return read;
    }

    TempFolder folder_;
    TapeDevices devices_;
    std::vector<std::uint8_t> buffer_;
};

TEST_F(VirtualTapeTest, ReadsRecordsMarksAndEndOfDataInOrder) {
    const auto first = Pattern(1024, 1);
    const auto odd = Pattern(511, 2);  // padded to an even length in the file
    const auto behind = Pattern(65536, 3);
    auto drive =
        Mount(TapBuilder().Record(first).Record(odd).Mark().Record(behind).Mark().Mark().EndOfMedium());
    ASSERT_TRUE(drive);

    std::vector<std::uint8_t> got;
    EXPECT_EQ(ReadOnce(*drive, &got).count, 1024u);
    EXPECT_EQ(got, first);
    EXPECT_TRUE(ReadOnce(*drive, &got).succeeded());
    EXPECT_EQ(got, odd);
    const TapeRead mark = ReadOnce(*drive);
    EXPECT_EQ(mark.end, ReadEnd::Filemark);
    EXPECT_EQ(mark.count, 0u);
    // A read after a filemark continues with the data behind it.
    EXPECT_EQ(ReadOnce(*drive, &got).count, 65536u);
    EXPECT_EQ(got, behind);
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::Filemark);
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::Filemark);
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::EndOfData);
    // The end of data stays until a rewind.
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::EndOfData);
    ASSERT_TRUE(drive->Rewind());
    EXPECT_EQ(ReadOnce(*drive, &got).count, 1024u);
    EXPECT_EQ(got, first);
}

TEST_F(VirtualTapeTest, FileWithoutEndOfMediumEndsTheDataWhereItEnds) {
    auto drive = Mount(TapBuilder().Record(Pattern(100, 1)));
    ASSERT_TRUE(drive);
    EXPECT_EQ(ReadOnce(*drive).count, 100u);
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::EndOfData);
}

TEST_F(VirtualTapeTest, RecordLongerThanTheReadArrivesWholeInPieces) {
    const auto big = Pattern(200001, 9);
    const auto next = Pattern(4096, 10);
    auto drive = Mount(TapBuilder().Record(big).Record(next).EndOfMedium());
    ASSERT_TRUE(drive);
    std::vector<std::uint8_t> joined, piece;
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 4; ++i) {
        const TapeRead read = ReadOnce(*drive, &piece);
        ASSERT_TRUE(read.succeeded());
        sizes.push_back(read.count);
        joined.insert(joined.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{65536, 65536, 65536, 3393}));
    EXPECT_EQ(joined, big);
    EXPECT_EQ(ReadOnce(*drive, &piece).count, 4096u);
    EXPECT_EQ(piece, next);
}

TEST_F(VirtualTapeTest, FlaggedAndInjectedErrorsFailTheirRecordOnly) {
    VirtualTapeOptions options;
    options.errorRecords = {2};
    auto drive = Mount(TapBuilder()
                           .Record(Pattern(512, 0))
                           .BadRecord(Pattern(512, 1))
                           .Record(Pattern(512, 2))
                           .Mark()
                           .Record(Pattern(700, 3))
                           .EndOfMedium(),
                       options);
    ASSERT_TRUE(drive);
    EXPECT_EQ(ReadOnce(*drive).count, 512u);
    const TapeRead flagged = ReadOnce(*drive);
    EXPECT_EQ(flagged.end, ReadEnd::Error);
    EXPECT_EQ(flagged.count, 0u);
    EXPECT_NE(flagged.error.find("//./tape2"), std::string::npos) << flagged.error;
    EXPECT_NE(flagged.error.find("data record 1"), std::string::npos) << flagged.error;
    const TapeRead injected = ReadOnce(*drive);
    EXPECT_EQ(injected.end, ReadEnd::Error);
    EXPECT_NE(injected.error.find("data record 2"), std::string::npos) << injected.error;
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::Filemark);
    EXPECT_EQ(ReadOnce(*drive).count, 700u);
}

TEST_F(VirtualTapeTest, DamagedTapeFilesAreMediumErrorsNeverCrashes) {
    // Front and back lengths disagree: an error on that record, then the tape goes on behind it.
    {
        auto drive =
            Mount(TapBuilder().Word(8).Bytes(Pattern(8, 1)).Word(9).Record(Pattern(16, 2)).EndOfMedium());
        ASSERT_TRUE(drive);
        const TapeRead read = ReadOnce(*drive);
        EXPECT_EQ(read.end, ReadEnd::Error);
        EXPECT_NE(read.error.find("disagree"), std::string::npos) << read.error;
        EXPECT_EQ(ReadOnce(*drive).count, 16u);
    }
    // A length running past the end of the file (here 2 GiB - 1): an error, then nothing more can be found.
    {
        auto drive = Mount(TapBuilder().Record(Pattern(32, 1)).Word(0x7FFFFFFF).Bytes(Pattern(64, 2)));
        ASSERT_TRUE(drive);
        EXPECT_EQ(ReadOnce(*drive).count, 32u);
        const TapeRead read = ReadOnce(*drive);
        EXPECT_EQ(read.end, ReadEnd::Error);
        EXPECT_NE(read.error.find("runs past the end"), std::string::npos) << read.error;
        EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::EndOfData);
    }
    // A length word cut short by the end of the file ends the data.
    {
        auto drive = Mount(TapBuilder().Record(Pattern(10, 1)).Bytes({0x10, 0x00}));
        ASSERT_TRUE(drive);
        EXPECT_EQ(ReadOnce(*drive).count, 10u);
        EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::EndOfData);
    }
}

TEST_F(VirtualTapeTest, MediaFiguresComeFromTheAttachmentOrTheFileSize) {
    const TapBuilder tape = TapBuilder().Record(Pattern(1000, 1)).EndOfMedium();
    TapeMediaParameters media;
    {
        auto drive = Mount(tape);
        ASSERT_TRUE(drive->GetMediaParameters(media));
        EXPECT_EQ(media.capacity, static_cast<std::int64_t>(tape.bytes().size()));
        EXPECT_EQ(media.remaining, 0);
        EXPECT_EQ(media.blockSize, 0u);
        EXPECT_EQ(media.partitionCount, 1u);
    }
    VirtualTapeOptions options;
    options.capacity = 5'000'000'000;  // above 4 GiB: all 64 bits kept
    auto drive = Mount(tape, options);
    ASSERT_TRUE(drive->GetMediaParameters(media));
    EXPECT_EQ(media.capacity, 5'000'000'000);
    EXPECT_EQ(media.remaining, 5'000'000'000 - static_cast<std::int64_t>(tape.bytes().size()));
    TapeDriveParameters driveInfo;
    ASSERT_TRUE(drive->GetDriveParameters(driveInfo));
    EXPECT_EQ(driveInfo.featuresLow & kDriveVariableBlock, kDriveVariableBlock);
    EXPECT_TRUE(drive->SetMediaParameters(0));
    EXPECT_EQ(drive->SetMediaParameters(512).fault(), TapeFault::Unsupported);
}

TEST_F(VirtualTapeTest, OpenIsExclusiveUntilTheDriveIsClosed) {
    auto first = Mount(TapBuilder().EndOfMedium());
    ASSERT_TRUE(first);
    std::unique_ptr<TapeDrive> second;
    const TapeResult refused = devices_.Open("//./tape2", second);
    EXPECT_EQ(refused.fault(), TapeFault::Busy);
    EXPECT_NE(refused.error().find("//./tape2"), std::string::npos);
    EXPECT_FALSE(second);
    first.reset();
    EXPECT_TRUE(devices_.Open("//./tape2", second));
}

TEST_F(VirtualTapeTest, InjectedBusyAndMissingMedium) {
    VirtualTapeOptions busy;
    busy.busy = true;
    busy.path = folder_.path("busy.tap").string();
    TapBuilder().EndOfMedium().WriteTo(busy.path);
    ASSERT_TRUE(devices_.AttachVirtual(4, busy));
    std::unique_ptr<TapeDrive> drive;
    EXPECT_EQ(devices_.Open("//./tape4", drive).fault(), TapeFault::Busy);

    VirtualTapeOptions empty;
    empty.noMedium = true;
    drive = Mount(TapBuilder().Record(Pattern(10, 1)).EndOfMedium(), empty);
    ASSERT_TRUE(drive);  // a drive without a medium still opens
    TapeDriveParameters driveInfo;
    EXPECT_TRUE(drive->GetDriveParameters(driveInfo));
    TapeMediaParameters media;
    const TapeResult query = drive->GetMediaParameters(media);
    EXPECT_EQ(query.fault(), TapeFault::NoMedium);
    EXPECT_NE(query.error().find("no medium"), std::string::npos);
    EXPECT_EQ(drive->Rewind().fault(), TapeFault::NoMedium);
    EXPECT_EQ(ReadOnce(*drive).end, ReadEnd::Error);
}

// A tape file given as an image used to be scanned as one (its record framing hides every block from the
// slot grid), and an image attached as a tape read as damaged records: the framing now tells them apart.
TEST_F(VirtualTapeTest, FramingTellsTapeFilesFromImages) {
    auto check = [](const std::vector<std::uint8_t>& bytes) {
        return CheckTapeFraming(common::MemoryImage(bytes));
    };
    const auto tape =
        TapBuilder().Mark().Record(Pattern(1001, 1)).Record(Pattern(64, 2)).EndOfMedium().bytes();
    EXPECT_EQ(check(tape).framing, TapeFraming::Holds);
    // Damage behind a record that holds is a damaged tape, not a foreign file.
    EXPECT_EQ(check(TapBuilder().Record(Pattern(8, 1)).Word(8).Bytes(Pattern(8, 2)).Word(9).bytes()).framing,
              TapeFraming::Holds);

    std::vector<std::uint8_t> image(4096, 0);
    std::memcpy(image.data(), "TAPE", 4);
    const TapeFramingCheck mtf = check(image);
    EXPECT_EQ(mtf.framing, TapeFraming::Broken);
    EXPECT_EQ(mtf.why, "the length word at byte 0 (1162887508) is larger than any tape block");
    EXPECT_EQ(check(TapBuilder().Word(8).Bytes(Pattern(8, 1)).Word(9).bytes()).why,
              "the length word at byte 0 is not repeated after the record");
    EXPECT_EQ(check(TapBuilder().Word(100).Bytes(Pattern(8, 1)).bytes()).why,
              "the length word at byte 0 runs past the end of the file");
    // Nothing to tell by: no file, only zeros (tape marks), only the end-of-medium word.
    EXPECT_EQ(check({}).framing, TapeFraming::Unknown);
    EXPECT_EQ(check(std::vector<std::uint8_t>(65536, 0)).framing, TapeFraming::Unknown);
    EXPECT_EQ(check(TapBuilder().EndOfMedium().bytes()).framing, TapeFraming::Unknown);
}

TEST_F(VirtualTapeTest, AttachingNeedsAReadableFileAndANumberInRange) {
    VirtualTapeOptions missing;
    missing.path = folder_.path("absent.tap").string();
    const TapeResult absent = devices_.AttachVirtual(1, missing);
    EXPECT_EQ(absent.fault(), TapeFault::NotFound);
    EXPECT_NE(absent.error().find("absent.tap"), std::string::npos);
    VirtualTapeOptions folder;
    folder.path = folder_.path("").string();
    EXPECT_FALSE(devices_.AttachVirtual(1, folder));
    VirtualTapeOptions good;
    good.path = folder_.path("good.tap").string();
    TapBuilder().EndOfMedium().WriteTo(good.path);
    EXPECT_EQ(devices_.AttachVirtual(20, good).fault(), TapeFault::InvalidName);
    EXPECT_TRUE(devices_.AttachVirtual(19, good));
}

}  // namespace
}  // namespace ostrum::tape
