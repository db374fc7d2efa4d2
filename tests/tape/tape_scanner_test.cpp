// SPDX-License-Identifier: GPL-3.0-or-later
// ScanTape: its counters and texts, the discarded first read, filemarks crossed, read errors skipped,
// blocks read across the end of a read, stopping, and the same catalog as the scan of the tape's image.

#include "tape/tape_scanner.h"

#include <gtest/gtest.h>

#include "catalog/block_fixture.h"
#include "catalog/image_scanner.h"
#include "scan_fixtures.h"
#include "tap_builder.h"

namespace ostrum::tape {
namespace {

using catalog::testing::PutDirectory;
using catalog::testing::PutFile;
using catalog::testing::PutSet;
using catalog::testing::PutTag;
using testing::NewCatalog;
using testing::RecordingCatalogSink;
using testing::RowLines;
using testing::TapBuilder;
using testing::TempFolder;

using namespace std::string_view_literals;

std::vector<std::uint8_t> Zeroes(std::size_t count) {
    return std::vector<std::uint8_t>(count, 0);
}

std::vector<std::uint8_t> TapeBlock(std::size_t size) {
    auto bytes = Zeroes(size);
    PutTag(bytes, 0, "TAPE");
    return bytes;
}

class TapeScanTest : public ::testing::Test {
  protected:
    // Attaches `tape` as //./tape0 and scans it.
    int Scan(const TapBuilder& tape, VirtualTapeOptions options = {}) {
        options.path = folder_.path("scan.tap").string();
        tape.WriteTo(options.path);
        EXPECT_TRUE(devices_.AttachVirtual(0, options));
        return ScanTape(devices_, "//./tape0", *catalog_, sink_, scanActive_, stopRequested_, &summary_);
    }

    TempFolder folder_;
    TapeDevices devices_;
    std::unique_ptr<catalog::Catalog> catalog_ = NewCatalog();
    RecordingCatalogSink sink_;
    // As the caller sets them before it starts a scan.
    std::atomic<bool> scanActive_{true};
    std::atomic<bool> stopRequested_{false};
    TapeScanSummary summary_;
};

TEST_F(TapeScanTest, CountsPassesAcrossFilemarksAndScansEverySet) {
    auto first = Zeroes(65536), second = Zeroes(65536), third = Zeroes(65536);
    PutSet(first, 0, u"S1");
    PutDirectory(first, 512, u"DOCS\0"sv);
    const std::size_t a = PutFile(first, 1024, u"A.TXT", 11);
    const std::size_t b = PutFile(second, 2560, u"B.TXT", 22);
    PutSet(third, 0, u"S2");
    const std::size_t c = PutFile(third, 512, u"C.TXT", 33);
    auto eset = Zeroes(65536);
    PutTag(eset, 0, "ESET");
    const auto tape = TapBuilder()
                          .Record(TapeBlock(1024))  // the discarded first read
                          .Mark()
                          .Record(first)
                          .Record(second)
                          .Mark()
                          .Record(eset)
                          .Mark()
                          .Record(third)  // behind the third filemark: a second backup set
                          .Mark()
                          .EndOfMedium();
    ASSERT_EQ(Scan(tape), 1);

    // Passes: 0 mark, 1 first, 2 second, 3 mark, 4 ESET, 5 mark, 6 third, 7 mark; the data position is the
    // delivered total after the read plus the header's offset in it plus 22.
    EXPECT_EQ(RowLines(*catalog_, true),
              (std::vector<std::string>{
                  "TAPE MEDIA\\BACKUP SET 1(_S1)\\DOCS\\A.TXT|11|" + std::to_string(65536 + a) + "|1",
                  "TAPE MEDIA\\BACKUP SET 1(_S1)\\DOCS\\B.TXT|22|" + std::to_string(131072 + b) + "|2",
                  "TAPE MEDIA\\BACKUP SET 2(_S2)\\DOCS\\C.TXT|33|" + std::to_string(262144 + c) + "|6"}));
    EXPECT_EQ(sink_.status, (std::vector<std::string>{"Geting Madia information..", "Serching files..",
                                                      "Total File Found :1", "Total File Found :2",
                                                      "Total File Found :3"}));
    // The PositionLine shows the bytes before the current read, the discarded 1024 included.
    const std::string capacity = std::to_string(tape.bytes().size());
    EXPECT_EQ(sink_.positions, (std::vector<std::string>{"1024 \\ " + capacity, "1024 \\ " + capacity,
                                                         "66560 \\ " + capacity, "132096 \\ " + capacity,
                                                         "132096 \\ " + capacity, "197632 \\ " + capacity,
                                                         "197632 \\ " + capacity, "263168 \\ " + capacity}));
    // The progress bar counts the reads of the loop, the current one included.
    ASSERT_EQ(sink_.progress.size(), 8u);
    EXPECT_EQ(sink_.progress[0], 0);
    EXPECT_EQ(sink_.progress[1], static_cast<int>(65536 * 100 / tape.bytes().size()));
    EXPECT_EQ(sink_.progress[7], static_cast<int>(262144 * 100 / tape.bytes().size()));
    EXPECT_EQ(summary_.reads, 9u);
    EXPECT_EQ(summary_.marks, 4u);
    EXPECT_TRUE(summary_.endOfData);
    // The scan only reads the flags.
    EXPECT_TRUE(scanActive_.load());
    EXPECT_FALSE(stopRequested_.load());
    EXPECT_FALSE(devices_.Attached(0)->inUse());  // closed
}

TEST_F(TapeScanTest, ShortReadExaminesOnlyTheSlotsItDelivered) {
    // Slot 100 of the chunk buffer still holds OLD.TXT from the first read when the 16 KiB read comes:
    // only its 32 slots are examined, so the file is found once.
    auto full = Zeroes(65536);
    PutFile(full, 100 * 512, u"OLD.TXT");
    auto shortRead = Zeroes(16384);
    PutFile(shortRead, 31 * 512, u"LAST.TXT");
    ASSERT_EQ(Scan(TapBuilder().Record(TapeBlock(512)).Record(full).Record(shortRead).EndOfMedium()), 1);
    EXPECT_EQ(RowLines(*catalog_, false), (std::vector<std::string>{"TAPE MEDIA\\BACKUP SET 0\\OLD.TXT|5",
                                                                    "TAPE MEDIA\\BACKUP SET 0\\LAST.TXT|5"}));
}

TEST_F(TapeScanTest, BlockAcrossTheEndOfAReadIsReadFromTheNextReadsWithoutDisturbingTheCounters) {
    // A FILE block in the last slot of a read, its long name and its STAN header in the next read, behind
    // a filemark; the next read also holds a file of its own.
    std::vector<std::uint8_t> both = Zeroes(2 * 65536);
    const std::u16string name = u"CROSSING_" + std::u16string(200, u'X') + u".TXT";
    const std::size_t crossing = PutFile(both, 65536 - 512, name, 4444);
    const std::size_t next = PutFile(both, 65536 + 10 * 512, u"NEXT.TXT", 7);
    const std::vector<std::uint8_t> head(both.begin(), both.begin() + 65536),
        tail(both.begin() + 65536, both.end());
    ASSERT_EQ(Scan(TapBuilder().Record(TapeBlock(512)).Record(head).Mark().Record(tail).EndOfMedium()), 1);

    const std::string crossingPath = "TAPE MEDIA\\BACKUP SET 0\\CROSSING_" + std::string(200, 'X') + ".TXT";
    // The crossing file keeps the pass that met its FILE block (0) and the data position counted from the
    // delivered total of that pass; NEXT.TXT comes two passes later (the mark in between counts).
    EXPECT_EQ(RowLines(*catalog_, true),
              (std::vector<std::string>{
                  crossingPath + "|4444|" + std::to_string(65536 + crossing) + "|0",
                  "TAPE MEDIA\\BACKUP SET 0\\NEXT.TXT|7|" + std::to_string(next + 65536) + "|2"}));
    EXPECT_EQ(summary_.reads, 4u);
    EXPECT_EQ(summary_.marks, 1u);
    EXPECT_EQ(sink_.positions.size(), 3u);
    EXPECT_EQ(sink_.positions[2], "66048 \\ " + std::to_string(summary_.capacity));
}

TEST_F(TapeScanTest, ReadErrorsAreSkippedAndCountedUntilARunOfFailures) {
    auto before = Zeroes(65536), after = Zeroes(65536);
    const std::size_t b = PutFile(before, 0, u"BEFORE.TXT");
    const std::size_t a = PutFile(after, 0, u"AFTER.TXT");
    VirtualTapeOptions options;
    options.errorRecords = {2};
    ASSERT_EQ(Scan(TapBuilder()
                       .Record(TapeBlock(512))
                       .Record(before)
                       .Record(Zeroes(65536))  // record 2: unreadable
                       .Record(after)
                       .EndOfMedium(),
                   options),
              1);
    EXPECT_EQ(RowLines(*catalog_, true),
              (std::vector<std::string>{
                  "TAPE MEDIA\\BACKUP SET 0\\BEFORE.TXT|5|" + std::to_string(65536 + b) + "|0",
                  "TAPE MEDIA\\BACKUP SET 0\\AFTER.TXT|5|" + std::to_string(131072 + a) + "|2"}));
    EXPECT_EQ(summary_.readErrors, 1u);
    EXPECT_NE(summary_.lastReadError.find("data record 2"), std::string::npos);
    EXPECT_TRUE(summary_.endOfData);

    // A run of failed reads ends the scan: a dead drive is not read forever.
    TapBuilder dead;
    dead.Record(TapeBlock(512)).Record(before);
    for (int i = 0; i < kMaxConsecutiveReadFailures + 4; ++i) dead.BadRecord(Zeroes(512));
    dead.Record(after).EndOfMedium();
    catalog_ = NewCatalog();
    ASSERT_EQ(Scan(dead), 1);
    EXPECT_EQ(catalog_->rowCount(), 1u);
    EXPECT_TRUE(summary_.gaveUp);
    EXPECT_EQ(summary_.readErrors, static_cast<std::uint64_t>(kMaxConsecutiveReadFailures));
}

TEST_F(TapeScanTest, StopDuringAReadEndsTheScanRightAfterItAndClosesTheDrive) {
    auto block = Zeroes(65536);
    PutFile(block, 0, u"F.TXT");
    TapBuilder tape;
    tape.Record(TapeBlock(512));
    for (int i = 0; i < 6; ++i) tape.Record(block);
    tape.EndOfMedium();

    // The Stop button clears scanActive and sets stopRequested while the drive reads record 3.
    VirtualTapeOptions options;
    options.beforeRead = [this](std::uint64_t record) {
        if (record == 3) {
            scanActive_ = false;
            stopRequested_ = true;
        }
    };
    EXPECT_EQ(Scan(tape, options), 0);
    EXPECT_EQ(catalog_->rowCount(),
              2u);  // records 1 and 2; record 3 came back but no slot of it was examined
    EXPECT_TRUE(summary_.stopped);
    EXPECT_FALSE(devices_.Attached(0)->inUse());

    // stopRequested alone lets the current read be examined and ends the loop before the next one.
    catalog_ = NewCatalog();
    scanActive_ = true;
    stopRequested_ = false;
    options.beforeRead = [this](std::uint64_t record) {
        if (record == 3) stopRequested_ = true;
    };
    EXPECT_EQ(Scan(tape, options), 1);
    EXPECT_EQ(catalog_->rowCount(), 3u);
    EXPECT_TRUE(summary_.stopped);
    EXPECT_FALSE(devices_.Attached(0)->inUse());
}

// The scanner used to clear stopRequested and set scanActive when it began, so a Stop pressed before
// then was lost: the tape was rewound and scanned to its end.
TEST_F(TapeScanTest, StopPressedBeforeTheScanBeganEndsItBeforeTheDriveIsOpened) {
    auto block = Zeroes(65536);
    PutFile(block, 0, u"F.TXT");
    VirtualTapeOptions options;
    bool read = false;
    options.beforeRead = [&read](std::uint64_t) { read = true; };
    scanActive_ = false;
    stopRequested_ = true;
    EXPECT_EQ(Scan(TapBuilder().Record(TapeBlock(512)).Record(block).EndOfMedium(), options), 0);
    EXPECT_FALSE(read);
    EXPECT_EQ(catalog_->rowCount(), 0u);
    EXPECT_TRUE(summary_.stopped);
    EXPECT_TRUE(sink_.status.empty());  // not even the media query was made
    EXPECT_TRUE(stopRequested_.load());
}

TEST_F(TapeScanTest, DriveThatCannotBePreparedEndsTheScanAtOnce) {
    const auto tape = TapBuilder().Record(TapeBlock(512)).EndOfMedium();
    VirtualTapeOptions busy;
    busy.busy = true;
    EXPECT_EQ(Scan(tape, busy), 0);
    EXPECT_NE(summary_.error.find("in use"), std::string::npos) << summary_.error;
    EXPECT_TRUE(sink_.status.empty());

    VirtualTapeOptions empty;
    empty.noMedium = true;
    EXPECT_EQ(Scan(tape, empty), 0);
    EXPECT_NE(summary_.error.find("no medium"), std::string::npos) << summary_.error;
    EXPECT_TRUE(sink_.status.empty());  // the rewind failed before any text
    EXPECT_FALSE(devices_.Attached(0)->inUse());
    EXPECT_EQ(catalog_->rowCount(), 0u);
}

TEST_F(TapeScanTest, ProgressIsGuardedAgainstNoCapacityAndCappedAtAHundred) {
    auto block = Zeroes(65536);
    PutFile(block, 0, u"F.TXT");
    const auto tape = TapBuilder().Record(TapeBlock(512)).Record(block).Record(block).EndOfMedium();
    VirtualTapeOptions noCapacity;
    noCapacity.capacity = 0;
    ASSERT_EQ(Scan(tape, noCapacity), 1);
    EXPECT_EQ(catalog_->rowCount(), 2u);
    EXPECT_TRUE(sink_.progress.empty());
    EXPECT_EQ(sink_.positions.back(), "66048 \\ 0");

    // A drive that compresses delivers more than its capacity.
    sink_ = RecordingCatalogSink{};
    VirtualTapeOptions small;
    small.capacity = 100000;
    ASSERT_EQ(Scan(tape, small), 1);
    EXPECT_EQ(sink_.progress, (std::vector<int>{65, 100}));
}

// Scanning a virtual tape finds the same catalog as scanning the image copied from it, whatever the
// tape's block size (oversized blocks included). As every read of these tapes delivers the same number
// of bytes as the discarded first one, the tape's data positions even agree with the image's.
class TapeAndImageTest : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(TapeAndImageTest, ScanOfTheTapeFindsWhatTheScanOfItsImageFinds) {
    TempFolder folder;
    const auto tapPath = folder.path("media.tap");
    const auto manifest = testing::mw::WriteTapFile(testing::SampleMedia(), tapPath, GetParam());
    TapeDevices devices;
    VirtualTapeOptions options;
    options.path = tapPath.string();
    ASSERT_TRUE(devices.AttachVirtual(5, options));

    auto fromTape = NewCatalog();
    RecordingCatalogSink sink;
    std::atomic<bool> active{true}, stop{false};
    TapeScanSummary summary;
    ASSERT_EQ(ScanTape(devices, "//./tape5", *fromTape, sink, active, stop, &summary), 1);
    EXPECT_TRUE(summary.endOfData);
    EXPECT_EQ(summary.marks, manifest.filemarks.size());

    const auto imagePath = folder.path("media.img").string();
    testing::RecordingImagingSink imaging;
    std::atomic<std::uint32_t> stopImaging{0};
    ASSERT_TRUE(CopyTapeToImage(devices, "//./tape5", imagePath, imaging, stopImaging).done);
    auto fromImage = NewCatalog();
    common::ImageFile image;
    ASSERT_TRUE(common::OpenImageFile(image, imagePath));
    catalog::CatalogSink quiet;
    catalog::ImageScanSummary imageSummary;
    ASSERT_EQ(catalog::ScanImageFile(image, *fromImage, quiet, active, &imageSummary), 1);
    // The same blocks are met; of the first read, set aside, only the TAPE block's 1024 bytes are examined.
    EXPECT_EQ(summary.found.soundBlocks, imageSummary.found.soundBlocks);
    const std::uint64_t firstRead = std::min<std::uint64_t>(GetParam(), kTapeReadSize);
    EXPECT_EQ(summary.found.bytesExamined,
              imageSummary.found.bytesExamined - firstRead + std::min<std::uint64_t>(firstRead, 1024));

    ASSERT_EQ(fromTape->rowCount(), manifest.files.size());
    EXPECT_EQ(RowLines(*fromTape, false), RowLines(*fromImage, false));
    EXPECT_EQ(testing::NodePaths(*fromTape), testing::NodePaths(*fromImage));
    EXPECT_EQ(sink.status.back(), "Total File Found :" + std::to_string(manifest.files.size()));

    // Every read delivers min(block size, 65,536) bytes; a FILE block at image offset o is met in read
    // o / readSize (read 0 is the discarded one), after the filemarks that lie before it.
    const std::uint64_t readSize = std::min<std::uint64_t>(GetParam(), kTapeReadSize);
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        const auto& file = manifest.files[i];
        const auto& row = fromTape->row(i);
        std::uint64_t marksBefore = 0;
        for (std::uint64_t mark : manifest.filemarks) marksBefore += mark <= file.fileBlockOffset ? 1 : 0;
        EXPECT_EQ(row.dataOffset(), file.dataOffset) << file.name;
        EXPECT_EQ(row.dataOffset(), fromImage->row(i).dataOffset()) << file.name;
        EXPECT_EQ(row.chunkIndex(), file.fileBlockOffset / readSize - 1 + marksBefore) << file.name;
        EXPECT_FALSE(fromImage->row(i).chunkIndex());
    }
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, TapeAndImageTest,
                         ::testing::Values(512u, 1024u, 16384u, 65536u, 262144u));

}  // namespace
}  // namespace ostrum::tape
