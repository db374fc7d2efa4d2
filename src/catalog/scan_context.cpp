// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/scan_context.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "catalog/block_name.h"
#include "catalog/block_tags.h"
#include "catalog/media_catalog.h"
#include "catalog/media_span.h"
#include "catalog/mtf_layout.h"
#include "catalog/sparse_stream.h"

namespace ostrum::catalog {
using namespace mtf;

namespace {

constexpr std::uint32_t kSsetWord = TagWord(BlockTagTable[kTagSSET]);
constexpr std::uint32_t kDirbWord = TagWord(BlockTagTable[kTagDIRB]);
constexpr std::uint32_t kFileWord = TagWord(BlockTagTable[kTagFILE]);
constexpr std::uint32_t kEsetWord = TagWord(BlockTagTable[kTagESET]);
constexpr std::uint32_t kTapeWord = TagWord(BlockTagTable[kTagTAPE]);
constexpr std::uint32_t kEotmWord = TagWord(BlockTagTable[kTagEOTM]);

struct NameField {
    std::uint16_t size;
    std::uint16_t offset;
};

std::optional<NameField> ReadNameField(const ChunkView& chunk, std::size_t slot, std::size_t field) {
    std::vector<std::uint8_t> scratch;
    const ByteSpan bytes = chunk.Fetch(slot + field, 4, scratch);
    auto size = ReadLE16(bytes, tape_address::kSize);
    auto offset = ReadLE16(bytes, tape_address::kOffset);
    if (!size || !offset) return std::nullopt;
    return NameField{*size, *offset};
}

// Directories start with a backslash; an empty one is the root. True when it changed.
bool NormaliseDirectory(std::string& directory) {
    if (directory.empty()) {
        directory.assign(1, '\\');
    } else if (directory.front() != '\\') {
        directory.insert(directory.begin(), '\\');
    } else {
        return false;
    }
    return true;
}

std::string CatalogPathOf(const ScanContext& context, std::string_view tail) {
    std::string path;
    path.reserve(kMediaRootPrefix.size() + context.setLabel.size() + context.currentDirectory.size() +
                 tail.size());
    path.append(kMediaRootPrefix).append(context.setLabel).append(context.currentDirectory).append(tail);
    return path;
}

// The part of a file's CatalogPath before its name, formed again only after setLabel or currentDirectory
// changed. Set and directory names are valid UTF-8 (checked, or replaced), and so are the file names
// joined to it, so a path's length in characters is the sum of the two parts' lengths.
ScanContext::PathPrefix& CurrentPrefix(ScanContext& context) {
    ScanContext::PathPrefix& prefix = context.prefix;
    if (prefix.generation != context.prefixChanges) {
        prefix.text = CatalogPathOf(context, {});
        prefix.characters = CharacterCount(prefix.text);
        prefix.generation = context.prefixChanges;
        prefix.inserted = false;
    }
    return prefix;
}

// The type of a file by its name; names of one type key share it, and files of one folder often do.
const FileTypeInfo* TypeOf(ScanContext& context, std::string_view name) {
    const std::string_view key = FileTypeKey(name);
    if (context.lastType == nullptr || key != context.lastTypeKey) {
        context.lastType = &context.catalog.shell().Describe(name);
        context.lastTypeKey.assign(key);
    }
    return context.lastType;
}

// What the window after a FILE block's first byte holds of STAN headers: the first whose checksum holds,
// else the first "STAN" met at all (bytes inside another stream's data may spell it).
struct WindowMatches {
    std::optional<DataStream> sound;
    std::optional<DataStream> first;
};

WindowMatches SearchWindow(const ChunkView& chunk, std::size_t slot) {
    // Each candidate needs its tag and its 64-bit length on the medium; its checksum, the whole header.
    constexpr std::size_t kNeeded = stream_hdr::kStreamLength + 8;
    std::vector<std::uint8_t> scratch;
    const ByteSpan window = chunk.Fetch(slot, kStreamSearchWindow - 1 + stream_hdr::kSize, scratch);
    WindowMatches matches;
    if (window.size() < kNeeded) return matches;
    const std::size_t candidates = std::min(kStreamSearchWindow, window.size() - kNeeded + 1);
    const auto* const first = window.data();
    for (const auto* at = first; (at = static_cast<const std::uint8_t*>(std::memchr(
                                      at, 'S', candidates - static_cast<std::size_t>(at - first))));
         ++at) {
        const auto i = static_cast<std::size_t>(at - first);
        if (!HasTagAt(window, i, BlockTagTable[kTagSTAN])) continue;
        DataStream found{i, *ReadLE64(window, i + stream_hdr::kStreamLength)};
        if (StreamHeaderChecksumHolds(window.subspan(i))) {
            found.sound = true;
            matches.sound = found;
            return matches;
        }
        if (!matches.first) matches.first = found;
    }
    return matches;
}

enum class StreamKind { Plain, Compressed };

// What the data stream holds, when its header's checksum holds: a stream the save decodes from Stac LZS
// frames, or bytes saved as they are (sparse runs, encrypted or otherwise compressed data included).
std::optional<StreamKind> KindOfStream(const ChunkView& chunk, std::size_t slot, const DataStream& stream) {
    if (!stream.sound) return std::nullopt;
    std::vector<std::uint8_t> scratch;
    const ByteSpan header = chunk.Fetch(slot + stream.headerDistance, stream_hdr::kSize, scratch);
    const std::uint16_t media = *ReadLE16(header, stream_hdr::kMediaFormatAttributes);
    const bool lzs = (media & kMediaFormatCompressed) != 0 && (media & kMediaFormatEncrypted) == 0 &&
                     *ReadLE16(header, stream_hdr::kDataCompressionAlgorithm) == kCompressionStacLzs &&
                     !IsSparseStream(header);
    return lzs ? StreamKind::Compressed : StreamKind::Plain;
}

std::optional<DataStream> FollowStreams(const ChunkView& chunk, std::size_t slot) {
    std::vector<std::uint8_t> scratch;
    auto firstEvent = ReadLE16(chunk.Fetch(slot + db_hdr::kOffsetToFirstEvent, 2, scratch), 0);
    if (!firstEvent || *firstEvent < db_hdr::kSize) return std::nullopt;
    std::uint64_t distance = *firstEvent;
    for (int streams = 0; streams < kMaxStreamsFollowed && distance <= kMaxStreamWalkBytes; ++streams) {
        const ByteSpan header = chunk.Fetch(slot + distance, stream_hdr::kSize, scratch);
        if (header.size() < stream_hdr::kSize || !StreamHeaderChecksumHolds(header)) return std::nullopt;
        const std::uint64_t length = *ReadLE64(header, stream_hdr::kStreamLength);
        if (HasTagAt(header, stream_hdr::kStreamId, BlockTagTable[kTagSTAN]))
            return DataStream{distance, length, true};
        if (HasTagAt(header, stream_hdr::kStreamId, BlockTagTable[kTagSPAD])) return std::nullopt;
        if (length > kMaxStreamWalkBytes) return std::nullopt;
        distance = stream_hdr::NextHeaderDistance(distance, length);
    }
    return std::nullopt;
}

}  // namespace

bool StreamHeaderChecksumHolds(ByteSpan header) {
    if (header.size() < stream_hdr::kSize) return false;
    return XorOfLE16Words(header, 0, stream_hdr::kChecksum) == ReadLE16(header, stream_hdr::kChecksum);
}

void CleanSetName(std::string& name) {
    std::replace(name.begin(), name.end(), '\\', '_');
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), ':', '_');
    if (!name.empty() && !IsCatalogNameValid(name)) name.clear();
}

bool IsUsableName(std::string_view name) {
    const auto characters = ValidNameCharacters(name);
    return characters && *characters <= kMaxNameCharacters;
}

std::string LostDirectoryName(std::uint64_t number) {
    return "lost dir" + std::to_string(number) + "\\";
}

void OnSetBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot) {
    context.openData.reset();
    // The set goes on on a new medium: its label stays.
    if (ContinuesCurrentSet(context, chunk, slot)) return;
    auto field = ReadNameField(chunk, slot, sset::kDataSetName);
    if (!field || field->size > kMaxSetNameBytes) return;

    std::string name;
    const std::int64_t first = static_cast<std::int64_t>(slot) + field->offset;
    ExtractBlockName(chunk, first, first + field->size, field->size, name);
    CleanSetName(name);

    ++context.setCount;
    ++context.prefixChanges;
    context.setLabel = "BACKUP SET " + std::to_string(context.setCount) + "(" + name + ")";
    context.catalog.NoteSet(context.setLabel);
    std::vector<std::uint8_t> scratch;
    context.dataSetNumber = ReadLE16(chunk.Fetch(slot + sset::kDataSetNumber, 2, scratch), 0);
    if (context.dataSetNumber)
        context.catalog.mediaCatalog().NoteScannedSet(*context.dataSetNumber, context.setLabel);
}

void OnDirectoryBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot) {
    context.openData.reset();
    auto field = ReadNameField(chunk, slot, dirb::kDirectoryName);
    if (!field) return;
    const std::int64_t first = static_cast<std::int64_t>(slot) + field->offset;
    ++context.prefixChanges;
    ExtractBlockName(chunk, first, first + field->size - 1, kNameUnitLimit, context.currentDirectory);

    auto& directory = context.currentDirectory;
    if (!IsUsableName(directory)) {
        directory = LostDirectoryName(context.lostCount++);
    }
    NormaliseDirectory(directory);

    const std::string path = CatalogPathOf(context, {});
    if (CharacterCount(path) > kMaxCatalogPath) return;
    const NodeId node = context.catalog.InsertPath(path, &context.sink);
    std::vector<std::uint8_t> scratch;
    const auto date = ReadMtfDate(chunk.Fetch(slot + dirb::kLastModificationDate, 5, scratch), 0);
    if (node != kNoNode && date && *date != 0) context.catalog.node(node).modified = *date;
}

std::optional<FileBlockRow> FileRowOf(ScanContext& context, const ChunkView& chunk, std::size_t slot) {
    auto field = ReadNameField(chunk, slot, file::kFileName);
    if (!field) return std::nullopt;
    const std::int64_t first = static_cast<std::int64_t>(slot) + field->offset;
    // The name is decoded where the catalog keeps names, so that appending its row copies nothing; it is
    // what ExtractBlockName gives less the backslash in front (a NUL first unit gives one all the same).
    char* const room = context.catalog.NameRoom(kMostBytesPerUnit * kNameUnitLimit);
    const char* const end = ExtractBlockName(chunk, first, first + field->size - 1, kNameUnitLimit, room);
    std::string_view name(room, static_cast<std::size_t>(end - room));
    if (name.empty()) return std::nullopt;
    if (name.front() == '\\') name.remove_prefix(1);

    const auto nameCharacters = ValidNameCharacters(name);
    if (!nameCharacters || *nameCharacters > kMaxNameCharacters) return std::nullopt;

    if (NormaliseDirectory(context.currentDirectory)) ++context.prefixChanges;
    ScanContext::PathPrefix& prefix = CurrentPrefix(context);
    if (prefix.characters + *nameCharacters > kMaxCatalogPath) return std::nullopt;

    FileBlockRow found;
    found.name = name;
    found.values.type = TypeOf(context, name);
    std::vector<std::uint8_t> scratch;
    found.values.modified =
        ReadMtfDate(chunk.Fetch(slot + file::kLastModificationDate, 5, scratch), 0).value_or(0);
    // Mostly the prefix is the path's folder and the name has no backslash: the path is kept in those two
    // pieces, and the prefix's nodes are inserted once. Otherwise the whole path is formed.
    found.split = prefix.text.ends_with('\\') && name.find('\\') == std::string_view::npos;
    if (!found.split) context.pathBuffer.assign(prefix.text).append(name);
    return found;
}

std::string FileBlockPath(const ScanContext& context, const FileBlockRow& found) {
    if (!found.split) return context.pathBuffer;
    return std::string(context.prefix.text).append(found.name);
}

std::size_t AppendFileBlockRow(ScanContext& context, const FileBlockRow& found) {
    if (!found.split) {
        context.catalog.InsertPath(context.pathBuffer, &context.sink);
        return context.catalog.AppendRow(context.pathBuffer, found.values, &context.sink);
    }
    ScanContext::PathPrefix& prefix = context.prefix;
    if (!prefix.inserted) {
        context.catalog.InsertPath(prefix.text, &context.sink);
        prefix.inserted = true;
    }
    return context.catalog.AppendRow(RowPath{prefix.text, found.name}, found.values, &context.sink);
}

void OnFileBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot) {
    context.openData.reset();
    // Only a block with the continuation bit may continue a file; every other FILE block is spared the
    // rest of that check. (Attributes the chunk does not hold are left to it.)
    const auto attributes = ReadLE32(chunk.bytes(), slot + db_hdr::kBlockAttributes);
    const bool mayContinue = !attributes || (*attributes & db_hdr::kContinuation) != 0;
    if (mayContinue && OnContinuedFileBlock(context, chunk, slot)) return;
    auto found = FileRowOf(context, chunk, slot);
    if (!found) return;

    FoundFile& row = found->values;
    const auto stream = FindDataStream(chunk, slot);
    // Only a stream header whose checksum holds is followed: its length says where the streams go on.
    const auto kind = stream ? KindOfStream(chunk, slot, *stream) : std::nullopt;
    const std::uint64_t dataInChunk = stream ? slot + stream->headerDistance + stream_hdr::kSize : 0;
    if (stream) {
        row.size = SparseFileSize(chunk, slot, stream->headerDistance).value_or(stream->length);
        row.dataOffset = chunk.position() + dataInChunk;
        row.chunkIndex = chunk.chunkIndex();
        if (row.chunkIndex) row.dataOffsetInChunk = dataInChunk;
    }
    const bool compressed = kind == StreamKind::Compressed;
    if (compressed) {
        StartFrameWalk(context, chunk, dataInChunk, stream->length);
        row.storedSize = stream->length;
        row.size = context.frames.decoded;
        row.sizeWhole = context.frames.whole;
    }
    const std::size_t index = AppendFileBlockRow(context, *found);
    if (compressed) NoteWalkedRow(context, index);
    if (kind) {
        const std::uint64_t blockStart = chunk.position() + slot;
        NoteFileData(context.grid, index, blockStart, blockStart + stream->headerDistance, stream->length);
    }
    if (stream) {
        context.openData = ScanContext::OpenData{index, *row.dataOffset, stream->length};
        NoteFileFound(context);
    }
}

void NoteFileFound(ScanContext& context) {
    ++context.filesFound;
    context.sink.FilesFound(context.filesFound);
}

void RestateFilesFound(ScanContext& context) {
    if (context.medium > 0 && context.filesFound > 0) context.sink.FilesFound(context.filesFound);
}

std::optional<DataStream> FindDataStream(const ChunkView& chunk, std::size_t slot) {
    const WindowMatches matches = SearchWindow(chunk, slot);
    if (matches.sound) return matches.sound;
    if (auto followed = FollowStreams(chunk, slot)) return followed;
    return matches.first;
}

void CountSoundBlock(ScanContext& context, ByteSpan block) {
    if (BlockHeaderChecksumHolds(block, 0)) ++context.soundBlocks;
}

void ExamineSlot(ScanContext& context, const ChunkView& chunk, std::size_t slot) {
    // Only six tags are acted on; every other slot, tagged or not, is passed over. Comparing the slot's
    // first word with those six gives the same result as the table lookup at a fraction of its cost,
    // which matters on media that are mostly file data.
    // A slot is examined only when all of its 512 bytes were delivered.
    if (!HasBytes(chunk.bytes(), slot, mtf::kSlotSize)) return;
    if (chunk.position() + slot < context.catalogDataEnd) return;
    const auto word = ReadLE32(chunk.bytes(), slot);
    if (!word || (*word != kSsetWord && *word != kDirbWord && *word != kFileWord && *word != kEsetWord &&
                  *word != kTapeWord && *word != kEotmWord)) {
        return;
    }
    // Only the tags matched here pay for the header checksum: what tells MTF data from none.
    const ByteSpan block = chunk.bytes().subspan(slot, mtf::kSlotSize);
    if (BlockHeaderChecksumHolds(block, 0)) {
        ++context.soundBlocks;
        NoteSoundBlock(context.grid, chunk.position() + slot);
    }
    switch (LookupBlockTag(block)) {
        case kTagSSET:
            OnSetBlock(context, chunk, slot);
            break;
        case kTagDIRB:
            OnDirectoryBlock(context, chunk, slot);
            break;
        case kTagFILE:
            OnFileBlock(context, chunk, slot);
            break;
        case kTagESET:
            context.openData.reset();
            OnEndOfSetBlock(context, chunk, slot);
            break;
        case kTagTAPE:
            OnTapeBlock(context, chunk, slot);
            break;
        case kTagEOTM:
            OnEndOfMediumBlock(context, chunk, slot);
            break;
        default:
            break;
    }
}

bool ExamineSlots(ScanContext& context, const ChunkView& chunk, std::size_t maxSlots,
                  const std::atomic<bool>& scanActive) {
    AdvanceFrameWalk(context, chunk);
    for (std::size_t k = 0; k < maxSlots && (k + 1) * mtf::kSlotSize <= chunk.bytes().size(); ++k) {
        if (!scanActive.load(std::memory_order_relaxed)) return false;
        ExamineSlot(context, chunk, k * mtf::kSlotSize);
    }
    return true;
}

}  // namespace ostrum::catalog
