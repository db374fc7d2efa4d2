// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/skin/region_from_bitmap.h"

#include <algorithm>
#include <vector>

namespace ostrum::ui {

namespace {

constexpr int kBlackHigh = 16;  // darkest band: anything up to this counts as black
constexpr int kWhiteLow = 239;  // lightest band: anything from this counts as white
constexpr int kTolerance = 17;  // half width of the band around any other key channel

class RunBatcher {
  public:
    explicit RunBatcher(RegionBuildStats& stats) : stats_(stats) {}

    void add(const QRect& run) {
        rects_.push_back(run);
        ++stats_.runs;
        if (static_cast<int>(rects_.size()) == kRegionBatchSize) {
            flush();
        }
    }

    QRegion finish() {
        flush();
        return std::move(result_);
    }

  private:
    void flush() {
        if (rects_.empty()) {
            return;
        }
        QRegion batch;
        batch.setRects(rects_.data(), static_cast<int>(rects_.size()));
        result_ |= batch;
        ++stats_.batches;
        rects_.clear();
    }

    RegionBuildStats& stats_;
    std::vector<QRect> rects_;
    QRegion result_;
};

bool inBands(QRgb pixel, const std::array<ChannelBand, 3>& bands) {
    return bands[0].contains(qRed(pixel)) && bands[1].contains(qGreen(pixel)) &&
           bands[2].contains(qBlue(pixel));
}

}  // namespace

std::array<ChannelBand, 3> keyColourBands(ColorRef key) {
    if (key == 0) {
        return {{{0, kBlackHigh}, {0, kBlackHigh}, {0, kBlackHigh}}};
    }
    if (key == 0xFFFFFF) {
        return {{{kWhiteLow, 255}, {kWhiteLow, 255}, {kWhiteLow, 255}}};
    }
    auto band = [](int c) { return ChannelBand{std::max(0, c - kTolerance), std::min(255, c + kTolerance)}; };
    return {{band(redOf(key)), band(greenOf(key)), band(blueOf(key))}};
}

std::optional<QRegion> regionFromBitmap(const QImage& bitmap, ColorRef key, bool inside,
                                        RegionBuildStats* stats) {
    if (bitmap.isNull()) {
        return std::nullopt;
    }
    const QImage pixels = bitmap.convertToFormat(QImage::Format_RGB32);
    if (pixels.isNull()) {
        return std::nullopt;
    }
    const auto bands = keyColourBands(key);
    RegionBuildStats local;
    RunBatcher batcher(stats != nullptr ? *stats : local);
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        int x = 0;
        while (x < pixels.width()) {
            if (!inBands(row[x], bands)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < pixels.width() && inBands(row[x], bands)) {
                ++x;
            }
            batcher.add(QRect(start, y, x - start, 1));
        }
    }
    QRegion region = batcher.finish();
    if (!inside) {
        region = region.xored(QRegion(pixels.rect()));
    }
    return region;
}

}  // namespace ostrum::ui
