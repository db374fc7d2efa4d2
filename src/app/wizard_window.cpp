// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/wizard_window.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QProgressBar>
#include <QUrl>
#include <algorithm>
#include <filesystem>

#include "app/about_box.h"
#include "app/catalog_models.h"
#include "app/device_selection_dialog.h"
#include "app/dialog_units.h"
#include "app/program_windows.h"
#include "app/recovery_window.h"
#include "app/resources/program_message.h"
#include "app/resources/program_resources.h"
#include "app/source_arguments.h"
#include "tape/read_failures.h"
#include "ui/skin/hover_button.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_static.h"

namespace ostrum::app {
namespace {

constexpr int kAboutString = 101;

Picture skinOf(WizardPage page) {
    switch (page) {
        case WizardPage::Start:
            return Picture::StartPageSkin;
        case WizardPage::ImageRoad:
            return Picture::ImageRoadPageSkin;
        case WizardPage::Imaging:
            return Picture::ImagingPageSkin;
    }
    return Picture::ImageRoadPageSkin;
}

const QString kImagingRefusal = QStringLiteral("Please stop image creation process ");
const QString kStopQuestion = QStringLiteral("Do you want to stop repairing process?");
const QString kLargeImageWarning = QStringLiteral(
    "This selected drive is not an NTFS partition and the image size will be more then 4GB ,\r\n"
    " it may cause improper image creation , you want to continue?");
const QString kImageFilter = QStringLiteral("Image Files (*.img)|*.img|AllFiles(*.*)|*.*||");
const QString kLoadFilter = QStringLiteral(
    "Backup media (*.img *.bkf *.bak *.mtf)|*.img;*.bkf;*.bak;*.mtf|Virtual tapes (*.tap)|*.tap|"
    " All Files(*.*)|*.*||");

// The labels of the imaging page: a gradient face and a bold Arial.
constexpr ui::ColorRef kLabelColour = 0xB3FCFF;

}  // namespace

WizardWindow::WizardWindow(WizardFields& fields, QWidget* parent)
    : ui::SkinBackground(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                     Qt::WindowCloseButtonHint),
      fields_(fields),
      files_(std::make_shared<DialogFileNameAsker>()),
      links_(std::make_shared<ui::DesktopLinkOpener>()),
      fileSystemOf_(fileSystemTypeOf) {
    // The skin comes with the first page.
    setUpProgramWindow(*this, "WizardWindow", QStringLiteral("Brivane Ostrum TAPE MEDIA (Windows)"),
                       std::nullopt, 486, 250);
    buildControls();
    startDirectory_ = QDir::currentPath();

    imagingTimer_.setInterval(kImagingLookMs);
    connect(&imagingTimer_, &QTimer::timeout, this, &WizardWindow::takeImagingProgress);
    onImageRoad();
}

WizardWindow::~WizardWindow() {
    imagingTimer_.stop();
    job_.reset();  // stops the copy and waits: the image file is closed whole
    delete recovery_;
}

int WizardWindow::run() {
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    if (!recovery_) show();
    loop.exec(QEventLoop::DialogExec);
    return result();
}

std::string WizardWindow::openStartSource() {
    std::string error;
    if (!putMediaInOrder(fields_.source, error)) {
        fields_.source.path.clear();
        fields_.source.laterSources.clear();
        show();
        programError(error);
        return error;
    }
    openRecoveryWindow(AfterRecovery::ImageRoadPage);
    return {};
}

// ---- Controls

void WizardWindow::buildControls() {
    const QString imageRoadTip =
        QStringLiteral("Select this option for Create image or Load Previous Image and recovery");
    connect(addHoverButton(kImageRoadButton, "ImageRoadButton", 77, 184, Picture::StartRecoveryPicture,
                           imageRoadTip),
            &QAbstractButton::clicked, this, &WizardWindow::onImageRoad);
    connect(addHoverButton(kDirectRoadButton, "DirectRoadButton", 319, 185, Picture::StartRecoveryPicture,
                           QStringLiteral("Select this option for direct recovery from tape")),
            &QAbstractButton::clicked, this, &WizardWindow::onDirectRoad);
    connect(addHoverButton(kCreateImageButton, "CreateImageButton", 88, 116, Picture::CreateImagePicture,
                           QStringLiteral("Create Image")),
            &QAbstractButton::clicked, this, &WizardWindow::createImage);
    connect(addHoverButton(kLoadImageButton, "LoadImageButton", 330, 114, Picture::LoadImagePicture,
                           QStringLiteral("recovery from image")),
            &QAbstractButton::clicked, this, &WizardWindow::onLoadImage);
    back_ = addSkinButton(kWizardBackButton, "Back", dialogRect(409, 226, 28, 21), Picture::BackButton,
                          Picture::BackButtonHover, QStringLiteral("Back"));
    connect(back_, &QPushButton::clicked, this, &WizardWindow::onBack);
    connect(addSkinButton(kWizardNextButton, "Next", dialogRect(451, 226, 28, 21), Picture::NextButton,
                          Picture::NextButtonHover, QStringLiteral("Next")),
            &QPushButton::clicked, this, &WizardWindow::onNext);
    stop_ = addSkinButton(kWizardStopButton, "Stop", dialogRect(367, 226, 28, 21), Picture::StopButton,
                          Picture::StopButtonHover, QStringLiteral("Stop"));
    connect(stop_, &QPushButton::clicked, this, &WizardWindow::onStop);

    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("ImagingFrame"));
    frame->setGeometry(dialogRect(57, 81, 375, 118));
    controls_[kImagingFrame] = frame;
    addLabel(kSourceDriveLabel, "SourceDriveLabel", dialogRect(75, 97, 132, 12),
             QStringLiteral("Source Drive"));
    addLabel(kTargetDriveLabel, "TargetDriveLabel", dialogRect(75, 121, 132, 12),
             QStringLiteral("Target Drive"));
    addLabel(kTotalSizeLabel, "TotalSizeLabel", dialogRect(75, 145, 132, 12), QStringLiteral("Total Size"));
    addLabel(kProgressLabel, "ProgressLabel", dialogRect(75, 169, 132, 12), QStringLiteral("Progress"));
    addLabel(kSourceDriveValue, "SourceDriveValue", dialogRect(208, 96, 189, 13), QStringLiteral("Static"));
    addLabel(kTargetDriveValue, "TargetDriveValue", dialogRect(208, 120, 215, 22), QString());
    addLabel(kTotalSizeValue, "TotalSizeValue", dialogRect(208, 144, 189, 13), QStringLiteral("Static"));
    addLabel(kProgressValue, "ProgressValue", dialogRect(208, 168, 189, 13), QStringLiteral("Static"));

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ImagingProgress"));
    progress_->setGeometry(dialogRect(53, 204, 384, 7));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    controls_[kImagingProgress] = progress_;

    connect(addSkinButton(kHomeButton, "Home", dialogRect(8, 231, 28, 13), Picture::HomeButton,
                          Picture::HomeButtonHover, QStringLiteral("Go to Software Homepage")),
            &QPushButton::clicked, this, &WizardWindow::openHomePage);
    connect(addSkinButton(kAboutButton, "About", dialogRect(101, 231, 30, 13), Picture::AboutButton,
                          Picture::AboutButtonHover, QStringLiteral("About ")),
            &QPushButton::clicked, this, &WizardWindow::showAbout);

    // Made visible: the two Start Recovery buttons, Home and About; the first page then shows its own.
    for (auto& [id, widget] : controls_) {
        if (id != kImageRoadButton && id != kDirectRoadButton && id != kHomeButton && id != kAboutButton)
            widget->hide();
    }
}

ui::SkinButton* WizardWindow::addSkinButton(WizardControl id, const char* name, QRect rect, Picture normal,
                                            Picture hover, const QString& tip) {
    auto* button = new ui::SkinButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(rect);
    setUpPictureButton(*button, normal, hover, tip);
    controls_[id] = button;
    return button;
}

ui::HoverButton* WizardWindow::addHoverButton(WizardControl id, const char* name, int x, int y,
                                              Picture picture, const QString& tip) {
    auto* button = new ui::HoverButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->move(dialogUnitsAcross(x), dialogUnitsDown(y));
    button->loadBitmap(*ProgramResources::instance(), artwork::pictureId(picture));
    button->setTooltipText(tip, true);
    button->setLinkText(tip);
    controls_[id] = button;
    return button;
}

ui::SkinStatic* WizardWindow::addLabel(WizardControl id, const char* name, QRect rect, const QString& text) {
    auto* label = new ui::SkinStatic(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    label->setFont(QStringLiteral("Arial"), 16, 700);
    label->setColours(kLabelColour, kLabelColour, ui::kGradientHorizontal);
    label->setText(text);
    controls_[id] = label;
    return label;
}

QWidget* WizardWindow::control(WizardControl id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

ui::SkinStatic* WizardWindow::label(WizardControl id) const {
    return qobject_cast<ui::SkinStatic*>(control(id));
}

void WizardWindow::setShown(std::initializer_list<int> ids, bool shown) {
    for (int id : ids) controls_.at(id)->setVisible(shown);
}

// ---- Pages

void WizardWindow::showPage(WizardPage page) {
    loadSkin(*ProgramResources::instance(), artwork::pictureId(skinOf(page)));
    update();
    page_ = page;
    switch (page) {
        case WizardPage::Start:
            setShown({kImageRoadButton, kDirectRoadButton}, true);
            setShown({kCreateImageButton, kLoadImageButton, kWizardBackButton, kWizardNextButton,
                      kWizardStopButton, kImagingFrame, kSourceDriveLabel, kTargetDriveLabel, kTotalSizeLabel,
                      kProgressLabel, kSourceDriveValue, kTargetDriveValue, kTotalSizeValue, kProgressValue,
                      kImagingProgress},
                     false);
            break;
        case WizardPage::ImageRoad:
            setShown({kCreateImageButton, kLoadImageButton}, true);
            setShown({kImageRoadButton, kDirectRoadButton, kWizardNextButton, kImagingProgress}, false);
            // Back leads from here to the start page and its direct road, which no page would reach
            // otherwise.
            back_->show();
            break;
        case WizardPage::Imaging:
            setShown({kImagingFrame, kSourceDriveLabel, kTargetDriveLabel, kTotalSizeLabel, kProgressLabel,
                      kSourceDriveValue, kTargetDriveValue, kTotalSizeValue, kProgressValue,
                      kWizardStopButton, kImagingProgress},
                     true);
            setShown({kImageRoadButton, kDirectRoadButton, kCreateImageButton, kLoadImageButton,
                      kWizardBackButton},
                     false);
            break;
    }
}

void WizardWindow::onImageRoad() {
    showPage(WizardPage::ImageRoad);
    pageCounter_ = 1;
}

void WizardWindow::onBack() {
    if (!stop_->isHidden()) {
        programMessage(kImagingRefusal, kCaptionTapeMedia, kMessageNotice);
        return;
    }
    if (pageCounter_ == 1) {
        showPage(WizardPage::Start);
    } else if (pageCounter_ == 2) {
        showPage(WizardPage::Start);
        pageCounter_ = 1;
    }
}

void WizardWindow::onNext() {
    if (pageCounter_ != 1) return;
    showPage(WizardPage::Imaging);
    pageCounter_ = 2;
}

// While a copy has not been handed over, its drive and its hand-over are taken: nothing else starts.
bool WizardWindow::refuseWhileImaging() {
    if (!job_) return false;
    programMessage(kImagingRefusal, kCaptionTapeMedia, kMessageNotice);
    return true;
}

// ---- The two roads into a recovery window

void WizardWindow::onDirectRoad() {
    if (refuseWhileImaging()) return;
    DeviceSelectionDialog devices(fields_, this);
    if (devices.exec() != QDialog::Accepted) return;
    fields_.source.isTape = true;
    fields_.source.path = fields_.selectedDevicePath;
    fields_.source.laterSources.clear();  // media loaded before are not this drive's
    fields_.source.mediaOrderNote.clear();
    openRecoveryWindow(AfterRecovery::SamePage);
}

void WizardWindow::onLoadImage() {
    if (refuseWhileImaging()) return;
    FileQuestion question;
    question.kind = FileQuestion::Kind::Open;
    question.title = QStringLiteral("Select image file for recovery...");
    question.filter = kLoadFilter;
    // Several files chosen together are the media of one backup.
    std::vector<std::string> paths;
    for (const QString& path : files_->askSeveral(this, question))
        paths.push_back(QFile::encodeName(path).toStdString());
    if (paths.empty()) return;
    std::string error;
    auto source = sourceForFiles(fields_.source, paths, error);
    if (!source) {
        programError(error);
        return;
    }
    fields_.source = std::move(*source);
    openRecoveryWindow(AfterRecovery::SamePage);
}

void WizardWindow::openRecoveryWindow(AfterRecovery after) {
    auto* window = new RecoveryWindow(fields_.source);
    window->setWindowModality(Qt::ApplicationModal);
    recovery_ = window;
    connect(window, &QDialog::finished, this, [this, after] { onRecoveryClosed(after); });
    hide();
    window->show();
    emit recoveryWindowOpened(window);
}

void WizardWindow::onRecoveryClosed(AfterRecovery after) {
    if (recovery_) recovery_->deleteLater();
    recovery_ = nullptr;
    showNormal();
    if (after == AfterRecovery::ImageRoadPage) backToImagePage();
    emit recoveryWindowClosed();
}

// After a copy: Stop goes, the Back rule leaves the imaging page, and the image page is shown.
void WizardWindow::backToImagePage() {
    stop_->hide();
    onBack();
    onImageRoad();
}

// ---- Creating an image

void WizardWindow::createImage() {
    if (refuseWhileImaging()) return;
    {
        DeviceSelectionDialog devices(fields_, this);
        if (devices.exec() != QDialog::Accepted) return;
    }
    const QString target = askImageTargetPath();
    if (target.isEmpty()) return;
    if (needsLargeImageWarning(fileSystemOf_(target.toStdString()), fields_.selectedCapacity) &&
        programMessage(kLargeImageWarning, kCaptionTapeMediaMixedCase, kMessageQuestion) !=
            ui::MessageAnswer::Yes) {
        return;
    }
    const std::string device = fields_.selectedDevicePath;
    label(kSourceDriveValue)->setText(QString::fromStdString(device));
    label(kTargetDriveValue)->setText(target);
    showPage(WizardPage::Imaging);

    job_ = std::make_unique<ImagingJob>(fields_.source.tapeDevices, device, target.toStdString(),
                                        fields_.stopImaging);
    job_->start();
    imagingTimer_.start();
}

QString WizardWindow::askImageTargetPath() {
    FileQuestion question;
    question.kind = FileQuestion::Kind::Save;
    question.initialName = QStringLiteral("TapeMediaImage");
    question.defaultSuffix = QStringLiteral("img");
    question.filter = kImageFilter;
    question.overwritePrompt = true;
    const QString chosen = files_->ask(this, question);
    if (chosen.isEmpty()) return {};
    const std::string path = withImageExtension(chosen.toStdString());
    // The dialog asked about the name it was given; a file under the lengthened name is not replaced
    // without asking either.
    std::error_code error;
    if (path != chosen.toStdString() && std::filesystem::exists(path, error)) {
        const QString question = plainMessageText(QString::fromStdString(path)) +
                                 QStringLiteral(" already exists.\nDo you want to replace it?");
        if (programMessage(question, kCaptionTapeMedia, kMessageQuestion) != ui::MessageAnswer::Yes)
            return {};
    }
    return QString::fromStdString(path);
}

// The copy holds at its next block while the question is open: Yes stops it there, No lets it go on. (The
// end of a copy is not taken while a question is open either; see takeImagingProgress.)
void WizardWindow::onStop() {
    if (job_) job_->hold();
    if (programMessage(kStopQuestion, kCaptionTapeMedia, kMessageQuestion) == ui::MessageAnswer::No) {
        if (job_) job_->resume();
        return;
    }
    stop_->hide();
    if (job_) {
        job_->requestStop();
    } else {
        fields_.stopImaging.store(1);
    }
}

void WizardWindow::takeImagingProgress() {
    if (!job_) {
        imagingTimer_.stop();
        return;
    }
    const ImagingSnapshot snapshot = job_->take();
    if (!snapshot.progressLabel.empty())
        label(kProgressValue)->setText(QString::fromStdString(snapshot.progressLabel));
    if (!snapshot.totalSize.empty())
        label(kTotalSizeValue)->setText(QString::fromStdString(snapshot.totalSize));
    progress_->setValue(std::clamp(snapshot.progress, 0, 100));
    // A copy that ends while one of the window's questions (or the about box) is open waits for the answer:
    // the recovery window would open over the question, which would come back after it, answering for a
    // copy that is no more.
    if (snapshot.finished && QApplication::activeModalWidget() == nullptr) endImaging(snapshot);
}

void WizardWindow::endImaging(const ImagingSnapshot& snapshot) {
    imagingTimer_.stop();
    job_->join();
    const std::string imagePath = job_->imagePath();
    job_.reset();
    const tape::ImageCopyResult& result = snapshot.result;
    emit imagingEnded();
    if (!result.error.empty()) {
        label(kProgressValue)->setText(QStringLiteral("Image creation failed"));
        programMessage(QStringLiteral("The tape could not be copied into the image:\n") +
                           plainMessageText(QString::fromStdString(result.error)),
                       kCaptionTapeMedia, kMessageError);
        if (result.copied == 0) {
            backToImagePage();
            return;
        }
    } else if (result.stopped || result.gaveUp) {
        // An image of the tape's beginning only: the user is told before it is scanned.
        const QString how = result.stopped
                                ? QStringLiteral("The copy was stopped")
                                : QStringLiteral("The copy gave up after %1 unreadable blocks in a row")
                                      .arg(tape::kMaxConsecutiveReadFailures);
        programMessage(
            how + QStringLiteral(": the image is incomplete. It holds the first %1 bytes of the tape:\n%2")
                      .arg(groupedNumber(result.copied), plainMessageText(QString::fromStdString(imagePath))),
            kCaptionTapeMedia, kMessageNotice);
    }
    fields_.source.isTape = false;
    fields_.source.path = imagePath;
    fields_.source.laterSources.clear();
    fields_.source.mediaOrderNote.clear();
    openRecoveryWindow(AfterRecovery::ImageRoadPage);
}

// ---- Home, About, help, keys and the exit

void WizardWindow::openHomePage() {
    links_->open(QString::fromLatin1(kHomePageAddress));
}

void WizardWindow::showAbout() {
    AboutBox about(this);
    about.exec();
}

void WizardWindow::showHelp() {
    app::showHelp(programHelpPlaces(startDirectory_), links_, this);
}

void WizardWindow::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Escape:  // never closes the window
        case Qt::Key_Return:  // never presses a button
        case Qt::Key_Enter:
            e->accept();
            return;
        case Qt::Key_F1:
            e->accept();
            showHelp();
            return;
        default:
            ui::SkinBackground::keyPressEvent(e);
    }
}

// The window's menu: the about entry, where the system menu would carry it.
void WizardWindow::contextMenuEvent(QContextMenuEvent* e) {
    const auto text = ProgramResources::instance()->string(kAboutString);
    if (!text || text->isEmpty()) return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("WindowMenu"));
    QAction* about = menu.addAction(*text);
    if (menu.exec(e->globalPos()) == about) showAbout();
}

// The close box, Alt+F4 and the window manager's close all come here.
void WizardWindow::reject() {
    showNormal();
    raise();
    if (programMessage(QStringLiteral("Do you really want to exit?"), kCaptionTapeMediaMixedCase,
                       kMessageQuestion) != ui::MessageAnswer::Yes) {
        return;
    }
    openHomePage();
    // A running copy stops at its next read and closes its image, so that what was read is kept whole.
    imagingTimer_.stop();
    job_.reset();
    done(QDialog::Accepted);
}

}  // namespace ostrum::app
