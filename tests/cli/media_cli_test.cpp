// SPDX-License-Identifier: GPL-3.0-or-later
// Golden cases of what `list` and `extract` read besides files: the medium's own catalog (`list --catalog`
// and the comparison `list` makes with it) and backups spread over several media, on media written by our MTF
// writer as images and virtual tapes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "cli_golden.h"
#include "mtf_writer.h"
#include "support/temp_folder.h"

namespace ostrum::cli {
namespace {

namespace fs = std::filesystem;
namespace mw = mtfwriter;
using testing::RunCli;

mw::MediaDescription Catalogued(bool mediaCatalog) {
    mw::MediaDescription media{.tape = {.mediaFamilyId = 0xC0FFEE, .mediaCatalog = mediaCatalog}};
    media.sets.push_back({.info = {.name = "Daily"},
                          .entries = {mw::DirectoryEntry{.path = {"DOCS"}},
                                      mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("letter a")},
                                      mw::FileEntry{.name = "B.TXT", .data = mw::BytesOf("letter bb")}}});
    return media;
}

class MediaCliTest : public ::testing::Test {
  protected:
    testing::CliResult Run(const std::string& arguments) {
        return RunCli(arguments, (dir / "stderr").string());
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    test_support::TempFolder temp;
    const fs::path dir = temp.root();
};

TEST_F(MediaCliTest, CatalogOptionShowsWhatTheBackupProgramRecordedOrSaysThereIsNone) {
    mw::WriteImageFile(Catalogued(true), Path("m.img"));
    const auto listed = Run("list --catalog " + Path("m.img"));
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "Source: " + Path("m.img") +
                              "\n\nThe medium's own catalog (media family 0x00C0FFEE):\n"
                              "\nData set 1, BACKUP SET 1(_Daily): 1 folder(s), 2 file(s), 17 bytes\n"
                              "  TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\\n"
                              "  TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\A.TXT   size: 8\n"
                              "  TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\B.TXT   size: 9\n");
    const auto json = Run("list --catalog --json " + Path("m.img"));
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(
        json.out,
        "{\"source\": \"" + Path("m.img") +
            "\", \"media_family\": 12648430, \"sets\": [{\"number\": 1, \"name\": \"_Daily\", "
            "\"label\": \"BACKUP SET 1(_Daily)\", \"scanned\": true, \"folders\": 1, \"files\": 2, "
            "\"size\": 17, \"entries\": [{\"path\": \"TAPE MEDIA\\\\BACKUP SET 1(_Daily)\\\\DOCS\\\\\", "
            "\"kind\": \"folder\", \"size\": null}, {\"path\": \"TAPE MEDIA\\\\BACKUP SET "
            "1(_Daily)\\\\DOCS\\\\A.TXT\", \"kind\": \"file\", \"size\": 8}, {\"path\": \"TAPE "
            "MEDIA\\\\BACKUP SET 1(_Daily)\\\\DOCS\\\\B.TXT\", \"kind\": \"file\", \"size\": 9}]}]}\n");

    mw::WriteImageFile(Catalogued(false), Path("plain.img"));
    const auto none = Run("list --catalog " + Path("plain.img"));
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "ostrum-tape-cli: no catalog of its own was found on " + Path("plain.img") + "\n");
    const auto plain = Run("list " + Path("plain.img"));
    EXPECT_EQ(plain.out.find("own catalog"), std::string::npos) << "no comparison without a catalog";
}

TEST_F(MediaCliTest, ListNamesTheFilesTheCatalogRecordsButTheScanDidNotFind) {
    const mw::Manifest manifest = mw::WriteImageFile(Catalogued(true), Path("m.img"));
    {
        std::fstream medium(Path("m.img"), std::ios::in | std::ios::out | std::ios::binary);
        medium.seekp(static_cast<std::streamoff>(manifest.files[1].fileBlockOffset));
        medium.write(std::string(512, '\0').data(), 512);
    }
    const auto listed = Run("list " + Path("m.img"));
    EXPECT_EQ(listed.status, 0) << listed.err;
    const std::string tail =
        "1 file found in 1 backup set\n"
        "\nThe medium's own catalog names 2 file(s); 1 of them the scan did not find (lost "
        "to damage):\n"
        "  TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\B.TXT\n";
    EXPECT_TRUE(listed.out.ends_with(tail)) << listed.out;
    const auto json = Run("list --json " + Path("m.img"));
    EXPECT_TRUE(
        json.out.ends_with(", \"catalog\": {\"files_named\": 2, \"not_compared\": 0, \"missing\": "
                           "[\"TAPE MEDIA\\\\BACKUP SET 1(_Daily)\\\\DOCS\\\\B.TXT\"]}}\n"))
        << json.out;

    // The same medium undamaged, as a virtual tape.
    mw::WriteTapFile(Catalogued(true), Path("m.tap"), 16384);
    const auto tape = Run("list --attach 0=" + Path("m.tap") + " //./tape0");
    EXPECT_EQ(tape.status, 0) << tape.err;
    EXPECT_TRUE(tape.out.ends_with("\nThe medium's own catalog names 2 file(s); the scan found every one.\n"))
        << tape.out;
}

TEST_F(MediaCliTest, TwoImagesInOrderListAndExtractAsOneBackupAndOneAloneSaysWhatIsMissing) {
    mw::MediaDescription media{.tape = {.logicalBlockSize = 512, .mediaFamilyId = 0xBEEF}};
    media.sets.push_back(
        {.info = {.name = "Daily"},
         .entries = {mw::DirectoryEntry{.path = {"DOCS"}},
                     mw::FileEntry{.name = "BIG.BIN", .data = mw::GeneratedData{.size = 20000, .seed = 3}},
                     mw::FileEntry{.name = "B.TXT", .data = mw::BytesOf("after")}}});
    mw::ImageFileSink first(Path("a.img")), second(Path("b.img"));
    std::vector<mw::Sink*> sinks{&first, &second};
    // TAPE, SSET, VOLB and DIRB take a 512-byte block each, so BIG.BIN's FILE block lies at 2048 and its data
    // begin at 2174: the first medium ends inside them at the logical block boundary 5120, after 2946 bytes.
    mw::WriteSpannedMedia(media, sinks, std::vector<std::uint64_t>{5000});
    const std::string both = Path("a.img") + " " + Path("b.img");

    const auto listed = Run("list " + both);
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_TRUE(listed.out.ends_with("\nMedia (2):\n  " + Path("a.img") +
                                     ": medium 1 of media family 0x0000BEEF\n  " + Path("b.img") +
                                     ": medium 2 of media family 0x0000BEEF\n"
                                     "\nFiles spread over several media (1):\n"
                                     "  TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\BIG.BIN: 2946 bytes on " +
                                     Path("a.img") + ", 17054 on " + Path("b.img") + "\n"))
        << listed.out;
    EXPECT_NE(listed.out.find("\n2 files found in 1 backup set\n"), std::string::npos);
    const auto json = Run("list --json " + both);
    EXPECT_NE(
        json.out.find(
            ", \"spread_files\": [{\"path\": \"TAPE MEDIA\\\\BACKUP SET 1(_Daily)\\\\DOCS\\\\BIG.BIN\", "
            "\"parts\": [{\"medium\": 0, \"offset\": 2174, \"length\": 2946}, {\"medium\": 1, "),
        std::string::npos)
        << json.out;

    const auto saved = Run("extract " + both + " " + Path("out"));
    EXPECT_EQ(saved.status, 0) << saved.out << saved.err;
    EXPECT_EQ(fs::file_size(Path("out") + "/BACKUP SET 1(_Daily)/DOCS/BIG.BIN"), 20000u);

    // Given the other way round they used to be read in that order (a second set, the file in two pieces each
    // cut short): they are read by the sequence numbers of their labels, and that is said.
    const std::string sorted =
        "media sorted by sequence number: " + Path("a.img") + ", " + Path("b.img") + "\n";
    const auto reversed = Run("list " + Path("b.img") + " " + Path("a.img"));
    EXPECT_EQ(reversed.status, 0) << reversed.err;
    EXPECT_EQ(reversed.out, listed.out);
    EXPECT_EQ(reversed.err, "ostrum-tape-cli: list: " + sorted);
    const auto savedReversed = Run("extract " + Path("b.img") + " " + Path("a.img") + " " + Path("reversed"));
    EXPECT_EQ(savedReversed.status, 0) << savedReversed.out << savedReversed.err;
    EXPECT_EQ(savedReversed.err, "ostrum-tape-cli: extract: " + sorted);
    EXPECT_EQ(fs::file_size(Path("reversed") + "/BACKUP SET 1(_Daily)/DOCS/BIG.BIN"), 20000u);

    const auto alone = Run("extract " + Path("a.img") + " " + Path("alone"));
    EXPECT_EQ(alone.status, 1);
    EXPECT_NE(
        alone.out.find("truncated: TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\BIG.BIN -> BACKUP SET "
                       "1(_Daily)/DOCS/BIG.BIN.partial: the rest of its data is on medium 2 of media family "
                       "0x0000BEEF, which was not read"),
        std::string::npos)
        << alone.out;
}

// Saving from one image while it is scanned: a file whose data fill several chunks before the end of the
// medium cuts them is found chunks before that end, and must still be saved as cut short, not read on past
// the end; the rest of it, alone on the next medium, is saved as a file whose beginning is missing.
TEST_F(MediaCliTest, EachImageAloneSavesWhatItHoldsOfAFileTheMediumEndCutsChunksAfterItsStart) {
    mw::MediaDescription media{.tape = {.logicalBlockSize = 512, .mediaFamilyId = 0xBEEF}};
    media.sets.push_back(
        {.info = {.name = "Daily"},
         .entries = {mw::FileEntry{.name = "HUGE.BIN", .data = mw::GeneratedData{.size = 400000, .seed = 5}},
                     mw::FileEntry{.name = "C.TXT", .data = mw::BytesOf("after")}}});
    mw::ImageFileSink first(Path("a.img")), second(Path("b.img"));
    std::vector<mw::Sink*> sinks{&first, &second};
    mw::WriteSpannedMedia(media, sinks, std::vector<std::uint64_t>{300000});
    ASSERT_GT(fs::file_size(Path("a.img")), 4u * 65536) << "the cut lies chunks after the file's start";

    const auto head = Run("extract " + Path("a.img") + " " + Path("head"));
    EXPECT_EQ(head.status, 1) << head.out << head.err;
    EXPECT_NE(head.out.find("truncated: TAPE MEDIA\\BACKUP SET 1(_Daily)\\HUGE.BIN -> BACKUP SET "
                            "1(_Daily)/HUGE.BIN.partial: the rest of its data is on medium 2"),
              std::string::npos)
        << head.out;
    const auto tail = Run("extract " + Path("b.img") + " " + Path("tail"));
    EXPECT_EQ(tail.status, 1) << tail.out << tail.err;
    EXPECT_NE(tail.out.find("its beginning is on medium 1 of media family 0x0000BEEF"), std::string::npos)
        << tail.out;
    EXPECT_TRUE(fs::exists(Path("tail") + "/BACKUP SET 1(_Daily)/C.TXT")) << tail.out;
    // Together the pieces make the file whole, and the two images give it whole.
    EXPECT_EQ(fs::file_size(Path("head") + "/BACKUP SET 1(_Daily)/HUGE.BIN.partial") +
                  fs::file_size(Path("tail") + "/BACKUP SET 1(_Daily)/HUGE.BIN.partial"),
              400000u);
    const auto both = Run("extract " + Path("a.img") + " " + Path("b.img") + " " + Path("both"));
    EXPECT_EQ(both.status, 0) << both.out << both.err;
    EXPECT_EQ(fs::file_size(Path("both") + "/BACKUP SET 1(_Daily)/HUGE.BIN"), 400000u);
}

// One file cut twice, over three media. Read without the middle medium, the file is kept as a part with every
// piece at its own offset and a hole where the middle medium's bytes belong; it used to hold the third
// medium's piece right after the first's. The JSON's pieces are the data alone: the first one used to start
// at its stream header and be 22 bytes too long.
TEST_F(MediaCliTest, FileCutTwiceKeepsItsPiecesInPlaceWithoutTheMiddleMediumAndItsPiecesAddUp) {
    mw::MediaDescription media{.tape = {.logicalBlockSize = 512, .mediaFamilyId = 0xBEEF}};
    media.sets.push_back(
        {.info = {.name = "Daily"},
         .entries = {mw::FileEntry{.name = "HUGE.BIN", .data = mw::GeneratedData{.size = 400000, .seed = 7}},
                     mw::FileEntry{.name = "C.TXT", .data = mw::BytesOf("after")}}});
    mw::ImageFileSink a(Path("a.img")), b(Path("b.img")), c(Path("c.img"));
    std::vector<mw::Sink*> sinks{&a, &b, &c};
    const mw::Manifest manifest =
        mw::WriteSpannedMedia(media, sinks, std::vector<std::uint64_t>{3000, 150000});
    const mw::ManifestFile& huge = manifest.files[0];
    ASSERT_EQ(huge.parts.size(), 3u);
    const std::uint64_t onA = huge.parts[0].length, onB = huge.parts[1].length, onC = huge.parts[2].length;
    ASSERT_EQ(onA + onB + onC, 400000u);

    const auto json = Run("list --json " + Path("a.img") + " " + Path("b.img") + " " + Path("c.img"));
    EXPECT_EQ(json.status, 0) << json.err;
    const std::string dataOffset = std::to_string(*huge.dataOffset);
    EXPECT_NE(json.out.find("\"data_offset\": " + dataOffset), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"parts\": [{\"medium\": 0, \"offset\": " + dataOffset +
                            ", \"length\": " + std::to_string(onA) + "}, {\"medium\": 1, \"offset\": " +
                            std::to_string(huge.parts[1].offset) + ", \"length\": " + std::to_string(onB) +
                            "}, {\"medium\": 2, \"offset\": " + std::to_string(huge.parts[2].offset) +
                            ", \"length\": " + std::to_string(onC) + "}], \"missing\": null}"),
              std::string::npos)
        << json.out;

    const std::string gap = "bytes " + std::to_string(onA) + " to " + std::to_string(onA + onB - 1) +
                            " are on medium 2 of media family 0x0000BEEF, which was not read";
    const auto listed = Run("list " + Path("a.img") + " " + Path("c.img"));
    EXPECT_NE(listed.out.find("HUGE.BIN: " + std::to_string(onA) + " bytes on " + Path("a.img") + ", " +
                              std::to_string(onC) + " on " + Path("c.img") + "; cut short: " + gap + "\n"),
              std::string::npos)
        << listed.out;

    const auto saved = Run("extract " + Path("a.img") + " " + Path("c.img") + " " + Path("out"));
    EXPECT_EQ(saved.status, 1);
    EXPECT_NE(saved.out.find("truncated: TAPE MEDIA\\BACKUP SET 1(_Daily)\\HUGE.BIN -> BACKUP SET "
                             "1(_Daily)/HUGE.BIN.partial: " +
                             gap + "; the " + std::to_string(onA + onC) + " bytes recovered are kept"),
              std::string::npos)
        << saved.out;
    std::ifstream partial(Path("out") + "/BACKUP SET 1(_Daily)/HUGE.BIN.partial", std::ios::binary);
    const std::string got{std::istreambuf_iterator<char>(partial), {}};
    std::vector<std::uint8_t> whole(400000);
    mw::FillGenerated(7, 0, whole);
    ASSERT_EQ(got.size(), 400000u) << "the last piece ends where the file does";
    for (std::uint64_t i = 0; i < got.size(); ++i) {
        const auto expected = i >= onA && i < onA + onB ? 0 : whole[i];
        if (static_cast<std::uint8_t>(got[i]) != expected) {
            ADD_FAILURE() << "byte " << i << " of the part is " << int(std::uint8_t(got[i])) << ", not "
                          << int(expected);
            break;
        }
    }
    EXPECT_TRUE(fs::exists(Path("out") + "/BACKUP SET 1(_Daily)/C.TXT"));
}

// A compressed file cut twice: the frames on each medium add up to its size when all three are read, from
// where the frames left off on the medium before; without the middle one only the first medium's frames
// are known.
TEST_F(MediaCliTest, CompressedFileCutTwiceGetsItsWholeSizeFromTheFramesOfEveryMedium) {
    mw::MediaDescription media{.tape = {.logicalBlockSize = 512, .mediaFamilyId = 0xBEEF}};
    media.sets.push_back({.info = {.name = "Packed", .compressed = true},
                          .entries = {mw::FileEntry{.name = "HUGE.BIN",
                                                    .data = mw::GeneratedData{.size = 400000, .seed = 7}}}});
    mw::ImageFileSink a(Path("a.img")), b(Path("b.img")), c(Path("c.img"));
    std::vector<mw::Sink*> sinks{&a, &b, &c};
    const mw::Manifest manifest =
        mw::WriteSpannedMedia(media, sinks, std::vector<std::uint64_t>{60000, 120000});
    ASSERT_EQ(manifest.files[0].parts.size(), 3u);
    const std::string stored = ", \"stored_size\": " + std::to_string(manifest.files[0].declaredLength);
    EXPECT_NE(Run("list --json " + Path("a.img") + " " + Path("b.img") + " " + Path("c.img"))
                  .out.find("\"size\": 400000" + stored + ", \"size_at_least\": false"),
              std::string::npos);
    const auto gap = Run("list " + Path("a.img") + " " + Path("c.img"));
    EXPECT_NE(gap.out.find("size: at least 65536   "), std::string::npos) << gap.out;
}

}  // namespace
}  // namespace ostrum::cli
