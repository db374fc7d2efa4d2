#include "ui/skin/transparent_static.h"

namespace ostrum::ui {

CTransparentStatic::CTransparentStatic(QWidget* parent) : QLabel(parent) {
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setWordWrap(true);
}

void CTransparentStatic::setText(const QString& text) {
    QLabel::setText(text);
    if (QWidget* parent = parentWidget()) {
        parent->repaint(geometry());
    }
}

}  // namespace ostrum::ui
