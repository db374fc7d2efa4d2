// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// showMessageBox: the one call through which the program shows a message or asks a question. It is
// modal and returns the button that closed the box (MessageAnswer::Ok, Yes, No, Cancel, ...), a
// remembered answer when "Do not show again" was ticked before, or MessageAnswer::None when the box
// cannot be made. It may be called from any thread: a call from a worker thread is carried
// out on the window thread while the worker waits for the answer.

#include <QWidget>

#include "ui/msgbox/answer_memory.h"
#include "ui/msgbox/message_box_params.h"

namespace ostrum::ui {

MessageAnswer showMessageBox(QWidget* owner, const MessageText& message, const QString& caption,
                             const MessageStyle& style, const MessageBoxParams* params);

// The record the dialog is made from: the defaults, the caller's record over them, then the four
// arguments, the owner rule (the active window when none is given) and the caption rule (the
// owner's title, else "Error").
MessageBoxParams prepareMessageParams(QWidget* owner, const MessageText& message, const QString& caption,
                                      const MessageStyle& style, const MessageBoxParams* params);

// The remembered answer for a record that asks for the memory, if any: a stored number that is no
// answer of the box counts as none, and the box is shown.
std::optional<MessageAnswer> rememberedAnswer(const MessageBoxParams& params, const AnswerMemory& memory);

}  // namespace ostrum::ui
