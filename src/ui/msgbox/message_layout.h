// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message box's buttons and geometry as plain computations: which buttons a style and the
// custom lines create, which one is the default, how big the window is and where the buttons and
// the check box go. The dialog measures texts and feeds the sizes in.

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "ui/msgbox/message_box_params.h"

namespace ostrum::ui {

// Fixed metrics of the box, in pixels.
inline constexpr int kBoxTextPadding = 5;
inline constexpr int kBoxMarginX = 14;
inline constexpr int kBoxMarginY = 14;
inline constexpr int kBoxButtonGap = 11;
inline constexpr int kBoxStripMargin = 11;
inline constexpr int kBoxCheckBoxLeft = 10;
inline constexpr int kBoxCheckBoxSize = 13;
inline constexpr int kBoxCheckBoxLabelGap = 6;
inline constexpr int kBoxMinButtonWidth = 80;
inline constexpr int kBoxMinButtonHeight = 23;
inline constexpr int kBoxMaxCustomButtons = 4;
// The details area shows at most this many lines as they are drawn; longer details scroll.
inline constexpr int kBoxMostDetailLines = 15;
// The width a box with scrolling details takes when the rest of it is narrower.
inline constexpr int kBoxScrollingDetailsWidth = 560;
// Room kept on the screen for the window's title bar and borders, which the box cannot measure before it
// is shown.
inline constexpr int kBoxWindowFrame = 40;
// What a title bar holds besides the caption, which the box cannot measure either: the window's icon, its
// close button (and whatever else the window manager puts there) and the margins between them. A box is at
// least as wide as its caption, in the bold face title bars use, and this.
inline constexpr int kBoxTitleBarRoom = 120;

struct MessageButtonSpec {
    MessageAnswer answer = MessageAnswer::None;
    QString customText;  // the line of a custom button; empty for the others
};

struct MessageButtonSet {
    std::vector<MessageButtonSpec> buttons;
    bool cancelAllowed = false;
    // What Escape and the close box answer in a box without Cancel, or None when they do nothing: No, for
    // a Yes/No question, so that the user can always back out of one.
    MessageAnswer escapeAnswer = MessageAnswer::None;
};

// The buttons in creation order: custom lines or the standard set, then Help, Report and the
// details button as asked.
MessageButtonSet buildMessageButtons(const MessageStyle& style, const QString& customButtons, bool report,
                                     bool details);

// The non-empty lines of a custom-button text ("\r" removed), at most four.
QStringList customButtonLines(const QString& customButtons);

// Zero-based index of the default button; an index past the last button means the first.
int defaultButtonIndex(const MessageStyle& style, int buttonCount);

// A button's size from its text's measured size: scaled by 80/45 and 23/13, rounded like the
// platform's MulDiv.
QSize scaledButtonSize(QSize textSize);

// Heights of the strips and the width the content asks for (the window adds its frame).
struct MessageStripSizes {
    int width = 0;
    int header = 0;
    int message = 0;
    int buttons = 0;
    int details = 0;
    QSize button;
};

// Places `count` buttons of `size` along the bottom of `client`.
std::vector<QRect> placeMessageButtons(const QRect& client, int count, QSize size, int alignment,
                                       bool checkBoxBelow, bool hasCheckBox);
// The check box square; its label starts at its right edge plus the label gap.
QRect placeCheckBox(const QRect& client, QSize buttonSize, bool checkBoxBelow);

}  // namespace ostrum::ui
