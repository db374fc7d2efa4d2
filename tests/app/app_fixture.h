// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared pieces of the window tests: media written by our MTF writer into a temporary folder, a scan
// that the test holds back so that the window stays in its scanning state, and an answerer that
// records every message box shown and closes it with a chosen button.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/recovery_window.h"
#include "app/scan_job.h"
#include "media_sink.h"
#include "mtf_writer.h"
#include "support/temp_folder.h"
#include "ui/msgbox/message_box_dialog.h"
#include "ui/skin/skin_button.h"

namespace ostrum::app::testing {

namespace mw = ostrum::mtfwriter;

// Two sets: "Daily" with files at its root, in DOCS and in DOCS\LETTERS (one of them crossing a 64 KiB
// read), and "Weekly" with two files in DATA.
inline mw::MediaDescription windowMedia() {
    mw::MediaDescription media;
    media.tape = {.mediaName = "Window tape"};
    mw::DataSet daily{.info = {.name = "Daily"}};
    daily.entries = {
        mw::DirectoryEntry{.path = {}},
        mw::FileEntry{.name = "README.TXT", .data = mw::BytesOf("read me first\n")},
        mw::DirectoryEntry{.path = {"DOCS"}},
        mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("alpha\n")},
        mw::FileEntry{.name = "R&D.TXT", .data = mw::BytesOf("research & development\n")},
        mw::DirectoryEntry{.path = {"DOCS", "LETTERS"}},
        mw::FileEntry{.name = "C.TXT", .data = mw::GeneratedData{.size = 70000, .seed = 7}},
    };
    mw::DataSet weekly{.info = {.name = "Weekly"}};
    weekly.entries = {
        mw::DirectoryEntry{.path = {"DATA"}},
        mw::FileEntry{.name = "X.DAT", .data = mw::GeneratedData{.size = 3000, .seed = 8}},
        mw::FileEntry{.name = "Y.DAT", .data = mw::BytesOf("why\n")},
    };
    media.sets = {daily, weekly};
    return media;
}

// The catalog paths of windowMedia()'s files, in the order written.
inline const std::vector<std::string>& windowMediaPaths() {
    static const std::vector<std::string> paths{
        "TAPE MEDIA\\BACKUP SET 1(_Daily)\\README.TXT",
        "TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\A.TXT",
        "TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\R&D.TXT",
        "TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\LETTERS\\C.TXT",
        "TAPE MEDIA\\BACKUP SET 2(_Weekly)\\DATA\\X.DAT",
        "TAPE MEDIA\\BACKUP SET 2(_Weekly)\\DATA\\Y.DAT",
    };
    return paths;
}

class TestFolder {
  public:
    std::filesystem::path path(const std::string& name) const { return dir_.path(name); }
    QString qpath(const std::string& name) const { return QString::fromStdString(path(name).string()); }

    // Writes `media` as an image file named `name`.
    std::string writeImage(const mw::MediaDescription& media, const std::string& name = "tape.img") const {
        mw::ImageFileSink sink(path(name));
        mw::WriteMedia(media, sink);
        return path(name).string();
    }

  private:
    test_support::TempFolder dir_;
};

// HUGE.BIN (400000 bytes) between two small files in DOCS, to be spread over media each of whose ends cuts
// it.
inline mw::MediaDescription spreadBackup(std::uint32_t family) {
    mw::MediaDescription media{.tape = {.logicalBlockSize = 512, .mediaFamilyId = family}};
    media.sets.push_back(
        {.info = {.name = "Daily"},
         .entries = {mw::DirectoryEntry{.path = {"DOCS"}},
                     mw::FileEntry{.name = "A.TXT", .data = mw::BytesOf("a")},
                     mw::FileEntry{.name = "HUGE.BIN", .data = mw::GeneratedData{.size = 400000, .seed = 9}},
                     mw::FileEntry{.name = "C.TXT", .data = mw::BytesOf("after")}}});
    return media;
}

// spreadBackup() written as one image per name in the folder, each medium but the last ending at its
// `endsAt`; their paths.
inline std::vector<std::string> writeSpreadMedia(const TestFolder& folder,
                                                 const std::vector<std::string>& names,
                                                 const std::vector<std::uint64_t>& endsAt,
                                                 std::uint32_t family = 0xBEEF) {
    std::vector<std::unique_ptr<mw::ImageFileSink>> sinks;
    std::vector<mw::Sink*> pointers;
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        sinks.push_back(std::make_unique<mw::ImageFileSink>(folder.path(name)));
        pointers.push_back(sinks.back().get());
        paths.push_back(folder.path(name).string());
    }
    mw::WriteSpannedMedia(spreadBackup(family), pointers, endsAt);
    return paths;
}

// Every file below `root`, by its path relative to it, with its bytes.
inline std::map<std::string, std::vector<std::uint8_t>> filesBelow(const std::filesystem::path& root) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files[std::filesystem::relative(entry.path(), root).generic_string()] = {
            std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    return files;
}

inline ScanSource imageSource(const std::string& path) {
    ScanSource source;
    source.path = path;
    return source;
}

struct ShownMessage {
    QString caption;
    QString text;  // the message as given, without the icon's table around it
    bool icon = false;
    ui::MessageIcon iconKind = ui::MessageIcon::None;
    std::vector<ui::MessageAnswer> buttons;
};

// Answers every message box shown while it lives with `answer` (or the box's first button when it has
// no such button), after recording it.
class MessageAnswerer {
  public:
    // An answer that closes the box with its close box.
    static constexpr ui::MessageAnswer kCloseBox = ui::MessageAnswer::None;

    explicit MessageAnswerer(ui::MessageAnswer answer = ui::MessageAnswer::Ok) : answer_(answer) {
        poll_.setInterval(2);
        QObject::connect(&poll_, &QTimer::timeout, [this] { answerShownBox(); });
        poll_.start();
    }
    void setAnswer(ui::MessageAnswer answer) { answer_ = answer; }
    // Called with every box shown, before it is answered.
    void setWatcher(std::function<void(ui::MessageBoxDialog&)> watcher) { watcher_ = std::move(watcher); }
    // The next boxes take these answers in turn, ticking their check box when asked to; then `answer`.
    void queueAnswers(std::vector<std::pair<ui::MessageAnswer, bool>> answers) {
        queued_ = std::move(answers);
    }
    const std::vector<ShownMessage>& shown() const { return shown_; }
    QStringList texts() const {
        QStringList list;
        for (const auto& message : shown_) list << message.text;
        return list;
    }
    void clear() { shown_.clear(); }

  private:
    void answerShownBox() {
        auto* box = qobject_cast<ui::MessageBoxDialog*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        QString text = box->body();
        const auto cell = text.lastIndexOf(QStringLiteral("<td>"));
        const bool icon = cell >= 0 && text.endsWith(QStringLiteral("</td></tr></table>"));
        if (icon) text = text.mid(cell + 4, text.size() - cell - 4 - 18);
        const std::vector<ui::MessageAnswer> buttons = box->buttonAnswers();
        if (watcher_) watcher_(*box);
        shown_.push_back({box->windowTitle(), text, icon, box->icon(), buttons});
        ui::MessageAnswer answer = answer_;
        if (!queued_.empty()) {
            answer = queued_.front().first;
            if (queued_.front().second && box->checkBox() != nullptr) box->checkBox()->setChecked(true);
            queued_.erase(queued_.begin());
        }
        if (answer == kCloseBox) {
            box->close();
            return;
        }
        const bool has = std::find(buttons.begin(), buttons.end(), answer) != buttons.end();
        box->command(has ? answer : buttons.front());
    }

    ui::MessageAnswer answer_;
    std::vector<std::pair<ui::MessageAnswer, bool>> queued_;
    std::function<void(ui::MessageBoxDialog&)> watcher_;
    QTimer poll_;
    std::vector<ShownMessage> shown_;
};

// Picks the first entry of every pop-up menu shown while it lives, after recording its entries ("-" for
// a separator).
class MenuPicker {
  public:
    // Chooses the entry `pick`, or the first entry when it is empty or not there.
    explicit MenuPicker(QString pick = {}) : pick_(std::move(pick)) {
        poll_.setInterval(2);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr || !menu->isVisible() || menu->actions().isEmpty()) return;
            QStringList entries;
            for (QAction* action : menu->actions())
                entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
            menus_.push_back(entries);
            QAction* chosen = menu->actions().front();
            for (QAction* action : menu->actions())
                if (!pick_.isEmpty() && action->text() == pick_) chosen = action;
            menu->setActiveAction(chosen);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        poll_.start();
    }
    const std::vector<QStringList>& menus() const { return menus_; }

  private:
    QString pick_;
    QTimer poll_;
    std::vector<QStringList> menus_;
};

// Waits for the window's scan to end (every step of its end done).
inline bool waitForScanEnd(RecoveryWindow& window, int ms = 10000) {
    return QTest::qWaitFor([&] { return !window.isScanRunning() && !window.button(kNextButton)->isHidden(); },
                           ms);
}

}  // namespace ostrum::app::testing
