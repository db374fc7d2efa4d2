// SPDX-License-Identifier: GPL-3.0-or-later
// The device selection dialog over virtual drives: the rows it lists and their cells, OK without a row,
// OK with one (a capacity above 4 GiB kept whole), Cancel, and a machine with no drive at all.
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include "app/device_selection_dialog.h"
#include "wizard_fixture.h"

namespace ostrum::app::testing {
namespace {

QStringList rowCells(const QTableWidget& list, int row) {
    QStringList cells;
    for (int column = 0; column < list.columnCount(); ++column) cells << list.item(row, column)->text();
    return cells;
}

TEST(DeviceSelection, ListsTheDrivesHoldingAMediumInDeviceOrderAndStoresTheChoiceOnOk) {
    TestFolder folder;
    writeTape(folder, "a.tap");
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(folder.path("a.tap")));
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    const std::string tape = folder.path("a.tap").string();
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(3, {.path = tape, .capacity = 6'000'000'000}));
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(1, {.path = tape, .noMedium = true}));
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(0, {.path = tape}));
    fields.selectedCapacity = 99;

    MessageAnswerer answers;
    DeviceSelectionDialog dialog(fields);
    EXPECT_EQ(fields.selectedCapacity, 0);  // cleared on opening
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Device selection.."));
    EXPECT_EQ(dialog.size(), QSize(525, 275));
    EXPECT_EQ(dialog.skin().size(), QSize(525, 275));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    const QTableWidget& list = *dialog.list();
    QStringList headings;
    for (int column = 0; column < list.columnCount(); ++column) {
        headings << list.horizontalHeaderItem(column)->text();
        EXPECT_EQ(list.columnWidth(column), column == 0 ? 100 : 200);
    }
    EXPECT_EQ(headings, QStringList({"TAPE DRIVE", "Capacity (Bytes)", "Remaining (Bytes)", "Block Size",
                                     "Partition Count"}));
    // The empty drive 1 gives no row, but it opened: no "no media" message.
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(rowCells(list, 0), QStringList({"//./tape0", QString::number(size), " 0x00000000 (0)",
                                              " 0x00000000 (0)", " 0x00000001 (1)"}));
    const std::int64_t remaining = 6'000'000'000 - size;
    EXPECT_EQ(rowCells(list, 1),
              QStringList({"//./tape3", "6000000000",
                           QStringLiteral(" 0x%1 (%2)").arg(remaining, 8, 16, QChar(u'0')).arg(remaining),
                           " 0x00000000 (0)", " 0x00000001 (1)"}));

    // OK without a row says so and keeps the dialog open.
    fields.selectedDevicePath = "before";
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_EQ(answers.texts(), QStringList({"Please Select drive "}));
    EXPECT_EQ(answers.shown().front().caption, QStringLiteral("Brivane Ostrum TAPE MEDIA"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(fields.selectedDevicePath, "before");

    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(1, 2)).center());
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(fields.selectedDevicePath, "//./tape3");
    EXPECT_EQ(fields.selectedCapacity, 6'000'000'000);  // above 4 GiB, through the cell's text
    EXPECT_EQ(answers.shown().size(), 1u);
    // Every drive was closed again: the copy can open the chosen one.
    std::unique_ptr<tape::TapeDrive> drive;
    EXPECT_TRUE(fields.source.tapeDevices->Open("//./tape3", drive));
}

// The only drive holding a medium had to be clicked before OK took it.
TEST(DeviceSelection, TheOnlyDriveHoldingAMediumIsChosenAlready) {
    TestFolder folder;
    writeTape(folder, "a.tap");
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(
        1, {.path = folder.path("a.tap").string(), .noMedium = true}));
    ASSERT_TRUE(fields.source.tapeDevices->AttachVirtual(2, {.path = folder.path("a.tap").string()}));
    MessageAnswerer answers;
    DeviceSelectionDialog dialog(fields);
    dialog.show();
    ASSERT_EQ(dialog.list()->rowCount(), 1);
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(fields.selectedDevicePath, "//./tape2");
    EXPECT_TRUE(answers.shown().empty());
}

TEST(DeviceSelection, CancelKeepsTheChosenDriveAndNoDriveAtAllIsSaidOnce) {
    WizardFields fields;
    fields.source.tapeDevices = virtualDrivesOnly();
    fields.selectedDevicePath = "//./tape7";
    fields.selectedCapacity = 1234;
    MessageAnswerer answers;
    DeviceSelectionDialog dialog(fields);
    dialog.show();
    QTRY_COMPARE(answers.texts(), QStringList({"There is no media available , please insert the media"}));
    EXPECT_EQ(dialog.list()->rowCount(), 0);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(fields.selectedDevicePath, "//./tape7");
    EXPECT_EQ(fields.selectedCapacity, 0);
    EXPECT_EQ(answers.texts(),
              QStringList({"There is no media available , please insert the media", "Please Select drive "}));
}

}  // namespace
}  // namespace ostrum::app::testing
