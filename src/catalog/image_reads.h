// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the image scans (slot by slot, and deep) read an image: chunk reads that note their failures, and
// the bytes after a chunk for blocks that cross its end. Internal to the catalog library.

#include <cstdint>
#include <span>

#include "catalog/chunk_view.h"
#include "catalog/image_scanner.h"

namespace ostrum::catalog {

// The image's bytes after the chunk being examined, read on demand for blocks that cross its end. A read
// that fails here gives fewer bytes, as the end of the image would; the chunk holding them counts the
// failure when the scan gets there.
class ImageFollowing final : public FollowingBytes {
  public:
    ImageFollowing(const common::ImageSource& image, std::uint64_t chunkEnd)
        : image_(image), chunkEnd_(chunkEnd) {}
    std::size_t ReadFollowing(std::uint64_t distance, std::span<std::uint8_t> out) override {
        return image_.Read(chunkEnd_ + distance, out).count;
    }

  private:
    const common::ImageSource& image_;
    std::uint64_t chunkEnd_;
};

// Reads one chunk (or the tail) at `position`: the bytes delivered, the failure noted in `summary` when
// they are fewer than asked.
std::span<const std::uint8_t> ReadChunk(const common::ImageSource& image, std::uint64_t position,
                                        std::span<std::uint8_t> buffer, ImageScanSummary& summary);

}  // namespace ostrum::catalog
