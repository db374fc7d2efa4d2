// Finding files in the recovery window: the filter above the list of all files and the count beside it,
// ticking what it shows, the files the medium's own catalog names but the scan did not find, and the
// preview of a file before it is saved.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <fstream>

#include "app/catalog_models.h"
#include "app/catalog_views.h"
#include "app/preview_dialog.h"
#include "app_fixture.h"
#include "selection/path_patterns.h"
#include "ui/skin/skin_static.h"

namespace ostrum::app::testing {
namespace {

// The catalog rows the list of all files shows, in order.
std::vector<std::size_t> shownRows(const RecoveryWindow& window) {
    std::vector<std::size_t> rows;
    for (int row = 0; row < window.foundModel()->rowCount(); ++row)
        if (auto file = window.foundModel()->catalogRow(row)) rows.push_back(*file);
    return rows;
}

void rightClickFoundRow(RecoveryWindow& window, int row) {
    const QModelIndex index = window.foundModel()->index(row, 1);
    QTest::mouseClick(window.foundFiles()->viewport(), Qt::RightButton, {},
                      window.foundFiles()->visualRect(index).center());
}

TEST(RecoveryFinding, TheFilterShowsWhatItChoosesAndTickAllShownChangesThoseRowsAlone) {
    TestFolder folder;
    RecoveryWindow window(imageSource(folder.writeImage(windowMedia())));
    window.show();
    EXPECT_FALSE(window.filterField()->isEnabled()) << "a catalog that still grows is not filtered";
    ASSERT_TRUE(waitForScanEnd(window));
    EXPECT_TRUE(window.filterField()->isEnabled());
    EXPECT_EQ(window.filterCount()->text(), QStringLiteral("6 of 6 files"));

    // A plain text anywhere in the path, in either case; a pattern as --include reads it.
    const auto& paths = windowMediaPaths();
    for (const QString& text :
         {QStringLiteral("docs\\"), QStringLiteral("*.dat"), QStringLiteral("*LETTERS")}) {
        SCOPED_TRACE(text.toStdString());
        QTest::keyClicks(window.filterField(), text);
        const selection::PathPattern pattern(text.toStdString());
        std::vector<std::size_t> expected;
        for (std::size_t row = 0; row < paths.size(); ++row) {
            std::string folded = selection::FoldedBelowRoot(paths[row]);
            const bool chosen =
                pattern.wildcard() ? pattern.Chooses(folded) : folded.find("docs\\") != std::string::npos;
            if (chosen) expected.push_back(row);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return shownRows(window) == expected; }));
        EXPECT_EQ(window.filterCount()->text(), QStringLiteral("%1 of 6 files").arg(expected.size()));
        window.filterField()->clear();
        ASSERT_TRUE(QTest::qWaitFor([&] { return shownRows(window).size() == 6; }));
    }

    // Untick all, then tick the two files of the second set shown by the filter: the tree follows.
    {
        MenuPicker untick(QStringLiteral("Untick All Shown"));
        rightClickFoundRow(window, 0);
    }
    for (std::size_t row = 0; row < 6; ++row) EXPECT_FALSE(window.catalog().row(row).checked()) << row;
    QTest::keyClicks(window.filterField(), QStringLiteral("weekly"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownRows(window) == std::vector<std::size_t>{4, 5}; }));
    {
        MenuPicker tick(QStringLiteral("Tick All Shown"));
        rightClickFoundRow(window, 0);
        ASSERT_EQ(tick.menus().size(), 1u);
        EXPECT_EQ(tick.menus().front(), (QStringList{"Preview", "-", "Tick All Shown", "Untick All Shown",
                                                     "-", "Scan Again Deeply"}));
    }
    for (std::size_t row = 0; row < 6; ++row) EXPECT_EQ(window.catalog().row(row).checked(), row >= 4) << row;
    const QModelIndex top = window.treeModel()->index(0, 0);
    EXPECT_EQ(window.treeModel()->index(1, 0, top).data(StateImageRole).toInt(), 2);  // Weekly: checked
    EXPECT_EQ(window.treeModel()->index(0, 0, top).data(StateImageRole).toInt(), 1);  // Daily: unchecked
    EXPECT_EQ(top.data(StateImageRole).toInt(), 3);                                   // partial
}

// A medium that ends its set with its own catalog, one of whose FILE blocks damage took: the file is named
// in grey after the rows, with no box; it is never ticked, and the list can show such files alone.
TEST(RecoveryFinding, FilesTheMediumsCatalogNamesButTheScanDidNotFindAreShownAndNeverTicked) {
    TestFolder folder;
    mw::MediaDescription media = windowMedia();
    media.tape.mediaCatalog = true;
    const mw::Manifest manifest = mw::writeImageFile(media, folder.path("m.img"));
    {
        std::fstream medium(folder.path("m.img"), std::ios::in | std::ios::out | std::ios::binary);
        medium.seekp(static_cast<std::streamoff>(manifest.files[1].fileBlockOffset));
        medium.write(std::string(512, '\0').data(), 512);
    }
    RecoveryWindow window(imageSource(folder.path("m.img").string()));
    window.show();
    ASSERT_TRUE(waitForScanEnd(window));
    EXPECT_EQ(window.statusLine()->text(),
              QStringLiteral("Total File Found :5; 1 lost to damage (named by the medium's catalog)"));
    ASSERT_EQ(window.foundModel()->rowCount(), 6);
    const QModelIndex lost = window.foundModel()->index(5, 0);
    EXPECT_EQ(lost.data().toString(), QString::fromStdString(windowMediaPaths()[1]));
    EXPECT_EQ(window.foundModel()->index(5, 1).data().toString(),
              QStringLiteral("lost to damage (named by the medium's catalog)"));
    EXPECT_FALSE(lost.data(Qt::CheckStateRole).isValid());
    EXPECT_FALSE(window.foundModel()->flags(lost).testFlag(Qt::ItemIsEnabled));
    EXPECT_EQ(window.foundModel()->catalogRow(5), std::nullopt);

    MenuPicker only(QStringLiteral("Show Only Lost Files"));
    rightClickFoundRow(window, 0);
    ASSERT_EQ(window.foundModel()->rowCount(), 1);
    EXPECT_EQ(window.filterCount()->text(), QStringLiteral("1 of 1 lost files"));
    // Ticking all shown while only lost files show changes nothing; the save never sees them.
    window.CheckShownFiles(true);
    EXPECT_EQ(selection::CheckedItems(window.catalog()).size(), 5u);
}

// "Preview" shows a file's first bytes from the image, as text when they are text and else in hex.
TEST(RecoveryFinding, PreviewShowsTheFirstBytesAsTextOrHex) {
    TestFolder folder;
    RecoveryWindow window(imageSource(folder.writeImage(windowMedia())));
    std::vector<std::pair<QString, QString>> shown;  // summary, text
    window.setPreviewShower([&](QDialog& dialog) {
        auto& preview = static_cast<PreviewDialog&>(dialog);
        shown.emplace_back(preview.summary()->text(), preview.view()->toPlainText());
    });
    window.show();
    ASSERT_TRUE(waitForScanEnd(window));
    MenuPicker picker(QStringLiteral("Preview"));
    rightClickFoundRow(window, 0);  // README.TXT
    rightClickFoundRow(window, 3);  // C.TXT: 70,000 generated bytes
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], std::make_pair(QStringLiteral("All 14 bytes, as text (UTF-8)"),
                                       QStringLiteral("read me first\n")));
    EXPECT_EQ(shown[1].first, QStringLiteral("The first 65,536 bytes of 70,000, in hex"));
    std::vector<std::uint8_t> generated(16);
    mw::fillGenerated(7, 0, generated);
    EXPECT_TRUE(shown[1].second.startsWith(
        QStringLiteral("00000000  %1").arg(QString::number(generated[0], 16).rightJustified(2, u'0'))));
    EXPECT_EQ(shown[1].second.count(u'\n'), 65536 / 16);
}

}  // namespace
}  // namespace ostrum::app::testing
