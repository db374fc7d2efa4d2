// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/skin/skin_picture.h"

#include <QPainter>
#include <cmath>

namespace ostrum::ui {

namespace {

constexpr int kEmbossLuminanceLimit = 192;  // pixels lighter than this vanish when embossed

// A 32-bit copy of `source` with `fn` applied to every pixel.
template <typename PixelFn>
QImage mapPixels(const QImage& source, PixelFn fn) {
    if (source.isNull()) {
        return {};
    }
    QImage out = source.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            row[x] = fn(row[x]);
        }
    }
    return out;
}

template <typename PixelFn>
QImage transformOpaque(const QImage& source, ColorRef transparent, PixelFn fn) {
    return mapPixels(source, [&](QRgb p) { return fromRgbPixel(p) == transparent ? p : fn(p); });
}

int luminance(QRgb p) {
    return static_cast<int>(0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p));
}

QImage shapeIn(const QImage& picture, QColor colour) {
    QImage shape(picture.size(), QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(shape.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(src[x]) > 127 && luminance(src[x]) < kEmbossLuminanceLimit) {
                dst[x] = colour.rgba();
            }
        }
    }
    return shape;
}

}  // namespace

QImage greyPicture(const QImage& source, ColorRef transparent) {
    return transformOpaque(source, transparent, [](QRgb p) {
        const int l = luminance(p);
        return qRgb(l, l, l);
    });
}

QImage darkerPicture(const QImage& source, ColorRef transparent) {
    return transformOpaque(source, transparent,
                           [](QRgb p) { return qRgb(qRed(p) * 3 / 4, qGreen(p) * 3 / 4, qBlue(p) * 3 / 4); });
}

MaskedPicture maskPicture(const QImage& source, ColorRef transparent) {
    if (source.isNull()) {
        return {};
    }
    MaskedPicture out;
    out.picture = source.convertToFormat(QImage::Format_RGB32);
    out.mask = QImage(source.size(), QImage::Format_Mono);
    if (out.picture.isNull() || out.mask.isNull()) {
        return {};
    }
    out.mask.fill(0);
    for (int y = 0; y < out.picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.picture.scanLine(y));
        for (int x = 0; x < out.picture.width(); ++x) {
            if (fromRgbPixel(row[x]) == transparent) {
                out.mask.setPixel(x, y, 1);
                row[x] = qRgb(0, 0, 0);
            }
        }
    }
    return out;
}

QImage MaskedPicture::composed() const {
    if (picture.isNull()) {
        return {};
    }
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (mask.pixelIndex(x, y) == 1) {
                row[x] = 0;
            }
        }
    }
    return out;
}

void drawEmbossedPicture(QPainter& painter, QPoint at, const QImage& picture) {
    if (picture.isNull()) {
        return;
    }
    painter.drawImage(at + QPoint(1, 1), shapeIn(picture, toQColor(systemColor(COLOR_BTNHIGHLIGHT))));
    painter.drawImage(at, shapeIn(picture, toQColor(systemColor(COLOR_BTNSHADOW))));
}

void drawEmbossedText(QPainter& painter, const QRect& rect, int flags, const QString& text) {
    painter.setPen(toQColor(systemColor(COLOR_BTNHIGHLIGHT)));
    painter.drawText(rect.translated(1, 1), flags, text);
    painter.setPen(toQColor(systemColor(COLOR_BTNSHADOW)));
    painter.drawText(rect, flags, text);
}

QImage mapTo3DColours(const QImage& source) {
    const QRgb shadow = toQColor(systemColor(COLOR_BTNSHADOW)).rgb();
    const QRgb face = toQColor(systemColor(COLOR_BTNFACE)).rgb();
    const QRgb light = toQColor(systemColor(COLOR_3DLIGHT)).rgb();
    return mapPixels(source, [&](QRgb p) {
        switch (p & RGB_MASK) {
            case 0x808080:
                return shadow;
            case 0xC0C0C0:
                return face;
            case 0xDFDFDF:
                return light;
            default:
                return p;
        }
    });
}

}  // namespace ostrum::ui
