// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <ostream>

namespace ostrum::catalog {
namespace {

constexpr std::size_t kNameBlockSize = 1 << 20;
static_assert(sizeof(detail::StoredRow) == 40, "a row stays small: a catalog may hold millions");

std::string ChildKey(NodeId parent, std::string_view text) {
    std::string key(sizeof parent, '\0');
    std::memcpy(key.data(), &parent, sizeof parent);
    key.append(text);
    return key;
}

// A CompressedSpot's size field. Sizes beyond 2^63 bytes are damage: they are kept at that.
std::uint64_t PackedSize(std::uint64_t size, bool whole) {
    return (std::min<std::uint64_t>(size, UINT64_MAX >> 1) << 1) |
           (whole ? detail::CompressedSpot::kSizeWhole : 0);
}

}  // namespace

std::string RowPath::str() const {
    std::string text;
    text.reserve(size());
    text.append(folder).append(name);
    return text;
}

bool RowPath::starts_with(std::string_view prefix) const {
    if (prefix.size() <= folder.size()) return folder.starts_with(prefix);
    return prefix.starts_with(folder) && name.starts_with(prefix.substr(folder.size()));
}

std::ostream& operator<<(std::ostream& out, const RowPath& path) {
    return out << path.folder << path.name;
}

std::string FileRow::SizeText() const {
    const auto length = size();
    if (!length) return {};
    return sizeWhole() ? std::to_string(*length) : "at least " + std::to_string(*length);
}

FilesFoundText::FilesFoundText(std::uint64_t count) {
    constexpr std::string_view kFilesFoundText = "Total File Found :";
    static_assert(kFilesFoundText.size() + 20 <= sizeof text_, "room for every count");
    std::memcpy(text_, kFilesFoundText.data(), kFilesFoundText.size());
    char* const end = std::to_chars(text_ + kFilesFoundText.size(), text_ + sizeof text_, count).ptr;
    size_ = static_cast<std::size_t>(end - text_);
}

void CatalogSink::FilesFound(std::uint64_t count) {
    StatusLine(FilesFoundText(count).view());
}

Catalog::Catalog(std::shared_ptr<const ShellFileInfo> shell) : shell_(std::move(shell)) {
    types_.push_back(nullptr);
    typeIndex_.emplace(nullptr, 0);
}

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

std::uint32_t Catalog::FolderOf(std::string_view folder) {
    if (lastFolder_ != UINT32_MAX && folders_[lastFolder_] == folder) return lastFolder_;
    if (auto found = folderIndex_.find(folder); found != folderIndex_.end()) {
        lastFolder_ = found->second;
        return lastFolder_;
    }
    lastFolder_ = static_cast<std::uint32_t>(folders_.size());
    folderIndex_.emplace(folders_.emplace_back(folder), lastFolder_);
    return lastFolder_;
}

char* Catalog::NameRoom(std::size_t most) {
    if (nameBlocks_.empty() || most > blockSize_ - blockUsed_) {
        blockSize_ = std::max(kNameBlockSize, most);
        nameBlocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize_));
        blockUsed_ = 0;
    }
    return nameBlocks_.back().get() + blockUsed_;
}

const char* Catalog::StoreName(std::string_view name) {
    if (name.empty()) return nullptr;
    if (!nameBlocks_.empty() && name.size() < detail::StoredRow::kLongName) {
        // A name decoded into NameRoom() lies in the current block's free part: it stays there.
        const char* const block = nameBlocks_.back().get();
        const std::less_equal<const char*> notAfter;
        if (notAfter(block + blockUsed_, name.data()) &&
            notAfter(name.data() + name.size(), block + blockSize_)) {
            blockUsed_ = static_cast<std::size_t>(name.data() + name.size() - block);
            return name.data();
        }
    }
    // A long name has its size in front of it.
    const std::size_t sizeBytes = name.size() >= detail::StoredRow::kLongName ? sizeof(std::uint64_t) : 0;
    char* target = NameRoom(sizeBytes + name.size());
    if (sizeBytes != 0) {
        const std::uint64_t size = name.size();
        std::memcpy(target, &size, sizeof size);
        target += sizeof size;
    }
    std::memcpy(target, name.data(), name.size());
    blockUsed_ += sizeBytes + name.size();
    return target;
}

std::uint32_t Catalog::TypeIndexOf(const FileTypeInfo* type) {
    if (type == lastType_.info) return lastType_.index;
    lastType_.info = type;
    if (auto found = typeIndex_.find(type); found != typeIndex_.end()) {
        lastType_.index = found->second;
    } else {
        lastType_.index = static_cast<std::uint32_t>(types_.size());
        types_.push_back(type);
        typeIndex_.emplace(type, lastType_.index);
    }
    return lastType_.index;
}

std::size_t Catalog::AppendRow(std::string_view path, const FoundFile& values, CatalogSink* sink) {
    const auto cut = path.rfind('\\');
    const std::size_t nameStart = cut == std::string_view::npos ? 0 : cut + 1;
    return AppendRow(RowPath{path.substr(0, nameStart), path.substr(nameStart)}, values, sink);
}

std::size_t Catalog::AppendRow(RowPath path, const FoundFile& values, CatalogSink* sink) {
    // The pieces are kept as a split at the path's last backslash would make them.
    const bool split =
        (path.folder.empty() || path.folder.back() == '\\') && path.name.find('\\') == std::string_view::npos;
    if (!split) return AppendRow(std::string_view(path.str()), values, sink);
    const std::size_t index = rows_.size();
    const std::string_view name = path.name;

    detail::StoredRow row;
    row.folder = FolderOf(path.folder);
    row.name = StoreName(name);
    row.nameSize =
        static_cast<std::uint16_t>(std::min<std::size_t>(name.size(), detail::StoredRow::kLongName));
    row.type = TypeIndexOf(values.type);
    row.modified = values.modified;
    std::uint8_t flags = 0;
    if (values.size && values.storedSize) {
        row.size = compressedSpots_.size();
        compressedSpots_.push_back({*values.storedSize, PackedSize(*values.size, values.sizeWhole)});
        flags |= FileRow::kHasSize | FileRow::kCompressed;
    } else if (values.size) {
        row.size = *values.size;
        flags |= FileRow::kHasSize;
    }
    if (values.dataOffset) {
        row.dataOffset = *values.dataOffset;
        flags |= FileRow::kHasDataOffset;
        ++rowsWithData_;
    }
    if (values.chunkIndex || values.dataOffsetInChunk) {
        // Rows without a tape position before this one get empty places, never read: their flags say so.
        while (tapeSpots_.size() < index) tapeSpots_.emplace_back();
        tapeSpots_.push_back({values.chunkIndex.value_or(0), values.dataOffsetInChunk.value_or(0)});
        if (values.chunkIndex) flags |= FileRow::kHasChunkIndex;
        if (values.dataOffsetInChunk) flags |= FileRow::kHasDataOffsetInChunk;
    }
    row.flags = flags;
    rows_.push_back(row);
    if (sink != nullptr) sink->RowAppended(*this, index);
    return index;
}

void Catalog::SetChecked(std::size_t index, bool checked) {
    detail::StoredRow& row = rows_[index];
    row.flags = checked ? (row.flags | FileRow::kChecked) : (row.flags & ~FileRow::kChecked);
}

void Catalog::FixSize(std::size_t index, std::uint64_t size, bool whole, CatalogSink* sink) {
    const detail::StoredRow& row = rows_[index];
    if ((row.flags & FileRow::kCompressed) == 0) return;
    std::atomic_ref<std::uint64_t>(compressedSpots_[row.size].size)
        .store(PackedSize(size, whole), std::memory_order_relaxed);
    if (sink != nullptr) sink->SizeFixed(*this, index);
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
    for (std::size_t row = 0; row < rows_.size(); ++row) SetChecked(row, true);
}

}  // namespace ostrum::catalog
