// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/splitter_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "ui/platform/colorref.h"

namespace ostrum::app {
namespace {

const QColor kOutline(200, 200, 200);
const QColor kFill(200, 220, 220);

}  // namespace

// Two lines drawn so that each pixel becomes NOT(pen XOR what is under it): light over the dark parts
// of the window, dark over the light ones, so the guide shows on any background.
class SplitterGuide : public QWidget {
  public:
    SplitterGuide(bool vertical, QWidget* parent) : QWidget(parent), vertical_(vertical) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setObjectName(QStringLiteral("SplitterGuide"));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        painter.setPen(QPen(kOutline, 1));
        if (vertical_) {
            painter.drawLine(0, 0, 0, height() - 1);
            painter.drawLine(2, 0, 2, height() - 1);
        } else {
            painter.drawLine(0, 0, width() - 1, 0);
            painter.drawLine(0, 2, width() - 1, 2);
        }
    }

  private:
    bool vertical_;
};

void paintSplitterBar(QPainter& painter, const QSize& size) {
    const int w = size.width();
    const int h = size.height();
    painter.setPen(ui::toQColor(ui::systemColor(ui::COLOR_BTNHIGHLIGHT)));
    painter.drawLine(0, 0, w - 1, 0);
    painter.drawLine(0, 0, 0, h - 1);
    painter.setPen(ui::toQColor(ui::systemColor(ui::COLOR_BTNSHADOW)));
    painter.drawLine(0, h - 1, w - 1, h - 1);
    painter.drawLine(w - 1, 0, w - 1, h - 1);
    const QRect inside(1, 1, w - 2, h - 2);
    if (inside.width() > 0 && inside.height() > 0) {
        painter.fillRect(inside, kFill);
        painter.setPen(kOutline);
        painter.drawRect(inside.adjusted(0, 0, -1, -1));
    }
}

QRect splitterGuideRect(const QRect& bar, bool vertical, int position) {
    return vertical ? QRect(position - 1, bar.top(), 3, bar.height())
                    : QRect(bar.left(), position - 1, bar.width(), 3);
}

SplitterBar::SplitterBar(const QRect& placeholder, int id, QWidget* parent)
    : QWidget(parent), vertical_(placeholder.height() > placeholder.width()), id_(id) {
    QRect area = placeholder;
    if (vertical_) {
        area.setWidth(kThickness);
    } else {
        area.setHeight(kThickness);
    }
    setGeometry(area);
    setCursor(vertical_ ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    lower_ = upper_ = centre();
    show();
}

SplitterBar::~SplitterBar() {
    delete guide_;
}

int SplitterBar::centre() const {
    const QRect g = geometry();
    return vertical_ ? g.left() + g.width() / 2 : g.top() + g.height() / 2;
}

void SplitterBar::setLimits(int before, int after, int centre) {
    const int middle = centre < 0 ? this->centre() : centre;
    setLimitRange(middle - before, middle + after);
}

void SplitterBar::setLimitRange(int lower, int upper) {
    lower_ = lower;
    upper_ = upper;
}

const QWidget* SplitterBar::guide() const {
    return guide_;
}

void SplitterBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintSplitterBar(painter, size());
}

void SplitterBar::showGuide() {
    if (guide_ == nullptr) guide_ = new SplitterGuide(vertical_, parentWidget());
    guide_->setGeometry(splitterGuideRect(geometry(), vertical_, position_));
    guide_->raise();
    guide_->show();
}

void SplitterBar::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    dragging_ = true;
    position_ = start_ = centre();
    showGuide();  // Qt sends the moves to the bar until the button is released
}

void SplitterBar::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_) {
        QWidget::mouseMoveEvent(e);
        return;
    }
    const QPoint inParent = mapToParent(e->position().toPoint());
    position_ = std::clamp(vertical_ ? inParent.x() : inParent.y(), lower_, std::max(lower_, upper_));
    showGuide();
}

void SplitterBar::mouseReleaseEvent(QMouseEvent* e) {
    if (!dragging_ || e->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    dragging_ = false;
    if (guide_ != nullptr) guide_->hide();
    const int delta = position_ - start_;
    move(vertical_ ? QPoint(x() + delta, y()) : QPoint(x(), y() + delta));
    emit dragEnded(id_, delta);
}

}  // namespace ostrum::app
