#include "catalog/catalog.h"

#include <gtest/gtest.h>

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
    catalog.AppendRow("TAPE MEDIA\\SET\\docs\\a.txt", FileRow{});
    catalog.FinishScan();
    EXPECT_TRUE(catalog.node(catalog.roots()[0]).expanded);
    EXPECT_FALSE(catalog.node(docs).expanded);
    EXPECT_EQ(catalog.node(docs).state, CheckState::Checked);
    EXPECT_TRUE(catalog.row(0).checked);
    EXPECT_EQ(catalog.InsertPath("TAPE MEDIA\\SET\\docs\\b.txt"), docs);
    EXPECT_TRUE(catalog.node(docs).expanded);
}

TEST(AppendRow, PathsAreCopiedAndStayValidAcrossManyRows) {
    Catalog catalog(std::make_shared<ExtensionFileInfo>());
    for (int i = 0; i < 50000; ++i) {
        std::string path = "TAPE MEDIA\\BACKUP SET 1()\\dir\\file" + std::to_string(i) + ".txt";
        catalog.AppendRow(path, FileRow{});
    }
    EXPECT_EQ(catalog.row(0).path, "TAPE MEDIA\\BACKUP SET 1()\\dir\\file0.txt");
    EXPECT_EQ(catalog.row(49999).path, "TAPE MEDIA\\BACKUP SET 1()\\dir\\file49999.txt");
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

// An empty path as the first row used to take the last of no path blocks (back() of an empty vector)
// and crash.
TEST(AppendRow, EmptyPathIsStoredWithoutTouchingThePathBlocks) {
    Catalog catalog(std::make_shared<ExtensionFileInfo>());
    EXPECT_EQ(catalog.AppendRow("", FileRow{}), 0u);
    EXPECT_EQ(catalog.AppendRow("TAPE MEDIA\\S\\A.TXT", FileRow{}), 1u);
    EXPECT_EQ(catalog.row(0).path, "");
    EXPECT_EQ(catalog.row(1).path, "TAPE MEDIA\\S\\A.TXT");
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
