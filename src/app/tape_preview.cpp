// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tape_preview.h"

#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>

#include "app/catalog_models.h"
#include "app/resources/program_message.h"
#include "common/worker_thread.h"

namespace ostrum::app {
namespace {

constexpr int kLookMs = 100;

// Reads the preview on its own thread; the window's thread looks at how far it has come.
class TapePreviewWorker {
  public:
    TapePreviewWorker(const save::SaveItem& item, const ScanSource& source)
        : item_(item), devices_(source.tapeDevices) {
        request_.sourceIsTape = true;
        request_.sourcePath = source.path;
        request_.laterSources = source.laterSources;  // several drives: refused, as the save refuses them
        request_.tapeDevices = devices_.get();
    }
    ~TapePreviewWorker() { thread_.StopAndJoin(); }
    TapePreviewWorker(const TapePreviewWorker&) = delete;
    TapePreviewWorker& operator=(const TapePreviewWorker&) = delete;

    void start() {
        thread_.Start([this] {
            try {
                preview_ = save::ReadPreview(item_, request_, thread_.stopFlag(),
                                             [this](std::uint64_t read) { read_.store(read); });
            } catch (const std::exception& failure) {
                preview_.error = std::string("the preview stopped: ") + failure.what();
            }
            finished_.store(true, std::memory_order_release);
        });
    }
    void cancel() { thread_.RequestStop(); }
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    std::uint64_t read() const { return read_.load(); }
    // Once finished(): what was read.
    save::FilePreview finish() {
        thread_.Join();
        return std::move(preview_);
    }

  private:
    const save::SaveItem item_;
    const std::shared_ptr<tape::TapeDevices> devices_;  // kept open for the worker
    save::SaveRequest request_;
    std::atomic<std::uint64_t> read_{0};
    std::atomic<bool> finished_{false};
    save::FilePreview preview_;  // the worker's until finished_
    common::WorkerThread thread_;
};

}  // namespace

QString tapePreviewQuestion(const std::string& device, std::uint64_t dataOffset) {
    return QStringLiteral(
               "Preview reads the tape in %1 from its start to this file: about %2 bytes. It may take "
               "a while. Read it?")
        .arg(QString::fromStdString(device), groupedNumber(dataOffset));
}

TapePreviewProgress::TapePreviewProgress(const QString& device, std::uint64_t expected, QWidget* parent)
    : QProgressDialog(parent), device_(device), expected_(std::max<std::uint64_t>(expected, 1)) {
    setObjectName(QStringLiteral("TapePreviewProgress"));
    setWindowTitle(QStringLiteral("Preview"));
    setWindowModality(Qt::ApplicationModal);
    setAutoClose(false);
    setAutoReset(false);
    setMinimumDuration(0);
    setRange(0, kBarSteps);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("TapePreviewCancel"));
    setCancelButton(cancel_);
    // The button asks the worker to stop; the dialog stays until the worker has.
    // (QProgressDialog makes that connection by name, so it is undone by name.)
    disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
    connect(this, &QProgressDialog::canceled, this, &TapePreviewProgress::reject);
    showRead(0);
}

void TapePreviewProgress::showRead(std::uint64_t read) {
    if (!cancelRequested_) {
        setLabelText(QStringLiteral("Reading the tape in %1: %2 of about %3 bytes")
                         .arg(device_, groupedNumber(read), groupedNumber(expected_)));
    }
    setValue(static_cast<int>(std::min<std::uint64_t>(read, expected_) * kBarSteps / expected_));
}

void TapePreviewProgress::reject() {
    if (cancelRequested_) return;
    cancelRequested_ = true;
    cancel_->setEnabled(false);
    setLabelText(QStringLiteral("Cancelling: the read under way ends first..."));
    emit cancelRequest();
}

std::optional<save::FilePreview> readTapePreview(QWidget& owner, const save::SaveItem& item,
                                                 const ScanSource& source) {
    TapePreviewWorker worker(item, source);
    if (item.dataOffset && item.chunkIndex) {
        if (programMessage(tapePreviewQuestion(source.path, *item.dataOffset), kCaptionTapeMedia,
                           kMessageQuestion) != ui::MessageAnswer::Yes) {
            return std::nullopt;
        }
    }
    const std::uint64_t shown = std::min<std::uint64_t>(item.size.value_or(0), save::kPreviewBytes);
    TapePreviewProgress dialog(QString::fromStdString(source.path), item.dataOffset.value_or(0) + shown,
                               &owner);
    QObject::connect(&dialog, &TapePreviewProgress::cancelRequest, &dialog, [&worker] { worker.cancel(); });
    QTimer look;
    look.setInterval(kLookMs);
    QObject::connect(&look, &QTimer::timeout, &dialog, [&] {
        dialog.showRead(worker.read());
        if (worker.finished()) dialog.accept();
    });
    worker.start();
    look.start();
    dialog.exec();
    look.stop();
    save::FilePreview preview = worker.finish();
    if (preview.cancelled) return std::nullopt;
    return preview;
}

}  // namespace ostrum::app
