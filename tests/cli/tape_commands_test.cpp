// SPDX-License-Identifier: GPL-3.0-or-later
// Golden cases of the tape commands of ostrum-tape-cli, run as a separate program on virtual tapes.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "catalog/block_fixture.h"
#include "cli_golden.h"
#include "scan_fixtures.h"
#include "support/same_bytes.h"
#include "tap_builder.h"
#include "tape/read_failures.h"

namespace ostrum::tape {
namespace {

using cli::testing::CliResult;
using testing::Pattern;
using testing::TapBuilder;
using testing::TempFolder;

class TapeCommandsTest : public ::testing::Test {
  protected:
    CliResult Run(const std::string& arguments) {
        return cli::testing::RunCli(arguments, folder_.path("err").string());
    }
    // A one-set tape: the TAPE block, a filemark, the set with A.TXT and B.TXT; its image in `image`.
    std::string SmallTape() {
        testing::mw::MediaDescription media{.tape = {.mediaName = "Small"}};
        media.sets.push_back(
            {.info = {.name = "Daily"},
             .entries = {testing::mw::DirectoryEntry{.path = {"DOCS"}},
                         testing::mw::FileEntry{.name = "A.TXT", .data = testing::mw::BytesOf("hello")},
                         testing::mw::FileEntry{.name = "B.TXT",
                                                .data = testing::mw::GeneratedData{.size = 100000}}}});
        const auto path = folder_.path("small.tap");
        manifest_ = testing::mw::WriteTapFile(media, path, 65536);
        return path.string();
    }

    TempFolder folder_;
    testing::mw::Manifest manifest_;
};

// A tape without MTF data used to list as an empty medium with exit status 0.
TEST_F(TapeCommandsTest, TapeWithoutMtfDataIsSaidToHoldNone) {
    TapBuilder()
        .Record(Pattern(4096, 1))
        .Record(Pattern(4096, 2))
        .Mark()
        .EndOfMedium()
        .WriteTo(folder_.path("foreign.tap"));
    const auto result = Run("list --attach 0=" + folder_.path("foreign.tap").string() + " //./tape0");
    EXPECT_EQ(result.status, 1);
    // The first read is set aside but for its first 1024 bytes; the second is examined whole.
    EXPECT_EQ(result.err, "ostrum-tape-cli: list: no MTF data found in //./tape0 (5120 bytes examined)\n");
}

TEST_F(TapeCommandsTest, DrivesListsAttachedTapesInTheDeviceListFormats) {
    const std::string tape = SmallTape();
    const CliResult result = Run("drives --attach 3=" + tape + " --capacity 5000000000 --attach 0=" + tape);
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string size = std::to_string(std::filesystem::file_size(tape));
    const std::string remaining = std::to_string(5000000000 - std::stoll(size));
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%.8llx", std::stoull(remaining));
    auto pad = [](std::string text, std::size_t width) {
        text.resize(width, ' ');
        return text;
    };
    const std::size_t remainingWidth =
        std::string(" ").size() + std::string(hex).size() + 2 + remaining.size() + 1;
    EXPECT_EQ(result.out, pad("TAPE DRIVE", 12) + pad("Capacity (Bytes)", 18) +
                              pad("Remaining (Bytes)", remainingWidth + 2) + pad("Block Size", 17) +
                              "Partition Count\n" +  //
                              pad("//./tape0", 12) + pad(size, 18) +
                              pad(" 0x00000000 (0)", remainingWidth + 2) +        //
                              pad(" 0x00000000 (0)", 17) + " 0x00000001 (1)\n" +  //
                              pad("//./tape3", 12) + pad("5000000000", 18) +
                              pad(" " + std::string(hex) + " (" + remaining + ")", remainingWidth + 2) +
                              pad(" 0x00000000 (0)", 17) + " 0x00000001 (1)\n");
    EXPECT_EQ(result.err, "");

    const CliResult none = Run("drives --attach 4=" + tape + " --attach 5=" + tape + " --capacity 7");
    EXPECT_NE(none.out.find("//./tape5   7 "), std::string::npos) << none.out;
}

TEST_F(TapeCommandsTest, ListOfATapeHasTheImageListingsShapeWithChunkIndexes) {
    const std::string tape = SmallTape();
    const CliResult result = Run("list --json --attach 7=" + tape + " //./tape7");
    EXPECT_EQ(result.status, 0) << result.err;
    const auto& a = manifest_.files[0];
    // 64 KiB blocks: the discarded read is the TAPE block, pass 0 the filemark, the set from pass 1 on.
    EXPECT_NE(
        result.out.find("{\"path\": \"TAPE MEDIA\\\\BACKUP SET 1(_Daily)\\\\DOCS\\\\A.TXT\", \"type\": "),
        std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("\"size\": 5, \"data_offset\": " + std::to_string(*a.dataOffset) +
                              ", \"chunk_index\": " + std::to_string(a.fileBlockOffset / 65536)),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("{\"source\": \"//./tape7\", \"nodes\": [\"TAPE MEDIA\\\\\""), 0u)
        << result.out;
    EXPECT_NE(result.out.find("\"files_found\": 2, \"status\": \"Total File Found :2\"}"), std::string::npos);
}

TEST_F(TapeCommandsTest, ImageCopiesTheTapeAndReportsWhatItDid) {
    const std::string tape = SmallTape();
    const std::string image = folder_.path("out.img").string();
    const CliResult result = Run("image --attach 1=" + tape + " //./tape1 " + image);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Done: " + std::to_string(manifest_.imageSize) +
                              " bytes copied from //./tape1 to " + image + " (" +
                              std::to_string(manifest_.filemarks.size()) + " filemarks crossed)\n");
    EXPECT_EQ(testing::ReadWholeFile(image).size(), manifest_.imageSize);
    EXPECT_EQ(result.err, "");

    const CliResult full = Run("image --attach 1=" + tape + " //./tape1 /dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.out, "");
    EXPECT_EQ(full.err,
              "ostrum-tape-cli: cannot write the image '/dev/full' at byte 0: No space left on device "
              "(the disk is full)\n");
}

// `image --attach 0=s2.tap //./tape0 s2.tap` emptied s2.tap and said "Done: 0 bytes copied", and an
// existing image was replaced without a word.
TEST_F(TapeCommandsTest, ImageRefusesTheTapesOwnFileAndReplacesAnImageOnlyWithOverwrite) {
    const std::string tape = SmallTape();
    const auto before = testing::ReadWholeFile(tape);
    const CliResult own = Run("image --overwrite --attach 0=" + tape + " //./tape0 " + tape);
    EXPECT_EQ(own.status, 1);
    EXPECT_EQ(own.out, "");
    EXPECT_EQ(own.err, "ostrum-tape-cli: cannot write the image '" + tape +
                           "': it is the tape's own file, which the copy reads\n");
    EXPECT_TRUE(test_support::SameBytes(testing::ReadWholeFile(tape), before));

    const std::string image = folder_.path("out.img").string();
    ASSERT_EQ(Run("image --attach 0=" + tape + " //./tape0 " + image).status, 0);
    std::filesystem::resize_file(image, 10);
    const CliResult again = Run("image --attach 0=" + tape + " //./tape0 " + image);
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "ostrum-tape-cli: cannot write the image '" + image +
                             "': it already exists (--overwrite replaces it)\n");
    EXPECT_EQ(std::filesystem::file_size(image), 10u);
    EXPECT_EQ(Run("image --overwrite --attach 0=" + tape + " //./tape0 " + image).status, 0);
    EXPECT_EQ(std::filesystem::file_size(image), manifest_.imageSize);
}

TEST_F(TapeCommandsTest, DamagedTapeIsListedWithAWarningAndADeadOneFails) {
    auto block = std::vector<std::uint8_t>(512, 0);
    TapBuilder damaged;
    damaged.Record(block).BadRecord(block).Record(block).EndOfMedium();
    damaged.WriteTo(folder_.path("damaged.tap"));
    CliResult result = Run("list --attach 0=" + folder_.path("damaged.tap").string() + " //./tape0");
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.err.find("1 unreadable tape block(s) skipped; the last: cannot read //./tape0"),
              std::string::npos)
        << result.err;

    TapBuilder dead;
    dead.Record(block);
    for (int i = 0; i < 10; ++i) dead.BadRecord(block);
    dead.WriteTo(folder_.path("dead.tap"));
    result = Run("image --attach 0=" + folder_.path("dead.tap").string() + " //./tape0 " +
                 folder_.path("d.img").string());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("gave up after 8 unreadable blocks in a row"), std::string::npos) << result.err;
}

// `list FILE.tap` used to scan the tape file's record framing as an image and find nothing, and an image
// given to --attach read as a tape of damaged records.
// `extract` from a tape used to say nothing of the blocks its scan skipped or of giving up after a run of
// them, and exited 0 having saved only what the scan found.
TEST_F(TapeCommandsTest, ExtractSaysWhenTheTapeWasNotReadWholeAndExitsOne) {
    std::vector<std::uint8_t> first(512, 0), files(4096, 0);
    catalog::testing::PutTag(first, 0, "TAPE");
    const std::size_t data = catalog::testing::PutFile(files, 0, u"A.TXT", 5);
    std::copy_n("hello", 5, files.begin() + static_cast<std::ptrdiff_t>(data));
    TapBuilder skipped;
    skipped.Record(first)
        .Record(files)
        .BadRecord(files)
        .Record(std::vector<std::uint8_t>(512, 0))
        .EndOfMedium();
    skipped.WriteTo(folder_.path("skipped.tap"));
    CliResult result = Run("extract --attach 0=" + folder_.path("skipped.tap").string() + " //./tape0 " +
                           folder_.path("out1").string());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("1 unreadable tape block(s) skipped; the last: cannot read //./tape0"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(testing::ReadWholeFile(folder_.path("out1/BACKUP SET 0/A.TXT")),
              (std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o'}));

    TapBuilder dead;
    dead.Record(first).Record(files);
    for (int i = 0; i < kMaxConsecutiveReadFailures + 2; ++i) dead.BadRecord(files);
    dead.Record(files).EndOfMedium();
    dead.WriteTo(folder_.path("dead.tap"));
    result = Run("extract --dry-run --attach 0=" + folder_.path("dead.tap").string() + " //./tape0 " +
                 folder_.path("out2").string());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(
        result.err.find("gave up after 8 unreadable blocks in a row: the tape was not read to the end, so "
                        "files behind that point were not found"),
        std::string::npos)
        << result.err;
    EXPECT_NE(result.out.find("1 files, 5 bytes would be saved"), std::string::npos) << result.out;
}

TEST_F(TapeCommandsTest, TapeFileGivenAsImageAndImageGivenAsTapeAreToldApart) {
    const std::string tape = SmallTape();
    const CliResult asImage = Run("list " + tape);
    EXPECT_EQ(asImage.status, 1);
    EXPECT_EQ(asImage.out, "");
    EXPECT_EQ(asImage.err, "ostrum-tape-cli: list: '" + tape +
                               "' is a virtual tape file (SIMH .tap), not an image: a drive reads it, e.g. "
                               "--attach 0=" +
                               tape + " //./tape0\n");
    EXPECT_NE(Run("extract " + tape + " " + folder_.path("out").string()).err.find("is a virtual tape file"),
              std::string::npos);

    const std::string image = folder_.path("small.img").string();
    testing::mw::WriteImageFile(testing::SampleMedia(), image);
    const CliResult asTape = Run("list --attach 0=" + image + " //./tape0");
    EXPECT_EQ(asTape.status, 1);
    EXPECT_EQ(asTape.err,
              "ostrum-tape-cli: list: '" + image +
                  "' is not a virtual tape file (SIMH .tap): the length word at byte 0 (1162887508) "
                  "is larger than any tape block; an image file is given without --attach\n");
}

// A missing tape file used to be a wrong command line (exit 2) where a missing image is an unreadable
// source (exit 1), and a drive given twice took the second file without a word.
TEST_F(TapeCommandsTest, BadTapeCommandLinesFailClearly) {
    const std::string tape = SmallTape();
    EXPECT_EQ(Run("list //./tape20").status, 2);
    EXPECT_EQ(Run("list //./tape20").err,
              "ostrum-tape-cli: list: '//./tape20' is not a tape device name (//./tape0 to //./tape19) (try "
              "'ostrum-tape-cli list --help')\n");
    EXPECT_EQ(Run("list --attach 3 //./tape3").err,
              "ostrum-tape-cli: list: --attach wants DEVICE=FILE, e.g. --attach 0=backup.tap (got '3') (try "
              "'ostrum-tape-cli list --help')\n");
    const CliResult missing = Run("drives --attach 2=" + folder_.path("none.tap").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos);
    const CliResult twice = Run("list --attach 2=" + tape + " --attach 2=" + tape + " //./tape2");
    EXPECT_EQ(twice.status, 2);
    EXPECT_NE(twice.err.find("drive 2 is given more than once"), std::string::npos) << twice.err;
    EXPECT_EQ(twice.out, "");
    EXPECT_EQ(Run("drives --capacity 5").status, 2);
    EXPECT_EQ(Run("image //./tape0").status, 2);
    EXPECT_EQ(Run("image --attach 25=" + tape + " //./tape0 x.img").status, 2);
}

TEST_F(TapeCommandsTest, DrivesJsonHoldsTheFiguresAsNumbers) {
    const std::string tape = SmallTape();
    const CliResult result = Run("drives --json --attach 4=" + tape + " --capacity 5000000000");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"drives\": [{\"device\": \"//./tape4\", \"capacity\": 5000000000, \"remaining\": " +
                  std::to_string(5000000000 - std::filesystem::file_size(tape)) +
                  ", \"block_size\": 0, \"partition_count\": 1, \"write_protected\": true}]}\n");
}

// Ctrl-C during `image` used to end the program by the signal, leaving an image that nothing said was
// incomplete.
TEST_F(TapeCommandsTest, CtrlCStopsTheImageCopyAndSaysWhatTheImageHolds) {
    const std::string tape = SmallTape();
    const std::string image = folder_.path("cut.img").string();
    const CliResult result =
        cli::testing::RunCliInterrupted({"image", "--attach", "0=" + tape, "//./tape0", image},
                                        folder_.path("out").string(), folder_.path("err").string());
    EXPECT_EQ(result.status, 130);
    EXPECT_EQ(result.out, "");
    const std::string held = std::to_string(std::filesystem::file_size(image));
    EXPECT_EQ(result.err, "ostrum-tape-cli: image: interrupted: '" + image + "' holds the first " + held +
                              " bytes of the tape and is incomplete\n");
    EXPECT_LT(std::filesystem::file_size(image), manifest_.imageSize);
}

}  // namespace
}  // namespace ostrum::tape
