// SPDX-License-Identifier: GPL-3.0-or-later
// The program's icons, drawn at any size on a transparent background.

#include <QPainterPath>

#include "art_kit.h"
#include "artwork.h"

namespace ostrum::artwork {

namespace {

// An icon `size` pixels square on a transparent background; `draw` gets the side as a length.
template <typename Draw>
QImage drawnIcon(int size, Draw draw) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    prepare(p);
    draw(p, static_cast<qreal>(size));
    return image;
}

// The dark amber outline of every part of a folder.
QPen folderOutline(qreal s) {
    return QPen(QColor(170, 110, 10), std::max(1.0, s / 24));
}

void drawFolderBack(QPainter& p, qreal s) {
    QPainterPath back;
    back.moveTo(s * 0.06, s * 0.2);
    back.lineTo(s * 0.38, s * 0.2);
    back.lineTo(s * 0.46, s * 0.3);
    back.lineTo(s * 0.94, s * 0.3);
    back.lineTo(s * 0.94, s * 0.86);
    back.lineTo(s * 0.06, s * 0.86);
    back.closeSubpath();
    p.setPen(folderOutline(s));
    p.setBrush(QColor(232, 168, 50));
    p.drawPath(back);
}

}  // namespace

QImage applicationIcon(int size) {
    return drawnIcon(size, [](QPainter& p, qreal s) { drawEmblem(p, QRectF(0.5, 0.5, s - 1, s - 1)); });
}

QImage closedFolderIcon(int size) {
    return drawnIcon(size, [](QPainter& p, qreal s) {
        drawFolderBack(p, s);
        QLinearGradient front(QPointF(0, s * 0.36), QPointF(0, s * 0.86));
        front.setColorAt(0, QColor(255, 220, 120));
        front.setColorAt(1, QColor(240, 178, 60));
        p.setPen(folderOutline(s));
        p.setBrush(front);
        p.drawRoundedRect(QRectF(s * 0.06, s * 0.36, s * 0.88, s * 0.5), s / 24, s / 24);
    });
}

QImage openFolderIcon(int size) {
    return drawnIcon(size, [](QPainter& p, qreal s) {
        drawFolderBack(p, s);
        // A sheet of paper showing out of the open folder.
        p.setPen(QPen(QColor(150, 160, 175), std::max(1.0, s / 32)));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(s * 0.2, s * 0.24, s * 0.6, s * 0.4));
        QPainterPath front;
        front.moveTo(s * 0.2, s * 0.44);
        front.lineTo(s * 1.0, s * 0.44);
        front.lineTo(s * 0.86, s * 0.86);
        front.lineTo(s * 0.06, s * 0.86);
        front.closeSubpath();
        QLinearGradient fill(QPointF(0, s * 0.44), QPointF(0, s * 0.86));
        fill.setColorAt(0, QColor(255, 226, 136));
        fill.setColorAt(1, QColor(242, 182, 64));
        p.setPen(folderOutline(s));
        p.setBrush(fill);
        p.drawPath(front);
    });
}

QImage tapeMediumIcon(int size) {
    return drawnIcon(size, [](QPainter& p, qreal s) {
        drawCassette(p, QRectF(s * 0.03, s * 0.16, s * 0.94, s * 0.68), QColor(44, 54, 70),
                     colour::amberLight);
    });
}

}  // namespace ostrum::artwork
