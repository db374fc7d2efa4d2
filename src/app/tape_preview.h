// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Preview" of a file on a tape. A tape cannot seek: its preview reads it from its start up to the file
// (save::ReadPreview), which on a real drive may take hours. The window asks first, saying how much it
// will read, then reads on a worker thread while a small modal dialog shows the bytes read so far and
// offers Cancel; the window's thread never waits on the tape.

#include <QProgressDialog>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "app/scan_source.h"
#include "save/file_preview.h"

class QPushButton;

namespace ostrum::app {

// "Preview reads the tape in //./tape0 from its start to this file: about 1,234,567 bytes. It may take a
// while. Read it?"
QString tapePreviewQuestion(const std::string& device, std::uint64_t dataOffset);

// The dialog shown while the tape is read. Cancel, Escape and the close box ask the reading to stop; the
// dialog closes once the read under way has ended.
class TapePreviewProgress : public QProgressDialog {
    Q_OBJECT
  public:
    static constexpr int kBarSteps = 1000;

    // `device` is the drive read; `expected` the bytes the reading should come to.
    TapePreviewProgress(const QString& device, std::uint64_t expected, QWidget* parent = nullptr);

    void showRead(std::uint64_t read);
    QPushButton* cancelButton() const { return cancel_; }

  signals:
    void cancelRequest();

  protected:
    void reject() override;

  private:
    QString device_;
    std::uint64_t expected_;
    QPushButton* cancel_;
    bool cancelRequested_ = false;
};

// Asks whether to read the tape of `source` up to the item, then reads its preview with the progress
// dialog. Nothing when the answer is No or the reading was cancelled. An item that cannot be looked for on
// a tape gets its reason at once, without a question.
std::optional<save::FilePreview> readTapePreview(QWidget& owner, const save::SaveItem& item,
                                                 const ScanSource& source);

}  // namespace ostrum::app
