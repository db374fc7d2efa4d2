// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the program talks to the user: every message and question goes through showMessageBox with
// owner 0, one of five styles, one of three captions and the standard record (a pale yellow and
// white "vbump" background). Callers test only Yes and No; Escape on the OK-only styles gives
// Cancel, which they ignore.

#include <QString>
#include <string_view>

#include "ui/msgbox/message_box_params.h"

namespace ostrum::app {

inline constexpr char kCaptionTapeMedia[] = "Brivane Ostrum TAPE MEDIA";
inline constexpr char kCaptionTapeMediaMixedCase[] =
    "Brivane Ostrum Tape Media";                                  // exit question, file-system warning
inline constexpr char kCaptionProgram[] = "Brivane Ostrum TAPE";  // "Help file not found"

inline constexpr ui::MessageStyle kMessagePlain{ui::MessageButtons::Ok, ui::MessageIcon::None};
inline constexpr ui::MessageStyle kMessageNotice{ui::MessageButtons::Ok,
                                                 ui::MessageIcon::Question};  // OK, question mark
inline constexpr ui::MessageStyle kMessageQuestion{ui::MessageButtons::YesNo, ui::MessageIcon::Question};
inline constexpr ui::MessageStyle kMessageInformation{ui::MessageButtons::Ok, ui::MessageIcon::Information};
inline constexpr ui::MessageStyle kMessageError{ui::MessageButtons::Ok, ui::MessageIcon::Error};

// The record every caller passes: defaults except the background area.
ui::MessageBoxParams standardMessageParams();

// Text for a message that must show as it stands, whatever it holds (a file name from the medium, a
// folder of the user's): the message box reads mark-up, so "&", "<" and ">" are written as entities.
// Every name or path that enters a message goes through here.
QString plainMessageText(QStringView text);

// `text` with its first letter in upper case: the core's texts start in lower case, as the command-line
// tool writes them; the window shows them as sentences.
QString capitalised(QString text);

// Shows `text` exactly as given (trailing blanks kept) and returns the button that closed the box.
ui::MessageAnswer programMessage(const QString& text, const QString& caption, const ui::MessageStyle& style);
inline ui::MessageAnswer programMessage(const QString& text, const char* caption,
                                        const ui::MessageStyle& style) {
    return programMessage(text, QString::fromLatin1(caption), style);
}

// Says why something failed, in the core's words (a file that cannot be opened, a medium without MTF
// data, media that are not one backup): with the error icon, as a sentence, shown as it stands.
void programError(std::string_view why);

}  // namespace ostrum::app
