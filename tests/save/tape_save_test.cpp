// SPDX-License-Identifier: GPL-3.0-or-later
// Saving from a tape: media written by our MTF writer as SIMH virtual tapes of several block sizes, scanned
// by ScanTape and saved in one pass; every saved file is compared with the bytes the writer put in.

#include "save_fixture.h"
#include "test_media.h"

namespace ostrum::save {
namespace {

using namespace testing;
namespace mwt = mtfwriter::testing;

class TapeSaveTest : public SaveTest {
  protected:
    // Writes the media as a tape of `blockSize`-byte records, attaches it and scans it.
    void Prepare(const mw::MediaDescription& media, std::uint32_t blockSize,
                 tape::VirtualTapeOptions options = {}) {
        description = media;
        manifest = mw::WriteTapFile(media, temp.path("medium.tap"), blockSize);
        Attach(options);
        Scan();
    }
    // Puts the tape in the drive again, with other options.
    void Attach(tape::VirtualTapeOptions options) {
        options.path = temp.path("medium.tap").string();
        ASSERT_TRUE(devices.AttachVirtual(0, options));
    }
    void Scan() {
        found = ScanTapeDrive(devices);
        items = CheckedItems(*found);
    }
    SaveReport Save(SaveSink& to) {
        fs::create_directories(destination());
        SaveRequest request{true, "//./tape0", destination().string(), ExistingFiles::KeepBoth, &devices};
        return SaveFiles(items, request, to, cancel);
    }
    SaveReport Save() { return Save(sink); }

    // The writer's bytes of every file, in the order the scan found them (the medium's order).
    void ExpectEverySavedFileMatches(std::size_t wantCompared) {
        std::vector<std::vector<std::uint8_t>> expected;
        for (const auto& set : description.sets) {
            for (const auto& entry : set.entries) {
                if (const auto* file = std::get_if<mw::FileEntry>(&entry))
                    expected.push_back(Expected(file->data));
            }
        }
        ASSERT_EQ(expected.size(), found->rowCount());
        std::size_t compared = 0;
        for (const auto& result : report.files) {
            if (result.outcome != SaveOutcome::Saved && result.outcome != SaveOutcome::SavedRenamed) continue;
            // Items are the catalog's rows in order unless a test reordered them; find the row by path and
            // offset.
            std::size_t row = 0;
            while (row < found->rowCount() &&
                   (!(found->row(row).path() == items[result.item].catalogPath) ||
                    found->row(row).dataOffset() != items[result.item].dataOffset)) {
                ++row;
            }
            ASSERT_LT(row, found->rowCount());
            EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(destination() / result.savedAs), expected[row]))
                << result.savedAs;
            ++compared;
        }
        EXPECT_EQ(compared, wantCompared);
    }

    tape::TapeDevices devices;
    mw::MediaDescription description;
};

class TapeBlockSizes : public TapeSaveTest, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(TapeBlockSizes, EveryFileOfEverySetComesBackWhole) {
    // Two sets behind filemarks, the second compressed; records smaller than, equal to and larger than a
    // read of 64 KiB (larger ones are delivered in pieces).
    mw::MediaDescription media = mwt::MixedMedia(1024, /*compressSecondSet=*/true);
    media.sets[0].entries.push_back(
        mw::FileEntry{.name = "MULTI.BIN", .data = mw::GeneratedData{300000, 12}});
    Prepare(media, GetParam());
    ASSERT_EQ(items.size(), 10u);
    report = Save();
    ExpectEverySavedFileMatches(10);
    EXPECT_TRUE(report.AllSavedWhole()) << report.files[0].reason;
    EXPECT_EQ(report.totals.verified, 3u);  // the files written with a CSUM stream, one of them compressed
    EXPECT_EQ(sink.lastDone, sink.lastTotal);
    EXPECT_FALSE(sink.progressWentBack);
}

INSTANTIATE_TEST_SUITE_P(Records, TapeBlockSizes, ::testing::Values(512u, 16384u, 65536u, 131072u));

TEST_F(TapeSaveTest, FilesAreServedInTapeOrderInOneForwardPass) {
    std::vector<std::uint64_t> records;
    tape::VirtualTapeOptions options;
    options.beforeRead = [&records](std::uint64_t record) { records.push_back(record); };
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "S"},
                          .entries = {mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")},
                                      mw::FileEntry{.name = "B.BIN", .data = mw::GeneratedData{200000, 3}},
                                      mw::FileEntry{.name = "C.TXT", .data = mw::BytesOf("c")}}});
    media.sets.push_back(
        {.info = {.name = "T"}, .entries = {mw::FileEntry{.name = "D.TXT", .data = mw::BytesOf("d")}}});
    Prepare(media, 16384, options);
    ASSERT_EQ(items.size(), 4u);
    std::reverse(items.begin(), items.end());
    records.clear();
    report = Save();
    EXPECT_EQ(sink.started, (std::vector<std::size_t>{3, 2, 1, 0}));
    ExpectEverySavedFileMatches(4);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front(), 0u);                               // from the rewound start
    EXPECT_TRUE(std::is_sorted(records.begin(), records.end()));  // never back (marks repeat a number)

    // With only the first file selected, the reading stops once it is saved.
    items.erase(items.begin(), items.begin() + 3);
    records.clear();
    fs::remove_all(destination());
    report = Save();
    EXPECT_EQ(report.totals.saved, 1u);
    EXPECT_LT(records.size(), 6u);
}

TEST_F(TapeSaveTest, ReadErrorCutsOnlyTheFileItFallsIn) {
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "S"},
                          .entries = {mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("before")},
                                      mw::FileEntry{.name = "B.BIN", .data = mw::GeneratedData{100000, 3}},
                                      mw::FileEntry{.name = "C.BIN", .data = mw::GeneratedData{5000, 4}}}});
    // Records of 16 KiB: record 0 holds TAPE, 1 the SSET and the first files; B's data runs to record 7.
    tape::VirtualTapeOptions options;
    options.errorRecords = {4};
    Prepare(media, 16384, options);
    ASSERT_EQ(items.size(), 3u);
    report = Save();
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Saved);
    EXPECT_EQ(report.files[1].outcome, SaveOutcome::Truncated);
    EXPECT_NE(report.files[1].reason.find("failed"), std::string::npos) << report.files[1].reason;
    EXPECT_EQ(report.files[2].outcome, SaveOutcome::Saved) << report.files[2].reason;
    ExpectEverySavedFileMatches(2);
    // What was kept of B is the start of B.
    const auto partial = ReadWholeFile(destination() / report.files[1].savedAs);
    std::vector<std::uint8_t> start(partial.size());
    mw::FillGenerated(3, 0, start);
    EXPECT_FALSE(partial.empty());
    EXPECT_TRUE(test_support::SameBytes(partial, start));
}

TEST_F(TapeSaveTest, ReadFailingOnOnlyOnePassMisplacesNoLaterFile) {
    // Files used to be found by the running byte total: a block that failed in the scan but read in the
    // save (or the other way round) shifted every later file by its length, and those files failed as
    // lying before their read or as having no STAN stream header.
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "S"},
                          .entries = {mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("before")},
                                      mw::FileEntry{.name = "B.BIN", .data = mw::GeneratedData{100000, 3}},
                                      mw::FileEntry{.name = "C.BIN", .data = mw::GeneratedData{5000, 4}}}});
    // D behind a filemark, in records of its own.
    media.sets.push_back({.info = {.name = "T"},
                          .entries = {mw::FileEntry{.name = "D.BIN", .data = mw::GeneratedData{40000, 5}}}});
    constexpr std::uint32_t kRecord = 16384;
    Prepare(media, kRecord);
    ASSERT_EQ(items.size(), 4u);
    // A record inside B's data, and the record holding D's FILE block.
    const std::uint64_t insideB = (*items[1].dataOffset + 50000) / kRecord;
    const std::uint64_t holdingD = manifest.files[3].fileBlockOffset / kRecord;
    ASSERT_LT(insideB, manifest.files[2].fileBlockOffset / kRecord);
    for (const bool failsInTheScan : {true, false}) {
        SCOPED_TRACE(failsInTheScan ? "fails in the scan" : "fails in the save");
        Attach(
            {.errorRecords = failsInTheScan ? std::set<std::uint64_t>{insideB} : std::set<std::uint64_t>{}});
        Scan();
        ASSERT_EQ(items.size(), 4u);
        Attach(
            {.errorRecords = failsInTheScan ? std::set<std::uint64_t>{} : std::set<std::uint64_t>{insideB}});
        fs::remove_all(destination());
        report = Save();
        EXPECT_EQ(report.files[1].outcome, failsInTheScan ? SaveOutcome::Saved : SaveOutcome::Truncated)
            << report.files[1].reason;
        for (std::size_t file : {0u, 2u, 3u}) {
            EXPECT_EQ(report.files[file].outcome, SaveOutcome::Saved) << report.files[file].reason;
        }
        ExpectEverySavedFileMatches(failsInTheScan ? 4 : 3);
    }
    // The read that met D's FILE block fails in the save only: D is not found there, and says why.
    Attach({});
    Scan();
    Attach({.errorRecords = {holdingD}});
    fs::remove_all(destination());
    report = Save();
    EXPECT_EQ(report.files[3].outcome, SaveOutcome::Failed);
    EXPECT_NE(report.files[3].reason.find("where the scan found it, failed"), std::string::npos)
        << report.files[3].reason;
    ExpectEverySavedFileMatches(3);
}

TEST_F(TapeSaveTest, FullDestinationStopsTheTapeAndLeavesTheRestNotAttempted) {
    // A full disk used to fail each later file on its own while the tape was read on to its end.
    std::vector<std::uint64_t> records;
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "S"},
                          .entries = {mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")},
                                      mw::FileEntry{.name = "B.BIN", .data = mw::GeneratedData{300000, 3}},
                                      mw::FileEntry{.name = "C.TXT", .data = mw::BytesOf("c")}}});
    media.sets.push_back(
        {.info = {.name = "T"}, .entries = {mw::FileEntry{.name = "D.TXT", .data = mw::BytesOf("d")}}});
    Prepare(media, 16384, {.beforeRead = [&records](std::uint64_t record) { records.push_back(record); }});
    records.clear();
    auto calls = std::make_shared<TestCalls>();
    calls->room = 100000;
    fs::create_directories(destination());
    report = SaveFiles(items, {true, "//./tape0", destination().string(), {}, &devices, calls}, sink, cancel);
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Saved);
    EXPECT_EQ(report.files[1].outcome, SaveOutcome::Failed);
    EXPECT_NE(report.files[1].reason.find(std::strerror(ENOSPC)), std::string::npos)
        << report.files[1].reason;
    EXPECT_EQ(report.files[2].outcome, SaveOutcome::NotAttempted);
    EXPECT_EQ(report.files[3].outcome, SaveOutcome::NotAttempted);
    ASSERT_FALSE(records.empty());
    EXPECT_LT(records.back(), manifest.files[2].fileBlockOffset / 16384);  // stopped inside B
    EXPECT_EQ(
        std::distance(fs::directory_iterator(destination() / "BACKUP SET 1(_S)"), fs::directory_iterator()),
        1);
}

TEST_F(TapeSaveTest, LengthRunningPastTheRecordedDataIsTruncated) {
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "S"},
                          .entries = {mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("fine")},
                                      mw::FileEntry{.name = "LONG.BIN",
                                                    .data = mw::BytesOf("short"),
                                                    .declaredLength = std::uint64_t{5} << 32}}});
    Prepare(media, 65536);
    report = Save();
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Saved);
    EXPECT_EQ(report.files[1].outcome, SaveOutcome::Truncated);
    EXPECT_NE(report.files[1].reason.find("recorded data end"), std::string::npos) << report.files[1].reason;
    EXPECT_FALSE(fs::exists(destination() / "BACKUP SET 1(_S)/LONG.BIN"));
}

TEST_F(TapeSaveTest, CancelInTheMiddleOfAFileRemovesItsPart) {
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "S"},
                          .entries = {mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")},
                                      mw::FileEntry{.name = "BIG.BIN", .data = mw::GeneratedData{2 << 20, 3}},
                                      mw::FileEntry{.name = "C.TXT", .data = mw::BytesOf("c")}}});
    Prepare(media, 65536);
    CancellingSink cancelling(cancel, 1 << 20);
    report = Save(cancelling);
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Saved);
    EXPECT_EQ(report.files[1].outcome, SaveOutcome::Cancelled);
    EXPECT_EQ(report.files[2].outcome, SaveOutcome::Cancelled);
    const fs::path set = destination() / "BACKUP SET 1(_S)";
    EXPECT_EQ(std::distance(fs::directory_iterator(set), fs::directory_iterator()), 1);
}

TEST_F(TapeSaveTest, RowsWithoutATapePositionAndMissingDrivesAreReported) {
    mw::MediaDescription media;
    media.sets.push_back(
        {.info = {.name = "S"}, .entries = {mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")}}});
    Prepare(media, 65536);
    items.push_back(items[0]);
    items[1].chunkIndex.reset();
    items.push_back(items[0]);
    *items[2].chunkIndex += 1000;  // a read the tape never gets to
    report = Save();
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Saved);
    EXPECT_NE(report.files[1].reason.find("no ChunkIndex"), std::string::npos) << report.files[1].reason;
    EXPECT_EQ(report.files[2].outcome, SaveOutcome::Failed);
    EXPECT_NE(report.files[2].reason.find("recorded data end"), std::string::npos) << report.files[2].reason;

    SaveRequest absent{true, "//./tape7", destination().string(), ExistingFiles::KeepBoth, &devices};
    report = SaveFiles(items, absent, sink, cancel);
    EXPECT_FALSE(report.error.empty());
    EXPECT_EQ(report.totals.failed, 3u);
}

}  // namespace
}  // namespace ostrum::save
