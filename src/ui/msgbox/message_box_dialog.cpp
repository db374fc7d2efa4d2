// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/msgbox/message_box_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>

#include "ui/msgbox/message_texts.h"
#include "ui/msgbox/msgbox_codes.h"
#include "ui/msgbox/msgbox_painting.h"
#include "ui/msgbox/msgbox_placement.h"
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

}  // namespace

MessageBoxDialog::MessageBoxDialog(const MessageBoxParams& params, AnswerMemory memory)
    : QDialog(params.owner),
      params_(params),
      memory_(std::move(memory)),
      strings_(params.stringsModule ? params.stringsModule : std::make_shared<const NoResourceProvider>()),
      opener_(std::make_shared<DesktopLinkOpener>()),
      font_(QApplication::font()),
      countdown_(params, [this] { tick(); }) {
    setObjectName(QStringLiteral("message_box"));
    setModal(true);
    setMouseTracking(true);
    caption_ = params_.caption.left(kMaxCaption);
    loadIcon();

    // Start-up, in the order the box has always followed.
    for (RichTextDrawer* drawer : allDrawers()) {
        drawer->setNotification([this](unsigned, int, std::intptr_t) { update(); }, kDrawerNotify, 0);
        drawer->setResourceProvider(strings_);
        drawer->setLinkOpener(opener_);
    }
    buildBody();
    measureAndCreate();
    applyCaption();
    centreMessageBox(*this);
    placeControls();
    if (params_.style.options.testFlag(MessageOption::TopMost)) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    countdown_.start();
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
            if (params_.iconModule) icon_ = params_.iconModule->icon(id);
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

void MessageBoxDialog::applyCaption() {
    bool closeEnabled = cancelAllowed_ || escapeAnswer_ != MessageAnswer::None;
    QString shown = caption_;
    if (countdown_.disablesButtons()) {
        if (countdown_.inCaption()) {
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
    return formatTextNumber(keyText(MessageLabel::CaptionCountdown), caption_, countdown_.secondsLeft());
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
    countdown_.stop();
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
    keepMessageBoxOnScreen(*this);
    update();
}

void MessageBoxDialog::help() {
    if (params_.help) {
        params_.help(this);
        return;
    }
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
    if (!countdown_.tick()) {
        countdownEnded();
        return;
    }
    Button* target = defaultButton();
    if (countdown_.inCaption()) {
        setWindowTitle(countdownCaption());
    } else if (target != nullptr) {
        target->widget->setText(countdownLabel(target->text, countdown_.secondsLeft()));
    }
}

void MessageBoxDialog::countdownEnded() {
    Button* target = defaultButton();
    if (countdown_.disablesButtons()) {
        if (cancelAllowed_ || escapeAnswer_ != MessageAnswer::None) {
            setCloseEnabled(true);
        }
        if (countdown_.inCaption()) {
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
    } else if (countdown_.closesBox() && target != nullptr) {
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

void MessageBoxDialog::ensureBackgroundCache() {
    if (background_.isNull() || background_.width() != width()) {
        background_ = paintMessageBackground(params_, sizes_, width(),
                                             {headerSeparator_, buttonsSeparator_, detailsSeparator_}, font_);
    }
}

void MessageBoxDialog::paintTexts(QPainter& painter) {
    MessageTextDrawers drawers;
    if (sizes_.header > 0 && !header_.isEmpty()) drawers.header = &headerDrawer_;
    if (!body_.isEmpty()) drawers.body = &messageDrawer_;
    if (detailsShown_ && sizes_.details > 0 && detailsView_.isNull()) drawers.details = &detailsDrawer_;
    paintMessageTexts(painter, drawers, sizes_, size());
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
