// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message box's painting as free functions that need no window: the strips' backgrounds and
// separators into one picture, and the rich texts of header, body and details over it.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>

#include "ui/msgbox/message_box_params.h"
#include "ui/msgbox/message_layout.h"
#include "ui/richtext/rich_text_drawer.h"

namespace ostrum::ui {

// The resolved texts of the three strips' separators.
struct MessageSeparatorTexts {
    QString header;
    QString buttons;
    QString details;
};

// The client area's background, `width` wide and as tall as every strip together (the details
// included, shown or not): the record's background effect, or the button face, then each strip's own
// effect and separator.
QImage paintMessageBackground(const MessageBoxParams& params, const MessageStripSizes& sizes, int width,
                              const MessageSeparatorTexts& separators, const QFont& font);

// The drawers that have something to draw; null for a strip that shows no drawn text.
struct MessageTextDrawers {
    RichTextDrawer* header = nullptr;
    RichTextDrawer* body = nullptr;
    RichTextDrawer* details = nullptr;  // only while the details are shown and drawn, not scrolled
};

// Each drawer's text in its strip less the margins, in a client area of `client` size.
void paintMessageTexts(QPainter& painter, const MessageTextDrawers& drawers, const MessageStripSizes& sizes,
                       QSize client);

}  // namespace ostrum::ui
