// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/device_selection_dialog.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <array>
#include <charconv>

#include "app/dialog_units.h"
#include "app/program_windows.h"
#include "app/resources/program_message.h"
#include "ui/skin/focus_frame.h"

namespace ostrum::app {
namespace {

constexpr Picture kSkin = Picture::DeviceSelectionSkin;
constexpr std::array kColumnWidths{100, 200, 200, 200, 200};

std::int64_t capacityOfCell(const QString& text) {
    const std::string digits = text.toStdString();
    std::int64_t value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

}  // namespace

DeviceSelectionDialog::DeviceSelectionDialog(WizardFields& fields, QWidget* parent)
    : ui::SkinBackground(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      fields_(fields) {
    setUpProgramWindow(*this, "DeviceSelectionDialog", QStringLiteral("Device selection.."), kSkin, 350, 169);
    setModal(true);

    fields_.selectedCapacity = 0;
    buildControls();
    devices_ = tape::EnumerateTapeDevices(*fields_.source.tapeDevices);
    fillList();
}

void DeviceSelectionDialog::buildControls() {
    list_ = new QTableWidget(0, static_cast<int>(tape::kDeviceListHeadings.size()), this);
    list_->setObjectName(QStringLiteral("DeviceList"));
    list_->setGeometry(dialogRect(7, 7, 336, 117));
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->horizontalHeader()->setHighlightSections(false);
    ui::showFocusFrame(*list_);
    for (int column = 0; column < static_cast<int>(kColumnWidths.size()); ++column) {
        list_->setHorizontalHeaderItem(
            column, new QTableWidgetItem(QString::fromLatin1(tape::kDeviceListHeadings[column])));
        list_->setColumnWidth(column, kColumnWidths[column]);
    }

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("OK"));
    ok_->setGeometry(dialogRect(121, 148, 50, 14));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("Cancel"));
    cancel_->setGeometry(dialogRect(184, 148, 50, 14));
    cancel_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &DeviceSelectionDialog::onOk);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void DeviceSelectionDialog::fillList() {
    for (const tape::TapeDeviceRow& device : devices_.rows) {
        const int row = list_->rowCount();
        list_->insertRow(row);
        for (int column = 0; column < static_cast<int>(device.cells.size()); ++column) {
            list_->setItem(row, column, new QTableWidgetItem(QString::fromStdString(device.cells[column])));
        }
    }
    // The only drive holding a medium is the one to choose: OK takes it at once.
    if (list_->rowCount() == 1) list_->selectRow(0);
}

void DeviceSelectionDialog::showEvent(QShowEvent* e) {
    ui::SkinBackground::showEvent(e);
    if (devices_.found || toldNoMedia_) return;
    toldNoMedia_ = true;
    // Said once the dialog is on the screen, over it; the dialog then stays open with its empty list.
    QTimer::singleShot(0, this, [] {
        programMessage(QStringLiteral("There is no media available , please insert the media"),
                       kCaptionTapeMedia, kMessageNotice);
    });
}

void DeviceSelectionDialog::onOk() {
    const QModelIndexList chosen = list_->selectionModel()->selectedRows();
    if (chosen.isEmpty()) {
        programMessage(QStringLiteral("Please Select drive "), kCaptionTapeMedia, kMessageNotice);
        return;
    }
    const int row = chosen.front().row();
    fields_.selectedDevicePath = list_->item(row, 0)->text().toStdString();
    fields_.selectedCapacity = capacityOfCell(list_->item(row, 1)->text());
    accept();
}

}  // namespace ostrum::app
