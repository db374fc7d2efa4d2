// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SplitterBar: a bar five pixels thick between two panes of a window. The user drags it; while the
// drag lasts a light guide of two lines follows the pointer, held between the bar's limits; when the
// button is released the bar moves there and tells the window how far it went, and the window moves
// the panes beside it by as much.

#include <QPointer>
#include <QWidget>

namespace ostrum::app {

class SplitterGuide;

class SplitterBar : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kThickness = 5;

    // Made over `placeholder` (the parent's client coordinates) with the placeholder's id: a vertical
    // bar, moving across, when the placeholder is taller than wide, else a horizontal one.
    SplitterBar(const QRect& placeholder, int id, QWidget* parent);
    ~SplitterBar() override;

    bool isVertical() const { return vertical_; }
    int id() const { return id_; }
    // The middle of the bar along the axis it moves on, in the parent's coordinates.
    int centre() const;
    // lower = centre - before, upper = centre + after; a negative centre means the bar's own.
    void setLimits(int before, int after, int centre = -1);
    void setLimitRange(int lower, int upper);
    int lowerLimit() const { return lower_; }
    int upperLimit() const { return upper_; }
    bool dragging() const { return dragging_; }
    int position() const { return position_; }
    // The guide shown during a drag (for tests and pictures).
    const QWidget* guide() const;

  signals:
    // A drag has ended; `delta` is the new position less the one where it began.
    void dragEnded(int id, int delta);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    void showGuide();

    bool vertical_;
    int id_;
    int lower_ = 0;
    int upper_ = 0;
    bool dragging_ = false;
    int position_ = 0;
    int start_ = 0;
    QPointer<SplitterGuide> guide_;
};

// The bar's face: a raised one-pixel edge, and inside it a light outlined strip.
void paintSplitterBar(QPainter& painter, const QSize& size);
// Where the guide of a bar lies for a position: two lines one pixel either side of it, across the bar's
// whole length.
QRect splitterGuideRect(const QRect& bar, bool vertical, int position);

}  // namespace ostrum::app
