// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// DeviceSelectionDialog: the modal dialog in which the user picks the tape drive to work on. It probes
// //./tape0 to //./tape19 once, while it is made, and lists every drive holding a medium with its
// figures, in device order; the only one, when there is one, is chosen already. OK with a row chosen
// stores the drive's name and capacity in the wizard's fields and closes with Accepted; Cancel changes
// nothing (the capacity was set to 0 on opening).

#include <QPointer>

#include "app/scan_source.h"
#include "tape/device_list.h"
#include "ui/skin/skin_background.h"

class QPushButton;
class QTableWidget;

namespace ostrum::app {

enum DeviceSelectionControl : int {
    kDeviceOk = 1,
    kDeviceCancel = 2,
    kDeviceList = 1016,
};

class DeviceSelectionDialog : public ui::SkinBackground {
    Q_OBJECT
  public:
    explicit DeviceSelectionDialog(WizardFields& fields, QWidget* parent = nullptr);

    QTableWidget* list() const { return list_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    // What the probe found.
    const tape::TapeDeviceEnumeration& devices() const { return devices_; }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void buildControls();
    void fillList();
    void onOk();

    WizardFields& fields_;
    tape::TapeDeviceEnumeration devices_;
    QTableWidget* list_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool toldNoMedia_ = false;
};

}  // namespace ostrum::app
