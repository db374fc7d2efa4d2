// SPDX-License-Identifier: GPL-3.0-or-later
// Frames and lines of EffectPainter in their seven styles.
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <span>

#include "ui/effects/effect_painter.h"

namespace ostrum::ui {

namespace {

// On and off lengths of each dash style, in multiples of the line width.
constexpr int kDashPattern[] = {18, 6};
constexpr int kDotPattern[] = {3, 3};
constexpr int kDashDotPattern[] = {9, 6, 3, 6};
constexpr int kDashDotDotPattern[] = {9, 3, 3, 3, 3, 3};
constexpr int kDoubleGap = 2;  // the second line of "double" lies 2 x width away
// Widths and lengths beyond these come from hostile mark-up, not from a screen.
constexpr int kMaxLineWidth = 1024;
constexpr int kMaxLineLength = 1 << 16;

std::span<const int> patternOf(LineStyle style) {
    switch (style) {
        case LineStyle::Dash:
            return kDashPattern;
        case LineStyle::Dot:
            return kDotPattern;
        case LineStyle::DashDot:
            return kDashDotPattern;
        case LineStyle::DashDotDot:
            return kDashDotDotPattern;
        default:
            return {};
    }
}

// An axis-aligned line `length` long from `origin` along x (or y), `width` thick, cut into the
// pattern's dashes.
void fillAxisLine(QPainter& painter, QPoint origin, int length, bool horizontal, const QColor& colour,
                  std::span<const int> pattern, int width) {
    length = std::min(length, kMaxLineLength);
    auto fillSpan = [&](int from, int count) {
        const QRect r = horizontal ? QRect(origin.x() + from, origin.y(), count, width)
                                   : QRect(origin.x(), origin.y() + from, width, count);
        painter.fillRect(r, colour);
    };
    if (pattern.empty()) {
        fillSpan(0, length);
        return;
    }
    int position = 0;
    for (std::size_t i = 0; position < length; i = (i + 1) % pattern.size()) {
        const int step = pattern[i] * width;
        if (i % 2 == 0) {
            fillSpan(position, std::min(step, length - position));
        }
        position += step;
    }
}

void strokeLine(QPainter& painter, QPoint from, QPoint to, const QColor& colour, std::span<const int> pattern,
                int width) {
    QPen pen(colour, width, Qt::SolidLine, Qt::FlatCap);
    if (!pattern.empty()) {
        QList<qreal> dashes;
        for (int v : pattern) {
            dashes.append(v);
        }
        pen.setDashPattern(dashes);
    }
    painter.save();
    painter.setPen(pen);
    painter.drawLine(from, to);
    painter.restore();
}

void singleLine(QPainter& painter, QPoint from, QPoint to, const QColor& colour, std::span<const int> pattern,
                int width) {
    if (from.y() == to.y()) {
        const int left = std::min(from.x(), to.x());
        fillAxisLine(painter, QPoint(left, from.y()), std::abs(to.x() - from.x()), true, colour, pattern,
                     width);
    } else if (from.x() == to.x()) {
        const int top = std::min(from.y(), to.y());
        fillAxisLine(painter, QPoint(from.x(), top), std::abs(to.y() - from.y()), false, colour, pattern,
                     width);
    } else {
        strokeLine(painter, from, to, colour, pattern, width);
    }
}

bool drawsAnything(LineStyle style, int width) {
    return width > 0 && style != LineStyle::None;
}

}  // namespace

void EffectPainter::line(QPainter& painter, QPoint from, QPoint to, ColorRef colour, LineStyle style,
                         int width) {
    if (!drawsAnything(style, width)) {
        return;
    }
    width = std::min(width, kMaxLineWidth);
    const QColor c = toQColor(colour);
    singleLine(painter, from, to, c, patternOf(style), width);
    if (style == LineStyle::Double) {
        // Below a horizontal line, beside (to the right of) any other.
        const QPoint offset =
            from.y() == to.y() ? QPoint(0, kDoubleGap * width) : QPoint(kDoubleGap * width, 0);
        singleLine(painter, from + offset, to + offset, c, {}, width);
    }
}

void EffectPainter::frameRect(QPainter& painter, const QRect& rect, ColorRef topLeft, ColorRef bottomRight,
                              LineStyle style, int width) {
    if (!drawsAnything(style, width) || rect.isEmpty()) {
        return;
    }
    width = std::min(width, kMaxLineWidth);
    auto frame = [&](const QRect& r, std::span<const int> pattern) {
        const int right = r.left() + r.width();
        const int bottom = r.top() + r.height();
        const QColor tl = toQColor(topLeft);
        const QColor br = toQColor(bottomRight);
        singleLine(painter, r.topLeft(), QPoint(right, r.top()), tl, pattern, width);
        singleLine(painter, r.topLeft(), QPoint(r.left(), bottom), tl, pattern, width);
        singleLine(painter, QPoint(r.left(), bottom - width), QPoint(right, bottom - width), br, pattern,
                   width);
        singleLine(painter, QPoint(right - width, r.top()), QPoint(right - width, bottom), br, pattern,
                   width);
    };
    frame(rect, patternOf(style));
    if (style == LineStyle::Double) {
        const int inset = kDoubleGap * width;
        const QRect inner = rect.adjusted(inset, inset, -inset, -inset);
        if (!inner.isEmpty()) {
            frame(inner, {});
        }
    }
}

}  // namespace ostrum::ui
