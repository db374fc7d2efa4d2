// SPDX-License-Identifier: GPL-3.0-or-later
// Backups spread over several media: written by our MTF writer over two or three images, ended between
// entries or inside a file's data, scanned in order as one catalog and saved back; and the same with a
// medium missing.

#include <numeric>

#include "catalog/media_span.h"
#include "catalog/scan_context.h"
#include "save/scan_while_saving.h"
#include "save_fixture.h"
#include "tape/tape_devices.h"
#include "tape/tape_scanner.h"

namespace ostrum::save {
namespace {

using namespace testing;

constexpr std::uint32_t kFamily = 0x5A5A0001;

// Two sets, the second compressed; BIG.BIN and PACKED.BIN are large enough to be cut, twice over. BIG.BIN is
// small enough that a tape save would gather it in memory if it lay whole on one tape.
mw::MediaDescription SpreadMedia() {
    mw::MediaDescription media{.tape = {.mediaFamilyId = kFamily}};
    media.sets.push_back(
        {.info = {.name = "Daily"},
         .entries = {
             mw::DirectoryEntry{.path = {"DOCS"}},
             mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("first file")},
             mw::FileEntry{
                 .name = "BIG.BIN", .data = mw::GeneratedData{.size = 200000, .seed = 1}, .csum = true},
             mw::DirectoryEntry{.path = {"DOCS", "MORE"}},
             mw::FileEntry{.name = "B.TXT", .data = mw::BytesOf("after the big one")}}});
    std::string text;
    for (int i = 0; i < 9000; ++i) text += "line " + std::to_string(i % 97) + " of a packed log\n";
    media.sets.push_back({.info = {.name = "Weekly", .compressed = true},
                          .entries = {mw::DirectoryEntry{.path = {"LOGS"}},
                                      mw::FileEntry{.name = "PACKED.BIN", .data = mw::BytesOf(text)},
                                      mw::FileEntry{.name = "C.TXT", .data = mw::BytesOf("last")}}});
    return media;
}

class SpannedSaveTest : public SaveTest {
  protected:
    // Writes the backup over as many images as `endsAt` asks.
    void Write(std::vector<std::uint64_t> endsAt) {
        std::vector<std::unique_ptr<mw::ImageFileSink>> sinks;
        std::vector<mw::Sink*> pointers;
        for (std::size_t i = 0; i <= endsAt.size(); ++i) {
            sinks.push_back(std::make_unique<mw::ImageFileSink>(Image(i)));
            pointers.push_back(sinks.back().get());
        }
        manifest = mw::WriteSpannedMedia(media, pointers, endsAt);
    }
    // Where the unspread backup puts things, to choose where media end.
    mw::Manifest Unspread(std::uint32_t physicalBlockSize = 0) {
        mw::MemorySink sink;
        return mw::WriteMedia(media, sink, {.physicalBlockSize = physicalBlockSize});
    }
    fs::path Image(std::size_t medium) const { return temp.path("medium" + std::to_string(medium) + ".img"); }

    // Scans the images `media` in order as one catalog, then saves every file found.
    void ScanAndSave(const std::vector<std::size_t>& which) {
        std::vector<fs::path> images;
        for (std::size_t medium : which) images.push_back(Image(medium));
        found = ScanMedia(images);
        items = CheckedItems(*found);
        SaveRequest request{false, Image(which[0]).string(), destination().string()};
        for (std::size_t i = 1; i < which.size(); ++i)
            request.laterSources.push_back(Image(which[i]).string());
        fs::remove_all(destination());
        fs::create_directories(destination());
        report = SaveFiles(items, request, sink, cancel);
    }
    // The result of the file whose path ends with `name`, and the bytes the writer wrote for it.
    const FileResult& Result(std::string_view name) const {
        for (const auto& result : report.files)
            if (result.catalogPath.ends_with(name)) return result;
        ADD_FAILURE() << name << " not saved";
        return report.files.front();
    }
    std::vector<std::uint8_t> Written(std::string_view name) const {
        for (const auto& set : media.sets)
            for (const auto& entry : set.entries)
                if (const auto* file = std::get_if<mw::FileEntry>(&entry); file && file->name.text() == name)
                    return Expected(file->data);
        return {};
    }
    void ExpectWhole(std::string_view name) const {
        const FileResult& result = Result(name);
        EXPECT_EQ(result.outcome, SaveOutcome::Saved) << name << ": " << result.reason;
        EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(destination() / result.savedAs), Written(name)))
            << name;
    }
    const mw::ManifestFile& WrittenFile(std::string_view name) const {
        for (const auto& file : manifest.files)
            if (file.name == name) return file;
        return manifest.files.front();
    }

    mw::MediaDescription media = SpreadMedia();
};

TEST_F(SpannedSaveTest, SetsEndedBetweenEntriesOrInsideFilesComeBackWholeFromAllTheirMedia) {
    const mw::Manifest plain = Unspread();
    const auto& big = plain.files[1];
    const auto& packed = plain.files[3];
    struct Case {
        const char* what;
        std::vector<std::uint64_t> endsAt;
        const char* cut;  // the file the media's ends cut, if any
    };
    const std::vector<Case> cases = {
        {"between entries, before B.TXT's FILE block", {plain.files[2].fileBlockOffset}, nullptr},
        {"inside BIG.BIN's data", {*big.dataOffset + 1000}, "BIG.BIN"},
        {"inside BIG.BIN over three media", {*big.dataOffset + 1000, 100000}, "BIG.BIN"},
        {"inside a compressed stream", {*packed.dataOffset + 5000}, "PACKED.BIN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write(c.endsAt);
        ASSERT_EQ(manifest.mediumSizes.size(), c.endsAt.size() + 1);
        std::vector<std::size_t> all(c.endsAt.size() + 1);
        std::iota(all.begin(), all.end(), 0);
        ScanAndSave(all);
        EXPECT_EQ(found->rowCount(), 5u) << "a continued file is one row";
        EXPECT_EQ(found->setLabels(),
                  (std::vector<std::string>{"BACKUP SET 1(_Daily)", "BACKUP SET 2(_Weekly)"}));
        EXPECT_EQ(found->mediaSpan().spanned().size(), c.cut ? 1u : 0u);
        if (c.cut) {
            EXPECT_EQ(WrittenFile(c.cut).parts.size(), all.size());
            EXPECT_EQ(found->mediaSpan().spanned().begin()->second.parts.size(), all.size());
        }
        EXPECT_TRUE(found->mediaSpan().notes().empty()) << found->mediaSpan().notes().front();
        EXPECT_TRUE(report.AllSavedWhole());
        for (const char* name : {"A.TXT", "BIG.BIN", "B.TXT", "C.TXT"}) ExpectWhole(name);
        EXPECT_EQ(Result("BIG.BIN").checksum, ChecksumCheck::Verified) << "its CSUM follows its last piece";
        const FileResult& packedResult = Result("PACKED.BIN");
        EXPECT_EQ(packedResult.outcome, SaveOutcome::Saved) << packedResult.reason;
        EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(destination() / packedResult.savedAs),
                                            Written("PACKED.BIN")));
    }
}

TEST_F(SpannedSaveTest, FileSplitAcrossAMissingMediumIsTruncatedNamingTheMediumItNeeds) {
    const mw::Manifest plain = Unspread();
    Write({*plain.files[1].dataOffset + 1000});
    const mw::ManifestFile& big = WrittenFile("BIG.BIN");
    ASSERT_EQ(big.parts.size(), 2u);
    const std::vector<std::uint8_t> bytes = Written("BIG.BIN");

    // Only the first medium: BIG.BIN keeps what lies on it.
    ScanAndSave({0});
    const FileResult& head = Result("BIG.BIN");
    EXPECT_EQ(head.outcome, SaveOutcome::Truncated);
    EXPECT_NE(head.reason.find(
                  "the rest of its data is on medium 2 of media family 0x5A5A0001, which was not read"),
              std::string::npos)
        << head.reason;
    EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(destination() / head.savedAs),
                                        std::span(bytes).first(big.parts[0].length)));
    ExpectWhole("A.TXT");

    // Only the second: BIG.BIN is its continuation alone, kept as a part; the files after it are whole.
    ScanAndSave({1});
    EXPECT_EQ(found->setLabels(),
              (std::vector<std::string>{"BACKUP SET 1(_Daily)", "BACKUP SET 2(_Weekly)"}));
    const FileResult& tail = Result("BIG.BIN");
    EXPECT_EQ(tail.outcome, SaveOutcome::Truncated);
    EXPECT_NE(tail.reason.find("its beginning is on medium 1 of media family 0x5A5A0001, which was not read"),
              std::string::npos)
        << tail.reason;
    EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(destination() / tail.savedAs),
                                        std::span(bytes).subspan(big.parts[0].length)));
    for (const char* name : {"B.TXT", "C.TXT", "PACKED.BIN"}) ExpectWhole(name);

    // Given out of order, the media do not join, and the scan says why.
    ScanAndSave({1, 0});
    EXPECT_EQ(Result("BIG.BIN").outcome, SaveOutcome::Truncated);
    ASSERT_FALSE(found->mediaSpan().notes().empty());
    EXPECT_NE(found->mediaSpan().notes().front().find(
                  "is medium 1 of media family 0x5A5A0001, not the medium after"),
              std::string::npos)
        << found->mediaSpan().notes().front();
}

// Without the middle one of three media, a file cut twice keeps its pieces at their own offsets with a hole
// between them (it used to get the third medium's piece right after the first's), and its CSUM, which the
// hole could only fail, is not checked. A compressed stream's later piece has no known place in the decoded
// file: what decodes before the hole is kept, without it.
TEST_F(SpannedSaveTest, FileCutTwiceWithoutTheMiddleMediumKeepsItsPiecesInPlaceOrStopsAtTheHole) {
    const mw::Manifest plain = Unspread();
    for (const char* name : {"BIG.BIN", "PACKED.BIN"}) {
        SCOPED_TRACE(name);
        const std::uint64_t start = *(name[0] == 'B' ? plain.files[1] : plain.files[3]).dataOffset;
        Write({start + 1000, 7000});
        const mw::ManifestFile& cut = WrittenFile(name);
        ASSERT_EQ(cut.parts.size(), 3u);
        ScanAndSave({0, 2});
        const FileResult& result = Result(name);
        EXPECT_EQ(result.outcome, SaveOutcome::Truncated) << result.reason;
        const std::uint64_t onFirst = cut.parts[0].length, onSecond = cut.parts[1].length;
        const std::string gap = "bytes " + std::to_string(onFirst) + " to " +
                                std::to_string(onFirst + onSecond - 1) +
                                " are on medium 2 of media family 0x5A5A0001, which was not read";
        EXPECT_TRUE(result.reason.starts_with(gap)) << result.reason;
        const std::vector<std::uint8_t> got = ReadWholeFile(destination() / result.savedAs);
        std::vector<std::uint8_t> expected = Written(name);
        if (name[0] == 'B') {
            std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>(onFirst), onSecond, 0);
            EXPECT_TRUE(test_support::SameBytes(got, expected));
            EXPECT_EQ(result.checksum, ChecksumCheck::None);
        } else {
            ASSERT_LT(got.size(), expected.size() / 2);
            EXPECT_TRUE(test_support::SameBytes(got, std::span(expected).first(got.size())))
                << "a prefix of the file";
        }
        for (const char* whole : {"A.TXT", "C.TXT"}) ExpectWhole(whole);
    }
}

// Saving while the image is scanned: only the rows chosen are handed over, and the last row the scan has
// found waits for what follows it, so that a file the end of the medium cuts comes with its pieces (handed
// over at once, it would be read past its medium's end and said to end with the image).
TEST_F(SpannedSaveTest, SavingWhileScanningHandsOverTheChosenRowsAndACutFileWithItsPieces) {
    const mw::Manifest plain = Unspread();
    // The end of the medium lies chunks of the scan after BIG.BIN's FILE block.
    Write({*plain.files[1].dataOffset + 150000});
    const std::uint64_t onFirst = WrittenFile("BIG.BIN").parts.at(0).length;
    found = std::make_unique<catalog::Catalog>(std::make_shared<catalog::ExtensionFileInfo>());
    found->mediaSpan().BeginMedium(0, Image(0).string(), 0);
    common::ImageFile image;
    ASSERT_TRUE(common::OpenImageFile(image, Image(0).string())) << image.error();
    std::atomic<bool> active{true};
    catalog::ImageScanSummary summary;
    const auto chooses = [](std::string_view path) { return !path.ends_with("A.TXT"); };
    ScanWhileSaving scan(image, false, *found, chooses, active, summary);
    fs::create_directories(destination());
    report = SaveFiles(scan, SaveRequest{false, Image(0).string(), destination().string()}, sink, cancel);
    scan.Join();
    EXPECT_TRUE(scan.whole());
    EXPECT_FALSE(scan.percent().has_value()) << "the scan has ended";
    EXPECT_EQ(found->rowCount(), 2u);
    ASSERT_EQ(report.files.size(), 1u) << "A.TXT is not chosen";
    const FileResult& big = report.files[0];
    EXPECT_TRUE(big.catalogPath.ends_with("BIG.BIN"));
    EXPECT_EQ(big.outcome, SaveOutcome::Truncated);
    EXPECT_NE(big.reason.find("the rest of its data is on medium 2 of media family 0x5A5A0001"),
              std::string::npos)
        << big.reason;
    const std::vector<std::uint8_t> bytes = Written("BIG.BIN");
    EXPECT_TRUE(
        test_support::SameBytes(ReadWholeFile(destination() / big.savedAs), std::span(bytes).first(onFirst)));
}

TEST_F(SpannedSaveTest, EachTapeOfASpreadBackupGivesWhatItHoldsAndBothTapesJoinInOneCatalog) {
    const mw::Manifest plain = Unspread(16384);
    std::vector<std::unique_ptr<mw::TapFileSink>> sinks;
    std::vector<mw::Sink*> pointers;
    for (int i = 0; i < 2; ++i) {
        sinks.push_back(std::make_unique<mw::TapFileSink>(temp.path(std::to_string(i) + ".tap"), 16384));
        pointers.push_back(sinks.back().get());
    }
    manifest =
        mw::WriteSpannedMedia(media, pointers, std::vector<std::uint64_t>{*plain.files[1].dataOffset + 1000});
    tape::TapeDevices devices;
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(devices.AttachVirtual(i, {.path = temp.path(std::to_string(i) + ".tap").string()}));
    const auto scan = [&](std::vector<std::string> drives) {
        found = std::make_unique<catalog::Catalog>(std::make_shared<catalog::ExtensionFileInfo>());
        catalog::CatalogSink quiet;
        catalog::ScanContext context(*found, quiet);
        std::atomic<bool> active{true}, stop{false};
        for (std::size_t i = 0; i < drives.size(); ++i) {
            if (i > 0) catalog::BeginNextMedium(context, drives[i]);
            ASSERT_EQ(tape::ScanTape(devices, drives[i], *found, quiet, active, stop, nullptr, &context), 1);
        }
        found->FinishScan();
        items = CheckedItems(*found);
        fs::remove_all(destination());
        fs::create_directories(destination());
        SaveRequest request{true, drives[0], destination().string(), ExistingFiles::KeepBoth, &devices};
        request.laterSources.assign(drives.begin() + 1, drives.end());
        report = SaveFiles(items, request, sink, cancel);
    };
    const std::vector<std::uint8_t> bytes = Written("BIG.BIN");
    const std::uint64_t onFirst = WrittenFile("BIG.BIN").parts[0].length;

    scan({"//./tape0"});
    const FileResult& head = Result("BIG.BIN");
    EXPECT_EQ(head.outcome, SaveOutcome::Truncated);
    EXPECT_NE(head.reason.find("the rest of its data is on medium 2 of media family 0x5A5A0001"),
              std::string::npos)
        << head.reason;
    EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(destination() / head.savedAs),
                                        std::span(bytes).first(onFirst)));
    ExpectWhole("A.TXT");

    scan({"//./tape1"});
    const FileResult& tail = Result("BIG.BIN");
    EXPECT_EQ(tail.outcome, SaveOutcome::Truncated);
    EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(destination() / tail.savedAs),
                                        std::span(bytes).subspan(onFirst)));
    for (const char* name : {"B.TXT", "C.TXT", "PACKED.BIN"}) ExpectWhole(name);

    // Read in order, the tapes are one catalog; saving from both at once is refused, saying what to do.
    scan({"//./tape0", "//./tape1"});
    EXPECT_EQ(found->rowCount(), 5u);
    ASSERT_EQ(found->mediaSpan().spanned().size(), 1u);
    EXPECT_EQ(found->mediaSpan().spanned().begin()->second.parts.size(), 2u);
    EXPECT_EQ(report.totals.failed, 5u);
    EXPECT_NE(report.error.find("copy each tape of the backup into an image file"), std::string::npos)
        << report.error;
}

}  // namespace
}  // namespace ostrum::save
