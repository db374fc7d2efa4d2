// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The focus frame of a list or a tree. A style marks the focus of a field (a line edit) on its frame, but
// draws nothing of the kind for a scroll area: a list that has the focus looks like one that has not,
// until a row is current. showFocusFrame gives a scroll area the frame its style draws around a focused
// field, while the area has the focus.

class QAbstractScrollArea;

namespace ostrum::ui {

// From now on, `area` shows the focus frame while it has the focus. The frame is drawn on the area's own
// edge, which its viewport leaves uncovered, after the area has painted it.
void showFocusFrame(QAbstractScrollArea& area);

}  // namespace ostrum::ui
