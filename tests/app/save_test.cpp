// Saving from the recovery window: a user's session from scan to saved files compared byte for byte,
// the menu entries that save, the refusal during a scan, and the account given at the end.
#include <QDirIterator>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <fstream>
#include <map>

#include "app/catalog_models.h"
#include "app/catalog_views.h"
#include "app/dialog_units.h"
#include "app/save_progress_dialog.h"
#include "app_fixture.h"
#include "ui/msgbox/program_message.h"

namespace ostrum::app::testing {
namespace {

QPoint boxOf(const QAbstractItemView& view, const QModelIndex& index) {
    return StateImageDelegate::stateImageRect(view.visualRect(index)).center();
}

std::vector<std::uint8_t> bytesOf(const mw::FileData& data) {
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&data)) return *bytes;
    const auto& generated = std::get<mw::GeneratedData>(data);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(generated.size));
    mw::fillGenerated(generated.seed, 0, out);
    return out;
}

// Every file below `root`, by its path relative to it, with its bytes.
std::map<std::string, std::vector<std::uint8_t>> filesBelow(const std::filesystem::path& root) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files[std::filesystem::relative(entry.path(), root).generic_string()] = {
            std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    return files;
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
        QStringLiteral("All 5 files were saved in %1.").arg(ui::plainMessageText(folder.qpath("saved"))));

    std::map<std::string, std::vector<std::uint8_t>> expected;
    const auto& daily = media.sets[0].entries;
    const std::string set1 = "BACKUP SET 1(_Daily)/";
    expected[set1 + "README.TXT"] = bytesOf(std::get<mw::FileEntry>(daily[1]).data);
    expected[set1 + "DOCS/A.TXT"] = bytesOf(std::get<mw::FileEntry>(daily[3]).data);
    expected[set1 + "DOCS/R&D.TXT"] = bytesOf(std::get<mw::FileEntry>(daily[4]).data);
    expected[set1 + "DOCS/LETTERS/C.TXT"] = bytesOf(std::get<mw::FileEntry>(daily[6]).data);
    expected["BACKUP SET 2(_Weekly)/DATA/X.DAT"] =
        bytesOf(std::get<mw::FileEntry>(media.sets[1].entries[1]).data);
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
    answers.queueAnswers(
        {{ui::IDCONTINUE, false}, {MessageAnswerer::kCloseBox, false}, {ui::IDTRYAGAIN, true}});
    window.SaveCheckedFiles();
    ASSERT_EQ(answers.shown().size(), 4u);  // three questions and the account
    EXPECT_EQ(answers.texts()[0],
              QStringLiteral("A file named \"README.TXT\" is already in %1/BACKUP SET 1(_Daily).\n"
                             "Replace it with the one from the medium, keep both (the one from "
                             "the medium gets a free name), or skip it?")
                  .arg(ui::plainMessageText(folder.qpath("saved"))));
    EXPECT_EQ(answers.shown()[0].buttons, (std::vector<int>{ui::IDCANCEL, ui::IDTRYAGAIN, ui::IDCONTINUE}));
    EXPECT_TRUE(answers.texts()[1].contains(QStringLiteral("\"A.TXT\"")));
    EXPECT_TRUE(answers.texts()[2].contains(QStringLiteral("\"R&amp;D.TXT\"")));
    EXPECT_TRUE(answers.texts()[3].startsWith(QStringLiteral("5 of 6 files were saved whole")));

    const auto files = filesBelow(saved);
    EXPECT_EQ(files.size(), 7u);
    EXPECT_EQ(files.at(set1 + "README.TXT"), mw::bytesOf("old"));
    EXPECT_EQ(files.at(set1 + "DOCS/A.TXT"), mw::bytesOf("old"));
    EXPECT_EQ(files.at(set1 + "DOCS/A (1).TXT"), mw::bytesOf("alpha\n"));
    EXPECT_EQ(files.at(set1 + "DOCS/R&D.TXT"), mw::bytesOf("research & development\n"));
    EXPECT_EQ(files.at("BACKUP SET 2(_Weekly)/DATA/X.DAT").size(), 3000u);
}

TEST(Saving, BothMenusSaveTheWholeSelectionAndAScanRefusesThem) {
    TestFolder folder;
    const ScanSource source = imageSource(folder.writeImage(windowMedia()));
    HeldScan held(ScanOf(source));
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

    held.Release();
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
    selection::SaveReport report;
    auto add = [&](std::string path, selection::SaveOutcome outcome, std::string reason = {},
                   std::uint64_t written = 0) {
        selection::FileResult file;
        file.catalogPath = std::move(path);
        file.outcome = outcome;
        file.reason = std::move(reason);
        file.bytesWritten = written;
        report.files.push_back(file);
    };
    using selection::SaveOutcome;
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
    EXPECT_EQ(account.style, ui::MB_ICONEXCLAMATION);

    // Many failures: the list stops and counts the rest, so the box stays on the screen.
    selection::SaveReport many;
    many.files.resize(45);
    for (auto& file : many.files) file.outcome = SaveOutcome::Failed;
    const QStringList lines = saveAccount(many, QStringLiteral("/d")).details.split(u'\n');
    EXPECT_EQ(lines.size(), 41);
    EXPECT_EQ(lines.back(), QStringLiteral("... and 5 more files not saved whole"));

    selection::SaveReport whole;
    whole.files.resize(3);
    for (auto& file : whole.files) file.outcome = SaveOutcome::Saved;
    whole.files[2].outcome = SaveOutcome::SavedRenamed;
    whole.totals.renamed = 1;
    const SaveAccount brief = saveAccount(whole, QStringLiteral("/d"));
    EXPECT_EQ(brief.text, QStringLiteral("All 3 files were saved in /d. 1 of them got a new name, as a file "
                                         "of that name was there already."));
    EXPECT_TRUE(brief.details.isEmpty());
    EXPECT_EQ(brief.style, ui::kMessageInformation);

    // A file kept whose data do not give the medium's checksum is not saved whole.
    whole.totals.saved = 2;
    whole.files[1].checksum = selection::ChecksumCheck::Mismatch;
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

}  // namespace
}  // namespace ostrum::app::testing
