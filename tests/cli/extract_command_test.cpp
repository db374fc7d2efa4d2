// SPDX-License-Identifier: GPL-3.0-or-later
// Golden cases for `ostrum-tape-cli extract`: the real program on media written by our MTF writer.

#include <sys/stat.h>

#include <tuple>

#include "cli_golden.h"
#include "save_fixture.h"

namespace ostrum::save {
namespace {

using namespace testing;

class ExtractCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mw::MediaDescription media;
        media.sets.push_back({.info = {.name = "Daily"},
                              .entries = {mw::DirectoryEntry{.path = {"DOCS"}},
                                          mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("letter")},
                                          mw::FileEntry{.name = "B.BIN", .data = mw::GeneratedData{70000, 5}},
                                          mw::DirectoryEntry{.path = {"PICS"}},
                                          mw::FileEntry{.name = "C.JPG", .data = mw::BytesOf("jpeg")}}});
        mw::WriteImageFile(media, temp.path("medium.img"));
        mw::WriteTapFile(media, temp.path("medium.tap"), 16384);
    }
    cli::testing::CliResult Run(const std::string& arguments) {
        return cli::testing::RunCli(arguments, temp.path("stderr").string());
    }
    std::string Image() const { return temp.path("medium.img").string(); }
    fs::path Out() const { return temp.path("out"); }
    std::string Set() const { return (Out() / "BACKUP SET 1(_Daily)").string(); }

    TempFolder temp;
};

TEST_F(ExtractCommandTest, SavesEverythingAndPrintsTheTotals) {
    const auto result = Run("extract " + Image() + " " + Out().string());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "saved 3, under another name 0, skipped 0, truncated 0, failed 0, cancelled 0, "
              "not decoded 0, verified 0; 70010 bytes written\n");
    EXPECT_EQ(ReadWholeFile(Set() + "/DOCS/A.TXT"), mw::BytesOf("letter"));
    std::vector<std::uint8_t> b(70000);
    mw::FillGenerated(5, 0, b);
    EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(Set() + "/DOCS/B.BIN"), b));
    EXPECT_EQ(result.err, "");  // no progress bar when standard error is not a terminal
}

TEST_F(ExtractCommandTest, SecondRunKeepsBothByDefaultAndSkipsWhenAsked) {
    ASSERT_EQ(Run("extract --include 'BACKUP SET 1(_Daily)/PICS' " + Image() + " " + Out().string()).status,
              0);
    auto again = Run("extract --include '*.JPG' " + Image() + " " + Out().string());
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out,
              "saved under another name: TAPE MEDIA\\BACKUP SET 1(_Daily)\\PICS\\C.JPG -> "
              "BACKUP SET 1(_Daily)/PICS/C (1).JPG: 'C.JPG' was taken\n"
              "saved 0, under another name 1, skipped 0, truncated 0, failed 0, cancelled 0, "
              "not decoded 0, verified 0; 4 bytes written\n");
    auto skipped = Run("extract --existing skip --include '*.JPG' " + Image() + " " + Out().string());
    EXPECT_EQ(skipped.status, 0);
    EXPECT_NE(skipped.out.find("skipped: "), std::string::npos) << skipped.out;
    EXPECT_FALSE(fs::exists(Set() + "/DOCS"));  // only PICS was chosen
}

TEST_F(ExtractCommandTest, DryRunListsWithoutWriting) {
    const auto result = Run("extract --dry-run --include 'TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS' " +
                            Image() + " " + Out().string());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "BACKUP SET 1(_Daily)/DOCS/A.TXT  6\nBACKUP SET 1(_Daily)/DOCS/B.BIN  70000\n"
              "2 files, 70006 bytes would be saved under " +
                  Out().string() + "\n");
    EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(ExtractCommandTest, DryRunTotalOfHugeLengthsSaturates) {
    // Two stream lengths of 2^63 bytes used to add up to a total of 0 bytes. A tape is not read again for
    // the dry run, so the lengths the scan recorded are what it adds.
    constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;
    mw::MediaDescription media;
    media.sets.push_back(
        {.info = {.name = "Big"},
         .entries = {mw::FileEntry{.name = "A.BIN", .data = mw::BytesOf("x"), .declaredLength = kHalf},
                     mw::FileEntry{.name = "B.BIN", .data = mw::BytesOf("y"), .declaredLength = kHalf}}});
    mw::WriteTapFile(media, temp.path("huge.tap"), 16384);
    const auto result = Run("extract --dry-run --attach 0=" + temp.path("huge.tap").string() + " //./tape0 " +
                            Out().string());
    EXPECT_NE(result.out.find("2 files, 18446744073709551615 bytes would be saved"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("(sizes as the tape records them; a compressed stream decodes to more"),
              std::string::npos);
}

// The dry run listed every file under its own name and its length on the medium, whatever --existing
// said and whatever the save would really have done.
TEST_F(ExtractCommandTest, DryRunSaysWhatWouldBeRenamedSkippedOrReplacedAndTheDecodedSizes) {
    ASSERT_EQ(Run("extract --include PICS " + Image() + " " + Out().string()).status, 1);  // chooses nothing
    ASSERT_EQ(Run("extract --include '*/PICS' " + Image() + " " + Out().string()).status, 0);
    const std::string dryRun = "extract --dry-run --include '*.jpg' --include '*/docs/a.txt' ";
    EXPECT_EQ(Run(dryRun + Image() + " " + Out().string()).out,
              "BACKUP SET 1(_Daily)/DOCS/A.TXT  6\n"
              "BACKUP SET 1(_Daily)/PICS/C (1).JPG  4  (under another name: 'C.JPG' is taken)\n"
              "2 files, 10 bytes would be saved under " +
                  Out().string() + "; 1 of them under another name\n");
    EXPECT_NE(
        Run(dryRun + "--existing skip " + Image() + " " + Out().string())
            .out.find("BACKUP SET 1(_Daily)/PICS/C.JPG  (skipped: 'BACKUP SET 1(_Daily)/PICS/C.JPG' already "
                      "exists)\n1 files, 6 bytes would be saved under " +
                      Out().string() + "; 1 skipped\n"),
        std::string::npos);
    EXPECT_NE(Run(dryRun + "--existing overwrite " + Image() + " " + Out().string())
                  .out.find("PICS/C.JPG  4  (replaces the file of that name)\n"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(Set() + "/DOCS"));

    mw::MediaDescription packed;
    packed.sets.push_back(
        {.info = {.name = "Packed", .compressed = true},
         .entries = {mw::FileEntry{.name = "SALES.CSV", .data = mw::GeneratedData{100000, 3}}}});
    const auto manifest = mw::WriteImageFile(packed, temp.path("packed.img"));
    EXPECT_EQ(Run("extract --dry-run " + temp.path("packed.img").string() + " " + Out().string()).out,
              "BACKUP SET 1(_Packed)/SALES.CSV  100000  (decoded from " +
                  std::to_string(manifest.files[0].declaredLength) +
                  " bytes on the medium)\n1 files, 100000 bytes " + "would be saved under " + Out().string() +
                  "\n");
}

// Compressed files were listed with the bytes they take on the medium (a text file of 214,893 bytes as
// 17,644): every listing gives the size the file is saved with, the sum of what its frames decode to, read
// from the frame headers as the scan passes them, on an image as on a tape that is read only in order.
TEST_F(ExtractCommandTest, ListingsGiveCompressedFilesTheSizeTheyAreSavedWith) {
    std::string text;
    for (int line = 0; text.size() < 214893; ++line)
        text += "line " + std::to_string(line) + " of the report\n";
    text.resize(214893);
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "Plain"},
                          .entries = {mw::FileEntry{.name = "P.BIN", .data = mw::GeneratedData{70000, 5}}}});
    media.sets.push_back(
        {.info = {.name = "Packed", .compressed = true},
         .entries = {mw::FileEntry{.name = "TEXT.TXT", .data = mw::BytesOf(text)},
                     mw::FileEntry{.name = "RAND.BIN", .data = mw::GeneratedData{100000, 9}},
                     mw::FileEntry{.name = "BAD.TXT", .data = mw::BytesOf(text), .badFrameChecksum = 2}}});
    const std::string image = temp.path("cz.img").string(), tape = temp.path("cz.tap").string();
    const mw::Manifest manifest = mw::WriteImageFile(media, image);
    mw::WriteTapFile(media, tape, 16384);
    ASSERT_LT(manifest.files[1].declaredLength, 65536u) << "the text is stored in fewer bytes";

    // The frames before the damaged one decode to 2 x 65,536 bytes: that much is known of BAD.TXT.
    const std::vector<std::string> sizes = {"size: 70000   ", "size: 214893   ", "size: 100000   ",
                                            "size: at least 131072   "};
    for (const std::string& source : {image, "--attach 0=" + tape + " //./tape0"}) {
        SCOPED_TRACE(source);
        const auto listed = Run("list " + source);
        EXPECT_EQ(listed.status, 0) << listed.err;
        std::size_t at = 0;
        for (const std::string& size : sizes) {
            at = listed.out.find(size, at);
            EXPECT_NE(at, std::string::npos) << size << " in\n" << listed.out;
        }
        const auto json = Run("list --json " + source);
        EXPECT_NE(json.out.find("\"size\": 70000, \"data_offset\""), std::string::npos) << json.out;
        for (const auto& [file, size, whole] :
             {std::tuple{1, "214893", "false"}, std::tuple{2, "100000", "false"},
              std::tuple{3, "131072", "true"}}) {
            EXPECT_NE(json.out.find("\"size\": " + std::string(size) + ", \"stored_size\": " +
                                    std::to_string(manifest.files[file].declaredLength) +
                                    ", \"size_at_least\": " + whole),
                      std::string::npos)
                << file << " in " << json.out;
        }
    }
    const auto saved = Run("extract " + image + " " + Out().string());
    EXPECT_EQ(saved.status, 1) << "BAD.TXT is not whole";
    EXPECT_EQ(fs::file_size(Out() / "BACKUP SET 1(_Plain)" / "P.BIN"), 70000u);
    EXPECT_EQ(fs::file_size(Out() / "BACKUP SET 2(_Packed)" / "TEXT.TXT"), 214893u);
    EXPECT_EQ(fs::file_size(Out() / "BACKUP SET 2(_Packed)" / "RAND.BIN"), 100000u);
    EXPECT_EQ(fs::file_size(Out() / "BACKUP SET 2(_Packed)" / "BAD.TXT.partial"), 131072u);
}

// Patterns used to be case-sensitive (`*.txt` did not find A.TXT), an empty one chose everything and one
// that chose nothing went unsaid.
TEST_F(ExtractCommandTest, PatternsIgnoreCaseAndOneThatChoosesNothingIsNamed) {
    const auto result =
        Run("extract --include '*.txt' --include 'backup set 1(_daily)/pics' --include '*.PDF' " + Image() +
            " " + Out().string());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "ostrum-tape-cli: extract: --include '*.PDF' chose nothing the scan found\n");
    EXPECT_EQ(ReadWholeFile(Set() + "/DOCS/A.TXT"), mw::BytesOf("letter"));
    EXPECT_EQ(ReadWholeFile(Set() + "/PICS/C.JPG"), mw::BytesOf("jpeg"));
    EXPECT_FALSE(fs::exists(Set() + "/DOCS/B.BIN"));
    EXPECT_EQ(Run("extract --include '' " + Image() + " " + Out().string()).status, 2);
}

// Folders without files were not made at all, and every folder got the time of the save.
TEST_F(ExtractCommandTest, FoldersOfTheSelectionAreMadeAndGetTheirDatesAfterTheirFiles) {
    const mw::MtfDate docs{2001, 2, 3, 4, 5, 6}, empty{1999, 12, 31, 23, 59, 58};
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "Tree"},
                          .entries = {mw::DirectoryEntry{.path = {"DOCS"}, .mtime = docs},
                                      mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")},
                                      mw::DirectoryEntry{.path = {"DOCS", "EMPTY"}, .mtime = empty},
                                      mw::DirectoryEntry{.path = {"OTHER"}, .mtime = docs}}});
    mw::WriteImageFile(media, temp.path("tree.img"));
    const auto result =
        Run("extract --include '*/docs' " + temp.path("tree.img").string() + " " + Out().string());
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("empty folders made: 1\n"), std::string::npos) << result.out;
    const fs::path set = Out() / "BACKUP SET 1(_Tree)";
    auto seconds = [](const fs::path& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mtime : -1;
    };
    EXPECT_TRUE(fs::is_directory(set / "DOCS/EMPTY"));
    EXPECT_EQ(seconds(set / "DOCS/EMPTY"), 946684798);  // 1999-12-31 23:59:58 UTC
    EXPECT_EQ(seconds(set / "DOCS"), 981173106);        // 2001-02-03 04:05:06 UTC
    EXPECT_FALSE(fs::exists(set / "OTHER"));            // not chosen
    EXPECT_NE(Run("extract --dry-run " + temp.path("tree.img").string() + " " + temp.path("dry").string())
                  .out.find("BACKUP SET 1(_Tree)/OTHER/  (folder without files)\n"),
              std::string::npos);
}

TEST_F(ExtractCommandTest, VirtualTapeSourceSavesTheSameFiles) {
    const auto result =
        Run("extract --attach 3=" + temp.path("medium.tap").string() + " //./tape3 " + Out().string());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadWholeFile(Set() + "/PICS/C.JPG"), mw::BytesOf("jpeg"));
}

TEST_F(ExtractCommandTest, FilesNotSavedWholeGiveAFailureStatus) {
    fs::resize_file(temp.path("medium.img"), 40000);  // ends inside B.BIN
    const auto result = Run("extract " + Image() + " " + Out().string());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("truncated: TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\B.BIN -> "
                              "BACKUP SET 1(_Daily)/DOCS/B.BIN.partial: the image ends at byte 40000"),
              std::string::npos)
        << result.out;
}

// Files written with a CSUM stream are checked against it: one whose data were changed on the medium is
// kept, named in the report and makes the exit status 1.
TEST_F(ExtractCommandTest, ChecksummedFilesAreCountedAsVerifiedOrReportedAsMismatched) {
    mw::MediaDescription media;
    media.sets.push_back(
        {.info = {.name = "Sums"},
         .entries = {mw::FileEntry{.name = "GOOD.DAT", .data = mw::BytesOf("intact"), .csum = true},
                     mw::FileEntry{.name = "BAD.DAT", .data = mw::BytesOf("changed"), .csum = true}}});
    const auto manifest = mw::WriteImageFile(media, temp.path("sums.img"));
    std::fstream medium(temp.path("sums.img"), std::ios::in | std::ios::out | std::ios::binary);
    medium.seekp(static_cast<std::streamoff>(*manifest.files[1].dataOffset));
    medium.put('C');
    medium.close();
    const auto result = Run("extract " + temp.path("sums.img").string() + " " + Out().string());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("checksum mismatch: TAPE MEDIA\\BACKUP SET 1(_Sums)\\BAD.DAT -> BACKUP SET "
                              "1(_Sums)/BAD.DAT: its CSUM stream records 0x"),
              std::string::npos)
        << result.out;
    EXPECT_NE(
        result.out.find("saved 2, under another name 0, skipped 0, truncated 0, failed 0, cancelled 0, not "
                        "decoded 0, verified 1, checksum mismatch 1; 13 bytes written\n"),
        std::string::npos)
        << result.out;
    EXPECT_EQ(ReadWholeFile(Out() / "BACKUP SET 1(_Sums)/BAD.DAT"), mw::BytesOf("Changed"));
}

// The bytes "STAN" inside a security stream's data, before the file's real STAN header, used to be taken
// for that header: the listing gave the length read there and the save refused the whole file as "damaged
// stream header". Only when no STAN header in reach holds does that first match still stand.
TEST_F(ExtractCommandTest, StanBytesInsideASecurityStreamDoNotHideTheFileData) {
    std::vector<std::uint8_t> acl = mw::BytesOf("ACL STAN");
    acl.resize(48, 0x11);
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "Acl"},
                          .entries = {mw::FileEntry{
                              .name = "SECURE.TXT", .data = mw::BytesOf("all of it"), .naclData = acl}}});
    const auto manifest = mw::WriteImageFile(media, temp.path("acl.img"));
    const std::string image = temp.path("acl.img").string();
    const auto listed = Run("list --json " + image);
    EXPECT_NE(
        listed.out.find("\"size\": 9, \"data_offset\": " + std::to_string(*manifest.files[0].dataOffset)),
        std::string::npos)
        << listed.out;
    EXPECT_EQ(Run("extract " + image + " " + Out().string()).status, 0);
    EXPECT_EQ(ReadWholeFile(Out() / "BACKUP SET 1(_Acl)/SECURE.TXT"), mw::BytesOf("all of it"));

    {
        std::fstream medium(image, std::ios::in | std::ios::out | std::ios::binary);
        medium.seekp(static_cast<std::streamoff>(*manifest.files[0].dataOffset - 1));
        medium.put('\x5A');  // the real STAN header's checksum no longer holds
    }
    const auto damaged = Run("extract " + image + " " + temp.path("again").string());
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.out.find("SECURE.TXT: damaged stream header"), std::string::npos) << damaged.out;
}

TEST_F(ExtractCommandTest, WrongCommandLinesAreUsageErrors) {
    EXPECT_EQ(Run("extract " + Image()).status, 2);
    EXPECT_EQ(Run("extract --existing sometimes " + Image() + " " + Out().string()).status, 2);
    EXPECT_EQ(Run("extract --bogus " + Image() + " " + Out().string()).status, 2);
    const auto missing = Run("extract " + temp.path("absent.img").string() + " " + Out().string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("absent.img"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace ostrum::save
