#pragma once
// Following the streams of the file catalogued last as the scan passes over them. A file's data may run on
// for many chunks beyond its FILE block, and a tape can only be read in order, so the walk goes as far as
// the bytes delivered so far reach, and goes on as the scan delivers each chunk after it:
//  - the frames of a compressed data stream: the uncompressed sizes their headers give add up to the size
//    the file has when saved (its Stream Length is what it takes on the medium). The row gets that size
//    when the stream ends, or, marked as not whole, what the frames read add up to when a frame header
//    cannot be read;
//  - on a normal scan of an image, the stream headers after the data up to the padding that ends the file,
//    where the next block must begin. When neither a block nor blank bytes are there, the 512-byte grid
//    of the blocks was lost at that place (junk bytes inside the image, say), and the blocks after it are
//    off the grid, where only the deep scan finds them.
//
// Positions are counted as ChunkView::start() counts them.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "catalog/chunk_view.h"

namespace ostrum::catalog {

struct ScanContext;
struct DataStream;

struct StreamWalk {
    static constexpr std::size_t kNoRow = SIZE_MAX;
    enum class Step : std::uint8_t {
        Frames,     // reading the compressed stream's frame headers
        Streams,    // reading the stream headers after the data stream
        NextBlock,  // looking where the next block should begin
        Lost,       // the grid was lost at `next` (counted when the walk ends, unless a medium's end cut it)
        Done,
    };
    std::size_t row = kNoRow;  // until NoteWalkedRow
    Step step = Step::Done;
    bool compressed = false;       // the row's size is the sum of its frames' sizes
    bool watchGrid = false;        // look for the next block after the streams
    bool cut = false;              // the end of the medium cut the data: the rest is on the next medium
    std::uint64_t blockStart = 0;  // the FILE block's first byte: streams are aligned from it
    std::uint64_t dataStart = 0;   // the data stream's first byte (byte 0 of the stream)
    std::uint64_t dataEnd = 0;     // just past its last byte
    std::uint64_t next = 0;        // where the next frame header, stream header or block should begin
    std::optional<std::uint64_t> framesFailedAt;  // the frame header that could not be read
    bool framesWhole = false;                     // they ended with the stream, nothing left to come
    std::uint64_t decoded = 0;                    // the frames' uncompressed bytes so far
    std::optional<std::uint64_t> remainingDue;    // what the last frame said is still to come
    int streams = 0;                              // stream headers followed after the data stream
};

// Starts the walk of a FILE block's streams (ending the walk before it) and walks as far as the chunk
// reaches. `stream` is the sound STAN header found for the block at `slot`, `compressed` whether its data
// are a compressed stream. The row is not appended yet: NoteWalkedRow names it afterwards.
void StartStreamWalk(ScanContext& context, const ChunkView& chunk, std::size_t slot, const DataStream& stream,
                     bool compressed);
// The row the walk started last belongs to.
void NoteWalkedRow(ScanContext& context, std::size_t row);
// Goes on with the walk over the chunk the scan is about to examine.
void AdvanceStreamWalk(ScanContext& context, const ChunkView& chunk);
// The end of a medium cut the data of the row at medium position `at`: the walk waits for the rest of them
// on the next medium (ContinueStreamWalk) instead of taking what lay after the cut for the file's.
void CutStreamWalk(ScanContext& context, std::size_t row, std::uint64_t at);
// The rest of the cut row's data, the last `length` bytes of its stream, begins at `offset` in the chunk of
// the medium being scanned; the walk of its frames goes on there.
void ContinueStreamWalk(ScanContext& context, const ChunkView& chunk, std::size_t row, std::uint64_t offset,
                        std::uint64_t length);
// The medium has been scanned (or the scan stopped): the walk ends with what it has, unless the end of the
// medium cut its data.
void EndMediumStreamWalk(ScanContext& context);
// Ends the walk: a compressed row gets what its frames add up to, and a lost grid is counted.
void EndStreamWalk(ScanContext& context);

}  // namespace ostrum::catalog
