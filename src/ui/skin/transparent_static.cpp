// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/skin/transparent_static.h"

namespace ostrum::ui {

TransparentStatic::TransparentStatic(QWidget* parent) : QLabel(parent) {
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setWordWrap(true);
}

void TransparentStatic::setText(const QString& text) {
    QLabel::setText(text);
    if (QWidget* parent = parentWidget()) {
        parent->repaint(geometry());
    }
}

}  // namespace ostrum::ui
