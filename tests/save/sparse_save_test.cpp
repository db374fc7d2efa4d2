// SPDX-License-Identifier: GPL-3.0-or-later
// Sparse files: written by our MTF writer as an empty STAN flagged sparse followed by SPAR runs, catalogued
// at their full size, and saved back from an image and from a virtual tape with their holes left as holes.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "catalog/sparse_stream.h"
#include "save_fixture.h"
#include "tape/tape_devices.h"

namespace ostrum::save {
namespace {

using namespace testing;

mw::FileEntry Sparse(const char* name, std::uint64_t size, std::vector<mw::SparseExtent> runs,
                     mw::SparseFrame frame = mw::SparseFrame::OffsetAndLength) {
    return mw::FileEntry{.name = name,
                         .data = mw::GeneratedData{.size = size, .seed = size},
                         .sparse = std::move(runs),
                         .sparseFrame = frame};
}

// Runs of both framings, out in the file and at its very end, a trailing hole, a file that is all hole,
// one whose FILE block states no size (its runs tell it), and an ordinary file after them.
mw::MediaDescription SparseMedia() {
    mw::FileEntry unsized = Sparse("UNSIZED.DAT", 65546, {{65536, 10}});
    unsized.declaredLength = 0;
    mw::MediaDescription media{.tape = {.logicalBlockSize = 1024}};
    media.sets.push_back(
        {.info = {.name = "Sparse"},
         .entries = {Sparse("DISK.VHD", 4 << 20, {{0, 5000}, {(1 << 20) + 3, 70000}, {3 << 20, 4096}}),
                     Sparse("LOG.DAT", 300000, {{100, 1}, {200000, 100000}}, mw::SparseFrame::OffsetOnly),
                     Sparse("HOLE.BIN", 1 << 20, {}), unsized,
                     mw::FileEntry{.name = "AFTER.TXT", .data = mw::BytesOf("after the sparse files")}}});
    return media;
}

blkcnt_t AllocatedBlocks(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_blocks;
}

// A file made sparse by hand on the same file system (sized, then the runs written at their places and
// synced): the blocks a saved copy should take.
blkcnt_t ReferenceBlocks(const fs::path& path, const mw::FileEntry& file) {
    const std::vector<std::uint8_t> bytes = WithHoles(file);
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(bytes.size())), 0);
    for (const auto& run : *file.sparse) {
        EXPECT_EQ(::pwrite(fd, bytes.data() + run.offset, run.length, static_cast<off_t>(run.offset)),
                  static_cast<ssize_t>(run.length));
    }
    ::fsync(fd);
    ::close(fd);
    return AllocatedBlocks(path);
}

class SparseSaveTest : public SaveTest {
  protected:
    void ScanImage() {
        manifest = mw::WriteImageFile(media, temp.path("medium.img"));
        found = testing::ScanImage(temp.path("medium.img"));
        request = SaveRequest{false, temp.path("medium.img").string(), destination().string()};
    }
    void ScanTape(std::uint32_t blockSize) {
        manifest = mw::WriteTapFile(media, temp.path("medium.tap"), blockSize);
        ASSERT_TRUE(devices.AttachVirtual(0, {.path = temp.path("medium.tap").string()}));
        found = ScanTapeDrive(devices);
        request = SaveRequest{true, "//./tape0", destination().string(), ExistingFiles::KeepBoth, &devices};
    }
    void Save() {
        fs::remove_all(destination());
        fs::create_directories(destination());
        items = CheckedItems(*found);
        report = SaveFiles(items, request, sink, cancel);
    }
    const mw::FileEntry& Entry(std::size_t index) const {
        return std::get<mw::FileEntry>(media.sets[0].entries[index]);
    }
    fs::path Saved(std::size_t index) const { return destination() / report.files[index].savedAs; }

    // Every file catalogued at its full size and saved whole, byte for byte, taking no more blocks on disk
    // than the same file made sparse by hand.
    void ExpectSavedWithTheirHoles() {
        ASSERT_EQ(found->rowCount(), 5u);
        ASSERT_TRUE(report.AllSavedWhole()) << report.files[0].reason;
        for (std::size_t i = 0; i < 5; ++i) {
            SCOPED_TRACE(found->row(i).path().str());
            EXPECT_EQ(found->row(i).size(), mw::DataSize(Entry(i).data));
            EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(Saved(i)), WithHoles(Entry(i))));
            if (!Entry(i).sparse) continue;
            const blkcnt_t reference = ReferenceBlocks(temp.path("reference"), Entry(i));
            EXPECT_LE(AllocatedBlocks(Saved(i)), reference);
            if (reference * 512 < static_cast<blkcnt_t>(fs::file_size(Saved(i)))) {
                EXPECT_LT(AllocatedBlocks(Saved(i)) * 512, static_cast<blkcnt_t>(fs::file_size(Saved(i))))
                    << "this file system keeps holes, so the saved file must have them";
            }
        }
    }

    tape::TapeDevices devices;
    mw::MediaDescription media = SparseMedia();
    SaveRequest request;
};

TEST_F(SparseSaveTest, FromAnImageEveryFileComesBackWholeWithItsHolesKept) {
    ScanImage();
    Save();
    ExpectSavedWithTheirHoles();
}

TEST_F(SparseSaveTest, FromATapeOfSmallOrLargeRecordsEveryFileComesBackWholeWithItsHolesKept) {
    for (std::uint32_t blockSize : {512u, 65536u}) {
        SCOPED_TRACE(blockSize);
        ScanTape(blockSize);
        Save();
        ExpectSavedWithTheirHoles();
        devices.Detach(0);
    }
}

// Also: an EOTM where the next stream would start, the end of the medium cutting HOLE.BIN's runs, which
// used to end them as if the file were whole.
TEST_F(SparseSaveTest, DamagedOrUnbelievableRunKeepsTheRunsBeforeItAsAPartialCopy) {
    ScanImage();
    const std::uint64_t firstSpar = (*manifest.files[0].dataOffset + 3) / 4 * 4;
    const std::uint64_t secondSpar = (firstSpar + 22 + 16 + 5000 + 3) / 4 * 4;
    const std::uint64_t logRun = (*manifest.files[1].dataOffset + 3) / 4 * 4 + 22;  // LOG.DAT's first frame
    {
        std::fstream medium(temp.path("medium.img"), std::ios::in | std::ios::out | std::ios::binary);
        medium.seekp(static_cast<std::streamoff>(secondSpar + 8));  // the stream length: checksum fails
        medium.put('\x7F');
        // A run offset past any file believed: the frame is data, so no checksum guards it.
        medium.seekp(static_cast<std::streamoff>(logRun + 7));
        medium.put('\x40');
        medium.seekp(static_cast<std::streamoff>((*manifest.files[2].dataOffset + 3) / 4 * 4));
        medium.write("EOTM", 4);
    }
    Save();
    ASSERT_EQ(report.files.size(), 5u);
    EXPECT_EQ(report.files[0].outcome, SaveOutcome::Truncated);
    EXPECT_NE(report.files[0].reason.find("damaged SPAR stream header"), std::string::npos)
        << report.files[0].reason;
    std::vector<std::uint8_t> kept = WithHoles(Entry(0));
    kept.resize(5000);
    EXPECT_EQ(report.files[0].savedAs, "BACKUP SET 1(_Sparse)/DISK.VHD.partial");
    EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(Saved(0)), kept));
    EXPECT_EQ(report.files[1].outcome, SaveOutcome::Truncated);
    EXPECT_TRUE(report.files[1].savedAs.empty()) << "no run of it was read, so nothing is kept";
    EXPECT_NE(report.files[1].reason.find("beyond any file believed"), std::string::npos)
        << report.files[1].reason;
    EXPECT_EQ(report.files[2].outcome, SaveOutcome::Truncated);
    EXPECT_NE(report.files[2].reason.find("the end of the medium cuts its sparse runs"), std::string::npos)
        << report.files[2].reason;
    for (std::size_t i = 3; i < 5; ++i) {
        EXPECT_EQ(report.files[i].outcome, SaveOutcome::Saved) << report.files[i].reason;
        EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(Saved(i)), WithHoles(Entry(i))));
    }
}

}  // namespace
}  // namespace ostrum::save
