// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The recovery window's three lists as the user drives them. The views only turn mouse and keys into
// the inputs the window acts on (a click on a row's box, on the row elsewhere, Space, Enter, Tab, a
// right click); the window applies the selection rules, so that every input changes a mark once.

#include <QStyledItemDelegate>
#include <QTableView>
#include <QTreeView>
#include <vector>

#include "ui/richtext/resource_provider.h"

namespace ostrum::app {

// Draws the state image (a check box of a strip, or the ".." row's mark) in front of column 0.
class StateImageDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    static constexpr int kImageSize = 16;
    static constexpr int kGap = 2;

    // The strip's cells, white standing for transparent; `firstImage` is the state image number of
    // cell 0 (the tree's strip begins with an unused image 0, the folder list's with image 1).
    StateImageDelegate(const ui::ImageStrip& strip, int firstImage, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where the state image of an item drawn in `itemRect` lies.
    static QRect stateImageRect(const QRect& itemRect);
    const std::vector<QPixmap>& cells() const { return cells_; }
    int firstImage() const { return firstImage_; }

  private:
    std::vector<QPixmap> cells_;
    int firstImage_;
};

// `text` elided as `mode` says so that it fits whole in `room` pixels of `font`. The style's own elision
// measures in whole pixels and may give a text up to a few pixels wider than the room, whose last character
// the cell's edge then cuts.
QString elidedToFit(const QString& text, const QFont& font, Qt::TextElideMode mode, qreal room);

// Draws cells whose texts are elided by elidedToFit: those of one column (the paths of the list of all
// files) in the middle, the others at their right end.
class FittedTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    FittedTextDelegate(int middleColumn, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), middleColumn_(middleColumn) {}

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    int middleColumn_;
};

// One entry of a list's pop-up menu and the command it gives; an entry without text is a separator.
struct MenuEntry {
    QString text;
    int command = 0;
    bool checked = false;  // shown with a tick (a mode that is on)
};
// Shows the pop-up menu of a list at `globalPos`. Returns the command of the entry chosen, or 0.
int runListMenu(QWidget* parent, const std::vector<MenuEntry>& entries, const QPoint& globalPos);

// The SelectionTree. A click on a row outside the box selects the node, takes the focus and opens or
// closes it; the view handles that itself. Everything else it hands to the window.
class SelectionTreeView : public QTreeView {
    Q_OBJECT
  public:
    explicit SelectionTreeView(QWidget* parent = nullptr);
    bool onBox(const QModelIndex& index, const QPoint& pos) const;

  signals:
    void boxPressed(const QModelIndex& index);
    void spacePressed();
    void menuRequested(const QModelIndex& index, const QPoint& globalPos);

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;

  private:
    void press(QMouseEvent* e);
};

// The FolderList and the FoundFilesList share the box test and the forwarding of clicks.
class CheckListView : public QTableView {
    Q_OBJECT
  public:
    explicit CheckListView(QWidget* parent = nullptr);
    // True when `pos` (viewport coordinates) lies on the box of `index`'s row.
    virtual bool onBox(const QModelIndex& index, const QPoint& pos) const = 0;

  signals:
    // A left click, a double-click or a right click on a row's box.
    void boxClicked(int row, bool rightButton);
    // A double-click on a row outside its box, or Enter on the row holding the selection mark.
    void rowOpened(int row, bool byEnter);
    void spacePressed(int row);
    // A right click on a row outside its box.
    void menuRequested(int row, const QPoint& globalPos);

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
};

class FolderListView : public CheckListView {
    Q_OBJECT
  public:
    explicit FolderListView(QWidget* parent = nullptr) : CheckListView(parent) {}
    bool onBox(const QModelIndex& index, const QPoint& pos) const override;
};

class FoundFilesView : public CheckListView {
    Q_OBJECT
  public:
    explicit FoundFilesView(QWidget* parent = nullptr) : CheckListView(parent) {}
    bool onBox(const QModelIndex& index, const QPoint& pos) const override;
};

}  // namespace ostrum::app
