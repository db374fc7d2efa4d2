// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/chunk_view.h"

#include <cstring>

namespace ostrum::catalog {

ByteSpan ChunkView::Gather(std::uint64_t offset, std::size_t count,
                           std::vector<std::uint8_t>& scratch) const {
    const std::uint64_t size = bytes_.size();
    scratch.resize(count);
    std::size_t have = 0;
    if (offset < size) {
        have = static_cast<std::size_t>(size - offset);
        std::memcpy(scratch.data(), bytes_.data() + offset, have);
    }
    if (following_ != nullptr) {
        const std::uint64_t distance = offset < size ? 0 : offset - size;
        have += following_->ReadFollowing(distance, std::span(scratch).subspan(have));
    }
    return ByteSpan(scratch.data(), have);
}

}  // namespace ostrum::catalog
