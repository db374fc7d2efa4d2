// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// regionFromBitmap: the region of a picture's pixels that match (or, by default, do not match) a
// key colour within a tolerance band, built from one-pixel-high runs.

#include <QImage>
#include <QRegion>
#include <array>
#include <optional>

#include "ui/platform/colorref.h"

namespace ostrum::ui {

struct ChannelBand {
    int low = 0;
    int high = 0;
    bool contains(int value) const { return value >= low && value <= high; }
};

// Per channel (red, green, blue): black keys accept 0..16, white keys 239..255, any other key
// its own value plus or minus 17, clamped to 0..255.
std::array<ChannelBand, 3> keyColourBands(ColorRef key);

// Rectangles are turned into a region in batches of at most this many.
inline constexpr int kRegionBatchSize = 3000;

struct RegionBuildStats {
    int runs = 0;     // one-pixel-high rectangles found
    int batches = 0;  // regions ORed into the result
};

// With `inside` the region covers the key-coloured pixels; without it, every other pixel.
// Answers nothing for a null picture.
std::optional<QRegion> regionFromBitmap(const QImage& bitmap, ColorRef key, bool inside,
                                        RegionBuildStats* stats = nullptr);

}  // namespace ostrum::ui
