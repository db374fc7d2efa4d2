#include "ui/msgbox/rx_msgbox_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTextDocument>

#include "ui/effects/effect_painter.h"
#include "ui/msgbox/msgbox_codes.h"
#include "ui/msgbox/rx_texts.h"
#include "ui/resources/program_resources.h"
#include "ui/skin/skin_picture.h"

namespace ostrum::ui {

namespace {

constexpr std::uint32_t kIconHandle = 1;  // the handle under which the body's icon is registered
constexpr int kSystemIconSize = 32;       // the desktop's large icon size

QStyle::StandardPixmap systemIconFor(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return QStyle::SP_MessageBoxCritical;
        case MessageIcon::Question:
            return QStyle::SP_MessageBoxQuestion;
        case MessageIcon::Warning:
            return QStyle::SP_MessageBoxWarning;
        default:
            return QStyle::SP_MessageBoxInformation;
    }
}

bool hasStrip(const MessageArea& area) {
    return area.effect >= 0;
}

void drawSeparatorLine(QPainter& p, int type, int x1, int x2, int y) {
    if (x2 <= x1) {
        return;
    }
    switch (type) {
        case 1:  // etched: shadow over highlight
            p.fillRect(x1, y, x2 - x1, 1, toQColor(systemColor(COLOR_BTNSHADOW)));
            p.fillRect(x1, y + 1, x2 - x1, 1, toQColor(systemColor(COLOR_BTNHIGHLIGHT)));
            break;
        case 2:
            p.fillRect(x1, y, x2 - x1, 1, Qt::black);
            break;
        case 3:
            p.fillRect(x1, y, x2 - x1, 1, Qt::white);
            break;
        default:
            break;
    }
}

// The separator of an area along line `y`, inside `left`..`right` less the text padding.
void drawSeparator(QPainter& p, const MessageArea& area, const QString& text, const QFont& font, int left,
                   int right, int y) {
    if (area.separatorType < 1 || area.separatorType > 3) {
        return;
    }
    const int x1 = left + kBoxTextPadding;
    const int x2 = right - kBoxTextPadding;
    if (text.isEmpty() || area.separatorAlign < 0 || area.separatorAlign > 2) {
        drawSeparatorLine(p, area.separatorType, x1, x2, y);
        return;
    }
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(text);
    int textLeft = x1;
    if (area.separatorAlign == 1) {
        textLeft = x2 - width;
    } else if (area.separatorAlign == 2) {
        textLeft = x1 + (x2 - x1 - width) / 2;
    }
    p.setFont(font);
    drawEmbossedText(p, QRect(textLeft, y - metrics.height() / 2, width, metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
    drawSeparatorLine(p, area.separatorType, x1, textLeft - kBoxTextPadding, y);
    drawSeparatorLine(p, area.separatorType, textLeft + width + kBoxTextPadding, x2, y);
}

void fillArea(QPainter& p, EffectPainter& effects, const MessageArea& area, const QRect& rect) {
    if (area.effect >= 0 && !rect.isEmpty()) {
        effects.fillBackground(p, area.effect, rect, area.colour1, area.colour2, area.colour3, 0, 0);
    }
}

}  // namespace

MessageBoxDialog::MessageBoxDialog(const MessageBoxParams& params, AnswerMemory memory)
    : QDialog(params.owner),
      params_(params),
      memory_(std::move(memory)),
      strings_(params.stringsModule ? params.stringsModule : ProgramResources::instance()),
      opener_(std::make_shared<DesktopLinkOpener>()),
      font_(QApplication::font()) {
    setObjectName(QStringLiteral("message_box"));
    setModal(true);
    setMouseTracking(true);
    caption_ = params_.caption.left(kMaxCaption);
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &MessageBoxDialog::tick);
    loadIcon();

    // Start-up, in the order the box has always followed.
    countdown_ = params_.disableSeconds > 0 ? params_.disableSeconds : 0;
    if (params_.autoCloseSeconds > 0) {
        countdown_ = params_.autoCloseSeconds;
    }
    for (RichTextDrawer* drawer : allDrawers()) {
        drawer->setNotification([this](unsigned, int, std::intptr_t) { update(); }, kDrawerNotify, 0);
        drawer->setResourceProvider(strings_);
        drawer->setLinkOpener(opener_);
    }
    buildBody();
    measureAndCreate();
    applyCaption();
    centre();
    placeControls();
    if (params_.style.options.testFlag(MessageOption::TopMost)) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    if (countdown_ != 0) {
        timer_.start();
    }
}

MessageBoxDialog::~MessageBoxDialog() = default;

void MessageBoxDialog::setLinkOpener(std::shared_ptr<LinkOpener> opener) {
    opener_ = std::move(opener);
    for (RichTextDrawer* drawer : allDrawers()) {
        drawer->setLinkOpener(opener_);
    }
}

QString MessageBoxDialog::resolve(const MessageText& text) const {
    return resolveMessageText(text, *strings_,
                              params_.style.options.testFlag(MessageOption::NoStringResources));
}

QString MessageBoxDialog::keyText(const MessageTextKey& key, const QString& callerDefault) const {
    return messageKeyText(key, params_.textMap, *strings_,
                          params_.style.options.testFlag(MessageOption::NoStringResources), callerDefault);
}

void MessageBoxDialog::loadIcon() {
    const MessageIcon icon = params_.style.icon;
    if (icon == MessageIcon::Error || icon == MessageIcon::Question || icon == MessageIcon::Warning ||
        icon == MessageIcon::Information) {
        icon_ = QApplication::style()->standardIcon(systemIconFor(icon));
    } else if (icon == MessageIcon::User) {
        bool isNumber = params_.userIcon.isId();
        int id = params_.userIcon.id();
        if (!isNumber) {
            id = params_.userIcon.text().toInt(&isNumber);
        }
        if (isNumber) {
            const auto icons = params_.iconModule ? params_.iconModule : ProgramResources::instance();
            icon_ = icons->icon(id);
        }
    }
}

void MessageBoxDialog::buildBody() {
    body_ = resolve(params_.message);
    if (params_.style.options.testFlag(MessageOption::RightAligned)) {
        body_ = QStringLiteral("<right>%1</right>").arg(body_);
    }
    if (!icon_.isNull()) {
        messageDrawer_.registerHandle(kIconHandle, icon_);
        body_ = QStringLiteral(
                    "<table cellpadding=%1><tr><td width=%2><icon handle=0x%3></td><td>%4</td></tr></table>")
                    .arg(kBoxTextPadding)
                    .arg(kSystemIconSize)
                    .arg(kIconHandle, 0, 16)
                    .arg(body_);
    }
}

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
        const int widest = largestClient().width() - 2 * kBoxMarginX;
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
    const QSize largest = largestClient();
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
    const bool disableTime = params_.disableSeconds > 0;
    const bool captionCountdown = disableTime && params_.captionCountdown;
    const bool isDefault = index == defaultIndex_;
    if (button.answer == MessageAnswer::Help) {
        widget->setDefault(isDefault);
        if (isDefault && (params_.autoCloseSeconds > 0 || (disableTime && !params_.captionCountdown))) {
            widget->setText(countdownLabel(button.text, countdown_));
        }
    } else if (captionCountdown) {
        widget->setEnabled(false);
    } else if (isDefault) {
        widget->setDefault(!disableTime);
        if (countdown_ != 0) {
            widget->setText(countdownLabel(button.text, countdown_));
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

void MessageBoxDialog::applyCaption() {
    bool closeEnabled = cancelAllowed_ || escapeAnswer_ != MessageAnswer::None;
    QString shown = caption_;
    if (params_.disableSeconds > 0) {
        if (params_.captionCountdown) {
            shown = countdownCaption();
            closeEnabled = false;
        } else if (defaultAnswer() == MessageAnswer::Cancel) {
            closeEnabled = false;
        }
    }
    setCloseEnabled(closeEnabled);
    setWindowTitle(shown);
}

void MessageBoxDialog::setCloseEnabled(bool enabled) {
    closeEnabled_ = enabled;
    const bool visible = isVisible();
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::MSWindowsFixedSizeDialogHint |
                   (enabled ? Qt::WindowCloseButtonHint : Qt::WindowType(0)) |
                   (params_.style.options.testFlag(MessageOption::TopMost) ? Qt::WindowStaysOnTopHint
                                                                           : Qt::WindowType(0)));
    if (visible) {
        show();  // changing the flags of a shown window hides it
    }
}

void MessageBoxDialog::centre() {
    const QWidget* parent = parentWidget();
    const QRect reference = parent != nullptr     ? parent->window()->frameGeometry()
                            : screen() != nullptr ? screen()->availableGeometry()
                                                  : QRect();
    move(reference.left() + (reference.width() - width()) / 2,
         reference.top() + (reference.height() - height()) / 2);
    keepOnScreen();
}

QRect MessageBoxDialog::availableArea() const {
    const QWidget* parent = parentWidget();
    const QScreen* shownOn = parent != nullptr ? parent->window()->screen() : screen();
    if (shownOn == nullptr) {
        shownOn = QGuiApplication::primaryScreen();
    }
    return shownOn != nullptr ? shownOn->availableGeometry() : QRect();
}

QSize MessageBoxDialog::largestClient() const {
    const QRect area = availableArea();
    if (area.isEmpty()) {
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    }
    return {area.width() - kBoxWindowFrame, area.height() - kBoxWindowFrame};
}

void MessageBoxDialog::keepOnScreen() {
    const QRect area = availableArea();
    if (area.isEmpty()) {
        return;
    }
    QRect frame = frameGeometry();
    if (frame.size() == size()) {
        frame.adjust(0, 0, kBoxWindowFrame, kBoxWindowFrame);  // not shown yet: the frame is allowed for
    }
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    if (x != frame.left() || y != frame.top()) {
        move(x, y);
    }
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

MessageBoxDialog::Button* MessageBoxDialog::defaultButton() {
    return buttons_.empty() ? nullptr : &buttons_[static_cast<std::size_t>(defaultIndex_)];
}

QPushButton* MessageBoxDialog::button(MessageAnswer answer) const {
    for (const Button& b : buttons_) {
        if (b.answer == answer) {
            return b.widget;
        }
    }
    return nullptr;
}

std::vector<MessageAnswer> MessageBoxDialog::buttonAnswers() const {
    std::vector<MessageAnswer> answers;
    for (const Button& b : buttons_) {
        answers.push_back(b.answer);
    }
    return answers;
}

MessageAnswer MessageBoxDialog::defaultAnswer() const {
    return buttons_.empty() ? MessageAnswer::None : buttons_[static_cast<std::size_t>(defaultIndex_)].answer;
}

MessageAnswer MessageBoxDialog::answer() const {
    return answerOfCode(result());
}

QString MessageBoxDialog::countdownCaption() const {
    return formatTextNumber(keyText(MessageLabel::CaptionCountdown), caption_, countdown_);
}

void MessageBoxDialog::command(MessageAnswer button) {
    switch (button) {
        case MessageAnswer::None:
            return;
        case MessageAnswer::Cancel:
            if (cancelAllowed_) {
                finish(button);
            } else if (escapeAnswer_ != MessageAnswer::None) {
                finish(escapeAnswer_);
            }
            return;
        case MessageAnswer::Help:
            help();
            return;
        case MessageAnswer::Report:
            report();
            return;
        case MessageAnswer::Details:
            toggleDetails();
            return;
        default:
            finish(button);
            return;
    }
}

void MessageBoxDialog::finish(MessageAnswer answer) {
    timer_.stop();
    // The dialog's result is the answer's number, which the answer memory stores as it always has.
    int result = answerCode(answer);
    if (!checkBox_.isNull() && checkBox_->isChecked()) {
        if (params_.style.options.testFlag(MessageOption::DontShowAgainTicked)) {
            result |= kTickedAnswerFlag;
        }
        const QString prefix = resolve(params_.memoryPrefix);
        if (!prefix.isEmpty()) {
            memory_.write(resolve(params_.memoryCompany), prefix, params_.memoryNumber, result);
        }
    }
    done(result);
}

void MessageBoxDialog::toggleDetails() {
    detailsShown_ = !detailsShown_;
    if (QPushButton* b = button(MessageAnswer::Details)) {
        b->setText(detailsShown_ ? lessText_ : moreText_);
    }
    if (!detailsView_.isNull()) {
        if (detailsShown_ && detailsView_->document()->isEmpty()) {
            detailsView_->setPlainText(markupAsPlainText(details_));
        }
        detailsView_->setVisible(detailsShown_);
    }
    setFixedSize(width(), clientHeight());
    keepOnScreen();
    update();
}

void MessageBoxDialog::help() {
    // The help file lies beside the program, named after it with the extension ".hlp".
    const QFileInfo program(QCoreApplication::applicationFilePath());
    opener_->open(program.absolutePath() + u'/' + program.completeBaseName() + QStringLiteral(".hlp"));
}

void MessageBoxDialog::report() {
    if (!params_.owner.isNull()) {
        QEvent message(static_cast<QEvent::Type>(params_.reportMessage));
        QCoreApplication::sendEvent(params_.owner, &message);
    }
}

void MessageBoxDialog::tick() {
    if (countdown_ != 0) {
        --countdown_;
    }
    Button* target = defaultButton();
    if (countdown_ > 0) {
        if (params_.disableSeconds > 0 && params_.captionCountdown) {
            setWindowTitle(countdownCaption());
        } else if (target != nullptr) {
            target->widget->setText(countdownLabel(target->text, countdown_));
        }
        return;
    }
    timer_.stop();
    countdownEnded();
}

void MessageBoxDialog::countdownEnded() {
    Button* target = defaultButton();
    if (params_.disableSeconds > 0) {
        if (cancelAllowed_ || escapeAnswer_ != MessageAnswer::None) {
            setCloseEnabled(true);
        }
        if (params_.captionCountdown) {
            setWindowTitle(caption_);
            for (const Button& b : buttons_) {
                b.widget->setEnabled(true);
            }
        } else if (target != nullptr) {
            target->widget->setText(target->text);
        }
        if (target != nullptr) {
            target->widget->setEnabled(true);
            target->widget->setDefault(true);
            target->widget->setFocus(Qt::OtherFocusReason);
        }
    } else if (params_.autoCloseSeconds > 0 && target != nullptr) {
        target->widget->setText(target->text);
        command(target->answer);
    }
}

void MessageBoxDialog::closeEvent(QCloseEvent* e) {
    e->ignore();
    if (closeEnabled_) {
        command(MessageAnswer::Cancel);
    }
}

void MessageBoxDialog::reject() {
    command(MessageAnswer::Cancel);  // Escape: only a box that allows cancel closes
}

void MessageBoxDialog::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        command(MessageAnswer::Cancel);
        return;
    }
    QDialog::keyPressEvent(e);
}

std::array<RichTextDrawer*, 3> MessageBoxDialog::allDrawers() {
    return {&headerDrawer_, &messageDrawer_, &detailsDrawer_};
}

std::vector<RichTextDrawer*> MessageBoxDialog::activeDrawers() {
    std::vector<RichTextDrawer*> drawers;
    if (params_.headerHeight != 0) {
        drawers.push_back(&headerDrawer_);
    }
    if (!body_.isEmpty()) {
        drawers.push_back(&messageDrawer_);
    }
    if (!details_.isEmpty() && detailsShown_ && detailsView_.isNull()) {
        drawers.push_back(&detailsDrawer_);
    }
    return drawers;
}

void MessageBoxDialog::mouseMoveEvent(QMouseEvent* e) {
    const QPoint point = e->position().toPoint();
    bool overLink = false;
    for (RichTextDrawer* drawer : activeDrawers()) {
        if (drawer->hoverTest(point)) {
            overLink = true;
            break;
        }
    }
    if (overLink) {
        setCursor(RichTextDrawer::handCursor());
    } else {
        unsetCursor();
    }
    QDialog::mouseMoveEvent(e);
}

void MessageBoxDialog::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        for (RichTextDrawer* drawer : activeDrawers()) {
            drawer->click(e->position().toPoint());
        }
    }
    QDialog::mousePressEvent(e);
}

void MessageBoxDialog::paintBackgroundCache() {
    const int w = width();
    const int h = sizes_.header + sizes_.message + sizes_.buttons + sizes_.details;
    background_ = QImage(w, h, QImage::Format_RGB32);
    QPainter p(&background_);
    EffectPainter effects;
    if (params_.background.effect >= 0) {
        fillArea(p, effects, params_.background, background_.rect());
    } else {
        p.fillRect(background_.rect(), toQColor(systemColor(COLOR_BTNFACE)));
    }
    const QRect header(0, 0, w, sizes_.header);
    if (sizes_.header > 0) {
        fillArea(p, effects, params_.header, header);
        drawSeparator(p, params_.header, headerSeparator_, font_, 0, w, header.bottom());
    }
    const QRect strip(0, sizes_.header + sizes_.message, w, sizes_.buttons);
    fillArea(p, effects, params_.buttons, strip);
    drawSeparator(p, params_.buttons, buttonsSeparator_, font_, 0, w, strip.top());
    if (sizes_.details > 0) {
        const QRect details(0, strip.bottom() + 1, w, sizes_.details);
        fillArea(p, effects, params_.details, details);
        drawSeparator(p, params_.details, detailsSeparator_, font_, 0, w, details.top());
    }
}

void MessageBoxDialog::paintTexts(QPainter& painter) {
    const int w = width();
    if (sizes_.header > 0 && !header_.isEmpty()) {
        headerDrawer_.draw(painter, QRect(QPoint(kBoxMarginX, kBoxMarginY),
                                          QPoint(w - kBoxMarginX - 1, sizes_.header - kBoxMarginY - 1)));
    }
    if (!body_.isEmpty()) {
        const int top = sizes_.header;
        messageDrawer_.draw(painter,
                            QRect(QPoint(kBoxMarginX, top + kBoxMarginY),
                                  QPoint(w - kBoxMarginX - 1, top + sizes_.message - kBoxMarginY - 1)));
    }
    if (detailsShown_ && sizes_.details > 0 && detailsView_.isNull()) {
        const int top = sizes_.header + sizes_.message + sizes_.buttons;
        detailsDrawer_.draw(painter, QRect(QPoint(kBoxMarginX, top + kBoxMarginY),
                                           QPoint(w - kBoxMarginX - 1, height() - 1)));
    }
}

void MessageBoxDialog::ensureBackgroundCache() {
    if (background_.isNull() || background_.width() != width()) {
        paintBackgroundCache();
    }
}

QImage MessageBoxDialog::renderClient() {
    ensureBackgroundCache();
    QImage frame = background_.copy(0, 0, width(), height());
    QPainter painter(&frame);
    paintTexts(painter);
    return frame;
}

void MessageBoxDialog::paintEvent(QPaintEvent* e) {
    ensureBackgroundCache();
    QPainter painter(this);
    painter.drawImage(e->rect().topLeft(), background_, e->rect());
    paintTexts(painter);
}

}  // namespace ostrum::ui
