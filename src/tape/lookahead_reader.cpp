// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/lookahead_reader.h"

#include <algorithm>
#include <cstring>

namespace ostrum::tape {

LookaheadReader::LookaheadReader(TapeDrive& drive, const std::atomic<bool>& stopRequested, Limits limits)
    : drive_(drive), stopRequested_(stopRequested), limits_(limits) {}

TapeRead LookaheadReader::ReadDrive(std::span<std::uint8_t> out) {
    TapeRead read = drive_.Read(out);
    read.count = std::min(read.count, out.size());  // never more than the buffer could take
    failures_.Note(read);
    if (read.end == ReadEnd::EndOfData) endOfData_ = true;
    return read;
}

TapeRead LookaheadReader::Next(std::span<std::uint8_t> out) {
    if (out.empty()) return TapeRead{0, ReadEnd::Error, "cannot read the tape into an empty buffer"};
    if (queue_.empty()) return ReadDrive(out);
    if (queue_.front().bytes.size() > out.size()) return TakePiece(out);
    Taken taken = std::move(queue_.front());
    queue_.pop_front();
    queuedBytes_ -= taken.bytes.size();
    std::memcpy(out.data(), taken.bytes.data(), taken.bytes.size());
    taken.read.count = taken.bytes.size();  // what is left of it when pieces were taken
    spare_.push_back(std::move(taken.bytes));
    return std::move(taken.read);
}

TapeRead LookaheadReader::TakePiece(std::span<std::uint8_t> out) {
    std::vector<std::uint8_t>& bytes = queue_.front().bytes;
    std::memcpy(out.data(), bytes.data(), out.size());
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(out.size()));
    queuedBytes_ -= out.size();
    return TapeRead{out.size(), ReadEnd::None, {}};
}

bool LookaheadReader::ReadAhead() {
    if (endOfData_ || stopRequested_.load(std::memory_order_relaxed)) return false;
    if (failures_.length() >= limits_.failureRun) return false;
    if (queuedBytes_ >= limits_.bytes || queue_.size() >= limits_.reads) return false;
    std::vector<std::uint8_t> buffer;
    if (!spare_.empty()) {
        buffer = std::move(spare_.back());
        spare_.pop_back();
    }
    buffer.resize(kTapeReadSize);
    TapeRead read = ReadDrive(buffer);
    buffer.resize(read.count);
    queuedBytes_ += read.count;
    queue_.push_back(Taken{std::move(buffer), std::move(read)});
    return true;
}

std::size_t LookaheadReader::Following::ReadFollowing(std::uint64_t distance, std::span<std::uint8_t> out) {
    std::size_t copied = 0;
    for (std::size_t index = 0; copied < out.size();) {
        if (index == reader_.queue_.size() && !reader_.ReadAhead()) break;
        const std::vector<std::uint8_t>& bytes = reader_.queue_[index++].bytes;
        if (distance >= bytes.size()) {
            distance -= bytes.size();
            continue;
        }
        const std::size_t from = static_cast<std::size_t>(distance);
        const std::size_t count = std::min(bytes.size() - from, out.size() - copied);
        std::memcpy(out.data() + copied, bytes.data() + from, count);
        copied += count;
        distance = 0;
    }
    return copied;
}

}  // namespace ostrum::tape
