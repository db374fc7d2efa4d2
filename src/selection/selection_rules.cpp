// SPDX-License-Identifier: GPL-3.0-or-later
#include "selection/selection_rules.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace ostrum::selection {
namespace {

std::string ChildKey(NodeId parent, std::string_view text) {
    std::string key(sizeof parent, '\0');
    std::memcpy(key.data(), &parent, sizeof parent);
    key.append(text);
    return key;
}

// Sorts ranges and joins those that touch or overlap.
void Normalise(std::vector<RowRange>& ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const RowRange& a, const RowRange& b) { return a.begin < b.begin; });
    std::size_t kept = 0;
    for (const RowRange& range : ranges) {
        if (kept > 0 && range.begin <= ranges[kept - 1].end) {
            ranges[kept - 1].end = std::max(ranges[kept - 1].end, range.end);
        } else {
            ranges[kept++] = range;
        }
    }
    ranges.resize(kept);
}

void Extend(std::vector<RowRange>& ranges, std::size_t row) {
    if (!ranges.empty() && ranges.back().end == row) {
        ++ranges.back().end;
    } else {
        ranges.push_back({row, row + 1});
    }
}

}  // namespace

std::size_t SelectionChanges::FileRowCount() const {
    std::size_t count = 0;
    for (const RowRange& range : fileRows) count += range.end - range.begin;
    return count;
}

bool SelectionChanges::empty() const {
    return nodes.empty() && fileRows.empty() && !folderListReset && folderRows.empty() &&
           folderRowsInserted.empty();
}

// One public rule in progress: remembers each node's mark before the rule first changed it and the rows
// it changed, and turns them into the SelectionChanges at the end.
class SelectionRules::Operation {
  public:
    explicit Operation(SelectionRules& rules) : rules_(rules) {
        if (++rules.stamp_ == 0) {  // the stamps wrapped: none may look recorded
            for (auto& entry : rules.entries_) entry.stamp = 0;
            rules.stamp_ = 1;
        }
    }

    void NodeChanging(NodeId node, CheckState old) {
        auto& entry = rules_.entries_[node];
        if (entry.stamp == rules_.stamp_) return;
        entry.stamp = rules_.stamp_;
        before_.push_back({node, old});
    }
    void RowChanged(std::size_t row) { Extend(changes.fileRows, row); }
    void FolderRowInserted(std::size_t row) { Extend(changes.folderRowsInserted, row); }

    SelectionChanges Finish() {
        for (const auto& [node, old] : before_) {
            if (rules_.Mark(node) != old) changes.nodes.push_back(node);
        }
        std::sort(changes.nodes.begin(), changes.nodes.end());
        Normalise(changes.fileRows);
        if (!changes.folderListReset) rules_.folderList_.FindChangedRows(changes);
        return std::move(changes);
    }

    SelectionChanges changes;

  private:
    SelectionRules& rules_;
    std::vector<std::pair<NodeId, CheckState>> before_;
};

SelectionRules::SelectionRules(catalog::Catalog& catalog) : catalog_(catalog) {}

// ---- Feed

SelectionChanges SelectionRules::NodeAdded(NodeId node) {
    return CatchUp(std::size_t{node} + 1, rowCount_);
}

SelectionChanges SelectionRules::RowAdded(std::size_t row) {
    return CatchUp(entries_.size(), row + 1);
}

SelectionChanges SelectionRules::CatchUp(std::size_t nodeCount, std::size_t rowCount) {
    // The catalog's own counts are not read: a scan may be growing them on another thread.
    Operation op(*this);
    while (entries_.size() < nodeCount) AddNode(op);
    while (rowCount_ < rowCount) AddRow(op);
    return op.Finish();
}

void SelectionRules::AddNode(Operation& op) {
    const auto id = static_cast<NodeId>(entries_.size());
    const catalog::CatalogNode& node = catalog_.node(id);
    entries_.emplace_back();
    NodeEntry& entry = entries_.back();
    NodeEntry& parent = Entry(node.parent);
    entry.parent = node.parent;
    entry.indexInParent = static_cast<std::uint32_t>(parent.children.size());
    entry.pathLength = parent.pathLength + static_cast<std::uint32_t>(node.text.size()) + 1;
    parent.children.push_back(id);
    parent.checkedChildren += node.state == CheckState::Checked;
    parent.uncheckedChildren += node.state == CheckState::Unchecked;
    std::string key = ChildKey(node.parent, node.text);
    const NodeId shown = folderList_.shown();
    if (shown != kNoNode && node.parent == shown)
        op.FolderRowInserted(folderList_.UpRows() + entry.indexInParent);

    // Rows that came before this folder and lie in it or below it move down to it. They are counted in
    // the parent and above already.
    if (auto waiting = waiting_.find(key); waiting != waiting_.end()) {
        const std::vector<GroupId> arrived = std::move(waiting->second);
        waiting_.erase(waiting);  // before Wait() adds to the map
        for (GroupId waitingGroup : arrived) {
            Group& group = groupList_[waitingGroup];
            const GroupId moved = parent.pending.back();
            parent.pending[group.pendingSlot] = moved;
            groupList_[moved].pendingSlot = group.pendingSlot;
            parent.pending.pop_back();
            entry.filesUnder += group.total;
            entry.checkedUnder += group.checked;
            const std::string_view directory = *group.directory;
            if (directory.size() == entry.pathLength) {
                entry.exact = waitingGroup;
                group.anchor = id;
                group.exact = true;
            } else {
                const auto end = directory.find('\\', entry.pathLength);
                Wait(waitingGroup, id, directory.substr(entry.pathLength, end - entry.pathLength));
            }
        }
    }
    childOf_.emplace(std::move(key), id);
}

void SelectionRules::AddRow(Operation& op) {
    if (rowCount_ >= UINT32_MAX) throw std::length_error("too many files for the selection index");
    const std::size_t row = rowCount_;
    const std::string_view directory = DirectoryOf(row);
    GroupId id = lastGroup_;
    if (id == kNoGroup || *groupList_[id].directory != directory) {
        const auto found = groups_.find(directory);
        id = found != groups_.end() ? found->second : MakeGroup(directory);
        lastGroup_ = id;
    }
    Group& group = groupList_[id];
    const bool extendsRun =
        !group.runs.empty() && group.runs.back().firstRow + RunLength(group, group.runs.size() - 1) == row;
    if (!extendsRun) group.runs.push_back({static_cast<std::uint32_t>(row), group.total});
    ++group.total;
    const bool checked = catalog_.row(row).checked();
    group.checked += checked;
    AddToChain(group.anchor, 1, checked);
    ++rowCount_;
    if (group.exact && group.anchor == folderList_.shown() && folderList_.shown() != kNoNode) {
        op.FolderRowInserted(folderList_.FilesStart() + group.total - 1);
    }
}

SelectionRules::GroupId SelectionRules::MakeGroup(std::string_view directory) {
    const auto id = static_cast<GroupId>(groupList_.size());
    groupList_.emplace_back();
    groupList_.back().directory = &groups_.emplace(std::string(directory), id).first->first;
    // Walk down the told nodes along the directory's components; stop at the first one not told yet.
    NodeId node = kNoNode;
    for (std::size_t start = 0; start < directory.size();) {
        const auto end = directory.find('\\', start);
        const std::string_view component = directory.substr(start, end - start);
        const NodeId child = FindChild(node, component);
        if (child == kNoNode) {
            Wait(id, node, component);
            return id;
        }
        node = child;
        start = end + 1;
    }
    Entry(node).exact = id;
    groupList_[id].anchor = node;
    groupList_[id].exact = true;
    return id;
}

void SelectionRules::Wait(GroupId id, NodeId anchor, std::string_view nextComponent) {
    Group& group = groupList_[id];
    NodeEntry& entry = Entry(anchor);
    group.anchor = anchor;
    group.exact = false;
    group.pendingSlot = static_cast<std::uint32_t>(entry.pending.size());
    entry.pending.push_back(id);
    waiting_[ChildKey(anchor, nextComponent)].push_back(id);
}

void SelectionRules::AddToChain(NodeId from, std::int64_t files, std::int64_t checked) {
    for (NodeId node = from;; node = Entry(node).parent) {
        NodeEntry& entry = Entry(node);
        entry.filesUnder += files;
        entry.checkedUnder += checked;
        if (node == kNoNode) break;
    }
}

SelectionChanges SelectionRules::FinishScan() {
    Operation op(*this);
    for (NodeId node = 0; node < entries_.size(); ++node) SetState(op, node, CheckState::Checked);
    SetFilesBelow(op, kNoNode, true);
    for (Group& group : groupList_) group.runs.shrink_to_fit();  // no more rows come
    return op.Finish();
}

// ---- Reading

const std::vector<NodeId>& SelectionRules::Children(NodeId parent) const {
    return Entry(parent).children;
}

NodeId SelectionRules::FindChild(NodeId parent, std::string_view text) const {
    const auto found = childOf_.find(ChildKey(parent, text));
    return found == childOf_.end() ? kNoNode : found->second;
}

std::string_view SelectionRules::DirectoryOf(std::size_t row) const {
    return catalog_.row(row).path().folder;
}

SelectionRules::GroupId SelectionRules::GroupOf(std::size_t row) const {
    return groups_.find(DirectoryOf(row))->second;
}

std::uint32_t SelectionRules::RunLength(const Group& group, std::size_t run) const {
    const std::uint32_t end = run + 1 < group.runs.size() ? group.runs[run + 1].start : group.total;
    return end - group.runs[run].start;
}

std::string SelectionRules::GetItemPath(NodeId node) const {
    if (!Told(node)) return {};
    std::vector<NodeId> chain;
    for (NodeId at = node; Parent(at) != kNoNode; at = Parent(at)) chain.push_back(at);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += catalog_.node(*it).text;
        path += '\\';
    }
    return path;
}

bool SelectionRules::AllFilesUnderChecked(NodeId node) const {
    return Told(node) && Entry(node).checkedUnder == Entry(node).filesUnder;
}

bool SelectionRules::AllFilesUnderUnchecked(NodeId node) const {
    return Told(node) && Entry(node).checkedUnder == 0;
}

// ---- Marks

void SelectionRules::SetState(Operation& op, NodeId node, CheckState state) {
    CheckState& mark = catalog_.node(node).state;
    if (mark == state) return;
    op.NodeChanging(node, mark);
    NodeEntry& parent = Entry(Parent(node));
    parent.checkedChildren += (state == CheckState::Checked) - (mark == CheckState::Checked);
    parent.uncheckedChildren += (state == CheckState::Unchecked) - (mark == CheckState::Unchecked);
    mark = state;
}

void SelectionRules::SetSubtree(Operation& op, NodeId node, CheckState state) {
    std::vector<NodeId> stack{node};
    while (!stack.empty()) {
        const NodeId at = stack.back();
        stack.pop_back();
        SetState(op, at, state);
        const auto& children = entries_[at].children;
        stack.insert(stack.end(), children.begin(), children.end());
    }
}

void SelectionRules::SetGroupChecks(Operation& op, Group& group, bool checked) {
    if (group.checked == (checked ? group.total : 0)) return;
    for (std::size_t run = 0; run < group.runs.size(); ++run) {
        const std::size_t first = group.runs[run].firstRow;
        const std::size_t end = first + RunLength(group, run);
        for (std::size_t row = first; row < end; ++row) {
            if (catalog_.row(row).checked() == checked) continue;
            catalog_.SetChecked(row, checked);
            op.RowChanged(row);
        }
    }
    group.checked = checked ? group.total : 0;
}

// Sets every file under the node, passing over subtrees that already hold the check; returns by how much
// the node's count of checked files changed.
std::int64_t SelectionRules::SetFilesBelow(Operation& op, NodeId node, bool checked) {
    NodeEntry& entry = Entry(node);
    const std::uint64_t target = checked ? entry.filesUnder : 0;
    if (entry.checkedUnder == target) return 0;
    const auto delta = static_cast<std::int64_t>(target) - static_cast<std::int64_t>(entry.checkedUnder);
    if (entry.exact != kNoGroup) SetGroupChecks(op, groupList_[entry.exact], checked);
    for (GroupId id : entry.pending) SetGroupChecks(op, groupList_[id], checked);
    for (NodeId child : entry.children) SetFilesBelow(op, child, checked);
    entry.checkedUnder = target;
    return delta;
}

void SelectionRules::SetFilesUnder(Operation& op, NodeId node, bool checked) {
    const std::int64_t delta = SetFilesBelow(op, node, checked);
    if (delta != 0) AddToChain(Parent(node), 0, delta);
}

void SelectionRules::SetOneRow(Operation& op, std::size_t fileRow, bool checked) {
    if (catalog_.row(fileRow).checked() == checked) return;
    catalog_.SetChecked(fileRow, checked);
    op.RowChanged(fileRow);
    Group& group = groupList_[GroupOf(fileRow)];
    const int delta = checked ? 1 : -1;
    group.checked += delta;
    AddToChain(group.anchor, 0, delta);
}

void SelectionRules::Recompute(Operation& op, NodeId node) {
    if (AllFilesUnderChecked(node)) {
        SetState(op, node, CheckState::Checked);
        SetFilesUnder(op, node, true);
    } else if (AllFilesUnderUnchecked(node)) {
        SetState(op, node, CheckState::Unchecked);
        SetFilesUnder(op, node, false);
    } else {
        SetState(op, node, CheckState::Partial);
    }
}

void SelectionRules::RecomputeAncestors(Operation& op, NodeId node) {
    for (NodeId at = Parent(node); at != kNoNode; at = Parent(at)) Recompute(op, at);
}

// The shown folder takes the mark its rows agree on (Partial when they do not), then its ancestors are
// recomputed from the files.
void SelectionRules::FollowRows(Operation& op) {
    const NodeId shown = folderList_.shown();
    if (shown == kNoNode) return;
    const NodeEntry& entry = Entry(shown);
    std::uint64_t rows = entry.children.size();
    std::uint64_t checked = entry.checkedChildren;
    std::uint64_t unchecked = entry.uncheckedChildren;
    if (entry.exact != kNoGroup) {
        const Group& files = groupList_[entry.exact];
        rows += files.total;
        checked += files.checked;
        unchecked += files.total - files.checked;
    }
    if (checked == rows) {
        SetSubtree(op, shown, CheckState::Checked);
    } else if (unchecked == rows) {
        SetSubtree(op, shown, CheckState::Unchecked);
    } else {
        SetState(op, shown, CheckState::Partial);
    }
    RecomputeAncestors(op, shown);
}

void SelectionRules::Show(Operation& op, NodeId node) {
    if (folderList_.Show(node)) op.changes.folderListReset = true;
}

// Runs one rule on a told node; nothing for a node not told.
template <typename Rule>
SelectionChanges SelectionRules::OnNode(NodeId node, Rule rule) {
    if (!Told(node)) return {};
    Operation op(*this);
    rule(op);
    return op.Finish();
}

SelectionChanges SelectionRules::ToggleNodeCheck(NodeId node) {
    return OnNode(node, [&](Operation& op) {
        Show(op, node);
        const bool checked = Mark(node) != CheckState::Checked;
        SetSubtree(op, node, checked ? CheckState::Checked : CheckState::Unchecked);
        SetFilesUnder(op, node, checked);
        RecomputeAncestors(op, node);
    });
}

SelectionChanges SelectionRules::SetSubtreeCheck(NodeId node, CheckState state) {
    return OnNode(node, [&](Operation& op) { SetSubtree(op, node, state); });
}

SelectionChanges SelectionRules::UpdateAncestors(NodeId node) {
    return OnNode(node, [&](Operation& op) { RecomputeAncestors(op, node); });
}

SelectionChanges SelectionRules::SetFoundFilesUnder(NodeId node, bool checked) {
    return OnNode(node, [&](Operation& op) { SetFilesUnder(op, node, checked); });
}

// ---- Folder list

bool SelectionRules::FolderList::Show(NodeId node) {
    if (node == shown_) return false;
    shown_ = node;
    return true;
}

std::size_t SelectionRules::FolderList::UpRows() const {
    return shown_ != kNoNode && rules_.Parent(shown_) != kNoNode ? 1 : 0;
}

std::size_t SelectionRules::FolderList::FilesStart() const {
    return UpRows() + rules_.Entry(shown_).children.size();
}

std::size_t SelectionRules::FolderList::RowCount() const {
    if (shown_ == kNoNode) return 0;
    const NodeEntry& entry = rules_.Entry(shown_);
    return FilesStart() + (entry.exact == kNoGroup ? 0 : rules_.groupList_[entry.exact].total);
}

FolderRow SelectionRules::FolderList::RowAt(std::size_t row) const {
    const std::size_t up = UpRows();
    if (row < up) return {FolderRowKind::Up, rules_.Parent(shown_), 0};
    const NodeEntry& entry = rules_.Entry(shown_);
    row -= up;
    if (row < entry.children.size()) return {FolderRowKind::Folder, entry.children[row], 0};
    row -= entry.children.size();
    const auto& runs = rules_.groupList_[entry.exact].runs;
    const auto run = std::upper_bound(runs.begin(), runs.end(), row,
                                      [](std::size_t place, const Run& r) { return place < r.start; }) -
                     1;
    return {FolderRowKind::File, kNoNode, run->firstRow + (row - run->start)};
}

std::optional<CheckState> SelectionRules::FolderList::RowMark(std::size_t row) const {
    const FolderRow shown = RowAt(row);
    switch (shown.kind) {
        case FolderRowKind::Up:
            return std::nullopt;
        case FolderRowKind::Folder:
            return rules_.Mark(shown.node);
        case FolderRowKind::File:
            break;
    }
    return rules_.catalog_.row(shown.fileRow).checked() ? CheckState::Checked : CheckState::Unchecked;
}

std::string_view SelectionRules::FolderList::RowName(std::size_t row) const {
    const FolderRow shown = RowAt(row);
    switch (shown.kind) {
        case FolderRowKind::Up:
            return "..";
        case FolderRowKind::Folder:
            return rules_.catalog_.node(shown.node).text;
        case FolderRowKind::File:
            break;
    }
    return rules_.catalog_.row(shown.fileRow).path().name;
}

// The folder-list rows showing a changed node or FileRow.
void SelectionRules::FolderList::FindChangedRows(SelectionChanges& changes) const {
    const NodeId shown = shown_;
    if (shown == kNoNode) return;
    const std::size_t up = UpRows();
    auto& rows = changes.folderRows;
    for (NodeId node : changes.nodes) {
        if (rules_.Parent(node) == shown) rows.push_back({up + rules_.IndexInParent(node), 0});
    }
    std::sort(rows.begin(), rows.end(),
              [](const RowRange& a, const RowRange& b) { return a.begin < b.begin; });
    for (auto& row : rows) row.end = row.begin + 1;

    const NodeEntry& entry = rules_.Entry(shown);
    if (entry.exact == kNoGroup) return Normalise(rows);
    const Group& group = rules_.groupList_[entry.exact];
    const std::size_t filesStart = up + entry.children.size();
    // Both the group's runs and the changed rows ascend: walk them side by side.
    std::size_t run = 0;
    for (const RowRange& changed : changes.fileRows) {
        while (run < group.runs.size() &&
               group.runs[run].firstRow + rules_.RunLength(group, run) <= changed.begin) {
            ++run;
        }
        for (std::size_t at = run; at < group.runs.size() && group.runs[at].firstRow < changed.end; ++at) {
            const std::size_t first = group.runs[at].firstRow;
            const std::size_t begin = std::max<std::size_t>(first, changed.begin);
            const std::size_t end = std::min<std::size_t>(first + rules_.RunLength(group, at), changed.end);
            const std::size_t place = filesStart + group.runs[at].start;
            rows.push_back({place + (begin - first), place + (end - first)});
        }
    }
    Normalise(rows);
}

SelectionChanges SelectionRules::ShowFolder(NodeId node) {
    if (node != kNoNode && !Told(node)) return {};
    Operation op(*this);
    Show(op, node);
    return op.Finish();
}

SelectionChanges SelectionRules::ToggleRowCheck(std::size_t row) {
    if (row >= FolderRowCount()) return {};
    const FolderRow clicked = FolderRowAt(row);
    if (clicked.kind == FolderRowKind::Up) return {};
    const bool checked = FolderRowMark(row) != CheckState::Checked;
    Operation op(*this);
    if (clicked.kind == FolderRowKind::Folder) {
        SetFilesUnder(op, clicked.node, checked);
        SetSubtree(op, clicked.node, checked ? CheckState::Checked : CheckState::Unchecked);
        RecomputeAncestors(op, clicked.node);
    } else {
        SetOneRow(op, clicked.fileRow, checked);
    }
    FollowRows(op);
    return op.Finish();
}

SelectionChanges SelectionRules::UpdateShownFolder() {
    Operation op(*this);
    FollowRows(op);
    return op.Finish();
}

SelectionChanges SelectionRules::SetFoundFileCheck(std::size_t row, bool checked) {
    if (row >= FolderRowCount() || FolderRowAt(row).kind != FolderRowKind::File) return {};
    Operation op(*this);
    SetOneRow(op, FolderRowAt(row).fileRow, checked);
    return op.Finish();
}

NodeId SelectionRules::FindChildFolder(std::string_view name) const {
    return folderList_.shown() == kNoNode ? kNoNode : FindChild(folderList_.shown(), name);
}

SelectionChanges SelectionRules::OpenFolderRow(std::size_t row) {
    if (row >= FolderRowCount()) return {};
    const FolderRow opened = FolderRowAt(row);
    NodeId target = kNoNode;
    if (opened.kind == FolderRowKind::Up) target = opened.node;
    if (opened.kind == FolderRowKind::Folder) target = FindChildFolder(FolderRowName(row));
    if (target == kNoNode) return {};
    return ShowFolder(target);
}

// ---- The list of all files

SelectionChanges SelectionRules::SetFileRowCheck(std::size_t fileRow, bool checked) {
    if (fileRow >= rowCount_) return {};
    Operation op(*this);
    SetOneRow(op, fileRow, checked);
    return op.Finish();
}

SelectionChanges SelectionRules::SetFileRowChecks(std::span<const std::uint32_t> fileRows, bool checked) {
    Operation op(*this);
    const int delta = checked ? 1 : -1;
    // The change of checked files under each group's anchor, gathered while the group's rows come together.
    std::vector<std::pair<NodeId, std::int64_t>> changes;
    GroupId group = kNoGroup;
    std::uint32_t folder = UINT32_MAX;  // the catalog's folder of the rows of `group`
    for (const std::uint32_t row : fileRows) {
        if (row >= rowCount_) continue;
        const catalog::FileRow fileRow = catalog_.row(row);
        if (fileRow.checked() == checked) continue;
        catalog_.SetChecked(row, checked);
        op.RowChanged(row);
        if (fileRow.folderIndex() != folder) {
            folder = fileRow.folderIndex();
            group = GroupOf(row);
            if (changes.empty() || changes.back().first != groupList_[group].anchor)
                changes.emplace_back(groupList_[group].anchor, 0);
        }
        groupList_[group].checked += delta;
        changes.back().second += delta;
    }
    AddToChains(op, changes);
    return op.Finish();
}

// Adds each anchor's change to its count of checked files and to those of its ancestors, then recomputes
// the marks of all these nodes, each once.
void SelectionRules::AddToChains(Operation& op, const std::vector<std::pair<NodeId, std::int64_t>>& changes) {
    std::unordered_map<NodeId, std::int64_t> change;  // kNoNode: the top
    std::vector<NodeId> nodes;
    for (const auto& [anchor, count] : changes) {
        for (NodeId at = anchor;; at = Parent(at)) {
            if (!change.try_emplace(at, 0).second || at == kNoNode) break;
            nodes.push_back(at);
        }
        change[anchor] += count;
    }
    // A node's full path is longer than its parent's: sorted so, every node comes before its parent.
    std::sort(nodes.begin(), nodes.end(),
              [&](NodeId a, NodeId b) { return entries_[a].pathLength > entries_[b].pathLength; });
    for (const NodeId node : nodes) {
        const std::int64_t count = change[node];
        entries_[node].checkedUnder += count;
        change[Parent(node)] += count;
    }
    top_.checkedUnder += change[kNoNode];
    for (const NodeId node : nodes) Recompute(op, node);
}

}  // namespace ostrum::selection
