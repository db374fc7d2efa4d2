// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/msgbox/message_box_dialog.h"

// The box's layout: each strip measured from its texts, the controls made to fit, and placed. The pure
// geometry lies in message_layout.h, the box's place on the screen in msgbox_placement.h.

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>

#include "ui/msgbox/message_texts.h"
#include "ui/msgbox/msgbox_codes.h"
#include "ui/msgbox/msgbox_placement.h"

namespace ostrum::ui {

namespace {

bool hasStrip(const MessageArea& area) {
    return area.effect >= 0;
}

}  // namespace

void MessageBoxDialog::measureAndCreate() {
    MessageStripSizes sizes;
    measureTexts(sizes);
    sizes.buttons = kBoxStripMargin;
    if (hasStrip(params_.buttons) || params_.buttons.separatorType != 0) {
        sizes.buttons = 2 * kBoxStripMargin;
        if (params_.buttons.separatorType != 0) {
            buttonsSeparator_ = resolve(params_.buttons.separatorText);
            sizes.width = std::max(
                sizes.width, QFontMetrics(font_).horizontalAdvance(buttonsSeparator_) + 2 * kBoxTextPadding);
        }
    }
    if (params_.style.options.testFlag(MessageOption::DontShowAgain)) {
        createCheckBox(sizes);
    }
    createButtons(sizes);
    measureDetails(sizes);
    // A short message must not clip its own title ("Brivane Os... ape Media").
    QFont title = font_;
    title.setBold(true);
    const QString caption = countdown_.inCaption() ? countdownCaption() : caption_;
    sizes.width = std::max(sizes.width, QFontMetrics(title).horizontalAdvance(caption) + kBoxTitleBarRoom);
    sizes_ = sizes;
    setFixedSize(sizes_.width, clientHeight());
}

void MessageBoxDialog::measureTexts(MessageStripSizes& sizes) {
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter painter(&scratch);
    painter.setFont(font_);
    const QFontMetrics metrics(font_);
    if (params_.headerHeight != 0) {
        sizes.header = params_.headerHeight;
        header_ = resolve(params_.headerText);
        if (!header_.isEmpty()) {
            const QSize text = headerDrawer_.measure(painter, header_);
            sizes.width = text.width() + 2 * kBoxMarginX;
            sizes.header = std::max(params_.headerHeight, text.height() + 2 * kBoxMarginY);
        }
        if (params_.header.separatorType != 0) {
            headerSeparator_ = resolve(params_.header.separatorText);
            sizes.width =
                std::max(sizes.width, metrics.horizontalAdvance(headerSeparator_) + 2 * kBoxTextPadding);
        }
    }
    if (!body_.isEmpty()) {
        QSize text = messageDrawer_.measure(painter, body_);
        const int widest = largestMessageClient(*this).width() - 2 * kBoxMarginX;
        if (text.width() > widest && widest > 0) {
            // Wider than the screen: the body wraps (the measure adds a pixel).
            messageDrawer_.setMaximumWidth(widest - 1);
            text = messageDrawer_.measure(painter, body_);
        }
        sizes.message = text.height() + 2 * kBoxMarginY;
        sizes.width = std::max(sizes.width, text.width() + 2 * kBoxMarginX);
    }
    details_ = resolve(params_.detailsText);
}

void MessageBoxDialog::measureDetails(MessageStripSizes& sizes) {
    if (details_.isEmpty()) {
        return;
    }
    const QSize largest = largestMessageClient(*this);
    const int room = largest.height() - sizes.header - sizes.message - sizes.buttons - 2 * kBoxMarginY;
    // Lines are counted first, so that a long text is not laid out only to be found too long.
    if (details_.count(u'\n') < kBoxMostDetailLines) {
        QImage scratch(1, 1, QImage::Format_RGB32);
        QPainter painter(&scratch);
        painter.setFont(font_);
        const QSize text = detailsDrawer_.measure(painter, details_);
        const int width = std::max(sizes.width, text.width() + 2 * kBoxMarginX);
        if (text.height() <= room && width <= largest.width()) {
            sizes.details = text.height() + 2 * kBoxMarginY;
            sizes.width = width;
            return;
        }
    }
    createDetailsView(sizes, room);
    sizes.width = std::max(sizes.width, std::min(kBoxScrollingDetailsWidth, largest.width()));
}

void MessageBoxDialog::createDetailsView(MessageStripSizes& sizes, int room) {
    detailsView_ = new QPlainTextEdit(this);
    detailsView_->setObjectName(QStringLiteral("message_details"));
    detailsView_->setReadOnly(true);
    detailsView_->setFont(font_);
    detailsView_->setFrameShape(QFrame::NoFrame);
    detailsView_->setLineWrapMode(QPlainTextEdit::NoWrap);  // one line for each line, as drawn details
    // The strip's background shows through, as it does behind drawn details.
    QPalette palette = detailsView_->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    detailsView_->setPalette(palette);
    detailsView_->viewport()->setAutoFillBackground(false);
    detailsView_->hide();  // filled when first shown: a long text costs a moment that an unopened box spares
    // As many lines as there are, up to the most, and room for the scroll bar under lines too wide.
    const int line = QFontMetrics(font_).lineSpacing();
    const auto lines = std::min<qsizetype>(details_.count(u'\n') + 1, kBoxMostDetailLines);
    const int wanted = static_cast<int>(lines) * line +
                       2 * static_cast<int>(detailsView_->document()->documentMargin()) +
                       detailsView_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, detailsView_);
    sizes.details = std::max(std::min(wanted, room), 2 * line) + 2 * kBoxMarginY;
}

void MessageBoxDialog::createCheckBox(MessageStripSizes& sizes) {
    sizes.buttons += kBoxCheckBoxSize + kBoxStripMargin;
    QString callerDefault = resolve(params_.checkBoxText);
    if (callerDefault.isEmpty()) {
        callerDefault = QStringLiteral("Do not show again");
    }
    const QString label = keyText(MessageLabel::CheckBox, callerDefault);
    const int labelWidth = QFontMetrics(font_).horizontalAdvance(label);
    sizes.width = std::max(sizes.width, labelWidth + 2 * kBoxCheckBoxLeft + 20);
    checkBox_ = new QCheckBox(this);
    checkBox_->setObjectName(QStringLiteral("message_checkbox"));
    checkBox_->setChecked(params_.style.options.testFlag(MessageOption::DontShowAgainTicked));
    checkBox_->setFixedSize(kBoxCheckBoxSize + 4, kBoxCheckBoxSize + 4);
    checkLabel_ = new QLabel(label, this);
    checkLabel_->setObjectName(QStringLiteral("message_checkbox_label"));
    checkLabel_->setTextFormat(Qt::PlainText);
    checkLabel_->setFont(font_);
    checkLabel_->setAttribute(Qt::WA_TranslucentBackground);
    checkLabel_->setFixedSize(labelWidth, std::max(kBoxCheckBoxSize, QFontMetrics(font_).height()));
    checkLabel_->setBuddy(checkBox_);
}

void MessageBoxDialog::createButtons(MessageStripSizes& sizes) {
    const MessageButtonSet set =
        buildMessageButtons(params_.style, params_.customButtons,
                            params_.reportMessage != 0 && !params_.owner.isNull(), !details_.isEmpty());
    cancelAllowed_ = set.cancelAllowed;
    escapeAnswer_ = set.escapeAnswer != MessageAnswer::None ? set.escapeAnswer : params_.escapeAnswer;
    detailsSeparator_ = resolve(params_.details.separatorText);
    if (!details_.isEmpty()) {
        lessText_ = keyText(MessageLabel::DetailsShown);
        moreText_ = keyText(MessageAnswer::Details);
    }
    const QFontMetrics metrics(font_);
    QSize buttonSize;
    for (const MessageButtonSpec& entry : set.buttons) {
        Button button{entry.answer, entry.customText.isEmpty() ? keyText(entry.answer) : entry.customText,
                      nullptr};
        QSize text = metrics.size(Qt::TextSingleLine, button.text);
        if (entry.answer == MessageAnswer::Details) {
            button.text = moreText_;
            text = metrics.size(Qt::TextSingleLine, moreText_)
                       .expandedTo(metrics.size(Qt::TextSingleLine, lessText_));
        }
        buttonSize = buttonSize.expandedTo(scaledButtonSize(text));
        buttons_.push_back(std::move(button));
    }
    defaultIndex_ = defaultButtonIndex(params_.style, static_cast<int>(buttons_.size()));
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i].widget = makeButton(buttons_[i], static_cast<int>(i));
    }
    buttonSize = buttonSize.expandedTo(QSize(kBoxMinButtonWidth, kBoxMinButtonHeight));
    const int n = static_cast<int>(buttons_.size());
    sizes.width = std::max(sizes.width, kBoxButtonGap + n * (kBoxButtonGap + buttonSize.width()));
    sizes.buttons += buttonSize.height();
    sizes.button = buttonSize;
    for (const Button& b : buttons_) {
        b.widget->setFixedSize(buttonSize);
    }
}

QPushButton* MessageBoxDialog::makeButton(const Button& button, int index) {
    auto* widget = new QPushButton(button.text, this);
    widget->setObjectName(QStringLiteral("message_button_%1").arg(answerCode(button.answer)));
    widget->setFont(font_);
    widget->setAutoDefault(false);
    const bool disableTime = countdown_.disablesButtons();
    const bool isDefault = index == defaultIndex_;
    if (button.answer == MessageAnswer::Help) {
        widget->setDefault(isDefault);
        if (isDefault && countdown_.onDefaultButton()) {
            widget->setText(countdownLabel(button.text, countdown_.secondsLeft()));
        }
    } else if (countdown_.inCaption()) {
        widget->setEnabled(false);
    } else if (isDefault) {
        widget->setDefault(!disableTime);
        if (countdown_.secondsLeft() != 0) {
            widget->setText(countdownLabel(button.text, countdown_.secondsLeft()));
            widget->setEnabled(!disableTime);
        }
    }
    const MessageAnswer answer = button.answer;
    connect(widget, &QPushButton::clicked, this, [this, answer] { command(answer); });
    if (isDefault) {
        widget->setFocus(Qt::OtherFocusReason);
    }
    return widget;
}

void MessageBoxDialog::placeControls() {
    const QRect client(0, 0, width(), sizes_.header + sizes_.message + sizes_.buttons);
    const bool below = params_.style.options.testFlag(MessageOption::CheckBoxBelow);
    const auto rects = placeMessageButtons(client, static_cast<int>(buttons_.size()), sizes_.button,
                                           params_.buttonAlignment, below, !checkBox_.isNull());
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i].widget->move(rects[i].topLeft());
    }
    if (!checkBox_.isNull()) {
        const QRect box = placeCheckBox(client, sizes_.button, below);
        checkBox_->move(box.topLeft() - QPoint(2, 2));
        checkLabel_->move(box.right() + 1 + kBoxCheckBoxLabelGap,
                          box.top() + (box.height() - checkLabel_->height()) / 2);
    }
    if (!detailsView_.isNull()) {
        detailsView_->setGeometry(kBoxMarginX, client.bottom() + 1 + kBoxMarginY, width() - 2 * kBoxMarginX,
                                  sizes_.details - 2 * kBoxMarginY);
    }
}

int MessageBoxDialog::clientHeight() const {
    return sizes_.header + sizes_.message + sizes_.buttons + (detailsShown_ ? sizes_.details : 0);
}

}  // namespace ostrum::ui
