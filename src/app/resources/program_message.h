#pragma once
// How the program talks to the user: every message and question goes through showMessageBox with
// owner 0, one of four styles, one of three captions and the standard record (a pale yellow and
// white "vbump" background). Callers test only Yes and No; Escape on the OK-only styles gives
// Cancel, which they ignore.

#include <QString>

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

// The record every caller passes: defaults except the background area.
ui::MessageBoxParams standardMessageParams();

// Text for a message that must show as it stands, whatever it holds (a file name from the medium, a
// folder of the user's): the message box reads mark-up, so "&", "<" and ">" are written as entities.
// Every name or path that enters a message goes through here.
QString plainMessageText(QStringView text);

// Shows `text` exactly as given (trailing blanks kept) and returns the button that closed the box.
ui::MessageAnswer programMessage(const QString& text, const QString& caption, const ui::MessageStyle& style);
inline ui::MessageAnswer programMessage(const QString& text, const char* caption,
                                        const ui::MessageStyle& style) {
    return programMessage(text, QString::fromLatin1(caption), style);
}

}  // namespace ostrum::app
