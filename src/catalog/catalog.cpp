#include "catalog.h"

#include <cstring>

namespace ostrum::catalog {
namespace {

constexpr std::size_t kPathBlockSize = 1 << 20;

std::string ChildKey(NodeId parent, std::string_view text) {
    std::string key(sizeof parent, '\0');
    std::memcpy(key.data(), &parent, sizeof parent);
    key.append(text);
    return key;
}

}  // namespace

std::string FileRow::SizeText() const {
    return size ? std::to_string(*size) : std::string();
}

Catalog::Catalog(std::shared_ptr<const ShellFileInfo> shell) : shell_(std::move(shell)) {}

NodeId Catalog::FindOrAddChild(NodeId parent, std::string_view text, CatalogSink* sink) {
    std::string key = ChildKey(parent, text);
    if (auto it = childIndex_.find(key); it != childIndex_.end()) {
        nodes_[it->second].expanded = true;
        return it->second;
    }
    const auto id = static_cast<NodeId>(nodes_.size());
    nodes_.push_back(CatalogNode{std::string(text), parent, {}, true, CheckState::Unchecked});
    (parent == kNoNode ? roots_ : nodes_[parent].children).push_back(id);
    childIndex_.emplace(std::move(key), id);
    if (sink != nullptr) sink->NodeInserted(*this, id);
    return id;
}

NodeId Catalog::InsertPath(std::string_view path, CatalogSink* sink) {
    const auto lastSeparator = path.find_last_of('\\');
    if (lastSeparator == std::string_view::npos) return kNoNode;
    const std::string_view directory = path.substr(0, lastSeparator + 1);
    // Files of one folder arrive together; their common directory needs no new walk while it is
    // still expanded (it always is during a scan).
    if (lastDirectoryNode_ != kNoNode && directory == lastDirectory_ && nodes_[lastDirectoryNode_].expanded) {
        return lastDirectoryNode_;
    }
    NodeId parent = kNoNode;
    std::size_t start = 0;
    for (auto end = directory.find('\\'); end != std::string_view::npos; end = directory.find('\\', start)) {
        parent = FindOrAddChild(parent, directory.substr(start, end - start), sink);
        start = end + 1;
    }
    lastDirectory_.assign(directory);
    lastDirectoryNode_ = parent;
    return parent;
}

std::string_view Catalog::StorePath(std::string_view path) {
    if (path.empty()) return {};
    if (path.size() > blockSize_ - blockUsed_) {
        blockSize_ = std::max(kPathBlockSize, path.size());
        pathBlocks_.push_back(std::make_unique<char[]>(blockSize_));
        blockUsed_ = 0;
    }
    char* target = pathBlocks_.back().get() + blockUsed_;
    std::memcpy(target, path.data(), path.size());
    blockUsed_ += path.size();
    return {target, path.size()};
}

std::size_t Catalog::AppendRow(std::string_view path, const FileRow& values, CatalogSink* sink) {
    FileRow& row = rows_.emplace_back(values);
    row.path = StorePath(path);
    if (sink != nullptr) sink->RowAppended(*this, rows_.size() - 1);
    return rows_.size() - 1;
}

std::string Catalog::FullPath(NodeId id) const {
    std::vector<NodeId> chain;
    for (NodeId at = id; at != kNoNode; at = nodes_[at].parent) chain.push_back(at);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += nodes_[*it].text;
        path += '\\';
    }
    return path;
}

std::vector<NodeId> Catalog::PreOrder() const {
    std::vector<NodeId> order;
    order.reserve(nodes_.size());
    std::vector<NodeId> stack(roots_.rbegin(), roots_.rend());
    while (!stack.empty()) {
        const NodeId id = stack.back();
        stack.pop_back();
        order.push_back(id);
        const auto& children = nodes_[id].children;
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return order;
}

void Catalog::FinishScan() {
    for (std::size_t id = 0; id < nodes_.size(); ++id) {
        nodes_[id].expanded = false;
        nodes_[id].state = CheckState::Checked;
    }
    if (!roots_.empty()) nodes_[roots_.front()].expanded = true;
    for (std::size_t row = 0; row < rows_.size(); ++row) rows_[row].checked = true;
}

}  // namespace ostrum::catalog
