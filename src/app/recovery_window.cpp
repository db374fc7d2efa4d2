#include "recovery_window.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QProgressBar>
#include <algorithm>

#include "catalog/mime_file_info.h"
#include "catalog_models.h"
#include "catalog_views.h"
#include "dialog_units.h"
#include "program_windows.h"
#include "save_progress_dialog.h"
#include "splitter_bar.h"
#include "ui/msgbox/program_message.h"
#include "ui/resources/program_resources.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_static.h"

namespace ostrum::app {
namespace {

using selection::FolderRowKind;

constexpr int kSkin = 150;
constexpr int kTreeStrip = 144;
constexpr int kFolderStrip = 147;

const QString kScanTimeRefusal = QStringLiteral("Please stop search process , then select files");

// Moves one edge of `r` by `delta`; the edge never passes the opposite one, so a control never gets
// narrower or lower than nothing.
QRect movedEdge(QRect r, Qt::Edge edge, int delta) {
    switch (edge) {
        case Qt::LeftEdge:
            r.setLeft(std::min(r.left() + delta, r.right() + 1));
            break;
        case Qt::RightEdge:
            r.setRight(std::max(r.right() + delta, r.left() - 1));
            break;
        case Qt::TopEdge:
            r.setTop(std::min(r.top() + delta, r.bottom() + 1));
            break;
        case Qt::BottomEdge:
            r.setBottom(std::max(r.bottom() + delta, r.top() - 1));
            break;
    }
    return r;
}

ui::ColorRef lineColour() {
    return ui::makeColorRef(255, 252, 179);
}

bool isUpRow(const FolderListModel& model, int row) {
    return model.index(row, 0).data(FolderRowKindRole).toInt() == static_cast<int>(FolderRowKind::Up);
}

}  // namespace

RecoveryWindow::RecoveryWindow(const ScanSource& source, QWidget* parent, ScanFunction scan)
    : ui::SkinBackground(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                     Qt::WindowCloseButtonHint),
      catalog_(std::make_unique<catalog::Catalog>(std::make_shared<catalog::MimeFileInfo>())),
      rules_(std::make_unique<selection::SelectionRules>(*catalog_)),
      source_(source) {
    SetUpProgramWindow(*this, "RecoveryWindow", QStringLiteral("Brivane Ostrum TAPE MEDIA (Windows)"), kSkin,
                       522, 310);
    buildControls();

    back_->hide();
    next_->hide();
    statusLine_->setText(QStringLiteral("Rewing media , please wait..."));
    positionLine_->setText(QString());

    job_ = std::make_unique<ScanJob>(scan ? std::move(scan) : ScanOf(source_), *catalog_);
    scanTimer_.setInterval(kScanLookMs);
    connect(&scanTimer_, &QTimer::timeout, this, &RecoveryWindow::takeScanProgress);
    scanTimer_.start();
    job_->Start();
    folderList_->setFocus(Qt::OtherFocusReason);
}

RecoveryWindow::~RecoveryWindow() {
    scanTimer_.stop();
    job_.reset();  // stops and joins the worker before anything it writes to goes away
    // The views and models read the rules and the catalog: they go before them.
    delete tree_;
    delete folderList_;
    delete foundFiles_;
    delete treeModel_;
    delete folderModel_;
    delete foundModel_;
}

void RecoveryWindow::buildControls() {
    const auto resources = ui::ProgramResources::instance();

    tree_ = new SelectionTreeView(this);
    tree_->setObjectName(QStringLiteral("SelectionTree"));
    tree_->setGeometry(dialogRect(9, 56, 161, 209));
    treeModel_ = new SelectionTreeModel(*rules_, *catalog_, this);
    tree_->setModel(treeModel_);
    tree_->setItemDelegate(new StateImageDelegate(resources->imageStrip(kTreeStrip), 0, tree_));

    folderList_ = new FolderListView(this);
    folderList_->setObjectName(QStringLiteral("FolderList"));
    folderList_->setGeometry(dialogRect(173, 56, 341, 121));
    folderModel_ = new FolderListModel(*rules_, *catalog_, this);
    folderList_->setModel(folderModel_);
    folderList_->setItemDelegate(new StateImageDelegate(resources->imageStrip(kFolderStrip), 1, folderList_));
    for (auto [column, width] : {std::pair{0, 400}, {1, 200}, {2, 100}}) {
        folderList_->setColumnWidth(column, width);
    }

    foundFiles_ = new FoundFilesView(this);
    foundFiles_->setObjectName(QStringLiteral("FoundFilesList"));
    foundFiles_->setGeometry(dialogRect(173, 180, 341, 85));
    foundFiles_->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    foundModel_ = new FoundFilesModel(*catalog_, this);
    foundFiles_->setModel(foundModel_);
    for (auto [column, width] : {std::pair{0, 400}, {1, 200}, {2, 200}, {3, 0}, {4, 0}}) {
        foundFiles_->setColumnWidth(column, width);
    }

    tree_->setTabPartner(folderList_);
    folderList_->setTabPartner(tree_);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ScanProgress"));
    progress_->setGeometry(dialogRect(7, 270, 508, 10));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    statusLine_ = new ui::SkinStatic(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    statusLine_->setGeometry(dialogRect(7, 292, 126, 10));
    setUpLine(statusLine_);
    positionLine_ = new ui::SkinStatic(this);
    positionLine_->setObjectName(QStringLiteral("PositionLine"));
    positionLine_->setGeometry(dialogRect(170, 292, 218, 12));
    setUpLine(positionLine_);

    stop_ = new ui::SkinButton(this);
    stop_->setObjectName(QStringLiteral("Stop"));
    stop_->setGeometry(dialogRect(402, 287, 28, 21));
    back_ = new ui::SkinButton(this);
    back_->setObjectName(QStringLiteral("Back"));
    back_->setGeometry(dialogRect(444, 287, 28, 21));
    next_ = new ui::SkinButton(this);
    next_->setObjectName(QStringLiteral("Next"));
    next_->setGeometry(dialogRect(486, 287, 28, 21));
    setUpButton(stop_, 134, 135, QStringLiteral("Stop"));
    setUpButton(next_, 138, 139, QStringLiteral("Next"));
    setUpButton(back_, 136, 137, QStringLiteral("Back"));

    verticalBar_ = new SplitterBar(dialogRect(171, 57, 1, 207), kVerticalBar, this);
    verticalBar_->setObjectName(QStringLiteral("VerticalSplitter"));
    verticalBar_->setLimits(310, 300);
    horizontalBar_ = new SplitterBar(dialogRect(176, 178, 336, 1), kHorizontalBar, this);
    horizontalBar_->setObjectName(QStringLiteral("HorizontalSplitter"));
    // The horizontal bar stays between 150 and 380 pixels from the top, wherever it starts.
    horizontalBar_->setLimitRange(150, 380);

    connect(stop_, &QPushButton::clicked, this, &RecoveryWindow::onStop);
    connect(back_, &QPushButton::clicked, this, &RecoveryWindow::onBack);
    connect(next_, &QPushButton::clicked, this, &RecoveryWindow::SaveCheckedFiles);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { showNode(current); });
    connect(tree_, &SelectionTreeView::boxPressed, this, &RecoveryWindow::onTreeBox);
    connect(tree_, &SelectionTreeView::spacePressed, this, &RecoveryWindow::onTreeSpace);
    connect(tree_, &SelectionTreeView::menuRequested, this, &RecoveryWindow::onTreeMenu);
    connect(folderList_, &CheckListView::boxClicked, this, &RecoveryWindow::onFolderBox);
    connect(folderList_, &CheckListView::spacePressed, this, &RecoveryWindow::onFolderSpace);
    connect(folderList_, &CheckListView::rowOpened, this, &RecoveryWindow::onFolderOpen);
    connect(folderList_, &CheckListView::menuRequested, this, &RecoveryWindow::onFolderMenu);
    connect(foundFiles_, &CheckListView::boxClicked, this, &RecoveryWindow::onFoundFileBox);
    connect(verticalBar_, &SplitterBar::dragEnded, this, &RecoveryWindow::onBarMoved);
    connect(horizontalBar_, &SplitterBar::dragEnded, this, &RecoveryWindow::onBarMoved);
}

void RecoveryWindow::setUpButton(ui::SkinButton* button, int normal, int hover, const QString& tip) {
    SetUpPictureButton(*button, normal, hover, tip);
    button->setFocusPolicy(Qt::ClickFocus);  // no tab stops
}

void RecoveryWindow::setUpLine(ui::SkinStatic* line) {
    line->setFont(QStringLiteral("Arial"), 16, 700);
    line->setColours(lineColour(), lineColour(), ui::kGradientHorizontal);
}

bool RecoveryWindow::IsScanRunning() const {
    return !stop_->isHidden();
}

ui::SkinButton* RecoveryWindow::button(RecoveryControl id) const {
    switch (id) {
        case kStopButton:
            return stop_;
        case kBackButton:
            return back_;
        case kNextButton:
            return next_;
        default:
            return nullptr;
    }
}

SplitterBar* RecoveryWindow::splitter(RecoveryControl id) const {
    return id == kVerticalBar ? verticalBar_ : id == kHorizontalBar ? horizontalBar_ : nullptr;
}

// ---- The scan

void RecoveryWindow::takeScanProgress() {
    const ScanSnapshot snapshot = job_->Take();
    publish(snapshot);
    if (snapshot.finished) endScan(snapshot);
}

void RecoveryWindow::publish(const ScanSnapshot& snapshot) {
    // Nodes first: a row of this batch may lie in a folder of this batch. A scan grows the tree
    // expanded.
    for (auto node = static_cast<NodeId>(rules_->NodeCount()); node < snapshot.nodes; ++node) {
        apply(treeModel_->AddNode(node));
        tree_->expand(treeModel_->indexOf(node));
    }
    if (snapshot.rows > rules_->RowCount()) apply(rules_->CatchUp(snapshot.nodes, snapshot.rows));
    foundModel_->Publish(snapshot.rows);

    const QString status = catalogText(snapshot.status);
    if (!status.isEmpty() && status != shownStatus_) {
        shownStatus_ = status;
        statusLine_->setText(status);
    }
    const QString position = catalogText(snapshot.position);
    if (position != shownPosition_) {
        shownPosition_ = position;
        positionLine_->setText(position);
    }
    progress_->setValue(std::clamp(snapshot.progress, 0, 100));
}

void RecoveryWindow::endScan(const ScanSnapshot& snapshot) {
    scanTimer_.stop();
    job_->Join();
    scanError_ = snapshot.error;
    // The worker has ended: the catalog's own counts are the whole of what it found.
    ScanSnapshot whole = snapshot;
    whole.nodes = catalog_->nodeCount();
    whole.rows = catalog_->rowCount();
    publish(whole);

    stop_->hide();
    apply(rules_->FinishScan());
    tree_->collapseAll();
    if (treeModel_->rowCount() > 0) tree_->expand(treeModel_->index(0, 0));
    positionLine_->hide();
    progress_->hide();
    back_->show();
    next_->show();
    if (catalog_->rowCount() == 0) {
        ui::programMessage(QStringLiteral("No Data found"), ui::kCaptionTapeMedia, ui::kMessageNotice);
        done(QDialog::Rejected);
    }
    emit scanEnded();
}

// ---- Selection

void RecoveryWindow::apply(const selection::SelectionChanges& changes) {
    treeModel_->AnnounceNodes(changes.nodes);
    foundModel_->AnnounceRows(changes.fileRows);
    folderModel_->Announce(changes);
    if (changes.folderListReset) selectShownFolder();
}

bool RecoveryWindow::refuseDuringScan() {
    if (!IsScanRunning()) return false;
    ui::programMessage(kScanTimeRefusal, ui::kCaptionTapeMedia, ui::kMessageNotice);
    return true;
}

void RecoveryWindow::showNode(const QModelIndex& index) {
    const NodeId node = treeModel_->nodeOf(index);
    if (node == catalog::kNoNode || node == rules_->ShownFolder()) return;
    apply(rules_->ShowFolder(node));
}

void RecoveryWindow::selectShownFolder() {
    const QModelIndex shown = treeModel_->indexOf(rules_->ShownFolder());
    if (shown.isValid() && tree_->currentIndex() != shown) tree_->setCurrentIndex(shown);
}

void RecoveryWindow::onTreeBox(const QModelIndex& index) {
    if (IsScanRunning()) {
        refuseDuringScan();
        tree_->setExpanded(index, !tree_->isExpanded(index));
        return;
    }
    tree_->setCurrentIndex(index);
    tree_->setFocus(Qt::MouseFocusReason);
    apply(rules_->ToggleNodeCheck(treeModel_->nodeOf(index)));
}

void RecoveryWindow::onTreeSpace() {
    if (refuseDuringScan()) return;
    const NodeId node = treeModel_->nodeOf(tree_->currentIndex());
    if (node != catalog::kNoNode) apply(rules_->ToggleNodeCheck(node));
}

void RecoveryWindow::onTreeMenu(const QModelIndex&, const QPoint& globalPos) {
    if (runSaveMenu(tree_, QStringLiteral("Save Files"), kSaveFilesCommand, globalPos)) SaveCheckedFiles();
    tree_->setFocus(Qt::PopupFocusReason);
}

void RecoveryWindow::onFolderBox(int row, bool rightButton) {
    if (isUpRow(*folderModel_, row)) return;
    if (refuseDuringScan()) {
        if (rightButton) folderList_->setFocus(Qt::PopupFocusReason);
        return;
    }
    apply(rules_->ToggleRowCheck(static_cast<std::size_t>(row)));
}

void RecoveryWindow::onFolderSpace(int row) {
    if (isUpRow(*folderModel_, row) || refuseDuringScan()) return;
    apply(rules_->ToggleRowCheck(static_cast<std::size_t>(row)));
}

void RecoveryWindow::onFolderOpen(int row, bool byEnter) {
    apply(rules_->OpenFolderRow(static_cast<std::size_t>(row)));
    if (byEnter && folderModel_->rowCount() > 0) {
        folderList_->setCurrentIndex(folderModel_->index(0, 0));
        folderList_->viewport()->repaint();
    }
}

void RecoveryWindow::onFolderMenu(int row, const QPoint& globalPos) {
    if (IsScanRunning()) {
        if (!isUpRow(*folderModel_, row)) refuseDuringScan();
        folderList_->setFocus(Qt::PopupFocusReason);
        return;
    }
    if (runSaveMenu(folderList_, QStringLiteral("Save File"), kSaveFileCommand, globalPos))
        SaveCheckedFiles();
}

void RecoveryWindow::onFoundFileBox(int row, bool rightButton) {
    const bool checked = catalog_->row(static_cast<std::size_t>(row)).checked();
    apply(rules_->SetFileRowCheck(static_cast<std::size_t>(row), !checked));
    if (rightButton) foundFiles_->viewport()->update();
}

// ---- Buttons, keys, closing

void RecoveryWindow::onStop() {
    const int answer = ui::programMessage(QStringLiteral("Do you want to stop repairing process?"),
                                          ui::kCaptionTapeMedia, ui::kMessageQuestion);
    if (answer != ui::IDNO) job_->RequestStop();
}

void RecoveryWindow::onBack() {
    if (IsScanRunning()) {
        ui::programMessage(QStringLiteral("Please stop search process "), ui::kCaptionTapeMedia,
                           ui::kMessageNotice);
        return;
    }
    done(QDialog::Rejected);
}

void RecoveryWindow::reject() {
    // The close box (and any other way of closing the dialog) during a scan only says why not.
    if (IsScanRunning()) {
        ui::programMessage(QStringLiteral("please stop repairing process"), ui::kCaptionTapeMedia,
                           ui::kMessagePlain);
        return;
    }
    ui::SkinBackground::reject();
}

void RecoveryWindow::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Escape:  // never closes the window
        case Qt::Key_Return:  // never a default button: the focused list has had it
        case Qt::Key_Enter:
            e->accept();
            return;
        default:
            ui::SkinBackground::keyPressEvent(e);
    }
}

void RecoveryWindow::onBarMoved(int id, int delta) {
    auto move = [delta](QWidget* control, Qt::Edge edge) {
        control->setGeometry(movedEdge(control->geometry(), edge, delta));
    };
    if (id == kVerticalBar) {
        move(tree_, Qt::RightEdge);
        move(folderList_, Qt::LeftEdge);
        move(foundFiles_, Qt::LeftEdge);
        move(horizontalBar_, Qt::LeftEdge);
    } else {
        move(folderList_, Qt::BottomEdge);
        move(foundFiles_, Qt::TopEdge);
    }
    repaint();
}

// ---- Saving

void RecoveryWindow::SaveCheckedFiles() {
    if (refuseDuringScan()) return;
    SaveSelection(*this, *catalog_, source_, chooseFolder_);
}

}  // namespace ostrum::app
