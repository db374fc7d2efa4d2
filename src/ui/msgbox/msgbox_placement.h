// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the message box goes on the screen, as functions of the box's widget: the area it may take, the
// largest client area it may have there, centred over its owner and kept inside that area.

#include <QRect>
#include <QSize>
#include <QWidget>

namespace ostrum::ui {

// The screen's area for windows where the box opens: its owner's screen, else its own, else the primary
// one; empty when there is no screen.
QRect messageBoxScreenArea(const QWidget& box);
// The largest client area the box may take there (its frame allowed for); unbounded without a screen.
QSize largestMessageClient(const QWidget& box);
// Centres the box over its owner's window, or on its screen without an owner, then keeps it on screen.
void centreMessageBox(QWidget& box);
// Moves the box, its frame allowed for, into the screen's area.
void keepMessageBoxOnScreen(QWidget& box);

}  // namespace ostrum::ui
