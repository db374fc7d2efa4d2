// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/msgbox/message_layout.h"

#include <array>
#include <cmath>

#include "ui/msgbox/message_box_params.h"

namespace ostrum::ui {

namespace {

bool addStandardSet(const MessageStyle& style, std::vector<MessageButtonSpec>& out) {
    auto add = [&out](std::initializer_list<MessageAnswer> answers) {
        for (MessageAnswer answer : answers) {
            out.push_back({answer, {}});
        }
    };
    auto addYesNo = [&] {
        add({MessageAnswer::Yes});
        if (style.options.testFlag(MessageOption::YesToAll)) {
            add({MessageAnswer::YesToAll});
        }
        add({MessageAnswer::No});
        if (style.options.testFlag(MessageOption::NoToAll)) {
            add({MessageAnswer::NoToAll});
        }
    };
    using A = MessageAnswer;
    switch (style.buttons) {
        case MessageButtons::Ok:
            add({A::Ok});
            return true;
        case MessageButtons::OkCancel:
            add({A::Ok, A::Cancel});
            return true;
        case MessageButtons::AbortRetryIgnore:
            add({A::Abort, A::Retry, A::Ignore});
            return false;
        case MessageButtons::YesNoCancel:
            addYesNo();
            add({A::Cancel});
            return true;
        case MessageButtons::YesNo:
            addYesNo();
            return false;
        case MessageButtons::RetryCancel:
            add({A::Retry, A::Cancel});
            return true;
        case MessageButtons::CancelTryContinue:
            add({A::Cancel, A::TryAgain, A::Continue});
            return true;
        case MessageButtons::ContinueAbort:
            add({A::Continue, A::Abort});
            return false;
        case MessageButtons::SkipSkipAllCancel:
            add({A::Skip, A::SkipAll, A::Cancel});
            return true;
        case MessageButtons::IgnoreIgnoreAllCancel:
            add({A::Ignore, A::IgnoreAll, A::Cancel});
            return true;
        case MessageButtons::None:
            break;
    }
    return false;
}

int mulDiv(int value, int numerator, int denominator) {
    return static_cast<int>(std::lround(static_cast<double>(value) * numerator / denominator));
}

}  // namespace

QStringList customButtonLines(const QString& customButtons) {
    QString text = customButtons;
    text.remove(u'\r');
    QStringList lines;
    for (const QString& line : text.split(u'\n')) {
        if (!line.isEmpty() && lines.size() < kBoxMaxCustomButtons) {
            lines.append(line);
        }
    }
    return lines;
}

MessageButtonSet buildMessageButtons(const MessageStyle& style, const QString& customButtons, bool report,
                                     bool details) {
    static constexpr std::array kCustom{MessageAnswer::Custom1, MessageAnswer::Custom2,
                                        MessageAnswer::Custom3, MessageAnswer::Custom4};
    static_assert(kCustom.size() == kBoxMaxCustomButtons);
    MessageButtonSet set;
    const QStringList custom = customButtonLines(customButtons);
    for (int i = 0; i < custom.size(); ++i) {
        set.buttons.push_back({kCustom[static_cast<std::size_t>(i)], custom[i]});
    }
    if (custom.isEmpty()) {
        set.cancelAllowed = addStandardSet(style, set.buttons);
        if (style.buttons == MessageButtons::YesNo) set.escapeAnswer = MessageAnswer::No;
    }
    if (style.options.testFlag(MessageOption::Help)) {
        set.buttons.push_back({MessageAnswer::Help, {}});
    }
    if (report) {
        set.buttons.push_back({MessageAnswer::Report, {}});
    }
    if (details) {
        set.buttons.push_back({MessageAnswer::Details, {}});
    }
    return set;
}

int defaultButtonIndex(const MessageStyle& style, int buttonCount) {
    return style.defaultButton >= 0 && style.defaultButton < buttonCount ? style.defaultButton : 0;
}

QSize scaledButtonSize(QSize textSize) {
    return {mulDiv(textSize.width(), 80, 45), mulDiv(textSize.height(), 23, 13)};
}

std::vector<QRect> placeMessageButtons(const QRect& client, int count, QSize size, int alignment,
                                       bool checkBoxBelow, bool hasCheckBox) {
    const int bottom = client.y() + client.height();
    const int right = client.x() + client.width();
    int top = bottom - kBoxStripMargin - size.height();
    if (hasCheckBox && checkBoxBelow) {
        top -= kBoxCheckBoxSize + kBoxStripMargin;
    }
    const int total = count * (kBoxButtonGap + size.width()) - kBoxButtonGap;
    int left = 0;
    if (alignment == 0) {
        left = client.x() + kBoxButtonGap;
    } else if (alignment == 1) {
        left = right - kBoxButtonGap - total;
    } else {
        left = client.x() + (client.width() - total) / 2;
    }
    std::vector<QRect> rects;
    for (int i = 0; i < count; ++i) {
        rects.emplace_back(QPoint(left + i * (size.width() + kBoxButtonGap), top), size);
    }
    return rects;
}

QRect placeCheckBox(const QRect& client, QSize buttonSize, bool checkBoxBelow) {
    const int bottom = client.y() + client.height();
    const int boxBottom =
        checkBoxBelow ? bottom - kBoxStripMargin : bottom - 2 * kBoxStripMargin - buttonSize.height();
    return {client.x() + kBoxCheckBoxLeft, boxBottom - kBoxCheckBoxSize, kBoxCheckBoxSize, kBoxCheckBoxSize};
}

}  // namespace ostrum::ui
