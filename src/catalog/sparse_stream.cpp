// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/sparse_stream.h"

#include <algorithm>
#include <vector>

#include "catalog/block_tags.h"
#include "catalog/mtf_layout.h"
#include "catalog/scan_context.h"

namespace ostrum::catalog {
using namespace mtf;

namespace {

// The displayable size of the block at `slot`, when its header checksum holds.
std::optional<std::uint64_t> DisplayableSize(const ChunkView& chunk, std::size_t slot) {
    std::vector<std::uint8_t> scratch;
    const ByteSpan header = chunk.Fetch(slot, db_hdr::kSize, scratch);
    if (!BlockHeaderChecksumHolds(header, 0)) return std::nullopt;
    return ReadLE64(header, db_hdr::kDisplayableSize);
}

}  // namespace

bool IsSparseStream(ByteSpan header) {
    const auto attributes = ReadLE16(header, stream_hdr::kFileSystemAttributes);
    return attributes && (*attributes & kFileSystemSparse) != 0;
}

std::optional<SparseRun> ReadSparseFrame(ByteSpan frame, std::uint64_t streamLength) {
    const auto offset = ReadLE64(frame, sparse_frame::kOffset);
    if (streamLength < sparse_frame::kOffsetOnlySize || !offset) return std::nullopt;
    SparseRun run{*offset, sparse_frame::kOffsetOnlySize, streamLength - sparse_frame::kOffsetOnlySize};
    if (streamLength >= sparse_frame::kSize) {
        const auto length = ReadLE64(frame, sparse_frame::kLength);
        if (!length) return std::nullopt;
        if (*length == streamLength - sparse_frame::kSize)
            run = SparseRun{*offset, sparse_frame::kSize, *length};
    }
    if (run.offset > kMaxSparseFileBytes || run.length > kMaxSparseFileBytes - run.offset)
        return std::nullopt;
    return run;
}

std::optional<std::uint64_t> SparseFileSize(const ChunkView& chunk, std::size_t slot,
                                            std::uint64_t stanDistance) {
    std::vector<std::uint8_t> scratch;
    ByteSpan header = chunk.Fetch(slot + stanDistance, stream_hdr::kSize, scratch);
    if (!IsSparseStream(header) || !StreamHeaderChecksumHolds(header)) return std::nullopt;
    // The STAN's own bytes are the file's first run.
    const std::uint64_t stanLength = *ReadLE64(header, stream_hdr::kStreamLength);
    const bool believed = stanLength <= kMaxSparseFileBytes;
    std::uint64_t end = believed ? stanLength : 0;
    std::uint64_t distance = stream_hdr::NextHeaderDistance(stanDistance, end);
    for (int streams = 0;
         believed && streams < kMaxStreamsFollowed && distance - stanDistance <= kMaxStreamWalkBytes;
         ++streams) {
        header = chunk.Fetch(slot + distance, stream_hdr::kSize + sparse_frame::kSize, scratch);
        if (header.size() < stream_hdr::kSize || !StreamHeaderChecksumHolds(header) ||
            !HasTagAt(header, stream_hdr::kStreamId, kSparseStreamTag)) {
            break;
        }
        const std::uint64_t length = *ReadLE64(header, stream_hdr::kStreamLength);
        const auto run = ReadSparseFrame(header.subspan(stream_hdr::kSize), length);
        if (!run) break;
        end = std::max(end, run->offset + run->length);
        distance = stream_hdr::NextHeaderDistance(distance, length);
    }
    const auto displayable = DisplayableSize(chunk, slot);
    if (displayable && *displayable <= kMaxSparseFileBytes) end = std::max(end, *displayable);
    return end;
}

}  // namespace ostrum::catalog
