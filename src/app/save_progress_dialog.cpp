// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/save_progress_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>

#include "app/catalog_models.h"
#include "app/dialog_units.h"
#include "app/resources/program_message.h"
#include "common/saturating.h"
#include "common/worker_thread.h"
#include "ui/msgbox/message_box.h"
#include "ui/msgbox/message_box_dialog.h"

namespace ostrum::app {
namespace {

using save::SaveOutcome;

constexpr int kLookMs = 100;

QLabel* label(QWidget* parent, const QRect& area, const QString& text, const char* name) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(area);
    return l;
}

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What the worker has done so far, taken by the window thread now and then.
struct SaveState {
    std::string file;  // below the destination
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    std::size_t started = 0;
    bool finished = false;
    std::optional<std::string> question;  // a taken name the worker waits to hear about
};

// The question of a taken name. The message box is made here rather than through the message call,
// whose result tells whether its check box was ticked only for boxes whose check box starts ticked.
save::ExistingFileAnswer askAboutTakenName(const QString& question) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return {};
    ui::MessageBoxParams params = standardMessageParams();
    params.customButtons = QStringLiteral("Keep both\nReplace\nSkip");  // in TakenNameButton's order
    params.escapeAnswer = takenNameAnswer(TakenNameButton::KeepBoth);
    params.checkBoxText = ui::MessageText(QString::fromLatin1(kForTheRest));
    const ui::MessageStyle style{ui::MessageButtons::None, ui::MessageIcon::Question, 0,
                                 ui::MessageOption::DontShowAgain};
    ui::MessageBoxDialog box(ui::prepareMessageParams(
        nullptr, ui::MessageText(question), QString::fromLatin1(kCaptionTapeMedia), style, &params));
    box.exec();
    return existingFileAnswer(box.answer(), box.checkBox() != nullptr && box.checkBox()->isChecked());
}

// Runs the engine on its own thread and keeps what it reports for the window thread.
class SaveWorker final : public save::SaveSink {
  public:
    SaveWorker(const std::vector<save::SaveItem>& items, const save::SaveRequest& request)
        : items_(items), request_(request) {}
    ~SaveWorker() override { thread_.StopAndJoin(); }

    void start() {
        thread_.Start([this] {
            save::SaveReport report;
            try {
                report = save::SaveFiles(items_, request_, *this, thread_.stopFlag());
            } catch (const std::exception& failure) {
                report.error = std::string("the save stopped: ") + failure.what();
            }
            std::lock_guard lock(mutex_);
            report_ = std::move(report);
            state_.finished = true;
        });
    }
    void cancel() { thread_.RequestStop(); }
    // The window thread's answer to the question in the state.
    void answer(const save::ExistingFileAnswer& answer) {
        std::lock_guard lock(mutex_);
        answer_ = answer;
        state_.question.reset();
        answered_.notify_all();
    }
    SaveState take() const {
        std::lock_guard lock(mutex_);
        return state_;
    }
    save::SaveReport finish() {
        thread_.Join();
        return std::move(report_);
    }

    void FileStarted(std::size_t, std::string_view destination) override {
        std::lock_guard lock(mutex_);
        state_.file.assign(destination);
        ++state_.started;
    }
    void Progress(std::uint64_t done, std::uint64_t total) override {
        std::lock_guard lock(mutex_);
        state_.done = done;
        state_.total = total;
    }
    // Asked on the saving thread: the question waits in the state until the window thread, which looks
    // at the state a few times a second, has asked the user. A cancelled save keeps both.
    save::ExistingFileAnswer AskExisting(std::size_t, std::string_view destination) override {
        std::unique_lock lock(mutex_);
        state_.question = std::string(destination);
        answered_.wait(lock, [this] { return answer_.has_value() || thread_.stopRequested(); });
        const save::ExistingFileAnswer answer = answer_.value_or(save::ExistingFileAnswer{});
        answer_.reset();
        state_.question.reset();
        return answer;
    }

  private:
    const std::vector<save::SaveItem>& items_;
    const save::SaveRequest& request_;
    mutable std::mutex mutex_;
    std::condition_variable answered_;
    std::optional<save::ExistingFileAnswer> answer_;
    SaveState state_;
    save::SaveReport report_;
    // A cancel also wakes a question waiting for its answer: under the lock, so that the wait, which tests
    // the flag under it, cannot miss it.
    common::WorkerThread thread_{[this] {
        std::lock_guard lock(mutex_);
        answered_.notify_all();
    }};
};

bool savedComplete(const save::FileResult& file) {
    return file.outcome == SaveOutcome::Saved || file.outcome == SaveOutcome::SavedRenamed;
}

// A file whose data do not give the checksum the medium recorded is kept, but it is not whole.
bool savedWhole(const save::FileResult& file) {
    return savedComplete(file) && file.decoded && file.checksum != save::ChecksumCheck::Mismatch;
}

std::uint64_t bytesOf(const std::vector<save::SaveItem>& items) {
    std::uint64_t total = 0;
    for (const save::SaveItem& item : items) total = common::SaturatingAdd(total, item.size.value_or(0));
    return total;
}

QString detailLine(const save::FileResult& file) {
    const std::string reason =
        file.reason.empty() ? std::string(save::OutcomeText(file.outcome)) : file.reason;
    return plainMessageText(utf8(file.catalogPath)) + QStringLiteral(": ") + plainMessageText(utf8(reason));
}

// The source's media in the order they are read, joined by ", ".
QString mediaText(const ScanSource& source) {
    QString text = utf8(source.path);
    for (const std::string& later : source.laterSources) text += QStringLiteral(", ") + utf8(later);
    return text;
}

}  // namespace

std::uint64_t SaveProgress::done() const {
    return common::SaturatingAdd(std::min(bytesDone, bytesTotal),
                                 std::min(filesStarted, filesTotal) * kFileWeight);
}

std::uint64_t SaveProgress::total() const {
    return common::SaturatingAdd(bytesTotal, filesTotal * kFileWeight);
}

SaveProgressDialog::SaveProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("SaveProgressDialog"));
    setWindowTitle(QStringLiteral("Saving files..."));
    setModal(true);
    setFixedSize(dialogUnitsAcross(329), dialogUnitsDown(163));
    // Each name on the line of its value, the values in one column.
    label(this, dialogRect(14, 14, 50, 11), QStringLiteral("Source :"), "SourceLabel");
    source_ = label(this, dialogRect(68, 14, 254, 11), {}, "SourceText");
    label(this, dialogRect(14, 30, 50, 11), QStringLiteral("Save Path :"), "SavePathLabel");
    destination_ = label(this, dialogRect(68, 30, 254, 11), {}, "SavePathText");
    current_ = label(this, dialogRect(14, 46, 294, 57), {}, "CurrentFileText");
    current_->setWordWrap(true);
    current_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("SaveProgress"));
    bar_->setGeometry(dialogRect(31, 111, 276, 7));
    bar_->setRange(0, kBarSteps);
    bar_->setTextVisible(false);
    count_ = label(this, dialogRect(24, 124, 286, 11), {}, "CountText");
    count_->setAlignment(Qt::AlignCenter);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("Cancel"));
    cancel_->setGeometry(dialogRect(137, 142, 50, 14));
    connect(cancel_, &QPushButton::clicked, this, &SaveProgressDialog::reject);
}

void SaveProgressDialog::setSource(const QString& text) {
    source_->setText(text);
}
void SaveProgressDialog::setDestination(const QString& text) {
    destination_->setText(text);
}
void SaveProgressDialog::setCurrentFile(const QString& text) {
    current_->setText(text);
}
void SaveProgressDialog::setCount(const QString& text) {
    count_->setText(text);
}

void SaveProgressDialog::setProgress(std::uint64_t done, std::uint64_t total) {
    const double part =
        total == 0 ? 0.0 : static_cast<double>(std::min(done, total)) / static_cast<double>(total);
    bar_->setValue(static_cast<int>(part * kBarSteps));
}

void SaveProgressDialog::showProgress(const SaveProgress& progress) {
    setProgress(progress.done(), progress.total());
    constexpr int stepsPerPercent = kBarSteps / 100;
    setCount(QStringLiteral("%1% saved, file %2 of %3")
                 .arg(bar_->value() / stepsPerPercent)
                 .arg(groupedNumber(progress.filesStarted), groupedNumber(progress.filesTotal)));
}

void SaveProgressDialog::reject() {
    if (cancelRequested_) return;
    cancelRequested_ = true;
    cancel_->setEnabled(false);
    setCurrentFile(QStringLiteral("Cancelling: the file being written is finished or removed..."));
    emit cancelled();
}

save::SaveReport runSave(const std::vector<save::SaveItem>& items, const save::SaveRequest& request,
                         SaveProgressDialog& dialog) {
    SaveWorker worker(items, request);
    SaveProgress progress{.bytesTotal = bytesOf(items), .filesTotal = items.size()};
    const QString folder = QFile::decodeName(request.destination.c_str());
    bool asking = false;  // the look comes again while the question is open
    QTimer look;
    look.setInterval(kLookMs);
    QObject::connect(&dialog, &SaveProgressDialog::cancelled, &dialog, [&worker] { worker.cancel(); });
    QObject::connect(&look, &QTimer::timeout, &dialog, [&] {
        const SaveState state = worker.take();
        if (!dialog.cancelRequested() && !state.file.empty()) {
            dialog.setCurrentFile(QStringLiteral("Saving ") + utf8(state.file));
        }
        progress.bytesDone = state.done;
        progress.filesStarted = state.started;
        dialog.showProgress(progress);
        if (state.question && !asking) {
            asking = true;
            worker.answer(askAboutTakenName(existingFileQuestion(*state.question, folder)));
            asking = false;
        }
        if (state.finished) dialog.accept();
    });
    worker.start();
    look.start();
    dialog.exec();
    look.stop();
    return worker.finish();
}

QString existingFileQuestion(std::string_view destination, const QString& folder) {
    const QString relative = utf8(destination);
    const auto slash = relative.lastIndexOf(u'/');
    const QString name = relative.mid(slash + 1);
    const QString where = slash < 0 ? folder : folder + u'/' + relative.left(slash);
    return QStringLiteral(
               "A file named \"%1\" is already in %2.\nReplace it with the one from the medium, keep "
               "both (the one from the medium gets a free name), or skip it?")
        .arg(plainMessageText(name), plainMessageText(where));
}

save::ExistingFileAnswer existingFileAnswer(ui::MessageAnswer answer, bool forTheRest) {
    switch (answer) {
        case takenNameAnswer(TakenNameButton::Replace):
            return {save::ExistingFiles::Overwrite, forTheRest};
        case takenNameAnswer(TakenNameButton::Skip):
            return {save::ExistingFiles::Skip, forTheRest};
        case takenNameAnswer(TakenNameButton::KeepBoth):  // also the close box and Escape
            return {save::ExistingFiles::KeepBoth, forTheRest};
        default:  // the box could not be shown
            return {};
    }
}

SaveAccount saveAccount(const save::SaveReport& report, const QString& destination,
                        const save::FolderReport& folders) {
    const QString where = plainMessageText(destination);
    const std::size_t total = report.files.size();
    std::size_t whole = 0;
    std::size_t renamed = 0;
    std::size_t skipped = 0;  // by the user's answer to a taken name
    std::size_t notWhole = 0;
    std::size_t notReached = 0;
    QStringList lines;
    for (const save::FileResult& file : report.files) {
        if (savedWhole(file)) {
            ++whole;
            if (file.outcome == SaveOutcome::SavedRenamed) ++renamed;
        } else if (file.outcome == SaveOutcome::Skipped) {
            ++skipped;
        } else if (file.outcome == SaveOutcome::Cancelled && file.bytesWritten == 0) {
            ++notWhole;
            ++notReached;  // counted in one line below
        } else {
            ++notWhole;
            lines << detailLine(file);
        }
    }
    if (notReached > 0) {
        lines << QStringLiteral("%1 files not reached before the save was cancelled")
                     .arg(groupedNumber(notReached));
    }
    for (const std::string& error : folders.notMade)
        lines << QStringLiteral("Folder not made: ") + plainMessageText(utf8(error));
    for (const std::string& error : folders.notDated)
        lines << QStringLiteral("Folder date not set: ") + plainMessageText(utf8(error));
    const bool folderTrouble = !folders.notMade.empty() || !folders.notDated.empty();

    SaveAccount account;
    account.details = lines.join(u'\n');
    account.style = {ui::MessageButtons::Ok, ui::MessageIcon::Warning};
    if (!report.error.empty()) {
        account.text =
            QStringLiteral("The files could not be saved: %1").arg(plainMessageText(utf8(report.error)));
    } else if (notWhole == 0) {
        if (skipped == 0) {
            account.text =
                total == 1
                    ? QStringLiteral("The file was saved in %1.").arg(where)
                    : QStringLiteral("All %1 files were saved in %2.").arg(groupedNumber(total), where);
        } else if (whole == 0) {
            account.text =
                skipped == 1
                    ? QStringLiteral("Nothing was saved in %1: the file was skipped, as you chose.")
                          .arg(where)
                    : QStringLiteral("Nothing was saved in %1: the %2 files were skipped, as you chose.")
                          .arg(where, groupedNumber(skipped));
        } else {
            account.text = QStringLiteral("%1 of %2 files were saved in %3.")
                               .arg(groupedNumber(whole), groupedNumber(total), where);
        }
        if (renamed > 0) {
            account.text +=
                QStringLiteral(" %1 of them got a new name, as a file of that name was there already.")
                    .arg(groupedNumber(renamed));
        }
        if (skipped > 0 && whole > 0) {
            account.text += QStringLiteral(" The other %1 %2 skipped, as you chose.")
                                .arg(groupedNumber(skipped),
                                     skipped == 1 ? QStringLiteral("was") : QStringLiteral("were"));
        }
        if (folderTrouble) {
            account.text += QStringLiteral(" The details say which folders could not be made or dated.");
        } else {
            account.style = kMessageInformation;
        }
    } else {
        const QString skips =
            skipped == 0 ? QString()
                         : QStringLiteral(" and %1 skipped, as you chose").arg(groupedNumber(skipped));
        account.text =
            QStringLiteral(
                "%1 of %2 files were saved whole in %3%4; the details say why the other %5 were not.")
                .arg(groupedNumber(whole), groupedNumber(total), where, skips, groupedNumber(notWhole));
        if (report.cancelled) account.text += QStringLiteral(" The save was cancelled.");
    }
    return account;
}

void showSaveAccount(const SaveAccount& account) {
    ui::MessageBoxParams params = standardMessageParams();
    params.detailsText = ui::MessageText(account.details);
    ui::showMessageBox(nullptr, ui::MessageText(account.text), QString::fromLatin1(kCaptionTapeMedia),
                       account.style, &params);
}

void saveSelection(QWidget& owner, const catalog::Catalog& catalog, const ScanSource& source,
                   const std::function<QString()>& chooseFolder) {
    if (source.isTape && !source.laterSources.empty()) {
        // The save reads a tape once from its start; several drives would be read at once.
        programMessage(
            QStringLiteral("The files could not be saved: ") + QString::fromLatin1(save::kOneTapeAtATime),
            kCaptionTapeMedia, kMessageNotice);
        return;
    }
    const std::vector<save::SaveItem> items = save::CheckedItems(catalog);
    if (items.empty()) {
        programMessage(QStringLiteral("No file is ticked: tick the files to save first."), kCaptionTapeMedia,
                       kMessageNotice);
        return;
    }
    const QString folder = chooseFolder
                               ? chooseFolder()
                               : QFileDialog::getExistingDirectory(
                                     &owner, QStringLiteral("Choose the folder to save the files in"));
    if (folder.isEmpty()) return;

    save::SaveRequest request;
    request.sourceIsTape = source.isTape;
    request.sourcePath = source.path;
    request.destination = QFile::encodeName(folder).toStdString();
    request.tapeDevices = source.tapeDevices.get();
    request.existing = save::ExistingFiles::Ask;
    request.laterSources = source.laterSources;

    SaveProgressDialog dialog(&owner);
    dialog.setSource(mediaText(source));
    dialog.setDestination(folder);
    const save::SaveReport report = runSave(items, request, dialog);
    const save::FolderReport folders = save::FinishFoldersOfSave(catalog, report, request.destination);

    showSaveAccount(saveAccount(report, folder, folders));
}

}  // namespace ostrum::app
