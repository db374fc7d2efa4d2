// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the save with arbitrary media: the bytes become an image file, which is scanned, and every file
// found is saved into a fresh folder; what lands on disk is checked against what the save reports
// (fuzz_save_support.h).

#include <cstddef>
#include <cstdint>

#include "fuzz_save_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ostrum;
    const fuzz::Media media({std::span(data, size)});
    const auto found = media.Scan();
    fuzz::SaveAndCheck(media, save::CheckedItems(*found));
    return 0;
}
