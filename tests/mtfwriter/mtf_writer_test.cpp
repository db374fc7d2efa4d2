// SPDX-License-Identifier: GPL-3.0-or-later
// The writer's blocks, streams and manifest, checked by walking the written chain independently.
#include "mtf_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include "chain_walker.h"
#include "lzs_reference_decoder.h"
#include "test_media.h"

namespace ostrum::mtfwriter::testing {
namespace {

TEST(MtfDate, EncodesTheFormatsExampleAndEveryField) {
    const auto encoded = EncodeMtfDate({1996, 12, 31, 20, 7, 30});
    EXPECT_EQ(std::vector<std::uint8_t>(encoded.begin(), encoded.end()),
              (std::vector<std::uint8_t>{0x1F, 0x33, 0x3F, 0x41, 0xDE}));
    const MtfDate odd{16383, 1, 2, 3, 4, 59};
    const auto bytes = EncodeMtfDate(odd);
    EXPECT_EQ(DecodeDate(bytes), (DecodedDate{16383, 1, 2, 3, 4, 59}));
    const auto unknown = EncodeMtfDate({});
    EXPECT_EQ(std::vector<std::uint8_t>(unknown.begin(), unknown.end()), std::vector<std::uint8_t>(5, 0));
    EXPECT_THROW(EncodeMtfDate({16384, 1, 1, 0, 0, 0}), std::invalid_argument);
    EXPECT_THROW(EncodeMtfDate({2000, 1, 1, 0, 64, 0}), std::invalid_argument);
    EXPECT_EQ(MtfDateFromUnixTime(851976450), (MtfDate{1996, 12, 30, 20, 7, 30}));
}

TEST(Names, Utf8ConvertsAndRawUnitsStayAsGiven) {
    EXPECT_EQ(Name("Résumé – Привет 日本").units, u"Résumé – Привет 日本");
    EXPECT_EQ(Name("\xF0\x9F\x98\x80").units, std::u16string({0xD83D, 0xDE00}));
    EXPECT_THROW(Name("\xC3"), std::invalid_argument);
    EXPECT_THROW(Name("\xED\xA0\x80"), std::invalid_argument);  // an encoded surrogate
    const Name hostile = Name::Raw({u'a', 0xD800, u'/', 0, u'b'});
    EXPECT_EQ(hostile.units.size(), 5u);
    EXPECT_EQ(hostile.text(), std::string("a\xEF\xBF\xBD/") + '\0' + "b");
}

TEST(GeneratedData, IsAddressableByPosition) {
    std::vector<std::uint8_t> whole(300), part(123);
    FillGenerated(42, 0, whole);
    FillGenerated(42, 77, part);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + 77));
    std::vector<std::uint8_t> other(300);
    FillGenerated(43, 0, other);
    EXPECT_NE(whole, other);
}

// Image layouts: logical block size, physical block size, soft filemarks.
class WriterLayout : public ::testing::TestWithParam<std::tuple<std::uint16_t, std::uint32_t, bool>> {};

TEST_P(WriterLayout, ChainWalksCleanlyAndAgreesWithTheManifest) {
    const auto [lbs, pbs, soft] = GetParam();
    const MediaDescription media = MixedMedia(lbs, true);
    MemorySink sink;
    const Manifest manifest = WriteMedia(media, sink, {.physicalBlockSize = pbs, .softFilemarks = soft});
    const auto& image = sink.bytes;

    const Walk walk = WalkImage(image, pbs);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    EXPECT_EQ(walk.logicalBlockSize, lbs);
    EXPECT_EQ(walk.softFilemarks, soft);
    EXPECT_EQ(manifest.imageSize, image.size());
    EXPECT_TRUE(sink.finished);
    EXPECT_EQ(walk.filemarks, manifest.filemarks);
    if (!soft) {
        EXPECT_EQ(sink.filemarks, manifest.filemarks);
    }
    ASSERT_EQ(manifest.filemarks.size(), 1u + 2 * 2 + 2);

    std::vector<std::string> types;
    for (const auto& b : walk.blocks) types.push_back(b.type);
    EXPECT_EQ(types, (std::vector<std::string>{"TAPE", "SSET", "VOLB", "DIRB", "FILE", "FILE", "DIRB",
                                               "FILE", "FILE", "FILE", "FILE", "ESET", "SSET", "VOLB",
                                               "DIRB", "FILE", "FILE", "FILE", "ESET", "EOTM"}));

    const auto files = walk.ofType("FILE");
    ASSERT_EQ(files.size(), manifest.files.size());
    ASSERT_EQ(manifest.fileCount, files.size());
    std::size_t fileIndex = 0;
    for (const auto& set : media.sets) {
        for (const auto& entry : set.entries) {
            const auto* file = std::get_if<FileEntry>(&entry);
            if (!file) continue;
            const ManifestFile& m = manifest.files[fileIndex];
            const WalkedBlock& b = *files[fileIndex++];
            SCOPED_TRACE(m.name);
            EXPECT_EQ(m.fileBlockOffset, b.offset);
            EXPECT_EQ(b.name, file->name.units);
            EXPECT_EQ(m.nameUnits, file->name.units);
            const WalkedStream* stan = b.stream("STAN");
            ASSERT_NE(stan, nullptr);
            ASSERT_TRUE(m.dataOffset.has_value());
            EXPECT_EQ(*m.dataOffset, stan->dataOffset());
            EXPECT_EQ(m.declaredLength, stan->length);
            EXPECT_EQ(m.dataLength, stan->length);
            EXPECT_EQ(b.displayableSize, DataSize(file->data));
            const auto stored = Slice(image, stan->dataOffset(), stan->length);
            if (m.compressed) {
                EXPECT_EQ(stan->mediaFormatAttributes & 0x10, 0x10);
                EXPECT_EQ(stan->compressionAlgorithm, 0x0ABE);
                EXPECT_EQ(b.attributes & 0x4, 0x4u);
                const Decoded d = DecodeFrames(stored);
                ASSERT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(d))
                    << std::get<DecodeError>(d).what;
                EXPECT_EQ(std::get<std::vector<std::uint8_t>>(d), ExpectedBytes(file->data));
            } else {
                EXPECT_EQ(stored, ExpectedBytes(file->data));
                EXPECT_EQ(stan->compressionAlgorithm, 0);
            }
            EXPECT_EQ(b.stream("CSUM") != nullptr, file->csum);
            EXPECT_EQ((stan->mediaFormatAttributes & 0x20) != 0, file->csum);
            const WalkedStream* nacl = b.stream("NACL");
            EXPECT_EQ(nacl != nullptr, file->naclBytes > 0);
            if (nacl) {
                EXPECT_EQ(nacl->length, file->naclBytes);
                EXPECT_EQ(nacl->fileSystemAttributes & 0x2, 0x2);
                EXPECT_LT(nacl->headerOffset, stan->headerOffset);
                EXPECT_GT(stan->headerOffset - b.offset, 512u)
                    << "the security stream pushes STAN past 512 bytes";
            }
            const auto mtime = DecodeDate(Slice(image, b.offset + 56, 5));
            EXPECT_EQ(mtime, (DecodedDate{file->mtime.year, file->mtime.month, file->mtime.day,
                                          file->mtime.hour, file->mtime.minute, file->mtime.second}));
        }
    }

    const auto dirs = walk.ofType("DIRB");
    ASSERT_EQ(dirs.size(), manifest.directories.size());
    EXPECT_EQ(dirs[0]->name, std::u16string(1, u'\0'));
    EXPECT_EQ(dirs[1]->name, std::u16string(u"DOCS\0LETTERS\0", 13));
    EXPECT_EQ(dirs[2]->name, std::u16string(u"apps\0fred\0", 10));
    EXPECT_EQ(manifest.directories[1].path, "DOCS\\LETTERS");
    EXPECT_EQ(manifest.directories[1].blockOffset, dirs[1]->offset);
    EXPECT_EQ(manifest.files[0].directory, "");
    EXPECT_EQ(manifest.files[2].directory, "DOCS\\LETTERS");
    EXPECT_EQ(manifest.files[2].directoryName, std::u16string(u"DOCS\0LETTERS\0", 13));
    EXPECT_EQ(manifest.files[6].setNumber, 2u);
    EXPECT_EQ(manifest.files[6].directory, "apps\\fred");

    const auto ssets = walk.ofType("SSET");
    ASSERT_EQ(ssets.size(), 2u);
    EXPECT_EQ(ssets[0]->name, u"Daily");
    EXPECT_EQ(manifest.sets[1].ssetOffset, ssets[1]->offset);
    EXPECT_EQ(manifest.sets[1].esetOffset, walk.ofType("ESET")[1]->offset);
}

INSTANTIATE_TEST_SUITE_P(Layouts, WriterLayout,
                         ::testing::Values(std::make_tuple(std::uint16_t{512}, 512u, false),
                                           std::make_tuple(std::uint16_t{1024}, 512u, false),
                                           std::make_tuple(std::uint16_t{1024}, 512u, true),
                                           std::make_tuple(std::uint16_t{512}, 4096u, true),
                                           std::make_tuple(std::uint16_t{1024}, 1536u, false),
                                           std::make_tuple(std::uint16_t{512}, 65536u, false)));

// The fields a chain walker does not need, read at their offsets.
TEST(WriterFields, TapeSetAndEndBlocksCarryTheirFields) {
    MediaDescription media = MixedMedia(1024, true);
    media.tape.mediaFamilyId = 0x12345678;
    MemorySink sink;
    const Manifest manifest = WriteMedia(media, sink, {.physicalBlockSize = 512, .softFilemarks = true});
    const auto& img = sink.bytes;
    const Walk walk = WalkImage(img, 512);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();

    EXPECT_EQ(ReadU32(img, 52), 0x12345678u);  // media family id
    EXPECT_EQ(ReadU32(img, 56) & 1, 1u);       // soft filemarks
    EXPECT_EQ(ReadU16(img, 60), 1);            // media sequence number
    EXPECT_EQ(ReadU16(img, 64), 1);            // soft filemark block size, 512-byte units
    EXPECT_EQ(ReadU16(img, 84), 1024);         // logical block size
    EXPECT_EQ(img[93], 1);                     // MTF major version
    EXPECT_EQ(DecodeDate(Slice(img, 88, 5)), (DecodedDate{2024, 3, 5, 10, 20, 30}));

    // A 512-byte soft filemark follows the TAPE block's 1024 bytes; the SSET sits at 0x600, the next at
    // 0xA00.
    EXPECT_EQ(manifest.filemarks[0], 0x400u);
    const auto ssets = walk.ofType("SSET");
    EXPECT_EQ(ssets[0]->offset, 0x600u);
    EXPECT_EQ(walk.blocks[2].offset, 0xA00u);
    const std::uint64_t sset2 = ssets[1]->offset;
    EXPECT_EQ(ReadU16(img, sset2 + 62), 2);       // data set number
    EXPECT_EQ(ReadU16(img, sset2 + 58), 0x0ABE);  // software compression algorithm
    EXPECT_EQ(ReadU16(img, ssets[0]->offset + 58), 0);
    EXPECT_EQ(ReadU32(img, ssets[0]->offset + 52), 4u);  // normal backup
    EXPECT_EQ(ReadU64(img, sset2 + 80), sset2);          // physical block address: bytes, as on disk files
    EXPECT_EQ(ssets[1]->attributes & 4, 4u);
    EXPECT_EQ(ssets[0]->attributes & 4, 0u);

    const auto esets = walk.ofType("ESET");
    EXPECT_EQ(ReadU16(img, esets[1]->offset + 78), 2);
    EXPECT_EQ(esets[1]->attributes & 4, 4u);
    const auto eotm = walk.ofType("EOTM");
    ASSERT_EQ(eotm.size(), 1u);
    EXPECT_EQ(ReadU64(img, eotm[0]->offset + 52), esets[1]->offset);

    // Each SFMB lists the earlier filemarks, newest first.
    const std::uint64_t lastMark = manifest.filemarks.back();
    EXPECT_EQ(ReadU32(img, lastMark + 56), manifest.filemarks.size() - 1);
    EXPECT_EQ(ReadU32(img, lastMark + 60), 72u);
    EXPECT_EQ(ReadU64(img, lastMark + 72), manifest.filemarks[manifest.filemarks.size() - 2]);
    EXPECT_EQ(ReadU64(img, lastMark + 72 + 8 * (manifest.filemarks.size() - 2)), manifest.filemarks[0]);
}

TEST(WriterFields, HardFilemarkMediaCountPhysicalBlocks) {
    MemorySink sink;
    WriteMedia(MixedMedia(512, false), sink, {.physicalBlockSize = 4096});
    const Walk walk = WalkImage(sink.bytes, 4096);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    const auto ssets = walk.ofType("SSET");
    EXPECT_EQ(ssets[0]->offset, 4096u);  // the TAPE block is padded to the physical block before its filemark
    EXPECT_EQ(ReadU64(sink.bytes, ssets[1]->offset + 80), ssets[1]->offset / 4096);
    EXPECT_EQ(ReadU32(sink.bytes, 56) & 1, 0u);
}

TEST(WriterHostileNames, RawUnitsAreWrittenExactly) {
    const std::u16string dotdot = u"..";
    const std::u16string slashAndNul = std::u16string(u"a/b\0c.txt", 9);
    const std::u16string lone = {u'x', 0xDC00, u'.', u't', u'x', u't'};
    MediaDescription media{.tape = {.logicalBlockSize = 512}};
    media.sets.push_back({.info = {.name = "hostile"},
                          .entries = {DirectoryEntry{.path = {Name::Raw(dotdot), Name::Raw(dotdot), "etc"}},
                                      FileEntry{.name = Name::Raw(slashAndNul), .data = BytesOf("1")},
                                      FileEntry{.name = Name::Raw(lone), .data = BytesOf("2")},
                                      DirectoryEntry{.rawName = std::u16string(1, u'\0')},
                                      FileEntry{.name = "Ça_été_Привет_日本.txt", .data = BytesOf("3")},
                                      DirectoryEntry{.rawName = u"NOTERMINATOR"}}});
    MemorySink sink;
    const Manifest manifest = WriteMedia(media, sink);
    const Walk walk = WalkImage(sink.bytes, 512);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    const auto dirs = walk.ofType("DIRB");
    EXPECT_EQ(dirs[0]->name, std::u16string(u"..\0..\0etc\0", 10));
    EXPECT_EQ(dirs[1]->name, std::u16string(1, u'\0'));
    EXPECT_EQ(dirs[2]->name, u"NOTERMINATOR");
    const auto files = walk.ofType("FILE");
    EXPECT_EQ(files[0]->name, slashAndNul);
    EXPECT_EQ(files[1]->name, lone);
    EXPECT_EQ(files[2]->name, u"Ça_été_Привет_日本.txt");
    EXPECT_EQ(manifest.files[0].directory, "..\\..\\etc");
    EXPECT_EQ(manifest.files[1].name, "x\xEF\xBF\xBD.txt");
    EXPECT_EQ(manifest.files[2].directory, "");
}

TEST(WriterLongNames, NamesTooLongForTheBlockGoIntoNameStreams) {
    const std::string longName(300, 'n');
    MediaDescription media{.tape = {.logicalBlockSize = 512}};
    media.sets.push_back({.info = {.name = "long"},
                          .entries = {DirectoryEntry{.path = {longName}},
                                      FileEntry{.name = longName + ".txt", .data = BytesOf("data")}}});
    MemorySink sink;
    const Manifest manifest = WriteMedia(media, sink);
    const Walk walk = WalkImage(sink.bytes, 512);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    const WalkedBlock& dirb = *walk.ofType("DIRB")[0];
    const WalkedBlock& file = *walk.ofType("FILE")[0];
    EXPECT_EQ(ReadU32(sink.bytes, dirb.offset + 52), 1u << 17);  // DIRB attributes: path in stream
    EXPECT_EQ(ReadU32(sink.bytes, file.offset + 52), 1u << 17);  // FILE attributes: name in stream
    EXPECT_EQ(ReadU16(sink.bytes, dirb.offset + 80), 0);
    EXPECT_EQ(ReadU16(sink.bytes, file.offset + 84), 0);
    ASSERT_NE(dirb.stream("PNAM"), nullptr);
    ASSERT_NE(file.stream("FNAM"), nullptr);
    EXPECT_EQ(dirb.name, Utf8ToUtf16(longName) + u'\0');
    EXPECT_EQ(file.name, Utf8ToUtf16(longName + ".txt"));
    EXPECT_EQ(*manifest.files[0].dataOffset, file.stream("STAN")->dataOffset());

    // With 1024-byte blocks the same 300-character path fits in the DIRB itself.
    media.tape.logicalBlockSize = 1024;
    MemorySink big;
    WriteMedia(media, big);
    const Walk bigWalk = WalkImage(big.bytes, 512);
    ASSERT_TRUE(bigWalk.errors.empty()) << bigWalk.errors.front();
    EXPECT_EQ(ReadU16(big.bytes, bigWalk.ofType("DIRB")[0]->offset + 80), 602);
    EXPECT_EQ(bigWalk.ofType("DIRB")[0]->stream("PNAM"), nullptr);
}

TEST(WriterLyingHeaders, DeclaredLengthDiffersFromTheBytesWritten) {
    constexpr std::uint64_t kFiveGiB = 5ull << 30;
    MediaDescription media{.tape = {.logicalBlockSize = 512}};
    media.sets.push_back(
        {.info = {.name = "lies"},
         .entries = {FileEntry{.name = "HUGE.BIN", .data = BytesOf("abc"), .declaredLength = kFiveGiB},
                     FileEntry{.name = "SHORT.BIN", .data = BytesOf("0123456789"), .declaredLength = 4},
                     FileEntry{.name = "NODATA.TXT", .data = BytesOf("never"), .noStan = true},
                     FileEntry{.name = "AFTER.TXT", .data = BytesOf("after")}}});
    MemorySink sink;
    const Manifest m = WriteMedia(media, sink);
    const auto& img = sink.bytes;
    ASSERT_EQ(m.files.size(), 4u);

    const ManifestFile& huge = m.files[0];
    EXPECT_EQ(huge.declaredLength, kFiveGiB);
    EXPECT_EQ(huge.dataLength, 3u);
    EXPECT_EQ(Slice(img, *huge.dataOffset - 22, 4), BytesOf("STAN"));
    EXPECT_EQ(ReadU64(img, *huge.dataOffset - 22 + 8), kFiveGiB);
    EXPECT_EQ(Slice(img, *huge.dataOffset, 3), BytesOf("abc"));
    EXPECT_EQ(ReadU64(img, huge.fileBlockOffset + 12), kFiveGiB);  // displayable size
    EXPECT_EQ(m.files[1].fileBlockOffset, huge.fileBlockOffset + 512);

    EXPECT_EQ(ReadU64(img, *m.files[1].dataOffset - 22 + 8), 4u);
    EXPECT_EQ(Slice(img, *m.files[1].dataOffset, 10), BytesOf("0123456789"));

    EXPECT_FALSE(m.files[2].dataOffset.has_value());
    const auto noData = Slice(img, m.files[2].fileBlockOffset, 512);
    EXPECT_EQ(std::search(noData.begin(), noData.end(), std::begin("STAN"), std::end("STAN") - 1),
              noData.end());
    EXPECT_EQ(Slice(img, *m.files[3].dataOffset, 5), BytesOf("after"));
    EXPECT_EQ(Slice(img, m.imageSize - 512, 4), BytesOf("EOTM"));
}

TEST(WriterSparse, RunsFollowAnEmptySparseStanInSparStreamsOfEitherFraming) {
    MediaDescription media{.tape = {.logicalBlockSize = 512}};
    const std::vector<SparseExtent> runs = {{3, 5}, {70000, 600}};
    media.sets.push_back(
        {.info = {.name = "holes", .compressed = true},
         .entries = {
             FileEntry{.name = "A.VHD", .data = GeneratedData{.size = 100000, .seed = 5}, .sparse = runs},
             FileEntry{.name = "B.VHD",
                       .data = GeneratedData{.size = 70600, .seed = 6},
                       .sparse = runs,
                       .sparseFrame = SparseFrame::OffsetOnly}}});
    MemorySink sink;
    const Manifest m = WriteMedia(media, sink);
    const Walk walk = WalkImage(sink.bytes, 512);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    const auto files = walk.ofType("FILE");
    ASSERT_EQ(files.size(), 2u);
    for (std::size_t f = 0; f < 2; ++f) {
        SCOPED_TRACE(f);
        const auto data = ExpectedBytes(std::get<FileEntry>(media.sets[0].entries[f]).data);
        const std::uint64_t frame = f == 0 ? 16 : 8;
        EXPECT_EQ(files[f]->displayableSize, data.size());
        EXPECT_TRUE(m.files[f].sparse);
        EXPECT_FALSE(m.files[f].compressed);
        const auto& streams = files[f]->streams;
        ASSERT_GE(streams.size(), 3u);
        EXPECT_EQ(streams[0].id, "STAN");
        EXPECT_EQ(streams[0].length, 0u);
        EXPECT_EQ(streams[0].fileSystemAttributes & 0x8, 0x8);
        EXPECT_EQ(streams[0].mediaFormatAttributes & 0x10, 0);
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const WalkedStream& spar = streams[1 + r];
            EXPECT_EQ(spar.id, "SPAR");
            EXPECT_EQ(spar.length, frame + runs[r].length);
            EXPECT_EQ(ReadU64(sink.bytes, spar.dataOffset()), runs[r].offset);
            if (frame == 16) {
                EXPECT_EQ(ReadU64(sink.bytes, spar.dataOffset() + 8), runs[r].length);
            }
            EXPECT_EQ(Slice(sink.bytes, spar.dataOffset() + frame, runs[r].length),
                      Slice(data, runs[r].offset, runs[r].length));
        }
    }
    media.sets[0].entries = {
        FileEntry{.name = "BAD.VHD", .data = BytesOf("abcdef"), .sparse = {{{4, 1}, {2, 1}}}}};
    MemorySink rejected;
    EXPECT_THROW(WriteMedia(media, rejected), MediaError) << "runs out of order";
}

TEST(WriterSpanning, AMediumEndedInsideAFileGoesOnWithTheSetsBlocksFlaggedAsContinued) {
    MediaDescription media{.tape = {.logicalBlockSize = 512, .mediaFamilyId = 0x1234}};
    media.sets.push_back(
        {.info = {.name = "S"},
         .entries = {DirectoryEntry{.path = {"D"}},
                     FileEntry{.name = "BIG", .data = GeneratedData{.size = 10000, .seed = 8}}}});
    MemorySink first, second;
    std::vector<Sink*> sinks{&first, &second};
    const Manifest m = WriteSpannedMedia(media, sinks, std::vector<std::uint64_t>{3000});
    ASSERT_EQ(m.mediumSizes, (std::vector<std::uint64_t>{first.bytes.size(), second.bytes.size()}));
    const ManifestFile& big = m.files[0];
    ASSERT_EQ(big.parts.size(), 2u);
    // The first medium ends at the first logical block boundary from 3000, with an EOTM.
    EXPECT_EQ(big.parts[0].offset + big.parts[0].length, 3072u);
    EXPECT_EQ(Slice(first.bytes, 3072, 4), BytesOf("EOTM"));
    EXPECT_EQ(ReadU32(first.bytes, 3072 + 4) & 0x10000u, 0x10000u) << "no ESET on the medium to point at";

    // The second: TAPE (same family, sequence 2), then SSET, VOLB, DIRB and FILE again, continued.
    EXPECT_EQ(Slice(second.bytes, 0, 4), BytesOf("TAPE"));
    EXPECT_EQ(ReadU32(second.bytes, 52), 0x1234u);
    EXPECT_EQ(ReadU16(second.bytes, 60), 2u);
    std::vector<std::string> continued;
    for (std::uint64_t at = 512; at + 512 <= big.parts[1].offset; at += 512) {
        if (ReadU16(second.bytes, at + 50) != XorOfWords(second.bytes, at, 25)) continue;
        EXPECT_EQ(ReadU32(second.bytes, at + 4) & 1u, 1u) << "continuation bit at " << at;
        continued.emplace_back(second.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                               second.bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
    }
    EXPECT_EQ(continued, (std::vector<std::string>{"SSET", "VOLB", "DIRB", "FILE"}));
    // The FILE's STAN gives the bytes still to come; they start at the next logical block.
    const std::uint64_t file = 512 * 4;
    const std::uint64_t stan = file + ReadU16(second.bytes, file + 8);
    EXPECT_EQ(Slice(second.bytes, stan, 4), BytesOf("STAN"));
    EXPECT_EQ(ReadU16(second.bytes, stan + 6) & 1u, 1u);
    EXPECT_EQ(ReadU64(second.bytes, stan + 8), 10000u - big.parts[0].length);
    EXPECT_EQ(big.parts[1].offset, file + 512);
    std::vector<std::uint8_t> joined = Slice(first.bytes, big.parts[0].offset, big.parts[0].length);
    const auto rest = Slice(second.bytes, big.parts[1].offset, big.parts[1].length);
    joined.insert(joined.end(), rest.begin(), rest.end());
    EXPECT_EQ(joined, ExpectedBytes(std::get<FileEntry>(media.sets[0].entries[1]).data));

    MemorySink unused[3];
    std::vector<Sink*> three{&unused[0], &unused[1], &unused[2]};
    EXPECT_THROW(WriteSpannedMedia(media, three, std::vector<std::uint64_t>{3000, 1u << 30}), MediaError)
        << "the backup ends before the third medium begins";
}

TEST(WriterStreaming, HugeGeneratedFilesAreStreamedNotHeld) {
#ifdef NDEBUG
    constexpr std::uint64_t kSize = 5ull << 30;  // 5 GiB
#else
    constexpr std::uint64_t kSize = 600ull
                                    << 20;  // unoptimised (sanitizer) builds: enough to exceed memory habits
#endif
    MediaDescription media{.tape = {.logicalBlockSize = 1024}};
    media.sets.push_back(
        {.info = {.name = "big"},
         .entries = {
             FileEntry{.name = "BIG.BIN", .data = GeneratedData{.size = kSize, .seed = 9}, .csum = true}}});
    CountingSink sink;
    const Manifest m = WriteMedia(media, sink, {.physicalBlockSize = 65536});
    EXPECT_EQ(sink.byteCount, m.imageSize);
    EXPECT_EQ(m.files[0].dataLength, kSize);
    EXPECT_EQ(m.files[0].declaredLength, kSize);
    EXPECT_GT(m.imageSize, kSize);
    EXPECT_LE(sink.largestWrite, 1u << 20) << "data must reach the sink in bounded pieces";
    EXPECT_EQ(sink.filemarkCount, m.filemarks.size());
    EXPECT_EQ(m.imageSize % 65536, 0u);
}

TEST(WriterLayoutEdges, AMediumWithoutSetsIsTapeAndEotm) {
    MemorySink sink;
    const Manifest m = WriteMedia({.tape = {.logicalBlockSize = 512}}, sink);
    const Walk walk = WalkImage(sink.bytes, 512);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    ASSERT_EQ(walk.blocks.size(), 2u);
    EXPECT_EQ(walk.blocks[1].type, "EOTM");
    EXPECT_EQ(ReadU64(sink.bytes, walk.blocks[1].offset + 52), 0u) << "no ESET to point at";
    EXPECT_EQ(m.filemarks, (std::vector<std::uint64_t>{512, 512, 1024}));
    EXPECT_EQ(m.imageSize, 1024u);
}

TEST(WriterMisuse, RejectsBadOptionsAndCallsOutOfOrder) {
    MemorySink sink;
    EXPECT_THROW(MediaWriter(sink, {.logicalBlockSize = 2048}), MediaError);
    EXPECT_THROW(MediaWriter(sink, {}, {.physicalBlockSize = 1000}), MediaError);
    EXPECT_THROW(MediaWriter(sink, {}, {.physicalBlockSize = 65536, .softFilemarks = true}), MediaError);
    MemorySink out;
    TapSink tap(out, 4096);
    EXPECT_THROW(MediaWriter(tap, {}, {.physicalBlockSize = 512}), MediaError);

    MemorySink ok;
    MediaWriter writer(ok, {});
    EXPECT_THROW(writer.AddFile({.name = "A"}), MediaError);
    EXPECT_THROW(writer.EndSet(), MediaError);
    writer.BeginSet({.name = "s"});
    EXPECT_THROW(writer.BeginSet({.name = "t"}), MediaError);
    EXPECT_THROW(writer.Finish(), MediaError);

    MemorySink other;
    MediaWriter longNames(other, {});
    EXPECT_THROW(longNames.BeginSet({.name = std::string(600, 'x')}), MediaError)
        << "a set name cannot move into a stream, so it must fit in the SSET block";
}

}  // namespace
}  // namespace ostrum::mtfwriter::testing
