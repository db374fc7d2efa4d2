// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/catalog_views.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "app/catalog_models.h"

namespace ostrum::app {
namespace {

// Strip cells are drawn on white, which stands for transparent.
QPixmap cellOf(const QImage& strip, const QSize& cell, int index) {
    QImage image = strip.copy(index * cell.width(), 0, cell.width(), cell.height())
                       .convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == 0xFFFFFF) line[x] = 0;
        }
    }
    return QPixmap::fromImage(image);
}

bool isOpenKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

// ---- StateImageDelegate

StateImageDelegate::StateImageDelegate(const ui::ImageStrip& strip, int firstImage, QObject* parent)
    : QStyledItemDelegate(parent), firstImage_(firstImage) {
    if (strip.image.isNull() || strip.cellSize.isEmpty()) return;
    for (int i = 0; (i + 1) * strip.cellSize.width() <= strip.image.width(); ++i) {
        cells_.push_back(cellOf(strip.image, strip.cellSize, i));
    }
}

QRect StateImageDelegate::stateImageRect(const QRect& itemRect) {
    return {itemRect.left(), itemRect.top() + (itemRect.height() - kImageSize) / 2, kImageSize, kImageSize};
}

void StateImageDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const QVariant image = index.data(StateImageRole);
    if (index.column() != 0 || !image.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QRect front(option.rect.left(), option.rect.top(), kImageSize + kGap, option.rect.height());
    if (const QVariant background = index.data(Qt::BackgroundRole); background.isValid()) {
        painter->fillRect(front, background.value<QBrush>());
    }
    const int cell = image.toInt() - firstImage_;
    if (cell >= 0 && static_cast<std::size_t>(cell) < cells_.size()) {
        painter->drawPixmap(stateImageRect(option.rect).topLeft(), cells_[static_cast<std::size_t>(cell)]);
    }
    QStyleOptionViewItem rest(option);
    rest.rect.setLeft(front.right() + 1);
    QStyledItemDelegate::paint(painter, rest, index);
}

QSize StateImageDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (index.column() == 0 && index.data(StateImageRole).isValid()) {
        size.rwidth() += kImageSize + kGap;
        size.setHeight(std::max(size.height(), kImageSize));
    }
    return size;
}

// ---- FittedTextDelegate

QString elidedToFit(const QString& text, const QFont& font, Qt::TextElideMode mode, qreal room) {
    const QFontMetricsF metrics(font);
    if (metrics.horizontalAdvance(text) <= room) return text;
    for (qreal width = room; width > 0; width -= 1) {
        QString elided = metrics.elidedText(text, mode, width);
        if (metrics.horizontalAdvance(elided) <= room) return elided;
    }
    return {};
}

void FittedTextDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (!option->features.testFlag(QStyleOptionViewItem::HasDisplay)) return;
    option->textElideMode = index.column() == middleColumn_ ? Qt::ElideMiddle : Qt::ElideRight;
    // The room the style draws the text in: its text rectangle less the margin it keeps on each side.
    const QWidget* widget = option->widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const QRect rect = style->subElementRect(QStyle::SE_ItemViewItemText, option, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    option->text = elidedToFit(option->text, option->font, option->textElideMode, rect.width() - 2 * margin);
}

int runListMenu(QWidget* parent, const std::vector<MenuEntry>& entries, const QPoint& globalPos) {
    QMenu menu(parent);
    menu.setObjectName(QStringLiteral("SaveMenu"));
    for (const MenuEntry& entry : entries) {
        if (entry.text.isEmpty()) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(entry.text);
        action->setData(entry.command);
        action->setCheckable(entry.checked);
        action->setChecked(entry.checked);
    }
    const QAction* chosen = menu.exec(globalPos);
    return chosen != nullptr ? chosen->data().toInt() : 0;
}

// ---- SelectionTreeView

SelectionTreeView::SelectionTreeView(QWidget* parent) : QTreeView(parent) {
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setExpandsOnDoubleClick(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::NoContextMenu);
}

bool SelectionTreeView::onBox(const QModelIndex& index, const QPoint& pos) const {
    return index.isValid() && StateImageDelegate::stateImageRect(visualRect(index)).contains(pos);
}

void SelectionTreeView::press(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (!index.isValid()) return;
    if (e->button() == Qt::RightButton) {
        emit menuRequested(index, e->globalPosition().toPoint());
    } else if (e->button() == Qt::LeftButton) {
        if (onBox(index, pos)) {
            emit boxPressed(index);
        } else {
            setCurrentIndex(index);
            setFocus(Qt::MouseFocusReason);
            setExpanded(index, !isExpanded(index));
        }
    }
}

// The control's own handling of the buttons (drag selection, expanding on the branch mark) is never
// used: a press does what the window's rules say, and a double-click is a second press.
void SelectionTreeView::mousePressEvent(QMouseEvent* e) {
    press(e);
}
void SelectionTreeView::mouseDoubleClickEvent(QMouseEvent* e) {
    press(e);
}
void SelectionTreeView::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
}
void SelectionTreeView::mouseMoveEvent(QMouseEvent* e) {
    e->accept();
}

void SelectionTreeView::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Space) {
        emit spacePressed();
        return;
    }
    QTreeView::keyPressEvent(e);
}

// Taking the focus marks no item: the lists show nothing chosen until the user chooses (Qt's views
// would make the first item current).
void SelectionTreeView::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
}

// ---- CheckListView

CheckListView::CheckListView(QWidget* parent) : QTableView(parent) {
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(18);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
}

void CheckListView::mousePressEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (e->button() == Qt::LeftButton) {
        QTableView::mousePressEvent(e);
        if (index.isValid() && onBox(index, pos)) emit boxClicked(index.row(), false);
        return;
    }
    if (e->button() != Qt::RightButton || !index.isValid()) return;
    if (onBox(index, pos)) {
        emit boxClicked(index.row(), true);
    } else {
        emit menuRequested(index.row(), e->globalPosition().toPoint());
    }
}

void CheckListView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        mousePressEvent(e);
        return;
    }
    const QPoint pos = e->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (!index.isValid()) return;
    if (onBox(index, pos)) {
        emit boxClicked(index.row(), false);
    } else {
        emit rowOpened(index.row(), false);
    }
}

void CheckListView::keyPressEvent(QKeyEvent* e) {
    const QModelIndex current = currentIndex();
    if (e->key() == Qt::Key_Space) {
        if (current.isValid()) emit spacePressed(current.row());
        return;
    }
    if (isOpenKey(e->key())) {
        if (current.isValid()) emit rowOpened(current.row(), true);
        return;
    }
    QTableView::keyPressEvent(e);
}

void CheckListView::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
}

bool FolderListView::onBox(const QModelIndex& index, const QPoint& pos) const {
    const QRect item = visualRect(model()->index(index.row(), 0));
    return StateImageDelegate::stateImageRect(item).contains(pos);
}

bool FoundFilesView::onBox(const QModelIndex& index, const QPoint& pos) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(model()->index(index.row(), 0));
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this).contains(pos);
}

}  // namespace ostrum::app
