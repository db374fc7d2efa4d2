#pragma once
// Saving the ticked files: the progress dialog (template 152), the worker that runs the saving engine
// while the dialog shows where it is, and the account given when it has ended.

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

#include "catalog/catalog.h"
#include "scan_source.h"
#include "selection/save_files.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace ostrum::app {

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
selection::SaveReport RunSave(const std::vector<selection::SaveItem>& items,
                              const selection::SaveRequest& request, SaveProgressDialog& dialog);

// The message given when a save has ended: one text, and the files not saved whole with their reasons
// for the details area. Names and paths are plain text, never mark-up.
struct SaveAccount {
    QString text;
    QString details;
    std::uint32_t style = 0;
};
SaveAccount saveAccount(const selection::SaveReport& report, const QString& destination);

// The question asked when the name a file should get is taken in the destination (`destination` is
// where it goes below `folder`), and what its answer means. Its buttons are the box's Cancel, Try Again
// and Continue renamed "Keep both", "Replace" and "Skip", so that closing the question (which answers
// Cancel) keeps both; ticking "Do this for the rest" makes the answer hold for every later taken name.
QString existingFileQuestion(std::string_view destination, const QString& folder);
selection::ExistingFileAnswer existingFileAnswer(int button, bool forTheRest);
inline constexpr char kForTheRest[] = "Do this for the rest";

// The save command: the ticked files of `catalog` from `source` into a folder that `chooseFolder` asks
// for (the platform's folder dialog when empty), with the progress dialog and the account.
void SaveSelection(QWidget& owner, const catalog::Catalog& catalog, const ScanSource& source,
                   const std::function<QString()>& chooseFolder);

}  // namespace ostrum::app
