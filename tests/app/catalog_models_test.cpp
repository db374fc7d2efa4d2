// SPDX-License-Identifier: GPL-3.0-or-later
// The window's models and views over a scanned catalog: consistent while a scan feeds them (checked by
// QAbstractItemModelTester), announcing exactly the marks that changed, and every input of the lists
// changing a mark exactly once.
#include "app/catalog_models.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <set>

#include "app/catalog_views.h"
#include "app_fixture.h"

namespace ostrum::app::testing {
namespace {

// Counts what QAbstractItemModelTester reports while it lives.
class ModelTestLog {
  public:
    ModelTestLog() {
        failures_ = 0;
        previous_ = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                if (context.category != nullptr && QByteArray(context.category) == "qt.modeltest" &&
                    type >= QtWarningMsg) {
                    ++failures_;
                    ADD_FAILURE() << text.toStdString();
                }
            });
    }
    ~ModelTestLog() { qInstallMessageHandler(previous_); }
    int failures() const { return failures_; }

  private:
    static inline int failures_ = 0;
    QtMessageHandler previous_;
};

QPoint boxOf(const QAbstractItemView& view, const QModelIndex& index) {
    return StateImageDelegate::stateImageRect(view.visualRect(index)).center();
}

// A user's double-click: a click, then the second press, which Qt reports as a double-click.
void doubleClick(QWidget* port, const QPoint& pos) {
    QTest::mouseClick(port, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(port, Qt::LeftButton, {}, pos);
}

QPoint foundBoxOf(const FoundFilesView& view, int row) {
    // The check indicator of the platform's check box lies at the left of the row's first cell.
    const QRect cell = view.visualRect(view.model()->index(row, 0));
    for (int x = cell.left(); x < cell.left() + 30; ++x) {
        if (view.onBox(view.model()->index(row, 0), QPoint(x, cell.center().y())))
            return {x + 3, cell.center().y()};
    }
    ADD_FAILURE() << "no check box in row " << row;
    return cell.center();
}

// The marks of every node, FileRow and folder-list row, as the models show them.
struct Marks {
    std::vector<int> nodes;
    std::vector<bool> rows;
    std::vector<int> folderRows;
};

Marks marksOf(RecoveryWindow& window) {
    Marks marks;
    for (NodeId node = 0; node < window.catalog().nodeCount(); ++node) {
        marks.nodes.push_back(window.treeModel()->indexOf(node).data(StateImageRole).toInt());
    }
    for (int row = 0; row < window.foundModel()->rowCount(); ++row) {
        marks.rows.push_back(window.foundModel()->index(row, 0).data(Qt::CheckStateRole).toInt() ==
                             Qt::Checked);
    }
    for (int row = 0; row < window.folderModel()->rowCount(); ++row) {
        marks.folderRows.push_back(window.folderModel()->index(row, 0).data(StateImageRole).toInt());
    }
    return marks;
}

template <class T>
std::set<int> differing(const std::vector<T>& before, const std::vector<T>& after) {
    std::set<int> changed;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        if (before[i] != after[i]) changed.insert(static_cast<int>(i));
    }
    return changed;
}

// Records the items that each model says changed.
class Announcements {
  public:
    explicit Announcements(RecoveryWindow& window) {
        auto record = [](std::set<int>& into, auto id) {
            return [&into, id](const QModelIndex& first, const QModelIndex& last) {
                for (int row = first.row(); row <= last.row(); ++row) into.insert(id(first.sibling(row, 0)));
            };
        };
        auto rowOf = [](const QModelIndex& index) { return index.row(); };
        auto nodeOf = [](const QModelIndex& index) { return index.data(NodeIdRole).toInt(); };
        QObject::connect(window.treeModel(), &QAbstractItemModel::dataChanged, record(nodes, nodeOf));
        QObject::connect(window.foundModel(), &QAbstractItemModel::dataChanged, record(rows, rowOf));
        QObject::connect(window.folderModel(), &QAbstractItemModel::dataChanged, record(folderRows, rowOf));
        QObject::connect(window.folderModel(), &QAbstractItemModel::modelReset,
                         [this] { folderReset = true; });
    }
    std::set<int> nodes, rows, folderRows;
    bool folderReset = false;
};

struct ScannedWindow {
    TestFolder folder;
    ModelTestLog log;
    std::unique_ptr<RecoveryWindow> window;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;

    ScannedWindow() {
        window = std::make_unique<RecoveryWindow>(imageSource(folder.writeImage(windowMedia())));
        // Attached before the first batch arrives, so that every insertion is checked.
        for (QAbstractItemModel* model : std::initializer_list<QAbstractItemModel*>{
                 window->treeModel(), window->folderModel(), window->foundModel()}) {
            testers.push_back(std::make_unique<QAbstractItemModelTester>(
                model, QAbstractItemModelTester::FailureReportingMode::Warning));
        }
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        EXPECT_TRUE(waitForScanEnd(*window));
    }
    QModelIndex node(std::initializer_list<int> rows) const {
        QModelIndex index;
        for (int row : rows) index = window->treeModel()->index(row, 0, index);
        return index;
    }
};

TEST(CatalogModels, AnnounceExactlyTheMarksThatChangedAndStayConsistent) {
    ScannedWindow scanned;
    RecoveryWindow& window = *scanned.window;
    const QModelIndex weekly = scanned.node({0, 1});
    auto expectExact = [&](const char* what, const std::function<void()>& input) {
        SCOPED_TRACE(what);
        const Marks before = marksOf(window);
        Announcements said(window);
        input();
        const Marks after = marksOf(window);
        EXPECT_EQ(said.nodes, differing(before.nodes, after.nodes));
        EXPECT_EQ(said.rows, differing(before.rows, after.rows));
        if (!said.folderReset) {
            EXPECT_EQ(said.folderRows, differing(before.folderRows, after.folderRows));
        }
        EXPECT_NE(before.rows, after.rows);
    };
    expectExact("untick a set in the tree", [&] {
        QTest::mouseClick(window.tree()->viewport(), Qt::LeftButton, {}, boxOf(*window.tree(), weekly));
    });
    EXPECT_EQ(scanned.node({0}).data(StateImageRole).toInt(), 3);  // TAPE MEDIA is Partial now
    // The set's folder DATA is shown; open it and tick X.DAT back.
    window.tree()->setCurrentIndex(scanned.node({0, 1, 0}));
    ASSERT_EQ(window.folderModel()->index(1, 0).data().toString(), QStringLiteral("X.DAT"));
    expectExact("tick a file in the folder list", [&] {
        QTest::mouseClick(window.folderList()->viewport(), Qt::LeftButton, {},
                          boxOf(*window.folderList(), window.folderModel()->index(1, 0)));
    });
    expectExact("untick a row of the list of all files", [&] {
        QTest::mouseClick(window.foundFiles()->viewport(), Qt::LeftButton, {},
                          foundBoxOf(*window.foundFiles(), 0));
    });
    EXPECT_EQ(scanned.log.failures(), 0);
}

TEST(CatalogModels, EveryInputChangesAMarkExactlyOnce) {
    ScannedWindow scanned;
    RecoveryWindow& window = *scanned.window;
    QWidget* treePort = window.tree()->viewport();
    const QModelIndex daily = scanned.node({0, 0});
    auto nodeMark = [&] { return daily.data(StateImageRole).toInt(); };

    // Tree: a click on the box toggles; a double-click is two clicks; a click on the label only selects
    // and opens or closes; Space toggles the selected node.
    QTest::mouseClick(treePort, Qt::LeftButton, {}, boxOf(*window.tree(), daily));
    EXPECT_EQ(nodeMark(), 1);
    EXPECT_EQ(window.tree()->currentIndex(), daily);
    doubleClick(treePort, boxOf(*window.tree(), daily));
    EXPECT_EQ(nodeMark(), 1);
    const bool expanded = window.tree()->isExpanded(daily);
    QTest::mouseClick(treePort, Qt::LeftButton, {},
                      window.tree()->visualRect(daily).center() + QPoint(20, 0));
    EXPECT_EQ(nodeMark(), 1);
    EXPECT_NE(window.tree()->isExpanded(daily), expanded);
    QTest::keyClick(window.tree(), Qt::Key_Space);
    EXPECT_EQ(nodeMark(), 2);

    // Folder list of the set: "..", DOCS, README.TXT.
    ASSERT_EQ(window.folderModel()->rowCount(), 3);
    QWidget* listPort = window.folderList()->viewport();
    const QModelIndex up = window.folderModel()->index(0, 0);
    const QModelIndex readme = window.folderModel()->index(2, 0);
    ASSERT_EQ(readme.data().toString(), QStringLiteral("README.TXT"));
    auto rowMark = [&] { return window.folderModel()->index(2, 0).data(StateImageRole).toInt(); };
    QTest::mouseClick(listPort, Qt::LeftButton, {}, boxOf(*window.folderList(), readme));
    EXPECT_EQ(rowMark(), 1);
    EXPECT_EQ(nodeMark(), 3);  // the set follows its rows: Partial
    QTest::mouseClick(listPort, Qt::RightButton, {}, boxOf(*window.folderList(), readme));
    EXPECT_EQ(rowMark(), 2);
    doubleClick(listPort, boxOf(*window.folderList(), readme));
    EXPECT_EQ(rowMark(), 2);
    window.folderList()->setCurrentIndex(readme);
    QTest::keyClick(window.folderList(), Qt::Key_Space);
    EXPECT_EQ(rowMark(), 1);
    QTest::mouseClick(listPort, Qt::LeftButton, {}, boxOf(*window.folderList(), up));
    window.folderList()->setCurrentIndex(up);
    QTest::keyClick(window.folderList(), Qt::Key_Space);
    EXPECT_EQ(window.folderModel()->index(0, 0).data(StateImageRole).toInt(), kUpRowImage);
    EXPECT_EQ(window.folderModel()->rowCount(), 3);

    // The list of all files: click, right click and double-click on the box; a click beside it changes
    // nothing.
    QWidget* foundPort = window.foundFiles()->viewport();
    auto checked = [&] { return window.catalog().row(5).checked(); };
    ASSERT_TRUE(checked());
    const QPoint box = foundBoxOf(*window.foundFiles(), 5);
    QTest::mouseClick(foundPort, Qt::LeftButton, {}, box);
    EXPECT_FALSE(checked());
    QTest::mouseClick(foundPort, Qt::RightButton, {}, box);
    EXPECT_TRUE(checked());
    doubleClick(foundPort, box);
    EXPECT_TRUE(checked());
    QTest::mouseClick(foundPort, Qt::LeftButton, {},
                      window.foundFiles()->visualRect(window.foundModel()->index(5, 1)).center());
    EXPECT_TRUE(checked());
    EXPECT_EQ(scanned.log.failures(), 0);
}

TEST(CatalogModels, FolderAndFoundFilesRowsShowTheirTextsPicturesAndColours) {
    ScannedWindow scanned;
    RecoveryWindow& window = *scanned.window;
    window.tree()->setCurrentIndex(scanned.node({0, 0, 0}));  // DOCS
    FolderListModel& list = *window.folderModel();
    ASSERT_EQ(list.rowCount(), 4);
    auto text = [&](int row, int column) { return list.index(row, column).data().toString(); };
    EXPECT_EQ(QStringList({text(0, 0), text(1, 0), text(2, 0), text(3, 0)}),
              QStringList({"..", "LETTERS", "A.TXT", "R&D.TXT"}));
    EXPECT_EQ(QStringList({text(0, 1), text(1, 1)}), QStringList({"", "Folder"}));
    EXPECT_EQ(text(2, 2), QStringLiteral("6"));
    EXPECT_EQ(text(2, 1), catalogText(window.catalog().row(1).typeName()));
    EXPECT_EQ(list.index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(220, 242, 226));
    EXPECT_EQ(list.index(0, 0).data(StateImageRole).toInt(), kUpRowImage);
    EXPECT_EQ(list.index(1, 0).data(StateImageRole).toInt(), 2);
    EXPECT_FALSE(list.index(2, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(QStringList({list.headerData(0, Qt::Horizontal).toString(),
                           list.headerData(1, Qt::Horizontal).toString(),
                           list.headerData(2, Qt::Horizontal).toString()}),
              QStringList({"Name", "Type", "File Size"}));
    // The name takes the room the type and the size leave, so that the size is always in sight; the
    // list of all files elides its paths in the middle and shows them whole as tooltips.
    for (const QTableView* view : {static_cast<const QTableView*>(window.folderList()),
                                   static_cast<const QTableView*>(window.foundFiles())}) {
        const int columns = view->columnWidth(0) + view->columnWidth(1) + view->columnWidth(2);
        EXPECT_EQ(columns, view->viewport()->width()) << view->objectName().toStdString();
        EXPECT_EQ(view->columnWidth(2), 100);
    }
    EXPECT_EQ(window.foundFiles()->textElideMode(), Qt::ElideMiddle);
    EXPECT_TRUE(window.foundFiles()->isColumnHidden(3) && window.foundFiles()->isColumnHidden(4));
    EXPECT_EQ(window.foundModel()->index(4, 0).data(Qt::ToolTipRole).toString(),
              catalogText(window.catalog().row(4).path().str()));

    const FoundFilesModel& found = *window.foundModel();
    const auto& row = window.catalog().row(4);
    EXPECT_EQ(found.index(4, FoundFilesModel::DataOffsetColumn).data().toString(),
              QString::number(*row.dataOffset()));
    EXPECT_EQ(found.index(4, FoundFilesModel::ChunkIndexColumn).data().toString(),
              QString());  // an image scan
    EXPECT_EQ(found.index(4, 2).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_EQ(found.index(4, 2).data(Qt::BackgroundRole).value<QColor>(), QColor(248, 233, 243));
    EXPECT_EQ(foundFileColours("Progress report", true).text, QColor(0, 255, 0));
    EXPECT_EQ(foundFileColours("Progress report", true).background, QColor(0, 0, 0));
    EXPECT_FALSE(foundFileColours("", false).text.has_value());
    EXPECT_FALSE(foundFileColours("", false).background.has_value());
}

// The style's own elision could leave a path a few pixels wider than its cell, whose edge then cut its
// last character: a text elided to fit is never wider than its room, and a path keeps its end.
TEST(CatalogViews, ATextElidedToFitIsNeverWiderThanItsRoomAndAPathKeepsItsEnd) {
    const QFont font = QApplication::font();
    const QFontMetricsF metrics(font);
    const QString path = QStringLiteral("TAPE MEDIA\\BACKUP SET 2(_Weekly projects)\\with many words\\M.MMM");
    for (int room = 60; room < metrics.horizontalAdvance(path) + 20; ++room) {
        const QString shown = elidedToFit(path, font, Qt::ElideMiddle, room);
        EXPECT_LE(metrics.horizontalAdvance(shown), room) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(QStringLiteral("M"))) << shown.toStdString();
        EXPECT_TRUE(shown.startsWith(QStringLiteral("TA"))) << shown.toStdString();
    }
}

}  // namespace
}  // namespace ostrum::app::testing
