// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/scan_context.h"

#include <gtest/gtest.h>

#include "block_fixture.h"
#include "catalog/mtf_layout.h"

namespace ostrum::catalog {
namespace {

using namespace testing;

class RecordingSink : public CatalogSink {
  public:
    void StatusLine(std::string_view text) override { statuses.emplace_back(text); }
    std::vector<std::string> statuses;
};

// Runs the handlers over a buffer of slots as one chunk positioned at `position`.
class HandlerTest : public ::testing::Test {
  protected:
    HandlerTest() : bytes(8 * 512, 0) {}

    void Scan(std::uint64_t position = 0, std::optional<std::uint64_t> chunkIndex = std::nullopt) {
        const ChunkView chunk(bytes, position, chunkIndex);
        for (std::size_t slot = 0; slot + 512 <= bytes.size(); slot += 512) ExamineSlot(context, chunk, slot);
    }
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < catalog.rowCount(); ++i) paths.push_back(catalog.row(i).path().str());
        return paths;
    }
    std::vector<std::string> Nodes() const {
        std::vector<std::string> nodes;
        for (NodeId id : catalog.PreOrder()) nodes.push_back(catalog.FullPath(id));
        return nodes;
    }

    std::vector<std::uint8_t> bytes;
    Catalog catalog{std::make_shared<ExtensionFileInfo>()};
    RecordingSink sink;
    ScanContext context{catalog, sink};
};

TEST_F(HandlerTest, SetLabelsNumberSetsAsMetAndCleanTheirNames) {
    PutSet(bytes, 0, u"Daily/Weekly");
    PutFile(bytes, 512, u"A.TXT");
    PutSet(bytes, 1024, u"bad?name");
    PutFile(bytes, 1536, u"B.TXT");
    PutSet(bytes, 2048, u"C:drive");
    PutFile(bytes, 2560, u"C.TXT");
    Scan();
    EXPECT_EQ(Paths(), (std::vector<std::string>{"TAPE MEDIA\\BACKUP SET 1(_Daily_Weekly)\\A.TXT",
                                                 "TAPE MEDIA\\BACKUP SET 2()\\B.TXT",
                                                 "TAPE MEDIA\\BACKUP SET 3(_C_drive)\\C.TXT"}));
    // Every accepted set is noted, also one that brings no folder or file.
    PutSet(bytes, 3072, u"Empty");
    catalog.FinishScan();
    Scan();
    EXPECT_EQ(catalog.setLabels().back(), "BACKUP SET 7(_Empty)");
}

TEST_F(HandlerTest, FilesBeforeAnySetAndAfterAnOversizedSetNameKeepThePreviousLabel) {
    PutFile(bytes, 0, u"EARLY.TXT");
    PutSet(bytes, 512, u"Ignored");
    PutLE16(bytes, 512 + 64, 262);  // Data Set Name Size above 260: the whole block is ignored
    PutFile(bytes, 1024, u"LATER.TXT");
    Scan();
    EXPECT_EQ(Paths(), (std::vector<std::string>{"TAPE MEDIA\\BACKUP SET 0\\EARLY.TXT",
                                                 "TAPE MEDIA\\BACKUP SET 0\\LATER.TXT"}));
    EXPECT_EQ(context.setCount, 0u);
}

TEST_F(HandlerTest, DirectoriesBuildNodesOnceAndFilesFollowTheCurrentDirectory) {
    PutSet(bytes, 0, u"Daily");
    PutDirectory(bytes, 512, std::u16string(u"DOCS\0LETTERS\0", 13));
    PutDirectory(bytes, 1024, std::u16string(u"DOCS\0LETTERS\0", 13));  // same directory again
    PutFile(bytes, 1536, u"A.TXT");
    PutDirectory(bytes, 2048, std::u16string(u"\0", 1));  // the root
    PutFile(bytes, 2560, u"ROOT.TXT");
    Scan();
    EXPECT_EQ(Nodes(), (std::vector<std::string>{"TAPE MEDIA\\", "TAPE MEDIA\\BACKUP SET 1(_Daily)\\",
                                                 "TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\",
                                                 "TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\LETTERS\\"}));
    EXPECT_EQ(Paths(), (std::vector<std::string>{"TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\LETTERS\\A.TXT",
                                                 "TAPE MEDIA\\BACKUP SET 1(_Daily)\\ROOT.TXT"}));
}

TEST_F(HandlerTest, SameDirectoryInTwoSetsGivesTwoNodesAndTheDirectoryCarriesOver) {
    PutSet(bytes, 0, u"One");
    PutDirectory(bytes, 512, std::u16string(u"DATA\0", 5));
    PutSet(bytes, 1024, u"Two");
    PutFile(bytes, 1536, u"X.TXT");  // no DIRB yet in set 2: the old directory carries over
    PutDirectory(bytes, 2048, std::u16string(u"DATA\0", 5));
    Scan();
    EXPECT_EQ(Paths(), (std::vector<std::string>{"TAPE MEDIA\\BACKUP SET 2(_Two)\\DATA\\X.TXT"}));
    EXPECT_EQ(Nodes().size(), 5u);  // root, two set nodes, two DATA nodes
}

TEST_F(HandlerTest, InvalidDirectoriesBecomeNumberedLostDirsAcrossSets) {
    PutSet(bytes, 0, u"One");
    PutDirectory(bytes, 512, std::u16string(u"a|b\0c\0", 6));
    PutFile(bytes, 1024, u"F1.TXT");
    PutSet(bytes, 1536, u"Two");
    PutDirectory(bytes, 2048, std::u16string(u"x\u0001y\0", 4));
    PutFile(bytes, 2560, u"F2.TXT");
    Scan();
    EXPECT_EQ(Paths(), (std::vector<std::string>{"TAPE MEDIA\\BACKUP SET 1(_One)\\lost dir0\\F1.TXT",
                                                 "TAPE MEDIA\\BACKUP SET 2(_Two)\\lost dir1\\F2.TXT"}));
}

TEST_F(HandlerTest, AccentedAndNonLatinNamesAreCataloguedNotLost) {
    PutDirectory(bytes, 0, std::u16string(u"Donn\u00e9es\0\u6587\u4ef6\0", 11));
    PutFile(bytes, 512, u"r\u00e9sum\u00e9.doc");
    PutFile(bytes, 1024, u"l'\u00e9t\u00e9.txt");  // the apostrophe is a legal file-name character
    Scan();
    EXPECT_EQ(Paths(), (std::vector<std::string>{
                           "TAPE MEDIA\\BACKUP SET 0\\Donn\u00e9es\\\u6587\u4ef6\\r\u00e9sum\u00e9.doc",
                           "TAPE MEDIA\\BACKUP SET 0\\Donn\u00e9es\\\u6587\u4ef6\\l'\u00e9t\u00e9.txt"}));
    EXPECT_EQ(context.lostCount, 0u);
}

TEST_F(HandlerTest, FilesWithoutShortExtensionsGetTheirDataPositionAndNode) {
    PutDirectory(bytes, 0, std::u16string(u"DOCS\0", 5));
    const std::size_t readme = PutFile(bytes, 512, u"README", 11);
    const std::size_t archive = PutFile(bytes, 1024, u"archive.backup", 12);
    Scan(1 << 20);
    ASSERT_EQ(catalog.rowCount(), 2u);
    EXPECT_EQ(catalog.row(0).dataOffset(), (1u << 20) + readme);
    EXPECT_EQ(catalog.row(0).size(), 11u);
    EXPECT_EQ(catalog.row(1).dataOffset(), (1u << 20) + archive);
    EXPECT_EQ(sink.statuses.back(), "Total File Found :2");
    EXPECT_EQ(context.filesFound, 2u);
}

TEST_F(HandlerTest, UnusableFileNamesRecordNothing) {
    PutFile(bytes, 0, u"");
    PutFile(bytes, 512, u"a?b.txt");
    PutFile(bytes, 1024, u"tab\t.txt");
    Scan();
    EXPECT_EQ(catalog.rowCount(), 0u);
    EXPECT_EQ(context.filesFound, 0u);
    EXPECT_TRUE(sink.statuses.empty());
}

// A CatalogPath over 260 characters used to be dropped: a directory of 250 characters lost its node and
// every file in it, though the medium held them without trouble. The limit on the assembled path is
// now Windows' own (32,767).
TEST_F(HandlerTest, PathsOverTwoHundredSixtyCharactersAreKept) {
    // 120 Cyrillic letters: 240 bytes of UTF-8 in the name, counted as 120 characters.
    const std::u16string cyrillic(120, u'\u0416');
    PutDirectory(bytes, 0, cyrillic + std::u16string(1, u'\0'));
    PutFile(bytes, 512, u"A.TXT");
    PutDirectory(bytes, 1024, std::u16string(250, u'D') + std::u16string(1, u'\0'));
    PutFile(bytes, 2560, u"B.TXT");
    Scan();
    ASSERT_EQ(catalog.rowCount(), 2u);
    EXPECT_EQ(catalog.row(0).path().str().substr(0, 24), "TAPE MEDIA\\BACKUP SET 0\\");
    const std::string longDirectory = "TAPE MEDIA\\BACKUP SET 0\\" + std::string(250, 'D') + "\\";
    EXPECT_EQ(catalog.row(1).path(), longDirectory + "B.TXT");
    EXPECT_EQ(Nodes().back(), longDirectory);
    EXPECT_EQ(Nodes().size(), 4u);
}

TEST_F(HandlerTest, FullSixtyFourBitLengthsAndTapeChunkIndex) {
    PutFile(bytes, 0, u"BIG.VHD", 0x1'2345'6789ull);
    Scan(0, 7);
    ASSERT_EQ(catalog.rowCount(), 1u);
    EXPECT_EQ(catalog.row(0).size(), 0x1'2345'6789ull);
    EXPECT_EQ(catalog.row(0).SizeText(), "4886718345");
    EXPECT_EQ(catalog.row(0).chunkIndex(), 7u);
}

TEST_F(HandlerTest, StanBeyondTheWindowIsFoundByFollowingTheStreamHeaders) {
    // FILE block with a 600-byte security stream first: STAN starts 700 bytes after the block.
    PutTag(bytes, 0, "FILE");
    PutName(bytes, 0, 84, 90, u"SECURE.DOC");
    PutLE16(bytes, 8, 112);                    // Offset to first event
    PutStreamHeader(bytes, 112, "NACL", 566);  // data 134..699, next header 4-aligned at 700
    PutStreamHeader(bytes, 700, "STAN", 42);
    Scan();
    ASSERT_EQ(catalog.rowCount(), 1u);
    EXPECT_EQ(catalog.row(0).dataOffset(), 722u);
    EXPECT_EQ(catalog.row(0).size(), 42u);
}

TEST_F(HandlerTest, StreamWalkStopsAtBadChecksumsAndPadding) {
    PutTag(bytes, 0, "FILE");
    PutName(bytes, 0, 84, 90, u"BROKEN.DOC");
    PutLE16(bytes, 8, 112);
    PutStreamHeader(bytes, 112, "NACL", 566);
    PutStreamHeader(bytes, 700, "STAN", 42);
    bytes[112 + 9] ^= 1;  // the NACL header no longer sums: the walk must not trust its length
    PutTag(bytes, 1024, "FILE");
    PutName(bytes, 1024, 84, 90, u"PADDED.DOC");
    PutLE16(bytes, 1024 + 8, 112);
    PutStreamHeader(bytes, 1024 + 112, "SPAD", 600);
    PutStreamHeader(bytes, 1024 + 736, "STAN", 42);  // behind the padding: not this file's data
    Scan();
    ASSERT_EQ(catalog.rowCount(), 2u);
    EXPECT_FALSE(catalog.row(0).dataOffset());
    EXPECT_FALSE(catalog.row(1).dataOffset());
    EXPECT_EQ(context.filesFound, 0u);
}

TEST_F(HandlerTest, WindowSearchTakesTheFirstStanWithinFiveHundredTwelveBytes) {
    PutTag(bytes, 0, "FILE");
    PutName(bytes, 0, 84, 90, u"W.TXT");
    PutTag(bytes, 300, "STAN");  // no valid header chain needed: the window search finds the tag
    PutLE64(bytes, 308, 9);
    PutTag(bytes, 400, "STAN");
    Scan();
    EXPECT_EQ(catalog.row(0).dataOffset(), 322u);
    EXPECT_EQ(catalog.row(0).size(), 9u);
}

// ExamineSlot used to take the slot's 512 bytes as a subspan without checking that the chunk held them,
// and acted on a block cut short by the end of the chunk.
TEST_F(HandlerTest, SlotCutShortByTheEndOfTheChunkIsPassedOver) {
    PutSet(bytes, 0, u"Cut");
    PutFile(bytes, 512, u"A.TXT");
    const ChunkView chunk(ByteSpan(bytes).first(300), 0);
    ExamineSlot(context, chunk, 0);
    ExamineSlot(context, ChunkView(ByteSpan(bytes).first(1000), 0), 512);
    ExamineSlot(context, chunk, 4096);  // past the chunk's end altogether
    EXPECT_EQ(context.setCount, 0u);
    EXPECT_EQ(catalog.rowCount(), 0u);
}

TEST_F(HandlerTest, ModificationDateIsKeptAsStored) {
    PutFile(bytes, 0, u"D.TXT");
    const std::uint8_t date[] = {0x1F, 0x33, 0x3F, 0x41, 0xDE};  // 1996-12-31 20:07:30
    std::copy(std::begin(date), std::end(date), bytes.begin() + 56);
    Scan();
    EXPECT_EQ(catalog.row(0).modified(), 0x1F333F41DEull);
}

}  // namespace
}  // namespace ostrum::catalog
