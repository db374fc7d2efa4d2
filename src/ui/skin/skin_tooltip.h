// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tooltip of the skinned buttons: one tip per control, covering its whole client area, made
// on first use; its text can be replaced and it can be switched off and on. The control relays
// its mouse events so the tip knows when to show and hide.

#include <QLabel>
#include <QPointer>
#include <QString>

class QEvent;
class QWidget;

namespace ostrum::ui {

class SkinToolTip {
  public:
    // `maxWidth` 0: no width limit.
    SkinToolTip(QWidget* owner, int maxWidth);
    ~SkinToolTip();
    SkinToolTip(const SkinToolTip&) = delete;
    SkinToolTip& operator=(const SkinToolTip&) = delete;

    void setText(const QString& text, bool activate);
    void setActive(bool activate);
    bool isActive() const { return active_; }
    const QString& text() const { return text_; }
    // The tip window, once made (tests read its width limit and visibility).
    QLabel* window() const { return tip_; }

    // Called by the owner for each event before it handles it itself.
    void relay(const QEvent* event);

  private:
    void showAt(QPoint globalPos);
    void hide();

    QWidget* owner_;
    int maxWidth_;
    QString text_;
    bool active_ = false;
    QPointer<QLabel> tip_;
};

}  // namespace ostrum::ui
