// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/image_scanner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "block_fixture.h"
#include "support/temp_folder.h"

namespace ostrum::catalog {
namespace {

using namespace testing;
namespace fs = std::filesystem;

class ProgressRecorder : public CatalogSink {
  public:
    void Progress(int percent) override { progress.push_back(percent); }
    void PositionLine(std::string_view text) override { positions.emplace_back(text); }
    void StatusLine(std::string_view text) override { status = text; }
    std::vector<int> progress;
    std::vector<std::string> positions;
    std::string status;
};

class ImageScannerTest : public ::testing::Test {
  protected:
    std::string Write(const std::vector<std::uint8_t>& bytes) {
        const auto path = (dir / "image.img").string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }
    int Scan(const std::vector<std::uint8_t>& bytes) {
        common::ImageFile image;
        EXPECT_TRUE(common::OpenImageFile(image, Write(bytes)));
        std::atomic<bool> active{true};
        return ScanImageFile(image, catalog, sink, active);
    }

    test_support::TempFolder temp;
    const fs::path dir = temp.root();
    Catalog catalog{std::make_shared<ExtensionFileInfo>()};
    ProgressRecorder sink;
};

TEST_F(ImageScannerTest, WholeChunksMoveProgressAndPositionToTheEnd) {
    std::vector<std::uint8_t> bytes(2 * 65536, 0);
    PutFile(bytes, 65536 + 512, u"B.TXT");
    EXPECT_EQ(Scan(bytes), 1);
    EXPECT_EQ(sink.progress, (std::vector<int>{50, 100}));
    EXPECT_EQ(sink.positions, (std::vector<std::string>{"65536 \\ 131072", "131072 \\ 131072"}));
    EXPECT_EQ(sink.status, "Total File Found :1");
}

TEST_F(ImageScannerTest, TailOfAtMostOneSlotIsNotRead) {
    std::vector<std::uint8_t> bytes(65536 + 512, 0);
    PutFile(bytes, 65536, u"TAIL.TXT");
    EXPECT_EQ(Scan(bytes), 1);
    EXPECT_EQ(catalog.rowCount(), 0u);
    EXPECT_EQ(sink.progress, (std::vector<int>{99}));
}

TEST_F(ImageScannerTest, LongerTailIsExaminedWithoutMovingProgress) {
    std::vector<std::uint8_t> bytes(65536 + 1024, 0);
    const std::size_t data = PutFile(bytes, 65536 + 512, u"TAIL.TXT", 3);
    EXPECT_EQ(Scan(bytes), 1);
    ASSERT_EQ(catalog.rowCount(), 1u);
    EXPECT_EQ(catalog.row(0).dataOffset(), data);
    EXPECT_EQ(sink.progress, (std::vector<int>{98}));
    EXPECT_EQ(sink.positions.size(), 1u);
}

TEST_F(ImageScannerTest, SmallImageIsReadAsOneTailAndTinyImageNotAtAll) {
    std::vector<std::uint8_t> bytes(3000, 0);
    PutFile(bytes, 2048, u"S.TXT");
    EXPECT_EQ(Scan(bytes), 1);
    EXPECT_EQ(catalog.rowCount(), 1u);
    EXPECT_TRUE(sink.progress.empty());

    Catalog tiny(std::make_shared<ExtensionFileInfo>());
    std::vector<std::uint8_t> small(512, 0);
    PutTag(small, 0, "FILE");
    common::ImageFile image;
    ASSERT_TRUE(common::OpenImageFile(image, Write(small)));
    std::atomic<bool> active{true};
    EXPECT_EQ(ScanImageFile(image, tiny, sink, active), 1);
    EXPECT_EQ(tiny.rowCount(), 0u);
}

TEST_F(ImageScannerTest, BlocksOffTheSlotGridAreNeverFound) {
    std::vector<std::uint8_t> bytes(65536, 0);
    PutFile(bytes, 256, u"ODD.TXT");
    Scan(bytes);
    EXPECT_EQ(catalog.rowCount(), 0u);
}

TEST_F(ImageScannerTest, FileInTheLastSlotFindsItsStreamInTheNextChunk) {
    // The FILE block sits in slot 127; its STAN header starts 4 bytes before the chunk ends, so the tag
    // is in one chunk and the length in the next. This file used to get no size and no position.
    std::vector<std::uint8_t> bytes(2 * 65536, 0);
    PutFile(bytes, 65536 - 512, u"EDGE.TXT", 77, 508);
    EXPECT_EQ(Scan(bytes), 1);
    ASSERT_EQ(catalog.rowCount(), 1u);
    EXPECT_EQ(catalog.row(0).size(), 77u);
    EXPECT_EQ(catalog.row(0).dataOffset(), 65536u - 4 + 22);
}

TEST_F(ImageScannerTest, StopFromAnotherThreadEndsTheScanBeforeTheNextSlot) {
    std::vector<std::uint8_t> bytes(4 * 65536, 0);
    for (std::size_t slot = 0; slot < bytes.size(); slot += 512) PutFile(bytes, slot, u"F.TXT");
    const std::string path = Write(bytes);

    // The sink holds the scanner inside its first row until the window thread has pressed Stop.
    class BlockingSink : public CatalogSink {
      public:
        void RowAppended(const Catalog&, std::size_t row) override {
            if (row == 0) {
                reached.set_value();
                released.get_future().wait();
            }
        }
        std::promise<void> reached, released;
    } blocking;

    std::atomic<bool> active{true};  // set by the caller before it starts the worker
    common::ImageFile image;
    ASSERT_TRUE(common::OpenImageFile(image, path));
    std::future<int> result =
        std::async(std::launch::async, [&] { return ScanImageFile(image, catalog, blocking, active); });
    blocking.reached.get_future().wait();
    active.store(false);
    blocking.released.set_value();
    EXPECT_EQ(result.get(), 0);
    EXPECT_EQ(catalog.rowCount(), 1u);  // what was found before the stop stays
}

// The scanner used to set scanActive itself when it began, so a Stop pressed between the start of the
// worker and the start of the scan was lost and the whole image was scanned.
TEST_F(ImageScannerTest, StopPressedBeforeTheScanBeganIsNotLost) {
    std::vector<std::uint8_t> bytes(65536, 0);
    PutFile(bytes, 512, u"A.TXT");
    common::ImageFile image;
    ASSERT_TRUE(common::OpenImageFile(image, Write(bytes)));
    std::atomic<bool> active{false};
    EXPECT_EQ(ScanImageFile(image, catalog, sink, active), 0);
    EXPECT_EQ(catalog.rowCount(), 0u);
    EXPECT_FALSE(active.load());
}

// An image in memory whose reads fail from chosen offsets, each to the end of the read that meets it, the
// way a bad stretch of disk fails a read. It is read ahead of the scan, as files are, when asked.
class DamagedImage final : public common::ImageSource {
  public:
    DamagedImage(std::span<const std::uint8_t> bytes, std::vector<std::uint64_t> badBytes, bool readsAhead)
        : bytes_(bytes), bad_(std::move(badBytes)), readsAhead_(readsAhead) {}
    std::optional<std::uint64_t> Size() const override { return bytes_.Size(); }
    bool ReadsBestAhead() const override { return readsAhead_; }
    common::ImageRead Read(std::uint64_t position, std::span<std::uint8_t> out) const override {
        for (std::uint64_t bad : bad_) {
            if (bad >= position && bad < position + out.size()) {
                common::ImageRead read =
                    bytes_.Read(position, out.first(static_cast<std::size_t>(bad - position)));
                read.error = "cannot read at byte " + std::to_string(bad) + ": Input/output error";
                return read;
            }
        }
        return bytes_.Read(position, out);
    }

  private:
    common::MemoryImage bytes_;
    std::vector<std::uint64_t> bad_;
    bool readsAhead_;
};

// A failed read used to set a field nobody read: the scan said nothing of the parts it could not read.
// Read ahead of the scan or not, every chunk's failure is noted where and as the plain reads note it.
TEST_F(ImageScannerTest, UnreadableChunksAreSkippedCountedAndNamed) {
    std::vector<std::uint8_t> bytes(4 * 65536 + 2048, 0);
    PutFile(bytes, 0, u"A.TXT");
    PutFile(bytes, 65536, u"B.TXT");            // before the bad spot of chunk 1: still read
    PutFile(bytes, 65536 + 4096, u"LOST.TXT");  // behind it: skipped with the rest of the chunk
    PutFile(bytes, 3 * 65536, u"D.TXT");
    PutFile(bytes, 4 * 65536 + 512, u"TAIL.TXT");
    for (const bool readsAhead : {false, true}) {
        SCOPED_TRACE(readsAhead ? "read ahead" : "read in turn");
        const DamagedImage image(bytes, {65536 + 1000, 2 * 65536}, readsAhead);
        Catalog found(std::make_shared<ExtensionFileInfo>());
        std::atomic<bool> active{true};
        ImageScanSummary summary;
        EXPECT_EQ(ScanImageFile(image, found, sink, active, &summary), 1);
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < found.rowCount(); ++i) paths.push_back(found.row(i).path().str());
        EXPECT_EQ(paths, (std::vector<std::string>{
                             "TAPE MEDIA\\BACKUP SET 0\\A.TXT", "TAPE MEDIA\\BACKUP SET 0\\B.TXT",
                             "TAPE MEDIA\\BACKUP SET 0\\D.TXT", "TAPE MEDIA\\BACKUP SET 0\\TAIL.TXT"}));
        EXPECT_EQ(summary.readErrors, 2u);
        EXPECT_EQ(summary.unreadableOffsets, (std::vector<std::uint64_t>{65536 + 1000, 2 * 65536}));
        EXPECT_EQ(summary.lastReadError, "cannot read at byte 131072: Input/output error");
    }

    // A whole image read cleanly leaves the summary empty, also when it is reused.
    Catalog again(std::make_shared<ExtensionFileInfo>());
    std::atomic<bool> active{true};
    ImageScanSummary summary;
    summary.readErrors = 7;
    EXPECT_EQ(ScanImageFile(common::MemoryImage(bytes), again, sink, active, &summary), 1);
    EXPECT_EQ(summary.readErrors, 0u);
    EXPECT_TRUE(summary.unreadableOffsets.empty());
    EXPECT_EQ(again.rowCount(), 5u);
}

// Read ahead a window of chunks at a time: a bad spot in one window leaves the windows before and after it
// whole, finds every file around it, and the progress still moves a chunk at a time.
TEST_F(ImageScannerTest, BadSpotAmongManyWindowsReadAheadCostsOnlyItsOwnChunk) {
    constexpr std::uint64_t kChunks = 70;
    std::vector<std::uint8_t> bytes(kChunks * 65536, 0);
    std::vector<std::string> expected;
    for (const std::uint64_t chunk : {0u, 15u, 16u, 33u, 34u, 35u, 69u}) {
        const std::u16string name =
            u"F" + std::u16string(1, static_cast<char16_t>(u'A' + chunk % 26)) + u".TXT";
        PutFile(bytes, chunk * 65536 + 512, name);
        if (chunk != 34) {
            expected.push_back("TAPE MEDIA\\BACKUP SET 0\\F" +
                               std::string(1, static_cast<char>('A' + chunk % 26)) + ".TXT");
        }
    }
    const DamagedImage image(bytes, {34 * 65536 + 100}, true);
    std::atomic<bool> active{true};
    ImageScanSummary summary;
    EXPECT_EQ(ScanImageFile(image, catalog, sink, active, &summary), 1);
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) paths.push_back(catalog.row(i).path().str());
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(summary.readErrors, 1u);
    EXPECT_EQ(summary.unreadableOffsets, (std::vector<std::uint64_t>{34 * 65536 + 100}));
    EXPECT_EQ(summary.found.bytesExamined, (kChunks - 1) * 65536 + 100);
    ASSERT_EQ(sink.progress.size(), kChunks);
    EXPECT_EQ(sink.progress.back(), 100);
}

// An image cut short during the scan, beyond what was read ahead of it, is noted as the reads note it, and
// the scan goes on reading to the size it had.
TEST_F(ImageScannerTest, ImageCutShortDuringTheScanIsNotedAndScannedToItsNewEnd) {
    constexpr std::size_t kMiB = 1 << 20;
    std::vector<std::uint8_t> bytes(9 * kMiB, 0);
    PutFile(bytes, 0, u"A.TXT");
    PutFile(bytes, kMiB, u"B.TXT");
    PutFile(bytes, 5 * kMiB, u"C.TXT");  // in the chunk before the cut
    PutFile(bytes, 6 * kMiB, u"LOST.TXT");
    const std::string path = Write(bytes);
    common::ImageFile image;
    ASSERT_TRUE(common::OpenImageFile(image, path));

    class CuttingSink : public CatalogSink {
      public:
        explicit CuttingSink(std::string path) : path_(std::move(path)) {}
        void Progress(int) override {
            if (!cut_) {
                EXPECT_EQ(::truncate(path_.c_str(), 5 * kMiB + 65536), 0);
            }
            cut_ = true;
        }

      private:
        std::string path_;
        bool cut_ = false;
    } cutting(path);
    std::atomic<bool> active{true};
    ImageScanSummary summary;
    EXPECT_EQ(ScanImageFile(image, catalog, cutting, active, &summary), 1);
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) paths.push_back(catalog.row(i).path().str());
    EXPECT_EQ(paths,
              (std::vector<std::string>{"TAPE MEDIA\\BACKUP SET 0\\A.TXT", "TAPE MEDIA\\BACKUP SET 0\\B.TXT",
                                        "TAPE MEDIA\\BACKUP SET 0\\C.TXT"}));
    // Every chunk from the cut on is unreadable.
    EXPECT_EQ(summary.readErrors, (9 * kMiB - (5 * kMiB + 65536)) / 65536);
    ASSERT_FALSE(summary.unreadableOffsets.empty());
    EXPECT_EQ(summary.unreadableOffsets.front(), 5 * kMiB + 65536);
    EXPECT_EQ(summary.unreadableOffsets.back(), 9 * kMiB - 65536);
    EXPECT_EQ(summary.lastReadError, "the image ends at byte " + std::to_string(9 * kMiB - 65536) +
                                         ", before the size it had when the scan began");
}

// Attaches `file` to a free loop device for the test's lifetime; the device goes when the last user closes
// it. Needs root and loop devices: `path` stays empty without them.
class LoopDevice {
  public:
    explicit LoopDevice(const std::string& file) {
        const int control = ::open("/dev/loop-control", O_RDWR | O_CLOEXEC);
        const int backing = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        for (int attempt = 0; control >= 0 && backing >= 0 && attempt < 5 && path.empty(); ++attempt) {
            const int number = ::ioctl(control, LOOP_CTL_GET_FREE);
            if (number < 0) break;
            const std::string candidate = "/dev/loop" + std::to_string(number);
            fd_ = ::open(candidate.c_str(), O_RDONLY | O_CLOEXEC);
            loop_info64 info{};
            info.lo_flags = LO_FLAGS_AUTOCLEAR | LO_FLAGS_READ_ONLY;
            if (fd_ >= 0 && ::ioctl(fd_, LOOP_SET_FD, backing) == 0) {
                ::ioctl(fd_, LOOP_SET_STATUS64, &info);
                path = candidate;
            } else if (fd_ >= 0) {
                ::close(fd_);  // taken by someone else meanwhile: ask again
                fd_ = -1;
            }
        }
        if (backing >= 0) ::close(backing);
        if (control >= 0) ::close(control);
    }
    ~LoopDevice() {
        if (fd_ >= 0) ::close(fd_);
    }
    std::string path;

  private:
    int fd_ = -1;
};

// A disk used to scan as an empty image (fstat gives a block device the size 0), and a pipe, /dev/zero or
// another character device gave 0 files and success instead of saying that it is no image.
TEST_F(ImageScannerTest, DevicesAndPipesAreRefusedAndDisksScanWithTheirOwnSize) {
    common::ImageFile image;
    EXPECT_FALSE(common::OpenImageFile(image, "/dev/zero"));
    EXPECT_EQ(image.error(),
              "cannot open '/dev/zero': it is a character device, not an image file (tape drives "
              "are scanned by their names //./tape0 to //./tape19)");
    const std::string fifo = (dir / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);  // so that no open waits for one
    EXPECT_FALSE(common::OpenImageFile(image, fifo));
    EXPECT_NE(image.error().find("it is a pipe, not an image file"), std::string::npos) << image.error();
    ::close(writer);

    std::vector<std::uint8_t> bytes(3 * 65536, 0);
    PutFile(bytes, 2 * 65536 + 512, u"ON.DISK");
    const LoopDevice disk(Write(bytes));
    if (disk.path.empty()) GTEST_SKIP() << "no loop device to attach an image to (needs root)";
    ASSERT_TRUE(common::OpenImageFile(image, disk.path)) << image.error();
    EXPECT_EQ(image.Size(), bytes.size());
    std::atomic<bool> active{true};
    EXPECT_EQ(ScanImageFile(image, catalog, sink, active), 1);
    ASSERT_EQ(catalog.rowCount(), 1u);
    EXPECT_EQ(catalog.row(0).path(), "TAPE MEDIA\\BACKUP SET 0\\ON.DISK");
}

TEST_F(ImageScannerTest, MissingImageOrFolderFailsToOpenWithTheReason) {
    common::ImageFile image;
    EXPECT_FALSE(common::OpenImageFile(image, (dir / "absent.img").string()));
    EXPECT_NE(image.error().find("No such file"), std::string::npos) << image.error();
    EXPECT_FALSE(common::OpenImageFile(image, dir.string()));
    EXPECT_FALSE(image.isOpen());
}

}  // namespace
}  // namespace ostrum::catalog
