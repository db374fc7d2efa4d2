// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ostrum::catalog {
namespace {

class NodeRecorder : public CatalogSink {
  public:
    void NodeInserted(const Catalog& catalog, NodeId node) override {
        inserted.push_back(catalog.FullPath(node));
    }
    std::vector<std::string> inserted;
};

std::vector<std::string> FullPaths(const Catalog& catalog) {
    std::vector<std::string> paths;
    for (NodeId id : catalog.PreOrder()) paths.push_back(catalog.FullPath(id));
    return paths;
}

TEST(InsertPath, ComponentsBeforeEachBackslashBecomeNodesMatchedByExactText) {
    Catalog catalog(std::make_shared<ExtensionFileInfo>());
    NodeRecorder sink;
    catalog.InsertPath("TAPE MEDIA\\BACKUP SET 1(_Daily)\\docs\\letter.txt", &sink);
    catalog.InsertPath("TAPE MEDIA\\BACKUP SET 1(_Daily)\\Docs\\", &sink);  // case differs: a new node
    catalog.InsertPath("TAPE MEDIA\\BACKUP SET 1(_Daily)\\docs\\old\\", &sink);
    catalog.InsertPath("TAPE MEDIA\\BACKUP SET 10()\\a\\\\b\\", &sink);  // empty component kept
    EXPECT_EQ(FullPaths(catalog), (std::vector<std::string>{
                                      "TAPE MEDIA\\",
                                      "TAPE MEDIA\\BACKUP SET 1(_Daily)\\",
                                      "TAPE MEDIA\\BACKUP SET 1(_Daily)\\docs\\",
                                      "TAPE MEDIA\\BACKUP SET 1(_Daily)\\docs\\old\\",
                                      "TAPE MEDIA\\BACKUP SET 1(_Daily)\\Docs\\",
                                      "TAPE MEDIA\\BACKUP SET 10()\\",
                                      "TAPE MEDIA\\BACKUP SET 10()\\a\\",
                                      "TAPE MEDIA\\BACKUP SET 10()\\a\\\\",
                                      "TAPE MEDIA\\BACKUP SET 10()\\a\\\\b\\",
                                  }));
    // Each node was reported once, when created, in creation order.
    EXPECT_EQ(sink.inserted.size(), catalog.nodeCount());
    EXPECT_EQ(sink.inserted[3], "TAPE MEDIA\\BACKUP SET 1(_Daily)\\Docs\\");
    EXPECT_EQ(catalog.InsertPath("no separator"), kNoNode);
}

TEST(InsertPath, ReexpandsNodesCollapsedByFinishScan) {
    Catalog catalog(std::make_shared<ExtensionFileInfo>());
    const NodeId docs = catalog.InsertPath("TAPE MEDIA\\SET\\docs\\a.txt");
    catalog.AppendRow("TAPE MEDIA\\SET\\docs\\a.txt", FoundFile{});
    catalog.FinishScan();
    EXPECT_TRUE(catalog.node(catalog.roots()[0]).expanded);
    EXPECT_FALSE(catalog.node(docs).expanded);
    EXPECT_EQ(catalog.node(docs).state, CheckState::Checked);
    EXPECT_TRUE(catalog.row(0).checked());
    EXPECT_EQ(catalog.InsertPath("TAPE MEDIA\\SET\\docs\\b.txt"), docs);
    EXPECT_TRUE(catalog.node(docs).expanded);
}

TEST(AppendRow, PathsAreCopiedAndStayValidAcrossManyRows) {
    Catalog catalog(std::make_shared<ExtensionFileInfo>());
    for (int i = 0; i < 50000; ++i) {
        std::string path = "TAPE MEDIA\\BACKUP SET 1()\\dir\\file" + std::to_string(i) + ".txt";
        catalog.AppendRow(path, FoundFile{});
    }
    EXPECT_EQ(catalog.row(0).path(), "TAPE MEDIA\\BACKUP SET 1()\\dir\\file0.txt");
    EXPECT_EQ(catalog.row(49999).path(), "TAPE MEDIA\\BACKUP SET 1()\\dir\\file49999.txt");
}

// A window reads rows and nodes while the scan appends more: an element must keep its address as the
// storage grows, across the block boundaries where a growing array would move everything.
TEST(StableVector, ElementsKeepTheirAddressAndValueAsItGrows) {
    StableVector<std::string> strings;
    std::vector<const std::string*> addresses;
    for (int i = 0; i < 10000; ++i) {
        addresses.push_back(&strings.emplace_back("value " + std::to_string(i) + std::string(20, 'x')));
    }
    ASSERT_EQ(strings.size(), 10000u);
    for (std::size_t i : {0u, 1023u, 1024u, 3071u, 3072u, 7167u, 7168u, 9999u}) {
        EXPECT_EQ(&strings[i], addresses[i]) << i;
        EXPECT_EQ(strings[i], "value " + std::to_string(i) + std::string(20, 'x')) << i;
    }
    EXPECT_EQ(strings.back(), strings[9999]);
    strings.clear();
    EXPECT_TRUE(strings.empty());
    strings.push_back("again");
    EXPECT_EQ(strings[0], "again");
}

// Rows keep their path as the folder part, shared by the rows of one folder, and the name; a path given in
// pieces is kept as the split at its last backslash would make it. Tape positions stay with their rows.
TEST(AppendRow, PathsKeepTheirFolderOnceAndSplitAtTheLastBackslash) {
    Catalog catalog(std::make_shared<ExtensionFileInfo>());
    FoundFile onTape, withData;
    onTape.size = 7;
    onTape.chunkIndex = 3;
    onTape.dataOffsetInChunk = 90;
    withData.dataOffset = 5;
    catalog.AppendRow("TAPE MEDIA\\S\\D\\a.txt", FoundFile{});
    catalog.AppendRow("TAPE MEDIA\\S\\D\\b.txt", onTape);
    catalog.AppendRow(RowPath{"TAPE MEDIA\\S\\", "D\\c.txt"}, withData);
    catalog.AppendRow(RowPath{"TAPE MEDIA\\S\\D", "x.txt"}, FoundFile{});
    catalog.AppendRow("no separator", FoundFile{});
    EXPECT_EQ(catalog.row(0).path().folder.data(), catalog.row(1).path().folder.data());
    EXPECT_EQ(catalog.row(2).path().folder.data(), catalog.row(0).path().folder.data());
    EXPECT_EQ(catalog.row(2).path().name, "c.txt");
    EXPECT_EQ(catalog.row(3).path().folder, "TAPE MEDIA\\S\\");
    EXPECT_EQ(catalog.row(3).path().name, "Dx.txt");
    EXPECT_EQ(catalog.row(4).path().folder, "");
    EXPECT_EQ(catalog.row(4).path(), "no separator");
    EXPECT_TRUE(catalog.row(1).path().starts_with("TAPE MEDIA\\S\\D\\b"));
    EXPECT_FALSE(catalog.row(1).path().starts_with("TAPE MEDIA\\S\\D\\a"));
    EXPECT_EQ(catalog.row(1).size(), 7u);
    EXPECT_EQ(catalog.row(1).chunkIndex(), 3u);
    EXPECT_EQ(catalog.row(1).dataOffsetInChunk(), 90u);
    EXPECT_FALSE(catalog.row(1).dataOffset());
    EXPECT_FALSE(catalog.row(0).chunkIndex());
    EXPECT_FALSE(catalog.row(2).chunkIndex());
    EXPECT_EQ(catalog.row(2).dataOffset(), 5u);
    catalog.SetChecked(1, true);
    EXPECT_TRUE(catalog.row(1).checked());
    EXPECT_FALSE(catalog.row(0).checked());
    EXPECT_EQ(catalog.row(1).size(), 7u);  // the check shares its word with the other marks
}

// An empty path as the first row used to take the last of no path blocks (back() of an empty vector)
// and crash.
TEST(AppendRow, EmptyPathIsStoredWithoutTouchingThePathBlocks) {
    Catalog catalog(std::make_shared<ExtensionFileInfo>());
    EXPECT_EQ(catalog.AppendRow("", FoundFile{}), 0u);
    EXPECT_EQ(catalog.AppendRow("TAPE MEDIA\\S\\A.TXT", FoundFile{}), 1u);
    EXPECT_EQ(catalog.row(0).path(), "");
    EXPECT_EQ(catalog.row(1).path(), "TAPE MEDIA\\S\\A.TXT");
}

// A scan decodes names into NameRoom: such a name is kept where it lies, the next room starts after it,
// and a name given from elsewhere is copied; none overwrites another, also when a room starts a new block.
TEST(AppendRow, NamesDecodedIntoTheNameRoomStayWhereTheyLie) {
    Catalog catalog(std::make_shared<ExtensionFileInfo>());
    char* room = catalog.NameRoom(40);
    std::memcpy(room, "first.txt", 9);
    catalog.AppendRow(RowPath{"TAPE MEDIA\\S\\", std::string_view(room, 9)}, FoundFile{});
    EXPECT_EQ(catalog.row(0).path().name.data(), room);
    char* next = catalog.NameRoom(40);
    EXPECT_EQ(next, room + 9);
    const std::string copied = "second.txt";
    catalog.AppendRow(RowPath{"TAPE MEDIA\\S\\", copied}, FoundFile{});
    EXPECT_NE(catalog.row(1).path().name.data(), copied.data());
    char* far = catalog.NameRoom(2 << 20);  // more than a block holds: a block of its own
    std::memset(far, 'x', 2 << 20);
    catalog.AppendRow(RowPath{"TAPE MEDIA\\S\\", std::string_view(far, 5)}, FoundFile{});
    EXPECT_EQ(catalog.row(0).path(), "TAPE MEDIA\\S\\first.txt");
    EXPECT_EQ(catalog.row(1).path(), "TAPE MEDIA\\S\\second.txt");
    EXPECT_EQ(catalog.row(2).path(), "TAPE MEDIA\\S\\xxxxx");
}

// A row keeps its type as an index and its name's size beside its date: types met in any order come
// back as given, and a name too long for that size field keeps all its bytes.
TEST(AppendRow, TypesAndLongNamesComeBackWhole) {
    Catalog catalog(std::make_shared<ExtensionFileInfo>());
    const FileTypeInfo text{"TXT File", "text-x-generic"};
    const FileTypeInfo image{"PNG File", "image-x-generic"};
    FoundFile values;
    for (const FileTypeInfo* type : {&text, &image, &text, static_cast<const FileTypeInfo*>(nullptr)}) {
        values.type = type;
        values.modified = 0xFFFFFFFFFF;
        catalog.AppendRow("TAPE MEDIA\\S\\a", values);
    }
    EXPECT_EQ(catalog.row(0).type(), &text);
    EXPECT_EQ(catalog.row(1).type(), &image);
    EXPECT_EQ(catalog.row(2).type(), &text);
    EXPECT_EQ(catalog.row(3).type(), nullptr);
    EXPECT_EQ(catalog.row(3).typeName(), "");
    for (const std::size_t size : {std::size_t{65534}, std::size_t{65535}, std::size_t{70000}}) {
        const std::string name(size, static_cast<char>('a' + size % 26));
        const std::size_t row = catalog.AppendRow(RowPath{"TAPE MEDIA\\S\\", name}, values);
        EXPECT_EQ(catalog.row(row).path().name, name) << size;
        EXPECT_EQ(catalog.row(row).modified(), 0xFFFFFFFFFFu);
    }
    EXPECT_EQ(catalog.row(0).path(), "TAPE MEDIA\\S\\a");
}

TEST(FileTypeKey, TypeDependsOnTheNameFromItsFirstDot) {
    EXPECT_EQ(FileTypeKey("TAPE MEDIA\\S\\a.tar.gz"), ".tar.gz");
    EXPECT_EQ(FileTypeKey("README"), "README");
    EXPECT_EQ(FileTypeKey("d.x\\noext"), "noext");
    ExtensionFileInfo info;
    EXPECT_EQ(info.GetFileTypeName("A.TXT"), "TXT File");
    EXPECT_EQ(info.GetFileTypeName("README"), "File");
    EXPECT_EQ(&info.Describe("B.TXT"), &info.Describe("A.TXT"));  // one description per type
}

}  // namespace
}  // namespace ostrum::catalog
