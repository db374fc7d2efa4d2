// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MessageBoxDialog: the dialog behind showMessageBox. It lays out an optional header, the mark-up
// body with the style's icon, an optional details strip opened by "More >>" (drawn when short, a
// scrolling text of bounded size when long; the box never outgrows its screen), a strip of measured
// push buttons with the "Do not show again" check box, paints every strip with its own background
// effect into a cached picture, counts down for auto-close or disabled buttons, and ends with the
// answer of the button that closed it. Its pieces: the layout's methods in msgbox_dialog_layout.cpp
// (with the pure geometry of message_layout.h and the screen placement of msgbox_placement.h), the painting
// in msgbox_painting.h and the countdown in msgbox_countdown.h.

#include <QCheckBox>
#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <array>
#include <memory>
#include <vector>

#include "ui/msgbox/answer_memory.h"
#include "ui/msgbox/message_box_params.h"
#include "ui/msgbox/message_layout.h"
#include "ui/msgbox/msgbox_countdown.h"
#include "ui/platform/link_opener.h"
#include "ui/richtext/rich_text_drawer.h"

namespace ostrum::ui {

class MessageBoxDialog : public QDialog {
    Q_OBJECT
  public:
    // The notification the drawers send when the link under the cursor changes.
    static constexpr unsigned kDrawerNotify = 0x8064;
    static constexpr int kMaxCaption = 260;

    // `params` is the record after the call has applied its arguments (owner, caption, message, style).
    explicit MessageBoxDialog(const MessageBoxParams& params, AnswerMemory memory = AnswerMemory());
    ~MessageBoxDialog() override;

    // Test and gallery seams.
    void setTickInterval(int ms) { countdown_.setInterval(ms); }
    // Where Help and the links of header, body and details are opened.
    void setLinkOpener(std::shared_ptr<LinkOpener> opener);
    // One tick of the countdown, as the one-second timer does it.
    void tick();
    // A command as a button, Escape or the close box sends it (Escape and the close box send Cancel).
    void command(MessageAnswer button);

    QPushButton* button(MessageAnswer answer) const;
    // The buttons in the order they show, each by the answer it gives.
    std::vector<MessageAnswer> buttonAnswers() const;
    MessageAnswer defaultAnswer() const;
    // The answer the box ended with; None while it is open, or when it ended without a button.
    MessageAnswer answer() const;
    QCheckBox* checkBox() const { return checkBox_; }
    QLabel* checkBoxLabel() const { return checkLabel_; }
    // The scrolling view of details too long to draw; null when they are drawn or there are none.
    QPlainTextEdit* detailsView() const { return detailsView_; }
    bool cancelAllowed() const { return cancelAllowed_; }
    bool closeEnabled() const { return closeEnabled_; }
    bool detailsShown() const { return detailsShown_; }
    int countdown() const { return countdown_.secondsLeft(); }
    bool timerRunning() const { return countdown_.running(); }
    const QString& body() const { return body_; }
    // The icon the style asked for.
    MessageIcon icon() const { return params_.style.icon; }
    // The details behind "More >>", empty when there are none.
    const QString& details() const { return details_; }
    const MessageStripSizes& strips() const { return sizes_; }
    // The client area painted, as the window shows it now.
    QImage renderClient();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void reject() override;

  private:
    struct Button {
        MessageAnswer answer = MessageAnswer::None;
        QString text;
        QPointer<QPushButton> widget;
    };

    QString resolve(const MessageText& text) const;
    QString keyText(const MessageTextKey& key, const QString& callerDefault = {}) const;
    void loadIcon();
    void buildBody();
    void measureAndCreate();
    void measureTexts(MessageStripSizes& sizes);
    // The details strip: drawn when it fits in kBoxMostDetailLines and on the screen, else a scrolling
    // view of the room left. Measured after the other strips, whose room it takes what is left of.
    void measureDetails(MessageStripSizes& sizes);
    void createDetailsView(MessageStripSizes& sizes, int room);
    void createCheckBox(MessageStripSizes& sizes);
    void createButtons(MessageStripSizes& sizes);
    QPushButton* makeButton(const Button& button, int index);
    void applyCaption();
    void setCloseEnabled(bool enabled);
    void placeControls();
    void finish(MessageAnswer answer);
    void toggleDetails();
    void help();
    void report();
    void countdownEnded();
    // The caption while the buttons are disabled: the countdown format with caption and seconds.
    QString countdownCaption() const;
    Button* defaultButton();
    int clientHeight() const;
    void ensureBackgroundCache();
    void paintTexts(QPainter& painter);
    std::array<RichTextDrawer*, 3> allDrawers();
    std::vector<RichTextDrawer*> activeDrawers();

    MessageBoxParams params_;
    AnswerMemory memory_;
    std::shared_ptr<const ResourceProvider> strings_;
    std::shared_ptr<LinkOpener> opener_;
    QFont font_;
    QIcon icon_;
    QString caption_;
    QString body_;
    QString header_;
    QString details_;
    QString headerSeparator_;
    QString buttonsSeparator_;
    QString detailsSeparator_;
    QString moreText_;
    QString lessText_;
    std::vector<Button> buttons_;
    int defaultIndex_ = 0;
    QPointer<QCheckBox> checkBox_;
    QPointer<QLabel> checkLabel_;
    QPointer<QPlainTextEdit> detailsView_;
    bool cancelAllowed_ = false;
    // What Escape and the close box answer when Cancel is not allowed.
    MessageAnswer escapeAnswer_ = MessageAnswer::None;
    bool closeEnabled_ = true;
    bool detailsShown_ = false;
    MessageStripSizes sizes_;
    RichTextDrawer headerDrawer_;
    RichTextDrawer messageDrawer_;
    RichTextDrawer detailsDrawer_;
    QImage background_;  // the strips painted, cached until the width changes
    MessageCountdown countdown_;
};

}  // namespace ostrum::ui
