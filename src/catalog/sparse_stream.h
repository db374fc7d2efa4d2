// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sparse files. A STAN stream flagged sparse (STREAM_IS_SPARSE) holds no data, or only the file's first
// bytes; the rest follows in SPAR streams, one run each: a frame saying where in the file the run starts,
// then the run's bytes. What no run covers is a hole, read back as zeros.

#include <array>
#include <cstdint>
#include <optional>

#include "catalog/byte_reader.h"
#include "catalog/chunk_view.h"

namespace ostrum::catalog {

inline constexpr std::array<char, 4> kSparseStreamTag = {'S', 'P', 'A', 'R'};
// Largest sparse file believed, in bytes: far beyond any file a tape holds, so a run or a size past it
// is damage, which would otherwise give the saved file an absurd size.
inline constexpr std::uint64_t kMaxSparseFileBytes = 1ull << 50;

struct SparseRun {
    std::uint64_t offset = 0;     // where in the file the run starts
    std::uint64_t frameSize = 0;  // bytes of the frame before the run's bytes
    std::uint64_t length = 0;     // the run's bytes
};

// True when the 22-byte stream header says its stream is sparse.
bool IsSparseStream(ByteSpan header);

// The run of a SPAR stream of `streamLength` bytes, read from the first bytes of its data (at least
// min(streamLength, 16) of them). Both framings are read: offset then length, when that length is the
// stream length less 16, else the offset alone. Nothing when the stream is too short for a frame or the
// run would end past kMaxSparseFileBytes.
std::optional<SparseRun> ReadSparseFrame(ByteSpan frame, std::uint64_t streamLength);

// The full size of a sparse file: the larger of its FILE block's displayable size (believed when the
// block's header checksum holds) and the end of the runs that follow its STAN stream within the reach of
// the scan's stream walk. `stanDistance` is from the FILE block's first byte (at `slot`) to the STAN
// header. Nothing when that STAN is no sparse stream.
std::optional<std::uint64_t> SparseFileSize(const ChunkView& chunk, std::size_t slot,
                                            std::uint64_t stanDistance);

}  // namespace ostrum::catalog
