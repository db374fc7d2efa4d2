// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/skin/skin_tooltip.h"

#include <QCursor>
#include <QEvent>
#include <QHelpEvent>
#include <QWidget>

namespace ostrum::ui {

namespace {
constexpr int kTipOffset = 16;  // below the cursor, as the desktop places its tips
}

SkinToolTip::SkinToolTip(QWidget* owner, int maxWidth) : owner_(owner), maxWidth_(maxWidth) {}

SkinToolTip::~SkinToolTip() {
    delete tip_.data();  // a top-level window without parent: ours to remove
}

void SkinToolTip::setText(const QString& text, bool activate) {
    if (tip_.isNull()) {
        auto* label = new QLabel(nullptr, Qt::ToolTip | Qt::BypassGraphicsProxyWidget);
        label->setObjectName(owner_->objectName() + QStringLiteral("_tip"));
        label->setWordWrap(maxWidth_ > 0);
        if (maxWidth_ > 0) {
            label->setMaximumWidth(maxWidth_);
        }
        label->setMargin(3);
        label->setForegroundRole(QPalette::ToolTipText);
        label->setBackgroundRole(QPalette::ToolTipBase);
        label->setAutoFillBackground(true);
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        tip_ = label;
    }
    text_ = text;
    tip_->setText(text);
    tip_->adjustSize();
    setActive(activate);
}

void SkinToolTip::setActive(bool activate) {
    active_ = activate;
    if (!active_) {
        hide();
    }
}

void SkinToolTip::relay(const QEvent* event) {
    switch (event->type()) {
        case QEvent::ToolTip:
            if (active_ && !text_.isEmpty()) {
                showAt(static_cast<const QHelpEvent*>(event)->globalPos());
            }
            break;
        case QEvent::Leave:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Hide:
        case QEvent::WindowDeactivate:
            hide();
            break;
        default:
            break;
    }
}

void SkinToolTip::showAt(QPoint globalPos) {
    if (tip_.isNull()) {
        return;
    }
    tip_->adjustSize();
    tip_->move(globalPos + QPoint(0, kTipOffset));
    tip_->show();
}

void SkinToolTip::hide() {
    if (!tip_.isNull()) {
        tip_->hide();
    }
}

}  // namespace ostrum::ui
