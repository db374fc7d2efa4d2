// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/frame_walk.h"

#include <algorithm>
#include <vector>

#include "catalog/compressed_frames.h"
#include "catalog/scan_context.h"

namespace ostrum::catalog {
namespace {

// Tells the row what its frames add up to, once it has been appended.
void FixWalkedSize(ScanContext& context, const FrameWalk& walk, bool whole) {
    if (walk.row != FrameWalk::kNoRow) context.catalog.FixSize(walk.row, walk.decoded, whole, &context.sink);
}

bool Walking(const FrameWalk& walk) {
    return walk.active && !walk.failedAt && !walk.whole && !walk.cut;
}

// The frames are done: whole when they ended with the stream and left nothing to come.
void EndFrames(ScanContext& context, FrameWalk& walk, bool whole) {
    walk.whole = whole;
    if (!whole) walk.failedAt = walk.next;
    FixWalkedSize(context, walk, whole);
}

void ReadFrame(ScanContext& context, FrameWalk& walk, ByteSpan header) {
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

}  // namespace

void StartFrameWalk(ScanContext& context, const ChunkView& chunk, std::uint64_t dataOffset,
                    std::uint64_t length) {
    EndFrameWalk(context);
    FrameWalk& walk = context.frames;
    walk = FrameWalk{};
    walk.active = true;
    walk.dataStart = chunk.start() + dataOffset;
    walk.dataEnd = walk.dataStart + std::min(length, UINT64_MAX - walk.dataStart);
    walk.next = walk.dataStart;
    if (length == 0) {
        EndFrames(context, walk, true);
    } else {
        AdvanceFrameWalk(context, chunk);
    }
}

void NoteWalkedRow(ScanContext& context, std::size_t row) {
    if (context.frames.active && context.frames.row == FrameWalk::kNoRow) context.frames.row = row;
}

void AdvanceFrameWalk(ScanContext& context, const ChunkView& chunk) {
    FrameWalk& walk = context.frames;
    if (!Walking(walk)) return;
    const std::uint64_t start = chunk.start();
    const std::uint64_t end = start + chunk.bytes().size();
    std::vector<std::uint8_t> scratch;
    while (Walking(walk) && walk.next < end) {
        // A read failed before this chunk: the frame header that lay there is not known.
        if (walk.next < start) {
            EndFrames(context, walk, false);
            return;
        }
        const ByteSpan header = chunk.Fetch(walk.next - start, frame_hdr::kSize, scratch);
        if (header.size() < frame_hdr::kSize) return;  // the medium ends first: the walk ends with it
        ReadFrame(context, walk, header);
    }
}

void CutFrameWalk(ScanContext& context, std::size_t row, std::uint64_t at) {
    FrameWalk& walk = context.frames;
    if (!walk.active || walk.row != row) return;
    walk.cut = true;
    // A frame header read past the cut was the medium's own bytes, not the stream's: the walk waits there.
    if (walk.failedAt && *walk.failedAt >= at) walk.failedAt.reset();
}

void ContinueFrameWalk(ScanContext& context, const ChunkView& chunk, std::size_t row, std::uint64_t offset,
                       std::uint64_t length) {
    FrameWalk& walk = context.frames;
    if (!walk.active || walk.row != row || !walk.cut) return;
    walk.cut = false;
    if (walk.failedAt || walk.whole) return;
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
    AdvanceFrameWalk(context, chunk);
}

void EndMediumFrameWalk(ScanContext& context) {
    const FrameWalk& walk = context.frames;
    if (walk.active && walk.cut && context.cutRow == walk.row) {
        FixWalkedSize(context, walk, false);  // what the media read so far give
        return;
    }
    EndFrameWalk(context);
}

void EndFrameWalk(ScanContext& context) {
    FrameWalk& walk = context.frames;
    if (!walk.active) return;
    if (!walk.whole && !walk.failedAt) FixWalkedSize(context, walk, false);
    walk.active = false;
}

}  // namespace ostrum::catalog
