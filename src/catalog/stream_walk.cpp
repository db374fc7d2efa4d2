#include "catalog/stream_walk.h"

#include <algorithm>
#include <vector>

#include "catalog/block_tags.h"
#include "catalog/compressed_frames.h"
#include "catalog/mtf_layout.h"
#include "catalog/scan_context.h"

namespace ostrum::catalog {
namespace {

using Step = StreamWalk::Step;

// How many bytes where a block should begin are looked at to tell blank bytes from others.
constexpr std::size_t kBlankLook = mtf::kSlotSize;

bool AllZero(ByteSpan bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// Tells the row what its frames add up to, once it has been appended.
void FixWalkedSize(ScanContext& context, const StreamWalk& walk, bool whole) {
    if (walk.compressed && walk.row != StreamWalk::kNoRow)
        context.catalog.FixSize(walk.row, walk.decoded, whole, &context.sink);
}

// The frames are done: whole when they ended with the stream and left nothing to come. The streams after
// the data are looked at next.
void EndFrames(ScanContext& context, StreamWalk& walk, bool whole) {
    walk.framesWhole = whole;
    if (!whole) walk.framesFailedAt = walk.next;
    FixWalkedSize(context, walk, whole);
    if (!walk.watchGrid) {
        walk.step = Step::Done;
        return;
    }
    walk.next = walk.blockStart +
                mtf::stream_hdr::NextHeaderDistance(walk.dataStart - mtf::stream_hdr::kSize - walk.blockStart,
                                                    walk.dataEnd - walk.dataStart);
    walk.step = Step::Streams;
}

void ReadFrame(ScanContext& context, StreamWalk& walk, ByteSpan header) {
    const auto frame = ReadFrameHeader(header, walk.remainingDue);
    if (!frame || walk.dataEnd - walk.next < frame_hdr::kSize + std::uint64_t{frame->compressed}) {
        EndFrames(context, walk, false);
        return;
    }
    walk.decoded += frame->uncompressed;
    walk.remainingDue = frame->remaining - frame->uncompressed;
    walk.next += frame_hdr::kSize + std::uint64_t{frame->compressed};
    if (walk.next == walk.dataEnd) EndFrames(context, walk, walk.remainingDue == 0);
}

void ReadStreamHeader(StreamWalk& walk, const ChunkView& chunk, std::size_t at, ByteSpan header) {
    if (AllZero(header)) {
        walk.step = Step::Done;  // blank: nothing is lost there
    } else if (StreamHeaderChecksumHolds(header)) {
        const std::uint64_t length = *ReadLE64(header, mtf::stream_hdr::kStreamLength);
        if (HasTagAt(header, mtf::stream_hdr::kStreamId, BlockTagTable[kTagSPAD])) {
            walk.next += mtf::stream_hdr::kSize + length;
            walk.step = Step::NextBlock;
        } else if (++walk.streams > kMaxStreamsFollowed) {
            walk.step = Step::Done;
        } else {
            walk.next =
                walk.blockStart + mtf::stream_hdr::NextHeaderDistance(walk.next - walk.blockStart, length);
        }
    } else {
        // The data may end on a block boundary with no padding after them: a block begins there.
        std::vector<std::uint8_t> scratch;
        const ByteSpan block = chunk.Fetch(at, mtf::db_hdr::kSize, scratch);
        const bool isBlock = IsDescriptorBlockTag(*ReadLE32(header, 0)) && BlockHeaderChecksumHolds(block, 0);
        walk.step = isBlock ? Step::Done : Step::Lost;
    }
}

void LookAtNextBlock(StreamWalk& walk, ByteSpan bytes) {
    const bool block = IsDescriptorBlockTag(*ReadLE32(bytes, 0));
    walk.step = block || AllZero(bytes) ? Step::Done : Step::Lost;
}

// One step of the walk at `at`, a position inside the chunk's bytes. False when the medium ends before the
// bytes the step needs: the walk waits (and ends with the medium).
bool TakeStep(ScanContext& context, StreamWalk& walk, const ChunkView& chunk, std::size_t at,
              std::vector<std::uint8_t>& scratch) {
    switch (walk.step) {
        case Step::Frames: {
            const ByteSpan header = chunk.Fetch(at, frame_hdr::kSize, scratch);
            if (header.size() < frame_hdr::kSize) return false;
            ReadFrame(context, walk, header);
            return true;
        }
        case Step::Streams: {
            const ByteSpan header = chunk.Fetch(at, mtf::stream_hdr::kSize, scratch);
            if (header.size() < mtf::stream_hdr::kSize) return false;
            ReadStreamHeader(walk, chunk, at, header);
            return true;
        }
        case Step::NextBlock: {
            const ByteSpan bytes = chunk.Fetch(at, kBlankLook, scratch);
            if (bytes.size() < 4) return false;
            LookAtNextBlock(walk, bytes);
            return true;
        }
        default:
            return false;
    }
}

bool Walking(const StreamWalk& walk) {
    return walk.step == Step::Frames || walk.step == Step::Streams || walk.step == Step::NextBlock;
}

}  // namespace

void StartStreamWalk(ScanContext& context, const ChunkView& chunk, std::size_t slot, const DataStream& stream,
                     bool compressed) {
    EndStreamWalk(context);
    StreamWalk walk;
    walk.compressed = compressed;
    walk.watchGrid = context.watchGrid;
    walk.blockStart = chunk.start() + slot;
    walk.dataStart = walk.blockStart + stream.headerDistance + mtf::stream_hdr::kSize;
    walk.dataEnd = walk.dataStart + std::min(stream.length, UINT64_MAX - walk.dataStart);
    walk.next = walk.dataStart;
    walk.step = Step::Frames;
    context.walk = walk;
    if (!compressed || walk.dataEnd == walk.dataStart) EndFrames(context, *context.walk, true);
    if (Walking(*context.walk)) AdvanceStreamWalk(context, chunk);
}

void NoteWalkedRow(ScanContext& context, std::size_t row) {
    if (context.walk && context.walk->row == StreamWalk::kNoRow) context.walk->row = row;
}

void AdvanceStreamWalk(ScanContext& context, const ChunkView& chunk) {
    if (!context.walk || !Walking(*context.walk) || context.walk->cut) return;
    StreamWalk& walk = *context.walk;
    const std::uint64_t start = chunk.start();
    const std::uint64_t end = start + chunk.bytes().size();
    // A read failed before this chunk: what lay there is not known, and nothing lost there is said.
    if (walk.next < start) {
        if (walk.step == Step::Frames) EndFrames(context, walk, false);
        walk.step = Step::Done;
        return;
    }
    std::vector<std::uint8_t> scratch;
    while (Walking(walk) && walk.next < end) {
        if (!TakeStep(context, walk, chunk, static_cast<std::size_t>(walk.next - start), scratch)) return;
    }
}

void CutStreamWalk(ScanContext& context, std::size_t row, std::uint64_t at) {
    if (!context.walk || context.walk->row != row) return;
    StreamWalk& walk = *context.walk;
    walk.cut = true;
    walk.watchGrid = false;  // what follows the cut is the end of the medium, not the file's streams
    // Frame headers read past the cut were the medium's own bytes, not the stream's.
    if (walk.compressed && walk.framesFailedAt && *walk.framesFailedAt >= at) {
        walk.next = *walk.framesFailedAt;
        walk.framesFailedAt.reset();
        walk.step = Step::Frames;
    } else if (walk.step != Step::Frames) {
        walk.step = Step::Done;
    }
}

void ContinueStreamWalk(ScanContext& context, const ChunkView& chunk, std::size_t row, std::uint64_t offset,
                        std::uint64_t length) {
    if (!context.walk || context.walk->row != row || !context.walk->cut) return;
    StreamWalk& walk = *context.walk;
    walk.cut = false;
    if (walk.step != Step::Frames) return;
    // The stream's byte 0 lies where the bytes before this part would have begun, had they been on this
    // medium: before its start, as often as not. dataStart then wraps around modulo 2^64, which is harmless:
    // it is only ever subtracted from, and the positions compared (next, dataEnd) lie on this medium.
    const std::uint64_t start = chunk.start() + offset;
    const std::uint64_t streamLength = walk.dataEnd - walk.dataStart;
    const std::uint64_t before = streamLength - std::min(length, streamLength);
    const std::uint64_t nextInStream = walk.next - walk.dataStart;
    if (nextInStream < before) {  // the frame it waits for began on a medium not read
        EndFrames(context, walk, false);
        return;
    }
    walk.dataStart = start - before;
    walk.dataEnd = walk.dataStart + streamLength;
    walk.next = walk.dataStart + nextInStream;
    AdvanceStreamWalk(context, chunk);
}

void EndMediumStreamWalk(ScanContext& context) {
    if (context.walk && context.walk->cut && context.cutRow == context.walk->row) {
        FixWalkedSize(context, *context.walk, false);  // what the media read so far give
        return;
    }
    EndStreamWalk(context);
}

void EndStreamWalk(ScanContext& context) {
    if (!context.walk) return;
    StreamWalk& walk = *context.walk;
    if (walk.step == Step::Frames) FixWalkedSize(context, walk, false);
    if (walk.step == Step::Lost && walk.watchGrid) {
        if (!context.firstGridLoss) context.firstGridLoss = walk.next;
        ++context.gridLosses;
    }
    context.walk.reset();
}

}  // namespace ostrum::catalog
