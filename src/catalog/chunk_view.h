// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the block handlers see of the medium: the bytes one read delivered into the chunk buffer, the
// medium position the scanner assigns to its first byte, and a way to reach the bytes that follow it
// on the medium, so that a name or stream header lying across the end of a chunk is still read whole.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "catalog/byte_reader.h"

namespace ostrum::catalog {

// Supplies the medium's bytes after the current chunk. Implemented by each scanner over its source.
class FollowingBytes {
  public:
    virtual ~FollowingBytes() = default;
    // Copies bytes lying `distance` bytes past the end of the current chunk into `out`; returns how
    // many were available (fewer at the end of the medium or on a read error).
    virtual std::size_t ReadFollowing(std::uint64_t distance, std::span<std::uint8_t> out) = 0;
};

class ChunkView {
  public:
    ChunkView(ByteSpan bytes, std::uint64_t position, std::optional<std::uint64_t> chunkIndex = std::nullopt,
              FollowingBytes* following = nullptr)
        : bytes_(bytes), position_(position), chunkIndex_(chunkIndex), following_(following) {}

    ByteSpan bytes() const { return bytes_; }
    std::uint64_t position() const { return position_; }
    std::optional<std::uint64_t> chunkIndex() const { return chunkIndex_; }
    // The chunk's first byte counted as the bytes the medium delivered before it, which follow one another
    // from chunk to chunk: the position itself for an image; a tape's read (with a chunkIndex), whose
    // position counts its own bytes too, begins that many bytes before its position.
    std::uint64_t start() const { return chunkIndex_ ? position_ - bytes_.size() : position_; }

    // The bytes at chunk offsets [offset, offset + count). When they lie inside the chunk the chunk's own
    // bytes are returned; otherwise they are gathered into `scratch`. The result is shorter than `count`
    // when the medium ends first.
    ByteSpan Fetch(std::uint64_t offset, std::size_t count, std::vector<std::uint8_t>& scratch) const {
        const std::uint64_t size = bytes_.size();
        if (offset <= size && count <= size - offset)
            return bytes_.subspan(static_cast<std::size_t>(offset), count);
        return Gather(offset, count, scratch);
    }

  private:
    // Fetch for bytes that do not all lie inside the chunk.
    ByteSpan Gather(std::uint64_t offset, std::size_t count, std::vector<std::uint8_t>& scratch) const;

    ByteSpan bytes_;
    std::uint64_t position_;
    std::optional<std::uint64_t> chunkIndex_;
    FollowingBytes* following_;
};

}  // namespace ostrum::catalog
