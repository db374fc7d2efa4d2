// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The catalog of one scan: the tree of backup sets and directories under "TAPE MEDIA", and the list of
// files found (FoundFilesList) with where each file's data lies on the medium. It belongs to the core;
// windows show it through models and learn of changes through a CatalogSink.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalog/media_catalog.h"
#include "catalog/media_span.h"
#include "catalog/shell_file_info.h"
#include "catalog/stable_vector.h"

namespace ostrum::catalog {

inline constexpr std::string_view kMediaRootText = "TAPE MEDIA";
inline constexpr std::string_view kMediaRootPrefix = "TAPE MEDIA\\";
// Longest CatalogPath, in characters; longer paths are dropped, never cut. It is Windows' own longest
// path: the "TAPE MEDIA\" and set label that the catalog puts in front of what the medium holds must
// never hide a file that Windows stored without trouble. (What the medium holds is limited on its own:
// set, directory and file names.)
inline constexpr std::size_t kMaxCatalogPath = 32767;

enum class CheckState : std::uint8_t { Unchecked = 0, Checked = 1, Partial = 2 };

using NodeId = std::uint32_t;
inline constexpr NodeId kNoNode = UINT32_MAX;

struct CatalogNode {
    std::string text;  // one component of a CatalogPath
    NodeId parent = kNoNode;
    std::vector<NodeId> children;  // in the order first inserted
    bool expanded = false;
    CheckState state = CheckState::Unchecked;
    std::uint64_t modified = 0;  // the last DIRB's last modification date as stored (5 bytes), 0 unknown
};

// What a scan found of one file, as AppendRow takes it.
struct FoundFile {
    const FileTypeInfo* type = nullptr;  // type and icon names from the catalog's ShellFileInfo
    // The file's size when saved, when the data stream was found: its STAN Stream Length, a sparse file's
    // full size, or what a compressed stream's frames decode to (storedSize then holds the Stream Length).
    std::optional<std::uint64_t> size;
    std::optional<std::uint64_t> storedSize;  // a compressed data stream's Stream Length
    // For a compressed stream: `size` is the whole of what its frames decode to, not only what the frame
    // headers read so far add up to (Catalog::FixSize may tell more later).
    bool sizeWhole = true;
    std::optional<std::uint64_t> dataOffset;  // medium position of the first data byte of STAN
    std::optional<std::uint64_t> chunkIndex;  // tape scans: the read in which the FILE block was met
    // Tape scans: where the data begin, counted from the first byte of read ChunkIndex. Unlike DataOffset it
    // does not depend on how many bytes the reads before delivered, which a read error changes.
    std::optional<std::uint64_t> dataOffsetInChunk;
    std::uint64_t modified = 0;  // the FILE block's last modification date as stored (5 bytes), 0 unknown
};

// A CatalogPath as the catalog keeps it: the folder part, up to and including the last backslash, which
// every file of that folder shares, and the name after it. Either part may be empty.
struct RowPath {
    std::string_view folder;
    std::string_view name;

    std::size_t size() const { return folder.size() + name.size(); }
    bool empty() const { return folder.empty() && name.empty(); }
    std::string str() const;
    bool starts_with(std::string_view prefix) const;
    friend bool operator==(const RowPath& path, std::string_view text) {
        return path.size() == text.size() && text.starts_with(path.folder) && text.ends_with(path.name);
    }
};
std::ostream& operator<<(std::ostream& out, const RowPath& path);

class Catalog;

namespace detail {

// One row as stored: a medium may hold millions of files, so a row is kept in 40 bytes besides its name.
// The name lies in the catalog's name blocks, the folder text in its folder table, the type in its type
// table, and what only tape scans give in a table beside the rows.
struct StoredRow {
    // The nameSize of a name of kLongName bytes or more, whose size is kept in the 8 bytes before it.
    static constexpr std::uint16_t kLongName = UINT16_MAX;

    std::uint64_t size = 0;
    std::uint64_t dataOffset = 0;
    const char* name = nullptr;
    std::uint64_t modified : 40 = 0;  // as stored on the medium (5 bytes)
    std::uint64_t flags : 8 = 0;      // kHas... and kChecked below
    std::uint64_t nameSize : 16 = 0;
    std::uint32_t folder = 0;  // index in the folder table
    std::uint32_t type = 0;    // index in the type table
};

struct TapeSpot {
    std::uint64_t chunkIndex = 0;
    std::uint64_t dataOffsetInChunk = 0;
};

// What a row of a compressed data stream keeps beside it (its row's size field holds the spot's index): the
// Stream Length, and the file's size, which a scan may still fix after the row was appended. The size is
// read and written whole through atomic_ref, shifted left by one with kSizeWhole in its low bit.
struct CompressedSpot {
    static constexpr std::uint64_t kSizeWhole = 1;
    std::uint64_t storedSize = 0;
    alignas(8) std::uint64_t size = 0;
};

}  // namespace detail

// One file found on the medium: a view of a row of the catalog, valid as long as the catalog.
class FileRow {
  public:
    inline RowPath path() const;
    inline const FileTypeInfo* type() const;
    std::string_view typeName() const {
        return type() ? std::string_view(type()->typeName) : std::string_view();
    }
    std::string_view iconName() const {
        return type() ? std::string_view(type()->iconName) : std::string_view();
    }
    // The file's size when saved (FoundFile::size).
    inline std::optional<std::uint64_t> size() const;
    // The bytes its data stream takes on the medium: the same as size() except for a compressed stream.
    inline std::optional<std::uint64_t> storedSize() const;
    bool compressed() const { return (row_->flags & kCompressed) != 0; }
    // False for a compressed stream whose size is only what the frame headers read add up to: a frame
    // header could not be read (damage, the medium's end), or the scan has not passed over them all yet.
    inline bool sizeWhole() const;
    std::optional<std::uint64_t> dataOffset() const { return Get(kHasDataOffset, row_->dataOffset); }
    inline std::optional<std::uint64_t> chunkIndex() const;
    inline std::optional<std::uint64_t> dataOffsetInChunk() const;
    std::uint64_t modified() const { return row_->modified; }
    bool checked() const { return (row_->flags & kChecked) != 0; }
    // The place of the row's folder part in the catalog's folder table (Catalog::folder): rows of one
    // folder share it, so work done once per folder can be looked up by it.
    std::uint32_t folderIndex() const { return row_->folder; }
    // The "File Size" text: size() as an unsigned decimal, "at least N" when it is not whole, or empty.
    std::string SizeText() const;

  private:
    friend class Catalog;
    static constexpr std::uint8_t kHasSize = 1;
    static constexpr std::uint8_t kHasDataOffset = 2;
    static constexpr std::uint8_t kHasChunkIndex = 4;
    static constexpr std::uint8_t kHasDataOffsetInChunk = 8;
    static constexpr std::uint8_t kChecked = 16;
    static constexpr std::uint8_t kCompressed = 32;  // the size field is the row's CompressedSpot index

    FileRow(const Catalog& catalog, const detail::StoredRow& row, std::size_t index)
        : catalog_(&catalog), row_(&row), index_(index) {}
    std::optional<std::uint64_t> Get(std::uint8_t flag, std::uint64_t value) const {
        return (row_->flags & flag) != 0 ? std::optional<std::uint64_t>(value) : std::nullopt;
    }
    // A compressed row's CompressedSpot::size.
    inline std::uint64_t PackedSize() const;

    const Catalog* catalog_;
    const detail::StoredRow* row_;
    std::size_t index_;
};

// The status text of a scan that has found `count` files with their data ("Total File Found :N"), formed
// in place: no allocation.
class FilesFoundText {
  public:
    explicit FilesFoundText(std::uint64_t count);
    std::string_view view() const { return std::string_view(text_, size_); }

  private:
    char text_[40];
    std::size_t size_ = 0;
};

// Told of every change a scan makes, on the scanning thread.
//
// Nodes and rows never move once added, and a row and a node's text and parent never change while a
// scan runs; a node's children, expanded flag and date do (new children are appended, a directory met again
// is expanded), and so does the size of a compressed row, read and written whole (Catalog::FixSize). So
// another thread may read rows and the text and parent of nodes below counts that the scanning thread handed
// it in an ordered way (under a lock, say), while the scan goes on; it must not read nodes' children,
// roots(), setLabels(), nodeCount() or rowCount() until the scan has ended.
class CatalogSink {
  public:
    virtual ~CatalogSink() = default;
    virtual void StatusLine(std::string_view /*text*/) {}
    // A file was found with its data, the count-th; its status text is FilesFoundText(count). This comes
    // once per file: a sink that shows the status only now and then keeps the count and forms the text
    // when it shows it. By default the text is handed to StatusLine at once.
    virtual void FilesFound(std::uint64_t count);
    virtual void PositionLine(std::string_view /*text*/) {}
    virtual void Progress(int /*percent*/) {}
    virtual void NodeInserted(const Catalog& /*catalog*/, NodeId /*node*/) {}
    virtual void RowAppended(const Catalog& /*catalog*/, std::size_t /*row*/) {}
    // The size of a row appended before changed (Catalog::FixSize).
    virtual void SizeFixed(const Catalog& /*catalog*/, std::size_t /*row*/) {}
};

class Catalog {
  public:
    explicit Catalog(std::shared_ptr<const ShellFileInfo> shell);
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;

    const ShellFileInfo& shell() const { return *shell_; }

    // Grows the tree along a CatalogPath: every component followed by a backslash is found among its
    // parent's children by exact text or appended, and expanded. The text after the last backslash never
    // becomes a node. Returns the deepest node (kNoNode when the path has no backslash).
    NodeId InsertPath(std::string_view path, CatalogSink* sink = nullptr);

    // Notes a backup set that the scan accepted, by its setLabel. A set creates no node by itself (its
    // first folder or file does), so a set that holds no files (a database backup, for one) is known only
    // from here.
    void NoteSet(std::string_view label) { setLabels_.emplace_back(label); }
    // The SetLabels of the sets accepted, in the order met.
    const std::vector<std::string>& setLabels() const { return setLabels_; }
    // What the scan met of the medium's own catalog.
    MediaCatalog& mediaCatalog() { return mediaCatalog_; }
    const MediaCatalog& mediaCatalog() const { return mediaCatalog_; }
    // The media the catalog was read from, when there were several, and the files spread over them.
    MediaSpan& mediaSpan() { return mediaSpan_; }
    const MediaSpan& mediaSpan() const { return mediaSpan_; }

    // Room for a name of up to `most` bytes where the catalog keeps the rows' names: a scan decodes a name
    // there, and AppendRow keeps a name that lies there where it is instead of copying it. Good until the
    // next NameRoom or AppendRow.
    char* NameRoom(std::size_t most);
    // Appends a row; its path (which may be empty) is copied into the catalog. Returns the row index.
    std::size_t AppendRow(std::string_view path, const FoundFile& values, CatalogSink* sink = nullptr);
    // The same for a path given in its two pieces.
    std::size_t AppendRow(RowPath path, const FoundFile& values, CatalogSink* sink = nullptr);

    const std::vector<NodeId>& roots() const { return roots_; }
    const CatalogNode& node(NodeId id) const { return nodes_[id]; }
    CatalogNode& node(NodeId id) { return nodes_[id]; }
    std::size_t nodeCount() const { return nodes_.size(); }

    FileRow row(std::size_t index) const { return FileRow(*this, rows_[index], index); }
    std::size_t rowCount() const { return rows_.size(); }
    // The folder parts of the rows' paths, each once, in the order first met (FileRow::folderIndex).
    std::size_t folderCount() const { return folders_.size(); }
    std::string_view folder(std::uint32_t index) const { return folders_[index]; }
    // The rows that have a DataOffset.
    std::size_t rowsWithData() const { return rowsWithData_; }
    // Ticks or clears a row's check box.
    void SetChecked(std::size_t index, bool checked);
    // Gives the row of a compressed stream the size its frames were found to decode to, whole or not, and
    // tells the sink. Rows of other streams keep their size. Another thread may read the size meanwhile.
    void FixSize(std::size_t index, std::uint64_t size, bool whole, CatalogSink* sink = nullptr);

    // The node's full path: "TAPE MEDIA\" and every component below the top node, each ended by "\".
    std::string FullPath(NodeId id) const;
    // Every node in pre-order (a node, then its children in order).
    std::vector<NodeId> PreOrder() const;

    // The end of a scan: every node collapsed and checked, the first top-level node expanded, and every
    // row checked, so that everything found is selected.
    void FinishScan();

  private:
    friend class FileRow;
    NodeId FindOrAddChild(NodeId parent, std::string_view text, CatalogSink* sink);
    std::uint32_t FolderOf(std::string_view folder);
    const char* StoreName(std::string_view name);
    std::uint32_t TypeIndexOf(const FileTypeInfo* type);
    std::size_t NameSize(const detail::StoredRow& row) const;

    std::shared_ptr<const ShellFileInfo> shell_;
    StableVector<CatalogNode> nodes_;
    std::vector<NodeId> roots_;
    std::unordered_map<std::string, NodeId> childIndex_;  // parent id bytes + text -> child
    StableVector<detail::StoredRow> rows_;
    std::size_t rowsWithData_ = 0;
    // Beside the rows, from the first row that has a ChunkIndex on: the rows' tape positions.
    StableVector<detail::TapeSpot> tapeSpots_;
    // Beside the rows of compressed streams only, in their order.
    StableVector<detail::CompressedSpot> compressedSpots_;
    std::vector<std::string> setLabels_;
    // The folder parts of the rows' paths, each once; files of one folder come together, so the folder of
    // the last row is tried first.
    StableVector<std::string> folders_;
    // The types of the rows, each once (0: none); files of one type come together, so the type of the
    // last row is tried first.
    StableVector<const FileTypeInfo*> types_;
    std::unordered_map<const FileTypeInfo*, std::uint32_t> typeIndex_;
    struct {
        const FileTypeInfo* info = nullptr;
        std::uint32_t index = 0;
    } lastType_;
    std::unordered_map<std::string_view, std::uint32_t> folderIndex_;
    std::uint32_t lastFolder_ = UINT32_MAX;
    std::vector<std::unique_ptr<char[]>> nameBlocks_;  // the rows' names, never moved
    MediaCatalog mediaCatalog_;
    MediaSpan mediaSpan_;
    std::size_t blockUsed_ = 0;
    std::size_t blockSize_ = 0;
    std::string lastDirectory_;  // directory part of the last inserted path, and its node
    NodeId lastDirectoryNode_ = kNoNode;
};

RowPath FileRow::path() const {
    return RowPath{catalog_->folders_[row_->folder], std::string_view(row_->name, catalog_->NameSize(*row_))};
}

const FileTypeInfo* FileRow::type() const {
    return catalog_->types_[row_->type];
}

inline std::size_t Catalog::NameSize(const detail::StoredRow& row) const {
    if (row.nameSize != detail::StoredRow::kLongName) return row.nameSize;
    std::uint64_t size = 0;
    std::memcpy(&size, row.name - sizeof size, sizeof size);
    return static_cast<std::size_t>(size);
}

std::uint64_t FileRow::PackedSize() const {
    // The spot is the catalog's own, not const: only the view of it is.
    auto& spot = const_cast<detail::CompressedSpot&>(catalog_->compressedSpots_[row_->size]);
    return std::atomic_ref<std::uint64_t>(spot.size).load(std::memory_order_relaxed);
}

std::optional<std::uint64_t> FileRow::size() const {
    if (!compressed()) return Get(kHasSize, row_->size);
    return PackedSize() >> 1;
}

std::optional<std::uint64_t> FileRow::storedSize() const {
    if (!compressed()) return Get(kHasSize, row_->size);
    return catalog_->compressedSpots_[row_->size].storedSize;
}

bool FileRow::sizeWhole() const {
    return !compressed() || (PackedSize() & detail::CompressedSpot::kSizeWhole) != 0;
}

std::optional<std::uint64_t> FileRow::chunkIndex() const {
    if ((row_->flags & kHasChunkIndex) == 0) return std::nullopt;
    return catalog_->tapeSpots_[index_].chunkIndex;
}

std::optional<std::uint64_t> FileRow::dataOffsetInChunk() const {
    if ((row_->flags & kHasDataOffsetInChunk) == 0) return std::nullopt;
    return catalog_->tapeSpots_[index_].dataOffsetInChunk;
}

}  // namespace ostrum::catalog
