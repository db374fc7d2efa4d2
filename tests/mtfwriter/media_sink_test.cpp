// SPDX-License-Identifier: GPL-3.0-or-later
// The same media as an image and as a SIMH .tap virtual tape: the records concatenated give the image bytes,
// and the tape marks sit where the manifest puts the filemarks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "chain_walker.h"
#include "mtf_writer.h"
#include "test_media.h"

namespace ostrum::mtfwriter::testing {
namespace {

class TapAgreesWithImage : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(TapAgreesWithImage, RecordsConcatenateToTheImageAndMarksSitAtTheFilemarks) {
    const std::uint32_t blockSize = GetParam();
    const MediaDescription media = MixedMedia(1024, true);
    MemorySink image;
    const Manifest imageManifest = WriteMedia(media, image, {.physicalBlockSize = blockSize});
    MemorySink tapBytes;
    TapSink tap(tapBytes, blockSize);
    const Manifest tapManifest = WriteMedia(media, tap);

    const ParsedTap parsed = ParseTap(tapBytes.bytes);
    ASSERT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.endOfMedium);
    EXPECT_TRUE(tapBytes.finished);
    EXPECT_EQ(parsed.data, image.bytes);
    EXPECT_EQ(parsed.marks, imageManifest.filemarks);
    EXPECT_EQ(tapManifest.filemarks, imageManifest.filemarks);
    EXPECT_EQ(tapManifest.physicalBlockSize, blockSize);
    ASSERT_EQ(tapManifest.files.size(), imageManifest.files.size());
    for (std::size_t i = 0; i < tapManifest.files.size(); ++i) {
        EXPECT_EQ(tapManifest.files[i].dataOffset, imageManifest.files[i].dataOffset);
    }
    for (std::uint32_t size : parsed.recordSizes)
        ASSERT_EQ(size, blockSize) << "every record is a full block";
    const Walk walk = WalkImage(parsed.data, blockSize);
    EXPECT_TRUE(walk.errors.empty()) << walk.errors.front();
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, TapAgreesWithImage,
                         ::testing::Values(512u, 1024u, 4096u, 32768u, 65536u, 131072u, 262144u));

TEST(TapSinkRecords, PartialAndOddRecordsArePaddedAndRepeatTheirLength) {
    MemorySink out;
    TapSink tap(out, 512);
    const std::vector<std::uint8_t> data(513, 0xAB);
    tap.Write(data);
    tap.Filemark();
    tap.Write(std::vector<std::uint8_t>(4, 0xCD));
    tap.Finish();
    const ParsedTap parsed = ParseTap(out.bytes);
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.recordSizes, (std::vector<std::uint32_t>{512, 1, 4}));
    EXPECT_EQ(parsed.marks, (std::vector<std::uint64_t>{513}));
    // 4+512+4, then 4+1+pad+4, then the mark, then 4+4+4, then the end marker.
    EXPECT_EQ(out.bytes.size(), 520u + 10u + 4u + 12u + 4u);
    EXPECT_EQ(out.bytes[520 + 4 + 1], 0);
    EXPECT_THROW(TapSink(out, 100), std::invalid_argument);
}

TEST(FileSinks, ImageAndTapFilesHoldTheSameBytesAsMemory) {
    TempDir dir;
    MediaDescription media = MixedMedia(512, false);
    // Larger than the image file's buffer, so the direct-write path is taken too.
    media.sets[0].entries.push_back(
        FileEntry{.name = "BIG.BIN", .data = GeneratedData{.size = 3u << 20, .seed = 5}});
    MemorySink memory;
    const Manifest expected = WriteMedia(media, memory, {.physicalBlockSize = 32768});

    const Manifest fromFile = WriteImageFile(media, dir.path() / "m.img", {.physicalBlockSize = 32768});
    EXPECT_TRUE(test_support::SameBytes(ReadFile(dir.path() / "m.img"), memory.bytes));
    EXPECT_EQ(fromFile.imageSize, expected.imageSize);

    WriteTapFile(media, dir.path() / "m.tap", 32768);
    const ParsedTap parsed = ParseTap(ReadFile(dir.path() / "m.tap"));
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.data, memory.bytes);
    EXPECT_EQ(parsed.marks, expected.filemarks);

    EXPECT_THROW(ImageFileSink(dir.path() / "no-such-dir" / "x.img"), std::runtime_error);
}

}  // namespace
}  // namespace ostrum::mtfwriter::testing
