// SPDX-License-Identifier: GPL-3.0-or-later
// The widget tests (the controls and the windows) need an application object and run offscreen. The
// message box's answer memory is pointed at a folder of its own so that no test touches the user's
// settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
