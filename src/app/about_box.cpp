// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/about_box.h"

#include <QPushButton>

#include "app/dialog_units.h"
#include "app/program_windows.h"
#include "ui/skin/transparent_static.h"

namespace ostrum::app {
namespace {

constexpr Picture kSkin = Picture::AboutSkin;

}  // namespace

AboutBox::AboutBox(QWidget* parent)
    : ui::SkinBackground(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setUpProgramWindow(*this, "AboutBox", QStringLiteral("About Brivane Ostrum TAPE (Windows)"), kSkin, 240,
                       206);
    setModal(true);

    version_ = new ui::TransparentStatic(this);
    version_->setObjectName(QStringLiteral("VersionText"));
    version_->setGeometry(dialogRect(32, 73, 176, 92));
    version_->setAlignment(Qt::AlignCenter);
    version_->setText(QString::fromLatin1(kVersionText));

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("OK"));
    ok_->setGeometry(dialogRect(95, 186, 50, 14));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace ostrum::app
