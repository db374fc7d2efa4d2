// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared pieces of the wizard tests: wizard fields whose drives are only the virtual tapes a test
// attaches (no drive of the machine is probed), virtual tapes written by our MTF writer together with
// the bytes a copy of them must give, a file-name asker that answers from a script, and a driver that
// acts on every dialog (other than a message box) that the wizard runs modally.

#include <QDialog>
#include <QPointer>
#include <cerrno>
#include <deque>
#include <fstream>
#include <functional>

#include "../ui_controls/test_doubles.h"
#include "app/file_name_asker.h"
#include "app/scan_source.h"
#include "app_fixture.h"
#include "tape/linux_tape.h"

namespace ostrum::app::testing {

// A machine without tape drives: every open of a Linux drive finds nothing.
class NoLinuxDrives final : public tape::TapeSystemCalls {
  public:
    tape::SystemResult Open(const std::string&, int) override { return {-1, ENOENT}; }
    tape::SystemResult Close(int) override { return {-1, EBADF}; }
    tape::SystemResult Read(int, std::span<std::uint8_t>) override { return {-1, EBADF}; }
    tape::SystemResult Ioctl(int, unsigned long, void*) override { return {-1, EBADF}; }
};

inline std::shared_ptr<tape::TapeDevices> virtualDrivesOnly() {
    return std::make_shared<tape::TapeDevices>(std::make_shared<NoLinuxDrives>());
}

// Writes `media` as a SIMH tape file and keeps the bytes of its data records, back to back: what a copy
// of the tape into an image must hold.
class TapeWithBytes : public mw::Sink {
  public:
    TapeWithBytes(const std::filesystem::path& path, std::uint32_t blockSize) : tap_(path, blockSize) {}
    void Write(std::span<const std::uint8_t> data) override {
        bytes.insert(bytes.end(), data.begin(), data.end());
        tap_.Write(data);
    }
    void Filemark() override { tap_.Filemark(); }
    void Finish() override { tap_.Finish(); }
    std::uint32_t physicalBlockSize() const override { return tap_.physicalBlockSize(); }

    std::vector<std::uint8_t> bytes;

  private:
    mw::TapFileSink tap_;
};

inline std::vector<std::uint8_t> writeTape(const TestFolder& folder, const std::string& name,
                                           const mw::MediaDescription& media = windowMedia(),
                                           std::uint32_t blockSize = 16384) {
    TapeWithBytes tape(folder.path(name), blockSize);
    mw::WriteMedia(media, tape);
    return tape.bytes;
}

inline std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Answers each question with the next scripted answer (the empty text once the script is used up, as a
// user who cancels), after recording it.
class ScriptedFiles final : public FileNameAsker {
  public:
    explicit ScriptedFiles(std::deque<QString> answers = {}) : answers_(std::move(answers)) {}
    QString ask(QWidget*, const FileQuestion& question) override {
        asked.push_back(question);
        if (answers_.empty()) return {};
        QString answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    void answer(const QString& path) { answers_.push_back(path); }
    // The next question that lets several files be chosen is answered with `paths`.
    void answerSeveral(const QStringList& paths) { several_.push_back(paths); }
    QStringList askSeveral(QWidget* owner, const FileQuestion& question) override {
        if (several_.empty()) return FileNameAsker::askSeveral(owner, question);
        asked.push_back(question);
        QStringList paths = several_.front();
        several_.pop_front();
        return paths;
    }
    std::vector<FileQuestion> asked;

  private:
    std::deque<QString> answers_;
    std::deque<QStringList> several_;
};

// Calls `act` once for each dialog that becomes the active modal widget while it lives; message boxes
// are left to MessageAnswerer.
class DialogDriver {
  public:
    explicit DialogDriver(std::function<void(QDialog&)> act) : act_(std::move(act)) {
        poll_.setInterval(2);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible() || dialog == last_ ||
                qobject_cast<ui::MessageBoxDialog*>(dialog) != nullptr)
                return;
            last_ = dialog;
            ++seen;
            act_(*dialog);
        });
        poll_.start();
    }
    int seen = 0;

  private:
    std::function<void(QDialog&)> act_;
    QPointer<QDialog> last_;
    QTimer poll_;
};

}  // namespace ostrum::app::testing
