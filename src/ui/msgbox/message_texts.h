// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the message box turns the record's text fields, its buttons and its labels into the texts it
// shows: the caller's text map first, then the strings module, then a caller's default, then
// the built-in text.

#include <QString>

#include "ui/msgbox/message_box_params.h"

namespace ostrum::ui {

// The built-in text of a button or label, and the string number that may replace it (0 and an empty
// text for a key that has none, such as a custom button).
QString builtinText(const MessageTextKey& key);
int stringResourceId(const MessageTextKey& key);

// A field's text: a string number is looked up in `strings` unless `noStringResources`; a
// number that cannot be loaded gives the empty text.
QString resolveMessageText(const MessageText& field, const ResourceProvider& strings, bool noStringResources);

// The text of a button or label: the text map's entry for `key`, the string that replaces the
// built-in text, `callerDefault`, the built-in text, the first of these that is not empty.
QString messageKeyText(const MessageTextKey& key, const MessageTextMap* map, const ResourceProvider& strings,
                       bool noStringResources, const QString& callerDefault = {});

// Mark-up as the plain text it reads as: entities replaced, line breaks and tabs kept, tags dropped. The
// details area shows details too long to draw this way, in a scrolling view. Linear in the text's length.
QString markupAsPlainText(const QString& markup);

// "%s = %d" of a button text and the seconds left.
QString countdownLabel(const QString& text, int seconds);
// A printf-like format with one %s and one %d (the caption countdown); other conversions are
// left as they stand.
QString formatTextNumber(const QString& format, const QString& text, int number);

}  // namespace ostrum::ui
