// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/skin/focus_frame.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace ostrum::ui {
namespace {

// Watches one area: lets each of its paints through first, then draws the frame over its edge.
class FocusFrameFilter final : public QObject {
  public:
    explicit FocusFrameFilter(QAbstractScrollArea& area) : QObject(&area), area_(area) {}

    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched != &area_) return false;
        switch (e->type()) {
            case QEvent::FocusIn:
            case QEvent::FocusOut:
                area_.update();
                return false;
            case QEvent::Paint:
                if (painting_) return false;  // the paint let through below
                painting_ = true;
                QCoreApplication::sendEvent(&area_, e);
                painting_ = false;
                if (area_.hasFocus()) paintFrame();
                return true;
            default:
                return false;
        }
    }

  private:
    void paintFrame() {
        QPainter painter(&area_);
        QStyleOptionFrame option;
        option.initFrom(&area_);
        option.rect = area_.rect();
        option.state |= QStyle::State_HasFocus | QStyle::State_Sunken;
        option.lineWidth = area_.frameWidth();
        area_.style()->drawPrimitive(QStyle::PE_FrameLineEdit, &option, &painter, &area_);
    }

    QAbstractScrollArea& area_;
    bool painting_ = false;
};

}  // namespace

void showFocusFrame(QAbstractScrollArea& area) {
    area.installEventFilter(new FocusFrameFilter(area));
}

}  // namespace ostrum::ui
