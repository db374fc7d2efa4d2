// SPDX-License-Identifier: GPL-3.0-or-later
// The selection rules against plain walks over every FileRow on random catalogs and clicks, and the
// behaviours a user relies on, written out.

#include "selection/selection_rules.h"

#include <gtest/gtest.h>

#include <random>
#include <unordered_map>

#include "reference_selection.h"

namespace ostrum::selection {
namespace {

using catalog::Catalog;
using catalog::FoundFile;
using testing::ReferenceSelection;
constexpr auto C = CheckState::Checked;
constexpr auto U = CheckState::Unchecked;
constexpr auto P = CheckState::Partial;

// Every node and row the catalog made, in order, as a window is given them.
struct GrowthLog : catalog::CatalogSink {
    void NodeInserted(const Catalog&, NodeId node) override { events.push_back({true, node}); }
    void RowAppended(const Catalog&, std::size_t row) override { events.push_back({false, row}); }
    struct Event {
        bool node;
        std::size_t index;
    };
    std::vector<Event> events;
};

std::vector<RowRange> Ranges(const std::vector<std::size_t>& ascending) {
    std::vector<RowRange> ranges;
    for (std::size_t at : ascending) {
        if (!ranges.empty() && ranges.back().end == at) {
            ++ranges.back().end;
        } else {
            ranges.push_back({at, at + 1});
        }
    }
    return ranges;
}

class RandomRun {
  public:
    explicit RandomRun(unsigned seed) : random_(seed) {}

    // One block of a scan: a directory, or a file whose row comes before, after or without its node.
    void ScanStep() {
        static const char* const kSets[] = {"BACKUP SET 1(_A)", "BACKUP SET 10(_A)", "BACKUP SET 2()"};
        static const char* const kFolders[] = {"DOCS", "docs", "BACKUP SET 1(_A)", "", "x.y", "A"};
        static const char* const kNames[] = {"A.TXT", "README", "archive.backup", "b\\c.txt", "n.d"};
        std::string path = "TAPE MEDIA\\" + std::string(kSets[Pick(3)]) + "\\";
        for (std::size_t depth = Pick(4); depth > 0; --depth) path += std::string(kFolders[Pick(6)]) + "\\";
        if (Pick(7) == 0) return void(catalog.InsertPath(path, &log));
        path += kNames[Pick(5)];
        const std::size_t order = Pick(4);
        if (order == 0) catalog.InsertPath(path, &log);
        catalog.AppendRow(path, FoundFile{}, &log);
        if (order == 1) catalog.InsertPath(path, &log);
    }

    // Feeds part of what the scan made; true when the rules have been told everything.
    bool Feed() {
        if (Pick(4) == 0) {
            Announce(rules.CatchUp(catalog.nodeCount(), catalog.rowCount()));
            fed_ = log.events.size();
        }
        for (std::size_t n = Pick(4); n > 0 && fed_ < log.events.size(); --n, ++fed_) {
            const auto& event = log.events[fed_];
            Announce(event.node ? rules.NodeAdded(static_cast<NodeId>(event.index))
                                : rules.RowAdded(event.index));
        }
        return fed_ == log.events.size();
    }

    // The list as a model knows it: read afresh on a reset, rows inserted where announced.
    void Announce(const SelectionChanges& changes) {
        if (changes.folderListReset) {
            view_.clear();
            for (std::size_t at = 0; at < rules.FolderRowCount(); ++at)
                view_.push_back(rules.FolderRowAt(at));
        }
        for (const RowRange& range : changes.folderRowsInserted) {
            view_.insert(view_.begin() + static_cast<std::ptrdiff_t>(range.begin), range.end - range.begin,
                         std::nullopt);
        }
    }

    // Compares everything a window can read, and the changes the last rule reported.
    void ExpectSame(const SelectionChanges* changes = nullptr) {
        ASSERT_EQ(rules.ShownFolder(), reference.shown);
        ASSERT_EQ(rules.FolderRowCount(), reference.list.size());
        const bool reread = changes != nullptr && changes->folderListReset;
        ASSERT_TRUE(reread || view_.size() == reference.list.size());
        std::vector<std::size_t> nodes, rows, folderRows;
        // Files under each node: every row counts for each node whose full path begins its path.
        std::unordered_map<std::string, NodeId> byFullPath;
        for (NodeId node = 0; node < catalog.nodeCount(); ++node) byFullPath[reference.Full(node)] = node;
        std::vector<std::uint64_t> under(catalog.nodeCount()), checked(catalog.nodeCount());
        for (std::size_t row = 0; row < catalog.rowCount(); ++row) {
            const std::string path = catalog.row(row).path().str();
            for (auto end = path.find('\\'); end != std::string_view::npos; end = path.find('\\', end + 1)) {
                const auto node = byFullPath.find(std::string(path.substr(0, end + 1)));
                if (node == byFullPath.end()) continue;
                ++under[node->second];
                checked[node->second] += reference.checks[row];
            }
        }
        for (NodeId node = 0; node < catalog.nodeCount(); ++node) {
            ASSERT_EQ(rules.Mark(node), reference.marks[node]) << catalog.FullPath(node);
            ASSERT_EQ(rules.FilesUnder(node), under[node]);
            ASSERT_EQ(rules.CheckedFilesUnder(node), checked[node]);
            ASSERT_EQ(rules.AllFilesUnderChecked(node), checked[node] == under[node]);
            ASSERT_EQ(rules.AllFilesUnderUnchecked(node), checked[node] == 0);
            if (changes == nullptr) {  // the tree changes only while a scan adds to it
                ASSERT_EQ(rules.GetItemPath(node), reference.GetItemPath(node));
                ASSERT_EQ(rules.Children(node), reference.Children(node));
            }
            if (node < marks_.size() && marks_[node] != reference.marks[node]) nodes.push_back(node);
        }
        for (std::size_t row = 0; row < catalog.rowCount(); ++row) {
            ASSERT_EQ(catalog.row(row).checked(), reference.checks[row]) << row;
            if (row < checks_.size() && checks_[row] != reference.checks[row]) rows.push_back(row);
        }
        for (std::size_t at = 0; at < reference.list.size(); ++at) {
            const auto& want = reference.list[at];
            const FolderRow got = rules.FolderRowAt(at);
            ASSERT_EQ(got, (FolderRow{want.kind, want.node, want.fileRow})) << at;
            ASSERT_EQ(rules.FolderRowName(at), want.name);
            if (want.kind != FolderRowKind::Up) {
                ASSERT_EQ(rules.FolderRowMark(at), want.mark) << at;
            }
            if (reread) continue;
            // A row the model had is the same row still; an inserted one is new.
            if (view_[at]) {
                ASSERT_EQ(*view_[at], got) << at;
            }
            if (changes != nullptr && want.kind != FolderRowKind::Up && viewMarks_[at] != want.mark) {
                folderRows.push_back(at);
            }
        }
        if (reference.shown != kNoNode) {
            for (NodeId child : reference.Children(reference.shown)) {
                ASSERT_EQ(rules.FindChildFolder(catalog.node(child).text), child);
            }
        }
        ASSERT_EQ(rules.FindChildFolder("no such folder"), kNoNode);
        if (changes != nullptr) {
            EXPECT_EQ(changes->nodes, std::vector<NodeId>(nodes.begin(), nodes.end()));
            EXPECT_EQ(changes->fileRows, Ranges(rows));
            EXPECT_EQ(changes->folderListReset, reference.shown != shown_);
            if (!changes->folderListReset) {
                EXPECT_EQ(changes->folderRows, Ranges(folderRows));
            }
        }
        Remember();
    }

    // The rules told everything, then the end of the scan, each checked against the plain walks.
    void EndScan() {
        Announce(rules.CatchUp(catalog.nodeCount(), catalog.rowCount()));
        reference.Grow();
        ASSERT_NO_FATAL_FAILURE(ExpectSame());
        reference.FinishScan();
        const SelectionChanges finished = rules.FinishScan();
        ASSERT_NO_FATAL_FAILURE(ExpectSame(&finished));
    }

    void Remember() {
        marks_ = reference.marks;
        checks_ = reference.checks;
        shown_ = reference.shown;
        view_.clear();
        viewMarks_.clear();
        for (std::size_t at = 0; at < reference.list.size(); ++at) {
            view_.push_back(rules.FolderRowAt(at));
            viewMarks_.push_back(reference.list[at].mark);
        }
    }

    // One user action or one rule called on its own, on both sides.
    SelectionChanges Act() {
        const NodeId node = static_cast<NodeId>(Pick(catalog.nodeCount()));
        const std::size_t listed = reference.list.empty() ? 0 : Pick(reference.list.size());
        const bool checked = Pick(2) == 0;
        const std::size_t action = Pick(reference.list.empty() ? 3 : 13);
        switch (action) {
            case 0:
                reference.ToggleNodeCheck(node);
                return rules.ToggleNodeCheck(node);
            case 1:
                reference.ShowFolder(node);
                return rules.ShowFolder(node);
            case 2: {
                const std::size_t row = Pick(catalog.rowCount());
                reference.SetFileRowCheck(row, checked);
                return rules.SetFileRowCheck(row, checked);
            }
            case 3:
                reference.OpenFolderRow(listed);
                return rules.OpenFolderRow(listed);
            case 4: {
                const auto state = static_cast<CheckState>(Pick(3));
                reference.SetSubtreeCheck(node, state);
                reference.Mirror();
                return rules.SetSubtreeCheck(node, state);
            }
            case 5:
                reference.SetFoundFilesUnder(node, checked);
                reference.Mirror();
                return rules.SetFoundFilesUnder(node, checked);
            case 6:
                reference.UpdateAncestors(node);
                reference.Mirror();
                return rules.UpdateAncestors(node);
            case 7:
                reference.UpdateShownFolder();
                return rules.UpdateShownFolder();
            case 8:
                if (reference.list[listed].kind == FolderRowKind::File) {
                    reference.SetFileRowCheck(reference.list[listed].fileRow, checked);
                }
                return rules.SetFoundFileCheck(listed, checked);
            default:
                reference.ToggleRowCheck(listed);
                return rules.ToggleRowCheck(listed);
        }
    }

    std::size_t Pick(std::size_t below) {
        return std::uniform_int_distribution<std::size_t>(0, below - 1)(random_);
    }

    Catalog catalog{std::make_shared<catalog::ExtensionFileInfo>()};
    GrowthLog log;
    SelectionRules rules{catalog};
    ReferenceSelection reference{catalog};

  private:
    std::mt19937 random_;
    std::size_t fed_ = 0;
    std::vector<CheckState> marks_;
    std::vector<bool> checks_;
    NodeId shown_ = kNoNode;
    std::vector<std::optional<FolderRow>> view_;
    std::vector<CheckState> viewMarks_;
};

TEST(SelectionRulesProperty, ScansAndClicksMatchThePlainWalks) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RandomRun run(seed);
        for (int step = 0; step < 70; ++step) {
            run.ScanStep();
            if (run.Pick(6) == 0 && run.rules.NodeCount() > 0) {  // browsing during the scan
                const auto node = static_cast<NodeId>(run.Pick(run.rules.NodeCount()));
                run.Announce(run.rules.ShowFolder(node));
                run.reference.shown = node;
            }
            if (run.Feed()) {
                run.reference.Grow();
                ASSERT_NO_FATAL_FAILURE(run.ExpectSame()) << "scan step " << step;
            }
        }
        ASSERT_NO_FATAL_FAILURE(run.EndScan());
        if (run.catalog.nodeCount() == 0) continue;
        for (int click = 0; click < 150; ++click) {
            const SelectionChanges changes = run.Act();
            ASSERT_NO_FATAL_FAILURE(run.ExpectSame(&changes)) << "click " << click;
        }
    }
}

TEST(SelectionRulesProperty, TickingManyRowsAtOnceMatchesThePlainWalks) {
    for (unsigned seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RandomRun run(seed);
        for (int step = 0; step < 70; ++step) run.ScanStep();
        ASSERT_NO_FATAL_FAILURE(run.EndScan());
        if (run.catalog.nodeCount() == 0) continue;
        for (int click = 0; click < 80; ++click) {
            SelectionChanges changes;
            if (run.Pick(2) == 0) {
                // The rows a filter shows: ascending, some of them already holding the check.
                std::vector<std::uint32_t> shown;
                const std::size_t spread = 1 + run.Pick(4);
                for (std::uint32_t row = 0; row < run.catalog.rowCount(); ++row) {
                    if (run.Pick(spread) == 0) shown.push_back(row);
                }
                const bool checked = run.Pick(2) == 0;
                run.reference.SetFileRowChecks(shown, checked);
                changes = run.rules.SetFileRowChecks(shown, checked);
            } else {
                changes = run.Act();
            }
            ASSERT_NO_FATAL_FAILURE(run.ExpectSame(&changes)) << "click " << click;
        }
    }
}

// A scanned catalog: each path ending in "\" is a folder, any other a file with its folder nodes; then
// the end of the scan.
struct Scanned {
    explicit Scanned(std::initializer_list<std::string_view> paths) {
        for (std::string_view path : paths) {
            catalog.InsertPath(path);
            if (!path.ends_with('\\')) catalog.AppendRow(path, FoundFile{});
        }
        rules.CatchUp(catalog.nodeCount(), catalog.rowCount());
        rules.FinishScan();
    }
    NodeId Node(std::string_view itemPath) const {
        for (NodeId node = 0; node < catalog.nodeCount(); ++node) {
            if (rules.GetItemPath(node) == itemPath) return node;
        }
        return kNoNode;
    }
    CheckState Mark(std::string_view itemPath) const { return rules.Mark(Node(itemPath)); }
    std::vector<bool> Checks() const {
        std::vector<bool> checks;
        for (std::size_t row = 0; row < catalog.rowCount(); ++row)
            checks.push_back(catalog.row(row).checked());
        return checks;
    }
    Catalog catalog{std::make_shared<catalog::ExtensionFileInfo>()};
    SelectionRules rules{catalog};
};

TEST(SelectionRules, NodeTogglesKeepTheOldWindowsRules) {
    Scanned s({"TAPE MEDIA\\S\\DOCS\\a.txt", "TAPE MEDIA\\S\\DOCS\\b.txt", "TAPE MEDIA\\S\\E\\INNER\\",
               "TAPE MEDIA\\S\\c.txt"});
    // A folder with no file under it becomes Checked whenever its ancestors are recomputed, even right
    // after the user cleared its sub-folder.
    auto changes = s.rules.ToggleNodeCheck(s.Node("S\\E\\INNER\\"));
    EXPECT_EQ(s.Mark("S\\E\\INNER\\"), U);
    EXPECT_EQ(s.Mark("S\\E\\"), C);
    EXPECT_EQ(changes.nodes, std::vector<NodeId>{s.Node("S\\E\\INNER\\")});
    EXPECT_TRUE(changes.fileRows.empty());
    EXPECT_TRUE(changes.folderListReset);  // the folder list shows the toggled node
    EXPECT_EQ(s.rules.ShownFolder(), s.Node("S\\E\\INNER\\"));

    changes = s.rules.ToggleNodeCheck(s.Node("S\\DOCS\\"));
    EXPECT_EQ(s.Checks(), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(changes.fileRows, (std::vector<RowRange>{{0, 2}}));
    EXPECT_EQ(s.Mark("S\\"), P);
    EXPECT_EQ(s.Mark(""), P);
    // Toggling a Partial node checks it, its subtree and every file under it.
    changes = s.rules.ToggleNodeCheck(s.Node("S\\"));
    EXPECT_EQ(s.Checks(), (std::vector<bool>(3, true)));
    for (const char* path : {"", "S\\", "S\\DOCS\\", "S\\E\\", "S\\E\\INNER\\"})
        EXPECT_EQ(s.Mark(path), C) << path;
    EXPECT_EQ(changes.nodes.size(), 4u);  // all but E, which stayed Checked
}

TEST(SelectionRules, TheShownFolderFollowsItsRows) {
    Scanned s({"TAPE MEDIA\\S\\DOCS\\a.txt", "TAPE MEDIA\\S\\E\\INNER\\", "TAPE MEDIA\\S\\c.txt"});
    s.rules.ShowFolder(s.Node("S\\"));
    ASSERT_EQ(s.rules.FolderRowCount(), 4u);  // "..", DOCS, E, c.txt
    EXPECT_EQ(s.rules.FolderRowName(0), "..");
    EXPECT_EQ(s.rules.FolderRowMark(0), std::nullopt);
    EXPECT_TRUE(s.rules.ToggleRowCheck(0).empty());
    EXPECT_EQ(s.rules.FolderRowName(3), "c.txt");

    // Anything between all and none makes only the folder Partial.
    auto changes = s.rules.ToggleRowCheck(3);
    EXPECT_EQ(s.Mark("S\\"), P);
    EXPECT_EQ(s.Mark("S\\E\\"), C);
    EXPECT_EQ(changes.folderRows, (std::vector<RowRange>{{3, 4}}));
    EXPECT_EQ(changes.nodes, (std::vector<NodeId>{s.Node(""), s.Node("S\\")}));
    s.rules.ToggleRowCheck(1);
    // Clearing the last checked row makes the folder and all its descendants Unchecked.
    changes = s.rules.ToggleRowCheck(2);
    for (const char* path : {"", "S\\", "S\\DOCS\\", "S\\E\\", "S\\E\\INNER\\"})
        EXPECT_EQ(s.Mark(path), U) << path;
    EXPECT_EQ(changes.folderRows, (std::vector<RowRange>{{2, 3}}));
    // Checking the last unchecked row makes them all Checked.
    s.rules.ToggleRowCheck(1);
    s.rules.ToggleRowCheck(2);
    s.rules.ToggleRowCheck(3);
    for (const char* path : {"", "S\\", "S\\DOCS\\", "S\\E\\", "S\\E\\INNER\\"})
        EXPECT_EQ(s.Mark(path), C) << path;
    EXPECT_EQ(s.Checks(), (std::vector<bool>(2, true)));
}

TEST(SelectionRules, UnderMeansBeginningWithTheFullPathAndEachRowStandsForItsOwnFile) {
    Scanned s({"TAPE MEDIA\\BACKUP SET 1(_A)\\D\\x.txt", "TAPE MEDIA\\BACKUP SET 10(_A)\\D\\y.txt",
               "TAPE MEDIA\\BACKUP SET 2()\\BACKUP SET 1(_A)\\D\\z.txt",
               "TAPE MEDIA\\BACKUP SET 1(_A)\\D\\x.txt"});
    // A folder elsewhere that repeats the set's label and sub-folder is neither cleared nor counted.
    s.rules.ToggleNodeCheck(s.Node("BACKUP SET 1(_A)\\D\\"));
    EXPECT_EQ(s.Checks(), (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(s.Mark("BACKUP SET 1(_A)\\"), U);
    EXPECT_EQ(s.Mark(""), P);
    // Two rows with one path: the clicked row's own FileRow changes.
    ASSERT_EQ(s.rules.FolderRowCount(), 3u);
    EXPECT_EQ(s.rules.FolderRowAt(2).fileRow, 3u);
    const auto changes = s.rules.ToggleRowCheck(2);
    EXPECT_EQ(s.Checks(), (std::vector<bool>{false, true, true, true}));
    EXPECT_EQ(changes.fileRows, (std::vector<RowRange>{{3, 4}}));
    EXPECT_EQ(s.rules.FolderRowMark(1), U);
    EXPECT_EQ(s.Mark("BACKUP SET 1(_A)\\D\\"), P);
}

TEST(SelectionRules, MovingThroughTheFolderList) {
    Scanned s({"TAPE MEDIA\\S1\\a.txt", "TAPE MEDIA\\S2\\b.txt"});
    s.rules.ShowFolder(s.Node(""));  // the top node: the sets, no ".." row, no files
    ASSERT_EQ(s.rules.FolderRowCount(), 2u);
    EXPECT_EQ(s.rules.FolderRowAt(1), (FolderRow{FolderRowKind::Folder, s.Node("S2\\"), 0}));
    EXPECT_EQ(s.rules.FindChildFolder("S2"), s.Node("S2\\"));
    EXPECT_TRUE(s.rules.OpenFolderRow(1).folderListReset);
    EXPECT_EQ(s.rules.ShownFolder(), s.Node("S2\\"));
    EXPECT_TRUE(s.rules.OpenFolderRow(1).empty());  // a file row opens nothing
    EXPECT_TRUE(s.rules.OpenFolderRow(0).folderListReset);
    EXPECT_EQ(s.rules.ShownFolder(), s.Node(""));
    EXPECT_TRUE(s.rules.ShowFolder(s.Node("")).empty());  // already shown
}

TEST(SelectionRules, ACheckInTheListOfAllFilesWaitsForTheNextRecompute) {
    Scanned s({"TAPE MEDIA\\S\\a.txt", "TAPE MEDIA\\S\\b.txt"});
    s.rules.ShowFolder(s.Node("S\\"));
    auto changes = s.rules.SetFileRowCheck(1, false);
    EXPECT_TRUE(changes.nodes.empty());
    EXPECT_EQ(s.Mark("S\\"), C);
    EXPECT_EQ(changes.fileRows, (std::vector<RowRange>{{1, 2}}));
    EXPECT_EQ(changes.folderRows, (std::vector<RowRange>{{2, 3}}));  // the row that shows it
    EXPECT_EQ(s.rules.FolderRowMark(2), U);
    EXPECT_EQ(s.rules.CheckedFileCount(), 1u);
    changes = s.rules.UpdateAncestors(s.Node("S\\"));
    EXPECT_EQ(s.Mark(""), P);
    EXPECT_EQ(s.Mark("S\\"), C);  // the node itself is not recomputed
}

TEST(SelectionRules, RowsComingBeforeTheirFoldersFindThemLater) {
    Catalog catalog(std::make_shared<catalog::ExtensionFileInfo>());
    SelectionRules rules(catalog);
    GrowthLog log;
    catalog.AppendRow("TAPE MEDIA\\S\\A\\B\\README", FoundFile{}, &log);  // no node made for it
    catalog.InsertPath("TAPE MEDIA\\S\\A\\x.txt", &log);
    catalog.AppendRow("TAPE MEDIA\\S\\A\\x.txt", FoundFile{}, &log);
    for (const auto& event : log.events) {
        event.node ? rules.NodeAdded(static_cast<NodeId>(event.index)) : rules.RowAdded(event.index);
    }
    const NodeId a = catalog.InsertPath("TAPE MEDIA\\S\\A\\");
    EXPECT_EQ(rules.FilesUnder(a), 2u);
    rules.ShowFolder(a);
    ASSERT_EQ(rules.FolderRowCount(), 2u);  // "..", x.txt
    // A file name with a backslash makes a folder B, and its row lies in it.
    const NodeId b = catalog.node(catalog.InsertPath("TAPE MEDIA\\S\\A\\B\\c\\d.txt")).parent;
    catalog.AppendRow("TAPE MEDIA\\S\\A\\B\\c\\d.txt", FoundFile{});
    catalog.AppendRow("TAPE MEDIA\\S\\A\\y", FoundFile{});
    const auto changes = rules.CatchUp(catalog.nodeCount(), catalog.rowCount());
    EXPECT_EQ(changes.folderRowsInserted, (std::vector<RowRange>{{1, 2}, {3, 4}}));  // B, then y
    EXPECT_EQ(rules.FilesUnder(b), 2u);
    EXPECT_EQ(rules.FilesUnder(rules.Parent(a)), 4u);
    rules.FinishScan();
    rules.ShowFolder(b);
    ASSERT_EQ(rules.FolderRowCount(), 3u);  // "..", c, README
    EXPECT_EQ(rules.FolderRowName(2), "README");
    rules.ToggleNodeCheck(b);
    EXPECT_FALSE(catalog.row(0).checked());
    EXPECT_FALSE(catalog.row(2).checked());
    EXPECT_TRUE(catalog.row(1).checked());
}

}  // namespace
}  // namespace ostrum::selection
