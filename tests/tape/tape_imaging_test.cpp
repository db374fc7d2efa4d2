// SPDX-License-Identifier: GPL-3.0-or-later
// CopyTapeToImage: the image layout, its texts, stopping, read errors, capacities that do not match
// the data, and write failures that must never end in "Done".

#include "tape/tape_imaging.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "scan_fixtures.h"
#include "tap_builder.h"
#include "tape/read_failures.h"

namespace ostrum::tape {
namespace {

using testing::Pattern;
using testing::ReadWholeFile;
using testing::RecordingImagingSink;
using testing::TapBuilder;
using testing::TempFolder;

class ImageCopyTest : public ::testing::Test {
  protected:
    ImageCopyResult Copy(const TapBuilder& tape, VirtualTapeOptions options = {},
                         const std::string& image = {}) {
        options.path = folder_.path("copy.tap").string();
        tape.WriteTo(options.path);
        EXPECT_TRUE(devices_.AttachVirtual(1, options));
        return CopyTapeToImage(devices_, "//./tape1", image.empty() ? imagePath_ : image, sink_, stop_);
    }
    std::vector<std::uint8_t> Image() const { return ReadWholeFile(imagePath_); }
    static std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
        std::vector<std::uint8_t> all;
        for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    }

    TempFolder folder_;
    std::string imagePath_ = folder_.path("tape.img").string();
    TapeDevices devices_;
    RecordingImagingSink sink_;
    std::atomic<std::uint32_t> stop_{1};  // a stale request from an earlier copy; the copy clears it
};

TEST_F(ImageCopyTest, ImageIsTheReadsBackToBackAcrossFilemarksWithRealCounts) {
    const auto a = Pattern(1024, 1), b = Pattern(65536, 2), c = Pattern(100000, 3), d = Pattern(777, 4);
    const auto tape =
        TapBuilder().Record(a).Mark().Record(b).Record(c).Mark().Mark().Record(d).Mark().EndOfMedium();
    VirtualTapeOptions options;
    options.capacity = 5'000'000'000;
    const ImageCopyResult result = Copy(tape, options);
    ASSERT_TRUE(result.done) << result.error;
    EXPECT_EQ(Image(), Join({a, b, c, d}));
    EXPECT_EQ(result.copied, 1024u + 65536 + 100000 + 777);
    EXPECT_EQ(result.marks, 4u);
    EXPECT_EQ(sink_.totals, (std::vector<std::string>{"5000000000"}));
    // Count labels come after every read, marks included; the count is the real byte count.
    EXPECT_EQ(sink_.labels,
              (std::vector<std::string>{"Rewinding tape...", "Reading Tape...", "1024", "1024", "66560",
                                        "132096", "166560", "166560", "166560", "167337", "167337", "Done"}));
    EXPECT_EQ(sink_.progress.back(), 0);  // 167,337 of 5 GB
}

TEST_F(ImageCopyTest, WriterMediaCopyIsTheWritersImage) {
    for (std::uint32_t blockSize : {512u, 65536u, 262144u}) {
        const auto tap = folder_.path("media.tap");
        const auto img = folder_.path("media.img");
        const auto manifest = testing::mw::WriteTapFile(testing::SampleMedia(), tap, blockSize);
        testing::mw::WriteImageFile(testing::SampleMedia(), img, {.physicalBlockSize = blockSize});
        VirtualTapeOptions options;
        options.path = tap.string();
        ASSERT_TRUE(devices_.AttachVirtual(2, options));
        const ImageCopyResult result = CopyTapeToImage(devices_, "//./tape2", imagePath_, sink_, stop_);
        ASSERT_TRUE(result.done) << result.error;
        EXPECT_EQ(Image(), ReadWholeFile(img)) << blockSize;
        EXPECT_EQ(result.copied, manifest.imageSize);
        EXPECT_EQ(result.marks, manifest.filemarks.size());
    }
}

TEST_F(ImageCopyTest, StopEndsTheCopyAfterWritingTheLastRead) {
    const auto a = Pattern(4096, 1), b = Pattern(4096, 2), c = Pattern(4096, 3);
    VirtualTapeOptions options;
    options.beforeRead = [this](std::uint64_t record) {
        if (record == 1) stop_ = 1;  // pressed while the drive reads the second record
    };
    const ImageCopyResult result = Copy(TapBuilder().Record(a).Record(b).Record(c).EndOfMedium(), options);
    EXPECT_TRUE(result.done);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(Image(), Join({a, b}));
    EXPECT_EQ(sink_.labels.back(), "Stopped");  // it used to say "Done" of an incomplete image
    EXPECT_FALSE(devices_.Attached(1)->inUse());
}

TEST_F(ImageCopyTest, ReadErrorsAreSkippedAndCountedUntilARunOfFailures) {
    const auto a = Pattern(512, 1), b = Pattern(512, 2), c = Pattern(512, 3);
    VirtualTapeOptions options;
    options.errorRecords = {1};
    ImageCopyResult result = Copy(TapBuilder().Record(a).Record(b).Record(c).EndOfMedium(), options);
    EXPECT_TRUE(result.done);
    EXPECT_EQ(Image(), Join({a, c}));
    EXPECT_EQ(result.readErrors, 1u);
    EXPECT_NE(result.lastReadError.find("data record 1"), std::string::npos);

    TapBuilder dead;
    dead.Record(a);
    for (int i = 0; i < kMaxConsecutiveReadFailures + 2; ++i) dead.BadRecord(b);
    dead.Record(c).EndOfMedium();
    result = Copy(dead);
    EXPECT_TRUE(result.gaveUp);
    EXPECT_EQ(sink_.labels.back(), "Gave up after 8 unreadable blocks in a row");
    EXPECT_EQ(result.readErrors, static_cast<std::uint64_t>(kMaxConsecutiveReadFailures));
    EXPECT_EQ(Image(), a);
}

TEST_F(ImageCopyTest, CopyGoesPastTheCapacityAndProgressStaysWithinAHundred) {
    const auto a = Pattern(60000, 1), b = Pattern(60000, 2);
    const auto tape = TapBuilder().Record(a).Record(b).EndOfMedium();
    VirtualTapeOptions compressed;
    compressed.capacity = 50000;  // a compressing drive delivers more than its capacity
    EXPECT_TRUE(Copy(tape, compressed).done);
    EXPECT_EQ(Image(), Join({a, b}));
    EXPECT_EQ(sink_.progress, (std::vector<int>{100, 100}));

    sink_ = RecordingImagingSink{};
    VirtualTapeOptions unknown;
    unknown.capacity = 0;
    EXPECT_TRUE(Copy(tape, unknown).done);
    EXPECT_EQ(Image(), Join({a, b}));
    EXPECT_TRUE(sink_.progress.empty());
    EXPECT_EQ(sink_.totals, (std::vector<std::string>{"0"}));
}

TEST_F(ImageCopyTest, EmptyTapeGivesAnEmptyImageAndDone) {
    const ImageCopyResult result = Copy(TapBuilder().EndOfMedium());
    EXPECT_TRUE(result.done);
    EXPECT_TRUE(std::filesystem::exists(imagePath_));
    EXPECT_TRUE(Image().empty());
    EXPECT_EQ(sink_.labels, (std::vector<std::string>{"Rewinding tape...", "Reading Tape...", "Done"}));
}

TEST_F(ImageCopyTest, FullDiskEndsTheCopyWithItsReasonInsteadOfDone) {
    const ImageCopyResult result = Copy(TapBuilder().Record(Pattern(1000, 1)).EndOfMedium(), {}, "/dev/full");
    EXPECT_FALSE(result.done);
    EXPECT_NE(result.error.find("No space left on device"), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("/dev/full"), std::string::npos) << result.error;
    ASSERT_FALSE(sink_.labels.empty());
    EXPECT_EQ(sink_.labels.back(), result.error);
    EXPECT_EQ(std::count(sink_.labels.begin(), sink_.labels.end(), "Done"), 0);
    EXPECT_FALSE(devices_.Attached(1)->inUse());
}

TEST_F(ImageCopyTest, FileSizeLimitEndsTheCopyWithItsReason) {
    // In a child process: the limit and the ignored SIGXFSZ (without which the kernel kills the writer)
    // must not touch the test program.
    VirtualTapeOptions options;
    options.path = folder_.path("limit.tap").string();
    TapBuilder().Record(Pattern(65536, 1)).Record(Pattern(65536, 2)).EndOfMedium().WriteTo(options.path);
    ASSERT_TRUE(devices_.AttachVirtual(1, options));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool reported = false;
        try {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{100000, 100000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            const ImageCopyResult result = CopyTapeToImage(devices_, "//./tape1", imagePath_, sink_, stop_);
            reported = !result.done && result.error.find("File too large") != std::string::npos &&
                       sink_.labels.back() == result.error;
        } catch (...) {
        }
        ::_exit(reported ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// `image //./tape0 s2.tap` with s2.tap attached as the tape emptied the tape's own file and reported
// "Done: 0 bytes copied"; a tape device or a drive's name as the image fared no better.
TEST_F(ImageCopyTest, ImageIsNeverTheTapeItself) {
    const auto tape = TapBuilder().Record(Pattern(4096, 1)).EndOfMedium();
    const std::string tapeFile = folder_.path("copy.tap").string();
    ImageCopyResult result = Copy(tape, {}, tapeFile);
    EXPECT_FALSE(result.done);
    EXPECT_EQ(result.error,
              "cannot write the image '" + tapeFile + "': it is the tape's own file, which the copy reads");
    EXPECT_EQ(ReadWholeFile(tapeFile), tape.bytes());
    EXPECT_TRUE(sink_.labels.empty());

    const std::string link = folder_.path("link.tap").string();
    std::filesystem::create_hard_link(tapeFile, link);
    EXPECT_NE(Copy(tape, {}, link).error.find("the tape's own file"), std::string::npos);
    EXPECT_NE(Copy(tape, {}, "//./tape1").error.find("it is the name of a tape drive"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(tapeFile), tape.bytes());

    // A node of the st driver (made only where mknod is allowed) is refused before it is opened.
    const std::string node = folder_.path("nst0").string();
    if (::mknod(node.c_str(), S_IFCHR | 0600, ::makedev(9, 128)) == 0) {
        EXPECT_NE(Copy(tape, {}, node).error.find("it is a tape device"), std::string::npos);
    }
    EXPECT_FALSE(devices_.Attached(1)->inUse());
}

// The image used to be created (and emptied) before the drive was rewound, so a failed rewind left the
// old image empty; an existing image is now emptied only once the drive has answered, and kept when the
// caller asks so.
TEST_F(ImageCopyTest, ExistingImageStaysUntilTheDriveHasAnswered) {
    const auto old = Pattern(3000, 7);
    std::ofstream(imagePath_, std::ios::binary).write(reinterpret_cast<const char*>(old.data()), old.size());
    const auto tape = TapBuilder().Record(Pattern(4096, 1)).EndOfMedium();
    VirtualTapeOptions empty;
    empty.noMedium = true;
    EXPECT_NE(Copy(tape, empty).error.find("no medium"), std::string::npos);
    EXPECT_EQ(Image(), old);

    VirtualTapeOptions plain;
    plain.path = folder_.path("copy.tap").string();
    tape.WriteTo(plain.path);
    ASSERT_TRUE(devices_.AttachVirtual(1, plain));
    ImageCopyResult result =
        CopyTapeToImage(devices_, "//./tape1", imagePath_, sink_, stop_, ExistingImage::Refuse);
    EXPECT_TRUE(result.refusedAsExisting);
    EXPECT_EQ(result.error, "cannot write the image '" + imagePath_ + "': it already exists");
    EXPECT_EQ(Image(), old);
    result = CopyTapeToImage(devices_, "//./tape1", imagePath_, sink_, stop_, ExistingImage::Replace);
    EXPECT_TRUE(result.done) << result.error;
    EXPECT_EQ(Image(), Pattern(4096, 1));

    // A new image that the copy could not start leaves no file behind.
    const std::string fresh = folder_.path("fresh.img").string();
    EXPECT_FALSE(Copy(tape, empty, fresh).done);
    EXPECT_FALSE(std::filesystem::exists(fresh));
}

TEST_F(ImageCopyTest, CopyThatCannotStartSaysWhyAndLeavesNothingOpen) {
    const auto tape = TapBuilder().Record(Pattern(100, 1)).EndOfMedium();
    VirtualTapeOptions busy;
    busy.busy = true;
    ImageCopyResult result = Copy(tape, busy);
    EXPECT_FALSE(result.done);
    EXPECT_NE(result.error.find("in use"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(imagePath_));
    EXPECT_TRUE(sink_.labels.empty());

    result = Copy(tape, {}, folder_.path("missing/tape.img").string());
    EXPECT_NE(result.error.find("cannot create the image"), std::string::npos) << result.error;
    EXPECT_FALSE(devices_.Attached(1)->inUse());

    VirtualTapeOptions empty;
    empty.noMedium = true;
    result = Copy(tape, empty);
    EXPECT_NE(result.error.find("no medium"), std::string::npos) << result.error;
    EXPECT_EQ(sink_.labels, (std::vector<std::string>{"Rewinding tape..."}));
    EXPECT_FALSE(devices_.Attached(1)->inUse());
}

}  // namespace
}  // namespace ostrum::tape
