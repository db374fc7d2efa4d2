// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The selection rules written as plain walks over every FileRow for every question, with marks kept in
// arrays of their own: the yardstick of the selection tests and the baseline of the selection benchmark.
// A FileRow lies under a node when its CatalogPath begins with the node's full path; a file row of the
// folder list stands for its own FileRow; folder-list marks follow a change made in the list of all files
// and the end of a scan.

#include <algorithm>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "selection/selection_rules.h"

namespace ostrum::selection::testing {

class ReferenceSelection {
  public:
    struct Row {
        FolderRowKind kind;
        NodeId node;
        std::size_t fileRow;
        std::string name;
        CheckState mark;
    };

    explicit ReferenceSelection(const catalog::Catalog& catalog) : catalog_(catalog) { Grow(); }

    // Takes in what the catalog holds now; a shown folder is shown afresh, as the live list would be.
    void Grow() {
        marks.resize(catalog_.nodeCount(), CheckState::Unchecked);
        checks.resize(catalog_.rowCount(), false);
        if (shown != kNoNode) ShowFolder(shown);
    }

    std::vector<NodeId> Children(NodeId node) const {
        return node == kNoNode ? catalog_.roots() : catalog_.node(node).children;
    }

    std::string GetItemPath(NodeId node) const {
        std::string path;
        for (NodeId at = node; catalog_.node(at).parent != kNoNode; at = catalog_.node(at).parent) {
            path.insert(0, catalog_.node(at).text + "\\");
        }
        return path;
    }
    std::string Full(NodeId node) const { return std::string(catalog::kMediaRootPrefix) + GetItemPath(node); }

    void ShowFolder(NodeId node) {
        shown = node;
        list.clear();
        const NodeId parent = catalog_.node(node).parent;
        if (parent != kNoNode) list.push_back({FolderRowKind::Up, parent, 0, "..", CheckState::Unchecked});
        for (NodeId child : Children(node)) {
            list.push_back({FolderRowKind::Folder, child, 0, catalog_.node(child).text, marks[child]});
        }
        const std::string full = Full(node);
        for (std::size_t row = 0; row < checks.size(); ++row) {
            const std::string path = catalog_.row(row).path().str();
            if (path.starts_with(full) && path.find('\\', full.size()) == std::string_view::npos) {
                list.push_back({FolderRowKind::File, kNoNode, row, std::string(path.substr(full.size())),
                                checks[row] ? CheckState::Checked : CheckState::Unchecked});
            }
        }
    }

    void ToggleNodeCheck(NodeId node) {
        ShowFolder(node);
        const bool checked = marks[node] != CheckState::Checked;
        const CheckState state = checked ? CheckState::Checked : CheckState::Unchecked;
        SetSubtreeCheck(node, state);
        for (auto& row : list) {
            if (row.kind != FolderRowKind::Up) row.mark = state;
        }
        SetFoundFilesUnder(node, checked);
        UpdateAncestors(node);
    }

    void SetSubtreeCheck(NodeId node, CheckState state) {
        marks[node] = state;
        for (NodeId child : Children(node)) SetSubtreeCheck(child, state);
    }

    void SetFoundFilesUnder(NodeId node, bool checked) {
        const std::string full = Full(node);
        for (std::size_t row = 0; row < checks.size(); ++row) {
            if (catalog_.row(row).path().starts_with(full)) checks[row] = checked;
        }
    }

    bool AllFilesUnder(NodeId node, bool checked) const {
        const std::string full = Full(node);
        for (std::size_t row = 0; row < checks.size(); ++row) {
            if (catalog_.row(row).path().starts_with(full) && checks[row] != checked) return false;
        }
        return true;
    }

    void UpdateAncestors(NodeId node) {
        for (NodeId at = catalog_.node(node).parent; at != kNoNode; at = catalog_.node(at).parent)
            Recompute(at);
    }

    void Recompute(NodeId node) {
        if (AllFilesUnder(node, true)) {
            marks[node] = CheckState::Checked;
            SetFoundFilesUnder(node, true);
        } else if (AllFilesUnder(node, false)) {
            marks[node] = CheckState::Unchecked;
            SetFoundFilesUnder(node, false);
        } else {
            marks[node] = CheckState::Partial;
        }
    }

    void ToggleRowCheck(std::size_t index) {
        Row& row = list[index];
        if (row.kind == FolderRowKind::Up) return;
        const bool checked = row.mark != CheckState::Checked;
        row.mark = checked ? CheckState::Checked : CheckState::Unchecked;
        if (row.kind == FolderRowKind::Folder) {
            if (const NodeId child = FindChildFolder(row.name); child != kNoNode) {
                SetFoundFilesUnder(child, checked);
                SetSubtreeCheck(child, row.mark);
                UpdateAncestors(child);
            }
        } else {
            SetFoundFileCheck(index, checked);
        }
        UpdateShownFolder();
    }

    void UpdateShownFolder() {
        const auto rows =
            std::count_if(list.begin(), list.end(), [](const Row& r) { return r.kind != FolderRowKind::Up; });
        const auto count = [&](CheckState state) {
            return std::count_if(list.begin(), list.end(), [&](const Row& r) {
                return r.kind != FolderRowKind::Up && r.mark == state;
            });
        };
        if (count(CheckState::Checked) == rows) {
            SetSubtreeCheck(shown, CheckState::Checked);
        } else if (count(CheckState::Unchecked) == rows) {
            SetSubtreeCheck(shown, CheckState::Unchecked);
        } else {
            marks[shown] = CheckState::Partial;
        }
        UpdateAncestors(shown);
    }

    void SetFoundFileCheck(std::size_t index, bool checked) { checks[list[index].fileRow] = checked; }

    NodeId FindChildFolder(std::string_view name) const {
        for (NodeId child : Children(shown)) {
            if (catalog_.node(child).text == name) return child;
        }
        return kNoNode;
    }

    void OpenFolderRow(std::size_t index) {
        const Row& row = list[index];
        if (index == 0 && row.kind == FolderRowKind::Up) {
            ShowFolder(row.node);
        } else if (row.kind == FolderRowKind::Folder) {
            if (const NodeId child = FindChildFolder(row.name); child != kNoNode) ShowFolder(child);
        }
    }

    // A check changed in the list of all files: the FileRow, and the folder-list rows that show it.
    void SetFileRowCheck(std::size_t fileRow, bool checked) {
        checks[fileRow] = checked;
        Mirror();
    }

    // "Tick All Shown" or "Untick All Shown": the rows, then every node that a row whose check changed
    // lies under, recomputed; the folder-list rows follow.
    void SetFileRowChecks(const std::vector<std::uint32_t>& rows, bool checked) {
        std::vector<std::string> changed;
        for (std::uint32_t row : rows) {
            if (checks[row] == checked) continue;
            checks[row] = checked;
            changed.push_back(catalog_.row(row).path().str());
        }
        for (NodeId node = 0; node < marks.size(); ++node) {
            const std::string full = Full(node);
            if (std::any_of(changed.begin(), changed.end(),
                            [&](const std::string& path) { return path.starts_with(full); })) {
                Recompute(node);
            }
        }
        Mirror();
    }

    void FinishScan() {
        std::fill(marks.begin(), marks.end(), CheckState::Checked);
        std::fill(checks.begin(), checks.end(), true);
        Mirror();
    }

    // The folder-list rows show their nodes' marks and their FileRows' checks again; after a rule called
    // on its own, outside the clicks that keep them in step.
    void Mirror() {
        for (auto& row : list) {
            if (row.kind == FolderRowKind::Folder) row.mark = marks[row.node];
            if (row.kind == FolderRowKind::File)
                row.mark = checks[row.fileRow] ? CheckState::Checked : CheckState::Unchecked;
        }
    }

    std::vector<CheckState> marks;
    std::vector<bool> checks;
    NodeId shown = kNoNode;
    std::vector<Row> list;

  private:
    const catalog::Catalog& catalog_;
};

}  // namespace ostrum::selection::testing
