// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recovery_window.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSettings>
#include <algorithm>
#include <optional>

#include "app/catalog_models.h"
#include "app/catalog_views.h"
#include "app/dialog_units.h"
#include "app/filter_job.h"
#include "app/preview_dialog.h"
#include "app/program_windows.h"
#include "app/resources/program_message.h"
#include "app/resources/program_resources.h"
#include "app/save_progress_dialog.h"
#include "app/splitter_bar.h"
#include "app/tape_preview.h"
#include "catalog/media_catalog.h"
#include "catalog/media_span.h"
#include "mimeinfo/mime_file_info.h"
#include "save/file_preview.h"
#include "save/save_items.h"
#include "ui/skin/focus_frame.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_static.h"

namespace ostrum::app {
namespace {

using selection::FolderRowKind;

constexpr Picture kSkin = Picture::RecoverySkin;

// The files a missing medium cuts that the status line's tip names; the listing names them all.
constexpr std::size_t kMissingMediumFilesTold = 10;

const QString kScanTimeRefusal = QStringLiteral("Please stop search process , then select files");

ui::ColorRef lineColour() {
    return ui::makeColorRef(255, 252, 179);
}

bool isUpRow(const FolderListModel& model, int row) {
    return model.index(row, 0).data(FolderRowKindRole).toInt() == static_cast<int>(FolderRowKind::Up);
}

// Where the window's size is kept between runs.
QSettings windowSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Brivane"),
                     QStringLiteral("Ostrum TAPE"));
}
const QString kSizeKey = QStringLiteral("RecoveryWindow/size");
const QString kMaximisedKey = QStringLiteral("RecoveryWindow/maximised");

// The lists' columns: the name (a path in the list of all files, elided in the middle) takes what the
// type and the size leave; the columns after the size hold what only tests read.
constexpr int kTypeColumnWidth = 160;
constexpr int kSizeColumnWidth = 100;

void setUpColumns(QTableView& view, int hiddenFrom) {
    QHeaderView& header = *view.horizontalHeader();
    header.setStretchLastSection(false);
    header.setSectionResizeMode(0, QHeaderView::Stretch);
    view.setColumnWidth(1, kTypeColumnWidth);
    view.setColumnWidth(2, kSizeColumnWidth);
    for (int column = hiddenFrom; column < view.model()->columnCount(); ++column)
        view.setColumnHidden(column, true);
}

// What the status line says after a Stop: that the catalog holds only what was read before it.
QString stoppedText(const ScanEnd& end, int percent) {
    if (end.mediumSize && *end.mediumSize > 0 && end.bytesRead > 0) {
        return QStringLiteral("Scan stopped: %1 of %2 bytes read (%3%)")
            .arg(groupedNumber(end.bytesRead), groupedNumber(*end.mediumSize))
            .arg(std::clamp(percent, 0, 100));
    }
    return QStringLiteral("Scan stopped after %1% of the medium").arg(std::clamp(percent, 0, 100));
}

}  // namespace

RecoveryWindow::RecoveryWindow(const ScanSource& source, QWidget* parent, ScanFunction scan)
    : ui::SkinBackground(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                     Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      source_(source),
      scanOverride_(std::move(scan)) {
    setUpProgramWindow(*this, "RecoveryWindow", QStringLiteral("Brivane Ostrum TAPE MEDIA (Windows)"), kSkin,
                       522, 310);
    // The template's size is where the window opens the first time, and the least it may be.
    setMinimumSize(kRecoveryDefaultSize);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setSizeGripEnabled(true);
    buildControls();
    restoreSize();
    layOut();

    scanTimer_.setInterval(kScanLookMs);
    connect(&scanTimer_, &QTimer::timeout, this, &RecoveryWindow::takeScanProgress);
    startScan();
    folderList_->setFocus(Qt::OtherFocusReason);
}

RecoveryWindow::~RecoveryWindow() {
    scanTimer_.stop();
    job_.reset();        // stops and joins the worker before anything it writes to goes away
    filterJob_->stop();  // a filter running reads the catalog, which goes before the job (a child) does
    // The views and models read the rules and the catalog: they go before them.
    delete tree_;
    delete folderList_;
    delete foundFiles_;
    delete treeModel_;
    delete folderModel_;
    delete foundModel_;
}

void RecoveryWindow::buildControls() {
    const auto resources = ProgramResources::instance();

    tree_ = new SelectionTreeView(this);
    tree_->setObjectName(QStringLiteral("SelectionTree"));
    tree_->setItemDelegate(
        new StateImageDelegate(resources->imageStrip(artwork::pictureId(Picture::TreeStateStrip)), 0, tree_));

    folderList_ = new FolderListView(this);
    folderList_->setObjectName(QStringLiteral("FolderList"));
    folderList_->setItemDelegate(new StateImageDelegate(
        resources->imageStrip(artwork::pictureId(Picture::FolderStateStrip)), 1, folderList_));

    foundFiles_ = new FoundFilesView(this);
    foundFiles_->setObjectName(QStringLiteral("FoundFilesList"));
    foundFiles_->setTextElideMode(Qt::ElideMiddle);
    foundFiles_->setItemDelegate(new FittedTextDelegate(FoundFilesModel::NameColumn, foundFiles_));
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("FileFilter"));
    filter_->setPlaceholderText(QStringLiteral("Filter: part of a path, or a pattern such as *.doc"));
    filter_->setClearButtonEnabled(true);
    filterCount_ = new QLabel(this);
    filterCount_->setObjectName(QStringLiteral("FilterCount"));
    filterCount_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    filterJob_ = new FilterJob(
        [this](const selection::FileFilter& filter, ShownRows rows) { onFiltered(filter, std::move(rows)); },
        this);
    connect(filter_, &QLineEdit::textChanged, this, &RecoveryWindow::filterFiles);
    attachCatalog();
    for (QAbstractScrollArea* list :
         std::initializer_list<QAbstractScrollArea*>{tree_, folderList_, foundFiles_})
        ui::showFocusFrame(*list);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ScanProgress"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    statusLine_ = new ui::SkinStatic(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    setUpLine(statusLine_);
    positionLine_ = new ui::SkinStatic(this);
    positionLine_->setObjectName(QStringLiteral("PositionLine"));
    setUpLine(positionLine_);
    deepScan_ = new QPushButton(QStringLiteral("Scan Again Deeply"), this);
    deepScan_->setObjectName(QStringLiteral("ScanDeeply"));
    deepScan_->hide();

    stop_ = new ui::SkinButton(this);
    stop_->setObjectName(QStringLiteral("Stop"));
    back_ = new ui::SkinButton(this);
    back_->setObjectName(QStringLiteral("Back"));
    next_ = new ui::SkinButton(this);
    next_->setObjectName(QStringLiteral("Next"));
    setUpButton(stop_, Picture::StopButton, Picture::StopButtonHover, QStringLiteral("Stop"));
    setUpButton(next_, Picture::NextButton, Picture::NextButtonHover, QStringLiteral("Next"));
    setUpButton(back_, Picture::BackButton, Picture::BackButtonHover, QStringLiteral("Back"));

    const RecoveryGeometry at = recoveryGeometry(kRecoveryDefaultSize, shares_);
    verticalBar_ = new SplitterBar(at.verticalBar, kVerticalBar, this);
    verticalBar_->setObjectName(QStringLiteral("VerticalSplitter"));
    horizontalBar_ = new SplitterBar(at.horizontalBar, kHorizontalBar, this);
    horizontalBar_->setObjectName(QStringLiteral("HorizontalSplitter"));

    // Tab goes through the lists and the buttons shown in screen order.
    setTabOrder(tree_, folderList_);
    setTabOrder(folderList_, filter_);
    setTabOrder(filter_, foundFiles_);
    setTabOrder(foundFiles_, stop_);
    setTabOrder(stop_, back_);
    setTabOrder(back_, next_);

    connect(stop_, &QPushButton::clicked, this, &RecoveryWindow::onStop);
    connect(back_, &QPushButton::clicked, this, &RecoveryWindow::onBack);
    connect(next_, &QPushButton::clicked, this, &RecoveryWindow::saveCheckedFiles);
    connect(deepScan_, &QPushButton::clicked, this, &RecoveryWindow::scanAgainDeeply);
    connect(tree_, &SelectionTreeView::boxPressed, this, &RecoveryWindow::onTreeBox);
    connect(tree_, &SelectionTreeView::spacePressed, this, &RecoveryWindow::onTreeSpace);
    connect(tree_, &SelectionTreeView::menuRequested, this, &RecoveryWindow::onTreeMenu);
    connect(folderList_, &CheckListView::boxClicked, this, &RecoveryWindow::onFolderBox);
    connect(folderList_, &CheckListView::spacePressed, this, &RecoveryWindow::onFolderSpace);
    connect(folderList_, &CheckListView::rowOpened, this, &RecoveryWindow::onFolderOpen);
    connect(folderList_, &CheckListView::menuRequested, this, &RecoveryWindow::onFolderMenu);
    connect(foundFiles_, &CheckListView::boxClicked, this, &RecoveryWindow::onFoundFileBox);
    connect(foundFiles_, &CheckListView::menuRequested, this, &RecoveryWindow::onFoundFilesMenu);
    connect(verticalBar_, &SplitterBar::dragEnded, this, &RecoveryWindow::onBarMoved);
    connect(horizontalBar_, &SplitterBar::dragEnded, this, &RecoveryWindow::onBarMoved);
}

// A new, empty catalog with its selection rules and models, shown by the views; the old ones (of a scan
// done before) go once the views have let go of them.
void RecoveryWindow::attachCatalog() {
    filterJob_->stop();  // it reads the catalog that goes
    filterShown_.reset();
    rowsShown_.reset();
    lostOnly_ = false;
    filter_->blockSignals(true);
    filter_->clear();
    filter_->blockSignals(false);
    filter_->setEnabled(false);  // until the scan has ended: the filter reads a catalog that stands still
    filterCount_->clear();
    auto catalog = std::make_unique<catalog::Catalog>(std::make_shared<mimeinfo::MimeFileInfo>());
    auto rules = std::make_unique<selection::SelectionRules>(*catalog);
    auto* treeModel = new SelectionTreeModel(*rules, *catalog, this);
    auto* folderModel = new FolderListModel(*rules, *catalog, this);
    auto* foundModel = new FoundFilesModel(*catalog, this);
    const auto show = [](QAbstractItemView& view, QAbstractItemModel* model) {
        QItemSelectionModel* old = view.selectionModel();
        view.setModel(model);
        delete old;
    };
    show(*tree_, treeModel);
    show(*folderList_, folderModel);
    show(*foundFiles_, foundModel);
    delete treeModel_;
    delete folderModel_;
    delete foundModel_;
    treeModel_ = treeModel;
    folderModel_ = folderModel;
    foundModel_ = foundModel;
    rules_ = std::move(rules);
    catalog_ = std::move(catalog);

    setUpColumns(*folderList_, 3);
    setUpColumns(*foundFiles_, FoundFilesModel::DataOffsetColumn);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { showNode(current); });
}

// Starts the scan of the source; the window shows the scanning state until it ends.
void RecoveryWindow::startScan() {
    back_->hide();
    next_->hide();
    stop_->show();
    progress_->setValue(0);
    progress_->show();
    positionLine_->show();
    deepScan_->hide();
    statusLine_->setToolTip(QString());  // what it said of the scan before
    shownStatus_.clear();
    shownPosition_.clear();
    sizesFixedShown_ = 0;
    statusLine_->setText(source_.deep ? QStringLiteral("Scanning deeply, please wait...")
                                      : QStringLiteral("Rewing media , please wait..."));
    positionLine_->setText(QString());
    fitStatusLine();
    ScanFunction scan = scanOverride_ ? std::exchange(scanOverride_, {}) : scanOf(source_);
    // The timer shows the scan's progress; its end is shown as soon as the worker has published it.
    job_ = std::make_unique<ScanJob>(std::move(scan), *catalog_, [this] {
        QMetaObject::invokeMethod(this, &RecoveryWindow::takeScanProgress, Qt::QueuedConnection);
    });
    scanTimer_.start();
    job_->start();
}

void RecoveryWindow::scanAgainDeeply() {
    if (refuseDuringScan() || source_.isTape) return;
    scanTimer_.stop();
    job_.reset();
    source_.deep = true;
    scanError_.clear();
    attachCatalog();
    startScan();
}

// ---- Size and layout

void RecoveryWindow::restoreSize() {
    const QSettings settings = windowSettings();
    QSize size = settings.value(kSizeKey, kRecoveryDefaultSize).toSize();
    if (const QScreen* screen = this->screen()) size = size.boundedTo(screen->availableGeometry().size());
    resize(size.expandedTo(kRecoveryDefaultSize));
    if (settings.value(kMaximisedKey, false).toBool()) setWindowState(windowState() | Qt::WindowMaximized);
}

void RecoveryWindow::done(int result) {
    QSettings settings = windowSettings();
    const bool maximised = isMaximized();
    settings.setValue(kSizeKey, maximised ? normalGeometry().size() : size());
    settings.setValue(kMaximisedKey, maximised);
    ui::SkinBackground::done(result);
}

void RecoveryWindow::resizeEvent(QResizeEvent* e) {
    ui::SkinBackground::resizeEvent(e);
    layOut();
}

void RecoveryWindow::layOut() {
    if (tree_ == nullptr || statusLine_ == nullptr) return;
    const RecoveryGeometry at = recoveryGeometry(size(), shares_);
    tree_->setGeometry(at.tree);
    folderList_->setGeometry(at.folderList);
    foundFiles_->setGeometry(at.foundFiles);
    filter_->setGeometry(at.filter);
    filterCount_->setGeometry(at.filterCount);
    progress_->setGeometry(at.progress);
    statusLine_->setGeometry(at.statusLine);
    positionLine_->setGeometry(at.positionLine);
    deepScan_->setGeometry(at.positionLine.left(), at.positionLine.top() - 4, deepScan_->sizeHint().width(),
                           at.positionLine.height() + 8);
    stop_->setGeometry(at.stop);
    back_->setGeometry(at.back);
    next_->setGeometry(at.next);
    verticalBar_->setGeometry(at.verticalBar);
    verticalBar_->setLimitRange(at.verticalLower, at.verticalUpper);
    horizontalBar_->setGeometry(at.horizontalBar);
    horizontalBar_->setLimitRange(at.horizontalLower, at.horizontalUpper);
    fitStatusLine();
    update();
}

// The status line is as wide as the template makes it, or, for a longer text, as wide as the text up to the
// first control on its right.
void RecoveryWindow::fitStatusLine() {
    const RecoveryGeometry at = recoveryGeometry(size(), shares_);
    QRect line = at.statusLine;
    const bool besideLine = !positionLine_->isHidden() || !deepScan_->isHidden();
    const int room = (besideLine ? at.positionLine.left() : (stop_->isHidden() ? at.back : at.stop).left()) -
                     8 - line.left();
    const int wanted = QFontMetrics(statusLine_->look().font).horizontalAdvance(statusLine_->text()) + 8;
    line.setWidth(std::clamp(wanted, line.width(), std::max(line.width(), room)));
    statusLine_->setGeometry(line);
}

void RecoveryWindow::paintEvent(QPaintEvent* e) {
    const SplitterShares standard = defaultSplitterShares();
    if (size() == kRecoveryDefaultSize && shares_.across == standard.across &&
        shares_.down == standard.down) {
        ui::SkinBackground::paintEvent(e);
        return;
    }
    QPainter painter(this);
    const QRect lists = folderList_->geometry().united(foundFiles_->geometry());
    paintResizedRecoverySkin(painter, skin(), size(), tree_->geometry(), lists);
}

void RecoveryWindow::setUpButton(ui::SkinButton* button, Picture normal, Picture hover, const QString& tip) {
    setUpPictureButton(*button, normal, hover, tip);
    button->setFocusPolicy(Qt::StrongFocus);
}

void RecoveryWindow::setUpLine(ui::SkinStatic* line) {
    line->setFont(QStringLiteral("Arial"), 16, 700);
    line->setColours(lineColour(), lineColour(), ui::kGradientHorizontal);
}

bool RecoveryWindow::isScanRunning() const {
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
    if (!scanTimer_.isActive()) return;  // the end was taken already: the timer stops with it
    const ScanSnapshot snapshot = job_->take();
    publish(snapshot);
    if (snapshot.finished) endScan(snapshot);
}

void RecoveryWindow::publish(const ScanSnapshot& snapshot) {
    // Nodes first: a row of this batch may lie in a folder of this batch. A scan grows the tree
    // expanded.
    for (auto node = static_cast<NodeId>(rules_->NodeCount()); node < snapshot.nodes; ++node) {
        apply(treeModel_->addNode(node));
        tree_->expand(treeModel_->indexOf(node));
    }
    if (snapshot.rows > rules_->RowCount()) apply(rules_->CatchUp(snapshot.nodes, snapshot.rows));
    foundModel_->publish(snapshot.rows);
    if (snapshot.sizesFixed != sizesFixedShown_) {
        sizesFixedShown_ = snapshot.sizesFixed;
        foundModel_->announceSizes();
        folderModel_->announceSizes();
    }

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
    job_->join();
    const ScanEnd& end = snapshot.end;
    scanError_ = end.error;
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
    const bool stopped = job_->stopRequested().load();
    if (stopped) {
        statusLine_->setText(stoppedText(end, snapshot.progress));
    } else {
        noteMediaOrder();
        noteMissingMedia();
        noteGridLoss(end);
    }
    showLostFiles();
    filter_->setEnabled(true);
    showFilteredRows();
    fitStatusLine();
    if (catalog_->rowCount() == 0 && end.error.empty() && !stopped && offerDeepScan()) return;
    // A window that found nothing closes before it says why, so that the box stands over the page the user
    // goes on from rather than over an empty window.
    if (!end.error.empty() || (catalog_->rowCount() == 0 && !end.noMtfData.empty())) {
        // The medium could not be read, or holds nothing of the format: the system's or the scan's words.
        const std::string& why = end.error.empty() ? end.noMtfData : end.error;
        scanError_ = why;
        statusLine_->setText(catalogText(why));
        fitStatusLine();
        done(QDialog::Rejected);
        programError(why);
    } else if (catalog_->rowCount() == 0) {
        done(QDialog::Rejected);
        programMessage(QStringLiteral("No Data found"), kCaptionTapeMedia, kMessageNotice);
    }
    emit scanEnded();
}

// Media read in another order than they were given: the status line says so once the scan has ended, where
// the window says how it ended, rather than in a message that would stop the user for something that needs
// no answer; its tip names the order.
void RecoveryWindow::noteMediaOrder() {
    if (source_.mediaOrderNote.empty()) return;
    statusLine_->setText(statusLine_->text() + QStringLiteral("; ") + catalogText(source_.mediaOrderNote));
    QStringList media{catalogText(source_.path)};
    for (const std::string& later : source_.laterSources) media << catalogText(later);
    statusLine_->setToolTip(QStringLiteral("Read in this order: ") + media.join(QStringLiteral(", ")));
}

// A medium of the backup that was not given: the status line says which, of which family, and how many
// files it cuts, as soon as the scan has ended; its tip adds the note that found the gap and each file's
// words, as the listing gives them.
void RecoveryWindow::noteMissingMedia() {
    const std::vector<catalog::MissingMedium> missing = catalog::MissingMedia(*catalog_);
    if (missing.empty()) return;
    QString status = statusLine_->text();
    QStringList tip;
    if (!statusLine_->toolTip().isEmpty()) tip << statusLine_->toolTip();
    for (const std::string& note : catalog_->mediaSpan().notes()) tip << catalogText(note);
    for (const catalog::MissingMedium& medium : missing) {
        QString said = catalogText(medium.text) + QStringLiteral(" was not given");
        const std::size_t cut = medium.rowsCut.size();
        if (cut > 0) {
            said += cut == 1 ? QStringLiteral(": 1 file cut short")
                             : QStringLiteral(": %1 files cut short").arg(groupedNumber(cut));
        }
        status += QStringLiteral("; ") + said;
        tip << capitalised(said) + (cut > 0 ? QStringLiteral(":") : QString());
        const auto& span = catalog_->mediaSpan();
        for (std::size_t i = 0; i < cut && i < kMissingMediumFilesTold; ++i) {
            const std::size_t row = medium.rowsCut[i];
            tip << QStringLiteral("    ") + catalogText(catalog_->row(row).path().str()) +
                       QStringLiteral(": ") +
                       catalogText(span.MissingText(row, catalog_->row(row).storedSize().value_or(0)));
        }
        if (cut > kMissingMediumFilesTold)
            tip << QStringLiteral("    and %1 more").arg(groupedNumber(cut - kMissingMediumFilesTold));
    }
    statusLine_->setText(status);
    statusLine_->setToolTip(tip.join(u'\n'));
}

// Blocks the normal scan missed because they left the 512-byte grid: the status line says so, and the deep
// scan, which finds them, is a button beside it.
void RecoveryWindow::noteGridLoss(const ScanEnd& end) {
    if (end.gridLosses == 0 || source_.deep || source_.isTape) return;
    const bool several = !source_.laterSources.empty();
    statusLine_->setText(statusLine_->text() + QStringLiteral("; block grid lost"));
    const QString said =
        QStringLiteral(
            "The normal scan lost the block grid at %1 (first at byte %2%3): Scan Again Deeply may "
            "find more files")
            .arg(end.gridLosses == 1 ? QStringLiteral("1 place")
                                     : QStringLiteral("%1 places").arg(groupedNumber(end.gridLosses)),
                 groupedNumber(end.firstGridLoss),
                 several ? QStringLiteral(" of ") + catalogText(end.gridLossMedium) : QString());
    const QString tip = statusLine_->toolTip();
    statusLine_->setToolTip(tip.isEmpty() ? said : tip + u'\n' + said);
    deepScan_->setToolTip(said);
    deepScan_->show();
    layOut();
}

// When the normal scan of an image has found no file, the image may still hold files off the 512-byte grid
// (cut or shifted by a few bytes): the deep scan looks again, by itself, before the window gives up.
bool RecoveryWindow::offerDeepScan() {
    if (source_.isTape || source_.deep) return false;
    statusLine_->setText(QStringLiteral("The normal scan found no file: scanning the image again deeply"));
    fitStatusLine();
    scanAgainDeeply();
    return true;
}

// ---- The medium's own catalog, the filter and the preview

// The files the medium's own catalog names that the scan did not find follow the rows, in grey; the status
// line says how many.
void RecoveryWindow::showLostFiles() {
    std::vector<std::string> lost = catalog::CompareWithScan(*catalog_).missing;
    if (lost.empty()) return;
    statusLine_->setText(statusLine_->text() +
                         QStringLiteral("; %1 lost to damage (named by the medium's catalog)")
                             .arg(groupedNumber(lost.size())));
    foundModel_->setLostFiles(std::move(lost));
}

void RecoveryWindow::filterFiles(const QString& text) {
    if (filter_->text() != text) {
        filter_->setText(text);  // comes back here through textChanged
        return;
    }
    if (isScanRunning()) return;
    filterJob_->start(*catalog_, text.toStdString());
}

void RecoveryWindow::onFiltered(const selection::FileFilter& filter, ShownRows rows) {
    filterShown_ = std::make_unique<selection::FileFilter>(filter);
    rowsShown_ = std::move(rows);
    showFilteredRows();
}

// The list shows the rows of the last filter run (every row when none), then the lost files it shows.
void RecoveryWindow::showFilteredRows() {
    const std::size_t lostCount = foundModel_->lostFileCount();
    std::vector<std::uint32_t> lost;
    for (std::size_t i = 0; i < lostCount; ++i) {
        if (!filterShown_ || filterShown_->ShowsPath(foundModel_->lostPath(i)))
            lost.push_back(static_cast<std::uint32_t>(i));
    }
    const bool lostOnly = lostOnly_ && lostCount > 0;
    const std::size_t shownLost = lost.size();
    foundModel_->show(rowsShown_, std::move(lost), lostOnly);
    const std::size_t shown = lostOnly ? shownLost : foundModel_->foundRowsShown();
    const std::size_t total = lostOnly ? lostCount : catalog_->rowCount();
    filterCount_->setText(QString::fromStdString(selection::ShownRowsText(shown, total)) +
                          (lostOnly ? QStringLiteral(" lost files") : QStringLiteral(" files")));
}

void RecoveryWindow::showOnlyLostFiles(bool only) {
    if (refuseDuringScan()) return;
    lostOnly_ = only;
    showFilteredRows();
}

void RecoveryWindow::checkShownFiles(bool checked) {
    if (refuseDuringScan() || foundModel_->lostOnly()) return;
    if (rowsShown_) {
        apply(rules_->SetFileRowChecks(*rowsShown_, checked));
        return;
    }
    std::vector<std::uint32_t> every(catalog_->rowCount());
    for (std::size_t i = 0; i < every.size(); ++i) every[i] = static_cast<std::uint32_t>(i);
    apply(rules_->SetFileRowChecks(every, checked));
}

void RecoveryWindow::previewFile(std::size_t row) {
    // The scan's worker holds the tape drive until the scan has ended.
    if (row >= catalog_->rowCount() || (source_.isTape && isScanRunning())) return;
    const save::SaveItem item = save::SaveItemOf(*catalog_, row);
    std::optional<save::FilePreview> preview;
    if (source_.isTape) {
        preview = readTapePreview(*this, item, source_);
        if (!preview) return;  // not read, or cancelled
    } else {
        save::SaveRequest request;
        request.sourcePath = source_.path;
        request.laterSources = source_.laterSources;
        preview = save::ReadPreview(item, request);
    }
    PreviewDialog dialog(catalogText(item.catalogPath), *preview, catalog_->row(row).size(), this);
    if (showPreview_) {
        showPreview_(dialog);
    } else {
        dialog.exec();
    }
}

// ---- Selection

void RecoveryWindow::apply(const selection::SelectionChanges& changes) {
    treeModel_->announceNodes(changes.nodes);
    foundModel_->announceRows(changes.fileRows);
    folderModel_->announce(changes);
    if (changes.folderListReset) selectShownFolder();
}

bool RecoveryWindow::refuseDuringScan() {
    if (!isScanRunning()) return false;
    programMessage(kScanTimeRefusal, kCaptionTapeMedia, kMessageNotice);
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
    if (isScanRunning()) {
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
    std::vector<MenuEntry> entries{{QStringLiteral("Save Files"), kSaveFilesCommand}, {}};
    if (!source_.isTape) entries.push_back({QStringLiteral("Scan Again Deeply"), kScanDeeplyCommand});
    const int command = runListMenu(tree_, entries, globalPos);
    if (command == kSaveFilesCommand) saveCheckedFiles();
    if (command == kScanDeeplyCommand) scanAgainDeeply();
    tree_->setFocus(Qt::PopupFocusReason);
}

void RecoveryWindow::onFoundFilesMenu(int row, const QPoint& globalPos) {
    const auto file = foundModel_->catalogRow(row);
    std::vector<MenuEntry> entries;
    if (file && (!source_.isTape || !isScanRunning()))
        entries.push_back({QStringLiteral("Preview"), kPreviewCommand});
    if (!isScanRunning()) {
        if (!entries.empty()) entries.push_back({});
        entries.push_back({QStringLiteral("Tick All Shown"), kTickShownCommand});
        entries.push_back({QStringLiteral("Untick All Shown"), kUntickShownCommand});
        if (foundModel_->lostFileCount() > 0)
            entries.push_back(
                {QStringLiteral("Show Only Lost Files"), kLostOnlyCommand, foundModel_->lostOnly()});
        if (!source_.isTape) {
            entries.push_back({});
            entries.push_back({QStringLiteral("Scan Again Deeply"), kScanDeeplyCommand});
        }
    }
    if (entries.empty()) return;
    switch (runListMenu(foundFiles_, entries, globalPos)) {
        case kPreviewCommand:
            return previewFile(*file);
        case kTickShownCommand:
            return checkShownFiles(true);
        case kUntickShownCommand:
            return checkShownFiles(false);
        case kLostOnlyCommand:
            return showOnlyLostFiles(!foundModel_->lostOnly());
        case kScanDeeplyCommand:
            return scanAgainDeeply();
        default:
            return;
    }
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
    if (isScanRunning()) {
        if (!isUpRow(*folderModel_, row)) refuseDuringScan();
        folderList_->setFocus(Qt::PopupFocusReason);
        return;
    }
    std::vector<MenuEntry> entries{{QStringLiteral("Save File"), kSaveFileCommand}, {}};
    const selection::FolderRow shown = rules_->FolderRowAt(static_cast<std::size_t>(row));
    if (shown.kind == FolderRowKind::File) entries.push_back({QStringLiteral("Preview"), kPreviewCommand});
    const int command = runListMenu(folderList_, entries, globalPos);
    if (command == kSaveFileCommand) saveCheckedFiles();
    if (command == kPreviewCommand) previewFile(shown.fileRow);
}

void RecoveryWindow::onFoundFileBox(int row, bool rightButton) {
    const auto file = foundModel_->catalogRow(row);
    if (!file) return;  // a lost file has no box
    const bool checked = catalog_->row(*file).checked();
    apply(rules_->SetFileRowCheck(*file, !checked));
    if (rightButton) foundFiles_->viewport()->update();
}

// ---- Buttons, keys, closing

void RecoveryWindow::onStop() {
    const ui::MessageAnswer answer = programMessage(QStringLiteral("Do you want to stop repairing process?"),
                                                    kCaptionTapeMedia, kMessageQuestion);
    if (answer != ui::MessageAnswer::No) job_->requestStop();
}

void RecoveryWindow::onBack() {
    if (isScanRunning()) {
        programMessage(QStringLiteral("Please stop search process "), kCaptionTapeMedia, kMessageNotice);
        return;
    }
    done(QDialog::Rejected);
}

void RecoveryWindow::reject() {
    // The close box (and any other way of closing the dialog) during a scan only says why not.
    if (isScanRunning()) {
        programMessage(QStringLiteral("please stop repairing process"), kCaptionTapeMedia, kMessagePlain);
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

// A bar has been dragged: it keeps its new share of the room it moves in, and the panes follow it.
void RecoveryWindow::onBarMoved(int, int) {
    shares_ = sharesAt(size(), verticalBar_->centre(), horizontalBar_->centre());
    layOut();
    repaint();
}

// ---- Saving

void RecoveryWindow::saveCheckedFiles() {
    if (refuseDuringScan()) return;
    saveSelection(*this, *catalog_, source_, chooseFolder_);
}

}  // namespace ostrum::app
