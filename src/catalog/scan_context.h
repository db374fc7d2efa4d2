// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turning the SSET, DIRB and FILE blocks that the scanners find into catalog entries. Both scanners
// hold one ScanContext per scan and pass every acted-on block to these handlers.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "catalog/catalog.h"
#include "catalog/chunk_view.h"
#include "catalog/frame_walk.h"
#include "catalog/grid_watch.h"

namespace ostrum::catalog {

// Longest set name believed, in bytes; a larger Size field means the SSET block is not used at all.
inline constexpr std::size_t kMaxSetNameBytes = 260;
// Longest directory or file name extracted, in UTF-16 code units (a leading backslash included).
inline constexpr std::size_t kNameUnitLimit = 255;
// Longest file or directory name kept, in characters.
inline constexpr std::size_t kMaxNameCharacters = 260;
// The window after a FILE block's first byte in which its STAN header is looked for first.
inline constexpr std::size_t kStreamSearchWindow = 512;
// Bounds of the walk along a FILE block's stream headers when the window search found no STAN:
// real backups put security streams of several hundred bytes first, but never this many.
inline constexpr int kMaxStreamsFollowed = 64;
inline constexpr std::uint64_t kMaxStreamWalkBytes = 1u << 20;

struct ScanContext {
    ScanContext(Catalog& catalog, CatalogSink& sink) : catalog(catalog), sink(sink) {}

    Catalog& catalog;
    CatalogSink& sink;
    std::uint64_t setCount = 0;             // accepted SSET blocks
    std::string setLabel = "BACKUP SET 0";  // label of the current set
    std::string currentDirectory;           // directory of the files that follow
    std::uint64_t lostCount = 0;            // next number of a LostDirectoryName
    std::uint64_t filesFound = 0;           // files that got a size and data position
    std::uint64_t soundBlocks = 0;          // blocks of the six kinds acted on whose header checksum holds

    // Counts the changes of setLabel and currentDirectory: every handler that changes either adds one.
    std::uint64_t prefixChanges = 0;

    // Kept from file to file, so that the files of one folder cost no allocation and little work: the part
    // of their CatalogPath before the name ("TAPE MEDIA\" + setLabel + currentDirectory) as it stood at
    // change `generation`, its length in characters and whether its nodes are in the tree; a path being
    // formed; the last type key met and its type.
    struct PathPrefix {
        std::string text;
        std::size_t characters = 0;
        std::uint64_t generation = UINT64_MAX;
        bool inserted = false;
    };
    PathPrefix prefix;
    std::string pathBuffer;
    std::string lastTypeKey;
    const FileTypeInfo* lastType = nullptr;

    // Slots at medium positions before this one lie inside the catalog streams of an ESET: their tags are
    // catalog records, not blocks.
    std::uint64_t catalogDataEnd = 0;

    // Several media read as one (MediaSpan): what carries from one medium to the next.
    std::uint32_t medium = 0;                    // the medium being scanned, from 0
    std::optional<std::uint16_t> dataSetNumber;  // of the set being scanned, as its SSET block gives it
    // The data stream of the file catalogued last, until another block is met: an EOTM inside it is where
    // the end of the medium cut the file.
    struct OpenData {
        std::size_t row = 0;
        std::uint64_t start = 0;  // medium position of its first byte
        std::uint64_t length = 0;
    };
    std::optional<OpenData> openData;
    std::optional<std::size_t> cutRow;  // the file the end of the last medium cut, awaiting its rest

    // The frames of the compressed file catalogued last, walked as the scan passes over them.
    FrameWalk frames;
    // The normal scan of an image watches for places where the block grid was lost.
    GridWatch grid;
};

// Where a FILE block's standard data stream lies, relative to the block's first byte.
struct DataStream {
    std::uint64_t headerDistance = 0;  // from the block start to the STAN header
    std::uint64_t length = 0;          // Stream Length, all 64 bits
    bool sound = false;                // the header's checksum holds
};

// True when the 22-byte stream header's checksum word is the XOR of the ten words before it.
bool StreamHeaderChecksumHolds(ByteSpan header);

// A set name as the set's label takes it: backslashes, slashes and colons become underscores, and a name
// that is still not a valid catalog name is dropped.
void CleanSetName(std::string& name);
// Whether a directory or file name may stand in a CatalogPath: valid, and at most kMaxNameCharacters long.
bool IsUsableName(std::string_view name);

// The text "lost dir" + number + "\" that replaces an unusable directory name.
std::string LostDirectoryName(std::uint64_t number);

void OnSetBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot);
void OnDirectoryBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot);
void OnFileBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot);

// What a FILE block gives of its row: its type and date (no data yet), its name (in the catalog's
// NameRoom) and whether its CatalogPath is the context's current path prefix followed by the name, or was
// formed whole in the context's path buffer. Valid until the next FILE block is examined.
struct FileBlockRow {
    FoundFile values;
    std::string_view name;
    bool split = false;
};

// The row a FILE block gives; nothing when its name cannot be catalogued.
std::optional<FileBlockRow> FileRowOf(ScanContext& context, const ChunkView& chunk, std::size_t slot);
// The CatalogPath of such a row, as one text.
std::string FileBlockPath(const ScanContext& context, const FileBlockRow& found);
// Inserts the row's folders into the tree and appends the row; returns its index.
std::size_t AppendFileBlockRow(ScanContext& context, const FileBlockRow& found);
// Counts a file found with its data, and tells the sink (CatalogSink::FilesFound).
void NoteFileFound(ScanContext& context);
// The end of the scan of a medium read after others: tells the sink again the files found so far, which
// the medium's own start ("Serching Files") replaced on the status line. Nothing for the first medium.
void RestateFilesFound(ScanContext& context);

// Finds the STAN stream of the FILE block at `slot`: first the first "STAN" among the 512 positions from
// the block's first byte whose stream header checksum holds, then, failing that, by following the block's
// stream headers, and failing that too the first "STAN" among those positions all the same.
std::optional<DataStream> FindDataStream(const ChunkView& chunk, std::size_t slot);

// Counts the block at the start of `block` in soundBlocks when its common header is whole and its
// checksum holds; the scan does so for every block of the six kinds it acts on.
void CountSoundBlock(ScanContext& context, ByteSpan block);

// Examines one slot: classifies it and hands SSET, DIRB and FILE blocks to their handlers, and the TAPE,
// ESET and EOTM blocks that tell of the medium's own catalog and of backups spread over several media to
// theirs. A slot of which the chunk holds fewer than 512 bytes, or that lies inside a medium's catalog, is
// passed over.
void ExamineSlot(ScanContext& context, const ChunkView& chunk, std::size_t slot);

// Goes on with the walk of the last compressed file's frames over the chunk (AdvanceFrameWalk), then examines
// slots 0, 1, ... of the chunk, at most `maxSlots`, as long as the chunk holds a slot whole, testing
// scanActive before every slot. Returns false when it was found false.
bool ExamineSlots(ScanContext& context, const ChunkView& chunk, std::size_t maxSlots,
                  const std::atomic<bool>& scanActive);

}  // namespace ostrum::catalog
