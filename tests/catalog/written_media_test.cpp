// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner against genuine MTF media made by our writer, whole and damaged, and against real
// SQL Server backups.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "catalog/image_scanner.h"
#include "catalog/media_span.h"
#include "damage.h"
#include "mtf_writer.h"
#include "support/temp_folder.h"

namespace ostrum::catalog {
namespace {

namespace fs = std::filesystem;
namespace mw = mtfwriter;

mw::FileEntry File(std::string name, std::size_t size, std::uint32_t nacl = 0) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + name.size());
    return mw::FileEntry{.name = name, .mtime = {2003, 4, 5, 6, 7, 8}, .data = data, .naclBytes = nacl};
}

// Three sets: plain files in folders, files behind security streams of several sizes (one pushes STAN
// past the 512-byte window), a compressed set, names in several scripts, an empty and a large file.
mw::MediaDescription SampleMedia(std::uint16_t logicalBlockSize) {
    mw::MediaDescription media{.tape = {.mediaName = "Tape 1", .logicalBlockSize = logicalBlockSize}};
    media.sets.push_back(
        {.info = {.name = "Daily"},
         .entries = {mw::DirectoryEntry{}, File("ROOT.TXT", 10),
                     mw::DirectoryEntry{.path = {"DOCS", "LETTERS"}}, File("A.TXT", 1000), File("README", 3),
                     File("archive.backup", 70000), File("EMPTY.DAT", 0)}});
    media.sets.push_back(
        {.info = {.name = "Weekly"},
         .entries = {mw::DirectoryEntry{.path = {"Donn\u00e9es"}}, File("r\u00e9sum\u00e9.doc", 300, 200),
                     File("secure.xls", 5000, 700), File("\u6587\u4ef6.txt", 17)}});
    media.sets.push_back({.info = {.name = "Packed", .compressed = true},
                          .entries = {mw::DirectoryEntry{.path = {"LOGS"}}, File("big.log", 200000)}});
    return media;
}

// Where the scan should catalogue a written file; `setsLost` sets before it were not met by the scan.
std::string ExpectedPath(const mw::Manifest& manifest, const mw::ManifestFile& file,
                         std::uint32_t setsLost = 0) {
    const std::string& setName = manifest.sets.at(file.setNumber - 1).name;
    std::string path =
        "TAPE MEDIA\\BACKUP SET " + std::to_string(file.setNumber - setsLost) + "(_" + setName + ")\\";
    if (!file.directory.empty()) path += file.directory + "\\";
    return path + file.name;
}

class WrittenMediaTest : public ::testing::Test {
  protected:
    std::unique_ptr<Catalog> ScanBytes(const std::vector<std::uint8_t>& bytes, ImageScanOptions options = {},
                                       ImageScanSummary* summary = nullptr) {
        const auto path = (dir / "image.img").string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return ScanPath(path, options, summary);
    }
    std::unique_ptr<Catalog> ScanPath(const std::string& path, ImageScanOptions options = {},
                                      ImageScanSummary* summary = nullptr) {
        auto catalog = std::make_unique<Catalog>(std::make_shared<ExtensionFileInfo>());
        common::ImageFile image;
        EXPECT_TRUE(common::OpenImageFile(image, path)) << image.error();
        CatalogSink sink;
        std::atomic<bool> active{true};
        EXPECT_EQ(ScanImageFile(image, *catalog, sink, active, summary, options), 1);
        return catalog;
    }
    // Checks that every manifest file from `first` on was found with its exact data position and length,
    // the positions moved by `shift` bytes, in a scan that did not meet the first `setsLost` sets.
    void ExpectFound(const Catalog& catalog, const mw::Manifest& manifest, std::size_t first = 0,
                     std::int64_t shift = 0, std::uint32_t setsLost = 0) {
        std::size_t row = 0;
        for (std::size_t i = first; i < manifest.files.size(); ++i, ++row) {
            const auto& file = manifest.files[i];
            ASSERT_LT(row, catalog.rowCount()) << file.name;
            EXPECT_EQ(catalog.row(row).path(), ExpectedPath(manifest, file, setsLost));
            EXPECT_EQ(catalog.row(row).dataOffset(), *file.dataOffset + shift) << file.name;
            // A compressed file's size is what its frames decode to; its stream takes the declared length.
            EXPECT_EQ(catalog.row(row).size(), file.compressed ? file.originalLength : file.declaredLength)
                << file.name;
            EXPECT_EQ(catalog.row(row).storedSize(), file.declaredLength) << file.name;
            EXPECT_TRUE(catalog.row(row).sizeWhole()) << file.name;
        }
        EXPECT_EQ(row, catalog.rowCount());
    }

    test_support::TempFolder temp;
    const fs::path dir = temp.root();
};

TEST_F(WrittenMediaTest, EveryFileIsFoundWhereTheWriterPutItForBothLogicalBlockSizes) {
    for (std::uint16_t logical : {std::uint16_t{512}, std::uint16_t{1024}}) {
        mw::MemorySink sink;
        const auto manifest = mw::WriteMedia(SampleMedia(logical), sink);
        ASSERT_EQ(manifest.files.size(), 9u);
        const auto catalog = ScanBytes(sink.bytes);
        ExpectFound(*catalog, manifest);
        // The folders of every set, and no node for any file.
        std::vector<std::string> nodes;
        for (NodeId id : catalog->PreOrder()) nodes.push_back(catalog->FullPath(id));
        EXPECT_EQ(nodes, (std::vector<std::string>{"TAPE MEDIA\\", "TAPE MEDIA\\BACKUP SET 1(_Daily)\\",
                                                   "TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\",
                                                   "TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\LETTERS\\",
                                                   "TAPE MEDIA\\BACKUP SET 2(_Weekly)\\",
                                                   "TAPE MEDIA\\BACKUP SET 2(_Weekly)\\Donn\u00e9es\\",
                                                   "TAPE MEDIA\\BACKUP SET 3(_Packed)\\",
                                                   "TAPE MEDIA\\BACKUP SET 3(_Packed)\\LOGS\\"}));
    }
}

TEST_F(WrittenMediaTest, SoftFilemarksOfBackupFilesDoNotDisturbTheScan) {
    mw::MemorySink sink;
    const auto manifest = mw::WriteMedia(SampleMedia(1024), sink, {.softFilemarks = true});
    ExpectFound(*ScanBytes(sink.bytes), manifest);
}

TEST_F(WrittenMediaTest, MediumWithItsBeginningCutStillYieldsTheLaterSets) {
    mw::MemorySink sink;
    const auto manifest = mw::WriteMedia(SampleMedia(512), sink);
    // Cut just before the second set: its files keep their names and paths, their positions move.
    const std::uint64_t cut = manifest.sets[1].ssetOffset;
    std::vector<std::uint8_t> damaged(sink.bytes.begin() + static_cast<std::ptrdiff_t>(cut),
                                      sink.bytes.end());
    ExpectFound(*ScanBytes(damaged), manifest, 5, -static_cast<std::int64_t>(cut), 1);
}

TEST_F(WrittenMediaTest, ZeroedSetBlockLeavesItsFilesUnderThePreviousLabel) {
    mw::MemorySink sink;
    const auto manifest = mw::WriteMedia(SampleMedia(512), sink);
    std::fill_n(sink.bytes.begin() + static_cast<std::ptrdiff_t>(manifest.sets[1].ssetOffset), 512, 0);
    const auto catalog = ScanBytes(sink.bytes);
    ASSERT_EQ(catalog->rowCount(), 9u);
    EXPECT_EQ(catalog->row(5).path(), "TAPE MEDIA\\BACKUP SET 1(_Daily)\\Donn\u00e9es\\r\u00e9sum\u00e9.doc");
    EXPECT_EQ(catalog->row(8).path(), "TAPE MEDIA\\BACKUP SET 2(_Packed)\\LOGS\\big.log");
}

TEST_F(WrittenMediaTest, ShiftedMediumHasNothingOnTheSlotGridAndTruncatedMediumKeepsWhatItHolds) {
    mw::MemorySink sink;
    const auto manifest = mw::WriteMedia(SampleMedia(512), sink);
    std::vector<std::uint8_t> shifted(3 + sink.bytes.size(), 0xEE);  // three bytes in front of the medium
    std::copy(sink.bytes.begin(), sink.bytes.end(), shifted.begin() + 3);
    EXPECT_EQ(ScanBytes(shifted)->rowCount(), 0u);

    // Truncated 600 bytes after the big file's FILE block (its slot is whole, its data cut short): the files
    // before it are all there, that one keeps its row with the position of its data, the rest are gone.
    const auto& big = manifest.files[3];
    ASSERT_EQ(big.name, "archive.backup");
    std::vector<std::uint8_t> truncated(
        sink.bytes.begin(), sink.bytes.begin() + static_cast<std::ptrdiff_t>(big.fileBlockOffset + 600));
    const auto catalog = ScanBytes(truncated);
    ASSERT_EQ(catalog->rowCount(), 4u);
    EXPECT_EQ(catalog->row(3).dataOffset(), big.dataOffset);
}

constexpr ImageScanOptions kDeep{.deep = true};

// Everything a scan catalogued, as text: the rows with their sizes and positions, the folders, the sets.
std::string Describe(const Catalog& catalog) {
    std::string text;
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        const auto& row = catalog.row(i);
        text += row.path().str() + " " + row.SizeText() + " " +
                (row.dataOffset() ? std::to_string(*row.dataOffset()) : "-") + "\n";
    }
    for (NodeId id : catalog.PreOrder()) text += catalog.FullPath(id) + "\n";
    for (const auto& label : catalog.setLabels()) text += label + "\n";
    return text;
}

TEST_F(WrittenMediaTest, DeepScanOfWholeMediaFindsExactlyWhatTheNormalScanFinds) {
    for (std::uint16_t logical : {std::uint16_t{512}, std::uint16_t{1024}}) {
        for (bool soft : {false, true}) {
            mw::MemorySink sink;
            const auto manifest = mw::WriteMedia(SampleMedia(logical), sink, {.softFilemarks = soft});
            const auto deep = ScanBytes(sink.bytes, kDeep);
            EXPECT_EQ(Describe(*deep), Describe(*ScanBytes(sink.bytes))) << logical << " " << soft;
            ExpectFound(*deep, manifest);
        }
    }
    for (const auto& entry : fs::directory_iterator(OSTRUM_REAL_MEDIA_DIR)) {
        EXPECT_EQ(Describe(*ScanPath(entry.path().string(), kDeep)),
                  Describe(*ScanPath(entry.path().string())))
            << entry.path();
    }
}

// Blocks off the 512-byte grid used to hide everything: an image cut by 100 bytes or shifted by one listed
// no file, and 7 junk bytes inside hid every file after them. The deep scan finds each at its moved place,
// a block lying across the end of a 65,536-byte read included.
TEST_F(WrittenMediaTest, DeepScanFindsTheFilesOfCutShiftedAndJunkedMedia) {
    mw::MemorySink sink;
    const auto manifest = mw::WriteMedia(SampleMedia(512), sink);
    auto damage = [&](const mw::Damage& how) {
        std::vector<std::uint8_t> bytes = sink.bytes;
        mw::ApplyDamage(bytes, how);
        return bytes;
    };
    const auto cut = damage(mw::Damage::CutFront(100));
    EXPECT_EQ(ScanBytes(cut)->rowCount(), 0u);
    ExpectFound(*ScanBytes(cut, kDeep), manifest, 0, -100);

    const auto shifted = damage(mw::Damage::ShiftFront(1));
    EXPECT_EQ(ScanBytes(shifted)->rowCount(), 0u);
    ExpectFound(*ScanBytes(shifted, kDeep), manifest, 0, 1);

    const std::uint64_t across = 65536 - 100 - manifest.sets[1].ssetOffset % 65536;
    ExpectFound(*ScanBytes(damage(mw::Damage::ShiftFront(across)), kDeep), manifest, 0,
                static_cast<std::int64_t>(across));

    // Junk before the second set's first file: the normal scan keeps the five rows before it.
    const std::uint64_t junkAt = manifest.files[5].fileBlockOffset;
    const auto junked = damage(mw::Damage::InsertJunk(junkAt, 7));
    EXPECT_EQ(ScanBytes(junked)->rowCount(), 5u);
    const auto deep = ScanBytes(junked, kDeep);
    ASSERT_EQ(deep->rowCount(), manifest.files.size());
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        const auto& file = manifest.files[i];
        EXPECT_EQ(deep->row(i).path(), ExpectedPath(manifest, file));
        EXPECT_EQ(deep->row(i).dataOffset(), *file.dataOffset + (file.fileBlockOffset >= junkAt ? 7 : 0));
    }
}

// What tells MTF data from none: the normal and the deep scan alike count each TAPE, SSET, DIRB, FILE,
// ESET and EOTM block the writer wrote once, and every byte of the image as examined once; bytes that are
// no MTF data (a tail shorter than a slot, an image shorter than one) give no block and nothing catalogued.
TEST_F(WrittenMediaTest, ScansCountEverySoundBlockOnceAndEveryByteExamined) {
    mw::MemorySink sink;
    const auto manifest = mw::WriteMedia(SampleMedia(512), sink);
    const std::uint64_t written =
        2 + 2 * manifest.sets.size() + manifest.directories.size() + manifest.files.size();
    for (const ImageScanOptions options : {ImageScanOptions{}, kDeep}) {
        ImageScanSummary summary;
        ScanBytes(sink.bytes, options, &summary);
        EXPECT_EQ(summary.found.soundBlocks, written) << options.deep;
        EXPECT_EQ(summary.found.bytesExamined, sink.bytes.size()) << options.deep;
        EXPECT_TRUE(FoundMtfData(summary.found));
        for (std::size_t size : {12, 65536 + 100, 70000}) {
            ScanBytes(std::vector<std::uint8_t>(size, 'Z'), options, &summary);
            EXPECT_EQ(summary.found.bytesExamined, size) << size << " " << options.deep;
            EXPECT_FALSE(FoundMtfData(summary.found)) << size;
        }
    }
}

// A file whose CatalogPath, counted with the "TAPE MEDIA\\BACKUP SET 1(...)\\" put in front, passed 260
// characters used to be dropped: a long set name and a 200-character file name listed nothing at all.
TEST_F(WrittenMediaTest, LongSetNameAndLongFileNameInADeepTreeAreAllFound) {
    const std::string setName = "Weekly full backup of the accounting department file server";
    const std::string longName = std::string(200, 'x') + ".txt";
    const std::vector<std::string> deep = {std::string(60, 'a'), std::string(60, 'b'), std::string(60, 'c')};
    mw::MediaDescription media;
    media.sets.push_back(
        {.info = {.name = setName},
         .entries = {mw::DirectoryEntry{}, File(longName, 2),
                     mw::DirectoryEntry{.path = {deep[0], deep[1], deep[2]}}, File("DEEP.TXT", 3)}});
    mw::MemorySink sink;
    const auto manifest = mw::WriteMedia(media, sink);
    const auto catalog = ScanBytes(sink.bytes);
    ExpectFound(*catalog, manifest);
    const std::string root = "TAPE MEDIA\\BACKUP SET 1(_" + setName + ")\\";
    std::vector<std::string> nodes;
    for (NodeId id : catalog->PreOrder()) nodes.push_back(catalog->FullPath(id));
    EXPECT_EQ(nodes.back(), root + deep[0] + "\\" + deep[1] + "\\" + deep[2] + "\\");
    EXPECT_EQ(nodes.size(), 5u);
}

// The folder used to be a fixed path of one machine; it now comes from the source tree, and a missing or
// empty folder fails the test instead of passing it with nothing scanned.
TEST_F(WrittenMediaTest, RealSqlServerBackupsScanCleanlyToAnEmptyCatalog) {
    ASSERT_TRUE(fs::is_directory(OSTRUM_REAL_MEDIA_DIR))
        << "the real media folder " << OSTRUM_REAL_MEDIA_DIR << " is missing (set OSTRUM_SHARED_DIR)";
    std::size_t scanned = 0;
    for (const auto& entry : fs::directory_iterator(OSTRUM_REAL_MEDIA_DIR)) {
        ++scanned;
        const auto catalog = ScanPath(entry.path().string());
        EXPECT_EQ(catalog->rowCount(), 0u) << entry.path();
        EXPECT_EQ(catalog->nodeCount(), 0u) << entry.path();
        // The database backup's one set is known all the same, with its name.
        ASSERT_EQ(catalog->setLabels().size(), 1u) << entry.path();
        EXPECT_TRUE(catalog->setLabels()[0].starts_with("BACKUP SET 1(_")) << catalog->setLabels()[0];
        EXPECT_TRUE(catalog->setLabels()[0].ends_with("-Full Database Backup)")) << catalog->setLabels()[0];
    }
    EXPECT_GT(scanned, 0u) << "no real media in " << OSTRUM_REAL_MEDIA_DIR;
}

// Media given to be read as one backup are read by the sequence numbers their first blocks give; when one
// gives none (its start is damaged) they keep the order given; one of another family is refused, compared
// with the labelled medium given before it.
TEST_F(WrittenMediaTest, MediaAreOrderedByTheLabelsOfTheirFirstBlocks) {
    mw::MediaDescription media{.tape = {.mediaFamilyId = 0xBEEF}};
    media.sets.push_back({.info = {.name = "Daily"}, .entries = {File("BIG.BIN", 300000)}});
    mw::MemorySink a, b, c;
    std::vector<mw::Sink*> sinks{&a, &b, &c};
    mw::WriteSpannedMedia(media, sinks, std::vector<std::uint64_t>{100000, 200000});
    std::vector<std::uint8_t> damaged = b.bytes;
    damaged[10] ^= 1;  // the TAPE block's checksum no longer holds
    const auto label = [](const std::vector<std::uint8_t>& bytes) {
        return ReadMediumLabel(common::MemoryImage(bytes));
    };
    EXPECT_FALSE(label(damaged));

    const std::vector<std::string> names{"c", "a", "b"};
    const MediaOrder sorted = OrderMedia(names, std::vector{label(c.bytes), label(a.bytes), label(b.bytes)});
    EXPECT_EQ(sorted.order, (std::vector<std::size_t>{1, 2, 0}));
    EXPECT_TRUE(sorted.Reordered());
    EXPECT_EQ(sorted.refusal, "");
    const MediaOrder given = OrderMedia(names, std::vector{label(c.bytes), label(a.bytes), label(damaged)});
    EXPECT_EQ(given.order, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_FALSE(given.Reordered());

    const MediumLabel other{.family = 0xC0FFEE, .sequence = 2};
    const MediaOrder refused =
        OrderMedia(names, std::vector{label(a.bytes), label(damaged), std::optional(other)});
    EXPECT_EQ(refused.refusal,
              "b is medium 2 of media family 0x00C0FFEE, not the medium after c (medium 1 of media family "
              "0x0000BEEF)");
}

}  // namespace
}  // namespace ostrum::catalog
