// SPDX-License-Identifier: GPL-3.0-or-later
// Picture drawing of EffectPainter: effects on each pixel, transparency mask, hard and blurred
// drop shadows, per-pixel alpha.
#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "ui/effects/effect_painter.h"

namespace ostrum::ui {

namespace {

constexpr int kOpaque = 255;
constexpr double kLumaRed = 0.299;
constexpr double kLumaGreen = 0.587;
constexpr double kLumaBlue = 0.114;
constexpr double kDarkerFactor = 0.75;
constexpr double kLighterFactor = 1.25;
constexpr int kMaxPictureSide = 8192;  // larger targets are refused rather than allocated

// A picture ready to put on the device: 32-bit, effects applied, transparent pixels zero, and
// the coverage of every pixel (0 where the mask is white, the pixel's alpha elsewhere).
struct PreparedPicture {
    QImage pixels;  // Format_ARGB32, not premultiplied
    std::vector<std::uint8_t> coverage;
};

bool carriesAlpha(const QImage& image) {
    if (!image.hasAlphaChannel()) {
        return false;
    }
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 0) {
                return true;
            }
        }
    }
    return false;  // a picture whose alpha bytes are all zero is an opaque one
}

QRgb applyEffects(QRgb pixel, const PictureOptions& options) {
    int r = qRed(pixel);
    int g = qGreen(pixel);
    int b = qBlue(pixel);
    if ((options.flags & kPictureGrey) != 0) {
        const int luma = static_cast<int>(kLumaRed * r + kLumaGreen * g + kLumaBlue * b);
        r = g = b = luma;
    }
    if ((options.flags & kPictureDarker) != 0) {
        r = static_cast<int>(r * kDarkerFactor);
        g = static_cast<int>(g * kDarkerFactor);
        b = static_cast<int>(b * kDarkerFactor);
    }
    if ((options.flags & kPictureLighter) != 0) {
        r = std::min(kOpaque, static_cast<int>(r * kLighterFactor));
        g = std::min(kOpaque, static_cast<int>(g * kLighterFactor));
        b = std::min(kOpaque, static_cast<int>(b * kLighterFactor));
    }
    if ((options.flags & kPictureFill) != 0) {
        r = redOf(options.fillColour);
        g = greenOf(options.fillColour);
        b = blueOf(options.fillColour);
    }
    return qRgba(r, g, b, qAlpha(pixel));
}

PreparedPicture prepare(const QImage& source, const PictureOptions& options) {
    const bool alpha = carriesAlpha(source);
    PreparedPicture out;
    out.pixels = source.convertToFormat(QImage::Format_ARGB32);
    if (out.pixels.isNull()) {
        return {};
    }
    const int w = out.pixels.width();
    out.coverage.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(out.pixels.height()), 0);
    const QRgb key =
        qRgb(redOf(options.transparent), greenOf(options.transparent), blueOf(options.transparent));
    for (int y = 0; y < out.pixels.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.pixels.scanLine(y));
        for (int x = 0; x < w; ++x) {
            QRgb p = line[x];
            const bool keyed = options.useTransparent && (p & RGB_MASK) == (key & RGB_MASK);
            const int a = alpha ? qAlpha(p) : kOpaque;
            if (keyed || a == 0) {
                p = 0;
            } else {
                p = applyEffects(qRgba(qRed(p), qGreen(p), qBlue(p), a), options);
                out.coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                             static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(a);
            }
            if ((options.flags & kPictureInvert) != 0) {
                p = qRgba(kOpaque - qRed(p), kOpaque - qGreen(p), kOpaque - qBlue(p), qAlpha(p));
            }
            line[x] = p;
        }
    }
    return out;
}

int makeOdd(int value) {
    return value <= 0 ? 1 : (value % 2 == 0 ? value + 1 : value);
}

// Shrinks the coverage into the middle of an empty map, leaving blurW / blurH pixels free, and
// averages it over a blurW x blurH window (an area outside the map counts as uncovered).
std::vector<std::uint8_t> blurredCoverage(const std::vector<std::uint8_t>& coverage, int w, int h, int blurW,
                                          int blurH) {
    std::vector<std::uint8_t> out(coverage.size(), 0);
    const int innerW = w - blurW;
    const int innerH = h - blurH;
    if (innerW <= 0 || innerH <= 0) {
        return out;
    }
    std::vector<std::uint8_t> shrunk(coverage.size(), 0);
    for (int y = 0; y < innerH; ++y) {
        const int sy = static_cast<int>(std::int64_t{y} * h / innerH);
        for (int x = 0; x < innerW; ++x) {
            const int sx = static_cast<int>(std::int64_t{x} * w / innerW);
            shrunk[static_cast<std::size_t>(y + blurH / 2) * w + static_cast<std::size_t>(x + blurW / 2)] =
                coverage[static_cast<std::size_t>(sy) * w + static_cast<std::size_t>(sx)];
        }
    }
    // Summed-area table with one row and column of zeros in front.
    const int sw = w + 1;
    std::vector<std::int64_t> sum(static_cast<std::size_t>(sw) * static_cast<std::size_t>(h + 1), 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            sum[static_cast<std::size_t>(y + 1) * sw + x + 1] =
                shrunk[static_cast<std::size_t>(y) * w + x] + sum[static_cast<std::size_t>(y) * sw + x + 1] +
                sum[static_cast<std::size_t>(y + 1) * sw + x] - sum[static_cast<std::size_t>(y) * sw + x];
        }
    }
    const std::int64_t window = std::int64_t{blurW} * blurH;
    for (int y = 0; y < h; ++y) {
        const int y0 = std::max(0, y - blurH / 2);
        const int y1 = std::min(h, y + blurH / 2 + 1);
        for (int x = 0; x < w; ++x) {
            const int x0 = std::max(0, x - blurW / 2);
            const int x1 = std::min(w, x + blurW / 2 + 1);
            const std::int64_t total =
                sum[static_cast<std::size_t>(y1) * sw + x1] - sum[static_cast<std::size_t>(y0) * sw + x1] -
                sum[static_cast<std::size_t>(y1) * sw + x0] + sum[static_cast<std::size_t>(y0) * sw + x0];
            out[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>(total / window);
        }
    }
    return out;
}

// The darkness map: white where nothing is covered, the shadow colour under full coverage.
QImage darknessMap(const std::vector<std::uint8_t>& coverage, int w, int h, ColorRef shadow) {
    QImage map(w, h, QImage::Format_RGB32);
    if (map.isNull()) {
        return {};
    }
    auto channel = [](int cover, int shade) { return kOpaque - cover * (kOpaque - shade) / kOpaque; };
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(map.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int c = coverage[static_cast<std::size_t>(y) * w + x];
            line[x] =
                qRgb(channel(c, redOf(shadow)), channel(c, greenOf(shadow)), channel(c, blueOf(shadow)));
        }
    }
    return map;
}

void drawShadow(QPainter& painter, const QRect& target, const PreparedPicture& picture,
                const PictureOptions& options) {
    const int w = picture.pixels.width();
    const int h = picture.pixels.height();
    const bool blurred = (options.flags & kPictureBlurredShadow) != 0;
    const QImage map = blurred
                           ? darknessMap(blurredCoverage(picture.coverage, w, h, makeOdd(options.blurWidth),
                                                         makeOdd(options.blurHeight)),
                                         w, h, options.shadowColour)
                           : darknessMap(picture.coverage, w, h, options.shadowColour);
    if (map.isNull()) {
        return;
    }
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.drawImage(target.topLeft() + QPoint(options.shadowDx, options.shadowDy), map);
    painter.restore();
}

bool plausibleTarget(const QRect& target) {
    return !target.isEmpty() && target.width() <= kMaxPictureSide && target.height() <= kMaxPictureSide;
}

}  // namespace

void EffectPainter::drawPicture(QPainter& painter, const QRect& target, const QImage& picture,
                                const PictureOptions& options) {
    if (picture.isNull() || !plausibleTarget(target)) {
        return;
    }
    const QImage sized = picture.size() == target.size()
                             ? picture
                             : picture.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const PreparedPicture prepared = prepare(sized, options);
    if (prepared.pixels.isNull()) {
        return;
    }
    const bool wantsShadow = (options.flags & (kPictureShadow | kPictureBlurredShadow)) != 0;
    if (wantsShadow && options.shadowOn) {
        drawShadow(painter, target, prepared, options);
    }
    // Source-over with alpha 0 or 255 is the mask-and-picture pair; with real alpha it is the
    // per-pixel blend alpha x picture + (1 - alpha) x destination.
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(target.topLeft(), prepared.pixels);
    painter.restore();
}

void EffectPainter::drawIcon(QPainter& painter, const QRect& target, const QIcon& icon,
                             const PictureOptions& options) {
    if (icon.isNull() || !plausibleTarget(target)) {
        return;
    }
    // The icon renders itself at the requested size, as a new icon of that size would.
    QImage image = icon.pixmap(target.size(), 1.0).toImage();
    if (image.isNull()) {
        return;
    }
    if (image.size() != target.size()) {
        // An icon without a picture of that size is drawn from its nearest one, scaled.
        image = image.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    drawPicture(painter, target, image, options);
}

void EffectPainter::drawStripCell(QPainter& painter, const QRect& target, const QImage& strip, QSize cellSize,
                                  int index, const PictureOptions& options) {
    if (strip.isNull() || cellSize.width() <= 0 || cellSize.height() <= 0 || index < 0) {
        return;
    }
    const int columns = strip.width() / cellSize.width();
    const int rows = strip.height() / cellSize.height();
    if (columns <= 0 || rows <= 0 || index >= columns * rows) {
        return;
    }
    const QRect cell((index % columns) * cellSize.width(), (index / columns) * cellSize.height(),
                     cellSize.width(), cellSize.height());
    drawPicture(painter, target, strip.copy(cell), options);
}

}  // namespace ostrum::ui
