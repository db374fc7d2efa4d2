// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/skin/skin_button_drawing.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "ui/effects/effect_painter.h"
#include "ui/skin/skin_picture.h"

namespace ostrum::ui {

namespace {

constexpr int kFocusInset = 3;

// A one-pixel frame of `r`: `topLeft` on top and left, `bottomRight` on bottom and right.
void frame(QPainter& p, const QRect& r, SysColor topLeft, SysColor bottomRight) {
    EffectPainter frames([] { return 0; });  // frames take no grain
    frames.frameRect(p, r, systemColor(topLeft), systemColor(bottomRight), LineStyle::Solid, 1);
}

void drawBorder(QPainter& p, const SkinButtonLook& look) {
    const QRect r = look.rect;
    if (look.pressed) {
        if (!look.flat) {
            frame(p, r, SysColor::BtnShadow, SysColor::BtnShadow);
        } else if (look.drawBorder) {
            frame(p, r, SysColor::BtnShadow, SysColor::BtnHighlight);
        }
        return;
    }
    if (!look.flat) {
        frame(p, r, SysColor::BtnHighlight, SysColor::DkShadow3D);
        frame(p, r.adjusted(1, 1, -1, -1), SysColor::Light3D, SysColor::BtnShadow);
    } else if (look.drawBorder && look.hovered) {
        frame(p, r, SysColor::BtnHighlight, SysColor::BtnShadow);
    }
}

int textHeight(const SkinButtonLook& look) {
    return look.text.isEmpty() ? 0 : QFontMetrics(look.font).height();
}

}  // namespace

ColorRef offsetColourBy(ColorRef colour, int shade) {
    const int r = redOf(colour);
    const int g = greenOf(colour);
    const int b = blueOf(colour);
    int amount = 0;
    if (shade > 0) {
        amount = std::min(shade, 255 - std::max({r, g, b}));
    } else if (shade < 0) {
        amount = std::max(shade, -std::min({r, g, b}));
    }
    return makeColorRef(r + amount, g + amount, b + amount);
}

QRect skinButtonPictureRect(const SkinButtonLook& look) {
    if (look.picture.isNull()) {
        return {};
    }
    const QRect r = look.rect;
    const QSize size = look.picture.size();
    const bool hasText = !look.text.isEmpty();
    int x = r.left() + (r.width() - size.width()) / 2;
    int y = r.top() + (r.height() - size.height()) / 2;
    switch (look.alignment) {
        case kImageLeft:
            if (hasText) {
                x = r.left() + look.margin;
            }
            break;
        case kImageAbove:
            if (hasText) {
                y = r.top() + (r.height() - size.height() - textHeight(look)) / 2;
            }
            break;
        case kImageRight:
            x = r.left() + r.width() - look.margin - size.width();
            break;
        default:
            break;
    }
    return {QPoint(x, y), size};
}

QRect skinButtonTextRect(const SkinButtonLook& look) {
    const QRect picture = skinButtonPictureRect(look);
    QRect text = look.rect;
    if (picture.isNull()) {
        return text;
    }
    switch (look.alignment) {
        case kImageLeft:
            text.setLeft(picture.right() + 1);
            break;
        case kImageAbove:
            text.setTop(picture.bottom() + 1);
            text.setHeight(textHeight(look));
            break;
        case kImageRight:
            text.setRight(picture.left() - 1);
            break;
        default:
            break;
    }
    return text;
}

ColorRef skinButtonTextColour(const SkinButtonLook& look) {
    if (look.hovered || look.pressed) {
        return look.colours[kTextIn];
    }
    return look.focused ? look.colours[kTextFocus] : look.colours[kTextOut];
}

void drawSkinButton(QPainter& painter, const SkinButtonLook& look) {
    painter.save();
    if (!look.transparentBackground.isNull()) {
        painter.drawImage(look.rect.topLeft(), look.transparentBackground);
    }
    drawBorder(painter, look);

    QRect picture = skinButtonPictureRect(look);
    if (!picture.isNull()) {
        if (look.pressed && !look.checkMode) {
            picture.translate(look.pressedOffset);
        }
        if (look.enabled) {
            painter.drawImage(picture.topLeft(), look.picture);
        } else {
            drawEmbossedPicture(painter, picture.topLeft(), look.picture);
        }
    }

    if (!look.text.isEmpty()) {
        painter.setFont(look.font);
        QRect textRect = skinButtonTextRect(look);
        if (look.pressed && !look.checkMode) {
            textRect.translate(look.pressedOffset);
        }
        if (look.enabled) {
            painter.setPen(toQColor(skinButtonTextColour(look)));
            painter.drawText(textRect, Qt::AlignCenter, look.text);
        } else {
            drawEmbossedText(painter, textRect, Qt::AlignCenter, look.text);
        }
    }

    if (look.focused && (!look.flat || look.focusWhenFlat)) {
        drawFocusRectangle(painter, look.rect.adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset));
    }
    painter.restore();
}

void drawFocusRectangle(QPainter& painter, const QRect& r) {
    if (r.width() < 2 || r.height() < 2) return;
    painter.save();
    QPen pen(Qt::white, 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    painter.restore();
}

}  // namespace ostrum::ui
