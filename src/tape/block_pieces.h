// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A tape block read whole and handed out in pieces no longer than the reader's buffer. Drives deliver a
// block in one transfer; a block longer than kTapeReadSize (common on modern drives) is read into this
// buffer and the following reads take it piece by piece, so that every reader still asks for
// kTapeReadSize bytes and sees the tape's bytes in order.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace ostrum::tape {

class BlockPieces {
  public:
    // A buffer of `size` bytes to read one whole block into; what it held before is dropped.
    std::span<std::uint8_t> Space(std::size_t size) {
        if (buffer_.size() < size) buffer_.resize(size);
        space_ = size;
        length_ = taken_ = 0;
        return std::span(buffer_).first(size);
    }
    // The block just read into Space() is `length` bytes long; a length beyond that space (a read that
    // claims more than it could have delivered) is cut to it.
    void Hold(std::size_t length) {
        length_ = std::min(length, space_);
        taken_ = 0;
    }
    bool pending() const { return taken_ < length_; }
    // Copies the next piece into `out`; returns its length.
    std::size_t Take(std::span<std::uint8_t> out) {
        const std::size_t count = std::min(out.size(), length_ - taken_);
        std::memcpy(out.data(), buffer_.data() + taken_, count);
        taken_ += count;
        return count;
    }
    void Clear() { length_ = taken_ = 0; }

  private:
    std::vector<std::uint8_t> buffer_;
    std::size_t space_ = 0;  // the size asked of the last Space()
    std::size_t length_ = 0;
    std::size_t taken_ = 0;
};

}  // namespace ostrum::tape
