// SPDX-License-Identifier: GPL-3.0-or-later
// The medium's own catalog (Type 1: TFDD and TSMP streams of each ESET), written by our MTF writer, read by
// the scan and compared with what the scan found, whole and damaged.

#include "catalog/media_catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "catalog/image_scanner.h"
#include "mtf_writer.h"

namespace ostrum::catalog {
namespace {

namespace mw = mtfwriter;

// Two sets of folders and files, the second compressed.
mw::MediaDescription CataloguedMedia() {
    mw::MediaDescription media{
        .tape = {.logicalBlockSize = 512, .mediaFamilyId = 0xFA3111, .mediaCatalog = true}};
    mw::DataSet daily{.info = {.name = "Daily"}};
    daily.entries.push_back(mw::DirectoryEntry{});
    daily.entries.push_back(mw::FileEntry{.name = "ROOT.TXT", .data = mw::BytesOf("root")});
    for (int folder = 0; folder < 4; ++folder) {
        daily.entries.push_back(mw::DirectoryEntry{.path = {"DOCS", "F" + std::to_string(folder)}});
        for (int i = 0; i < 150; ++i) {
            const std::string name = std::string(1 + (i * 7 + folder) % 23, 'n') + std::to_string(i) + ".txt";
            mw::FileEntry file{.name = name, .data = mw::BytesOf(name)};
            daily.entries.emplace_back(std::move(file));
        }
    }
    mw::DataSet weekly{.info = {.name = "Weekly", .compressed = true}};
    weekly.entries = {mw::DirectoryEntry{.path = {"apps"}},
                      mw::FileEntry{.name = "a.bin", .data = mw::GeneratedData{.size = 3000, .seed = 1}},
                      mw::FileEntry{.name = "b.bin", .data = mw::GeneratedData{.size = 70000, .seed = 2}}};
    media.sets = {daily, weekly};
    return media;
}

std::string PathOf(const mw::Manifest& manifest, const mw::ManifestFile& file) {
    std::string path = "TAPE MEDIA\\BACKUP SET " + std::to_string(file.setNumber) + "(_" +
                       manifest.sets[file.setNumber - 1].name + ")\\";
    if (!file.directory.empty()) path += file.directory + "\\";
    return path + file.name;
}

class MediaCatalogTest : public ::testing::Test {
  protected:
    void SetUp() override { manifest = mw::WriteMedia(media, sink); }
    void Scan() {
        found = std::make_unique<Catalog>(std::make_shared<ExtensionFileInfo>());
        common::MemoryImage image(sink.bytes);
        CatalogSink quiet;
        std::atomic<bool> active{true};
        ScanImageFile(image, *found, quiet, active);
    }
    void Zero(std::uint64_t offset, std::size_t count) { std::memset(sink.bytes.data() + offset, 0, count); }

    mw::MediaDescription media = CataloguedMedia();
    mw::MemorySink sink;
    mw::Manifest manifest;
    std::unique_ptr<Catalog> found;
};

TEST_F(MediaCatalogTest, EverySetsDetailAndTheSetMapAreReadAndNameEveryFileTheScanFound) {
    Scan();
    EXPECT_EQ(found->rowCount(), manifest.files.size()) << "no catalog record is taken for a block";
    const MediaCatalog& media = found->mediaCatalog();
    EXPECT_TRUE(media.problems().empty()) << media.problems().front();
    ASSERT_TRUE(media.setMap().has_value());
    EXPECT_EQ(media.setMap()->mediaFamilyId, 0xFA3111u);
    const auto sets = media.Sets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].entry->name, "_Daily");
    EXPECT_EQ(sets[0].entry->files, 601u);
    EXPECT_EQ(sets[0].entry->directories, 5u);
    EXPECT_EQ(sets[1].entry->name, "_Weekly");
    EXPECT_EQ(sets[1].entry->size, 73000u) << "the files' own sizes, not their compressed streams'";
    ASSERT_NE(sets[1].fdd, nullptr);
    const auto& weekly = sets[1].fdd->records;
    ASSERT_EQ(weekly.size(), 4u);
    EXPECT_EQ(weekly[0].kind, FddRecord::Kind::Volume);
    EXPECT_EQ(weekly[0].name, "C:");
    EXPECT_EQ(weekly[1].name, "\\apps\\");
    EXPECT_EQ(weekly[3].name, "b.bin");
    EXPECT_EQ(weekly[3].size, 70000u);
    EXPECT_TRUE(sets[1].fdd->ended);

    const CatalogComparison comparison = CompareWithScan(*found);
    EXPECT_EQ(comparison.filesNamed, manifest.files.size());
    EXPECT_TRUE(comparison.missing.empty()) << comparison.missing.front();
    EXPECT_EQ(comparison.notCompared, 0u);
    EXPECT_TRUE(comparison.setsUnscanned.empty());
}

// A DIRB record whose type tag begins a slot, and whose bytes read as a DIRB block name a folder EVIL: the
// record starts 2 bytes before a slot (the detail starts 110 bytes into the ESET's slot; VOLB, root and
// FILE records of 80, 72 and 248 bytes come first), and its name's units 7 and 8, read as the block's
// Directory Name field, point at units 19 to 23 ("EVIL" and its NUL).
TEST(MediaCatalogSlots, CatalogRecordWhoseTagBeginsASlotIsNotTakenForABlock) {
    std::u16string units(7, u'X');
    units += {char16_t{10}, char16_t{104}};
    units += std::u16string(10, u'Y') + u"EVIL" + std::u16string(1, u'\0');
    mw::MediaDescription media{.tape = {.logicalBlockSize = 512, .mediaCatalog = true}};
    media.sets.push_back({.info = {.name = "S", .deviceName = "C:", .machineName = "OSTRUM"},
                          .entries = {mw::DirectoryEntry{},
                                      mw::FileEntry{.name = std::string(90, 'a'), .data = mw::BytesOf("a")},
                                      mw::DirectoryEntry{.rawName = units}}});
    mw::MemorySink sink;
    const mw::Manifest manifest = mw::WriteMedia(media, sink);
    const std::uint64_t tag = manifest.sets[0].fddOffset + 80 + 72 + 248 + 2;
    ASSERT_EQ(tag % 512, 0u);
    ASSERT_EQ(std::memcmp(sink.bytes.data() + tag, "DIRB", 4), 0);

    // The deep scan, which examines every tag it finds at any offset, passes over the catalog's bytes too.
    for (const bool deep : {false, true}) {
        SCOPED_TRACE(deep ? "deep scan" : "scan");
        Catalog found(std::make_shared<ExtensionFileInfo>());
        common::MemoryImage image(sink.bytes);
        CatalogSink quiet;
        std::atomic<bool> active{true};
        ScanImageFile(image, found, quiet, active, nullptr, {.deep = deep});
        for (NodeId id = 0; id < found.nodeCount(); ++id) EXPECT_NE(found.node(id).text, "EVIL");
        EXPECT_EQ(found.rowCount(), 1u);
    }
}

TEST_F(MediaCatalogTest, ComparisonNamesExactlyTheFilesWhoseBlocksDamageRemoved) {
    // Three files of the first set and one of the second lose their FILE block; the second set also loses
    // its SSET block, so that its files are catalogued under the first set's label.
    const std::vector<std::size_t> removed = {1, 300, 600, 602};
    for (std::size_t index : removed) Zero(manifest.files[index].fileBlockOffset, 512);
    Zero(manifest.sets[1].ssetOffset, 512);
    Scan();
    const CatalogComparison comparison = CompareWithScan(*found);
    std::vector<std::string> expected;
    for (std::size_t index : removed) expected.push_back(PathOf(manifest, manifest.files[index]));
    EXPECT_EQ(comparison.missing, expected);
    EXPECT_EQ(comparison.filesNamed, manifest.files.size());
    EXPECT_EQ(comparison.setsUnscanned, std::vector<std::uint16_t>{2});
}

TEST_F(MediaCatalogTest, DamagedDetailKeepsWhatPrecedesTheDamageAndCutStreamsNeverReadPastTheirData) {
    const auto& set = manifest.sets[0];
    const std::span<const std::uint8_t> fdd(sink.bytes.data() + set.fddOffset, set.fddLength);
    const std::span<const std::uint8_t> map(sink.bytes.data() + set.setMapOffset, set.setMapLength);
    const Fdd whole = ParseFdd(fdd);
    ASSERT_TRUE(whole.ended);
    for (std::size_t cut = 0; cut < fdd.size(); cut += 37) {
        const Fdd part = ParseFdd(fdd.first(cut));
        EXPECT_FALSE(part.ended);
        EXPECT_FALSE(part.problem.empty());
        EXPECT_LE(part.records.size(), whole.records.size());
    }
    for (std::size_t cut = 0; cut < map.size(); ++cut)
        EXPECT_FALSE(ParseSetMap(map.first(cut)).problem.empty());

    // A record whose length runs past the detail ends it there, with the records before it kept.
    const std::size_t firstLength = fdd[0] | (fdd[1] << 8);
    Zero(set.fddOffset + firstLength, 2);
    Scan();
    const auto sets = found->mediaCatalog().Sets();
    ASSERT_NE(sets[0].fdd, nullptr);
    EXPECT_EQ(sets[0].fdd->records.size(), 1u);
    EXPECT_NE(sets[0].fdd->problem.find("length of 0"), std::string::npos) << sets[0].fdd->problem;
    ASSERT_EQ(found->mediaCatalog().problems().size(), 1u);
    EXPECT_EQ(found->rowCount(), manifest.files.size());
}

}  // namespace
}  // namespace ostrum::catalog
