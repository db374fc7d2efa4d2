#include "ui/msgbox/rx_message_box.h"

#include <QApplication>
#include <QThread>

#include "ui/msgbox/rx_msgbox_dialog.h"
#include "ui/msgbox/rx_texts.h"
#include "ui/resources/program_resources.h"

namespace ostrum::ui {

namespace {

QWidget* activeOwner() {
    // The active window, or the modal window it has opened last.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

int runOnWindowThread(QWidget* owner, const MessageText& message, const QString& caption, std::uint32_t style,
                      const MessageBoxParams* params) {
    const MessageBoxParams record = prepareMessageParams(owner, message, caption, style, params);
    const AnswerMemory memory;
    if (const auto remembered = rememberedAnswer(record, memory)) {
        return *remembered;
    }
    if ((record.style & RXMB_NO_BEEP) == 0) {
        QApplication::beep();
    }
    MessageBoxDialog dialog(record, memory);
    if ((record.style & MB_SETFOREGROUND) != 0) {
        dialog.show();
        dialog.raise();
        dialog.activateWindow();
    }
    return dialog.exec();
}

}  // namespace

MessageBoxParams prepareMessageParams(QWidget* owner, const MessageText& message, const QString& caption,
                                      std::uint32_t style, const MessageBoxParams* params) {
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

std::optional<int> rememberedAnswer(const MessageBoxParams& params, const AnswerMemory& memory) {
    if ((params.style & RXMB_DONT_SHOW_AGAIN) == 0) {
        return std::nullopt;
    }
    const auto strings = params.stringsModule ? params.stringsModule : ProgramResources::instance();
    const bool noStrings = (params.style & RXMB_NO_STRING_RESOURCES) != 0;
    const QString prefix = resolveMessageText(params.memoryPrefix, *strings, noStrings);
    if (prefix.isEmpty()) {
        return std::nullopt;
    }
    return memory.read(resolveMessageText(params.memoryCompany, *strings, noStrings), prefix,
                       params.memoryNumber);
}

int showMessageBox(QWidget* owner, const MessageText& message, const QString& caption, std::uint32_t style,
                   const MessageBoxParams* params) {
    auto* app = QCoreApplication::instance();
    if (qobject_cast<QApplication*>(app) == nullptr) {
        return kMessageBoxFailed;  // no window system to show anything on
    }
    if (QThread::currentThread() == app->thread()) {
        return runOnWindowThread(owner, message, caption, style, params);
    }
    // Widgets live on the window thread only: the worker hands the call over and waits. Its
    // arguments stay valid because it does not run on until the answer is back.
    int result = kMessageBoxFailed;
    QMetaObject::invokeMethod(
        app, [&] { result = runOnWindowThread(owner, message, caption, style, params); },
        Qt::BlockingQueuedConnection);
    return result;
}

}  // namespace ostrum::ui
