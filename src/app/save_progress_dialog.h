// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saving the ticked files: the progress dialog (template 152), the worker that runs the saving engine
// while the dialog shows where it is, and the account given when it has ended.

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/scan_source.h"
#include "catalog/catalog.h"
#include "save/save_files.h"
#include "save/save_folders.h"
#include "ui/msgbox/message_box_params.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace ostrum::app {

// How far a save has come: what the dialog's bar and its count text both show. A file counts as its length
// plus kFileWeight bytes, about what naming, making and closing it costs: by bytes alone the bar stood near
// its end while thousands of small files were still to come, by files alone it would stand still while one
// large file is saved.
struct SaveProgress {
    static constexpr std::uint64_t kFileWeight = 64 * 1024;
    std::uint64_t bytesDone = 0;  // of the files' lengths, as the engine reports them
    std::uint64_t bytesTotal = 0;
    std::size_t filesStarted = 0;  // the file being saved counts
    std::size_t filesTotal = 0;

    std::uint64_t done() const;
    std::uint64_t total() const;
};

class SaveProgressDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kBarSteps = 1000;

    explicit SaveProgressDialog(QWidget* parent = nullptr);

    void setSource(const QString& text);
    void setDestination(const QString& text);
    void setCurrentFile(const QString& text);
    void setCount(const QString& text);
    void setProgress(std::uint64_t done, std::uint64_t total);
    // The bar and the count text from one measure: "37% saved, file 35779 of 537699".
    void showProgress(const SaveProgress& progress);
    bool cancelRequested() const { return cancelRequested_; }

    QLabel* sourceText() const { return source_; }
    QLabel* destinationText() const { return destination_; }
    QLabel* currentFileText() const { return current_; }
    QLabel* countText() const { return count_; }
    QProgressBar* progressBar() const { return bar_; }
    QPushButton* cancelButton() const { return cancel_; }

  signals:
    void cancelled();

  protected:
    // Cancel, Escape and the close box ask the save to stop; the dialog closes once it has.
    void reject() override;

  private:
    QLabel* source_;
    QLabel* destination_;
    QLabel* current_;
    QLabel* count_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    bool cancelRequested_ = false;
};

// Runs the save on a worker thread while `dialog` shows its progress (the dialog runs modally until the
// worker ends). Cancel stops the engine at its next check.
save::SaveReport runSave(const std::vector<save::SaveItem>& items, const save::SaveRequest& request,
                         SaveProgressDialog& dialog);

// The message given when a save has ended: one text, and every file not saved whole with its reason (and
// every folder not made or dated) for the details area, which scrolls. Files the user chose to skip are
// counted, not listed: an account with nothing else to say is no warning. Names and paths are plain text,
// never mark-up.
struct SaveAccount {
    QString text;
    QString details;
    ui::MessageStyle style;
};
SaveAccount saveAccount(const save::SaveReport& report, const QString& destination,
                        const save::FolderReport& folders = {});
// Shows the account in the program's message box, its details behind "More >>".
void showSaveAccount(const SaveAccount& account);

// The question asked when the name a file should get is taken in the destination (`destination` is
// where it goes below `folder`), and what its answer means. Its buttons are its own, "Keep both",
// "Replace" and "Skip" in that order; closing the question (its close box or Escape) keeps both; ticking
// "Do this for the rest" makes the answer hold for every later taken name.
QString existingFileQuestion(std::string_view destination, const QString& folder);
enum class TakenNameButton : std::uint8_t { KeepBoth, Replace, Skip };
// The answer the message box gives for each button: they are its custom buttons, in order.
constexpr ui::MessageAnswer takenNameAnswer(TakenNameButton button) {
    switch (button) {
        case TakenNameButton::KeepBoth:
            return ui::MessageAnswer::Custom1;
        case TakenNameButton::Replace:
            return ui::MessageAnswer::Custom2;
        case TakenNameButton::Skip:
            return ui::MessageAnswer::Custom3;
    }
    return ui::MessageAnswer::None;
}
save::ExistingFileAnswer existingFileAnswer(ui::MessageAnswer answer, bool forTheRest);
inline constexpr char kForTheRest[] = "Do this for the rest";

// The save command: the ticked files of `catalog` from `source` into a folder that `chooseFolder` asks
// for (the platform's folder dialog when empty), with the progress dialog and the account. Once the files
// are written, the folders of the selection are made and given their DIRB dates, as extract does.
void saveSelection(QWidget& owner, const catalog::Catalog& catalog, const ScanSource& source,
                   const std::function<QString()>& chooseFolder);

}  // namespace ostrum::app
