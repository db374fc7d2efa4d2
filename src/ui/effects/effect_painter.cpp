// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/effects/effect_painter.h"

#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <random>

namespace ostrum::ui {

namespace {

constexpr int kGradientBands = 64;
constexpr int kMaxGranularity = 255;
constexpr int kPaletteMiddle = 128;  // palette entry of colour 2; also the centre of the shade scale
constexpr int kMaxIndex = 255;
constexpr int kPatternDepth = 8;
constexpr int kCubeScale = 128;    // m^3 / 128 / 128 keeps the cube of -127..128 within -128..128
constexpr int kHardBumpBase = 64;  // hardbump factor: (64 - G) x 2
constexpr int kBevelMaxWidth = 16;
constexpr int kBevelWidthDivisor = 6;  // bevel width: min(W / 6, 16)
constexpr int kMetalStreaks = 200;
constexpr int kMetalStreakRange = 40;  // headroom the metal shade leaves for its streaks

int grainOf(int granularity, const RandomSource& random) {
    if (granularity <= 0) {
        return 0;
    }
    const int q = 2 * granularity;
    const int r = std::clamp(random(), 0, kRandomMax);
    // The formula reaches slightly past +G for some G (r = 32767); keep the documented range.
    return std::clamp(r / (kRandomMax / q) - granularity, -granularity, granularity);
}

void buildPatternTable(PaletteBitmap& bitmap, ColorRef c1, ColorRef c2, ColorRef c3, int blend) {
    auto mix = [](ColorRef a, ColorRef b, int weightOfB, auto channel) {
        return (channel(a) * (kPaletteMiddle - weightOfB) + channel(b) * weightOfB) / kPaletteMiddle;
    };
    auto setMix = [&](int entry, ColorRef a, ColorRef b, int w) {
        bitmap.setTableEntry(entry, mix(a, b, w, redOf), mix(a, b, w, greenOf), mix(a, b, w, blueOf));
    };
    for (int i = 0; i <= kPaletteMiddle; ++i) {
        setMix(i, c3, c2, i);
    }
    for (int j = 1; j <= kPaletteMiddle; ++j) {
        setMix(kPaletteMiddle - 1 + j, c2, c1, j);
    }
    bitmap.blendTable(c1, blend);
}

int cube(int m) {
    return m * m * m / kCubeScale / kCubeScale;
}
// 128 + (m^3 / 128 / 128 x factor) / 128: the bump profile of one row or column.
int bump(int m, int factor) {
    return kPaletteMiddle + cube(m) * factor / kCubeScale;
}
int rowPosition(int y, int height) {
    return static_cast<int>(std::int64_t{y} * kMaxIndex / height) - 127;
}
int columnPosition(int x, int width) {
    return static_cast<int>(std::int64_t{width - x} * kMaxIndex / width) - 127;
}
int scaled(int numerator, int factor, int denominator) {
    return static_cast<int>(std::int64_t{numerator} * factor / denominator);
}

// Values are saturated to the table rather than wrapped: a wrapped value turns the brightest
// pixels (the left column of "vbump") into the darkest table entry.
int toIndex(int value) {
    return std::clamp(value, 0, kMaxIndex);
}

// The value of one pixel of the smooth effects 7 to 14, grain not included.
int profileValue(int effect, int x, int y, int w, int h, int g) {
    switch (effect) {
        case kEffectNoise:
            return kPaletteMiddle;
        case kEffectDiagShade: {
            const int n = (kMaxIndex - 2 * g) / 2;
            return scaled(y, n, h) + scaled(w - x, n, w) + g;
        }
        case kEffectHShade:
            return g + scaled(y, kMaxIndex - 2 * g, h);
        case kEffectVShade:
            return g + scaled(w - x, kMaxIndex - 2 * g, w);
        case kEffectHBump:
            return bump(rowPosition(y, h), kPaletteMiddle - g);
        case kEffectVBump:
            return bump(columnPosition(x, w), kPaletteMiddle - g);
        case kEffectSoftBump: {
            const int sum = cube(rowPosition(y, h)) + cube(columnPosition(x, w));
            const int value = kPaletteMiddle + sum * (kPaletteMiddle - g) / kCubeScale;
            return std::clamp(value, g, std::max(g, kMaxIndex - g));
        }
        default:
            return 0;
    }
}

int bevelled(int value, int x, int w) {
    const int bevel = std::min(w / kBevelWidthDivisor, kBevelMaxWidth);
    if (bevel <= 0) {
        return value;
    }
    if (x < bevel) {  // light edge on the left
        return value + (kMaxIndex - value) * (bevel - x) / bevel;
    }
    const int fromRight = w - 1 - x;
    if (fromRight < bevel) {  // dark edge on the right
        return value - value * (bevel - fromRight) / bevel;
    }
    return value;
}

void renderHardBump(PaletteBitmap& bmp, int g, const RandomSource& random) {
    const int w = bmp.width();
    const int h = bmp.height();
    const int factor = (kHardBumpBase - g) * 2;
    for (int y = 0; y < h; ++y) {
        const int row = bump(rowPosition(y, h), factor);
        for (int x = 0; x < w; ++x) {
            bmp.setPixel(x, y, toIndex(bevelled(toIndex(row), x, w) + grainOf(g, random)));
        }
    }
}

int randomBelow(const RandomSource& random, int bound) {
    return bound <= 0 ? 0 : std::clamp(random(), 0, kRandomMax) % bound;
}

void renderMetal(PaletteBitmap& bmp, int g, const RandomSource& random) {
    const int w = bmp.width();
    const int h = bmp.height();
    // Streaks go onto the fresh bitmap, whose every index is still 0; the shade is added on top.
    for (int s = 0; s < kMetalStreaks; ++s) {
        const int x0 = randomBelow(random, w);
        const int y0 = randomBelow(random, h);
        const int length = randomBelow(random, w / 2 + 1);
        const int index = randomBelow(random, kMetalStreakRange + 1);
        for (int k = 0; k < length; ++k) {
            bmp.setPixel(x0 + k, y0 + k, index);  // points past the edge are ignored
        }
    }
    const int n = (kMaxIndex - 2 * g - kMetalStreakRange) / 2;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int shade = scaled(y, n, h) + scaled(w - x, n, w) + g;
            bmp.setPixel(x, y, toIndex(bmp.pixel(x, y) + shade + grainOf(g, random)));
        }
    }
}

void renderSmooth(PaletteBitmap& bmp, int effect, int g, const RandomSource& random) {
    const int w = bmp.width();
    const int h = bmp.height();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int value = toIndex(profileValue(effect, x, y, w, h, g));
            bmp.setPixel(x, y, toIndex(value + grainOf(g, random)));
        }
    }
}

RandomSource platformRandom() {
    std::minstd_rand engine(std::random_device{}());
    return [engine]() mutable { return static_cast<int>(engine() % (kRandomMax + 1)); };
}

}  // namespace

ColorRef gradientBandColour(ColorRef from, ColorRef to, int band) {
    auto channel = [band](int start, int end) {
        return (start * kGradientBands + band * (end - start)) / kGradientBands;
    };
    return makeColorRef(channel(redOf(from), redOf(to)), channel(greenOf(from), greenOf(to)),
                        channel(blueOf(from), blueOf(to)));
}

PaletteBitmap renderPattern(int effect, int width, int height, ColorRef colour1, ColorRef colour2,
                            ColorRef colour3, int granularity, int blend, const RandomSource& random) {
    PaletteBitmap bmp;
    if (effect < kEffectNoise || effect > kEffectMetal || !random ||
        !bmp.create(width, height, kPatternDepth)) {
        return {};
    }
    const int g = std::clamp(granularity, 0, kMaxGranularity);
    buildPatternTable(bmp, colour1, colour2, colour3, blend);
    if (effect == kEffectHardBump) {
        renderHardBump(bmp, g, random);
    } else if (effect == kEffectMetal) {
        renderMetal(bmp, g, random);
    } else {
        renderSmooth(bmp, effect, g, random);
    }
    return bmp;
}

EffectPainter::EffectPainter() : random_(platformRandom()) {}

EffectPainter::EffectPainter(RandomSource random) : random_(std::move(random)) {
    if (!random_) {
        random_ = platformRandom();
    }
}

void EffectPainter::setRandomSource(RandomSource random) {
    random_ = random ? std::move(random) : platformRandom();
}

void EffectPainter::gradient(QPainter& painter, const QRect& rect, ColorRef from, ColorRef to,
                             bool horizontal) {
    if (rect.isEmpty()) {
        return;
    }
    const std::int64_t span = horizontal ? rect.width() : rect.height();
    for (int band = 0; band < kGradientBands; ++band) {
        const auto begin = static_cast<int>(band * span / kGradientBands);
        const auto end = static_cast<int>((band + 1) * span / kGradientBands);
        if (begin == end) {
            continue;
        }
        const QRect area = horizontal ? QRect(rect.left() + begin, rect.top(), end - begin, rect.height())
                                      : QRect(rect.left(), rect.top() + begin, rect.width(), end - begin);
        painter.fillRect(area, toQColor(gradientBandColour(from, to, band)));
    }
}

void EffectPainter::fillBackground(QPainter& painter, int effect, const QRect& rect, ColorRef colour1,
                                   ColorRef colour2, ColorRef colour3, int granularity, int blend) {
    if (effect == kEffectTransparent || rect.isEmpty()) {
        return;
    }
    const int halfW = rect.width() / 2;
    const int halfH = rect.height() / 2;
    const QRect left(rect.left(), rect.top(), halfW, rect.height());
    const QRect right(rect.left() + halfW, rect.top(), rect.width() - halfW, rect.height());
    const QRect top(rect.left(), rect.top(), rect.width(), halfH);
    const QRect bottom(rect.left(), rect.top() + halfH, rect.width(), rect.height() - halfH);
    switch (effect) {
        case kEffectHGradient:
            gradient(painter, rect, colour1, colour3, true);
            return;
        case kEffectVGradient:
            gradient(painter, rect, colour1, colour3, false);
            return;
        case kEffectHCGradient:
            gradient(painter, left, colour1, colour3, true);
            gradient(painter, right, colour3, colour1, true);
            return;
        case kEffectVCGradient:
            gradient(painter, top, colour1, colour3, false);
            gradient(painter, bottom, colour3, colour1, false);
            return;
        case kEffect3HGradient:
            gradient(painter, left, colour1, colour2, true);
            gradient(painter, right, colour2, colour3, true);
            return;
        case kEffect3VGradient:
            gradient(painter, top, colour1, colour2, false);
            gradient(painter, bottom, colour2, colour3, false);
            return;
        default:
            break;
    }
    if (effect >= kEffectNoise && effect <= kEffectMetal) {
        PaletteBitmap bmp = renderPattern(effect, rect.width(), rect.height(), colour1, colour2, colour3,
                                          granularity, blend, random_);
        bmp.draw(painter, rect.left(), rect.top());
        return;
    }
    painter.fillRect(rect, toQColor(colour1));  // solid, and any unknown effect number
}

}  // namespace ostrum::ui
