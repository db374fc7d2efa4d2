// SPDX-License-Identifier: GPL-3.0-or-later
// Saving from image files: media written by our MTF writer, scanned into a catalog and saved back; every
// saved file is compared with the bytes the writer put in.

#include <sys/mount.h>
#include <sys/stat.h>

#include <cstring>
#include <set>

#include "catalog/block_name.h"
#include "save/save_path.h"
#include "save_fixture.h"
#include "test_media.h"

namespace ostrum::save {
namespace {

using namespace testing;
namespace mwt = mtfwriter::testing;

class ImageSaveTest : public SaveTest {
  protected:
    // Writes the media as an image, scans it and keeps the checked rows.
    void Prepare(const mw::MediaDescription& media) {
        description = media;
        manifest = mw::WriteImageFile(media, image());
        found = ScanImage(image());
        items = CheckedItems(*found);
    }
    SaveReport Save(ExistingFiles existing = ExistingFiles::KeepBoth) {
        fs::create_directories(destination());
        SaveRequest request{false, image().string(), destination().string(), existing};
        return SaveFiles(items, request, sink, cancel);
    }
    void PatchStreamHeader(std::uint64_t header, std::size_t at, std::uint16_t value,
                           bool fixChecksum = true) {
        testing::PatchStreamHeader(image(), header, at, value, fixChecksum);
    }
    fs::path image() const { return temp.path("medium.img"); }
    const FileResult* ResultFor(std::string_view name) const {
        for (const auto& result : report.files) {
            if (result.catalogPath.ends_with(name)) return &result;
        }
        return nullptr;
    }

    mw::MediaDescription description;
};

mw::MediaDescription OneSet(std::vector<mw::Entry> entries, bool compressed = false) {
    mw::MediaDescription media;
    media.sets.push_back(
        {.info = {.name = "Daily", .compressed = compressed}, .entries = std::move(entries)});
    return media;
}

mw::FileEntry Generated(const char* name, std::uint64_t size, std::uint64_t seed) {
    return mw::FileEntry{.name = name, .data = mw::GeneratedData{.size = size, .seed = seed}};
}

TEST_F(ImageSaveTest, EveryFileOfTwoSetsComesBackByteForByteWithItsTime) {
    // Empty, one-byte, block-exact, odd-sized, multi-read, checksummed and LZS-compressed files.
    Prepare(mwt::MixedMedia(1024, /*compressSecondSet=*/true));
    report = Save();

    const auto expected = ExpectedByOffset(description, manifest);
    EXPECT_EQ(ExpectSavedBytesMatch(report, items, expected, destination()), 9u);
    EXPECT_EQ(report.totals.saved, 9u);
    EXPECT_TRUE(report.AllSavedWhole());
    // The three files written with a CSUM stream (one compressed, whose frames are summed) are verified.
    EXPECT_EQ(report.totals.verified, 3u);
    EXPECT_EQ(ResultFor("ODD.DAT")->checksum, ChecksumCheck::Verified);
    EXPECT_EQ(ResultFor("A.TXT")->checksum, ChecksumCheck::None);

    const fs::path letter = destination() / "BACKUP SET 1(_Daily)/DOCS/LETTERS/A.TXT";
    EXPECT_TRUE(fs::is_regular_file(letter));
    EXPECT_TRUE(fs::is_regular_file(destination() / "BACKUP SET 2(_Weekly)/apps/fred/noise.bin"));
    struct stat info {};
    ASSERT_EQ(::stat((destination() / "BACKUP SET 1(_Daily)/EMPTY.TXT").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1672628645);  // 2023-01-02 03:04:05 UTC, from the FILE block

    std::uint64_t lengths = 0;
    for (const auto& item : items) lengths += item.size.value_or(0);
    EXPECT_EQ(sink.lastTotal, lengths);
    EXPECT_EQ(sink.lastDone, sink.lastTotal);
    EXPECT_FALSE(sink.progressWentBack);
    EXPECT_EQ(sink.finished.size(), items.size());
}

// A data byte changed on the medium: the file is kept as the medium gives it, but reported as not whole.
TEST_F(ImageSaveTest, DataThatDoNotGiveTheirChecksumAreKeptAndReportedAsMismatched) {
    Prepare(OneSet({mw::FileEntry{.name = "ODD.DAT", .data = mw::GeneratedData{1023, 3}, .csum = true},
                    mw::FileEntry{.name = "EVEN.DAT", .data = mw::GeneratedData{4096, 4}, .csum = true}}));
    std::fstream medium(image(), std::ios::in | std::ios::out | std::ios::binary);
    medium.seekp(static_cast<std::streamoff>(*manifest.files[0].dataOffset + 700));
    medium.put('\x5A');
    medium.close();
    report = Save();
    const FileResult* odd = ResultFor("ODD.DAT");
    EXPECT_EQ(odd->checksum, ChecksumCheck::Mismatch);
    EXPECT_EQ(odd->outcome, SaveOutcome::Saved);
    EXPECT_NE(odd->reason.find("its CSUM stream records 0x"), std::string::npos) << odd->reason;
    EXPECT_EQ(ReadWholeFile(destination() / odd->savedAs).at(700), 0x5A);
    EXPECT_EQ(ResultFor("EVEN.DAT")->checksum, ChecksumCheck::Verified);
    EXPECT_EQ(report.totals.checksumMismatches, 1u);
    EXPECT_EQ(report.totals.verified, 1u);
    EXPECT_FALSE(report.AllSavedWhole());
}

TEST_F(ImageSaveTest, FilesSpanningManyReadsAndSoftFilemarksComeBackWhole) {
    mw::MediaDescription media = OneSet({Generated("BIG.BIN", 3 * 1024 * 1024 + 17, 7),
                                         Generated("B.BIN", 65536, 8), Generated("C.BIN", 65537, 9)});
    media.sets.push_back({.info = {.name = "Packed", .compressed = true},
                          .entries = {Generated("BIG.BIN", 1024 * 1024 + 3, 10)}});
    manifest = mw::WriteImageFile(media, image(), {.softFilemarks = true});
    description = media;
    found = ScanImage(image());
    items = CheckedItems(*found);
    report = Save();
    EXPECT_EQ(ExpectSavedBytesMatch(report, items, ExpectedByOffset(media, manifest), destination()), 4u);
    EXPECT_TRUE(report.AllSavedWhole());
}

TEST_F(ImageSaveTest, IdenticalNamesAreBothKeptAndUncheckedRowsAreLeftOut) {
    Prepare(OneSet({mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("first")},
                    mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("second")},
                    mw::FileEntry{.name = "B.TXT", .data = mw::BytesOf("unchecked")}}));
    found->SetChecked(2, false);
    items = CheckedItems(*found);
    ASSERT_EQ(items.size(), 2u);
    for (auto policy : {ExistingFiles::KeepBoth, ExistingFiles::Skip, ExistingFiles::Overwrite}) {
        fs::remove_all(destination());
        report = Save(policy);
        const fs::path folder = destination() / "BACKUP SET 1(_Daily)";
        EXPECT_EQ(ReadWholeFile(folder / "A.TXT"), mw::BytesOf("first"));
        EXPECT_EQ(ReadWholeFile(folder / "A (1).TXT"), mw::BytesOf("second"));
        EXPECT_EQ(report.files[1].outcome, SaveOutcome::SavedRenamed);
        EXPECT_EQ(report.files[1].savedAs, "BACKUP SET 1(_Daily)/A (1).TXT");
        EXPECT_FALSE(fs::exists(folder / "B.TXT"));
    }
}

// Logs the files reported finished beside the calls' syncs.
class LoggingSink : public SaveSink {
  public:
    explicit LoggingSink(std::vector<std::string>& log) : log_(log) {}
    void FileFinished(const FileResult& result) override { log_.push_back("finished " + result.catalogPath); }

  private:
    std::vector<std::string>& log_;
};

TEST_F(ImageSaveTest, ManyFilesOfOneNameEachTryOneName) {
    // Each file of a name used to try "A.TXT", "A (1).TXT", ... from the start: n files of one name made
    // n * n / 2 renames.
    constexpr int kFiles = 300;
    std::vector<mw::Entry> entries;
    for (int i = 0; i < kFiles; ++i)
        entries.push_back(mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")});
    Prepare(OneSet(std::move(entries)));
    fs::create_directories(destination() / "BACKUP SET 1(_Daily)");
    WriteWholeFile(destination() / "BACKUP SET 1(_Daily)/A (2).TXT", "there before");
    auto calls = std::make_shared<TestCalls>();
    report =
        SaveFiles(items, {false, image().string(), destination().string(), {}, nullptr, calls}, sink, cancel);
    EXPECT_EQ(report.totals.saved + report.totals.renamed, std::size_t{kFiles});
    EXPECT_EQ(report.files[2].savedAs, "BACKUP SET 1(_Daily)/A (3).TXT");
    EXPECT_EQ(report.files[kFiles - 1].savedAs,
              "BACKUP SET 1(_Daily)/A (" + std::to_string(kFiles) + ").TXT");
    EXPECT_EQ(calls->names.load(), kFiles + 1);  // one more for the name that was taken before
}

// Files are written without a name and copied inside the kernel where the system allows it; where the file
// system takes no unnamed files, or the kernel will not copy, they get temporary names and are read and
// written, and come back the same.
TEST_F(ImageSaveTest, FilesComeBackWholeWhereTheKernelCopiesAndWhereItRefuses) {
    mw::MediaDescription media = OneSet({});
    auto& entries = media.sets[0].entries;
    for (int i = 0; i < 40; ++i) {
        mw::DirectoryEntry folder;
        folder.path = {"D" + std::to_string(i % 4)};
        entries.emplace_back(std::move(folder));
        entries.emplace_back(Generated("S.BIN", 100 + 997 * i, i + 1));  // read with the header
    }
    entries.emplace_back(Generated("BIG.BIN", 3 << 20, 99));  // copied
    // Data followed by a CSUM stream are read to be summed, small or large.
    entries.emplace_back(
        mw::FileEntry{.name = "SUMMED.BIN", .data = mw::GeneratedData{5000, 97}, .csum = true});
    entries.emplace_back(
        mw::FileEntry{.name = "LARGE.BIN", .data = mw::GeneratedData{1 << 20, 98}, .csum = true});
    Prepare(media);
    const auto expected = ExpectedByOffset(description, manifest);
    for (const auto& [unnamedError, copyError] : {std::pair{0, 0}, {EOPNOTSUPP, EXDEV}, {0, EXDEV}}) {
        SCOPED_TRACE(std::to_string(unnamedError) + " " + std::to_string(copyError));
        fs::remove_all(destination());
        fs::create_directories(destination());
        auto calls = std::make_shared<TestCalls>();
        calls->unnamedError = unnamedError;
        calls->copyError = copyError;
        report = SaveFiles(items, {false, image().string(), destination().string(), {}, nullptr, calls}, sink,
                           cancel);
        EXPECT_TRUE(report.AllSavedWhole());
        EXPECT_EQ(ExpectSavedBytesMatch(report, items, expected, destination()), items.size());
        EXPECT_EQ(report.totals.verified, 2u);
        // Ten files of one name in each folder, numbered in the order of the items.
        for (std::size_t i = 0; i < 40; ++i) {
            const std::string number = i < 4 ? "" : " (" + std::to_string(i / 4) + ")";
            EXPECT_EQ(report.files[i].savedAs,
                      "BACKUP SET 1(_Daily)/D" + std::to_string(i % 4) + "/S" + number + ".BIN");
        }
        EXPECT_EQ(calls->renames > 0, unnamedError != 0);
        EXPECT_EQ(calls->copies > 0, copyError == 0);
        std::size_t kept = 0;
        for (const auto& entry : fs::recursive_directory_iterator(destination()))
            kept += entry.is_regular_file();
        EXPECT_EQ(kept, items.size());  // no temporary left behind
    }
}

TEST_F(ImageSaveTest, FilesAreReportedSavedOnlyOnceSyncedAndAFailedSyncFailsThem) {
    // Files used to be reported saved as soon as they had their names, their data maybe still in memory.
    Prepare(OneSet({mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")},
                    mw::FileEntry{.name = "B.TXT", .data = mw::BytesOf("b")},
                    mw::FileEntry{.name = "OLD.TXT", .data = mw::BytesOf("new")}}));
    const fs::path set = destination() / "BACKUP SET 1(_Daily)";
    for (const int syncError : {0, EIO}) {
        fs::remove_all(destination());
        fs::create_directories(set);
        WriteWholeFile(set / "OLD.TXT", "old");
        auto calls = std::make_shared<TestCalls>();
        calls->syncError = syncError;
        LoggingSink logging(calls->log);
        report = SaveFiles(
            items, {false, image().string(), destination().string(), ExistingFiles::Skip, nullptr, calls},
            logging, cancel);
        ASSERT_EQ(calls->log.size(), 4u);
        EXPECT_EQ(calls->log[0], "sync");
        EXPECT_EQ(calls->log[1], "finished " + items[0].catalogPath);
        EXPECT_EQ(report.files[2].outcome, SaveOutcome::Skipped);  // nothing of it written
        for (std::size_t i : {0u, 1u}) {
            if (syncError == 0) {
                EXPECT_EQ(report.files[i].outcome, SaveOutcome::Saved);
                continue;
            }
            EXPECT_EQ(report.files[i].outcome, SaveOutcome::Failed);
            EXPECT_NE(report.files[i].reason.find("could not make sure that the data written to"),
                      std::string::npos)
                << report.files[i].reason;
            EXPECT_NE(report.files[i].reason.find(std::strerror(EIO)), std::string::npos);
            EXPECT_TRUE(fs::exists(destination() / report.files[i].savedAs));  // kept for the user to judge
        }
        EXPECT_EQ(report.AllSavedWhole(), syncError == 0);
    }
}

TEST_F(ImageSaveTest, LengthsSummingPast64BitsKeepTheProgressWhole) {
    // Lengths from the medium used to be summed as they came: three of 2^63, 2^63 and 5 bytes made a
    // total of 5, and the count of bytes done went back to 0 halfway.
    Prepare(OneSet({mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")}}));
    items.assign(3, items[0]);
    for (auto& item : items) item.dataOffset.reset();  // each ends at once, not found
    items[0].size = items[1].size = std::uint64_t{1} << 63;
    items[2].size = 5;
    report = Save();
    EXPECT_EQ(sink.lastTotal, UINT64_MAX);
    EXPECT_EQ(sink.lastDone, UINT64_MAX);
    EXPECT_FALSE(sink.progressWentBack);
}

TEST_F(ImageSaveTest, ExistingFileIsKeptSkippedOrReplacedAsThePolicySays) {
    Prepare(OneSet({mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("new")}}));
    const fs::path folder = destination() / "BACKUP SET 1(_Daily)";
    struct Case {
        ExistingFiles policy;
        SaveOutcome outcome;
        const char* inA;
        bool copyMade;
    };
    for (const Case& c : {Case{ExistingFiles::KeepBoth, SaveOutcome::SavedRenamed, "old", true},
                          Case{ExistingFiles::Skip, SaveOutcome::Skipped, "old", false},
                          Case{ExistingFiles::Overwrite, SaveOutcome::Saved, "new", false}}) {
        fs::remove_all(destination());
        fs::create_directories(folder);
        WriteWholeFile(folder / "A.TXT", "old");
        report = Save(c.policy);
        EXPECT_EQ(report.files[0].outcome, c.outcome) << static_cast<int>(c.policy);
        EXPECT_EQ(ReadWholeFile(folder / "A.TXT"), mw::BytesOf(c.inA));
        EXPECT_EQ(fs::exists(folder / "A (1).TXT"), c.copyMade);
        if (c.copyMade) {
            EXPECT_EQ(ReadWholeFile(folder / "A (1).TXT"), mw::BytesOf("new"));
        }
        EXPECT_EQ(report.AllSavedWhole(), true);  // a skip is the user's choice
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()),
                  c.copyMade ? 2 : 1);
    }
}

// Answers the questions about taken names from a script, and keeps what it was asked.
class AnsweringSink : public RecordingSink {
  public:
    explicit AnsweringSink(std::vector<ExistingFileAnswer> answers) : answers_(std::move(answers)) {}
    ExistingFileAnswer AskExisting(std::size_t, std::string_view destination) override {
        asked.emplace_back(destination);
        return asked.size() <= answers_.size() ? answers_[asked.size() - 1] : ExistingFileAnswer{};
    }
    std::vector<std::string> asked;

  private:
    std::vector<ExistingFileAnswer> answers_;
};

TEST_F(ImageSaveTest, AskPolicyAsksAboutEachTakenNameAndHonoursTheAnswer) {
    Prepare(OneSet({mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("new a")},
                    mw::FileEntry{.name = "B.TXT", .data = mw::BytesOf("new b")},
                    mw::FileEntry{.name = "C.TXT", .data = mw::BytesOf("new c")},
                    mw::FileEntry{.name = "D.TXT", .data = mw::BytesOf("new d")},
                    mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("second a")}}));
    const fs::path set = destination() / "BACKUP SET 1(_Daily)";
    const auto prepareOld = [&] {
        fs::remove_all(destination());
        fs::create_directories(set);
        for (const char* name : {"A.TXT", "B.TXT", "C.TXT"}) WriteWholeFile(set / name, "old");
    };
    const SaveRequest request{false, image().string(), destination().string(), ExistingFiles::Ask};

    // Replace A; skip B and, for the rest, every other taken name (C). D is free and the second A.TXT
    // takes a name saved in this run: neither is asked about.
    prepareOld();
    AnsweringSink answering({{ExistingFiles::Overwrite, false}, {ExistingFiles::Skip, true}});
    report = SaveFiles(items, request, answering, cancel);
    EXPECT_EQ(answering.asked,
              (std::vector<std::string>{"BACKUP SET 1(_Daily)/A.TXT", "BACKUP SET 1(_Daily)/B.TXT"}));
    const SaveOutcome want[] = {SaveOutcome::Saved, SaveOutcome::Skipped, SaveOutcome::Skipped,
                                SaveOutcome::Saved, SaveOutcome::SavedRenamed};
    for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(report.files[i].outcome, want[i]) << i;
    EXPECT_EQ(ReadWholeFile(set / "A.TXT"), mw::BytesOf("new a"));
    EXPECT_EQ(ReadWholeFile(set / "B.TXT"), mw::BytesOf("old"));
    EXPECT_EQ(ReadWholeFile(set / "C.TXT"), mw::BytesOf("old"));
    EXPECT_EQ(ReadWholeFile(set / "A (1).TXT"), mw::BytesOf("second a"));

    // A question closed without an answer keeps both, and is asked again for the next taken name (the
    // second A.TXT meets the old A.TXT again: the first went to "A (1).TXT").
    prepareOld();
    AnsweringSink closing({});
    report = SaveFiles(items, request, closing, cancel);
    EXPECT_EQ(closing.asked.size(), 4u);
    EXPECT_EQ(report.totals.renamed, 4u);
    EXPECT_EQ(ReadWholeFile(set / "A.TXT"), mw::BytesOf("old"));
    EXPECT_EQ(ReadWholeFile(set / "B (1).TXT"), mw::BytesOf("new b"));
}

TEST_F(ImageSaveTest, HostileNamesLandInsideTheDestination) {
    Prepare(OneSet({
        mw::DirectoryEntry{.rawName = std::u16string(u"..\0..\0etc\0", 10)},
        mw::FileEntry{.name = mw::Name::Raw(std::u16string(u"..\0..\0evil.txt", 14)),
                      .data = mw::BytesOf("1")},
        mw::FileEntry{.name = "/tmp/abs.txt", .data = mw::BytesOf("2")},
        mw::FileEntry{.name = mw::Name::Raw(std::u16string(u"\0\0x.txt", 7)), .data = mw::BytesOf("3")},
        mw::FileEntry{.name = "a/../b.txt", .data = mw::BytesOf("4")},
    }));
    ASSERT_EQ(items.size(), 4u);
    report = Save();
    ASSERT_EQ(report.totals.saved, 4u);
    const std::string set = "BACKUP SET 1(_Daily)/__/__/etc/";
    EXPECT_EQ(report.files[0].savedAs, set + "__/__/evil.txt");
    EXPECT_EQ(report.files[1].savedAs, set + "_tmp_abs.txt");
    EXPECT_EQ(report.files[2].savedAs, set + "_/x.txt");  // one leading NUL ends the folder
    EXPECT_EQ(report.files[3].savedAs, set + "a_.._b.txt");
    for (const auto& result : report.files) {
        EXPECT_TRUE(fs::is_regular_file(destination() / result.savedAs)) << result.savedAs;
    }
    // Nothing beside the destination and the image in the test's folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.root()), fs::directory_iterator()), 2);
}

TEST_F(ImageSaveTest, NamesTooLongForTheFileSystemAreShortenedAndKeptApart) {
    // A name of 200 Cyrillic letters is 400 bytes of UTF-8, over the 255 a Linux file system takes: such
    // files, and every file in such a folder, used to fail with "File name too long".
    std::string letters;
    for (int i = 0; i < 199; ++i) letters += "\u0416";  // Ж, two bytes
    const std::string first = letters + "\u0416.txt", second = letters + "\u042F.txt";
    std::string folder;
    for (int i = 0; i < 130; ++i) folder += "\u0444";
    Prepare(OneSet({mw::FileEntry{.name = first, .data = mw::BytesOf("first")},
                    mw::FileEntry{.name = second, .data = mw::BytesOf("second")},
                    mw::DirectoryEntry{.path = {folder}},
                    mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")}}));
    ASSERT_EQ(items.size(), 3u);
    std::set<std::string> names;
    for (int run = 0; run < 2; ++run) {  // the second run keeps both, with numbered names that fit too
        report = Save();
        EXPECT_EQ(
            ExpectSavedBytesMatch(report, items, ExpectedByOffset(description, manifest), destination()), 3u);
        for (const auto& result : report.files) {
            EXPECT_EQ(result.outcome, SaveOutcome::SavedRenamed) << result.reason;
            EXPECT_NE(result.reason.find("longer than the 255 bytes"), std::string::npos) << result.reason;
            for (const auto& part : fs::path(result.savedAs)) {
                EXPECT_LE(part.string().size(), 255u);
                EXPECT_TRUE(catalog::IsCatalogNameValid(part.string())) << "cut inside a character";
            }
            names.insert(result.savedAs);
        }
    }
    EXPECT_EQ(names.size(), 6u);
    const std::string saved = fs::path(report.files[0].savedAs).filename().string();
    EXPECT_TRUE(saved.starts_with(letters.substr(0, 200))) << saved;
    EXPECT_TRUE(saved.ends_with(".txt")) << saved;
}

TEST_F(ImageSaveTest, SymbolicLinksInTheDestinationAreNeverFollowed) {
    Prepare(OneSet(
        {mw::DirectoryEntry{.path = {"DOCS"}}, mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")},
         mw::DirectoryEntry{.path = {"KEEP"}}, mw::FileEntry{.name = "B.TXT", .data = mw::BytesOf("b")}}));
    const fs::path outside = temp.path("outside");
    fs::create_directories(outside);
    WriteWholeFile(outside / "B.TXT", "precious");
    const fs::path set = destination() / "BACKUP SET 1(_Daily)";
    fs::create_directories(set / "KEEP");
    fs::create_directory_symlink(outside, set / "DOCS");
    fs::create_symlink(outside / "B.TXT", set / "KEEP/B.TXT");

    report = Save(ExistingFiles::Overwrite);
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Failed);
    EXPECT_NE(report.files[0].reason.find("symbolic link"), std::string::npos) << report.files[0].reason;
    // Overwriting replaces the link itself, not the file it points at.
    EXPECT_EQ(report.files[1].outcome, SaveOutcome::Saved);
    EXPECT_FALSE(fs::is_symlink(set / "KEEP/B.TXT"));
    EXPECT_EQ(ReadWholeFile(set / "KEEP/B.TXT"), mw::BytesOf("b"));
    EXPECT_EQ(ReadWholeFile(outside / "B.TXT"), mw::BytesOf("precious"));
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
}

TEST_F(ImageSaveTest, SourceEndingInsideAFileKeepsOnlyAPartialCopyAndSavesTheOthers) {
    Prepare(OneSet(
        {mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("before")}, Generated("CUT.BIN", 200000, 3)}));
    const std::uint64_t cut = *items[1].dataOffset + 1000;
    fs::resize_file(image(), cut);
    // The file of the first row is also saved when it comes after the cut one.
    std::swap(items[0], items[1]);
    report = Save();
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Truncated);
    EXPECT_NE(report.files[0].reason.find("the image ends at byte " + std::to_string(cut)), std::string::npos)
        << report.files[0].reason;
    EXPECT_EQ(report.files[0].savedAs, "BACKUP SET 1(_Daily)/CUT.BIN.partial");
    std::vector<std::uint8_t> prefix(1000);
    mw::FillGenerated(3, 0, prefix);
    EXPECT_EQ(ReadWholeFile(destination() / report.files[0].savedAs), prefix);
    EXPECT_FALSE(fs::exists(destination() / "BACKUP SET 1(_Daily)/CUT.BIN"));
    EXPECT_EQ(report.files[1].outcome, SaveOutcome::Saved);
    EXPECT_EQ(report.totals.truncated, 1u);
    EXPECT_FALSE(report.AllSavedWhole());
}

TEST_F(ImageSaveTest, LengthAbove4GiBIsReadInFullNotByItsLow32Bits) {
    // The header declares 4 GiB + 5 bytes while 5 are written: a reader of the low 32 bits would call
    // the file complete after 5 bytes; the full length runs past the end of the image.
    Prepare(OneSet({mw::FileEntry{
        .name = "BIG.DAT", .data = mw::BytesOf("12345"), .declaredLength = (std::uint64_t{1} << 32) + 5}}));
    ASSERT_EQ(items.at(0).size, (std::uint64_t{1} << 32) + 5);
    report = Save();
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Truncated);
    EXPECT_NE(report.files[0].reason.find("of 4294967301 bytes"), std::string::npos)
        << report.files[0].reason;
}

TEST_F(ImageSaveTest, FileOfMoreThan4GiBComesBackWhole) {
    // 4 GiB + 1000 bytes: every byte is compared. The row is made from the writer's manifest rather than
    // by scanning 4 GiB, which the scanner's own tests cover.
    constexpr std::uint64_t kSize = (std::uint64_t{1} << 32) + 1000;
    // The image and the saved copy need twice the size; a machine without the room says so and skips.
    const auto room = fs::space(fs::temp_directory_path()).available;
    if (room < 2 * kSize + (std::uint64_t{1} << 30)) {
        GTEST_SKIP() << "needs " << (2 * kSize >> 30) + 1 << " GiB free in " << fs::temp_directory_path()
                     << ", has " << (room >> 30) << " GiB";
    }
    manifest = mw::WriteImageFile(OneSet({Generated("HUGE.BIN", kSize, 77)}), image());
    ASSERT_EQ(manifest.files.size(), 1u);
    items = {SaveItem{
        "TAPE MEDIA\\BACKUP SET 1(_Daily)\\HUGE.BIN", kSize, manifest.files[0].dataOffset, {}, 0, {}}};
    report = Save();
    ASSERT_EQ(report.files[0].outcome, SaveOutcome::Saved) << report.files[0].reason;
    const fs::path saved = destination() / report.files[0].savedAs;
    ASSERT_EQ(fs::file_size(saved), kSize);
    std::ifstream in(saved, std::ios::binary);
    std::vector<std::uint8_t> got(1 << 20), want(1 << 20);
    bool same = true;
    for (std::uint64_t at = 0; at < kSize && same; at += got.size()) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(got.size(), kSize - at));
        in.read(reinterpret_cast<char*>(got.data()), static_cast<std::streamsize>(n));
        mw::FillGenerated(77, at, std::span(want).first(n));
        same = in.gcount() == static_cast<std::streamsize>(n) &&
               std::equal(want.begin(), want.begin() + n, got.begin());
        if (!same) ADD_FAILURE() << "first difference in the MiB at byte " << at;
    }
    EXPECT_EQ(sink.lastDone, kSize);
}

TEST_F(ImageSaveTest, PositionWithoutAStanHeaderIsNotFoundAndWritesNothing) {
    Prepare(OneSet({mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("hello world")},
                    mw::FileEntry{.name = "B.TXT", .data = mw::BytesOf("b")}}));
    *items[0].dataOffset += 4;
    items[1].dataOffset.reset();
    items.push_back(items[1]);
    items[2].dataOffset = 3;  // not even room for a header before it
    report = Save();
    for (const auto& result : report.files) {
        EXPECT_EQ(result.outcome, SaveOutcome::Failed);
        EXPECT_NE(result.reason.find("not found"), std::string::npos) << result.reason;
    }
    EXPECT_NE(report.files[0].reason.find("are not a STAN stream header"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(destination()));
}

TEST_F(ImageSaveTest, DamagedStreamHeaderWritesNothingOnTheStrengthOfItsLength) {
    // A stream length changed to 0x7fffffff used to be believed: the file was read on to the end of the
    // image and kept as A.TXT.partial, with every later file's bytes in it.
    Prepare(OneSet({mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("hello")},
                    mw::FileEntry{.name = "B.TXT", .data = mw::BytesOf("second")}}));
    PatchStreamHeader(*items[0].dataOffset - 22, 8, 0xFFFF, /*fixChecksum=*/false);
    PatchStreamHeader(*items[0].dataOffset - 22, 10, 0x7FFF, /*fixChecksum=*/false);
    found = ScanImage(image());
    items = CheckedItems(*found);
    ASSERT_EQ(items[0].size, 0x7FFFFFFFu);  // the scan's catalog keeps what it read
    report = Save();
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Failed);
    EXPECT_TRUE(report.files[0].reason.starts_with("damaged stream header")) << report.files[0].reason;
    EXPECT_EQ(report.files[0].savedAs, "");
    EXPECT_EQ(report.files[1].outcome, SaveOutcome::Saved);
    const fs::path set = destination() / "BACKUP SET 1(_Daily)";
    EXPECT_EQ(std::distance(fs::directory_iterator(set), fs::directory_iterator()), 1);  // only B.TXT
}

TEST_F(ImageSaveTest, DamagedFrameEndsTheFileWithWhatWasDecodedBeforeIt) {
    mw::FileEntry damaged = Generated("D.BIN", 3 * 65536, 5);
    damaged.badFrameChecksum = 1;
    Prepare(OneSet({damaged, Generated("OK.BIN", 100000, 6)}, /*compressed=*/true));
    report = Save();
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Truncated);
    EXPECT_NE(report.files[0].reason.find("compressed frame 2"), std::string::npos) << report.files[0].reason;
    EXPECT_NE(report.files[0].reason.find("checksum"), std::string::npos);
    std::vector<std::uint8_t> firstFrame(65536);
    mw::FillGenerated(5, 0, firstFrame);
    EXPECT_EQ(ReadWholeFile(destination() / report.files[0].savedAs), firstFrame);
    EXPECT_EQ(report.files[1].outcome, SaveOutcome::Saved);
    EXPECT_EQ(ExpectSavedBytesMatch(report, items, ExpectedByOffset(description, manifest), destination()),
              1u);
}

TEST_F(ImageSaveTest, CompressedFileCutShortKeepsWhatItsFramesDecodeTo) {
    // A compressed file cut inside a frame used to lose that frame's decodable bytes, and everything when
    // the cut fell in its first frame; an uncompressed file keeps every byte read as NAME.partial.
    std::string text;
    for (int i = 0; i < 6000; ++i) text += "line " + std::to_string(i % 70) + " of the monthly report\n";
    const std::vector<std::uint8_t> original = mw::BytesOf(text);
    ASSERT_GT(original.size(), 2u * 65536);
    Prepare(OneSet({mw::FileEntry{.name = "R.TXT", .data = original}}, /*compressed=*/true));
    const std::uint64_t start = *items[0].dataOffset;
    const std::uint64_t end = start + manifest.files[0].dataLength;
    // Inside the first frame's data, and inside the last (third) frame's data.
    for (const auto& [cut, fullFrames] : {std::pair{start + 24 + 300, 0u}, std::pair{end - 200, 2u}}) {
        fs::copy_file(image(), temp.path("cut.img"), fs::copy_options::overwrite_existing);
        fs::resize_file(temp.path("cut.img"), cut);
        fs::remove_all(destination());
        fs::create_directories(destination());
        report = SaveFiles(items, SaveRequest{false, temp.path("cut.img").string(), destination().string()},
                           sink, cancel);
        ASSERT_EQ(report.files[0].outcome, SaveOutcome::Truncated);
        ASSERT_EQ(report.files[0].savedAs, "BACKUP SET 1(_Daily)/R.TXT.partial") << report.files[0].reason;
        const auto kept = ReadWholeFile(destination() / report.files[0].savedAs);
        EXPECT_GT(kept.size(), fullFrames * 65536u);
        EXPECT_LT(kept.size(), original.size());
        EXPECT_TRUE(std::equal(kept.begin(), kept.end(), original.begin()));
    }
}

TEST_F(ImageSaveTest, StreamsThatCannotBeDecodedAreSavedRawAndSaySo) {
    Prepare(OneSet({mw::FileEntry{.name = "C.BIN", .data = mw::BytesOf("compressed otherwise")},
                    mw::FileEntry{.name = "E.BIN", .data = mw::BytesOf("encrypted")}}));
    // Mark the first stream as compressed with an unknown algorithm and the second as encrypted.
    PatchStreamHeader(*items[0].dataOffset - 22, 6, 1u << 4);
    PatchStreamHeader(*items[0].dataOffset - 22, 18, 0x1234);
    PatchStreamHeader(*items[1].dataOffset - 22, 6, 1u << 3);
    report = Save();
    for (const auto& result : report.files) {
        EXPECT_EQ(result.outcome, SaveOutcome::Saved);
        EXPECT_FALSE(result.decoded);
    }
    EXPECT_NE(report.files[0].reason.find("algorithm 0x1234"), std::string::npos) << report.files[0].reason;
    EXPECT_NE(report.files[1].reason.find("encrypted"), std::string::npos) << report.files[1].reason;
    EXPECT_EQ(ReadWholeFile(destination() / report.files[0].savedAs), mw::BytesOf("compressed otherwise"));
    EXPECT_EQ(report.totals.notDecoded, 2u);
    EXPECT_FALSE(report.AllSavedWhole());
}

TEST_F(ImageSaveTest, CancelInTheMiddleOfAFileRemovesItsPartAndStops) {
    Prepare(OneSet({mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("done before")},
                    Generated("BIG.BIN", 8 << 20, 1),
                    mw::FileEntry{.name = "C.TXT", .data = mw::BytesOf("later")}}));
    CancellingSink cancelling(cancel, 3 << 20);
    fs::create_directories(destination());
    report =
        SaveFiles(items, SaveRequest{false, image().string(), destination().string()}, cancelling, cancel);
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Saved);
    EXPECT_EQ(report.files[1].outcome, SaveOutcome::Cancelled);
    EXPECT_EQ(report.files[2].outcome, SaveOutcome::Cancelled);
    EXPECT_LT(cancelling.lastDone, std::uint64_t{5} << 20);  // stopped within the big file
    const fs::path set = destination() / "BACKUP SET 1(_Daily)";
    EXPECT_EQ(std::distance(fs::directory_iterator(set), fs::directory_iterator()), 1);  // only A.TXT
    EXPECT_FALSE(report.AllSavedWhole());
}

TEST_F(ImageSaveTest, MissingImageOrDestinationFailsEveryFileWithTheReason) {
    Prepare(OneSet({mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")}}));
    SaveRequest request{false, temp.path("absent.img").string(), temp.path("out").string()};
    fs::create_directories(destination());
    report = SaveFiles(items, request, sink, cancel);
    EXPECT_NE(report.error.find("absent.img"), std::string::npos) << report.error;
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Failed);
    request = {false, image().string(), temp.path("no-such-folder").string()};
    report = SaveFiles(items, request, sink, cancel);
    EXPECT_NE(report.error.find("no-such-folder"), std::string::npos) << report.error;
    EXPECT_EQ(report.totals.failed, 1u);
}

// A small file system mounted for the test, where the test may mount one (as root).
class SmallFileSystem {
  public:
    SmallFileSystem(const fs::path& at, const char* options) : at_(at) {
        fs::create_directories(at);
        mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

  private:
    fs::path at_;
    bool mounted_ = false;
};

TEST_F(ImageSaveTest, FullOrReadOnlyDestinationStopsTheSaveAndSaysSoOnce) {
    // A full disk used to fail each remaining file in turn, one "No space left on device" line each,
    // while writing on wherever a small file still fitted.
    Prepare(OneSet({mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("small")},
                    Generated("BIG.BIN", 3 << 20, 2),
                    mw::FileEntry{.name = "C.TXT", .data = mw::BytesOf("after")},
                    mw::FileEntry{.name = "D.TXT", .data = mw::BytesOf("last")}}));
    const fs::path set = destination() / "BACKUP SET 1(_Daily)";
    struct Case {
        const char* what;
        int error;
        bool readOnly;
        bool realFileSystem;
    };
    for (const Case& c : {Case{"full", ENOSPC, false, false}, Case{"over quota", EDQUOT, false, false},
                          Case{"read-only", EROFS, true, false}, Case{"full tmpfs", ENOSPC, false, true},
                          Case{"read-only tmpfs", EROFS, true, true}}) {
        SCOPED_TRACE(c.what);
        fs::remove_all(destination());
        fs::create_directories(destination());
        // Calls that fail as the destination would; or a real file system of 1 MiB, where one can be mounted.
        auto calls = std::make_shared<TestCalls>();
        std::optional<SmallFileSystem> disk;
        if (c.realFileSystem) {
            disk.emplace(destination(), c.readOnly ? "size=1m,ro" : "size=1m");
            if (!disk->mounted()) continue;
            calls.reset();
        } else if (c.readOnly) {
            calls->createError = c.error;
        } else {
            calls->room = 1 << 20;
            calls->fullError = c.error;
        }
        RecordingSink recording;
        report = SaveFiles(items, {false, image().string(), destination().string(), {}, nullptr, calls},
                           recording, cancel);
        const std::size_t firstFailed = c.readOnly ? 0 : 1;
        EXPECT_EQ(report.files[0].outcome, c.readOnly ? SaveOutcome::Failed : SaveOutcome::Saved);
        EXPECT_EQ(report.files[firstFailed].outcome, SaveOutcome::Failed);
        EXPECT_NE(report.files[firstFailed].reason.find(std::strerror(c.error)), std::string::npos)
            << report.files[firstFailed].reason;
        for (std::size_t i = firstFailed + 1; i < items.size(); ++i) {
            EXPECT_EQ(report.files[i].outcome, SaveOutcome::NotAttempted);
            EXPECT_EQ(std::string(OutcomeText(report.files[i].outcome)) + ": " + report.files[i].reason,
                      "not attempted: destination full");
        }
        EXPECT_EQ(report.totals.notAttempted, items.size() - firstFailed - 1);
        EXPECT_EQ(report.destinationFull, std::strerror(c.error));
        EXPECT_EQ(std::count_if(recording.statusLines.begin(), recording.statusLines.end(),
                                [](const std::string& line) {
                                    return line.find("destination is full") != std::string::npos;
                                }),
                  1);
        EXPECT_FALSE(report.AllSavedWhole());
        // Only A.TXT, whole; nothing half-written is left behind.
        if (!c.readOnly) {
            EXPECT_EQ(std::distance(fs::directory_iterator(set), fs::directory_iterator()), 1);
            EXPECT_EQ(ReadWholeFile(set / "A.TXT"), mw::BytesOf("small"));
        }
    }
}

}  // namespace
}  // namespace ostrum::save
