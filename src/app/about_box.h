// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// AboutBox: the program's name and version over its picture, with one OK button.

#include "ui/skin/skin_background.h"

class QPushButton;

namespace ostrum::ui {
class TransparentStatic;
}

namespace ostrum::app {

inline constexpr char kVersionText[] = "Brivane Ostrum TAPE Version 4.02";

class AboutBox : public ui::SkinBackground {
    Q_OBJECT
  public:
    explicit AboutBox(QWidget* parent = nullptr);

    ui::TransparentStatic* versionText() const { return version_; }
    QPushButton* okButton() const { return ok_; }

  private:
    ui::TransparentStatic* version_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace ostrum::app
