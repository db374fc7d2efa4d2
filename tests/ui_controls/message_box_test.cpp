// SPDX-License-Identifier: GPL-3.0-or-later
// The message box driven as the user drives it: keys, clicks and the close box on the running box,
// countdowns ticked directly, the answer memory, and a call made from a worker thread.
#include "ui/msgbox/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>

#include "app/resources/program_message.h"
#include "test_doubles.h"
#include "ui/msgbox/message_box_dialog.h"
#include "ui/msgbox/msgbox_countdown.h"

namespace ostrum::ui {
namespace {

MessageBoxDialog* shownBox() {
    return qobject_cast<MessageBoxDialog*>(QApplication::activeModalWidget());
}

// Runs `action` once on the first message box that is shown while the driver lives. A watchdog
// ends a box that the action left open, so a broken test fails instead of hanging.
class BoxDriver {
  public:
    explicit BoxDriver(std::function<void(MessageBoxDialog&)> action) : action_(std::move(action)) {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            MessageBoxDialog* box = shownBox();
            if (box == nullptr || seen_) {
                return;
            }
            seen_ = true;
            action_(*box);
            watchdog_.start();
        });
        watchdog_.setSingleShot(true);
        watchdog_.setInterval(5000);
        QObject::connect(&watchdog_, &QTimer::timeout, [] {
            if (MessageBoxDialog* box = shownBox()) {
                box->done(-99);
            }
        });
        poll_.start();
    }
    bool seen() const { return seen_; }

  private:
    std::function<void(MessageBoxDialog&)> action_;
    QTimer poll_;
    QTimer watchdog_;
    bool seen_ = false;
};

void click(QPushButton* button) {
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

std::unique_ptr<MessageBoxDialog> makeBox(const QString& text, MessageStyle style,
                                          const MessageBoxParams& params = {}) {
    style.options |= MessageOption::NoBeep;
    return std::make_unique<MessageBoxDialog>(
        prepareMessageParams(nullptr, MessageText(text), QStringLiteral("Cap"), style, &params));
}

MessageStyle noBeep(MessageButtons buttons, int defaultButton = 0, MessageOptions options = {}) {
    return {buttons, MessageIcon::None, defaultButton, options | MessageOption::NoBeep};
}

TEST(MessageBox, EscapeClosesTheOkOnlyStylesWithCancel) {
    for (auto style : {app::kMessagePlain, app::kMessageNotice, app::kMessageInformation}) {
        BoxDriver driver([](MessageBoxDialog& box) { QTest::keyClick(&box, Qt::Key_Escape); });
        EXPECT_EQ(app::programMessage(QStringLiteral("No Data found"), app::kCaptionTapeMedia, style),
                  MessageAnswer::Cancel);
        EXPECT_TRUE(driver.seen());
    }
}

// A Yes/No question used to ignore Escape and the close box, so that the exit question could only be left
// by a button: both answer No now.
TEST(MessageBox, EscapeAndTheCloseBoxAnswerNoToAQuestion) {
    for (const bool byCloseBox : {false, true}) {
        bool closeShown = false;
        BoxDriver driver([&](MessageBoxDialog& box) {
            closeShown = box.closeEnabled() && box.windowFlags().testFlag(Qt::WindowCloseButtonHint);
            EXPECT_EQ(box.windowTitle(), QStringLiteral("Brivane Ostrum Tape Media"));
            if (byCloseBox) {
                box.close();
            } else {
                QTest::keyClick(&box, Qt::Key_Escape);
            }
        });
        EXPECT_EQ(app::programMessage(QStringLiteral("Do you really want to exit?"),
                                      app::kCaptionTapeMediaMixedCase, app::kMessageQuestion),
                  MessageAnswer::No);
        EXPECT_TRUE(closeShown);
    }
}

TEST(MessageBox, CloseCommandGreyedOnlyWhenCancelIsNotAllowed) {
    auto abortRetry = makeBox(QStringLiteral("x"), {MessageButtons::AbortRetryIgnore});
    abortRetry->show();
    EXPECT_FALSE(abortRetry->cancelAllowed());
    EXPECT_FALSE(abortRetry->closeEnabled());
    abortRetry->close();
    QTest::keyClick(abortRetry.get(), Qt::Key_Escape);
    EXPECT_TRUE(abortRetry->isVisible());

    auto ok = makeBox(QStringLiteral("x"), {});
    ok->show();
    EXPECT_TRUE(ok->closeEnabled());
    EXPECT_TRUE(ok->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    ok->close();
    EXPECT_FALSE(ok->isVisible());
    EXPECT_EQ(ok->answer(), MessageAnswer::Cancel);
}

TEST(MessageBox, CustomButtonsSkipEmptyLinesAndAnswerTheirIds) {
    MessageBoxParams params;
    params.customButtons = QStringLiteral("A\r\n\nB");
    std::vector<MessageAnswer> answers;
    BoxDriver driver([&](MessageBoxDialog& box) {
        answers = box.buttonAnswers();
        EXPECT_EQ(box.button(MessageAnswer::Custom2)->text(), QStringLiteral("B"));
        click(box.button(MessageAnswer::Custom2));
    });
    EXPECT_EQ(showMessageBox(nullptr, MessageText("Pick"), QStringLiteral("Cap"),
                             noBeep(MessageButtons::OkCancel), &params),
              MessageAnswer::Custom2);
    EXPECT_EQ(answers, (std::vector<MessageAnswer>{MessageAnswer::Custom1, MessageAnswer::Custom2}));
}

// A box of custom buttons has no Cancel: Escape and the close box do nothing there unless the record
// names the answer they give (the name-clash question's "Keep both").
TEST(MessageBox, EscapeAnswerOfACustomBox) {
    MessageBoxParams params;
    params.customButtons = QStringLiteral("Keep\nDrop");
    auto silent = makeBox(QStringLiteral("x"), {MessageButtons::None}, params);
    silent->show();
    EXPECT_FALSE(silent->closeEnabled());
    QTest::keyClick(silent.get(), Qt::Key_Escape);
    EXPECT_TRUE(silent->isVisible());

    params.escapeAnswer = MessageAnswer::Custom1;
    for (const bool byCloseBox : {false, true}) {
        auto box = makeBox(QStringLiteral("x"), {MessageButtons::None}, params);
        box->show();
        EXPECT_TRUE(box->closeEnabled());
        if (byCloseBox) {
            box->close();
        } else {
            QTest::keyClick(box.get(), Qt::Key_Escape);
        }
        EXPECT_FALSE(box->isVisible());
        EXPECT_EQ(box->answer(), MessageAnswer::Custom1);
    }
}

TEST(MessageBox, DefaultIndexPastTheButtonsSelectsTheFirst) {
    auto box = makeBox(QStringLiteral("x"), {MessageButtons::AbortRetryIgnore, MessageIcon::None, 5});
    EXPECT_EQ(box->defaultAnswer(), MessageAnswer::Abort);
    EXPECT_TRUE(box->button(MessageAnswer::Abort)->isDefault());
    EXPECT_FALSE(box->button(MessageAnswer::Retry)->isDefault());
    auto second = makeBox(QStringLiteral("x"), {MessageButtons::YesNo, MessageIcon::None, 1});
    EXPECT_EQ(second->defaultAnswer(), MessageAnswer::No);
}

TEST(MessageBox, AutoCloseCountsDownOnTheDefaultButtonAndClosesWithIt) {
    MessageBoxParams params;
    params.autoCloseSeconds = 10;
    std::vector<QString> labels;
    BoxDriver driver([&](MessageBoxDialog& box) {
        labels.push_back(box.button(MessageAnswer::Ok)->text());
        while (box.isVisible()) {
            box.tick();
            labels.push_back(box.button(MessageAnswer::Ok)->text());
        }
    });
    EXPECT_EQ(showMessageBox(nullptr, MessageText("Closing soon"), QStringLiteral("Cap"),
                             noBeep(MessageButtons::Ok), &params),
              MessageAnswer::Ok);
    ASSERT_EQ(labels.size(), 11u);
    EXPECT_EQ(labels[0], QStringLiteral("OK = 10"));
    EXPECT_EQ(labels[1], QStringLiteral("OK = 9"));
    EXPECT_EQ(labels[9], QStringLiteral("OK = 1"));
    EXPECT_EQ(labels[10], QStringLiteral("OK"));  // restored before closing
}

TEST(MessageBox, AutoCloseTimerClosesWithTheDefaultOfAQuestion) {
    MessageBoxParams params;
    params.autoCloseSeconds = 3;
    BoxDriver driver([](MessageBoxDialog& box) {
        EXPECT_TRUE(box.timerRunning());
        box.setTickInterval(2);  // three "seconds" of a few milliseconds
    });
    EXPECT_EQ(showMessageBox(nullptr, MessageText("Go on?"), QStringLiteral("Cap"),
                             noBeep(MessageButtons::YesNo, 1), &params),
              MessageAnswer::No);
}

TEST(MessageBox, DisableSecondsWithCaptionCountdown) {
    MessageBoxParams params;
    params.disableSeconds = 5;
    params.captionCountdown = true;
    auto box = makeBox(QStringLiteral("Read this first"),
                       {MessageButtons::OkCancel, MessageIcon::None, 0, MessageOption::Help}, params);
    box->show();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Cap (5 seconds remaining)"));
    EXPECT_FALSE(box->button(MessageAnswer::Ok)->isEnabled());
    EXPECT_FALSE(box->button(MessageAnswer::Cancel)->isEnabled());
    EXPECT_TRUE(box->button(MessageAnswer::Help)->isEnabled());
    EXPECT_FALSE(box->closeEnabled());
    box->close();
    EXPECT_TRUE(box->isVisible());

    box->tick();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Cap (4 seconds remaining)"));
    for (int i = 0; i < 3; ++i) {
        box->tick();
    }
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Cap (1 seconds remaining)"));
    EXPECT_FALSE(box->button(MessageAnswer::Ok)->isEnabled());
    box->tick();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Cap"));
    EXPECT_TRUE(box->button(MessageAnswer::Ok)->isEnabled());
    EXPECT_TRUE(box->button(MessageAnswer::Cancel)->isEnabled());
    EXPECT_TRUE(box->button(MessageAnswer::Ok)->isDefault());
    EXPECT_TRUE(box->closeEnabled());
    EXPECT_FALSE(box->timerRunning());
    EXPECT_TRUE(box->isVisible());  // a disable countdown never closes the box
}

TEST(MessageBox, DisableSecondsWithoutCaptionCountdownLabelTheDefaultButton) {
    MessageBoxParams params;
    params.disableSeconds = 2;
    auto box = makeBox(QStringLiteral("x"), {MessageButtons::OkCancel, MessageIcon::None, 1}, params);
    EXPECT_EQ(box->button(MessageAnswer::Cancel)->text(), QStringLiteral("Cancel = 2"));
    EXPECT_FALSE(box->button(MessageAnswer::Cancel)->isEnabled());
    EXPECT_TRUE(box->button(MessageAnswer::Ok)->isEnabled());
    EXPECT_FALSE(box->closeEnabled());  // the default button is Cancel
    box->tick();
    EXPECT_EQ(box->button(MessageAnswer::Cancel)->text(), QStringLiteral("Cancel = 1"));
    box->tick();
    EXPECT_EQ(box->button(MessageAnswer::Cancel)->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(box->button(MessageAnswer::Cancel)->isEnabled());
    EXPECT_TRUE(box->closeEnabled());
}

// Asked for both, the box counts the auto-close seconds but ends as a disabled-buttons box: it does not
// close.
TEST(MessageBox, CountdownCountsAutoCloseSecondsAndEndsByTheDisableRule) {
    MessageBoxParams params;
    params.autoCloseSeconds = 2;
    params.disableSeconds = 5;
    int ticks = 0;
    MessageCountdown both(params, [&] { ++ticks; });
    EXPECT_EQ(both.secondsLeft(), 2);
    EXPECT_TRUE(both.disablesButtons());
    EXPECT_FALSE(both.closesBox());
    EXPECT_TRUE(both.onDefaultButton());
    both.setInterval(1);
    both.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks > 0; }, 5000));
    EXPECT_TRUE(both.tick());
    EXPECT_FALSE(both.tick());
    EXPECT_FALSE(both.running());
    EXPECT_EQ(both.secondsLeft(), 0);

    MessageCountdown none(MessageBoxParams(), [] {});
    none.start();
    EXPECT_FALSE(none.running());
    EXPECT_FALSE(none.tick());
}

TEST(MessageBox, DetailsGrowAndShrinkTheWindow) {
    MessageBoxParams params;
    params.detailsText = MessageText("Block 17 of set <b>2</b> could not be read.");
    auto box = makeBox(QStringLiteral("Something failed"), {}, params);
    box->show();
    const QSize closed = box->size();
    QPushButton* more = box->button(MessageAnswer::Details);
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(more->text(), QStringLiteral("More >>"));
    EXPECT_GT(box->strips().details, 2 * kBoxMarginY);
    click(more);
    EXPECT_TRUE(box->detailsShown());
    EXPECT_EQ(box->size(), QSize(closed.width(), closed.height() + box->strips().details));
    EXPECT_EQ(more->text(), QStringLiteral("<< More"));
    EXPECT_TRUE(box->isVisible());
    click(more);
    EXPECT_EQ(box->size(), closed);
    EXPECT_EQ(more->text(), QStringLiteral("More >>"));
}

TEST(MessageBox, DoNotShowAgainRemembersTheAnswer) {
    MessageBoxParams params;
    params.memoryPrefix = MessageText("Msg");
    params.memoryNumber = 7;
    const MessageStyle style{MessageButtons::YesNo, MessageIcon::Question, 0,
                             MessageOption::DontShowAgain | MessageOption::NoBeep};
    {
        BoxDriver driver([](MessageBoxDialog& box) {
            ASSERT_NE(box.checkBox(), nullptr);
            EXPECT_EQ(box.checkBoxLabel()->text(), QStringLiteral("Do not show again"));
            box.checkBox()->setChecked(true);
            click(box.button(MessageAnswer::Yes));
        });
        EXPECT_EQ(showMessageBox(nullptr, MessageText("Overwrite?"), QStringLiteral("Cap"), style, &params),
                  MessageAnswer::Yes);
    }
    const QSettings store(AnswerMemory().iniFileName(), QSettings::IniFormat);
    EXPECT_EQ(
        store.value(QStringLiteral("Software/%1/RxMessageBox/Msg7").arg(AnswerMemory::programFileName()))
            .toInt(),
        6);
    {
        BoxDriver second([](MessageBoxDialog& box) { box.done(-5); });
        EXPECT_EQ(showMessageBox(nullptr, MessageText("Overwrite?"), QStringLiteral("Cap"), style, &params),
                  MessageAnswer::Yes);
        EXPECT_FALSE(second.seen());
    }

    // A stored number that is no answer of the box is not taken for one: the box is asked again.
    QSettings(AnswerMemory().iniFileName(), QSettings::IniFormat)
        .setValue(QStringLiteral("Software/%1/RxMessageBox/Msg7").arg(AnswerMemory::programFileName()), 99);
    BoxDriver third([](MessageBoxDialog& box) { click(box.button(MessageAnswer::No)); });
    EXPECT_EQ(showMessageBox(nullptr, MessageText("Overwrite?"), QStringLiteral("Cap"), style, &params),
              MessageAnswer::No);
    EXPECT_TRUE(third.seen());
}

// The answer memory stores the answer's number with the ticked flag, as it always has; the flag no
// longer reaches the caller, whose answer is the button (it used to be the number with the flag).
TEST(MessageBox, TickedStyleIsStoredWithTheAnswerAndUncheckedStoresNothing) {
    MessageBoxParams params;
    params.memoryPrefix = MessageText("Other");
    params.memoryCompany = MessageText("Acme");
    params.memoryNumber = 2;
    BoxDriver unchecked([](MessageBoxDialog& box) {
        box.checkBox()->setChecked(false);
        click(box.button(MessageAnswer::No));
    });
    const MessageStyle style =
        noBeep(MessageButtons::YesNo, 0, MessageOption::DontShowAgain | MessageOption::DontShowAgainTicked);
    EXPECT_EQ(showMessageBox(nullptr, MessageText("q"), QStringLiteral("Cap"), style, &params),
              MessageAnswer::No);
    EXPECT_FALSE(AnswerMemory().read(QStringLiteral("Acme"), QStringLiteral("Other"), 2).has_value());

    BoxDriver checked([](MessageBoxDialog& box) {
        EXPECT_TRUE(box.checkBox()->isChecked());
        click(box.button(MessageAnswer::No));
    });
    EXPECT_EQ(showMessageBox(nullptr, MessageText("q"), QStringLiteral("Cap"), style, &params),
              MessageAnswer::No);
    EXPECT_EQ(AnswerMemory().read(QStringLiteral("Acme"), QStringLiteral("Other"), 2), 7 | 0x02000000);
    BoxDriver remembered([](MessageBoxDialog& box) { box.done(-5); });
    EXPECT_EQ(showMessageBox(nullptr, MessageText("q"), QStringLiteral("Cap"), style, &params),
              MessageAnswer::No);
    EXPECT_FALSE(remembered.seen());
}

TEST(MessageBox, WorkerThreadCallBlocksUntilAnswered) {
    std::atomic<MessageAnswer> result{MessageAnswer::Retry};
    std::atomic<bool> returned{false};
    bool blockedWhileShown = false;
    bool onWindowThread = false;
    // The box runs in a modal loop of the window thread; the driver answers it from there.
    BoxDriver driver([&](MessageBoxDialog& box) {
        onWindowThread = box.thread() == QApplication::instance()->thread() &&
                         QThread::currentThread() == QApplication::instance()->thread();
        QTest::qWait(20);  // give a worker that did not wait the chance to return
        blockedWhileShown = !returned.load();
        click(box.button(MessageAnswer::Ok));
    });
    std::unique_ptr<QThread> worker(QThread::create([&] {
        result =
            app::programMessage(QStringLiteral("No Data found"), app::kCaptionTapeMedia, app::kMessageNotice);
        returned = true;
    }));
    worker->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 10000));
    ASSERT_TRUE(worker->wait(5000));
    EXPECT_TRUE(driver.seen());
    EXPECT_TRUE(onWindowThread);
    EXPECT_TRUE(blockedWhileShown);
    EXPECT_EQ(result.load(), MessageAnswer::Ok);
}

TEST(MessageBox, CaptionAndOwnerRules) {
    EXPECT_EQ(prepareMessageParams(nullptr, MessageText("x"), QString(), {}, nullptr).caption,
              QStringLiteral("Error"));
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("Owner title"));
    const MessageBoxParams p = prepareMessageParams(&owner, MessageText("x"), QString(), {}, nullptr);
    EXPECT_EQ(p.caption, QStringLiteral("Owner title"));
    EXPECT_EQ(p.owner, &owner);
    // The record's own owner, caption, message and style are always replaced.
    MessageBoxParams given;
    given.caption = QStringLiteral("ignored");
    given.style.buttons = MessageButtons::YesNo;
    const MessageBoxParams q =
        prepareMessageParams(nullptr, MessageText("m"), QStringLiteral("Cap"), {MessageButtons::Ok}, &given);
    EXPECT_EQ(q.caption, QStringLiteral("Cap"));
    EXPECT_EQ(q.style, MessageStyle{MessageButtons::Ok});
    EXPECT_EQ(q.message.text(), QStringLiteral("m"));
}

// A short message used to make a box narrower than its title bar, which then clipped its own caption.
TEST(MessageBox, IsWideEnoughForItsCaption) {
    const QString caption = QStringLiteral("Brivane Ostrum Tape Media");
    MessageBoxDialog box(prepareMessageParams(nullptr, MessageText("Help file not found"), caption,
                                              noBeep(MessageButtons::Ok), nullptr));
    QFont bold = QApplication::font();
    bold.setBold(true);
    EXPECT_GE(box.width(), QFontMetrics(bold).horizontalAdvance(caption) + kBoxTitleBarRoom);
}

TEST(MessageBox, BodyKeepsTrailingBlanksAndWrapsIconAndRightAlignment) {
    auto plain = makeBox(QStringLiteral("Please stop search process "), {});
    EXPECT_EQ(plain->body(), QStringLiteral("Please stop search process "));
    auto notice = makeBox(QStringLiteral("Please Select drive "),
                          {MessageButtons::Ok, MessageIcon::Question, 0, MessageOption::RightAligned});
    EXPECT_TRUE(
        notice->body().startsWith(QStringLiteral("<table cellpadding=5><tr><td width=32><icon handle=0x1>")));
    EXPECT_TRUE(notice->body().contains(QStringLiteral("<td><right>Please Select drive </right></td>")));
}

TEST(MessageBox, HelpAndReportKeepTheBoxOpen) {
    const auto reportType = static_cast<QEvent::Type>(QEvent::registerEventType());
    QWidget owner;
    int reports = 0;
    class Filter : public QObject {
      public:
        Filter(QEvent::Type t, int& n) : type_(t), count_(n) {}
        bool eventFilter(QObject*, QEvent* e) override {
            count_ += e->type() == type_ ? 1 : 0;
            return false;
        }
        QEvent::Type type_;
        int& count_;
    } filter(reportType, reports);
    owner.installEventFilter(&filter);

    MessageBoxParams params;
    params.reportMessage = reportType;
    auto box = std::make_unique<MessageBoxDialog>(
        prepareMessageParams(&owner, MessageText("x"), QStringLiteral("Cap"),
                             noBeep(MessageButtons::Ok, 0, MessageOption::Help), &params));
    auto recorder = std::make_shared<RecordingLinkOpener>();
    box->setLinkOpener(recorder);
    box->show();
    EXPECT_EQ(box->buttonAnswers(),
              (std::vector<MessageAnswer>{MessageAnswer::Ok, MessageAnswer::Help, MessageAnswer::Report}));
    click(box->button(MessageAnswer::Help));
    click(box->button(MessageAnswer::Report));
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(reports, 1);
    ASSERT_EQ(recorder->opened.size(), 1);
    EXPECT_TRUE(recorder->opened.front().endsWith(QStringLiteral(".hlp")));
    click(box->button(MessageAnswer::Ok));
    EXPECT_EQ(box->answer(), MessageAnswer::Ok);

    // A record that says what Help does: that is done, over the box, instead.
    QWidget* helpedOver = nullptr;
    params.help = [&](QWidget* over) { helpedOver = over; };
    auto helped = std::make_unique<MessageBoxDialog>(
        prepareMessageParams(&owner, MessageText("x"), QStringLiteral("Cap"),
                             noBeep(MessageButtons::Ok, 0, MessageOption::Help), &params));
    helped->setLinkOpener(recorder);
    helped->show();
    click(helped->button(MessageAnswer::Help));
    EXPECT_EQ(helpedOver, helped.get());
    EXPECT_EQ(recorder->opened.size(), 1);
    EXPECT_TRUE(helped->isVisible());
}

TEST(MessageBox, CheckBoxLabelFromTheRecordOrTheTextMap) {
    MessageBoxParams params;
    params.checkBoxText = MessageText("Do not ask again for this tape");
    auto fromField =
        makeBox(QStringLiteral("x"), {MessageButtons::Ok, MessageIcon::None, 0, MessageOption::DontShowAgain},
                params);
    EXPECT_EQ(fromField->checkBoxLabel()->text(), QStringLiteral("Do not ask again for this tape"));
    const MessageTextMap map{{MessageLabel::CheckBox, MessageText("Never again")},
                             {MessageAnswer::Ok, MessageText("Fine")}};
    params.textMap = &map;
    auto fromMap = makeBox(QStringLiteral("x"),
                           {MessageButtons::Ok, MessageIcon::None, 0, MessageOption::DontShowAgain}, params);
    EXPECT_EQ(fromMap->checkBoxLabel()->text(), QStringLiteral("Never again"));
    EXPECT_EQ(fromMap->button(MessageAnswer::Ok)->text(), QStringLiteral("Fine"));
}

TEST(MessageBox, LinkInTheBodyIsFollowedOnClick) {
    auto box =
        makeBox(QStringLiteral("See <a href=\"https://example.com/tape\">the manual</a> for more."), {});
    auto recorder = std::make_shared<RecordingLinkOpener>();
    box->setLinkOpener(recorder);
    box->show();
    box->renderClient();  // lays the body out where the window shows it
    QPoint onLink(-1, -1);
    for (int y = 0; y < box->strips().message && onLink.x() < 0; y += 2) {
        for (int x = 0; x < box->width(); x += 2) {
            QTest::mouseMove(box.get(), QPoint(x, y));
            if (box->cursor().shape() == Qt::PointingHandCursor) {
                onLink = QPoint(x, y);
                break;
            }
        }
    }
    ASSERT_GE(onLink.x(), 0) << "no point of the body showed the hand cursor";
    QTest::mouseClick(box.get(), Qt::LeftButton, Qt::NoModifier, onLink);
    EXPECT_EQ(recorder->opened, QStringList{QStringLiteral("https://example.com/tape")});
    EXPECT_TRUE(box->isVisible());
}

TEST(MessageBox, PaintedBackgroundUsesTheAreaEffectsAndSeparators) {
    MessageBoxParams params = app::standardMessageParams();
    params.buttons.effect = kEffectSolid;
    params.buttons.colour1 = makeColorRef(10, 20, 200);
    params.buttons.separatorType = 2;
    params.buttons.separatorAlign = 5;  // no text: the line spans the width
    auto box = makeBox(QStringLiteral("Colours"), {}, params);
    const QImage client = box->renderClient();
    ASSERT_EQ(client.size(), box->size());
    const int stripTop = box->strips().header + box->strips().message;
    // The bump runs pale yellow at the edges to white in the middle.
    EXPECT_GE(qBlue(client.pixel(box->width() / 2, 3)), 250);
    EXPECT_LE(qBlue(client.pixel(1, 3)), 0x86 + 8);
    EXPECT_EQ(QColor(client.pixel(box->width() / 2, stripTop)), QColor(Qt::black));
    EXPECT_EQ(QColor(client.pixel(2, stripTop)), QColor(10, 20, 200));  // inside the 5-pixel inset
    EXPECT_EQ(QColor(client.pixel(box->width() / 2, client.height() - 2)), QColor(10, 20, 200));
}

}  // namespace
}  // namespace ostrum::ui
