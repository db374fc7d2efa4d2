// SPDX-License-Identifier: GPL-3.0-or-later
// The button pictures and the state-image strips.

#include <QPainterPath>
#include <QRadialGradient>

#include "art_kit.h"
#include "artwork.h"

namespace ostrum::artwork {

namespace {

// The picture behind the large wizard buttons is the panel's white, so their corners blend in.
const QColor kPanelWhite = colour::white;

void drawPlayTriangle(QPainter& p, QPointF centre, qreal size, const QColor& fill) {
    QPainterPath tri;
    tri.moveTo(centre + QPointF(-size * 0.4, -size * 0.5));
    tri.lineTo(centre + QPointF(size * 0.5, 0));
    tri.lineTo(centre + QPointF(-size * 0.4, size * 0.5));
    tri.closeSubpath();
    p.fillPath(tri, fill);
}

// A document page with a folded corner, the image file.
void drawImageFile(QPainter& p, const QRectF& box) {
    const qreal fold = box.width() * 0.3;
    QPainterPath page;
    page.moveTo(box.topLeft());
    page.lineTo(box.right() - fold, box.top());
    page.lineTo(box.right(), box.top() + fold);
    page.lineTo(box.bottomRight());
    page.lineTo(box.bottomLeft());
    page.closeSubpath();
    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0, QColor(255, 255, 255));
    fill.setColorAt(1, QColor(214, 228, 244));
    p.setPen(QPen(colour::blue.darker(120), 1.2));
    p.setBrush(fill);
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(box.right() - fold, box.top());
    corner.lineTo(box.right() - fold, box.top() + fold);
    corner.lineTo(box.right(), box.top() + fold);
    p.setBrush(QColor(190, 210, 235));
    p.drawPath(corner);
    p.setFont(font(static_cast<int>(box.width() * 0.26), QFont::Bold));
    p.setPen(colour::blue.darker(120));
    p.drawText(QRectF(box.left(), box.bottom() - box.height() * 0.42, box.width(), box.height() * 0.3),
               Qt::AlignCenter, QStringLiteral(".img"));
    // Lines of data on the page.
    p.setPen(QPen(colour::sky, 1.5, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const qreal y = box.top() + box.height() * (0.3 + i * 0.1);
        p.drawLine(QPointF(box.left() + box.width() * 0.18, y), QPointF(box.right() - box.width() * 0.35, y));
    }
}

void drawArrow(QPainter& p, QPointF from, QPointF to, const QColor& colour, qreal width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    const QPointF dir = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF shaftEnd = to - dir * width * 1.6;
    p.drawLine(from, shaftEnd);
    const QPointF normal(-dir.y(), dir.x());
    QPainterPath head;
    head.moveTo(to);
    head.lineTo(shaftEnd + normal * width * 1.5 - dir * width * 0.6);
    head.lineTo(shaftEnd - normal * width * 1.5 - dir * width * 0.6);
    head.closeSubpath();
    p.fillPath(head, colour);
}

QImage tile(int width, int height, const QString& label, void (*drawIcon)(QPainter&, const QRectF&)) {
    QImage image = canvas(width, height, kPanelWhite);
    QPainter p(&image);
    prepare(p);
    const QRectF box(3, 2, width - 7, height - 7);
    drawSoftShadow(p, box, 9, 3);
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, QColor(248, 252, 255));
    fill.setColorAt(1, QColor(213, 230, 248));
    p.setPen(QPen(colour::blue, 1.4));
    p.setBrush(fill);
    p.drawRoundedRect(box, 9, 9);
    drawIcon(p, QRectF(box.left() + 8, box.top() + 6, box.width() - 16, box.height() - 30));
    QRectF band(box.left() + 1, box.bottom() - 22, box.width() - 2, 21);
    QPainterPath bandPath;
    bandPath.addRoundedRect(band, 8, 8);
    QPainterPath top;
    top.addRect(QRectF(band.left(), band.top(), band.width(), 10));
    bandPath = bandPath.united(top);
    QLinearGradient bandFill(band.topLeft(), band.bottomLeft());
    bandFill.setColorAt(0, colour::blue.lighter(115));
    bandFill.setColorAt(1, colour::navyLight);
    p.fillPath(bandPath, bandFill);
    p.setFont(font(13, QFont::Bold));
    drawTextShadowed(p, band, Qt::AlignCenter, label, colour::white, QColor(0, 0, 0, 100));
    return image;
}

void drawLoadIcon(QPainter& p, const QRectF& area) {
    const qreal h = area.height();
    const QRectF file(area.left() + area.width() * 0.12, area.top() + 2, h * 0.78, h - 4);
    drawImageFile(p, file);
    const QRectF folder(area.right() - h * 1.15, area.top() + h * 0.3, h * 1.05, h * 0.66);
    QPainterPath body;
    body.addRoundedRect(folder, 3, 3);
    QLinearGradient fill(folder.topLeft(), folder.bottomLeft());
    fill.setColorAt(0, colour::amberLight);
    fill.setColorAt(1, colour::amber);
    p.setPen(QPen(colour::amber.darker(150), 1));
    p.setBrush(fill);
    p.drawRoundedRect(folder.adjusted(0, -h * 0.1, -folder.width() * 0.55, -folder.height() * 0.8), 2, 2);
    p.drawPath(body);
    drawArrow(p, QPointF(file.right() - 2, file.center().y() + 4),
              QPointF(folder.left() + folder.width() * 0.45, folder.center().y()), colour::green, 4);
}

void drawCreateIcon(QPainter& p, const QRectF& area) {
    const qreal h = area.height();
    const QRectF cassette(area.left() + 2, area.top() + h * 0.18, h * 1.25, h * 0.8);
    drawCassette(p, cassette, QColor(52, 62, 78), colour::amberLight);
    const QRectF file(area.right() - h * 0.8, area.top() + 2, h * 0.76, h - 4);
    drawImageFile(p, file);
    drawArrow(p, QPointF(cassette.right() + 2, cassette.center().y()),
              QPointF(file.left() - 2, cassette.center().y()), colour::green, 4);
}

void drawSymbol(QPainter& p, RoundSymbol symbol, QPointF c, qreal r, const QColor& ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    switch (symbol) {
        case RoundSymbol::Pause:
            p.drawRoundedRect(QRectF(c.x() - r * 0.38, c.y() - r * 0.42, r * 0.26, r * 0.84), 1.5, 1.5);
            p.drawRoundedRect(QRectF(c.x() + r * 0.12, c.y() - r * 0.42, r * 0.26, r * 0.84), 1.5, 1.5);
            break;
        case RoundSymbol::Left:
        case RoundSymbol::Right: {
            const qreal s = symbol == RoundSymbol::Left ? -1 : 1;
            QPainterPath arrow;
            arrow.moveTo(c + QPointF(s * r * 0.5, 0));
            arrow.lineTo(c + QPointF(s * r * 0.02, -r * 0.46));
            arrow.lineTo(c + QPointF(s * r * 0.02, -r * 0.2));
            arrow.lineTo(c + QPointF(-s * r * 0.46, -r * 0.2));
            arrow.lineTo(c + QPointF(-s * r * 0.46, r * 0.2));
            arrow.lineTo(c + QPointF(s * r * 0.02, r * 0.2));
            arrow.lineTo(c + QPointF(s * r * 0.02, r * 0.46));
            arrow.closeSubpath();
            p.drawPath(arrow);
            break;
        }
    }
}

// Strip cells: 16 by 16, white is transparent; drawn without smoothing so each cell keeps a few
// crisp colours.
void drawBox(QPainter& p, int cell, const QColor& inside) {
    const int x = cell * 16;
    p.fillRect(x + 2, 2, 12, 12, QColor(28, 79, 127));
    p.fillRect(x + 3, 3, 10, 10, inside);
}

void drawTick(QPainter& p, int cell) {
    const int x = cell * 16;
    const QColor tick(20, 140, 50);
    // A two-pixel-thick tick from (4,8) down to (6,10) and up to (11,5).
    const QPoint points[] = {{4, 7}, {5, 8}, {6, 9}, {7, 8}, {8, 7}, {9, 6}, {10, 5}, {11, 4}};
    for (const QPoint& pt : points) {
        p.fillRect(x + pt.x(), pt.y(), 1, 3, tick);
    }
}

void drawUpLeftArrow(QPainter& p, int cell) {
    const int x = cell * 16;
    const QColor red(208, 32, 32);
    for (int i = 0; i < 8; ++i) {
        p.fillRect(x + 5 + i, 5 + i, 2, 2, red);  // the shaft, down to the right
    }
    p.fillRect(x + 3, 3, 7, 2, red);  // the head's two arms along the top and left
    p.fillRect(x + 3, 3, 2, 7, red);
}

// The three check-box cells from `first` on: clear, ticked, and ticked on grey (partly chosen).
void drawCheckCells(QPainter& p, int first) {
    drawBox(p, first, Qt::white);
    drawBox(p, first + 1, Qt::white);
    drawTick(p, first + 1);
    drawBox(p, first + 2, QColor(200, 200, 200));
    drawTick(p, first + 2);
}

}  // namespace

QImage startRecoveryPicture() {
    QImage image = canvas(120, 38, kPanelWhite);
    QPainter p(&image);
    prepare(p);
    const QRectF pill(2, 2, 115, 32);
    drawSoftShadow(p, pill, 16, 3);
    drawPill(p, pill, QColor(104, 206, 128), QColor(28, 128, 64), 16);
    p.setFont(font(12, QFont::Bold, true));
    drawTextShadowed(p, QRectF(pill.left() + 6, pill.top(), pill.width() - 24, pill.height()),
                     Qt::AlignCenter, QStringLiteral("Start Recovery"), colour::white,
                     QColor(0, 60, 20, 150));
    drawPlayTriangle(p, QPointF(pill.right() - 13, pill.center().y()), 10, colour::white);
    return image;
}

QImage loadImagePicture() {
    return tile(140, 85, QStringLiteral("Load Image"), drawLoadIcon);
}
QImage createImagePicture() {
    return tile(138, 84, QStringLiteral("Create Image"), drawCreateIcon);
}

QImage roundButtonPicture(RoundSymbol symbol, bool hover) {
    // Black is the transparent colour of these pictures; the ball sits right of centre so that a
    // right-aligned 42-pixel button shows it whole.
    QImage image = canvas(50, 38, Qt::black);
    QPainter p(&image);
    prepare(p);
    const QPointF c(29, 19);
    const qreal r = 16;
    if (hover) {
        QRadialGradient glow(c, r + 3);
        glow.setColorAt(0.8, QColor(120, 210, 255, 200));
        glow.setColorAt(1, QColor(120, 210, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(c, r + 3, r + 3);
    }
    QRadialGradient ball(c + QPointF(-r * 0.35, -r * 0.45), r * 1.5);
    ball.setColorAt(0, hover ? QColor(150, 220, 255) : QColor(110, 186, 240));
    ball.setColorAt(0.55, hover ? QColor(46, 132, 220) : QColor(34, 104, 184));
    ball.setColorAt(1, hover ? QColor(20, 70, 140) : QColor(14, 52, 104));
    p.setPen(QPen(hover ? QColor(210, 240, 255) : QColor(150, 190, 230), 1.2));
    p.setBrush(ball);
    p.drawEllipse(c, r, r);
    drawSymbol(p, symbol, c + QPointF(0.8, 1), r, QColor(5, 25, 55, 120));
    drawSymbol(p, symbol, c, r, QColor(255, 255, 255));
    QPainterPath gloss;
    gloss.addEllipse(QRectF(c.x() - r * 0.7, c.y() - r * 0.92, r * 1.4, r * 0.8));
    QLinearGradient shine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() - r * 0.1));
    shine.setColorAt(0, QColor(255, 255, 255, 140));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillPath(gloss, shine);
    return image;
}

QImage barButtonPicture(int width, const QString& text, bool hover) {
    QImage image = canvas(width, 21, Qt::black);
    QPainter p(&image);
    prepare(p);
    const QRectF pill(0.5, 1.5, width - 1.5, 18);
    if (hover) {
        drawPill(p, pill, colour::amberLight, colour::amber.darker(110), 9);
    } else {
        drawPill(p, pill, QColor(58, 112, 168), QColor(24, 62, 102), 9);
    }
    p.setFont(font(11, QFont::Bold));
    p.setPen(hover ? colour::navy : QColor(226, 238, 250));
    p.drawText(pill, Qt::AlignCenter, text);
    return image;
}

QImage treeStateStrip() {
    QImage image = canvas(68, 16, Qt::white);
    QPainter p(&image);
    drawCheckCells(p, 1);  // cell 0 stays blank
    return image;
}

QImage folderStateStrip() {
    QImage image = canvas(74, 16, Qt::white);
    QPainter p(&image);
    drawCheckCells(p, 0);
    drawBox(p, 3, Qt::white);
    drawUpLeftArrow(p, 3);
    return image;
}

}  // namespace ostrum::artwork
