// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// HoverButton: a one-picture button sized to its picture, with a hand cursor once it has a
// link text and a tooltip. Hovering is tracked by capturing the mouse and checking the cursor on
// a 100 ms timer, so the hover ends even when the cursor leaves faster than a move is reported.

#include <QAbstractButton>
#include <QImage>
#include <QTimer>
#include <functional>

#include "ui/richtext/resource_provider.h"
#include "ui/skin/skin_tooltip.h"

namespace ostrum::ui {

class HoverButton : public QAbstractButton {
    Q_OBJECT
  public:
    static constexpr int kHoverCheckMs = 100;
    static constexpr int kMaxLinkLength = 260;

    explicit HoverButton(QWidget* parent = nullptr);

    // Loads picture `id`, maps its standard greys to the desktop's 3D colours and resizes the
    // button to the picture. Answers false (and keeps no picture) when it cannot be loaded.
    bool loadBitmap(const ResourceProvider& resources, int id);
    bool setPicture(const QImage& picture);
    void setTooltipText(const QString& text, bool activate = true);
    // Stores the link text (it is not opened) and gives the button the hand cursor.
    void setLinkText(const QString& text);

    const QString& linkText() const { return link_; }
    bool isHovered() const { return hovered_; }
    const QImage& picture() const { return picture_; }
    const SkinToolTip& tooltip() const { return tip_; }
    const QTimer& hoverTimer() const { return hoverTimer_; }
    // Where the cursor is taken from by the hover check (tests replace the desktop cursor).
    void setCursorSource(std::function<QPoint()> globalPos) { cursorPos_ = std::move(globalPos); }

    QSize sizeHint() const override;

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

  private:
    void checkHover();

    QImage picture_;
    bool hovered_ = false;
    QString link_;
    QTimer hoverTimer_;
    std::function<QPoint()> cursorPos_;
    SkinToolTip tip_;
};

// What the button shows: its picture at (0, 0), moved one pixel down and right while pressed, and the
// focus rectangle inside its edge while it has the focus.
void drawHoverButton(QPainter& painter, const QImage& picture, bool pressed, bool focused = false);

}  // namespace ostrum::ui
