#pragma once
// The parameter record of showMessageBox, its area record, the text map and the style bits and
// button identifiers the box understands. Field order and defaults follow the record the callers
// have always filled; text fields hold either a text or the number of a string in the strings
// module.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>

#include "ui/platform/colorref.h"
#include "ui/richtext/resource_provider.h"

namespace ostrum::ui {

// A text field of the record: nothing, a text, or the number of a string (0 to 0xFFFF) in the
// strings module.
class MessageText {
  public:
    static constexpr int kLargestId = 0xFFFF;

    MessageText() = default;
    MessageText(const char* text)
        : kind_(text != nullptr ? Kind::Text : Kind::Null), text_(QString::fromLatin1(text)) {}
    MessageText(const QString& text) : kind_(Kind::Text), text_(text) {}
    static MessageText fromId(int id) {
        MessageText t;
        t.kind_ = Kind::Id;
        t.id_ = id & kLargestId;
        return t;
    }

    bool isNull() const { return kind_ == Kind::Null; }
    bool isId() const { return kind_ == Kind::Id; }
    int id() const { return id_; }
    const QString& text() const { return text_; }

  private:
    enum class Kind { Null, Text, Id };
    Kind kind_ = Kind::Null;
    QString text_;
    int id_ = 0;
};

// Replacement texts by button identifier or by one of the two keys below. Only an entry whose key
// equals the one sought counts.
using MessageTextMap = std::map<std::uint32_t, MessageText>;

// One painted strip of the box: its separator line and text, and its background effect.
struct MessageArea {
    int separatorType = 0;   // 0 none, 1 etched, 2 black line, 3 white line; others draw nothing
    int separatorAlign = 0;  // 0 left, 1 right, 2 centred; others: no text, full-width line
    MessageText separatorText;
    int effect = -1;  // -1 none, 0 solid colour 1, 1..15 the background effects
    ColorRef colour1 = systemColor(COLOR_BTNFACE);
    ColorRef colour2 = systemColor(COLOR_BTNFACE);
    ColorRef colour3 = systemColor(COLOR_BTNFACE);
};

struct MessageBoxParams {
    QPointer<QWidget> owner;                                // set from the call
    std::shared_ptr<const ResourceProvider> stringsModule;  // null: the program's own strings
    std::shared_ptr<const ResourceProvider> iconModule;     // null: the program's own icons
    QString caption;                                        // set from the call
    MessageText memoryPrefix;   // first half of the "Do not show again" value name
    MessageText memoryCompany;  // optional key level above the program's key
    int memoryNumber = 0;       // second half of that value name
    int reportMessage = 0;      // event type sent to the owner by Report; 0: no Report button
    MessageArea background;
    int headerHeight = 0;  // minimum header height in pixels; 0: no header
    MessageText headerText;
    MessageArea header;
    MessageText message;      // set from the call
    int buttonAlignment = 2;  // 0 left, 1 right, anything else centred
    std::uint32_t style = 0;  // set from the call
    MessageArea buttons;
    MessageText detailsText;  // non-empty adds the details button
    MessageArea details;
    int autoCloseSeconds = 0;
    int disableSeconds = 0;
    bool captionCountdown = false;
    int helpContext = 0;
    MessageText userIcon;   // icon of the icon module shown with MB_USERICON
    QString customButtons;  // up to four lines, "\n"-separated, "\r" ignored
    MessageText checkBoxText;
    const MessageTextMap* textMap = nullptr;
};

// Style bits.
inline constexpr std::uint32_t MB_OK = 0x0;
inline constexpr std::uint32_t MB_OKCANCEL = 0x1;
inline constexpr std::uint32_t MB_ABORTRETRYIGNORE = 0x2;
inline constexpr std::uint32_t MB_YESNOCANCEL = 0x3;
inline constexpr std::uint32_t MB_YESNO = 0x4;
inline constexpr std::uint32_t MB_RETRYCANCEL = 0x5;
inline constexpr std::uint32_t MB_CANCELTRYCONTINUE = 0x6;
inline constexpr std::uint32_t RXMB_SET_CONTINUE_ABORT = 0x7;
inline constexpr std::uint32_t RXMB_SET_SKIP = 0x8;
inline constexpr std::uint32_t RXMB_SET_IGNORE = 0x9;
inline constexpr std::uint32_t MB_TYPEMASK = 0xF;
inline constexpr std::uint32_t MB_ICONHAND = 0x10;
inline constexpr std::uint32_t MB_ICONQUESTION = 0x20;
inline constexpr std::uint32_t MB_ICONEXCLAMATION = 0x30;
inline constexpr std::uint32_t MB_ICONASTERISK = 0x40;
inline constexpr std::uint32_t MB_USERICON = 0x80;
inline constexpr std::uint32_t MB_ICONMASK = 0xF0;
inline constexpr std::uint32_t MB_DEFBUTTON2 = 0x100;
inline constexpr std::uint32_t MB_DEFMASK = 0xF00;
inline constexpr std::uint32_t MB_HELP = 0x4000;
inline constexpr std::uint32_t MB_SETFOREGROUND = 0x10000;
inline constexpr std::uint32_t MB_TOPMOST = 0x40000;
inline constexpr std::uint32_t MB_RIGHT = 0x80000;
inline constexpr std::uint32_t RXMB_DONT_SHOW_AGAIN = 0x01000000;
inline constexpr std::uint32_t RXMB_DONT_SHOW_CHECKED = 0x02000000;
inline constexpr std::uint32_t RXMB_CHECKBOX_BELOW = 0x04000000;
inline constexpr std::uint32_t RXMB_YES_TO_ALL = 0x08000000;
inline constexpr std::uint32_t RXMB_NO_TO_ALL = 0x10000000;
inline constexpr std::uint32_t RXMB_NO_STRING_RESOURCES = 0x20000000;
inline constexpr std::uint32_t RXMB_NO_BEEP = 0x40000000;

// Button identifiers (the results) and the two text-map keys.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr int IDHELP = 9;
inline constexpr int IDTRYAGAIN = 10;
inline constexpr int IDCONTINUE = 11;
inline constexpr int RXID_SKIP = 14;
inline constexpr int RXID_SKIP_ALL = 15;
inline constexpr int RXID_IGNORE_ALL = 16;
inline constexpr int RXID_YES_TO_ALL = 19;
inline constexpr int RXID_NO_TO_ALL = 20;
inline constexpr int RXID_REPORT = 21;
inline constexpr int RXID_CUSTOM1 = 23;
inline constexpr int RXID_CUSTOM4 = 26;
inline constexpr int RXID_LESS = 30;
inline constexpr int RXID_MORE = 31;
inline constexpr std::uint32_t RXKEY_CHECKBOX = 0x01000000;
inline constexpr std::uint32_t RXKEY_COUNTDOWN = 0x80000000;

// The result when the box could not be made at all.
inline constexpr int kMessageBoxFailed = -1;

}  // namespace ostrum::ui
