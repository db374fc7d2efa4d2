// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/msgbox/msgbox_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "ui/msgbox/message_layout.h"

namespace ostrum::ui {

QRect messageBoxScreenArea(const QWidget& box) {
    const QWidget* parent = box.parentWidget();
    const QScreen* shownOn = parent != nullptr ? parent->window()->screen() : box.screen();
    if (shownOn == nullptr) {
        shownOn = QGuiApplication::primaryScreen();
    }
    return shownOn != nullptr ? shownOn->availableGeometry() : QRect();
}

QSize largestMessageClient(const QWidget& box) {
    const QRect area = messageBoxScreenArea(box);
    if (area.isEmpty()) {
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    }
    return {area.width() - kBoxWindowFrame, area.height() - kBoxWindowFrame};
}

void centreMessageBox(QWidget& box) {
    const QWidget* parent = box.parentWidget();
    const QRect reference = parent != nullptr         ? parent->window()->frameGeometry()
                            : box.screen() != nullptr ? box.screen()->availableGeometry()
                                                      : QRect();
    box.move(reference.left() + (reference.width() - box.width()) / 2,
             reference.top() + (reference.height() - box.height()) / 2);
    keepMessageBoxOnScreen(box);
}

void keepMessageBoxOnScreen(QWidget& box) {
    const QRect area = messageBoxScreenArea(box);
    if (area.isEmpty()) {
        return;
    }
    QRect frame = box.frameGeometry();
    if (frame.size() == box.size()) {
        frame.adjust(0, 0, kBoxWindowFrame, kBoxWindowFrame);  // not shown yet: the frame is allowed for
    }
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    if (x != frame.left() || y != frame.top()) {
        box.move(x, y);
    }
}

}  // namespace ostrum::ui
