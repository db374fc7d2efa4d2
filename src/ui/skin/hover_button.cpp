// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/skin/hover_button.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "ui/skin/skin_button_drawing.h"
#include "ui/skin/skin_picture.h"

namespace ostrum::ui {

HoverButton::HoverButton(QWidget* parent)
    : QAbstractButton(parent), cursorPos_([] { return QCursor::pos(); }), tip_(this, 0) {
    setMouseTracking(true);
    hoverTimer_.setInterval(kHoverCheckMs);
    connect(&hoverTimer_, &QTimer::timeout, this, &HoverButton::checkHover);
}

bool HoverButton::loadBitmap(const ResourceProvider& resources, int id) {
    return setPicture(resources.bitmap(id));
}

bool HoverButton::setPicture(const QImage& picture) {
    picture_ = mapTo3DColours(picture);
    if (!picture_.isNull()) {
        setFixedSize(picture_.size());
    }
    update();
    return !picture_.isNull();
}

void HoverButton::setTooltipText(const QString& text, bool activate) {
    tip_.setText(text, activate);
}

void HoverButton::setLinkText(const QString& text) {
    link_ = text.left(kMaxLinkLength);
    setCursor(Qt::PointingHandCursor);
}

QSize HoverButton::sizeHint() const {
    return picture_.isNull() ? QSize(16, 16) : picture_.size();
}

bool HoverButton::event(QEvent* e) {
    tip_.relay(e);
    return QAbstractButton::event(e);
}

void HoverButton::paintEvent(QPaintEvent* e) {
    QPainter painter(this);
    painter.setClipRegion(e->region());
    drawHoverButton(painter, picture_, isDown(), hasFocus());
}

void HoverButton::mouseMoveEvent(QMouseEvent* e) {
    const bool inside = rect().contains(e->position().toPoint());
    if (inside && !hovered_) {
        hovered_ = true;
        grabMouse();
        hoverTimer_.start();
        update();
    } else if (!inside && (e->buttons() & Qt::LeftButton) == 0 && mouseGrabber() == this) {
        releaseMouse();
    }
    QAbstractButton::mouseMoveEvent(e);
}

void HoverButton::checkHover() {
    if (rect().contains(mapFromGlobal(cursorPos_()))) {
        return;
    }
    hovered_ = false;
    hoverTimer_.stop();
    if (mouseGrabber() == this && !isDown()) {
        releaseMouse();  // a capture must not outlive the hover it served
    }
    update();
}

void drawHoverButton(QPainter& painter, const QImage& picture, bool pressed, bool focused) {
    if (!picture.isNull()) {
        painter.drawImage(pressed ? QPoint(1, 1) : QPoint(0, 0), picture);
        if (focused) drawFocusRectangle(painter, QRect(QPoint(0, 0), picture.size()).adjusted(5, 5, -5, -5));
    }
}

}  // namespace ostrum::ui
