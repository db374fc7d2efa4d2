#pragma once
// How the program talks to the user: every message and question goes through showMessageBox with
// owner 0, one of four styles, one of three captions and the standard record (a pale yellow and
// white "vbump" background). Callers test only IDYES and IDNO; Escape on the OK-only styles gives
// IDCANCEL, which they ignore.

#include <QString>
#include <cstdint>

#include "ui/msgbox/rx_msgbox_params.h"

namespace ostrum::ui {

inline constexpr char kCaptionTapeMedia[] = "Brivane Ostrum TAPE MEDIA";
inline constexpr char kCaptionTapeMediaMixedCase[] =
    "Brivane Ostrum Tape Media";                                  // exit question, file-system warning
inline constexpr char kCaptionProgram[] = "Brivane Ostrum TAPE";  // "Help file not found"

enum ProgramMessageStyle : std::uint32_t {
    kMessagePlain = 0x00,        // OK, no icon
    kMessageNotice = 0x20,       // OK, question mark
    kMessageQuestion = 0x24,     // Yes and No, question mark
    kMessageInformation = 0x40,  // OK, information
};

// The record every caller passes: defaults except the background area.
MessageBoxParams standardMessageParams();

// Text for a message that must show as it stands, whatever it holds (a file name from the medium, a
// folder of the user's): the message box reads mark-up, so "&", "<" and ">" are written as entities.
// Every name or path that enters a message goes through here.
QString plainMessageText(QStringView text);

// Shows `text` exactly as given (trailing blanks kept) and returns the button's identifier.
int programMessage(const QString& text, const QString& caption, ProgramMessageStyle style);
inline int programMessage(const QString& text, const char* caption, ProgramMessageStyle style) {
    return programMessage(text, QString::fromLatin1(caption), style);
}

}  // namespace ostrum::ui
