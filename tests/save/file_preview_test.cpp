// SPDX-License-Identifier: GPL-3.0-or-later
// Previews of files on media written by our MTF writer: the first bytes as a save would write them (plain,
// compressed, sparse, spread over two media), with the save's words where a stream header is damaged, a
// stream is not decoded or a medium was not read; and the same from a virtual tape, read from its start and
// no further than the preview needs.

#include "save/file_preview.h"

#include <limits>

#include "save/file_extraction.h"
#include "save_fixture.h"

namespace ostrum::save {
namespace {

using namespace testing;

mw::FileEntry Generated(const char* name, std::uint64_t size, bool csum = false) {
    return mw::FileEntry{.name = name, .data = mw::GeneratedData{.size = size, .seed = size}, .csum = csum};
}

mw::FileEntry Text(const char* name, std::size_t lines) {
    std::string text;
    for (std::size_t i = 0; i < lines; ++i) text += "line " + std::to_string(i % 89) + " of a log\n";
    return mw::FileEntry{.name = name, .data = mw::BytesOf(text)};
}

mw::FileEntry Sparse(const char* name, std::uint64_t size, std::vector<mw::SparseExtent> runs) {
    return mw::FileEntry{
        .name = name, .data = mw::GeneratedData{.size = size, .seed = size}, .sparse = std::move(runs)};
}

class FilePreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        media.sets.push_back({.info = {.name = "Plain"},
                              .entries = {Generated("BIG.BIN", 200000), Generated("SMALL.BIN", 3000, true),
                                          Generated("EMPTY.BIN", 0)}});
        media.sets.push_back({.info = {.name = "Packed", .compressed = true},
                              .entries = {Text("LONG.LOG", 20000), Text("SHORT.LOG", 30)}});
        media.sets.push_back(
            {.info = {.name = "Sparse"},
             .entries = {Sparse("DISK.VHD", 4 << 20, {{100, 5000}, {60000, 10000}, {(1 << 20) + 3, 70000}}),
                         Sparse("HOLE.BIN", 1 << 20, {})}});
        mw::WriteImageFile(media, image());
        found = ScanImage(image());
        items = CheckedItems(*found);
    }
    const SaveItem& Item(std::string_view name) const {
        for (const SaveItem& item : items)
            if (item.catalogPath.ends_with(name)) return item;
        ADD_FAILURE() << name << " not found";
        return items.front();
    }
    std::vector<std::uint8_t> Written(std::string_view name) const {
        for (const auto& set : media.sets)
            for (const auto& entry : set.entries)
                if (const auto* file = std::get_if<mw::FileEntry>(&entry); file && file->name.text() == name)
                    return WithHoles(*file);
        return {};
    }
    FilePreview Preview(std::string_view name) const { return ReadPreview(Item(name), request()); }
    SaveRequest request() const { return SaveRequest{false, image().string(), temp.path("out").string()}; }
    fs::path image() const { return temp.path("medium.img"); }

    TempFolder temp;
    mw::MediaDescription media;
    std::unique_ptr<catalog::Catalog> found;
    std::vector<SaveItem> items;
};

TEST_F(FilePreviewTest, ShowsTheFirstBytesAsTheSaveWritesThem) {
    for (const char* name :
         {"BIG.BIN", "SMALL.BIN", "EMPTY.BIN", "LONG.LOG", "SHORT.LOG", "DISK.VHD", "HOLE.BIN"}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> written = Written(name);
        const FilePreview preview = Preview(name);
        EXPECT_EQ(preview.error, "");
        EXPECT_EQ(preview.note, "");
        const std::size_t shown = std::min(written.size(), kPreviewBytes);
        EXPECT_TRUE(test_support::SameBytes(preview.bytes, std::span(written).first(shown)))
            << preview.bytes.size() << " bytes";
        EXPECT_EQ(preview.longer, written.size() > kPreviewBytes);
    }
    EXPECT_FALSE(fs::exists(temp.path("out"))) << "a preview writes nothing";
}

TEST_F(FilePreviewTest, HeaderChecksAndNotesAreTheSaves) {
    // A damaged header: no bytes and the reason a save gives.
    PatchStreamHeader(image(), *Item("BIG.BIN").dataOffset - 22, 8, 0x7FFF, /*fixChecksum=*/false);
    FilePreview preview = Preview("BIG.BIN");
    EXPECT_TRUE(preview.bytes.empty());
    EXPECT_FALSE(preview.longer);
    EXPECT_TRUE(preview.error.starts_with("damaged stream header")) << preview.error;

    // An encrypted stream: its bytes as they lie, with the save's note.
    PatchStreamHeader(image(), *Item("SMALL.BIN").dataOffset - 22, 6, 1u << 3);
    preview = Preview("SMALL.BIN");
    EXPECT_TRUE(test_support::SameBytes(preview.bytes, Written("SMALL.BIN")));
    EXPECT_EQ(preview.note,
              "the stream is encrypted (algorithm 0x0000); saved as it is on the medium, not decoded");

    // A compressed file whose first frame is damaged: nothing decodes, and the decoder says why.
    PatchStreamHeader(image(), *Item("LONG.LOG").dataOffset, 4, 0x1234, /*fixChecksum=*/false);
    preview = Preview("LONG.LOG");
    EXPECT_TRUE(preview.bytes.empty());
    EXPECT_NE(preview.error.find("compressed frame 1"), std::string::npos) << preview.error;

    // A tape needs drives to open it, and is read alone, as the save reads it.
    SaveRequest tape = request();
    tape.sourceIsTape = true;
    EXPECT_EQ(ReadPreview(Item("BIG.BIN"), tape).error, "no tape devices to open '" + image().string() + "'");
    const tape::TapeDevices devices;
    tape.tapeDevices = &devices;
    tape.laterSources = {image().string()};
    EXPECT_TRUE(
        ReadPreview(Item("BIG.BIN"), tape).error.starts_with("files are saved from one tape at a time"));
}

TEST_F(FilePreviewTest, AFileSpreadOverSeveralMediaIsReadFromThemWithHolesWhereOneIsMissing) {
    mw::MediaDescription spread{.tape = {.mediaFamilyId = 0x5A5A0001}};
    spread.sets.push_back({.info = {.name = "Daily"}, .entries = {Generated("SPREAD.BIN", 100000, true)}});
    mw::MemorySink unspread;
    const std::uint64_t start = *mw::WriteMedia(spread, unspread).files[0].dataOffset;
    std::vector<std::unique_ptr<mw::ImageFileSink>> sinks;
    std::vector<mw::Sink*> pointers;
    for (const char* name : {"0.img", "1.img", "2.img"}) {
        sinks.push_back(std::make_unique<mw::ImageFileSink>(temp.path(name)));
        pointers.push_back(sinks.back().get());
    }
    const mw::Manifest written =
        mw::WriteSpannedMedia(spread, pointers, std::vector<std::uint64_t>{start + 1000, 7000});
    ASSERT_EQ(written.files[0].parts.size(), 3u);
    const std::uint64_t onFirst = written.files[0].parts[0].length,
                        onSecond = written.files[0].parts[1].length;
    const std::vector<std::uint8_t> bytes = Expected(std::get<mw::FileEntry>(spread.sets[0].entries[0]).data);
    auto preview = [&](std::vector<std::string> images) {
        items = CheckedItems(*ScanMedia(std::vector<fs::path>(images.begin(), images.end())));
        SaveRequest request{false, images.front(), ""};
        request.laterSources.assign(images.begin() + 1, images.end());
        return ReadPreview(Item("SPREAD.BIN"), request);
    };
    const std::string first = temp.path("0.img"), second = temp.path("1.img"), third = temp.path("2.img");

    FilePreview all = preview({first, second, third});
    EXPECT_EQ(all.error, "");
    EXPECT_TRUE(all.longer);
    EXPECT_TRUE(test_support::SameBytes(all.bytes, std::span(bytes).first(kPreviewBytes)));

    // Without the middle medium its bytes are zeros, as the save leaves them, and the save's words say why.
    FilePreview holed = preview({first, third});
    std::vector<std::uint8_t> expected(bytes.begin(), bytes.begin() + kPreviewBytes);
    std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>(onFirst), onSecond, 0);
    EXPECT_TRUE(test_support::SameBytes(holed.bytes, expected));
    EXPECT_EQ(holed.error, "bytes " + std::to_string(onFirst) + " to " +
                               std::to_string(onFirst + onSecond - 1) +
                               " are on medium 2 of media family 0x5A5A0001, which was not read");

    // Without the later media: what the first holds, and where the rest is.
    FilePreview cut = preview({first});
    EXPECT_TRUE(test_support::SameBytes(cut.bytes, std::span(bytes).first(onFirst)));
    EXPECT_TRUE(cut.longer);
    EXPECT_EQ(cut.error,
              "the rest of its data is on medium 2 of media family 0x5A5A0001, which was not read, "
              "after " +
                  std::to_string(onFirst) + " of 100000 bytes");
}

// The same media as a tape of 16 KiB records, scanned from the drive.
class TapePreviewTest : public FilePreviewTest {
  protected:
    static constexpr std::uint32_t kBlock = 16384;

    void SetUp() override {
        FilePreviewTest::SetUp();
        manifest = mw::WriteTapFile(media, temp.path("medium.tap"), kBlock);
        ASSERT_TRUE(devices.AttachVirtual(
            0, {.path = temp.path("medium.tap").string(), .beforeRead = [this](std::uint64_t record) {
                    lastRecord = std::max(lastRecord, record);
                    if (record == cancelAt) cancel = true;
                }}));
        found = ScanTapeDrive(devices);
        items = CheckedItems(*found);
    }
    FilePreview TapePreview(std::string_view name) {
        lastRecord = 0;
        progress.clear();
        const SaveRequest tape{true, "//./tape0", "", ExistingFiles::KeepBoth, &devices};
        return ReadPreview(Item(name), tape, cancel,
                           [this](std::uint64_t read) { progress.push_back(read); });
    }
    // The tape record holding the byte `past` bytes after the file's first data byte.
    std::uint64_t RecordOf(std::string_view name, std::uint64_t past) const {
        for (const auto& file : manifest.files)
            if (file.name == name) return (*file.dataOffset + past) / kBlock;
        ADD_FAILURE() << name << " not written";
        return 0;
    }

    mw::Manifest manifest;
    tape::TapeDevices devices;
    std::uint64_t lastRecord = 0;  // the highest data record read
    std::uint64_t cancelAt = std::numeric_limits<std::uint64_t>::max();
    std::atomic<bool> cancel{false};
    std::vector<std::uint64_t> progress;
};

TEST_F(TapePreviewTest, ShowsTheFirstBytesAndReadsTheTapeNoFurtherThanThey) {
    for (const char* name : {"BIG.BIN", "SMALL.BIN", "EMPTY.BIN", "LONG.LOG", "DISK.VHD"}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> written = Written(name);
        const FilePreview preview = TapePreview(name);
        EXPECT_EQ(preview.error, "");
        EXPECT_FALSE(preview.cancelled);
        const std::size_t shown = std::min(written.size(), kPreviewBytes);
        EXPECT_TRUE(test_support::SameBytes(preview.bytes, std::span(written).first(shown)))
            << preview.bytes.size() << " bytes";
        EXPECT_EQ(preview.longer, written.size() > kPreviewBytes);
        ASSERT_FALSE(progress.empty());
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_EQ(progress.back(), (lastRecord + 1) * kBlock) << "every record read, in full";
    }
    // The last record read holds the last byte shown, or, for a file shown whole, the end of its CSUM.
    TapePreview("BIG.BIN");
    EXPECT_EQ(lastRecord, RecordOf("BIG.BIN", kPreviewBytes - 1));
    TapePreview("SMALL.BIN");
    EXPECT_EQ(lastRecord, RecordOf("SMALL.BIN", 3000 + 22 + kChecksumLength - 1));
}

TEST_F(TapePreviewTest, CancelStopsTheReadingAtOnce) {
    cancelAt = 2;
    const FilePreview preview = TapePreview("LONG.LOG");
    EXPECT_TRUE(preview.cancelled);
    EXPECT_EQ(preview.error, "cancelled");
    EXPECT_TRUE(preview.bytes.empty());
    EXPECT_EQ(lastRecord, 2u);
}

}  // namespace
}  // namespace ostrum::save
