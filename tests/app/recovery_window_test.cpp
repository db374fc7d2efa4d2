// SPDX-License-Identifier: GPL-3.0-or-later
// The recovery window driven as a user drives it: a real scan of media written by our MTF writer, the
// scanning state held open by the test, the messages of its failure table, its keys and splitter bars.
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <fstream>

#include "app/catalog_models.h"
#include "app/catalog_views.h"
#include "app/dialog_units.h"
#include "app/splitter_bar.h"
#include "app_fixture.h"
#include "damage.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_static.h"

namespace ostrum::app::testing {
namespace {

const QString kRefusal = QStringLiteral("Please stop search process , then select files");

QPoint boxOf(const QAbstractItemView& view, const QModelIndex& index) {
    return StateImageDelegate::stateImageRect(view.visualRect(index)).center();
}

int mark(const QModelIndex& index) {
    return index.data(StateImageRole).toInt();
}

TEST(RecoveryWindow, ScanEndsWithEverythingTickedTheTreeClosedAndBackAndNextOffered) {
    TestFolder folder;
    RecoveryWindow window(imageSource(folder.writeImage(windowMedia())));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Brivane Ostrum TAPE MEDIA (Windows)"));
    EXPECT_EQ(window.size(), QSize(783, 504));
    EXPECT_EQ(window.tree()->geometry(), dialogRect(9, 56, 161, 209));
    EXPECT_EQ(window.button(kNextButton)->geometry(), QRect(729, 466, 42, 35));
    EXPECT_TRUE(window.isScanRunning());
    EXPECT_EQ(window.statusLine()->text(), QStringLiteral("Rewing media , please wait..."));
    EXPECT_TRUE(window.button(kBackButton)->isHidden());
    EXPECT_TRUE(window.button(kNextButton)->isHidden());

    ASSERT_TRUE(waitForScanEnd(window));
    EXPECT_TRUE(window.button(kStopButton)->isHidden());
    EXPECT_TRUE(window.positionLine()->isHidden());
    EXPECT_TRUE(window.progressBar()->isHidden());
    EXPECT_EQ(window.statusLine()->text(), QStringLiteral("Total File Found :6"));
    EXPECT_TRUE(window.scanError().empty());

    const auto& paths = windowMediaPaths();
    ASSERT_EQ(window.foundModel()->rowCount(), static_cast<int>(paths.size()));
    for (std::size_t row = 0; row < paths.size(); ++row) {
        EXPECT_EQ(window.catalog().row(row).path(), paths[row]);
        EXPECT_TRUE(window.catalog().row(row).checked()) << row;
    }
    const QModelIndex top = window.treeModel()->index(0, 0);
    EXPECT_EQ(top.data().toString(), QStringLiteral("TAPE MEDIA"));
    EXPECT_EQ(window.treeModel()->rowCount(), 1);
    EXPECT_TRUE(window.tree()->isExpanded(top));
    ASSERT_EQ(window.treeModel()->rowCount(top), 2);
    for (int set = 0; set < 2; ++set)
        EXPECT_FALSE(window.tree()->isExpanded(window.treeModel()->index(set, 0, top)));
    for (NodeId node = 0; node < window.catalog().nodeCount(); ++node) {
        EXPECT_EQ(mark(window.treeModel()->indexOf(node)), 2) << node;
    }
    EXPECT_EQ(window.folderModel()->rowCount(), 0);  // nothing shown until a node is chosen
}

TEST(RecoveryWindow, DuringAScanMarksBackAndTheCloseBoxAreRefusedAndStopAsksFirst) {
    TestFolder folder;
    const ScanSource source = imageSource(folder.writeImage(windowMedia()));
    HeldScan held(scanOf(source));
    MessageAnswerer answers;
    RecoveryWindow window(source, nullptr, held.function());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.foundModel()->rowCount() == 6; }));
    ASSERT_TRUE(window.isScanRunning());

    // The tree grows expanded; a click on a box says why not and opens or closes the node instead.
    const QModelIndex top = window.treeModel()->index(0, 0);
    const QModelIndex daily = window.treeModel()->index(0, 0, top);
    EXPECT_TRUE(window.tree()->isExpanded(daily));
    QTest::mouseClick(window.tree()->viewport(), Qt::LeftButton, {}, boxOf(*window.tree(), daily));
    EXPECT_EQ(answers.texts(), QStringList{kRefusal});
    EXPECT_EQ(answers.shown().back().caption, QStringLiteral("Brivane Ostrum TAPE MEDIA"));
    EXPECT_EQ(answers.shown().back().buttons, std::vector<ui::MessageAnswer>{ui::MessageAnswer::Ok});
    EXPECT_TRUE(answers.shown().back().icon);
    EXPECT_FALSE(window.tree()->isExpanded(daily));
    EXPECT_EQ(mark(daily), 1);

    // Browsing is allowed: a click on the label shows the node; Space on a row is refused.
    QTest::mouseClick(window.tree()->viewport(), Qt::LeftButton, {},
                      window.tree()->visualRect(daily).center() + QPoint(20, 0));
    ASSERT_EQ(window.folderModel()->index(0, 0).data().toString(), QStringLiteral(".."));
    window.folderList()->setFocus();
    window.folderList()->setCurrentIndex(window.folderModel()->index(1, 0));
    QTest::keyClick(window.folderList(), Qt::Key_Space);
    window.folderList()->setCurrentIndex(window.folderModel()->index(0, 0));
    QTest::keyClick(window.folderList(), Qt::Key_Space);  // the ".." row: no message
    EXPECT_EQ(answers.texts(), (QStringList{kRefusal, kRefusal}));
    EXPECT_EQ(mark(window.folderModel()->index(1, 0)), 1);

    answers.clear();
    window.button(kBackButton)->click();
    window.close();
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(answers.texts(), (QStringList{QStringLiteral("Please stop search process "),
                                            QStringLiteral("please stop repairing process")}));
    EXPECT_EQ(answers.shown().back().buttons, std::vector<ui::MessageAnswer>{ui::MessageAnswer::Ok});
    EXPECT_FALSE(answers.shown().back().icon);  // style 0: OK, no icon
    EXPECT_TRUE(answers.shown().front().icon);
    EXPECT_TRUE(window.isVisible());

    // Stop answered No changes nothing; answered Yes ends the scan with what was found, all ticked.
    answers.clear();
    answers.setAnswer(ui::MessageAnswer::No);
    QTest::mouseClick(window.button(kStopButton), Qt::LeftButton);
    EXPECT_EQ(answers.texts(), QStringList{QStringLiteral("Do you want to stop repairing process?")});
    EXPECT_EQ(answers.shown().back().buttons,
              (std::vector<ui::MessageAnswer>{ui::MessageAnswer::Yes, ui::MessageAnswer::No}));
    EXPECT_FALSE(window.scanStopRequested());
    EXPECT_TRUE(window.isScanRunning());
    answers.setAnswer(ui::MessageAnswer::Yes);
    QTest::mouseClick(window.button(kStopButton), Qt::LeftButton);
    EXPECT_TRUE(window.scanStopRequested());
    ASSERT_TRUE(waitForScanEnd(window));
    EXPECT_EQ(window.foundModel()->rowCount(), 6);
    for (std::size_t row = 0; row < 6; ++row) EXPECT_TRUE(window.catalog().row(row).checked());
    EXPECT_EQ(mark(daily), 2);
    // A stopped scan used to look like a complete one: the status line says it was stopped.
    EXPECT_TRUE(window.statusLine()->text().startsWith(QStringLiteral("Scan stopped")))
        << window.statusLine()->text().toStdString();
}

TEST(RecoveryWindow, AWindowThatGoesAwayDuringItsScanStopsAndJoinsTheWorker) {
    TestFolder folder;
    const ScanSource source = imageSource(folder.writeImage(windowMedia()));
    HeldScan held(scanOf(source));
    std::atomic<bool> workerEnded{false};
    auto window = std::make_unique<RecoveryWindow>(
        source, nullptr,
        [&, scan = held.function()](catalog::Catalog& catalog, catalog::CatalogSink& sink,
                                    std::atomic<bool>& active, std::atomic<bool>& stop) {
            ScanEnd end = scan(catalog, sink, active, stop);
            workerEnded = true;
            return end;
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->foundModel()->rowCount() == 6; }));
    ASSERT_TRUE(window->isScanRunning());
    window.reset();  // held until stopped: returns only once the worker has ended
    EXPECT_TRUE(workerEnded);
}

// A scan that finds no file used to say "No Data found" whatever the reason: a missing file, an image the
// normal scan could not read on its grid. Now the system's reason is given for a file that cannot be opened,
// and an image without a file on the grid is scanned again deeply, by itself, before the window gives up.
// Such reasons used to come in lower case with the question icon over the empty window: they are errors,
// said as sentences once the window has gone.
TEST(RecoveryWindow, AScanThatFindsNoFileTriesTheDeepScanThenSaysWhyAndEndsTheWindow) {
    TestFolder folder;
    mw::MediaDescription foldersOnly;
    foldersOnly.sets = {
        mw::DataSet{.info = {.name = "Empty"},
                    .entries = {mw::DirectoryEntry{.path = {"A"}}, mw::DirectoryEntry{.path = {"B"}}}}};
    std::ofstream(folder.path("x.txt")) << "hello world\n";
    { std::ofstream(folder.path("zeros.img")); }
    std::filesystem::resize_file(folder.path("zeros.img"), 256 * 1024);  // no tag anywhere
    const struct {
        std::string path;
        QString message;
        bool deep;
    } cases[] = {
        {folder.writeImage(foldersOnly, "folders.img"), QStringLiteral("No Data found"), true},
        {folder.path("x.txt").string(),
         QStringLiteral("No MTF data found in %1 (12 bytes examined)").arg(folder.path("x.txt").c_str()),
         true},
        {folder.path("zeros.img").string(),
         QStringLiteral("No MTF data found in %1 (262144 bytes examined)")
             .arg(folder.path("zeros.img").c_str()),
         true},
        {folder.path("missing.img").string(),
         QStringLiteral("Cannot open '%1': No such file or directory")
             .arg(folder.path("missing.img").c_str()),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        MessageAnswerer answers;
        RecoveryWindow window(imageSource(c.path));
        window.show();
        bool shownAlone = false;
        answers.setWatcher([&](ui::MessageBoxDialog&) { shownAlone = !window.isVisible(); });
        QSignalSpy finished(&window, &QDialog::finished);
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1 && !answers.shown().empty(); }));
        EXPECT_EQ(finished.front().front().toInt(), QDialog::Rejected);
        EXPECT_EQ(answers.texts(), QStringList{c.message});
        const bool error = c.message != QStringLiteral("No Data found");
        EXPECT_EQ(answers.shown().front().iconKind,
                  error ? ui::MessageIcon::Error : ui::MessageIcon::Question);
        EXPECT_TRUE(shownAlone);
        EXPECT_EQ(window.deepScan(), c.deep);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.scanError().empty(), !error);
    }

    // An image shifted by 7 bytes: the normal scan finds nothing on the grid, the deep scan every file.
    const std::string image = folder.writeImage(windowMedia());
    std::ifstream in(image, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::ofstream(folder.path("shifted.img"), std::ios::binary) << std::string(7, 'x') << bytes;
    MessageAnswerer answers;
    RecoveryWindow shifted(imageSource(folder.path("shifted.img").string()));
    ASSERT_TRUE(waitForScanEnd(shifted));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shifted.deepScan() && !shifted.isScanRunning(); }));
    EXPECT_TRUE(answers.texts().isEmpty());
    EXPECT_EQ(shifted.foundModel()->rowCount(), static_cast<int>(windowMediaPaths().size()));
    EXPECT_EQ(shifted.statusLine()->text(), QStringLiteral("Total File Found :6"));
}

// Junk bytes inside an image: the normal scan found the files before them and said nothing of the rest. The
// status line says the block grid was lost, and the button beside it runs the deep scan, which finds them.
// A compressed file's File Size is the size it is saved with, though its frames end chunks after its row.
TEST(RecoveryWindow, ALostBlockGridIsSaidAndTheDeepScanIsOneClickAway) {
    TestFolder folder;
    mw::MediaDescription media;
    media.sets.push_back(
        {.info = {.name = "Packed", .compressed = true},
         .entries = {mw::FileEntry{.name = "BIG.BIN", .data = mw::GeneratedData{300000, 4}}}});
    media.sets.push_back({.info = {.name = "Daily"}});
    for (std::uint64_t i = 0; i < 30; ++i) {
        media.sets.back().entries.push_back(mw::FileEntry{.name = "F" + std::to_string(i) + ".BIN",
                                                          .data = mw::GeneratedData{2000 + 31 * i, i}});
    }
    const mw::Manifest manifest = mw::WriteImageFile(media, folder.path("whole.img"));
    ASSERT_GT(manifest.files[0].declaredLength, 2u * 65536) << "its frames run on past the chunk of its row";
    mw::DamageFile(folder.path("whole.img"), folder.path("ins.img"),
                   mw::Damage::InsertJunk(*manifest.files[16].dataOffset + 50, 7));
    RecoveryWindow window(imageSource(folder.path("ins.img").string()));
    window.show();
    QSignalSpy sizes(window.foundModel(), &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(waitForScanEnd(window));
    EXPECT_EQ(window.foundModel()->rowCount(), 17);
    EXPECT_EQ(window.foundModel()->index(0, FoundFilesModel::SizeColumn).data().toString(),
              QStringLiteral("300000"));
    EXPECT_TRUE(std::any_of(sizes.begin(), sizes.end(), [](const QList<QVariant>& changed) {
        return changed[0].toModelIndex().column() <= FoundFilesModel::SizeColumn &&
               changed[1].toModelIndex().column() >= FoundFilesModel::SizeColumn &&
               changed[0].toModelIndex().row() == 0 &&
               changed[2].value<QList<int>>().contains(Qt::DisplayRole);
    })) << "the size fixed after the row was shown is shown again";
    EXPECT_EQ(window.statusLine()->text(), QStringLiteral("Total File Found :17; block grid lost"));
    EXPECT_TRUE(window.statusLine()->toolTip().startsWith(
        QStringLiteral("The normal scan lost the block grid at 1 place (first at byte ")));
    ASSERT_TRUE(window.deepScanButton()->isVisible());

    QTest::mouseClick(window.deepScanButton(), Qt::LeftButton);
    EXPECT_TRUE(window.deepScan());
    ASSERT_TRUE(waitForScanEnd(window));
    EXPECT_EQ(window.foundModel()->rowCount(), 31);
    EXPECT_FALSE(window.deepScanButton()->isVisible());
    EXPECT_EQ(window.statusLine()->text(), QStringLiteral("Total File Found :31"));
    EXPECT_EQ(window.statusLine()->toolTip(), QString());
}

TEST(RecoveryWindow, EnterOpensTheMarkedRowAndTabGoesThroughTheListsAndButtonsInScreenOrder) {
    TestFolder folder;
    RecoveryWindow window(imageSource(folder.writeImage(windowMedia())));
    int chooserCalls = 0;
    window.setFolderChooser([&] {
        ++chooserCalls;
        return QString();
    });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(waitForScanEnd(window));
    EXPECT_EQ(window.focusWidget(), window.folderList());

    const QModelIndex top = window.treeModel()->index(0, 0);
    window.tree()->setCurrentIndex(top);
    ASSERT_EQ(window.folderModel()->rowCount(), 2);  // the two sets, no ".." row
    window.folderList()->setFocus();
    window.folderList()->setCurrentIndex(window.folderModel()->index(0, 0));
    QTest::keyClick(window.folderList(), Qt::Key_Return);
    EXPECT_EQ(window.tree()->currentIndex(), window.treeModel()->index(0, 0, top));
    EXPECT_EQ(window.folderModel()->index(0, 0).data().toString(), QStringLiteral(".."));
    EXPECT_EQ(window.folderList()->currentIndex().row(), 0);
    QTest::keyClick(window.folderList(), Qt::Key_Enter);  // ".." goes back up
    EXPECT_EQ(window.tree()->currentIndex(), top);
    EXPECT_EQ(window.folderModel()->rowCount(), 2);

    // Tab used to go between the tree and the folder list only: the list of all files and the buttons
    // could not be reached from the keyboard. Hidden Stop is passed over. Each control it reaches shows
    // that it has the focus (none did): it looks otherwise than without it.
    const QImage treeUnfocused = window.tree()->grab().toImage();
    QTest::keyClick(window.folderList(), Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(window.focusWidget(), window.tree());
    QTest::keyClick(window.tree(), Qt::Key_Return);  // never a default button: Next does not save
    const std::vector<QWidget*> order{window.folderList(),        window.filterField(),
                                      window.foundFiles(),        window.button(kBackButton),
                                      window.button(kNextButton), window.tree()};
    std::vector<QImage> focused;
    for (QWidget* next : order) {
        QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(window.focusWidget(), next) << next->objectName().toStdString();
        focused.push_back(next->grab().toImage());
    }
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        EXPECT_NE(order[i]->grab().toImage(), focused[i]) << order[i]->objectName().toStdString();
    EXPECT_NE(treeUnfocused, focused.back());
    EXPECT_EQ(chooserCalls, 0);
}

TEST(RecoveryWindow, SplitterBarsMoveTheirNeighboursWithinLimitsFixedAroundTheirFirstPlaces) {
    TestFolder folder;
    RecoveryWindow window(imageSource(folder.writeImage(windowMedia())));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    SplitterBar* vertical = window.splitter(kVerticalBar);
    SplitterBar* horizontal = window.splitter(kHorizontalBar);
    ASSERT_TRUE(vertical->isVertical());
    ASSERT_FALSE(horizontal->isVertical());
    EXPECT_EQ(vertical->width(), SplitterBar::kThickness);
    EXPECT_EQ(horizontal->height(), SplitterBar::kThickness);
    const int start = vertical->centre();
    EXPECT_EQ(vertical->lowerLimit(), start - 310);
    EXPECT_EQ(vertical->upperLimit(), start + 300);

    // Drags the bar to `target` along its axis, in the window's coordinates.
    auto drag = [](SplitterBar* bar, int target) {
        const QPoint inside(2, 2);
        QTest::mousePress(bar, Qt::LeftButton, {}, inside);
        const QPoint to = bar->isVertical() ? QPoint(target - bar->x(), 2) : QPoint(2, target - bar->y());
        QTest::mouseMove(bar, to);
        EXPECT_TRUE(bar->guide() != nullptr && bar->guide()->isVisible());
        QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
        EXPECT_FALSE(bar->guide()->isVisible());
    };
    const QRect tree = window.tree()->geometry();
    const QRect folderList = window.folderList()->geometry();
    const QRect found = window.foundFiles()->geometry();
    const QRect bar = horizontal->geometry();
    drag(vertical, start + 400);  // held at the upper limit
    EXPECT_EQ(vertical->centre(), start + 300);
    EXPECT_EQ(window.tree()->geometry(), tree.adjusted(0, 0, 300, 0));
    EXPECT_EQ(window.folderList()->geometry(), folderList.adjusted(300, 0, 0, 0));
    EXPECT_EQ(window.foundFiles()->geometry(), found.adjusted(300, 0, 0, 0));
    EXPECT_EQ(horizontal->geometry(), bar.adjusted(300, 0, 0, 0));
    drag(vertical, start + 350);  // the limits stayed where they were
    EXPECT_EQ(vertical->centre(), start + 300);
    drag(vertical, start - 1000);
    EXPECT_EQ(vertical->centre(), start - 310);
    EXPECT_EQ(window.tree()->geometry().left(), tree.left());
    EXPECT_EQ(window.tree()->width(), 0);  // 310 pixels left of its start: never narrower than nothing

    const int folderBottom = window.folderList()->geometry().bottom();
    const int middle = horizontal->centre();
    drag(horizontal, 20);
    EXPECT_EQ(horizontal->centre(), 150);
    EXPECT_EQ(window.folderList()->geometry().bottom(), folderBottom + 150 - middle);
    EXPECT_EQ(window.foundFiles()->geometry().top(), found.top() + 150 - middle);
    drag(horizontal, 900);
    EXPECT_EQ(horizontal->centre(), 380);
}

// The window used to be fixed at its template's size: the list of all files showed six rows. It grows: the
// panes take the room, the bars keep their shares and their limits keep their distance from the edges, the
// buttons stay at the bottom right, and the next window opens at the size this one had.
TEST(RecoveryWindow, GrowsWithThePanesTakingTheRoomAndOpensNextTimeAtItsLastSize) {
    TestFolder folder;
    const std::string image = folder.writeImage(windowMedia());
    {
        RecoveryWindow window(imageSource(image));
        window.show();
        ASSERT_TRUE(waitForScanEnd(window));
        EXPECT_EQ(window.size(), kRecoveryDefaultSize);
        EXPECT_EQ(window.minimumSize(), kRecoveryDefaultSize);
        const int share = window.splitter(kVerticalBar)->centre() - window.tree()->x();
        const QRect found = window.foundFiles()->geometry();
        window.resize(1283, 904);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.width() == 1283; }));
        EXPECT_EQ(window.foundFiles()->geometry().right(), found.right() + 500);
        EXPECT_EQ(window.foundFiles()->geometry().bottom(), found.bottom() + 400);
        EXPECT_GT(window.foundFiles()->height(), 2 * found.height());
        EXPECT_GT(window.tree()->height(), 700);
        EXPECT_EQ(window.button(kNextButton)->geometry(), QRect(729 + 500, 466 + 400, 42, 35));
        const int grown = window.splitter(kVerticalBar)->centre() - window.tree()->x();
        EXPECT_NEAR(static_cast<double>(grown) / share, (1283.0 - 26) / (783 - 26), 0.01);
        EXPECT_EQ(window.splitter(kVerticalBar)->upperLimit(), 559 + 500);
        EXPECT_EQ(window.splitter(kHorizontalBar)->upperLimit(), 380 + 400);
        EXPECT_EQ(window.splitter(kHorizontalBar)->lowerLimit(), 150);
        window.resize(790, 700);  // within the screen, which bounds the size a window opens at
        window.done(QDialog::Accepted);
    }
    RecoveryWindow again(imageSource(image));
    EXPECT_EQ(again.size(), QSize(790, 700));
    ASSERT_TRUE(waitForScanEnd(again));

    // "Scan Again Deeply" scans the image afresh with the deep scan, which finds the same files here.
    again.show();
    MenuPicker picker(QStringLiteral("Scan Again Deeply"));
    QTest::mouseClick(again.tree()->viewport(), Qt::RightButton, {},
                      again.tree()->visualRect(again.treeModel()->index(0, 0)).center());
    ASSERT_EQ(picker.menus().size(), 1u);
    EXPECT_TRUE(again.deepScan());
    ASSERT_TRUE(waitForScanEnd(again));
    EXPECT_EQ(again.foundModel()->rowCount(), 6);
    EXPECT_EQ(again.treeModel()->rowCount(), 1);
    again.done(QDialog::Rejected);
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Brivane", "Ostrum TAPE")
        .clear();  // for later tests
}

}  // namespace
}  // namespace ostrum::app::testing
