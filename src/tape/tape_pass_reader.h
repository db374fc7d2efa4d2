// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The read loop of the tape scan and the tape save: the tape read pass by pass with the scan's counters,
// so that whoever reads a tape again (saving files found by a scan) meets every ChunkIndex and DataOffset
// of the catalog at the same bytes.
//
// The first read after the rewind is discarded; its length counts only in the shown position. Every
// further read is one pass, filemarks, setmarks and failed reads included (they deliver no bytes), until
// the end of recorded data, a run of kMaxConsecutiveReadFailures failed reads, or a stop request.

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "catalog/chunk_view.h"
#include "tape/lookahead_reader.h"
#include "tape/read_failures.h"
#include "tape/tape_device.h"

namespace ostrum::tape {

struct TapePass {
    std::span<const std::uint8_t> bytes;  // what the read delivered; valid until the next call
    TapeRead read;                        // how the read ended (a mark or an error deliver nothing)
    std::uint64_t chunkIndex = 0;         // the pass's ChunkIndex, from 0
    std::uint64_t deliveredTotal = 0;     // bytes of all reads of the loop, this one included
    std::uint64_t shownPosition = 0;      // bytes of all reads before this one, the discarded one included
};

class TapePassReader {
  public:
    enum class End : std::uint8_t { None, EndOfData, GaveUp, Stopped };

    // Reads and discards the tape's first block from a drive that has just been prepared for reading.
    // `stopRequested` is tested before every read.
    TapePassReader(TapeDrive& drive, const std::atomic<bool>& stopRequested);

    // The next pass, or nothing when the loop has ended (end() says how).
    std::optional<TapePass> Next();
    End end() const { return end_; }
    // Reads of the loop so far, the one that met the end of data included (the discarded one not).
    std::uint64_t reads() const { return reads_; }

    // The first bytes of the discarded first read (as much as a descriptor block takes).
    std::span<const std::uint8_t> firstBlock() const { return firstBlock_; }

    // The bytes the following passes will deliver, read ahead of time when asked.
    catalog::FollowingBytes& following() { return reader_.following(); }

  private:
    LookaheadReader reader_;
    const std::atomic<bool>& stopRequested_;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t> firstBlock_;
    std::uint64_t chunkIndex_ = 0;
    std::uint64_t deliveredTotal_ = 0;
    std::uint64_t shownPosition_ = 0;
    std::uint64_t reads_ = 0;
    std::size_t previousCount_ = 0;
    FailureRun failures_;
    bool lastPassGaveUp_ = false;
    End end_ = End::None;
};

}  // namespace ostrum::tape
