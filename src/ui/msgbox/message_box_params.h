// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The parameter record of showMessageBox, its area record, the text map, and the style a caller asks
// for and the answer it gets: which buttons, which icon, which options. Field order and defaults follow
// the record the callers have always filled; text fields hold either a text or the number of a string in
// the strings module.

#include <QFlags>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <variant>

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

// The buttons a box offers besides Help, Report and Details, in the order they show. None offers no
// standard button: a box of custom buttons, or one with nothing to press.
enum class MessageButtons : std::uint8_t {
    Ok,
    OkCancel,
    AbortRetryIgnore,
    YesNoCancel,
    YesNo,
    RetryCancel,
    CancelTryContinue,
    ContinueAbort,
    SkipSkipAllCancel,      // Skip, Skip all, Cancel
    IgnoreIgnoreAllCancel,  // Ignore, Ignore all, Cancel
    None,
};

// The icon beside the message: the desktop's own, or the record's user icon from the icon module.
enum class MessageIcon : std::uint8_t { None, Error, Question, Warning, Information, User };

enum class MessageOption : std::uint32_t {
    Help = 0x1,                  // a Help button, which opens the help file and leaves the box open
    SetForeground = 0x2,         // the box is raised and activated when it opens
    TopMost = 0x4,               // the box stays above other windows
    RightAligned = 0x8,          // the message is aligned to the right
    DontShowAgain = 0x10,        // the "Do not show again" check box, and the answer memory behind it
    DontShowAgainTicked = 0x20,  // that check box starts ticked
    CheckBoxBelow = 0x40,        // the check box under the buttons rather than above them
    YesToAll = 0x80,             // "Yes to all" after Yes
    NoToAll = 0x100,             // "No to all" after No
    NoStringResources = 0x200,   // numbered texts are not looked up: they read as empty
    NoBeep = 0x400,              // the box opens without a beep
};
Q_DECLARE_FLAGS(MessageOptions, MessageOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(MessageOptions)

// What a caller asks of a box.
struct MessageStyle {
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    int defaultButton = 0;  // zero-based, in the order the buttons show; past the last one: the first
    MessageOptions options = {};

    bool operator==(const MessageStyle&) const = default;
};

// The buttons of a box, each of which is also the answer when it closes the box. Custom1 to Custom4 are
// the record's custom buttons in order. Help, Report and Details do their work and leave the box open, so
// they are never an answer; None is the answer of a box that could not be shown or ended without a button.
enum class MessageAnswer : std::uint8_t {
    None,
    Ok,
    Cancel,
    Abort,
    Retry,
    Ignore,
    Yes,
    No,
    TryAgain,
    Continue,
    Skip,
    SkipAll,
    IgnoreAll,
    YesToAll,
    NoToAll,
    Custom1,
    Custom2,
    Custom3,
    Custom4,
    Help,
    Report,
    Details,  // "More >>", which shows the details and then reads "<< More"
};

// The box's texts that are not a button's own: the check box's label, the caption's countdown format
// ("%s (%d seconds remaining)") and the Details button's text while the details show ("<< More").
enum class MessageLabel : std::uint8_t { CheckBox, CaptionCountdown, DetailsShown };

// Replacement texts by button or label. Only an entry whose key equals the one sought counts.
using MessageTextKey = std::variant<MessageAnswer, MessageLabel>;
using MessageTextMap = std::map<MessageTextKey, MessageText>;

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
    std::shared_ptr<const ResourceProvider> stringsModule;  // null: no strings by number
    std::shared_ptr<const ResourceProvider> iconModule;     // null: no icons by number
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
    MessageStyle style;       // set from the call
    MessageArea buttons;
    MessageText detailsText;  // non-empty adds the details button
    MessageArea details;
    int autoCloseSeconds = 0;
    int disableSeconds = 0;
    bool captionCountdown = false;
    int helpContext = 0;
    // What the Help button does, given the box (the help may be shown over it); empty: the help file
    // beside the program, named after it with ".hlp", is handed to the link opener.
    std::function<void(QWidget* box)> help;
    MessageText userIcon;   // icon of the icon module shown with MessageIcon::User
    QString customButtons;  // up to four lines, "\n"-separated, "\r" ignored
    // What Escape and the close box answer in a box whose buttons hold no Cancel (custom buttons, say);
    // None: they do nothing there. A Yes/No question answers No whatever this says.
    MessageAnswer escapeAnswer = MessageAnswer::None;
    MessageText checkBoxText;
    const MessageTextMap* textMap = nullptr;
};

}  // namespace ostrum::ui
