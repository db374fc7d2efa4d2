// The program's icons, drawn at any size on a transparent background.

#include <QPainterPath>

#include "art_kit.h"
#include "artwork.h"

namespace ostrum::artwork {

namespace {

QImage transparentCanvas(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
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
    p.setPen(QPen(QColor(170, 110, 10), std::max(1.0, s / 24)));
    p.setBrush(QColor(232, 168, 50));
    p.drawPath(back);
}

}  // namespace

QImage applicationIcon(int size) {
    QImage image = transparentCanvas(size);
    QPainter p(&image);
    prepare(p);
    drawEmblem(p, QRectF(0.5, 0.5, size - 1, size - 1));
    return image;
}

QImage closedFolderIcon(int size) {
    QImage image = transparentCanvas(size);
    QPainter p(&image);
    prepare(p);
    const qreal s = size;
    drawFolderBack(p, s);
    QLinearGradient front(QPointF(0, s * 0.36), QPointF(0, s * 0.86));
    front.setColorAt(0, QColor(255, 220, 120));
    front.setColorAt(1, QColor(240, 178, 60));
    p.setPen(QPen(QColor(170, 110, 10), std::max(1.0, s / 24)));
    p.setBrush(front);
    p.drawRoundedRect(QRectF(s * 0.06, s * 0.36, s * 0.88, s * 0.5), s / 24, s / 24);
    return image;
}

QImage openFolderIcon(int size) {
    QImage image = transparentCanvas(size);
    QPainter p(&image);
    prepare(p);
    const qreal s = size;
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
    p.setPen(QPen(QColor(170, 110, 10), std::max(1.0, s / 24)));
    p.setBrush(fill);
    p.drawPath(front);
    return image;
}

QImage tapeMediumIcon(int size) {
    QImage image = transparentCanvas(size);
    QPainter p(&image);
    prepare(p);
    const qreal s = size;
    drawCassette(p, QRectF(s * 0.03, s * 0.16, s * 0.94, s * 0.68), QColor(44, 54, 70), colour::amberLight);
    return image;
}

}  // namespace ostrum::artwork
