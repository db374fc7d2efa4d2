// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// WizardWindow: the program's main window, from which the user chooses how to recover. Its pages are
// a choice of picture and of shown buttons:
//   the start page offers both roads: copy the tape into an image first (recommended), or recover
//     directly from a tape drive;
//   the image page offers Create Image and Load Image (and Back to the start page);
//   the imaging page shows the copy of a tape into an image, with Stop.
// Both roads end in the recovery window, which the wizard opens on the window's thread and hides
// itself behind. It also offers the about box, the help (F1) and the product's home page, and asks
// before the program ends. Closing it during a copy stops the copy and closes the image first.

#include <QPointer>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>
#include <string>

#include "app/file_name_asker.h"
#include "app/image_target.h"
#include "app/imaging_job.h"
#include "app/resources/artwork_names.h"
#include "app/resources/program_help.h"
#include "app/scan_source.h"
#include "ui/platform/link_opener.h"
#include "ui/skin/skin_background.h"

class QGroupBox;
class QProgressBar;

namespace ostrum::ui {
class HoverButton;
class SkinButton;
class SkinStatic;
}  // namespace ostrum::ui

namespace ostrum::app {

class RecoveryWindow;

// Ids of the window's controls, as the template numbers them.
enum WizardControl : int {
    kImageRoadButton = 1000,   // Start Recovery of the image road (start page)
    kDirectRoadButton = 1001,  // Start Recovery of the direct road (start page)
    kCreateImageButton = 1002,
    kLoadImageButton = 1003,
    kWizardBackButton = 1004,
    kWizardNextButton = 1005,
    kWizardStopButton = 1006,
    kImagingFrame = 1007,
    kSourceDriveLabel = 1008,
    kTargetDriveLabel = 1009,
    kTotalSizeLabel = 1010,
    kProgressLabel = 1011,
    kSourceDriveValue = 1012,
    kTargetDriveValue = 1013,
    kTotalSizeValue = 1014,
    kProgressValue = 1015,
    kImagingProgress = 1019,
    kHomeButton = 1032,
    kAboutButton = 1036,
};

enum class WizardPage { Start, ImageRoad, Imaging };

// The product's home page, opened by Home and when the program ends.
inline constexpr char kHomePageAddress[] = "https://www.brivane.com/ostrum-tape/";

class WizardWindow : public ui::SkinBackground {
    Q_OBJECT
  public:
    // How often the window looks at a running copy.
    static constexpr int kImagingLookMs = 10;

    // `fields` is shared with every window the wizard opens and must outlive it.
    explicit WizardWindow(WizardFields& fields, QWidget* parent = nullptr);
    // Stops a running copy and waits for it (the image file is closed) before going.
    ~WizardWindow() override;

    // Shows the window (unless a recovery window is open, which shows it when it closes) and returns when
    // the user has ended the program (a confirmed exit), with the window's result. Unlike exec(), it goes
    // on while the window hides itself behind a recovery window.
    int run();
    // Opens the recovery window on the media the program was started with (the fields' source), read in
    // the order of their sequence numbers. Media that cannot be read as one are refused with the reason
    // in an error box over the image page, before anything is scanned. Either way the image page follows,
    // as after a recovery window opened from it: only the exit question ends the program. Returns the
    // reason of a refusal, empty when the recovery window opened.
    std::string openStartSource();

    WizardPage page() const { return page_; }
    int pageCounter() const { return pageCounter_; }
    QWidget* control(WizardControl id) const;
    ui::SkinStatic* label(WizardControl id) const;
    QProgressBar* imagingProgress() const { return progress_; }
    // The recovery window while one is open.
    RecoveryWindow* recoveryWindow() const { return recovery_; }
    // A copy has been started and not yet handed over.
    bool isImaging() const { return job_ != nullptr; }
    // The copy waits between two reads for the answer to the stop question.
    bool isImagingHeld() const { return job_ && job_->holding(); }
    const QString& startDirectory() const { return startDirectory_; }
    WizardFields& fields() { return fields_; }

    // Where file names are asked for, links opened and file system types read (tests replace them).
    void setFileNameAsker(std::shared_ptr<FileNameAsker> asker) { files_ = std::move(asker); }
    void setLinkOpener(std::shared_ptr<ui::LinkOpener> opener) { links_ = std::move(opener); }
    void setFileSystemProbe(FileSystemProbe probe) { fileSystemOf_ = std::move(probe); }

    // The image-page Create Image command: the drive, the target file, the warning, then the copy.
    void createImage();
    // The save-as question of Create Image: the full path with the ".img" rule applied, or empty.
    QString askImageTargetPath();

  signals:
    void recoveryWindowOpened(ostrum::app::RecoveryWindow* window);
    // The wizard is shown again after a recovery window closed.
    void recoveryWindowClosed();
    // A copy has ended and been taken over by the window's thread.
    void imagingEnded();

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void reject() override;

  private:
    enum class AfterRecovery { SamePage, ImageRoadPage };

    void buildControls();
    ui::SkinButton* addSkinButton(WizardControl id, const char* name, QRect rect, artwork::Picture normal,
                                  artwork::Picture hover, const QString& tip);
    ui::HoverButton* addHoverButton(WizardControl id, const char* name, int x, int y,
                                    artwork::Picture picture, const QString& tip);
    ui::SkinStatic* addLabel(WizardControl id, const char* name, QRect rect, const QString& text);
    void setShown(std::initializer_list<int> ids, bool shown);
    void showPage(WizardPage page);
    bool refuseWhileImaging();
    void openRecoveryWindow(AfterRecovery after);
    void onRecoveryClosed(AfterRecovery after);
    void takeImagingProgress();
    void endImaging(const ImagingSnapshot& snapshot);
    void backToImagePage();

    void onImageRoad();
    void onDirectRoad();
    void onLoadImage();
    void onBack();
    void onNext();
    void onStop();
    void openHomePage();
    void showAbout();
    void showHelp();

    WizardFields& fields_;
    std::shared_ptr<FileNameAsker> files_;
    std::shared_ptr<ui::LinkOpener> links_;
    FileSystemProbe fileSystemOf_;
    std::map<int, QWidget*> controls_;
    ui::SkinButton* back_ = nullptr;
    ui::SkinButton* stop_ = nullptr;
    QProgressBar* progress_ = nullptr;
    WizardPage page_ = WizardPage::ImageRoad;
    int pageCounter_ = 1;
    QString startDirectory_;
    QPointer<RecoveryWindow> recovery_;
    QTimer imagingTimer_;
    std::unique_ptr<ImagingJob> job_;
};

}  // namespace ostrum::app
