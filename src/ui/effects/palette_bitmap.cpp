// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/effects/palette_bitmap.h"

#include <QPainter>
#include <algorithm>

namespace ostrum::ui {

namespace {
constexpr int kFullPercent = 100;

bool isPaletteDepth(int depth) {
    return depth == 1 || depth == 4 || depth == 8;
}
}  // namespace

bool PaletteBitmap::create(int width, int height, int depth) {
    *this = PaletteBitmap();
    if (width <= 0 || height <= 0 || !isPaletteDepth(depth)) {
        return false;
    }
    const std::int64_t strideBytes = ((std::int64_t{width} * depth + 31) / 32) * 4;
    if (strideBytes * height > kMaxBytes) {
        return false;
    }
    width_ = width;
    height_ = height;
    depth_ = depth;
    stride_ = static_cast<int>(strideBytes);
    bits_.assign(static_cast<std::size_t>(strideBytes * height), 0);
    table_.assign(std::size_t{1} << depth, 0);
    return true;
}

void PaletteBitmap::setTableEntry(int index, int red, int green, int blue) {
    if (index < 0 || index >= tableSize()) {
        return;
    }
    table_[static_cast<std::size_t>(index)] = makeColorRef(red, green, blue);
    changed();
}

ColorRef PaletteBitmap::tableEntry(int index) const {
    if (index < 0 || index >= tableSize()) {
        return 0;
    }
    return table_[static_cast<std::size_t>(index)];
}

void PaletteBitmap::blendTable(ColorRef colour, int percent) {
    const int p = std::clamp(percent, 0, kFullPercent);
    auto mix = [p](int from, int to) { return (from * (kFullPercent - p) + to * p) / kFullPercent; };
    for (ColorRef& entry : table_) {
        entry = makeColorRef(mix(redOf(entry), redOf(colour)), mix(greenOf(entry), greenOf(colour)),
                             mix(blueOf(entry), blueOf(colour)));
    }
    changed();
}

void PaletteBitmap::setPixel(int x, int y, int index) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    std::uint8_t* row = bits_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_);
    const auto value = static_cast<std::uint8_t>(index & ((1 << depth_) - 1));
    switch (depth_) {
        case 8:
            row[x] = value;
            break;
        case 4: {
            // The left pixel of each byte sits in its high nibble.
            const int shift = (x % 2 == 0) ? 4 : 0;
            row[x / 2] = static_cast<std::uint8_t>((row[x / 2] & ~(0xF << shift)) | (value << shift));
            break;
        }
        default: {
            const int bit = 7 - x % 8;
            row[x / 8] = static_cast<std::uint8_t>((row[x / 8] & ~(1 << bit)) | (value << bit));
            break;
        }
    }
    changed();
}

int PaletteBitmap::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    const std::uint8_t* row = bits_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_);
    switch (depth_) {
        case 8:
            return row[x];
        case 4:
            return (x % 2 == 0) ? (row[x / 2] >> 4) : (row[x / 2] & 0xF);
        default:
            return (row[x / 8] >> (7 - x % 8)) & 1;
    }
}

QImage PaletteBitmap::makeImage() const {
    if (isNull()) {
        return {};
    }
    QImage image(width_, height_, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    std::vector<QRgb> rgb(table_.size());
    std::transform(table_.begin(), table_.end(), rgb.begin(),
                   [](ColorRef c) { return qRgb(redOf(c), greenOf(c), blueOf(c)); });
    for (int y = 0; y < height_; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (depth_ == 8) {
            const std::uint8_t* row =
                bits_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_);
            for (int x = 0; x < width_; ++x) {
                line[x] = rgb[row[x]];
            }
        } else {
            for (int x = 0; x < width_; ++x) {
                line[x] = rgb[static_cast<std::size_t>(pixel(x, y))];
            }
        }
    }
    return image;
}

QImage PaletteBitmap::toImage() const {
    return image_.isNull() ? makeImage() : image_;
}

void PaletteBitmap::draw(QPainter& painter, int x, int y) {
    if (image_.isNull()) {
        image_ = makeImage();
    }
    if (!image_.isNull()) {
        painter.drawImage(x, y, image_);
    }
}

}  // namespace ostrum::ui
