// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Geometry and drawing of a SkinButton, free of any window so a test or the gallery can paint a
// button's look into any device.

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>

#include "ui/platform/colorref.h"

class QPainter;

namespace ostrum::ui {

// Colour slots of a SkinButton.
enum SkinButtonColour : int {
    kBackgroundIn = 0,  // hovered or pressed
    kTextIn = 1,
    kBackgroundOut = 2,  // neither hovered nor focused
    kTextOut = 3,
    kBackgroundFocus = 4,
    kTextFocus = 5,
    kSkinButtonColourCount = 6,
};

// Picture placement relative to the text.
enum SkinButtonAlign : int { kImageLeft = 0, kImageAbove = 1, kImageRight = 2 };

struct SkinButtonLook {
    QRect rect;
    QString text;
    QFont font;
    QImage picture;  // the picture to show (hover or normal), masked pixels transparent
    bool pressed = false;
    bool hovered = false;
    bool focused = false;
    bool enabled = true;
    bool flat = true;
    bool drawBorder = true;
    bool focusWhenFlat = false;
    bool checkMode = false;
    int alignment = kImageLeft;
    int margin = 0;
    QPoint pressedOffset{1, 1};
    std::array<ColorRef, kSkinButtonColourCount> colours{};
    QImage transparentBackground;  // the parent's pixels under the button, in transparent mode
};

// Where the picture goes, before the pressed offset.
QRect skinButtonPictureRect(const SkinButtonLook& look);
// Where the text is centred.
QRect skinButtonTextRect(const SkinButtonLook& look);
// The text colour the button uses in its current state.
ColorRef skinButtonTextColour(const SkinButtonLook& look);

void drawSkinButton(QPainter& painter, const SkinButtonLook& look);

// The focus rectangle of a picture button: a dotted outline of `r` that inverts what lies under it, so
// that it shows on any picture, as the desktop's own focus rectangle does.
void drawFocusRectangle(QPainter& painter, const QRect& r);

// Moves the three channels of `colour` by the largest amount up to `shade` (-255..255) that keeps
// each within 0..255.
ColorRef offsetColourBy(ColorRef colour, int shade);

}  // namespace ostrum::ui
