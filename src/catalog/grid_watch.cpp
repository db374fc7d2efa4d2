// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/grid_watch.h"

#include <algorithm>
#include <array>
#include <span>

#include "catalog/block_tags.h"
#include "catalog/mtf_layout.h"
#include "catalog/scan_context.h"
#include "common/byte_source.h"

namespace ostrum::catalog {
namespace {

using namespace mtf;

constexpr std::uint32_t kSpadWord = TagWord(BlockTagTable[kTagSPAD]);

bool AllZero(ByteSpan bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// As many of the image's bytes at `position` as it holds of `out`.
ByteSpan ReadAt(const common::ImageSource& image, std::uint64_t position, std::span<std::uint8_t> out) {
    return ByteSpan(out.data(), image.Read(position, out).count);
}

// Follows the streams after the noted data to where the next block must begin. Where the grid was lost,
// or nothing: a block or blank bytes are where they should be, the image ends first, or the streams cannot
// be followed.
std::optional<std::uint64_t> LostGridAfter(const common::ImageSource& image, const GridNote& note) {
    std::array<std::uint8_t, kSlotSize> buffer{};
    const auto headerOf = std::span(buffer).first(stream_hdr::kSize);
    std::uint64_t at =
        note.blockStart + stream_hdr::NextHeaderDistance(note.headerAt - note.blockStart,
                                                         note.dataEnd - note.headerAt - stream_hdr::kSize);
    for (int streams = 0; streams <= kMaxStreamsFollowed; ++streams) {
        const ByteSpan header = ReadAt(image, at, headerOf);
        if (header.size() < stream_hdr::kSize) return std::nullopt;  // the image ends
        const std::uint32_t id = *ReadLE32(header, stream_hdr::kStreamId);
        if (!StreamHeaderChecksumHolds(header)) {
            // The data may end on a block boundary with no padding after them: a block begins there.
            const ByteSpan block = ReadAt(image, at, std::span(buffer).first(db_hdr::kSize));
            if (IsDescriptorBlockTag(id) && BlockHeaderChecksumHolds(block, 0)) return std::nullopt;
            return at;
        }
        const std::uint64_t length = *ReadLE64(header, stream_hdr::kStreamLength);
        if (id == 0 || length > kMostStreamBytesFollowed) return std::nullopt;  // blank, or damage
        if (id == kSpadWord) {
            const std::uint64_t next = at + stream_hdr::kSize + length;
            const ByteSpan bytes = ReadAt(image, next, buffer);
            if (bytes.size() < 4 || IsDescriptorBlockTag(*ReadLE32(bytes, 0)) || AllZero(bytes))
                return std::nullopt;
            return next;
        }
        at = note.blockStart + stream_hdr::NextHeaderDistance(at - note.blockStart, length);
    }
    return std::nullopt;
}

}  // namespace

void SettleNote(GridWatch& watch) {
    watch.note.active = false;
    if (const auto lost = LostGridAfter(*watch.image, watch.note)) {
        ++watch.losses;
        if (!watch.firstLoss) watch.firstLoss = *lost;
    }
}

}  // namespace ostrum::catalog
