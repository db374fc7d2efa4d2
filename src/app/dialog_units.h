// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window templates are laid out in dialog units; the windows place their controls in pixels at
// 1.5 pixels per unit across and 1.625 down. Both corners are converted, so that controls that meet in
// units meet in pixels.

#include <QRect>
#include <cmath>

namespace ostrum::app {

inline int dialogUnitsAcross(double units) {
    return static_cast<int>(std::lround(units * 1.5));
}
inline int dialogUnitsDown(double units) {
    return static_cast<int>(std::lround(units * 1.625));
}

inline QRect dialogRect(int x, int y, int width, int height) {
    const int left = dialogUnitsAcross(x);
    const int top = dialogUnitsDown(y);
    return QRect(left, top, dialogUnitsAcross(x + width) - left, dialogUnitsDown(y + height) - top);
}

}  // namespace ostrum::app
