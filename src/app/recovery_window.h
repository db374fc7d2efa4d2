// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// RecoveryWindow: the window in which a medium is scanned and what was found is browsed, chosen and
// saved. It starts the scan when it is made; during the scan it shows the growing tree and lists, the
// progress and Stop; afterwards everything found is ticked, and Back and Next are offered. It never
// ends, and its catalog never goes away, while the scan's worker runs: closing it stops and joins it.
//
// An image in which the normal scan finds no file is scanned again with the deep scan before the window
// gives up; "Scan Again Deeply" does the same on request. The window opens at its template's size, or at
// the size it had when last closed, and may be resized and maximised.

#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/catalog_models.h"
#include "app/recovery_layout.h"
#include "app/resources/artwork_names.h"
#include "app/scan_job.h"
#include "app/scan_source.h"
#include "catalog/catalog.h"
#include "selection/file_filter.h"
#include "selection/selection_rules.h"
#include "ui/skin/skin_background.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QProgressBar;

namespace ostrum::ui {
class SkinButton;
class SkinStatic;
}  // namespace ostrum::ui

namespace ostrum::app {

class SelectionTreeModel;
class FolderListModel;
class FoundFilesModel;
class SelectionTreeView;
class FolderListView;
class FoundFilesView;
class SplitterBar;
class FilterJob;

// Ids of the window's controls, as the template numbers them; they are also their object names'
// suffixes where a test needs them.
enum RecoveryControl : int {
    kNextButton = 1000,
    kBackButton = 1001,
    kStopButton = 1002,
    kFolderList = 1016,
    kSelectionTree = 1017,
    kFoundFilesList = 1018,
    kScanProgress = 1019,
    kStatusLine = 1020,
    kPositionLine = 1021,
    kVerticalBar = 1023,
    kHorizontalBar = 1024,
};

// The command numbers of the menu entries.
inline constexpr int kSaveFilesCommand = 32003;
inline constexpr int kSaveFileCommand = 102;
inline constexpr int kScanDeeplyCommand = 32010;
inline constexpr int kPreviewCommand = 32011;
inline constexpr int kTickShownCommand = 32012;
inline constexpr int kUntickShownCommand = 32013;
inline constexpr int kLostOnlyCommand = 32014;

class RecoveryWindow : public ui::SkinBackground {
    Q_OBJECT
  public:
    // How long the window waits between looks at the scan's progress.
    static constexpr int kScanLookMs = 100;

    // Starts the scan of `source` at once. `scan` replaces the scanner the source asks for (tests hold a
    // scan back with it).
    explicit RecoveryWindow(const ScanSource& source, QWidget* parent = nullptr, ScanFunction scan = {});
    ~RecoveryWindow() override;

    // True exactly while the Stop button is shown.
    bool isScanRunning() const;
    // A confirmed Stop has asked the scan to end.
    bool scanStopRequested() const { return job_->stopRequested().load(); }
    // Why the medium could not be read at all, or holds no MTF data, once the scan has ended; empty else.
    const std::string& scanError() const { return scanError_; }
    // True while, or once, the scan running is the deep scan.
    bool deepScan() const { return source_.deep; }
    // Scans the image again with the deep scan, from nothing: for a medium the normal scan read only in
    // part. Refused during a scan and for tape drives.
    void scanAgainDeeply();

    // Ends the window, keeping its size for the next one.
    void done(int result) override;

    // The list of all files shows the rows the text shows (see selection::FileFilter), as the filter field
    // does when the user types; the count beside it says how many.
    void filterFiles(const QString& text);
    // "Tick All Shown" and "Untick All Shown": the rows the list shows get the check.
    void checkShownFiles(bool checked);
    // "Show Only Lost Files": the list shows the files the medium's catalog names but the scan did not find,
    // alone, or again after the rows.
    void showOnlyLostFiles(bool only);
    // Shows the first bytes of the catalog row's file in a preview dialog. A tape is read only once the
    // scan has ended, and only when the user agrees (see tape_preview.h).
    void previewFile(std::size_t row);

    // Saves the ticked files: asks for a folder, then saves them with a progress dialog.
    void saveCheckedFiles();

    const catalog::Catalog& catalog() const { return *catalog_; }
    selection::SelectionRules& rules() { return *rules_; }
    SelectionTreeView* tree() const { return tree_; }
    FolderListView* folderList() const { return folderList_; }
    FoundFilesView* foundFiles() const { return foundFiles_; }
    SelectionTreeModel* treeModel() const { return treeModel_; }
    FolderListModel* folderModel() const { return folderModel_; }
    FoundFilesModel* foundModel() const { return foundModel_; }
    ui::SkinButton* button(RecoveryControl id) const;
    ui::SkinStatic* statusLine() const { return statusLine_; }
    ui::SkinStatic* positionLine() const { return positionLine_; }
    QProgressBar* progressBar() const { return progress_; }
    SplitterBar* splitter(RecoveryControl id) const;
    QLineEdit* filterField() const { return filter_; }
    QLabel* filterCount() const { return filterCount_; }
    // Offered beside the status line when the normal scan lost the block grid: runs the deep scan.
    QPushButton* deepScanButton() const { return deepScan_; }
    // Where the preview dialog is shown; modally by default (tests look at it instead).
    void setPreviewShower(std::function<void(QDialog&)> show) { showPreview_ = std::move(show); }

    // Where saving asks for the destination folder; the platform's folder dialog by default.
    void setFolderChooser(std::function<QString()> chooser) { chooseFolder_ = std::move(chooser); }

  signals:
    // The scan has ended and the window shows what was found (or is about to close for finding nothing).
    void scanEnded();

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void reject() override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

  private:
    void buildControls();
    void attachCatalog();
    void startScan();
    void layOut();
    void restoreSize();
    void fitStatusLine();
    bool offerDeepScan();
    void showLostFiles();
    void onFiltered(const selection::FileFilter& filter, ShownRows rows);
    void showFilteredRows();
    bool isFileRowShown(int folderRow) const;
    void setUpButton(ui::SkinButton* button, artwork::Picture normal, artwork::Picture hover,
                     const QString& tip);
    void setUpLine(ui::SkinStatic* line);
    void takeScanProgress();
    void publish(const ScanSnapshot& snapshot);
    void endScan(const ScanSnapshot& snapshot);
    void noteMediaOrder();
    void noteMissingMedia();
    void noteGridLoss(const ScanEnd& end);
    void apply(const selection::SelectionChanges& changes);
    bool refuseDuringScan();
    void showNode(const QModelIndex& index);
    void selectShownFolder();

    void onStop();
    void onBack();
    void onTreeBox(const QModelIndex& index);
    void onTreeSpace();
    void onTreeMenu(const QModelIndex& index, const QPoint& globalPos);
    void onFoundFilesMenu(int row, const QPoint& globalPos);
    void onFolderBox(int row, bool rightButton);
    void onFolderSpace(int row);
    void onFolderOpen(int row, bool byEnter);
    void onFolderMenu(int row, const QPoint& globalPos);
    void onFoundFileBox(int row, bool rightButton);
    void onBarMoved(int id, int delta);

    std::unique_ptr<catalog::Catalog> catalog_;
    std::unique_ptr<selection::SelectionRules> rules_;
    SelectionTreeModel* treeModel_ = nullptr;
    FolderListModel* folderModel_ = nullptr;
    FoundFilesModel* foundModel_ = nullptr;
    SelectionTreeView* tree_ = nullptr;
    FolderListView* folderList_ = nullptr;
    FoundFilesView* foundFiles_ = nullptr;
    QProgressBar* progress_ = nullptr;
    ui::SkinStatic* statusLine_ = nullptr;
    ui::SkinStatic* positionLine_ = nullptr;
    ui::SkinButton* stop_ = nullptr;
    ui::SkinButton* back_ = nullptr;
    ui::SkinButton* next_ = nullptr;
    SplitterBar* verticalBar_ = nullptr;
    SplitterBar* horizontalBar_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QLabel* filterCount_ = nullptr;
    QPushButton* deepScan_ = nullptr;
    FilterJob* filterJob_ = nullptr;
    std::unique_ptr<selection::FileFilter> filterShown_;  // the text whose rows the list shows
    ShownRows rowsShown_;
    bool lostOnly_ = false;  // "Show Only Lost Files" is on
    std::function<void(QDialog&)> showPreview_;
    ScanSource source_;
    ScanFunction scanOverride_;  // a test's scanner, used for the first scan only
    SplitterShares shares_ = defaultSplitterShares();
    std::function<QString()> chooseFolder_;
    std::string scanError_;
    QString shownStatus_;
    QString shownPosition_;
    std::uint64_t sizesFixedShown_ = 0;  // ScanSnapshot::sizesFixed as last shown
    QTimer scanTimer_;
    // Last, so that it goes first: its destruction stops and joins the worker, which writes into the
    // catalog above.
    std::unique_ptr<ScanJob> job_;
};

}  // namespace ostrum::app
