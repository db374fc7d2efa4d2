// SPDX-License-Identifier: GPL-3.0-or-later
#include "wizard_gallery.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/about_box.h"
#include "app/device_selection_dialog.h"
#include "app/recovery_window.h"
#include "app/wizard_window.h"
#include "gallery_pictures.h"
#include "media_sink.h"
#include "sample_media.h"
#include "ui/skin/skin_static.h"

namespace ostrum::gallery {
namespace {

using namespace ostrum::app;

// Answers the save question of Create Image with one path.
class FixedAnswer final : public FileNameAsker {
  public:
    explicit FixedAnswer(QString path) : path_(std::move(path)) {}
    QString ask(QWidget*, const FileQuestion&) override { return path_; }

  private:
    QString path_;
};

bool wizardPages(WizardFields& fields, const QString& work, const QString& folder) {
    WizardWindow wizard(fields);
    wizard.setFileNameAsker(std::make_shared<FixedAnswer>(work + QStringLiteral("/TapeMediaImage.img")));
    wizard.show();
    bool saved = savePicture(wizard, folder, "gallery_wizard_image.png");
    qobject_cast<QAbstractButton*>(wizard.control(kWizardBackButton))->click();
    saved = savePicture(wizard, folder, "gallery_wizard_start.png") && saved;
    qobject_cast<QAbstractButton*>(wizard.control(kImageRoadButton))->click();

    // Create Image: the first drive in the device selection, then the copy held part of the way.
    QTimer chooser;
    chooser.setInterval(5);
    QObject::connect(&chooser, &QTimer::timeout, [] {
        if (auto* devices = qobject_cast<DeviceSelectionDialog*>(QApplication::activeModalWidget())) {
            devices->list()->selectRow(0);
            devices->okButton()->click();
        }
    });
    chooser.start();
    HeldTapeRead held(5, fields.stopImaging);
    fields.source.tapeDevices->AttachVirtual(
        0, {.path = (work + QStringLiteral("/sample.tap")).toStdString(), .beforeRead = held.hook()});
    wizard.createImage();
    chooser.stop();
    const bool copying = QTest::qWaitFor([&] { return held.reached(); }, 20000) && QTest::qWaitFor([&] {
                             return wizard.label(kProgressValue)->text().front().isDigit();
                         });
    saved = copying && savePicture(wizard, folder, "gallery_wizard_imaging.png") && saved;
    held.release();
    // The copy ends and the recovery window opens on the image; closing it brings the wizard back.
    const bool opened = QTest::qWaitFor([&] { return wizard.recoveryWindow() != nullptr; }, 20000);
    const bool scanned =
        opened && QTest::qWaitFor([&] { return !wizard.recoveryWindow()->isScanRunning(); }, 20000);
    if (scanned) wizard.recoveryWindow()->done(QDialog::Rejected);
    return saved && scanned;
}

bool devicePage(WizardFields& fields, const QString& folder) {
    DeviceSelectionDialog dialog(fields);
    dialog.show();
    dialog.list()->selectRow(0);
    return savePicture(dialog, folder, "gallery_device_selection.png");
}

bool aboutPage(const QString& folder) {
    AboutBox about;
    about.show();
    return savePicture(about, folder, "gallery_about.png");
}

}  // namespace

bool writeWizardGallery(const QString& folder) {
    QTemporaryDir work;
    const QString tape = work.filePath(QStringLiteral("sample.tap"));
    {
        mtfwriter::TapFileSink sink(tape.toStdString(), 65536);
        mtfwriter::WriteMedia(mtfwriter::SampleMedia(), sink);
    }
    WizardFields fields;
    const std::string tapePath = tape.toStdString();
    fields.source.tapeDevices->AttachVirtual(0, {.path = tapePath});
    fields.source.tapeDevices->AttachVirtual(3, {.path = tapePath, .capacity = 6'000'000'000});
    const bool devices = devicePage(fields, folder);
    const bool pages = wizardPages(fields, work.path(), folder);
    return devices && pages && aboutPage(folder);
}

}  // namespace ostrum::gallery
