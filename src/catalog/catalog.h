#pragma once
// The catalog of one scan: the tree of backup sets and directories under "TAPE MEDIA", and the list of
// files found (FoundFilesList) with where each file's data lies on the medium. It belongs to the core;
// windows show it through models and learn of changes through a CatalogSink.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "media_catalog.h"
#include "media_span.h"
#include "shell_file_info.h"
#include "stable_vector.h"

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

// One file found on the medium.
struct FileRow {
    std::string_view path;                    // CatalogPath, e.g. TAPE MEDIA\BACKUP SET 1(_Daily)\DOCS\A.TXT
    const FileTypeInfo* type = nullptr;       // type and icon names from the catalog's ShellFileInfo
    std::optional<std::uint64_t> size;        // STAN Stream Length, when the data stream was found
    std::optional<std::uint64_t> dataOffset;  // medium position of the first data byte of STAN
    std::optional<std::uint64_t> chunkIndex;  // tape scans: the read in which the FILE block was met
    // Tape scans: where the data begin, counted from the first byte of read ChunkIndex. Unlike DataOffset it
    // does not depend on how many bytes the reads before delivered, which a read error changes.
    std::optional<std::uint64_t> dataOffsetInChunk;
    std::uint64_t modified = 0;  // the FILE block's last modification date as stored (5 bytes), 0 unknown
    bool checked = false;

    std::string_view typeName() const { return type ? std::string_view(type->typeName) : std::string_view(); }
    std::string_view iconName() const { return type ? std::string_view(type->iconName) : std::string_view(); }
    // The "File Size" text: the full Stream Length as an unsigned decimal, or empty.
    std::string SizeText() const;
};

class Catalog;

// Told of every change a scan makes, on the scanning thread.
//
// Nodes and rows never move once added, and a row and a node's text and parent never change while a
// scan runs; a node's children, expanded flag and date do (new children are appended, a directory met again
// is expanded). So another thread may read rows and the text and parent of nodes below counts that the
// scanning thread handed it in an ordered way (under a lock, say), while the scan goes on; it must not
// read nodes' children, roots(), setLabels(), nodeCount() or rowCount() until the scan has ended.
class CatalogSink {
  public:
    virtual ~CatalogSink() = default;
    virtual void StatusLine(std::string_view /*text*/) {}
    virtual void PositionLine(std::string_view /*text*/) {}
    virtual void Progress(int /*percent*/) {}
    virtual void NodeInserted(const Catalog& /*catalog*/, NodeId /*node*/) {}
    virtual void RowAppended(const Catalog& /*catalog*/, std::size_t /*row*/) {}
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

    // Notes a backup set that the scan accepted, by its SetLabel. A set creates no node by itself (its
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

    // Appends a row; its path (which may be empty) is copied into the catalog. Returns the row index.
    std::size_t AppendRow(std::string_view path, const FileRow& values, CatalogSink* sink = nullptr);

    const std::vector<NodeId>& roots() const { return roots_; }
    const CatalogNode& node(NodeId id) const { return nodes_[id]; }
    CatalogNode& node(NodeId id) { return nodes_[id]; }
    std::size_t nodeCount() const { return nodes_.size(); }

    const FileRow& row(std::size_t index) const { return rows_[index]; }
    FileRow& row(std::size_t index) { return rows_[index]; }
    std::size_t rowCount() const { return rows_.size(); }

    // The node's full path: "TAPE MEDIA\" and every component below the top node, each ended by "\".
    std::string FullPath(NodeId id) const;
    // Every node in pre-order (a node, then its children in order).
    std::vector<NodeId> PreOrder() const;

    // The end of a scan: every node collapsed and checked, the first top-level node expanded, and every
    // row checked, so that everything found is selected.
    void FinishScan();

  private:
    NodeId FindOrAddChild(NodeId parent, std::string_view text, CatalogSink* sink);
    std::string_view StorePath(std::string_view path);

    std::shared_ptr<const ShellFileInfo> shell_;
    StableVector<CatalogNode> nodes_;
    std::vector<NodeId> roots_;
    std::unordered_map<std::string, NodeId> childIndex_;  // parent id bytes + text -> child
    StableVector<FileRow> rows_;
    std::vector<std::string> setLabels_;
    MediaCatalog mediaCatalog_;
    MediaSpan mediaSpan_;
    std::vector<std::unique_ptr<char[]>> pathBlocks_;  // CatalogPath texts of the rows, never moved
    std::size_t blockUsed_ = 0;
    std::size_t blockSize_ = 0;
    std::string lastDirectory_;  // directory part of the last inserted path, and its node
    NodeId lastDirectoryNode_ = kNoNode;
};

}  // namespace ostrum::catalog
