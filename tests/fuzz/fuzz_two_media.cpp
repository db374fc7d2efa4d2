// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the reading of two media as one backup: the input is split in two image files, scanned in order
// as `extract A B` scans them, and every file found is saved from both and checked (fuzz_save_support.h).
// Its first two bytes (little-endian) are the length of the first medium; the rest of the input is the two
// media back to back.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_save_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ostrum;
    if (size < 2) return 0;
    const std::span<const std::uint8_t> rest(data + 2, size - 2);
    const std::size_t first = std::min<std::size_t>(data[0] | (data[1] << 8), rest.size());
    const fuzz::Media media({rest.first(first), rest.subspan(first)});
    const auto found = media.Scan();
    fuzz::SaveAndCheck(media, save::CheckedItems(*found));
    return 0;
}
