// SPDX-License-Identifier: GPL-3.0-or-later
// Saving from the recovery window: a user's session from scan to saved files compared byte for byte,
// the menu entries that save, the refusal during a scan, the progress shown, the folders' dates and the
// account given at the end.
#include <sys/stat.h>

#include <QDirIterator>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <fstream>
#include <map>

#include "app/catalog_models.h"
#include "app/catalog_views.h"
#include "app/dialog_units.h"
#include "app/resources/program_message.h"
#include "app/save_progress_dialog.h"
#include "app_fixture.h"
#include "cli_golden.h"

namespace ostrum::app::testing {
namespace {

QPoint boxOf(const QAbstractItemView& view, const QModelIndex& index) {
    return StateImageDelegate::stateImageRect(view.visualRect(index)).center();
}

std::vector<std::uint8_t> BytesOf(const mw::FileData& data) {
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&data)) return *bytes;
    const auto& generated = std::get<mw::GeneratedData>(data);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(generated.size));
    mw::FillGenerated(generated.seed, 0, out);
    return out;
}

TEST(Saving, SavesExactlyTheTickedFilesByteForByte) {
    TestFolder folder;
    const mw::MediaDescription media = windowMedia();
    RecoveryWindow window(imageSource(folder.writeImage(media)));
    std::filesystem::create_directory(folder.path("saved"));
    window.setFolderChooser([&] { return folder.qpath("saved"); });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(waitForScanEnd(window));

    // Untick the Weekly set in the tree, then tick X.DAT of its DATA folder back in the folder list.
    const QModelIndex weekly = window.treeModel()->index(1, 0, window.treeModel()->index(0, 0));
    QTest::mouseClick(window.tree()->viewport(), Qt::LeftButton, {}, boxOf(*window.tree(), weekly));
    QTest::mouseDClick(window.folderList()->viewport(), Qt::LeftButton, {},
                       window.folderList()->visualRect(window.folderModel()->index(1, 1)).center());  // DATA
    ASSERT_EQ(window.folderModel()->index(1, 0).data().toString(), QStringLiteral("X.DAT"));
    QTest::mouseClick(window.folderList()->viewport(), Qt::LeftButton, {},
                      boxOf(*window.folderList(), window.folderModel()->index(1, 0)));

    MessageAnswerer answers;
    QTest::mouseClick(window.button(kNextButton), Qt::LeftButton);
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(
        answers.texts().front(),
        QStringLiteral("All 5 files were saved in %1.").arg(app::plainMessageText(folder.qpath("saved"))));

    std::map<std::string, std::vector<std::uint8_t>> expected;
    const auto& daily = media.sets[0].entries;
    const std::string set1 = "BACKUP SET 1(_Daily)/";
    expected[set1 + "README.TXT"] = BytesOf(std::get<mw::FileEntry>(daily[1]).data);
    expected[set1 + "DOCS/A.TXT"] = BytesOf(std::get<mw::FileEntry>(daily[3]).data);
    expected[set1 + "DOCS/R&D.TXT"] = BytesOf(std::get<mw::FileEntry>(daily[4]).data);
    expected[set1 + "DOCS/LETTERS/C.TXT"] = BytesOf(std::get<mw::FileEntry>(daily[6]).data);
    expected["BACKUP SET 2(_Weekly)/DATA/X.DAT"] =
        BytesOf(std::get<mw::FileEntry>(media.sets[1].entries[1]).data);
    EXPECT_EQ(filesBelow(folder.path("saved")), expected);
}

TEST(Saving, ANameTakenInTheFolderIsAskedAboutAndTheAnswerCanHoldForTheRest) {
    TestFolder folder;
    RecoveryWindow window(imageSource(folder.writeImage(windowMedia())));
    const auto saved = folder.path("saved");
    const std::string set1 = "BACKUP SET 1(_Daily)/";
    const std::vector<std::string> taken{set1 + "README.TXT", set1 + "DOCS/A.TXT", set1 + "DOCS/R&D.TXT",
                                         "BACKUP SET 2(_Weekly)/DATA/X.DAT"};
    for (const std::string& name : taken) {
        std::filesystem::create_directories((saved / name).parent_path());
        std::ofstream(saved / name) << "old";
    }
    window.setFolderChooser([&] { return folder.qpath("saved"); });
    ASSERT_TRUE(waitForScanEnd(window));

    // README.TXT: Skip, this once. A.TXT: the question closed, which keeps both. R&D.TXT: Replace, for the
    // rest too: X.DAT is replaced without a question.
    MessageAnswerer answers;
    answers.queueAnswers({{takenNameAnswer(TakenNameButton::Skip), false},
                          {MessageAnswerer::kCloseBox, false},
                          {takenNameAnswer(TakenNameButton::Replace), true}});
    window.saveCheckedFiles();
    ASSERT_EQ(answers.shown().size(), 4u);  // three questions and the account
    EXPECT_EQ(answers.texts()[0],
              QStringLiteral("A file named \"README.TXT\" is already in %1/BACKUP SET 1(_Daily).\n"
                             "Replace it with the one from the medium, keep both (the one from "
                             "the medium gets a free name), or skip it?")
                  .arg(app::plainMessageText(folder.qpath("saved"))));
    EXPECT_EQ(answers.shown()[0].buttons,
              (std::vector<ui::MessageAnswer>{takenNameAnswer(TakenNameButton::KeepBoth),
                                              takenNameAnswer(TakenNameButton::Replace),
                                              takenNameAnswer(TakenNameButton::Skip)}));
    EXPECT_TRUE(answers.texts()[1].contains(QStringLiteral("\"A.TXT\"")));
    EXPECT_TRUE(answers.texts()[2].contains(QStringLiteral("\"R&amp;D.TXT\"")));
    EXPECT_EQ(
        answers.texts()[3],
        QStringLiteral("5 of 6 files were saved in %1. 1 of them got a new name, as a file of that name "
                       "was there already. The other 1 was skipped, as you chose.")
            .arg(app::plainMessageText(folder.qpath("saved"))));

    const auto files = filesBelow(saved);
    EXPECT_EQ(files.size(), 7u);
    EXPECT_EQ(files.at(set1 + "README.TXT"), mw::BytesOf("old"));
    EXPECT_EQ(files.at(set1 + "DOCS/A.TXT"), mw::BytesOf("old"));
    EXPECT_EQ(files.at(set1 + "DOCS/A (1).TXT"), mw::BytesOf("alpha\n"));
    EXPECT_EQ(files.at(set1 + "DOCS/R&D.TXT"), mw::BytesOf("research & development\n"));
    EXPECT_EQ(files.at("BACKUP SET 2(_Weekly)/DATA/X.DAT").size(), 3000u);
}

TEST(Saving, BothMenusSaveTheWholeSelectionAndAScanRefusesThem) {
    TestFolder folder;
    const ScanSource source = imageSource(folder.writeImage(windowMedia()));
    HeldScan held(scanOf(source));
    RecoveryWindow window(source, nullptr, held.function());
    int chooserCalls = 0;
    window.setFolderChooser([&] {
        ++chooserCalls;
        return QString();  // the user closes the folder dialog
    });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.foundModel()->rowCount() == 6; }));

    MessageAnswerer answers;
    MenuPicker picker;
    const QModelIndex top = window.treeModel()->index(0, 0);
    QTest::mouseClick(window.tree()->viewport(), Qt::RightButton, {},
                      window.tree()->visualRect(top).center());
    ASSERT_EQ(picker.menus().size(), 1u);
    EXPECT_EQ(picker.menus().front(), (QStringList{"Save Files", "-", "Scan Again Deeply"}));
    EXPECT_EQ(answers.texts(), QStringList{QStringLiteral("Please stop search process , then select files")});
    EXPECT_EQ(chooserCalls, 0);
    EXPECT_FALSE(window.tree()->currentIndex().isValid());  // the menu does not select the node

    held.release();
    ASSERT_TRUE(waitForScanEnd(window));
    QTest::mouseClick(window.tree()->viewport(), Qt::RightButton, {},
                      window.tree()->visualRect(top).center());
    EXPECT_EQ(chooserCalls, 1);
    window.tree()->setCurrentIndex(top);
    QTest::mouseClick(window.folderList()->viewport(), Qt::RightButton, {},
                      window.folderList()->visualRect(window.folderModel()->index(0, 0)).center());
    ASSERT_EQ(picker.menus().size(), 3u);
    EXPECT_EQ(picker.menus().back(), (QStringList{"Save File", "-"}));
    EXPECT_EQ(chooserCalls, 2);
}

TEST(Saving, TheAccountListsEveryFileNotSavedWholeAsPlainText) {
    save::SaveReport report;
    auto add = [&](std::string path, save::SaveOutcome outcome, std::string reason = {},
                   std::uint64_t written = 0) {
        save::FileResult file;
        file.catalogPath = std::move(path);
        file.outcome = outcome;
        file.reason = std::move(reason);
        file.bytesWritten = written;
        report.files.push_back(file);
    };
    using save::SaveOutcome;
    add("TAPE MEDIA\\S\\A.TXT", SaveOutcome::Saved);
    add("TAPE MEDIA\\S\\R&D <1>.TXT", SaveOutcome::Failed, "cannot create 'R&D <1>.TXT': <denied>");
    add("TAPE MEDIA\\S\\CUT.BIN", SaveOutcome::Truncated, {}, 10);
    add("TAPE MEDIA\\S\\LATER1", SaveOutcome::Cancelled);
    add("TAPE MEDIA\\S\\LATER2", SaveOutcome::Cancelled);
    report.totals.saved = 1;
    report.cancelled = true;
    const SaveAccount account = saveAccount(report, QStringLiteral("/tmp/a&b"));
    EXPECT_EQ(account.text,
              QStringLiteral("1 of 5 files were saved whole in /tmp/a&amp;b; the details say why the other 4 "
                             "were not. The save was cancelled."));
    EXPECT_EQ(account.details,
              QStringLiteral("TAPE MEDIA\\S\\R&amp;D &lt;1&gt;.TXT: cannot create 'R&amp;D &lt;1&gt;.TXT': "
                             "&lt;denied&gt;\nTAPE MEDIA\\S\\CUT.BIN: truncated\n"
                             "2 files not reached before the save was cancelled"));
    EXPECT_EQ(account.style, (ui::MessageStyle{ui::MessageButtons::Ok, ui::MessageIcon::Warning}));

    // Many failures: every one is listed, as the details area scrolls.
    save::SaveReport many;
    many.files.resize(45);
    for (auto& file : many.files) file.outcome = SaveOutcome::Failed;
    const QStringList lines = saveAccount(many, QStringLiteral("/d")).details.split(u'\n');
    EXPECT_EQ(lines.size(), 45);
    EXPECT_EQ(lines.back(), QStringLiteral(": failed"));

    save::SaveReport whole;
    whole.files.resize(3);
    for (auto& file : whole.files) file.outcome = SaveOutcome::Saved;
    whole.files[2].outcome = SaveOutcome::SavedRenamed;
    whole.totals.renamed = 1;
    const SaveAccount brief = saveAccount(whole, QStringLiteral("/d"));
    EXPECT_EQ(brief.text, QStringLiteral("All 3 files were saved in /d. 1 of them got a new name, as a file "
                                         "of that name was there already."));
    EXPECT_TRUE(brief.details.isEmpty());
    EXPECT_EQ(brief.style, app::kMessageInformation);

    // A file kept whose data do not give the medium's checksum is not saved whole.
    whole.totals.saved = 2;
    whole.files[1].checksum = save::ChecksumCheck::Mismatch;
    whole.files[1].catalogPath = "TAPE MEDIA\\S\\B.DAT";
    whole.files[1].reason =
        "its CSUM stream records 0x00000001, the data read give 0x00000000; kept as written";
    const SaveAccount mismatch = saveAccount(whole, QStringLiteral("/d"));
    EXPECT_EQ(
        mismatch.text,
        QStringLiteral("2 of 3 files were saved whole in /d; the details say why the other 1 were not."));
    EXPECT_EQ(mismatch.details,
              QStringLiteral("TAPE MEDIA\\S\\B.DAT: its CSUM stream records 0x00000001, the "
                             "data read give 0x00000000; kept as written"));
}

TEST(Saving, ProgressDialogFollowsItsTemplateAndCancelWaitsForTheSaveToStop) {
    SaveProgressDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Saving files..."));
    EXPECT_EQ(dialog.size(), QSize(dialogUnitsAcross(329), dialogUnitsDown(163)));
    EXPECT_EQ(dialog.cancelButton()->geometry(), dialogRect(137, 142, 50, 14));
    EXPECT_EQ(dialog.progressBar()->geometry(), dialogRect(31, 111, 276, 7));
    dialog.setProgress(250, 1000);
    EXPECT_EQ(dialog.progressBar()->value(), SaveProgressDialog::kBarSteps / 4);
    dialog.setCurrentFile(QStringLiteral("<b>not bold</b>"));
    EXPECT_EQ(dialog.currentFileText()->textFormat(), Qt::PlainText);

    dialog.show();
    QSignalSpy cancelled(&dialog, &SaveProgressDialog::cancelled);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(cancelled.count(), 1);
    EXPECT_TRUE(dialog.cancelRequested());
    EXPECT_FALSE(dialog.cancelButton()->isEnabled());
    EXPECT_TRUE(dialog.isVisible());  // it closes when the save has stopped
}

// The bar went by bytes and the text by files: with a large file saved first, the bar stood near its end
// while the text said "11 of 21". Both now show one measure, which neither the large file nor the small ones
// hold still. The save is looked at while it waits for the question about a taken name.
TEST(Saving, TheBarAndTheCountShowOneMeasureInTheMiddleOfASave) {
    TestFolder folder;
    mw::DataSet set{.info = {.name = "Mixed"}};
    set.entries = {mw::DirectoryEntry{.path = {}},
                   mw::FileEntry{.name = "BIG.BIN", .data = mw::GeneratedData{.size = 2 << 20, .seed = 1}}};
    for (int i = 0; i < 20; ++i)
        set.entries.push_back(
            mw::FileEntry{.name = "S" + std::to_string(i) + ".TXT", .data = mw::BytesOf("small")});
    mw::MediaDescription media;
    media.sets = {set};
    RecoveryWindow window(imageSource(folder.writeImage(media)));
    std::filesystem::create_directories(folder.path("saved/BACKUP SET 1(_Mixed)"));
    std::ofstream(folder.path("saved/BACKUP SET 1(_Mixed)/S9.TXT")) << "old";  // the 11th file
    window.setFolderChooser([&] { return folder.qpath("saved"); });
    ASSERT_TRUE(waitForScanEnd(window));

    int bar = -1;
    QString count;
    MessageAnswerer answers;
    answers.queueAnswers({{takenNameAnswer(TakenNameButton::Skip), false}});
    answers.setWatcher([&](ui::MessageBoxDialog&) {
        const auto* dialog = window.findChild<SaveProgressDialog*>();
        if (dialog == nullptr || bar >= 0) return;
        bar = dialog->progressBar()->value();
        count = dialog->countText()->text();
    });
    window.saveCheckedFiles();
    ASSERT_EQ(answers.shown().size(), 2u);
    EXPECT_EQ(count, QStringLiteral("%1% saved, file 11 of 21").arg(bar / 10));
    EXPECT_GT(bar, 1000 * 11 / 21);  // by files alone
    EXPECT_LT(bar, 950);             // by bytes alone it stood at 999
}

// The dialog's own counts used to write numbers as they came ("file 9182 of 200000") where the rest of the
// window groups them ("200,000 of 200,000 files").
TEST(Saving, TheCountsGroupTheirNumbersAsTheRestOfTheWindowDoes) {
    SaveProgressDialog dialog;
    dialog.showProgress({.bytesDone = 0, .bytesTotal = 0, .filesStarted = 9182, .filesTotal = 200000});
    EXPECT_TRUE(dialog.countText()->text().endsWith(QStringLiteral("saved, file 9,182 of 200,000")))
        << dialog.countText()->text().toStdString();
    save::SaveReport report;
    report.files.resize(1234);
    for (auto& file : report.files) file.outcome = save::SaveOutcome::Saved;
    EXPECT_EQ(saveAccount(report, QStringLiteral("/d")).text,
              QStringLiteral("All 1,234 files were saved in /d."));
}

// Files skipped at the user's answer were counted as not saved whole, under a warning.
TEST(Saving, FilesSkippedByChoiceAreCountedAndNoWarning) {
    using save::SaveOutcome;
    save::SaveReport report;
    report.files.resize(3);
    report.files[0].outcome = SaveOutcome::Saved;
    report.files[1].outcome = report.files[2].outcome = SaveOutcome::Skipped;
    const SaveAccount skipped = saveAccount(report, QStringLiteral("/d"));
    EXPECT_EQ(skipped.text,
              QStringLiteral("1 of 3 files were saved in /d. The other 2 were skipped, as you chose."));
    EXPECT_EQ(skipped.style, app::kMessageInformation);
    EXPECT_TRUE(skipped.details.isEmpty());

    // Folders are part of the save: one that could not be dated is no success.
    save::FolderReport folders;
    folders.notDated = {"cannot date 'D'"};
    const SaveAccount undated = saveAccount(report, QStringLiteral("/d"), folders);
    EXPECT_EQ(undated.style, (ui::MessageStyle{ui::MessageButtons::Ok, ui::MessageIcon::Warning}));
    EXPECT_EQ(undated.details, QStringLiteral("Folder date not set: cannot date 'D'"));

    report.files.emplace_back().reason = "gone";
    EXPECT_EQ(saveAccount(report, QStringLiteral("/d")).text,
              QStringLiteral("1 of 4 files were saved whole in /d and 2 skipped, as you chose; the "
                             "details say why the other 1 were not."));
}

// With 200,000 files not saved the box grew past the bottom of the screen and over 1,000 pixels wide; its
// details now scroll, every file listed, in a box within the screen's available area.
TEST(Saving, AnAccountOf200000LinesScrollsWithinTheScreen) {
    save::SaveReport report;
    report.files.resize(200000);
    for (std::size_t i = 0; i < report.files.size(); ++i) {
        report.files[i].catalogPath = "TAPE MEDIA\\BACKUP SET 1(_Daily)\\R&D <" + std::to_string(i) + ">.TXT";
        report.files[i].reason = "cannot create it: No space left on device";
    }
    QRect area, frame;
    int scrolls = 0;
    QString last;
    MessageAnswerer answers;
    answers.setWatcher([&](ui::MessageBoxDialog& box) {
        box.command(ui::MessageAnswer::Details);
        area = box.screen()->availableGeometry();
        frame = box.frameGeometry();
        const QPlainTextEdit* view = box.detailsView();
        if (view == nullptr || !view->isVisible()) return;
        scrolls = view->verticalScrollBar()->maximum();
        last = view->document()->lastBlock().text();
    });
    showSaveAccount(saveAccount(report, QStringLiteral("/d")));
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_TRUE(area.contains(frame)) << frame.width() << "x" << frame.height();
    EXPECT_GT(scrolls, 0);
    EXPECT_EQ(last, QStringLiteral("TAPE MEDIA\\BACKUP SET 1(_Daily)\\R&D <199999>.TXT: cannot create it: No "
                                   "space left on device"));
}

// Folders saved by the window got the time of the save; they now get the dates their DIRB blocks record,
// after their files, the same as extract gives them.
TEST(Saving, FoldersGetTheirDirbDatesAsExtractGivesThem) {
    TestFolder folder;
    const mw::MtfDate root{2000, 6, 7, 8, 9, 10}, docs{2001, 2, 3, 4, 5, 6}, empty{1999, 12, 31, 23, 59, 58};
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "Tree"},
                          .entries = {mw::DirectoryEntry{.path = {}, .mtime = root},
                                      mw::DirectoryEntry{.path = {"DOCS"}, .mtime = docs},
                                      mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")},
                                      mw::DirectoryEntry{.path = {"DOCS", "EMPTY"}, .mtime = empty}}});
    const std::string image = folder.writeImage(media);
    RecoveryWindow window(imageSource(image));
    std::filesystem::create_directory(folder.path("window"));
    window.setFolderChooser([&] { return folder.qpath("window"); });
    ASSERT_TRUE(waitForScanEnd(window));
    MessageAnswerer answers;
    window.saveCheckedFiles();
    ASSERT_EQ(answers.shown().size(), 1u);
    const auto extract = cli::testing::RunCli("extract '" + image + "' '" + folder.path("cli").string() + "'",
                                              folder.path("stderr").string());
    ASSERT_EQ(extract.status, 0) << extract.err;

    auto dates = [](const std::filesystem::path& root) {
        std::map<std::string, long> seconds;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            struct stat info {};
            if (entry.is_directory() && ::stat(entry.path().c_str(), &info) == 0)
                seconds[std::filesystem::relative(entry.path(), root).generic_string()] = info.st_mtime;
        }
        return seconds;
    };
    const auto saved = dates(folder.path("window"));
    EXPECT_EQ(saved, dates(folder.path("cli")));
    EXPECT_EQ(saved.at("BACKUP SET 1(_Tree)/DOCS"), 981173106);        // 2001-02-03 04:05:06 UTC
    EXPECT_EQ(saved.at("BACKUP SET 1(_Tree)/DOCS/EMPTY"), 946684798);  // 1999-12-31 23:59:58 UTC
}

}  // namespace
}  // namespace ostrum::app::testing
