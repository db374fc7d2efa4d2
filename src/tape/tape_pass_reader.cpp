// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/tape_pass_reader.h"

namespace ostrum::tape {
namespace {

// How far ahead of the current read the loop reads for a block that crosses its end: more than the
// farthest the catalog's handlers look past a FILE block (its stream walk of 1 MiB) plus one read.
constexpr std::size_t kMaxLookaheadBytes = 2u << 20;
// The most reads kept ahead (the lookahead over a tape of tiny blocks).
constexpr std::size_t kMaxLookaheadReads = 8192;
// What is kept of the discarded first read: a TAPE block is never longer.
constexpr std::size_t kFirstBlockKept = 1024;

}  // namespace

TapePassReader::TapePassReader(TapeDrive& drive, const std::atomic<bool>& stopRequested)
    : reader_(drive, stopRequested, {kMaxLookaheadBytes, kMaxLookaheadReads, kMaxConsecutiveReadFailures}),
      stopRequested_(stopRequested),
      buffer_(kTapeReadSize) {
    previousCount_ = reader_.Next(buffer_).count;
    firstBlock_.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(
                                                              std::min(previousCount_, kFirstBlockKept)));
}

std::optional<TapePass> TapePassReader::Next() {
    if (end_ != End::None) return std::nullopt;
    // The pass before ended a run of failed reads long enough to give up on the drive.
    if (lastPassGaveUp_) {
        end_ = End::GaveUp;
        return std::nullopt;
    }
    if (stopRequested_.load(std::memory_order_relaxed)) {
        end_ = End::Stopped;
        return std::nullopt;
    }
    shownPosition_ += previousCount_;
    TapeRead read = reader_.Next(buffer_);
    ++reads_;
    deliveredTotal_ += read.count;
    previousCount_ = read.count;
    if (read.end == ReadEnd::EndOfData) {
        end_ = End::EndOfData;
        return std::nullopt;
    }
    failures_.Note(read);
    lastPassGaveUp_ = failures_.length() >= kMaxConsecutiveReadFailures;
    const std::size_t count = read.count;
    return TapePass{std::span<const std::uint8_t>(buffer_).first(count), std::move(read), chunkIndex_++,
                    deliveredTotal_, shownPosition_};
}

}  // namespace ostrum::tape
