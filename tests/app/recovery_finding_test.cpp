// SPDX-License-Identifier: GPL-3.0-or-later
// Finding files in the recovery window: the filter above the list of all files and the count beside it,
// ticking what it shows, the files the medium's own catalog names but the scan did not find, and the
// preview of a file before it is saved.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <fstream>
#include <thread>

#include "app/catalog_models.h"
#include "app/catalog_views.h"
#include "app/preview_dialog.h"
#include "app/tape_preview.h"
#include "selection/path_patterns.h"
#include "ui/skin/skin_static.h"
#include "wizard_fixture.h"

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

// A window that went away while its filter ran used to free the catalog before the filter's worker
// stopped reading it (the worker stops with the window's children, after its members): found by the
// benchmark, and seen by the sanitizers here.
TEST(RecoveryFinding, AWindowThatGoesAwayWhileItsFilterRunsStopsTheFilterFirst) {
    TestFolder folder;
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "Many"}});
    for (int i = 0; i < 20000; ++i)
        media.sets.back().entries.push_back(
            mw::FileEntry{.name = "F" + std::to_string(i) + ".TXT", .data = mw::BytesOf("x")});
    auto window = std::make_unique<RecoveryWindow>(imageSource(folder.writeImage(media)));
    ASSERT_TRUE(waitForScanEnd(*window));
    ASSERT_EQ(window->catalog().rowCount(), 20000u);
    for (const char* text : {"*7*", "1", "*9.txt"}) window->filterFiles(QString::fromLatin1(text));
    window.reset();  // the last filter may still run
}

// A medium that ends its set with its own catalog, one of whose FILE blocks damage took: the file is named
// in grey after the rows, with no box; it is never ticked, and the list can show such files alone.
TEST(RecoveryFinding, FilesTheMediumsCatalogNamesButTheScanDidNotFindAreShownAndNeverTicked) {
    TestFolder folder;
    mw::MediaDescription media = windowMedia();
    media.tape.mediaCatalog = true;
    const mw::Manifest manifest = mw::WriteImageFile(media, folder.path("m.img"));
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
    // Its column shows the type cut: the tip says it whole (there was none).
    EXPECT_TRUE(window.foundModel()
                    ->index(5, 1)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .startsWith(QStringLiteral("Lost to damage: the medium's own catalog names this file")));
    EXPECT_FALSE(lost.data(Qt::CheckStateRole).isValid());
    EXPECT_FALSE(window.foundModel()->flags(lost).testFlag(Qt::ItemIsEnabled));
    EXPECT_EQ(window.foundModel()->catalogRow(5), std::nullopt);

    MenuPicker only(QStringLiteral("Show Only Lost Files"));
    rightClickFoundRow(window, 0);
    ASSERT_EQ(window.foundModel()->rowCount(), 1);
    EXPECT_EQ(window.filterCount()->text(), QStringLiteral("1 of 1 lost files"));
    // Ticking all shown while only lost files show changes nothing; the save never sees them.
    window.checkShownFiles(true);
    EXPECT_EQ(save::CheckedItems(window.catalog()).size(), 5u);
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
    mw::FillGenerated(7, 0, generated);
    EXPECT_TRUE(shown[1].second.startsWith(
        QStringLiteral("00000000  %1").arg(QString::number(generated[0], 16).rightJustified(2, u'0'))));
    EXPECT_EQ(shown[1].second.count(u'\n'), 65536 / 16);
}

// On a tape, "Preview" waits for the end of the scan, which holds the drive, and reads the tape only after
// the user has agreed to its length; the reading runs on a worker behind a dialog whose Cancel stops it.
TEST(RecoveryFinding, PreviewOfAFileOnATapeAsksThenReadsTheTapeBehindAProgressDialog) {
    TestFolder folder;
    writeTape(folder, "daily.tap");
    ScanSource source{.isTape = true, .path = "//./tape0", .tapeDevices = virtualDrivesOnly()};
    std::atomic<std::uint64_t> reads{0}, holdAt{~0ull};
    std::atomic<bool> held{false}, released{false};
    ASSERT_TRUE(source.tapeDevices->AttachVirtual(
        0, {.path = folder.path("daily.tap").string(), .beforeRead = [&](std::uint64_t record) {
                ++reads;
                if (record != holdAt) return;
                held = true;
                // On the worker: the read waits until the test lets it go, for ten seconds at most.
                for (int i = 0; i < 10000 && !released; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }}));
    HeldScan scan(scanOf(source));
    RecoveryWindow window(source, nullptr, scan.function());
    std::vector<std::pair<QString, QString>> shown;  // summary, text
    window.setPreviewShower([&](QDialog& dialog) {
        auto& preview = static_cast<PreviewDialog&>(dialog);
        shown.emplace_back(preview.summary()->text(), preview.view()->toPlainText());
    });
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.foundModel()->rowCount() == 6; }));
    MenuPicker picker(QStringLiteral("Preview"));
    rightClickFoundRow(window, 3);
    EXPECT_TRUE(picker.menus().empty()) << "no menu while the scan holds the drive";
    scan.release();
    ASSERT_TRUE(waitForScanEnd(window));

    // No: nothing is read. Yes: the file's first bytes, read from the tape.
    MessageAnswerer answers(ui::MessageAnswer::No);
    reads = 0;
    rightClickFoundRow(window, 3);  // C.TXT: 70,000 generated bytes
    EXPECT_EQ(reads.load(), 0u);
    EXPECT_TRUE(shown.empty());
    answers.setAnswer(ui::MessageAnswer::Yes);
    rightClickFoundRow(window, 3);
    const QString question = QStringLiteral(
        "Preview reads the tape in //./tape0 from its start to this file: about %1 bytes. It may take a "
        "while. "
        "Read it?");
    const auto offset = static_cast<qulonglong>(window.catalog().row(3).dataOffset().value_or(0));
    const QString grouped = QLocale(QLocale::English).toString(offset);
    EXPECT_EQ(answers.texts(), QStringList({question.arg(grouped), question.arg(grouped)}))
        << answers.texts().join(u'|').toStdString();
    EXPECT_GT(reads.load(), 0u);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, QStringLiteral("The first 65,536 bytes of 70,000, in hex"));
    std::vector<std::uint8_t> generated(1);
    mw::FillGenerated(7, 0, generated);
    EXPECT_TRUE(shown[0].second.startsWith(
        QStringLiteral("00000000  %1").arg(QString::number(generated[0], 16).rightJustified(2, u'0'))));

    // Cancel while a read is under way: the dialog stays until that read has ended, then nothing more is
    // read and nothing is shown.
    holdAt = 1;
    bool stayed = false;
    DialogDriver cancel([&](QDialog& dialog) {
        auto* progress = qobject_cast<TapePreviewProgress*>(&dialog);
        ASSERT_NE(progress, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return held.load(); }));
        QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
        stayed = progress->isVisible();
        released = true;
    });
    reads = 0;
    rightClickFoundRow(window, 5);  // Y.DAT, in the second set
    EXPECT_EQ(cancel.seen, 1);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(reads.load(), 2u) << "the discarded first read and the one held";
    EXPECT_EQ(shown.size(), 1u);
}

}  // namespace
}  // namespace ostrum::app::testing
