// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the recovery window's controls lie. The window opens at the size its template gives (783 x 504
// pixels) with the controls where the template puts them (the list of all files below a filter field), and
// may be resized: the tree, the folder list and
// the list of all files take the new room, the progress bar, the status lines and the buttons keep to the
// bottom edge, and the two splitter bars keep their share of the room they move in. Pure geometry, so that
// tests and pictures can ask for it without a window.

#include <QPainter>
#include <QRect>
#include <QSize>

namespace ostrum::app {

// The size the window opens at the first time, and its smallest size.
inline constexpr QSize kRecoveryDefaultSize{783, 504};

// Where the two splitter bars stand, as shares of the room each moves in: the vertical bar across the width
// between the tree's left edge and the lists' right edge, the horizontal one down the height between the
// lists' top and bottom. The defaults put them where the template does.
struct SplitterShares {
    double across = 0;
    double down = 0;
};
SplitterShares defaultSplitterShares();

struct RecoveryGeometry {
    QRect tree, folderList, foundFiles;
    QRect filter, filterCount;  // the filter field above the list of all files, and the count beside it
    QRect verticalBar, horizontalBar;  // the bars' own rectangles, kThickness thick
    QRect progress, statusLine, positionLine;
    QRect stop, back, next;
    // The range each bar's centre may be dragged in.
    int verticalLower = 0, verticalUpper = 0;
    int horizontalLower = 0, horizontalUpper = 0;
};

RecoveryGeometry recoveryGeometry(QSize client, const SplitterShares& shares);
// The shares that put the bars' centres at `verticalCentre` and `horizontalCentre` in a window of `client`.
SplitterShares sharesAt(QSize client, int verticalCentre, int horizontalCentre);

// The background of a window of another size than its skin's: the skin's banner and bottom bar, their
// middles stretched, a plain page between them, and the wells behind the tree and the lists. At the skin's
// own size the skin is painted as it is instead.
void paintResizedRecoverySkin(QPainter& painter, const QImage& skin, QSize client, const QRect& tree,
                              const QRect& lists);

}  // namespace ostrum::app
