// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a tape in order, with a queue of reads taken ahead of time. The tape cannot seek back, so when a
// block handler needs bytes past the end of the current read, they are read from the drive now and kept
// until the loop gets to them: Next() hands out queued reads first, exactly as the drive gave them.

#include <atomic>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "catalog/chunk_view.h"
#include "tape/read_failures.h"
#include "tape/tape_device.h"

namespace ostrum::tape {

class LookaheadReader {
  public:
    struct Limits {
        std::size_t bytes;  // most bytes kept ahead
        std::size_t reads;  // most reads kept ahead
        int failureRun;     // reading ahead stops after this many consecutive failed reads
    };

    // Reading ahead stops when `stopRequested` is set.
    LookaheadReader(TapeDrive& drive, const std::atomic<bool>& stopRequested, Limits limits);

    // The next read of the tape into `out`, which holds kTapeReadSize bytes: a queued one, or a new one.
    // A queued read longer than `out` is handed out in pieces, as the drive does with a long block.
    TapeRead Next(std::span<std::uint8_t> out);

    // The bytes delivered after the read last handed out by Next(): the following reads' bytes back to
    // back, across marks and failed reads (which deliver nothing), up to the end of data.
    catalog::FollowingBytes& following() { return following_; }

    std::size_t queuedReads() const { return queue_.size(); }

  private:
    struct Taken {
        std::vector<std::uint8_t> bytes;
        TapeRead read;
    };
    class Following final : public catalog::FollowingBytes {
      public:
        explicit Following(LookaheadReader& reader) : reader_(reader) {}
        std::size_t ReadFollowing(std::uint64_t distance, std::span<std::uint8_t> out) override;

      private:
        LookaheadReader& reader_;
    };

    TapeRead ReadDrive(std::span<std::uint8_t> out);
    TapeRead TakePiece(std::span<std::uint8_t> out);
    bool ReadAhead();

    TapeDrive& drive_;
    const std::atomic<bool>& stopRequested_;
    Limits limits_;
    Following following_{*this};
    std::deque<Taken> queue_;
    std::vector<std::vector<std::uint8_t>> spare_;  // buffers of consumed reads, for reuse
    std::size_t queuedBytes_ = 0;
    FailureRun failures_;     // failed reads at the end of everything read so far
    bool endOfData_ = false;  // the drive has reported the end of data
};

}  // namespace ostrum::tape
