// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tri-state selection over a catalog: the marks of the tree's nodes, the content and marks of the
// folder list, and the checks of the FileRows, kept in step by the rules the recovery window applies on
// every click. No widgets: the window's models read from here and announce what each rule reports.
//
// The checks of the FileRows are the selection (saving reads them); node marks and folder-list marks are
// views of it. A node is Checked when every file under it is checked, Unchecked when none is, Partial
// otherwise, as far as the rules recompute it. A file is "under" a node when its CatalogPath begins with
// the node's full path, and "directly in" it when no backslash follows that prefix.
//
// Cost: the index keeps, per folder, the rows lying directly in it (as runs of consecutive row numbers:
// well under a byte per file when a folder's files come together, as a scan finds them, and 8 bytes when
// every file starts a run) and per-subtree counts of files and of checked files. A click costs
// time in proportion to the rows and nodes whose marks it changes (and the depth of the node), never to
// the size of the catalog; ShowFolder walks nothing, the folder list is read row by row from the index.
//
// How a window uses it (everything on the window's thread):
//   - While a scan runs, tell it of every node and row the window has been given, in the order they were
//     made: NodeAdded(id) and RowAdded(row), or CatchUp(nodeCount, rowCount) after each batch. A row may
//     come before the folder node it lies in; the node may come later (or never). Marks stay as they are.
//   - When the scan ends, call FinishScan() (instead of changing marks in the catalog directly): every
//     node Checked, every row checked. Marks change only through this object from then on, so that its
//     counts stay true; the catalog's node states and row checks are read by everybody else as before.
//   - The tree model reads Children(), Parent(), IndexInParent() and Mark(); the folder-list model reads
//     ShownFolder(), FolderRowCount(), FolderRowAt(), FolderRowMark() and FolderRowName(); the found-files
//     model reads the catalog's rows. The window refuses mark changes while a scan runs (its message);
//     the rules do not look at the scan.
//   - Every rule returns a SelectionChanges: announce dataChanged for exactly those nodes, file rows and
//     folder-list rows; reset the folder-list model when folderListReset is set (then select ShownFolder()
//     in the tree); insert folder-list rows for folderRowsInserted (only the feed reports those).
//
// The rules, as users of the recovery window know them:
//   - toggling a node: the folder list shows it, it and its subtree become Checked (from Unchecked or
//     Partial) or Unchecked (from Checked), so do all files under it, then its ancestors are recomputed
//     from the files;
//   - recomputing an ancestor: Checked if no file under it is unchecked (so a folder with no file under
//     it becomes Checked), else Unchecked if none is checked, else Partial; the node itself is never
//     recomputed;
//   - a folder-list click changes the row's folder (subtree and files) or its own FileRow, then the shown
//     folder F follows its rows: all Checked makes F's subtree Checked, all Unchecked makes it Unchecked,
//     anything else makes F alone Partial; then F's ancestors are recomputed;
//   - a check changed in the list of all files (SetFileRowCheck) changes that FileRow, and the folder-list
//     row that shows it, but no node mark until the next recompute reaches them;
//   - "Tick All Shown" and "Untick All Shown" there (SetFileRowChecks) change the given FileRows, then
//     recompute, each once, the folders holding the rows that changed (the deepest told node above a row)
//     and their ancestors: a cost in proportion to the rows and those nodes.
// Folder-list marks are not stored: a folder row shows its node's mark, a file row its own FileRow's
// check (of two rows with the same path, each stands for its own FileRow).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalog/catalog.h"

namespace ostrum::selection {

using catalog::CheckState;
using catalog::kNoNode;
using catalog::NodeId;

// Half-open range of row numbers [begin, end).
struct RowRange {
    std::size_t begin = 0;
    std::size_t end = 0;
    friend bool operator==(const RowRange&, const RowRange&) = default;
};

// What one rule changed.
struct SelectionChanges {
    std::vector<NodeId> nodes;         // tree nodes whose mark changed, ascending, each once
    std::vector<RowRange> fileRows;    // FoundFilesList rows whose check changed: ascending, apart
    bool folderListReset = false;      // the folder list shows another folder now: read it afresh
    std::vector<RowRange> folderRows;  // folder-list rows whose mark changed (none when reset)
    // Folder-list rows that a scan inserted into the shown folder, in the order they were made: each range
    // is numbered as the list stood after the ranges before it.
    std::vector<RowRange> folderRowsInserted;

    std::size_t FileRowCount() const;
    bool empty() const;
};

enum class FolderRowKind : std::uint8_t { Up, Folder, File };

// One row of the folder list.
struct FolderRow {
    FolderRowKind kind = FolderRowKind::File;
    NodeId node = kNoNode;    // Up: the shown folder's parent; Folder: the sub-folder
    std::size_t fileRow = 0;  // File: the FileRow the row stands for
    friend bool operator==(const FolderRow&, const FolderRow&) = default;
};

class SelectionRules {
  public:
    explicit SelectionRules(catalog::Catalog& catalog);
    SelectionRules(const SelectionRules&) = delete;
    SelectionRules& operator=(const SelectionRules&) = delete;

    // ---- Feed: nodes and rows the window has been given (the catalog must hold them). NodeAdded also
    // takes every earlier node not told yet, RowAdded every earlier row; calls for ones already told
    // change nothing. Only the rows and the text, parent and mark of these nodes are read.
    SelectionChanges NodeAdded(NodeId node);
    SelectionChanges RowAdded(std::size_t row);
    // Nodes below nodeCount, then rows below rowCount.
    SelectionChanges CatchUp(std::size_t nodeCount, std::size_t rowCount);
    std::size_t NodeCount() const { return entries_.size(); }
    std::size_t RowCount() const { return rowCount_; }
    // The end of a scan: every node Checked and every row checked (expansion is the tree view's).
    SelectionChanges FinishScan();

    // ---- The tree, as told so far.
    const std::vector<NodeId>& Children(NodeId parent) const;  // kNoNode: the top-level nodes
    NodeId Parent(NodeId node) const { return entries_[node].parent; }
    std::size_t IndexInParent(NodeId node) const { return entries_[node].indexInParent; }
    CheckState Mark(NodeId node) const { return catalog_.node(node).state; }
    std::uint64_t FilesUnder(NodeId node) const { return Entry(node).filesUnder; }
    std::uint64_t CheckedFilesUnder(NodeId node) const { return Entry(node).checkedUnder; }
    std::uint64_t CheckedFileCount() const { return top_.checkedUnder; }

    // The texts of the node's ancestors below the top-level node and its own, each followed by "\"; empty
    // for a top-level node. The full path is "TAPE MEDIA\" followed by it.
    std::string GetItemPath(NodeId node) const;

    // ---- Node rules.
    SelectionChanges ToggleNodeCheck(NodeId node);
    // The node and all its descendants; no FileRow changes.
    SelectionChanges SetSubtreeCheck(NodeId node, CheckState state);
    SelectionChanges UpdateAncestors(NodeId node);
    SelectionChanges SetFoundFilesUnder(NodeId node, bool checked);
    bool AllFilesUnderChecked(NodeId node) const;    // true when no file under it is unchecked
    bool AllFilesUnderUnchecked(NodeId node) const;  // true when no file under it is checked

    // ---- The folder list: the ".." row (when the folder has a parent), one row per sub-folder in tree
    // order, one row per FileRow directly in the folder in FoundFilesList order.
    SelectionChanges ShowFolder(NodeId node);  // kNoNode: the list shows nothing
    NodeId ShownFolder() const { return folderList_.shown(); }
    // The readers take a row below FolderRowCount(), the tree's readers a node below NodeCount(); the
    // rules ignore numbers out of range.
    std::size_t FolderRowCount() const { return folderList_.RowCount(); }
    FolderRow FolderRowAt(std::size_t row) const { return folderList_.RowAt(row); }
    // None for "..".
    std::optional<CheckState> FolderRowMark(std::size_t row) const { return folderList_.RowMark(row); }
    // "..", the folder's or the file's name.
    std::string_view FolderRowName(std::size_t row) const { return folderList_.RowName(row); }

    // A click on a row's box (nothing for ".."). Its new mark is Unchecked from Checked, else Checked.
    SelectionChanges ToggleRowCheck(std::size_t row);
    // The shown folder follows its rows' marks, then its ancestors are recomputed.
    SelectionChanges UpdateShownFolder();
    // The FileRow a file row stands for gets the check.
    SelectionChanges SetFoundFileCheck(std::size_t row, bool checked);
    // The shown folder's child named so, or kNoNode.
    NodeId FindChildFolder(std::string_view name) const;
    // ".." shows the parent, a folder row its folder; a file row nothing.
    SelectionChanges OpenFolderRow(std::size_t row);

    // ---- The list of all files: one FileRow's check changed there.
    SelectionChanges SetFileRowCheck(std::size_t fileRow, bool checked);
    // Many FileRows get the check at once (the rows a filter shows: ascending; rows not told are passed
    // over), then the folders holding those that changed, and their ancestors, are recomputed.
    SelectionChanges SetFileRowChecks(std::span<const std::uint32_t> fileRows, bool checked);

  private:
    using GroupId = std::uint32_t;
    static constexpr GroupId kNoGroup = UINT32_MAX;
    struct Run {
        std::uint32_t firstRow;  // catalog row of the run's first file
        std::uint32_t start;     // its place among the group's files
    };
    // The rows of one directory text (a CatalogPath up to its last backslash).
    struct Group {
        const std::string* directory = nullptr;  // key in groups_
        NodeId anchor = kNoNode;                 // deepest told node whose full path begins the directory
        bool exact = false;                      // the anchor's full path is the directory itself
        std::uint32_t pendingSlot = 0;           // place in the anchor's pending list when not exact
        std::uint32_t total = 0;
        std::uint32_t checked = 0;
        std::vector<Run> runs;
    };
    struct NodeEntry {
        NodeId parent = kNoNode;
        std::uint32_t indexInParent = 0;
        std::uint32_t pathLength = 0;  // of the full path
        GroupId exact = kNoGroup;      // the files directly in this folder
        std::vector<NodeId> children;
        std::vector<GroupId> pending;  // groups of deeper folders not told yet, counted here
        std::uint64_t filesUnder = 0;
        std::uint64_t checkedUnder = 0;
        std::uint32_t checkedChildren = 0;
        std::uint32_t uncheckedChildren = 0;
        std::uint32_t stamp = 0;  // the operation that last recorded this node's old mark
    };
    class Operation;
    // The folder list: the rows of the shown folder, read from the index (the folder's node, its children
    // and the runs of the files directly in it) whenever asked; nothing is stored per row.
    class FolderList {
      public:
        explicit FolderList(const SelectionRules& rules) : rules_(rules) {}
        NodeId shown() const { return shown_; }
        // Shows another folder; false when it shows this one already.
        bool Show(NodeId node);
        std::size_t UpRows() const;      // the ".." row: 1 when the shown folder has a parent
        std::size_t FilesStart() const;  // the row of the first file, after ".." and the sub-folders
        std::size_t RowCount() const;
        FolderRow RowAt(std::size_t row) const;
        std::optional<CheckState> RowMark(std::size_t row) const;
        std::string_view RowName(std::size_t row) const;
        // Adds to changes.folderRows the rows showing its changed nodes and FileRows.
        void FindChangedRows(SelectionChanges& changes) const;

      private:
        const SelectionRules& rules_;
        NodeId shown_ = kNoNode;
    };
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };

    NodeEntry& Entry(NodeId node) { return node == kNoNode ? top_ : entries_[node]; }
    const NodeEntry& Entry(NodeId node) const { return node == kNoNode ? top_ : entries_[node]; }
    bool Told(NodeId node) const { return node < entries_.size(); }
    NodeId FindChild(NodeId parent, std::string_view text) const;
    std::string_view DirectoryOf(std::size_t row) const;
    GroupId GroupOf(std::size_t row) const;
    std::uint32_t RunLength(const Group& group, std::size_t run) const;
    std::optional<std::size_t> FolderPositionOfFile(std::size_t fileRow) const;

    void AddNode(Operation& op);
    void AddRow(Operation& op);
    GroupId MakeGroup(std::string_view directory);
    void Wait(GroupId group, NodeId anchor, std::string_view nextComponent);
    void AddToChain(NodeId from, std::int64_t files, std::int64_t checked);

    void SetState(Operation& op, NodeId node, CheckState state);
    void SetSubtree(Operation& op, NodeId node, CheckState state);
    void SetGroupChecks(Operation& op, Group& group, bool checked);
    std::int64_t SetFilesBelow(Operation& op, NodeId node, bool checked);
    void SetFilesUnder(Operation& op, NodeId node, bool checked);
    void SetOneRow(Operation& op, std::size_t fileRow, bool checked);
    void Recompute(Operation& op, NodeId node);
    void RecomputeAncestors(Operation& op, NodeId node);
    void AddToChains(Operation& op, const std::vector<std::pair<NodeId, std::int64_t>>& changes);
    void FollowRows(Operation& op);
    void Show(Operation& op, NodeId node);
    template <typename Rule>
    SelectionChanges OnNode(NodeId node, Rule rule);

    catalog::Catalog& catalog_;
    std::vector<NodeEntry> entries_;
    NodeEntry top_;  // above the top-level nodes: their parent, and the count of every file
    std::size_t rowCount_ = 0;
    std::vector<Group> groupList_;
    std::unordered_map<std::string, GroupId, TextHash, std::equal_to<>> groups_;  // directory text -> group
    std::unordered_map<std::string, NodeId> childOf_;                // parent id bytes + text -> child
    std::unordered_map<std::string, std::vector<GroupId>> waiting_;  // parent id bytes + text -> groups
    GroupId lastGroup_ = kNoGroup;  // the group of the last row told: rows of one folder come together
    FolderList folderList_{*this};
    std::uint32_t stamp_ = 0;
};

}  // namespace ostrum::selection
