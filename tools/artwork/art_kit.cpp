// SPDX-License-Identifier: GPL-3.0-or-later
#include "art_kit.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

#include "ui/effects/effect_painter.h"

namespace ostrum::artwork {

using ui::fromQColor;

namespace {
// A fixed grain so that every build draws the same pictures.
ui::RandomSource fixedGrain() {
    auto state = std::make_shared<unsigned>(20240517u);
    return [state] {
        *state = *state * 1103515245u + 12345u;
        return static_cast<int>((*state >> 16) & 0x7FFF);
    };
}
}  // namespace

QFont font(int pixelSize, int weight, bool condensed) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setWeight(static_cast<QFont::Weight>(weight));
    if (condensed) {
        f.setStretch(QFont::SemiCondensed);
    }
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QImage canvas(int width, int height, const QColor& fill) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

void prepare(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

void drawTextShadowed(QPainter& p, const QRectF& rect, int flags, const QString& text, const QColor& ink,
                      const QColor& shadow, QPointF offset) {
    p.setPen(shadow);
    p.drawText(rect.translated(offset), flags, text);
    p.setPen(ink);
    p.drawText(rect, flags, text);
}

void drawReel(QPainter& p, QPointF centre, qreal radius, const QColor& flange, const QColor& tape) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(tape);
    p.drawEllipse(centre, radius * 0.78, radius * 0.78);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(flange, radius * 0.14));
    p.drawEllipse(centre, radius * 0.9, radius * 0.9);
    p.setPen(Qt::NoPen);
    p.setBrush(flange);
    p.drawEllipse(centre, radius * 0.34, radius * 0.34);
    p.setBrush(tape.darker(140));
    p.drawEllipse(centre, radius * 0.14, radius * 0.14);
    // Three spokes of the hub.
    p.setPen(QPen(tape.darker(140), std::max(1.0, radius * 0.08), Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const double a = i * 2.0 * M_PI / 3.0 + M_PI / 6.0;
        p.drawLine(centre + QPointF(std::cos(a), std::sin(a)) * radius * 0.16,
                   centre + QPointF(std::cos(a), std::sin(a)) * radius * 0.32);
    }
    p.restore();
}

void drawCassette(QPainter& p, const QRectF& box, const QColor& body, const QColor& label) {
    p.save();
    const qreal w = box.width();
    const qreal h = box.height();
    QLinearGradient shell(box.topLeft(), box.bottomLeft());
    shell.setColorAt(0, body.lighter(125));
    shell.setColorAt(1, body.darker(115));
    p.setPen(QPen(body.darker(160), std::max(1.0, w / 40)));
    p.setBrush(shell);
    p.drawRoundedRect(box, w * 0.08, w * 0.08);
    const QRectF window(box.left() + w * 0.12, box.top() + h * 0.16, w * 0.76, h * 0.5);
    p.setPen(Qt::NoPen);
    p.setBrush(label);
    p.drawRoundedRect(window, w * 0.05, w * 0.05);
    const qreal r = h * 0.2;
    const QColor tape(92, 58, 34);
    drawReel(p, QPointF(window.left() + window.width() * 0.27, window.center().y()), r, QColor(240, 244, 248),
             tape);
    drawReel(p, QPointF(window.left() + window.width() * 0.73, window.center().y()), r * 0.8,
             QColor(240, 244, 248), tape);
    // The tape running across the bottom edge.
    p.setBrush(tape);
    p.drawRect(QRectF(box.left() + w * 0.3, box.bottom() - h * 0.2, w * 0.4, h * 0.07));
    p.restore();
}

void drawEmblem(QPainter& p, const QRectF& box) {
    p.save();
    QLinearGradient tile(box.topLeft(), box.bottomRight());
    tile.setColorAt(0, colour::sky);
    tile.setColorAt(1, colour::blue.darker(130));
    p.setPen(QPen(QColor(255, 255, 255, 150), std::max(1.0, box.width() / 32)));
    p.setBrush(tile);
    const qreal radius = box.width() * 0.22;
    p.drawRoundedRect(box, radius, radius);
    const qreal inset = box.width() * 0.14;
    drawCassette(p, box.adjusted(inset, inset * 1.5, -inset, -inset * 1.5), QColor(40, 48, 60),
                 colour::amberLight);
    // A gloss over the upper half.
    QPainterPath gloss;
    gloss.addRoundedRect(box.adjusted(1, 1, -1, -box.height() * 0.52), radius, radius);
    QLinearGradient shine(box.topLeft(), QPointF(box.left(), box.center().y()));
    shine.setColorAt(0, QColor(255, 255, 255, 110));
    shine.setColorAt(1, QColor(255, 255, 255, 10));
    p.fillPath(gloss, shine);
    p.restore();
}

void drawBanner(QPainter& p, const QRect& rect, const QString& subtitle, int titlePx) {
    ui::EffectPainter effects(fixedGrain());
    effects.fillBackground(p, ui::kEffectDiagShade, rect, fromQColor(colour::navyLight),
                           fromQColor(colour::navy), fromQColor(colour::navy.darker(120)), 3, 0);
    p.save();
    prepare(p);
    // Faint reel rings on the right, the tape's motif.
    p.setBrush(Qt::NoBrush);
    const QPointF ringCentre(rect.right() - rect.height() * 0.9, rect.center().y() + rect.height() * 0.1);
    for (int i = 1; i <= 6; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 26 - i * 3), 2));
        p.drawEllipse(ringCentre, rect.height() * 0.25 * i, rect.height() * 0.25 * i);
    }
    const qreal emblem = rect.height() * 0.68;
    const QRectF emblemBox(rect.left() + 18, rect.top() + (rect.height() - emblem) / 2, emblem, emblem);
    drawEmblem(p, emblemBox);

    const qreal textLeft = emblemBox.right() + 16;
    const QFont title = font(titlePx, QFont::Bold);
    p.setFont(title);
    const QString brand = QStringLiteral("Brivane Ostrum ");
    const qreal baseline = rect.top() + rect.height() * 0.52;
    const QRectF titleRect(textLeft, baseline - titlePx * 1.1, rect.width(), titlePx * 1.3);
    drawTextShadowed(p, titleRect, Qt::AlignLeft | Qt::AlignBottom, brand, colour::white,
                     QColor(0, 0, 0, 120), {1.5, 1.5});
    const qreal brandWidth = QFontMetricsF(title).horizontalAdvance(brand);
    drawTextShadowed(p, titleRect.translated(brandWidth, 0), Qt::AlignLeft | Qt::AlignBottom,
                     QStringLiteral("TAPE"), colour::amber, QColor(0, 0, 0, 120), {1.5, 1.5});
    p.setFont(font(std::max(11, titlePx * 13 / 30)));
    p.setPen(QColor(190, 218, 244));
    p.drawText(QRectF(textLeft + 2, baseline + 6, rect.width() - textLeft, titlePx),
               Qt::AlignLeft | Qt::AlignTop, subtitle);
    // An amber rule closes the banner.
    QLinearGradient rule(rect.bottomLeft(), rect.bottomRight());
    rule.setColorAt(0, colour::amber);
    rule.setColorAt(0.6, colour::amberLight);
    rule.setColorAt(1, QColor(colour::amber.red(), colour::amber.green(), colour::amber.blue(), 40));
    p.fillRect(QRectF(rect.left(), rect.bottom() - 2, rect.width(), 3), rule);
    p.restore();
}

void drawBottomBar(QPainter& p, const QRect& rect, const QString& note) {
    ui::EffectPainter effects(fixedGrain());
    effects.fillBackground(p, ui::kEffectVGradient, rect, fromQColor(colour::navyLight), 0,
                           fromQColor(colour::navy), 0, 0);
    p.save();
    prepare(p);
    p.fillRect(QRectF(rect.left(), rect.top(), rect.width(), 1), QColor(255, 255, 255, 70));
    p.fillRect(QRectF(rect.left(), rect.top() + 1, rect.width(), 1), colour::amber);
    if (!note.isEmpty()) {
        p.setFont(font(11));
        p.setPen(QColor(160, 190, 220));
        p.drawText(rect, Qt::AlignCenter, note);
    }
    p.restore();
}

void drawPage(QPainter& p, const QRect& rect) {
    ui::EffectPainter effects(fixedGrain());
    effects.fillBackground(p, ui::kEffectSoftBump, rect, fromQColor(QColor(246, 249, 252)),
                           fromQColor(colour::page), fromQColor(QColor(214, 225, 238)), 0, 30);
}

void drawSoftShadow(QPainter& p, const QRectF& rect, qreal radius, int spread) {
    p.save();
    p.setPen(Qt::NoPen);
    for (int i = spread; i >= 1; --i) {
        p.setBrush(QColor(20, 40, 70, 14));
        p.drawRoundedRect(rect.adjusted(-i + 1, -i + 2, i + 1, i + 2), radius + i, radius + i);
    }
    p.restore();
}

QRectF drawPanel(QPainter& p, const QRectF& rect, const QString& heading, qreal headingHeight) {
    p.save();
    prepare(p);
    const qreal radius = 8;
    drawSoftShadow(p, rect, radius);
    p.setPen(QPen(colour::panelBorder, 1));
    p.setBrush(colour::white);
    p.drawRoundedRect(rect, radius, radius);

    QPainterPath head;
    head.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, 0), radius, radius);
    QPainterPath cut;
    cut.addRect(QRectF(rect.left(), rect.top(), rect.width(), headingHeight));
    head = head.intersected(cut);
    QLinearGradient fill(rect.topLeft(), QPointF(rect.left(), rect.top() + headingHeight));
    fill.setColorAt(0, colour::blue.lighter(118));
    fill.setColorAt(1, colour::navyLight);
    p.fillPath(head, fill);
    p.fillRect(QRectF(rect.left() + 1, rect.top() + headingHeight, rect.width() - 2, 2), colour::amber);
    p.setFont(font(static_cast<int>(headingHeight * 0.5), QFont::Bold));
    drawTextShadowed(p, QRectF(rect.left() + 14, rect.top(), rect.width() - 28, headingHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, heading, colour::white, QColor(0, 0, 0, 90));
    p.restore();
    return QRectF(rect.left(), rect.top() + headingHeight + 2, rect.width(),
                  rect.height() - headingHeight - 2);
}

void drawRibbon(QPainter& p, QPointF anchor, const QString& text) {
    p.save();
    prepare(p);
    const QFont f = font(11, QFont::Bold);
    p.setFont(f);
    const qreal w = QFontMetricsF(f).horizontalAdvance(text) + 26;
    const qreal h = 20;
    QPainterPath tag;
    tag.moveTo(anchor.x(), anchor.y());
    tag.lineTo(anchor.x() - w, anchor.y());
    tag.lineTo(anchor.x() - w + 8, anchor.y() + h / 2);
    tag.lineTo(anchor.x() - w, anchor.y() + h);
    tag.lineTo(anchor.x(), anchor.y() + h);
    tag.closeSubpath();
    QLinearGradient fill(anchor, anchor + QPointF(0, h));
    fill.setColorAt(0, colour::green.lighter(125));
    fill.setColorAt(1, colour::green.darker(110));
    p.setPen(QPen(colour::green.darker(140), 1));
    p.setBrush(fill);
    p.drawPath(tag);
    p.setPen(colour::white);
    p.drawText(QRectF(anchor.x() - w + 10, anchor.y(), w - 14, h), Qt::AlignCenter,
               QStringLiteral("\u2605 ") + text);
    p.restore();
}

void drawStep(QPainter& p, QPointF topLeft, qreal width, int number, const QString& title,
              const QString& description) {
    p.save();
    prepare(p);
    const qreal badge = 34;
    const QRectF circle(topLeft, QSizeF(badge, badge));
    QRadialGradient ball(circle.center() - QPointF(6, 8), badge * 0.8);
    ball.setColorAt(0, colour::amberLight);
    ball.setColorAt(1, colour::amber.darker(115));
    p.setPen(QPen(colour::amber.darker(150), 1));
    p.setBrush(ball);
    p.drawEllipse(circle);
    p.setFont(font(17, QFont::Bold));
    p.setPen(colour::ink);
    p.drawText(circle, Qt::AlignCenter, QString::number(number));

    const qreal textLeft = circle.right() + 10;
    p.setFont(font(10, QFont::Bold));
    p.setPen(colour::amber.darker(135));
    p.drawText(QRectF(textLeft, topLeft.y() - 1, width, 13), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("STEP %1").arg(number));
    p.setFont(font(14, QFont::Bold));
    p.setPen(colour::ink);
    p.drawText(QRectF(textLeft, topLeft.y() + 12, width - badge - 10, 20), Qt::AlignLeft | Qt::AlignVCenter,
               title);
    if (!description.isEmpty()) {
        p.setFont(font(11));
        p.setPen(colour::mute);
        p.drawText(QRectF(textLeft, topLeft.y() + 33, width - badge - 10, 32),
                   Qt::AlignLeft | Qt::TextWordWrap, description);
    }
    p.restore();
}

void drawPill(QPainter& p, const QRectF& rect, const QColor& light, const QColor& dark, qreal radius) {
    p.save();
    prepare(p);
    QLinearGradient fill(rect.topLeft(), rect.bottomLeft());
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    p.setPen(QPen(dark.darker(135), 1));
    p.setBrush(fill);
    p.drawRoundedRect(rect, radius, radius);
    QPainterPath gloss;
    gloss.addRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -rect.height() * 0.5), radius - 1, radius - 1);
    QLinearGradient shine(rect.topLeft(), QPointF(rect.left(), rect.center().y()));
    shine.setColorAt(0, QColor(255, 255, 255, 120));
    shine.setColorAt(1, QColor(255, 255, 255, 20));
    p.fillPath(gloss, shine);
    p.restore();
}

void drawWell(QPainter& p, const QRectF& rect) {
    p.save();
    prepare(p);
    drawSoftShadow(p, rect, 4, 3);
    p.setPen(QPen(colour::panelBorder.darker(110), 1));
    p.setBrush(colour::white);
    p.drawRoundedRect(rect, 4, 4);
    p.restore();
}

}  // namespace ostrum::artwork
