// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TransparentStatic: a text label with no background of its own. When its text changes it has
// its parent repaint the area under it, so the old text does not stay behind.

#include <QLabel>

namespace ostrum::ui {

class TransparentStatic : public QLabel {
    Q_OBJECT
  public:
    explicit TransparentStatic(QWidget* parent = nullptr);
    void setText(const QString& text);
};

}  // namespace ostrum::ui
