// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The size of a compressed file: its data stream is a run of frames, and the uncompressed sizes their
// headers give add up to the size the file has when saved (its Stream Length is what it takes on the
// medium). The frames of a large file run on for many chunks beyond its FILE block, and a tape can only be
// read in order, so the scan walks them as far as the bytes delivered so far reach, and goes on as it
// delivers each chunk after them. The row gets the sum when the stream ends, or, marked as not whole, what
// the frames read add up to when a frame header cannot be read (damage, the medium's end).
//
// Positions are counted as ChunkView::start() counts them.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "catalog/chunk_view.h"

namespace ostrum::catalog {

struct ScanContext;

struct FrameWalk {
    static constexpr std::size_t kNoRow = SIZE_MAX;
    bool active = false;          // a walk was started and has not ended
    bool cut = false;             // the end of the medium cut the data: the rest is on the next medium
    bool whole = false;           // the frames ended with the stream and left nothing to come
    std::size_t row = kNoRow;     // until NoteWalkedRow
    std::uint64_t dataStart = 0;  // the stream's byte 0
    std::uint64_t dataEnd = 0;    // just past its last byte
    std::uint64_t next = 0;       // where the next frame header begins
    // The frame header that could not be read (the walk then ends), or nothing while it goes on.
    std::optional<std::uint64_t> failedAt;
    std::uint64_t decoded = 0;                  // the frames' uncompressed bytes so far
    std::optional<std::uint64_t> remainingDue;  // what the last frame said is still to come
};

// Starts the walk of the compressed data stream whose first byte lies at `dataOffset` in the chunk, of
// `length` bytes (ending the walk before it), and walks as far as the chunk reaches. Its row is not
// appended yet: NoteWalkedRow names it afterwards.
void StartFrameWalk(ScanContext& context, const ChunkView& chunk, std::uint64_t dataOffset,
                    std::uint64_t length);
// The row the walk started last belongs to.
void NoteWalkedRow(ScanContext& context, std::size_t row);
// Goes on with the walk over the chunk the scan is about to examine.
void AdvanceFrameWalk(ScanContext& context, const ChunkView& chunk);
// The end of a medium cut the data of the row at position `at`: the walk waits for the rest of them on the
// next medium (ContinueFrameWalk), and what it read past the cut was not the stream's.
void CutFrameWalk(ScanContext& context, std::size_t row, std::uint64_t at);
// The rest of the cut row's data, the last `length` bytes of its stream, begins at `offset` in the chunk of
// the medium being scanned; the walk goes on there.
void ContinueFrameWalk(ScanContext& context, const ChunkView& chunk, std::size_t row, std::uint64_t offset,
                       std::uint64_t length);
// The medium has been scanned (or the scan stopped): the walk ends with what it has, unless the end of the
// medium cut its data.
void EndMediumFrameWalk(ScanContext& context);
// Ends the walk: the row gets what its frames add up to.
void EndFrameWalk(ScanContext& context);

}  // namespace ostrum::catalog
