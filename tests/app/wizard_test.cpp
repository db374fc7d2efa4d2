// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard driven as a user drives it, over virtual tapes: its pages and their transitions, the copy of
// a tape into an image (compared byte for byte with the tape, then scanned in the recovery window), Stop
// and Exit during a copy, a copy that cannot be written, Load Image, the direct road, help and the exit
// question.
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <fstream>

#include "app/about_box.h"
#include "app/catalog_models.h"
#include "app/device_selection_dialog.h"
#include "app/dialog_units.h"
#include "app/image_target.h"
#include "app/resources/program_message.h"
#include "app/wizard_window.h"
#include "support/same_bytes.h"
#include "ui/skin/hover_button.h"
#include "ui/skin/skin_static.h"
#include "ui/skin/transparent_static.h"
#include "wizard_fixture.h"

namespace ostrum::app::testing {
namespace {

constexpr std::int64_t kMsdosMagic = 0x4d44;

// Picks `row` in every device selection and presses OK.
DialogDriver choosingDrive(int row) {
    return DialogDriver([row](QDialog& dialog) {
        if (auto* devices = qobject_cast<DeviceSelectionDialog*>(&dialog)) {
            devices->list()->selectRow(row);
            devices->okButton()->click();
        }
    });
}

// A wizard over the virtual drives of `fields`, with a scripted file asker, recorded links and a file
// system of unknown type.
struct WizardUnderTest {
    explicit WizardUnderTest(WizardFields& fields) : window(fields) {
        window.setFileNameAsker(files);
        window.setLinkOpener(links);
        window.setFileSystemProbe([](const std::string&) { return std::nullopt; });
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void click(WizardControl id) {
        QWidget* button = window.control(id);
        ASSERT_TRUE(button->isVisible()) << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    bool shown(WizardControl id) const { return window.control(id)->isVisible(); }
    QString text(WizardControl id) const { return window.label(id)->text(); }
    RecoveryWindow* waitForRecovery() {
        if (!QTest::qWaitFor([&] { return window.recoveryWindow() != nullptr; }, 10000)) return nullptr;
        return window.recoveryWindow();
    }

    std::shared_ptr<ScriptedFiles> files = std::make_shared<ScriptedFiles>();
    std::shared_ptr<ui::RecordingLinkOpener> links = std::make_shared<ui::RecordingLinkOpener>();
    WizardWindow window;
};

std::vector<int> shownOf(const WizardWindow& window) {
    std::vector<int> ids;
    for (int id : {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014,
                   1015, 1019, 1032, 1036})
        if (window.control(static_cast<WizardControl>(id))->isVisible()) ids.push_back(id);
    return ids;
}
std::vector<int> shownOf(const WizardUnderTest& wizard) {
    return shownOf(wizard.window);
}

// The image of a copy stopped at the held read: the tape's first records, at least the five read before
// the hold, each whole, and not the whole tape.
::testing::AssertionResult wholeRecordsOf(const std::vector<std::uint8_t>& image,
                                          const std::vector<std::uint8_t>& tape) {
    if (image.size() < 5 * 4096 || image.size() >= tape.size() || image.size() % 4096 != 0)
        return ::testing::AssertionFailure() << "the image holds " << image.size() << " bytes";
    if (!std::equal(image.begin(), image.end(), tape.begin()))
        return ::testing::AssertionFailure() << "the image is not the tape's beginning";
    return ::testing::AssertionSuccess();
}

TEST(Wizard, PagesFollowBackNextAndTheRoadButtonsAndEnterEscapeDoNothing) {
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    MessageAnswerer answers;
    WizardUnderTest wizard(fields);
    WizardWindow& window = wizard.window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Brivane Ostrum TAPE MEDIA (Windows)"));
    EXPECT_EQ(window.size(), QSize(729, 406));
    EXPECT_FALSE(window.windowIcon().isNull());

    // Opens on the image page, Back leading to the start page.
    EXPECT_EQ(window.page(), WizardPage::ImageRoad);
    EXPECT_EQ(window.skin().size(), QSize(730, 409));
    EXPECT_EQ(shownOf(wizard), (std::vector<int>{1002, 1003, 1004, 1032, 1036}));
    EXPECT_EQ(window.control(kCreateImageButton)->geometry(), QRect(132, 189, 138, 84));
    EXPECT_EQ(window.control(kWizardBackButton)->geometry(), dialogRect(409, 226, 28, 21));

    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(window.control(kCreateImageButton), Qt::Key_Return);
    QTest::keyClick(&window, Qt::Key_Enter);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(wizard.files->asked.empty());
    EXPECT_TRUE(answers.shown().empty());
    // A picture button that has the focus shows it (none did).
    for (WizardControl id : {kLoadImageButton, kWizardBackButton}) {
        QWidget* button = window.control(id);
        const QImage without = button->grab().toImage();
        button->setFocus(Qt::TabFocusReason);
        EXPECT_NE(button->grab().toImage(), without) << id;
    }

    wizard.click(kWizardBackButton);
    EXPECT_EQ(window.page(), WizardPage::Start);
    EXPECT_EQ(window.skin().size(), QSize(732, 410));
    EXPECT_EQ(shownOf(wizard), (std::vector<int>{1000, 1001, 1032, 1036}));
    wizard.click(kImageRoadButton);
    EXPECT_EQ(window.page(), WizardPage::ImageRoad);
    EXPECT_EQ(window.pageCounter(), 1);

    // Next (never shown) leads to the imaging page with no copy; Back is refused while Stop shows.
    qobject_cast<QPushButton*>(window.control(kWizardNextButton))->click();
    EXPECT_EQ(window.page(), WizardPage::Imaging);
    EXPECT_EQ(window.pageCounter(), 2);
    EXPECT_EQ(shownOf(wizard), (std::vector<int>{1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015,
                                                 1019, 1032, 1036}));
    EXPECT_EQ(wizard.text(kSourceDriveLabel), QStringLiteral("Source Drive"));
    EXPECT_EQ(wizard.text(kProgressValue), QStringLiteral("Static"));
    EXPECT_EQ(wizard.window.label(kProgressLabel)->fontHeight(), 16);
    qobject_cast<QPushButton*>(window.control(kWizardBackButton))->click();
    EXPECT_EQ(answers.texts(), QStringList({"Please stop image creation process "}));
    EXPECT_EQ(window.page(), WizardPage::Imaging);
    answers.setAnswer(ui::MessageAnswer::Yes);
    wizard.click(kWizardStopButton);
    EXPECT_FALSE(wizard.shown(kWizardStopButton));
    EXPECT_EQ(fields.stopImaging.load(), 1u);
    qobject_cast<QPushButton*>(window.control(kWizardBackButton))->click();
    EXPECT_EQ(window.page(), WizardPage::Start);
    EXPECT_EQ(window.pageCounter(), 1);
    EXPECT_EQ(shownOf(wizard), (std::vector<int>{1000, 1001, 1032, 1036}));

    // About, from its button and from the window's menu.
    QStringList aboutTexts;
    DialogDriver about([&](QDialog& dialog) {
        if (auto* box = qobject_cast<AboutBox*>(&dialog)) {
            aboutTexts << box->versionText()->text();
            box->okButton()->click();
        }
    });
    wizard.click(kAboutButton);
    MenuPicker menus;
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(300, 300),
                                window.mapToGlobal(QPoint(300, 300)));
    QApplication::sendEvent(&window, &menuEvent);
    EXPECT_EQ(aboutTexts,
              QStringList({"Brivane Ostrum TAPE Version 4.02", "Brivane Ostrum TAPE Version 4.02"}));
    ASSERT_EQ(menus.menus().size(), 1u);
    EXPECT_EQ(menus.menus().front(), QStringList({"&About Brivane Ostrum TAPE (WINDOWS)"}));

    wizard.click(kHomeButton);
    EXPECT_EQ(wizard.links->opened, QStringList({QString::fromLatin1(kHomePageAddress)}));
}

TEST(Wizard, CreateImageCopiesTheTapeByteForByteThenScansTheImageAndReturnsToTheImagePage) {
    TestFolder folder;
    const std::vector<std::uint8_t> tapeBytes = writeTape(folder, "daily.tap");
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(0, {.path = folder.path("daily.tap").string()}));
    MessageAnswerer answers;
    WizardUnderTest wizard(fields);
    wizard.window.setFileSystemProbe([](const std::string&) { return kMsdosMagic; });  // small: no warning
    wizard.files->answer(folder.qpath("copy"));
    auto drives = choosingDrive(0);
    QSignalSpy opened(&wizard.window, &WizardWindow::recoveryWindowOpened);

    wizard.click(kCreateImageButton);
    ASSERT_EQ(wizard.files->asked.size(), 1u);
    const FileQuestion& asked = wizard.files->asked.front();
    EXPECT_EQ(asked.kind, FileQuestion::Kind::Save);
    EXPECT_EQ(asked.initialName, QStringLiteral("TapeMediaImage"));
    EXPECT_EQ(asked.filter, QStringLiteral("Image Files (*.img)|*.img|AllFiles(*.*)|*.*||"));
    EXPECT_EQ(wizard.text(kSourceDriveValue), QStringLiteral("//./tape0"));
    EXPECT_EQ(wizard.text(kTargetDriveValue), folder.qpath("copy.img"));

    RecoveryWindow* recovery = wizard.waitForRecovery();
    ASSERT_NE(recovery, nullptr);
    EXPECT_EQ(opened.size(), 1);
    EXPECT_FALSE(wizard.window.isVisible());
    EXPECT_EQ(wizard.text(kProgressValue), QStringLiteral("Done"));
    EXPECT_EQ(wizard.text(kTotalSizeValue),
              QString::number(std::filesystem::file_size(folder.path("daily.tap"))));
    const auto capacity = std::filesystem::file_size(folder.path("daily.tap"));
    EXPECT_EQ(wizard.window.imagingProgress()->value(), static_cast<int>(tapeBytes.size() * 100 / capacity));
    EXPECT_FALSE(fields.source.isTape);
    EXPECT_EQ(fields.source.path, folder.path("copy.img").string());
    EXPECT_TRUE(test_support::SameBytes(readFile(folder.path("copy.img")), tapeBytes));

    ASSERT_TRUE(waitForScanEnd(*recovery));
    ASSERT_EQ(recovery->foundModel()->rowCount(), static_cast<int>(windowMediaPaths().size()));
    for (std::size_t row = 0; row < windowMediaPaths().size(); ++row)
        EXPECT_EQ(recovery->catalog().row(row).path(), windowMediaPaths()[row]);
    QTest::mouseClick(recovery->button(kBackButton), Qt::LeftButton);
    QTRY_VERIFY(wizard.window.isVisible());
    EXPECT_EQ(wizard.window.recoveryWindow(), nullptr);
    EXPECT_EQ(wizard.window.page(), WizardPage::ImageRoad);
    EXPECT_EQ(shownOf(wizard), (std::vector<int>{1002, 1003, 1004, 1032, 1036}));
    EXPECT_TRUE(answers.shown().empty());
}

// The copy used to go on while the stop question was open, and a copy that ended meanwhile opened the
// recovery window over the question, which came back after it; a stopped copy read "Done". Now the copy
// holds at its next block while the question is open, Yes stops it there and No lets it go on.
TEST(Wizard, StopHoldsTheCopyWhileAskedNoGoesOnYesEndsItThereAndExitStopsItFirst) {
    TestFolder folder;
    const std::vector<std::uint8_t> tapeBytes = writeTape(folder, "daily.tap", windowMedia(), 4096);
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    HeldTapeRead first(5, fields.stopImaging), second(8, fields.stopImaging);
    std::atomic<std::uint64_t> lastRead{0};
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(
        0, {.path = folder.path("daily.tap").string(), .beforeRead = [&](std::uint64_t record) {
                lastRead = record;
                first.hook()(record);
                second.hook()(record);
            }}));
    MessageAnswerer answers(ui::MessageAnswer::No);
    auto drives = choosingDrive(0);
    {
        WizardUnderTest wizard(fields);
        wizard.files->answer(folder.qpath("stopped.img"));
        wizard.click(kCreateImageButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return first.reached(); }));
        ASSERT_TRUE(wizard.window.isImaging());

        // While the question is open the read under way ends, and the copy waits before the next one.
        std::vector<std::uint64_t> heldAt;
        answers.setWatcher([&](ui::MessageBoxDialog& box) {
            if (!box.body().contains(QStringLiteral("stop repairing"))) return;
            (heldAt.empty() ? first : second).release();
            if (QTest::qWaitFor([&] { return wizard.window.isImagingHeld(); })) heldAt.push_back(lastRead);
        });
        wizard.click(kWizardStopButton);
        EXPECT_TRUE(wizard.shown(kWizardStopButton));
        EXPECT_EQ(fields.stopImaging.load(), 0u);
        ASSERT_TRUE(QTest::qWaitFor([&] { return second.reached(); }));  // No: it went on
        answers.setAnswer(ui::MessageAnswer::Yes);
        wizard.click(kWizardStopButton);
        EXPECT_EQ(heldAt, (std::vector<std::uint64_t>{5, 8}));
        EXPECT_FALSE(wizard.shown(kWizardStopButton));
        RecoveryWindow* recovery = wizard.waitForRecovery();
        ASSERT_NE(recovery, nullptr);
        EXPECT_EQ(wizard.text(kProgressValue), QStringLiteral("Stopped"));
        // Yes stopped it where it was held: after its ninth record.
        const std::vector<std::uint8_t> image = readFile(folder.path("stopped.img"));
        EXPECT_EQ(image.size(), 9u * 4096);
        EXPECT_TRUE(wholeRecordsOf(image, tapeBytes));
        EXPECT_EQ(
            answers.texts(),
            QStringList({"Do you want to stop repairing process?", "Do you want to stop repairing process?",
                         QStringLiteral("The copy was stopped: the image is incomplete. It holds the "
                                        "first 36,864 bytes of the tape:\n%1")
                             .arg(folder.qpath("stopped.img"))}));
        ASSERT_TRUE(waitForScanEnd(*recovery));
        QTest::mouseClick(recovery->button(kBackButton), Qt::LeftButton);
        QTRY_VERIFY(wizard.window.isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // no question left behind
    }

    // A copy that ends while the exit question is open waits for the answer: No, and then the recovery
    // window opens, with no question behind it.
    answers.clear();
    answers.setAnswer(ui::MessageAnswer::No);
    HeldTapeRead third(5, fields.stopImaging);
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(
        0, {.path = folder.path("daily.tap").string(), .beforeRead = third.hook()}));
    {
        WizardUnderTest wizard(fields);
        wizard.files->answer(folder.qpath("whole.img"));
        wizard.click(kCreateImageButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return third.reached(); }));
        bool endWaited = false;
        answers.setWatcher([&](ui::MessageBoxDialog&) {
            third.release();
            endWaited =
                QTest::qWaitFor([&] { return wizard.text(kProgressValue) == QStringLiteral("Done"); }) &&
                wizard.window.recoveryWindow() == nullptr && wizard.window.isImaging();
        });
        wizard.window.close();
        EXPECT_TRUE(endWaited);
        RecoveryWindow* recovery = wizard.waitForRecovery();
        ASSERT_NE(recovery, nullptr);
        EXPECT_EQ(QApplication::activeModalWidget(), recovery);
        EXPECT_EQ(answers.texts(), QStringList({"Do you really want to exit?"}));
        EXPECT_TRUE(readFile(folder.path("whole.img")) == tapeBytes);
        ASSERT_TRUE(waitForScanEnd(*recovery));
        QTest::mouseClick(recovery->button(kBackButton), Qt::LeftButton);
        QTRY_VERIFY(wizard.window.isVisible());
    }
    // The watcher looks at this block's wizard, which is gone: the next question must not reach it.
    answers.setWatcher(nullptr);

    // Exit during a copy: the copy stops and its image is closed before the window's run ends.
    answers.clear();
    answers.setAnswer(ui::MessageAnswer::Yes);
    WizardUnderTest wizard(fields);
    wizard.files->answer(folder.qpath("exit.img"));
    QSignalSpy finished(&wizard.window, &QDialog::finished);
    HeldTapeRead again(5, fields.stopImaging);
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(
        0, {.path = folder.path("daily.tap").string(), .beforeRead = again.hook()}));
    wizard.click(kCreateImageButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return again.reached(); }));
    wizard.window.close();
    ASSERT_EQ(finished.size(), 1);
    EXPECT_FALSE(wizard.window.isImaging());
    EXPECT_EQ(answers.texts(), QStringList({"Do you really want to exit?"}));
    EXPECT_EQ(answers.shown().front().caption, QStringLiteral("Brivane Ostrum Tape Media"));
    EXPECT_EQ(wizard.links->opened, QStringList({QString::fromLatin1(kHomePageAddress)}));
    EXPECT_TRUE(wholeRecordsOf(readFile(folder.path("exit.img")), tapeBytes));
}

TEST(Wizard, ACopyThatCannotWriteItsImageSaysWhyAndGoesBackToTheImagePage) {
    TestFolder folder;
    writeTape(folder, "daily.tap");
    std::ofstream(folder.path("plain-file")) << "not a folder";
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(0, {.path = folder.path("daily.tap").string()}));
    MessageAnswerer answers;
    auto drives = choosingDrive(0);
    WizardUnderTest wizard(fields);
    wizard.files->answer(folder.qpath("plain-file/copy.img"));
    QSignalSpy ended(&wizard.window, &WizardWindow::imagingEnded);
    wizard.click(kCreateImageButton);
    QTRY_COMPARE(ended.size(), 1);
    QTRY_COMPARE(answers.shown().size(), 1u);
    EXPECT_TRUE(answers.texts().front().startsWith(
        QStringLiteral("The tape could not be copied into the image:\ncannot create the image")))
        << answers.texts().front().toStdString();
    EXPECT_TRUE(answers.texts().front().contains(QStringLiteral("Not a directory")));
    EXPECT_EQ(wizard.text(kProgressValue), QStringLiteral("Image creation failed"));
    EXPECT_EQ(wizard.window.recoveryWindow(), nullptr);
    EXPECT_EQ(wizard.window.page(), WizardPage::ImageRoad);
    EXPECT_EQ(shownOf(wizard), (std::vector<int>{1002, 1003, 1004, 1032, 1036}));

    // The drive was let go: the next copy, into a folder that can be written, works.
    wizard.files->answer(folder.qpath("second.img"));
    wizard.click(kCreateImageButton);
    ASSERT_NE(wizard.waitForRecovery(), nullptr);
    EXPECT_EQ(wizard.text(kProgressValue), QStringLiteral("Done"));
}

TEST(Wizard, TheImageTargetTakesTheImgRuleAndWarnsOnlyForALargeMediumOnFat) {
    EXPECT_EQ(withImageExtension("backup"), "backup.img");
    EXPECT_EQ(withImageExtension("backup.img"), "backup.img");
    EXPECT_EQ(withImageExtension("x.IMG"), "x.IMG.img");
    EXPECT_EQ(withImageExtension("old.img.bak"), "old.img.bak");
    EXPECT_FALSE(needsLargeImageWarning(kMsdosMagic, kFatFileLimit));
    EXPECT_TRUE(needsLargeImageWarning(kMsdosMagic, kFatFileLimit + 1));
    EXPECT_FALSE(needsLargeImageWarning(std::nullopt, kFatFileLimit + 1));
    EXPECT_FALSE(needsLargeImageWarning(0xEF53, kFatFileLimit + 1));  // ext4
    EXPECT_EQ(dialogNameFilters(QStringLiteral("Backup Files(*.img)|*.img| All Files(*.*)|*.*||")),
              QStringList({"Backup Files(*.img) (*.img)", " All Files(*.*) (*)"}));

    TestFolder folder;
    writeTape(folder, "big.tap");
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(
        2, {.path = folder.path("big.tap").string(), .capacity = kFatFileLimit + 1}));
    MessageAnswerer answers(ui::MessageAnswer::No);
    auto drives = choosingDrive(0);
    WizardUnderTest wizard(fields);
    std::vector<std::string> probed;
    wizard.window.setFileSystemProbe([&](const std::string& path) {
        probed.push_back(path);
        return kMsdosMagic;
    });
    std::ofstream(folder.path("x.IMG.img")) << "kept";
    wizard.files->answer(folder.qpath("x.IMG"));
    wizard.files->answer(folder.qpath("large"));

    // The lengthened name's file is not replaced without asking.
    wizard.click(kCreateImageButton);
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.texts().front(),
              folder.qpath("x.IMG.img") + " already exists.\nDo you want to replace it?");
    EXPECT_TRUE(probed.empty());

    wizard.click(kCreateImageButton);
    ASSERT_EQ(answers.shown().size(), 2u);
    EXPECT_EQ(answers.shown().back().caption, QStringLiteral("Brivane Ostrum Tape Media"));
    EXPECT_EQ(
        answers.texts().back(),
        "This selected drive is not an NTFS partition and the image size will be more then 4GB ,\r\n it may "
        "cause improper image creation , you want to continue?");
    EXPECT_EQ(probed, std::vector<std::string>{folder.path("large.img").string()});
    EXPECT_EQ(fields.selectedCapacity, kFatFileLimit + 1);
    EXPECT_FALSE(wizard.window.isImaging());
    EXPECT_EQ(wizard.window.page(), WizardPage::ImageRoad);
    EXPECT_EQ(readFile(folder.path("x.IMG.img")), std::vector<std::uint8_t>({'k', 'e', 'p', 't'}));
    EXPECT_FALSE(std::filesystem::exists(folder.path("large.img")));
}

TEST(Wizard, LoadImageCancelledChangesNothingAndTheDirectRoadScansTheTape) {
    TestFolder folder;
    writeTape(folder, "daily.tap");
    const std::string image = folder.writeImage(windowMedia());
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(4, {.path = folder.path("daily.tap").string()}));
    MessageAnswerer answers;
    WizardUnderTest wizard(fields);

    wizard.click(kLoadImageButton);
    ASSERT_EQ(wizard.files->asked.size(), 1u);
    EXPECT_EQ(wizard.files->asked[0].kind, FileQuestion::Kind::Open);
    EXPECT_EQ(wizard.files->asked[0].title, QStringLiteral("Select image file for recovery..."));
    EXPECT_EQ(dialogNameFilters(wizard.files->asked[0].filter),
              QStringList({"Backup media (*.img *.bkf *.bak *.mtf) (*.img *.bkf *.bak *.mtf)",
                           "Virtual tapes (*.tap) (*.tap)", " All Files(*.*) (*)"}));
    EXPECT_EQ(wizard.window.recoveryWindow(), nullptr);
    EXPECT_TRUE(wizard.window.isVisible());
    EXPECT_EQ(wizard.window.page(), WizardPage::ImageRoad);
    EXPECT_TRUE(fields.source.path.empty());

    wizard.files->answer(QString::fromStdString(image));
    wizard.click(kLoadImageButton);
    RecoveryWindow* recovery = wizard.waitForRecovery();
    ASSERT_NE(recovery, nullptr);
    EXPECT_EQ(fields.source.path, image);
    ASSERT_TRUE(waitForScanEnd(*recovery));
    EXPECT_EQ(recovery->foundModel()->rowCount(), 6);
    QTest::mouseClick(recovery->button(kBackButton), Qt::LeftButton);
    QTRY_VERIFY(wizard.window.isVisible());
    EXPECT_EQ(wizard.window.page(), WizardPage::ImageRoad);

    // A virtual tape chosen there used to be scanned as an image and give "No Data found": it is read in a
    // drive, the one that holds it already.
    wizard.files->answer(folder.qpath("daily.tap"));
    wizard.click(kLoadImageButton);
    recovery = wizard.waitForRecovery();
    ASSERT_NE(recovery, nullptr);
    EXPECT_TRUE(fields.source.isTape);
    EXPECT_EQ(fields.source.path, "//./tape4");
    ASSERT_TRUE(waitForScanEnd(*recovery));
    EXPECT_EQ(recovery->foundModel()->rowCount(), 6);
    QTest::mouseClick(recovery->button(kBackButton), Qt::LeftButton);
    QTRY_VERIFY(wizard.window.isVisible());

    // The direct road: back to the start page, then the drive straight into the recovery window.
    wizard.click(kWizardBackButton);
    auto drives = choosingDrive(0);
    wizard.click(kDirectRoadButton);
    recovery = wizard.waitForRecovery();
    ASSERT_NE(recovery, nullptr);
    EXPECT_TRUE(fields.source.isTape);
    EXPECT_EQ(fields.source.path, "//./tape4");
    ASSERT_TRUE(waitForScanEnd(*recovery));
    EXPECT_EQ(recovery->foundModel()->rowCount(), 6);
    QTest::mouseClick(recovery->button(kBackButton), Qt::LeftButton);
    QTRY_VERIFY(wizard.window.isVisible());
    EXPECT_EQ(wizard.window.page(), WizardPage::Start);
    EXPECT_TRUE(answers.shown().empty());
}

TEST(Wizard, LoadImageWithSeveralFilesOpensThemAsOneBackupInOrderOrRefusesAnotherFamily) {
    TestFolder folder;
    const auto media = writeSpreadMedia(folder, {"a.bkf", "b.bkf"}, {20000});
    const auto other = writeSpreadMedia(folder, {"x.bkf", "y.bkf"}, {20000}, 0xC0FFEE);
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    MessageAnswerer answers;
    WizardUnderTest wizard(fields);

    wizard.files->answerSeveral({QString::fromStdString(media[1]), QString::fromStdString(media[0])});
    wizard.click(kLoadImageButton);
    RecoveryWindow* recovery = wizard.waitForRecovery();
    ASSERT_NE(recovery, nullptr);
    EXPECT_EQ(fields.source.path, media[0]);
    EXPECT_EQ(fields.source.laterSources, std::vector<std::string>{media[1]});
    ASSERT_TRUE(waitForScanEnd(*recovery));
    EXPECT_EQ(recovery->foundModel()->rowCount(), 3);
    EXPECT_TRUE(recovery->statusLine()->text().endsWith(QStringLiteral("; media sorted by sequence number")));
    QTest::mouseClick(recovery->button(kBackButton), Qt::LeftButton);
    QTRY_VERIFY(wizard.window.isVisible());
    EXPECT_TRUE(answers.shown().empty());

    // Nothing is scanned: the message names which medium is of which family.
    wizard.files->answerSeveral({QString::fromStdString(media[0]), QString::fromStdString(other[0])});
    wizard.click(kLoadImageButton);
    EXPECT_EQ(wizard.window.recoveryWindow(), nullptr);
    EXPECT_EQ(answers.texts(),
              QStringList(app::plainMessageText(QString::fromStdString(
                  other[0] + " is medium 1 of media family 0x00C0FFEE, not the medium after " + media[0] +
                  " (medium 1 of media family 0x0000BEEF)"))));
    EXPECT_EQ(fields.source.path, media[0]) << "the source is left as it was";
}

TEST(Wizard, HelpIsLookedUpInTheStartDirectoryAndTheExitQuestionAnsweredNoKeepsTheWindow) {
    TestFolder start;
    TestFolder elsewhere;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(start.qpath("")));
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    MessageAnswerer answers(ui::MessageAnswer::No);
    WizardUnderTest wizard(fields);
    // The help file beside the program, or in the folder current now, is not the one asked for.
    ASSERT_TRUE(QDir::setCurrent(elsewhere.qpath("")));
    std::ofstream(elsewhere.path(kHelpFileName)) << "help";

    QTest::keyClick(&wizard.window, Qt::Key_F1);
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, QStringLiteral("Help file not found"));
    EXPECT_EQ(answers.shown()[0].caption, QStringLiteral("Brivane Ostrum TAPE"));
    EXPECT_EQ(answers.shown()[0].buttons, std::vector<ui::MessageAnswer>{ui::MessageAnswer::Ok});
    std::ofstream(start.path(kHelpFileName)) << "help";
    QTest::keyClick(&wizard.window, Qt::Key_F1);
    EXPECT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(wizard.links->opened,
              QStringList({QUrl::fromLocalFile(start.qpath(kHelpFileName)).toString()}));
    ASSERT_TRUE(QDir::setCurrent(before));

    wizard.window.showMinimized();
    QSignalSpy finished(&wizard.window, &QDialog::finished);
    wizard.window.close();
    ASSERT_EQ(answers.shown().size(), 2u);
    EXPECT_EQ(answers.shown()[1].text, QStringLiteral("Do you really want to exit?"));
    EXPECT_EQ(answers.shown()[1].buttons,
              (std::vector<ui::MessageAnswer>{ui::MessageAnswer::Yes, ui::MessageAnswer::No}));
    EXPECT_TRUE(wizard.window.isVisible());
    EXPECT_FALSE(wizard.window.isMinimized());  // restored before the question
    EXPECT_EQ(finished.size(), 0);
    EXPECT_EQ(wizard.links->opened.size(), 1);  // the help file only: no home page
}

// The program's run of the wizard used to end (and the program with it) as soon as the wizard hid
// itself behind the first recovery window.
TEST(Wizard, ItsRunGoesOnThroughARecoveryWindowAndEndsWithAConfirmedExit) {
    TestFolder folder;
    const std::string image = folder.writeImage(windowMedia());
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    MessageAnswerer answers(ui::MessageAnswer::Yes);
    WizardWindow window(fields);
    auto files = std::make_shared<ScriptedFiles>(std::deque<QString>{QString::fromStdString(image)});
    window.setFileNameAsker(files);
    window.setLinkOpener(std::make_shared<ui::RecordingLinkOpener>());
    int step = 0;
    QTimer user;
    user.setInterval(5);
    QObject::connect(&user, &QTimer::timeout, [&] {
        RecoveryWindow* recovery = window.recoveryWindow();
        if (step == 0 && window.isVisible()) {
            step = 1;
            qobject_cast<QAbstractButton*>(window.control(kLoadImageButton))->click();
        } else if (step == 1 && recovery != nullptr && !recovery->button(kNextButton)->isHidden()) {
            step = 2;
            recovery->button(kBackButton)->click();
        } else if (step == 2 && window.isVisible()) {
            step = 3;
            window.close();
        }
    });
    user.start();
    EXPECT_EQ(window.run(), QDialog::Accepted);
    EXPECT_EQ(step, 3);
    EXPECT_EQ(answers.texts(), QStringList({"Do you really want to exit?"}));
}

// A recovery window opened on the program's command line used to end the program when it was left: Tab
// three times, Space on Back, and the program was gone with status 0 and no exit question. It leads to the
// image page as one opened from the wizard does. Media that cannot be read as one are refused in an error
// box over the image page.
TEST(Wizard, ARecoveryWindowStartedFromTheCommandLineLeadsToTheImagePageAndOnlyTheExitQuestionEnds) {
    TestFolder folder;
    WizardFields fields;
    fields.source = imageSource(folder.writeImage(windowMedia()));
    fields.source.tapeDevices = virtualDrivesOnly();
    MessageAnswerer answers(ui::MessageAnswer::Yes);
    WizardWindow window(fields);
    window.setLinkOpener(std::make_shared<ui::RecordingLinkOpener>());
    EXPECT_EQ(window.openStartSource(), "");
    QPointer<RecoveryWindow> recovery = window.recoveryWindow();
    ASSERT_FALSE(recovery.isNull());
    int step = 0;
    QTimer user;
    user.setInterval(5);
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (step == 0 && recovery && !recovery->button(kNextButton)->isHidden()) {
            step = 1;
            EXPECT_FALSE(window.isVisible());
            recovery->button(kBackButton)->setFocus();
            QTest::keyClick(recovery->button(kBackButton), Qt::Key_Space);
        } else if (step == 1 && window.isVisible()) {
            step = 2;
            EXPECT_EQ(window.page(), WizardPage::ImageRoad);
            EXPECT_EQ(shownOf(window), (std::vector<int>{1002, 1003, 1004, 1032, 1036}));
            EXPECT_TRUE(answers.shown().empty());
            window.close();
        }
    });
    user.start();
    EXPECT_EQ(window.run(), QDialog::Accepted);
    EXPECT_EQ(step, 2);
    EXPECT_EQ(answers.texts(), QStringList({"Do you really want to exit?"}));

    answers.clear();
    const auto one = writeSpreadMedia(folder, {"a.bkf", "b.bkf"}, {20000});
    const auto other = writeSpreadMedia(folder, {"x.bkf", "y.bkf"}, {20000}, 0xC0FFEE);
    WizardFields mixed;
    mixed.source = imageSource(one[0]);
    mixed.source.laterSources = {other[1]};
    WizardWindow refusing(mixed);
    const std::string refusal = refusing.openStartSource();
    EXPECT_EQ(refusal, other[1] + " is medium 2 of media family 0x00C0FFEE, not the medium after " + one[0] +
                           " (medium 1 of media family 0x0000BEEF)");
    EXPECT_EQ(refusing.recoveryWindow(), nullptr);
    EXPECT_TRUE(refusing.isVisible());
    EXPECT_EQ(refusing.page(), WizardPage::ImageRoad);
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, app::plainMessageText(QString::fromStdString(refusal)));
    EXPECT_EQ(answers.shown()[0].iconKind, ui::MessageIcon::Error);
    EXPECT_TRUE(mixed.source.path.empty());
}

}  // namespace
}  // namespace ostrum::app::testing
