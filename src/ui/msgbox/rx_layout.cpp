#include "ui/msgbox/rx_layout.h"

#include <cmath>

#include "ui/msgbox/rx_msgbox_params.h"

namespace ostrum::ui {

namespace {

bool addStandardSet(std::uint32_t style, std::vector<MessageButtonSpec>& out) {
    auto add = [&out](std::initializer_list<int> ids) {
        for (int id : ids) {
            out.push_back({id, {}});
        }
    };
    const bool yesToAll = (style & RXMB_YES_TO_ALL) != 0;
    const bool noToAll = (style & RXMB_NO_TO_ALL) != 0;
    auto addYesNo = [&] {
        add({IDYES});
        if (yesToAll) {
            add({RXID_YES_TO_ALL});
        }
        add({IDNO});
        if (noToAll) {
            add({RXID_NO_TO_ALL});
        }
    };
    switch (style & MB_TYPEMASK) {
        case MB_OK:
            add({IDOK});
            return true;
        case MB_OKCANCEL:
            add({IDOK, IDCANCEL});
            return true;
        case MB_ABORTRETRYIGNORE:
            add({IDABORT, IDRETRY, IDIGNORE});
            return false;
        case MB_YESNOCANCEL:
            addYesNo();
            add({IDCANCEL});
            return true;
        case MB_YESNO:
            addYesNo();
            return false;
        case MB_RETRYCANCEL:
            add({IDRETRY, IDCANCEL});
            return true;
        case MB_CANCELTRYCONTINUE:
            add({IDCANCEL, IDTRYAGAIN, IDCONTINUE});
            return true;
        case RXMB_SET_CONTINUE_ABORT:
            add({IDCONTINUE, IDABORT});
            return false;
        case RXMB_SET_SKIP:
            add({RXID_SKIP, RXID_SKIP_ALL, IDCANCEL});
            return true;
        case RXMB_SET_IGNORE:
            add({IDIGNORE, RXID_IGNORE_ALL, IDCANCEL});
            return true;
        default:
            return false;  // sets 10 to 15 have no standard buttons
    }
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

MessageButtonSet buildMessageButtons(std::uint32_t style, const QString& customButtons, bool report,
                                     bool details) {
    MessageButtonSet set;
    const QStringList custom = customButtonLines(customButtons);
    set.cancelAllowed = (style & MB_TYPEMASK) == MB_OK && custom.isEmpty();
    for (int i = 0; i < custom.size(); ++i) {
        set.buttons.push_back({RXID_CUSTOM1 + i, custom[i]});
    }
    if (custom.isEmpty()) {
        set.cancelAllowed = addStandardSet(style, set.buttons);
        if ((style & MB_TYPEMASK) == MB_YESNO) set.escapeAnswer = IDNO;
    }
    if ((style & MB_HELP) != 0) {
        set.buttons.push_back({IDHELP, {}});
    }
    if (report) {
        set.buttons.push_back({RXID_REPORT, {}});
    }
    if (details) {
        set.buttons.push_back({RXID_MORE, {}});
    }
    return set;
}

int defaultButtonIndex(std::uint32_t style, int buttonCount) {
    const int index = static_cast<int>((style >> 8) & 0xF);
    return index < buttonCount ? index : 0;
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
