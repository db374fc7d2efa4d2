// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/msgbox/message_box.h"

#include <QApplication>
#include <QThread>

#include "ui/msgbox/message_box_dialog.h"
#include "ui/msgbox/message_texts.h"
#include "ui/msgbox/msgbox_codes.h"

namespace ostrum::ui {

namespace {

QWidget* activeOwner() {
    // The active window, or the modal window it has opened last.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

MessageAnswer runOnWindowThread(QWidget* owner, const MessageText& message, const QString& caption,
                                const MessageStyle& style, const MessageBoxParams* params) {
    const MessageBoxParams record = prepareMessageParams(owner, message, caption, style, params);
    const AnswerMemory memory;
    if (const auto remembered = rememberedAnswer(record, memory)) {
        return *remembered;
    }
    if (!record.style.options.testFlag(MessageOption::NoBeep)) {
        QApplication::beep();
    }
    MessageBoxDialog dialog(record, memory);
    if (record.style.options.testFlag(MessageOption::SetForeground)) {
        dialog.show();
        dialog.raise();
        dialog.activateWindow();
    }
    dialog.exec();
    return dialog.answer();
}

}  // namespace

MessageBoxParams prepareMessageParams(QWidget* owner, const MessageText& message, const QString& caption,
                                      const MessageStyle& style, const MessageBoxParams* params) {
    MessageBoxParams record = params != nullptr ? *params : MessageBoxParams();
    record.owner = owner != nullptr ? owner : activeOwner();
    record.caption = caption;
    record.message = message;
    record.style = style;
    if (record.caption.isEmpty() && !record.owner.isNull()) {
        record.caption = record.owner->windowTitle().left(MessageBoxDialog::kMaxCaption);
    }
    if (record.caption.isEmpty()) {
        record.caption = QStringLiteral("Error");
    }
    return record;
}

std::optional<MessageAnswer> rememberedAnswer(const MessageBoxParams& params, const AnswerMemory& memory) {
    if (!params.style.options.testFlag(MessageOption::DontShowAgain)) {
        return std::nullopt;
    }
    const auto strings =
        params.stringsModule ? params.stringsModule : std::make_shared<const NoResourceProvider>();
    const bool noStrings = params.style.options.testFlag(MessageOption::NoStringResources);
    const QString prefix = resolveMessageText(params.memoryPrefix, *strings, noStrings);
    if (prefix.isEmpty()) {
        return std::nullopt;
    }
    const auto stored = memory.read(resolveMessageText(params.memoryCompany, *strings, noStrings), prefix,
                                    params.memoryNumber);
    if (!stored || answerOfCode(*stored) == MessageAnswer::None) {
        return std::nullopt;
    }
    return answerOfCode(*stored);
}

MessageAnswer showMessageBox(QWidget* owner, const MessageText& message, const QString& caption,
                             const MessageStyle& style, const MessageBoxParams* params) {
    auto* app = QCoreApplication::instance();
    if (qobject_cast<QApplication*>(app) == nullptr) {
        return MessageAnswer::None;  // no window system to show anything on
    }
    if (QThread::currentThread() == app->thread()) {
        return runOnWindowThread(owner, message, caption, style, params);
    }
    // Widgets live on the window thread only: the worker hands the call over and waits. Its
    // arguments stay valid because it does not run on until the answer is back.
    MessageAnswer result = MessageAnswer::None;
    QMetaObject::invokeMethod(
        app, [&] { result = runOnWindowThread(owner, message, caption, style, params); },
        Qt::BlockingQueuedConnection);
    return result;
}

}  // namespace ostrum::ui
