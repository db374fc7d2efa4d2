// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Picture helpers of the skinned controls: the generated grey and darker copies, the mask of the
// transparent colour, the picture and the text drawn "embossed" for a disabled control, and the
// mapping of the standard greys to the desktop's 3D colours.

#include <QImage>

#include "ui/platform/colorref.h"

class QPainter;

namespace ostrum::ui {

// Every pixel except the transparent colour becomes its luminance 0.299 R + 0.587 G + 0.114 B.
QImage greyPicture(const QImage& source, ColorRef transparent);
// Every pixel except the transparent colour loses 25 % in each channel.
QImage darkerPicture(const QImage& source, ColorRef transparent);

// A picture ready for transparent drawing: `mask` is a one-bit image whose set pixels (value 1)
// are the transparent colour; those pixels are black in `picture`.
struct MaskedPicture {
    QImage picture;
    QImage mask;
    bool isNull() const { return picture.isNull(); }
    // The picture with the masked pixels fully transparent, what a mask-AND / picture-OR draw shows.
    QImage composed() const;
};
// Answers a null picture when the source is null or the mask cannot be allocated.
MaskedPicture maskPicture(const QImage& source, ColorRef transparent);

// Draws the opaque pixels of `picture` as a disabled control's picture: its darker pixels raised
// in the highlight colour one pixel down and right, then in the shadow colour in place.
void drawEmbossedPicture(QPainter& painter, QPoint at, const QImage& picture);
// Draws `text` as a disabled control's text: in the highlight colour one pixel down and right,
// then in the shadow colour in place.
void drawEmbossedText(QPainter& painter, const QRect& rect, int flags, const QString& text);

// Pure greys 128, 192 and 223 become the shadow, face and light colours of the desktop.
QImage mapTo3DColours(const QImage& source);

}  // namespace ostrum::ui
