// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recovery_layout.h"

#include <algorithm>
#include <cmath>

#include "app/dialog_units.h"
#include "app/splitter_bar.h"

namespace ostrum::app {
namespace {

// The template's places, at the default size.
const QRect kTree = dialogRect(9, 56, 161, 209);
const QRect kFolderList = dialogRect(173, 56, 341, 121);
const QRect kFoundFiles = dialogRect(173, 180, 341, 85);
const QRect kVerticalPlaceholder = dialogRect(171, 57, 1, 207);
const QRect kHorizontalPlaceholder = dialogRect(176, 178, 336, 1);
const QRect kProgress = dialogRect(7, 270, 508, 10);
const QRect kStatusLine = dialogRect(7, 292, 126, 10);
const QRect kPositionLine = dialogRect(170, 292, 218, 12);
const QRect kStop = dialogRect(402, 287, 28, 21);
const QRect kBack = dialogRect(444, 287, 28, 21);
const QRect kNext = dialogRect(486, 287, 28, 21);

// The bars' centres where the template puts them, and how far they may be dragged from there: the vertical
// bar 310 pixels left and 300 right, the horizontal one between 150 and 380 pixels from the top. The limits
// that face the right and bottom edges keep their distance from them in a larger window.
const int kVerticalCentre = kVerticalPlaceholder.left() + SplitterBar::kThickness / 2;
const int kHorizontalCentre = kHorizontalPlaceholder.top() + SplitterBar::kThickness / 2;
const int kVerticalLower = kVerticalCentre - 310;
const int kVerticalUpper = kVerticalCentre + 300;
constexpr int kHorizontalLower = 150;
constexpr int kHorizontalUpper = 380;

// The filter field above the list of all files, and the count of rows shown at its right.
constexpr int kFilterHeight = 22;
constexpr int kFilterGap = 2;
constexpr int kFilterCountWidth = 190;

// The room the bars move in: across from the tree's left edge to the lists' right edge, down from the
// lists' top to their bottom.
int roomAcross(QSize client) {
    return kFolderList.right() + client.width() - kRecoveryDefaultSize.width() - kTree.left();
}
int roomDown(QSize client) {
    return kFoundFiles.bottom() + client.height() - kRecoveryDefaultSize.height() - kFolderList.top();
}

}  // namespace

SplitterShares defaultSplitterShares() {
    return sharesAt(kRecoveryDefaultSize, kVerticalCentre, kHorizontalCentre);
}

SplitterShares sharesAt(QSize client, int verticalCentre, int horizontalCentre) {
    return {static_cast<double>(verticalCentre - kTree.left()) / roomAcross(client),
            static_cast<double>(horizontalCentre - kFolderList.top()) / roomDown(client)};
}

RecoveryGeometry recoveryGeometry(QSize client, const SplitterShares& shares) {
    const int dw = client.width() - kRecoveryDefaultSize.width();
    const int dh = client.height() - kRecoveryDefaultSize.height();
    RecoveryGeometry g;
    g.verticalLower = kVerticalLower;
    g.verticalUpper = kVerticalUpper + dw;
    g.horizontalLower = kHorizontalLower;
    g.horizontalUpper = kHorizontalUpper + dh;
    const auto centreOf = [](double share, int from, int room, int lower, int upper) {
        return std::clamp(from + static_cast<int>(std::lround(share * room)), lower, std::max(lower, upper));
    };
    // How far each bar stands from where the template puts it: the panes beside it move by as much.
    const int across =
        centreOf(shares.across, kTree.left(), roomAcross(client), g.verticalLower, g.verticalUpper) -
        kVerticalCentre;
    const int down =
        centreOf(shares.down, kFolderList.top(), roomDown(client), g.horizontalLower, g.horizontalUpper) -
        kHorizontalCentre;

    // An edge that follows a bar never passes the opposite edge: a pane is never narrower than nothing.
    const auto span = [](QRect r, int left, int top, int right, int bottom) {
        r.setCoords(r.left() + left, r.top() + top, r.right() + right, r.bottom() + bottom);
        if (r.right() < r.left() - 1) r.setRight(r.left() - 1);
        if (r.bottom() < r.top() - 1) r.setBottom(r.top() - 1);
        return r;
    };
    g.tree = span(kTree, 0, 0, across, dh);
    g.folderList = span(kFolderList, across, 0, dw, down);
    g.foundFiles = span(kFoundFiles, across, down, dw, dh);
    // The filter takes the top of the list's place; the count of rows shown stands at its right.
    const QRect field(g.foundFiles.topLeft(), QSize(g.foundFiles.width(), kFilterHeight));
    g.filterCount = QRect(field.right() - kFilterCountWidth - 2 * kFilterGap + 1, field.top(),
                          kFilterCountWidth, kFilterHeight);
    g.filter = field.adjusted(0, 0, -kFilterCountWidth - 3 * kFilterGap, 0);
    g.foundFiles.setTop(std::min(g.foundFiles.top() + kFilterHeight + kFilterGap, g.foundFiles.bottom() + 1));
    g.verticalBar = QRect(kVerticalPlaceholder.left() + across, kVerticalPlaceholder.top(),
                          SplitterBar::kThickness, kVerticalPlaceholder.height() + dh);
    g.horizontalBar = span(QRect(kHorizontalPlaceholder.topLeft(),
                                 QSize(kHorizontalPlaceholder.width(), SplitterBar::kThickness)),
                           across, down, dw, down);
    g.progress = span(kProgress, 0, dh, dw, dh);
    g.statusLine = kStatusLine.translated(0, dh);
    g.positionLine = kPositionLine.translated(0, dh);
    g.stop = kStop.translated(dw, dh);
    g.back = kBack.translated(dw, dh);
    g.next = kNext.translated(dw, dh);
    return g;
}

namespace {

// The skin's bands: the banner above this row, the bottom bar from this row of the window's bottom edge.
constexpr int kBannerRows = 64;
constexpr int kBottomBarRows = 44;
// Columns of the banner and bar kept as they are at the left (the emblem and the title) and at the right
// (the reel rings); the columns between are stretched.
constexpr int kKeptLeft = 460;
constexpr int kKeptRight = 200;
const QColor kPage(234, 240, 247);
const QColor kWellBorder(145, 166, 189);
const QColor kInk(29, 43, 58);
const QColor kAmber(245, 166, 35);

// Paints the skin's rows [top, top + rows) into the window's rows [y, y + rows), the middle stretched.
void paintBand(QPainter& painter, const QImage& skin, int top, int rows, int y, int width) {
    const int right = std::min(kKeptRight, width / 2);
    const int left = std::min(kKeptLeft, width - right);
    painter.drawImage(QRect(0, y, left, rows), skin, QRect(0, top, left, rows));
    const QRect middle(left, top, skin.width() - left - kKeptRight, rows);
    painter.drawImage(QRect(left, y, width - left - right, rows), skin, middle);
    painter.drawImage(QRect(width - right, y, right, rows), skin,
                      QRect(skin.width() - right, top, right, rows));
}

// A white well with a soft shadow behind a pane, two pixels larger than the pane all round.
void paintWell(QPainter& painter, const QRect& pane) {
    const QRectF well = QRectF(pane).adjusted(-2, -1.5, 2, 1.5);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        painter.setBrush(QColor(20, 40, 70, 14));
        painter.drawRoundedRect(well.adjusted(-i + 1, -i + 2, i + 1, i + 2), 4 + i, 4 + i);
    }
    painter.setPen(QPen(kWellBorder, 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(well, 4, 4);
    painter.restore();
}

void paintCaption(QPainter& painter, int x, const QString& text) {
    painter.fillRect(QRect(x, 74, 4, 12), kAmber);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(kInk);
    painter.drawText(QRect(x + 8, 70, 480, 20), Qt::AlignLeft | Qt::AlignVCenter, text);
}

}  // namespace

void paintResizedRecoverySkin(QPainter& painter, const QImage& skin, QSize client, const QRect& tree,
                              const QRect& lists) {
    const int width = client.width();
    const int barTop = client.height() - kBottomBarRows;
    painter.fillRect(QRect(0, kBannerRows, width, barTop - kBannerRows), kPage);
    if (skin.width() > kKeptLeft + kKeptRight && skin.height() >= kRecoveryDefaultSize.height()) {
        paintBand(painter, skin, 0, kBannerRows, 0, width);
        paintBand(painter, skin, kRecoveryDefaultSize.height() - kBottomBarRows, kBottomBarRows, barTop,
                  width);
    }
    paintCaption(painter, tree.left(), QStringLiteral("Tape media"));
    paintCaption(painter, lists.left() + 1, QStringLiteral("Folder contents and all files found"));
    if (tree.width() > 0) paintWell(painter, tree);
    if (lists.width() > 0) paintWell(painter, lists);
}

}  // namespace ostrum::app
