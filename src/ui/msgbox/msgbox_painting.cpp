// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/msgbox/msgbox_painting.h"

#include <QFontMetrics>

#include "ui/effects/effect_painter.h"
#include "ui/skin/skin_picture.h"

namespace ostrum::ui {

namespace {

void drawSeparatorLine(QPainter& p, int type, int x1, int x2, int y) {
    if (x2 <= x1) {
        return;
    }
    switch (type) {
        case 1:  // etched: shadow over highlight
            p.fillRect(x1, y, x2 - x1, 1, toQColor(systemColor(COLOR_BTNSHADOW)));
            p.fillRect(x1, y + 1, x2 - x1, 1, toQColor(systemColor(COLOR_BTNHIGHLIGHT)));
            break;
        case 2:
            p.fillRect(x1, y, x2 - x1, 1, Qt::black);
            break;
        case 3:
            p.fillRect(x1, y, x2 - x1, 1, Qt::white);
            break;
        default:
            break;
    }
}

// The separator of an area along line `y`, inside `left`..`right` less the text padding.
void drawSeparator(QPainter& p, const MessageArea& area, const QString& text, const QFont& font, int left,
                   int right, int y) {
    if (area.separatorType < 1 || area.separatorType > 3) {
        return;
    }
    const int x1 = left + kBoxTextPadding;
    const int x2 = right - kBoxTextPadding;
    if (text.isEmpty() || area.separatorAlign < 0 || area.separatorAlign > 2) {
        drawSeparatorLine(p, area.separatorType, x1, x2, y);
        return;
    }
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(text);
    int textLeft = x1;
    if (area.separatorAlign == 1) {
        textLeft = x2 - width;
    } else if (area.separatorAlign == 2) {
        textLeft = x1 + (x2 - x1 - width) / 2;
    }
    p.setFont(font);
    drawEmbossedText(p, QRect(textLeft, y - metrics.height() / 2, width, metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
    drawSeparatorLine(p, area.separatorType, x1, textLeft - kBoxTextPadding, y);
    drawSeparatorLine(p, area.separatorType, textLeft + width + kBoxTextPadding, x2, y);
}

void fillArea(QPainter& p, EffectPainter& effects, const MessageArea& area, const QRect& rect) {
    if (area.effect >= 0 && !rect.isEmpty()) {
        effects.fillBackground(p, area.effect, rect, area.colour1, area.colour2, area.colour3, 0, 0);
    }
}

}  // namespace

QImage paintMessageBackground(const MessageBoxParams& params, const MessageStripSizes& sizes, int width,
                              const MessageSeparatorTexts& separators, const QFont& font) {
    const int w = width;
    const int h = sizes.header + sizes.message + sizes.buttons + sizes.details;
    QImage background(w, h, QImage::Format_RGB32);
    QPainter p(&background);
    EffectPainter effects;
    if (params.background.effect >= 0) {
        fillArea(p, effects, params.background, background.rect());
    } else {
        p.fillRect(background.rect(), toQColor(systemColor(COLOR_BTNFACE)));
    }
    const QRect header(0, 0, w, sizes.header);
    if (sizes.header > 0) {
        fillArea(p, effects, params.header, header);
        drawSeparator(p, params.header, separators.header, font, 0, w, header.bottom());
    }
    const QRect strip(0, sizes.header + sizes.message, w, sizes.buttons);
    fillArea(p, effects, params.buttons, strip);
    drawSeparator(p, params.buttons, separators.buttons, font, 0, w, strip.top());
    if (sizes.details > 0) {
        const QRect details(0, strip.bottom() + 1, w, sizes.details);
        fillArea(p, effects, params.details, details);
        drawSeparator(p, params.details, separators.details, font, 0, w, details.top());
    }
    return background;
}

void paintMessageTexts(QPainter& painter, const MessageTextDrawers& drawers, const MessageStripSizes& sizes,
                       QSize client) {
    const int w = client.width();
    if (drawers.header != nullptr) {
        drawers.header->draw(painter, QRect(QPoint(kBoxMarginX, kBoxMarginY),
                                            QPoint(w - kBoxMarginX - 1, sizes.header - kBoxMarginY - 1)));
    }
    if (drawers.body != nullptr) {
        const int top = sizes.header;
        drawers.body->draw(painter,
                           QRect(QPoint(kBoxMarginX, top + kBoxMarginY),
                                 QPoint(w - kBoxMarginX - 1, top + sizes.message - kBoxMarginY - 1)));
    }
    if (drawers.details != nullptr) {
        const int top = sizes.header + sizes.message + sizes.buttons;
        drawers.details->draw(painter, QRect(QPoint(kBoxMarginX, top + kBoxMarginY),
                                             QPoint(w - kBoxMarginX - 1, client.height() - 1)));
    }
}

}  // namespace ostrum::ui
