// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A device-independent bitmap with a colour table (1, 4 or 8 bits per pixel). Header and pixels
// live in one block; the drawable image is made on the first draw and kept until the bitmap
// changes again.

#include <QImage>
#include <cstdint>
#include <vector>

#include "ui/platform/colorref.h"

class QPainter;

namespace ostrum::ui {

class PaletteBitmap {
  public:
    // Largest pixel block believed: a pattern fill larger than this is a caller's mistake.
    static constexpr std::int64_t kMaxBytes = std::int64_t{256} * 1024 * 1024;

    // Allocates a bitmap of the given size and depth, every pixel index 0 and every table entry
    // black. Fails (and leaves the bitmap empty) for a non-positive size, an unknown depth or
    // a size beyond kMaxBytes. Depths other than 1, 4 and 8 have no table and are refused.
    bool create(int width, int height, int depth);

    bool isNull() const { return width_ == 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    int depth() const { return depth_; }
    int tableSize() const { return static_cast<int>(table_.size()); }
    // Bytes per row: width x depth bits rounded up to a multiple of 32 bits.
    int stride() const { return stride_; }

    void setTableEntry(int index, int red, int green, int blue);
    ColorRef tableEntry(int index) const;
    // Moves every table entry toward `colour` by `percent` (clamped to 0..100).
    void blendTable(ColorRef colour, int percent);

    // x and y count from the top-left corner; points outside the bitmap are ignored.
    void setPixel(int x, int y, int index);
    int pixel(int x, int y) const;

    // The bitmap as a 32-bit image (what a draw puts on the device).
    QImage toImage() const;
    void draw(QPainter& painter, int x, int y);

  private:
    QImage makeImage() const;
    void changed() {
        if (!image_.isNull()) {
            image_ = QImage();
        }
    }

    int width_ = 0;
    int height_ = 0;
    int depth_ = 0;
    int stride_ = 0;
    std::vector<std::uint8_t> bits_;
    std::vector<ColorRef> table_;
    QImage image_;  // made on first draw
};

}  // namespace ostrum::ui
