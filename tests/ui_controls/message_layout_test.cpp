// SPDX-License-Identifier: GPL-3.0-or-later
// The message box's plain computations: button sets, default index, text resolution, placement,
// the countdown formats and the answer memory's names.
#include "ui/msgbox/message_layout.h"

#include <gtest/gtest.h>

#include "app/resources/program_message.h"
#include "test_doubles.h"
#include "ui/msgbox/answer_memory.h"
#include "ui/msgbox/message_texts.h"

namespace ostrum::ui {
namespace {

class TableStrings final : public NoResources {
  public:
    std::optional<QString> string(int id) const override {
        if (id == 9007) return QStringLiteral("Ja");
        if (id == 500) return QStringLiteral("from resource 500");
        if (id == 9008) return QString();  // present but empty
        return std::nullopt;
    }
};

using A = MessageAnswer;

std::vector<A> answers(const MessageButtonSet& set) {
    std::vector<A> out;
    for (const auto& b : set.buttons) out.push_back(b.answer);
    return out;
}

MessageStyle withOptions(MessageButtons buttons, MessageOptions options) {
    return {buttons, MessageIcon::None, 0, options};
}

TEST(MessageBoxButtons, EveryStandardSetWithItsCancelRule) {
    using B = MessageButtons;
    using O = MessageOption;
    struct Case {
        MessageStyle style;
        std::vector<A> answers;
        bool cancel;
    };
    const Case cases[] = {
        {{B::Ok}, {A::Ok}, true},
        {{B::OkCancel}, {A::Ok, A::Cancel}, true},
        {{B::AbortRetryIgnore}, {A::Abort, A::Retry, A::Ignore}, false},
        {{B::YesNoCancel}, {A::Yes, A::No, A::Cancel}, true},
        {{B::YesNo}, {A::Yes, A::No}, false},
        {{B::RetryCancel}, {A::Retry, A::Cancel}, true},
        {{B::CancelTryContinue}, {A::Cancel, A::TryAgain, A::Continue}, true},
        {{B::ContinueAbort}, {A::Continue, A::Abort}, false},
        {{B::SkipSkipAllCancel}, {A::Skip, A::SkipAll, A::Cancel}, true},
        {{B::IgnoreIgnoreAllCancel}, {A::Ignore, A::IgnoreAll, A::Cancel}, true},
        {{B::None}, {}, false},
        {withOptions(B::YesNo, O::YesToAll | O::NoToAll), {A::Yes, A::YesToAll, A::No, A::NoToAll}, false},
        {withOptions(B::YesNoCancel, O::NoToAll), {A::Yes, A::No, A::NoToAll, A::Cancel}, true},
        {withOptions(B::Ok, O::Help), {A::Ok, A::Help}, true},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const MessageButtonSet set = buildMessageButtons(cases[i].style, {}, false, false);
        EXPECT_EQ(answers(set), cases[i].answers) << "case " << i;
        EXPECT_EQ(set.cancelAllowed, cases[i].cancel) << "case " << i;
    }
    EXPECT_EQ(answers(buildMessageButtons(withOptions(B::OkCancel, O::Help), {}, true, true)),
              (std::vector<A>{A::Ok, A::Cancel, A::Help, A::Report, A::Details}));
}

TEST(MessageBoxButtons, CustomLinesReplaceTheStandardSetAndSkipEmptyLines) {
    const MessageButtonSet set =
        buildMessageButtons({MessageButtons::OkCancel}, QStringLiteral("A\r\n\nB"), false, false);
    EXPECT_EQ(answers(set), (std::vector<A>{A::Custom1, A::Custom2}));
    EXPECT_EQ(set.buttons[0].customText, QStringLiteral("A"));
    EXPECT_EQ(set.buttons[1].customText, QStringLiteral("B"));
    EXPECT_FALSE(set.cancelAllowed);
    // At most four.
    EXPECT_EQ(answers(buildMessageButtons({}, QStringLiteral("1\n2\n3\n4\n5\n6"), false, false)),
              (std::vector<A>{A::Custom1, A::Custom2, A::Custom3, A::Custom4}));
}

TEST(MessageBoxButtons, DefaultIndexPastTheLastButtonMeansTheFirst) {
    auto withDefault = [](int index) { return MessageStyle{MessageButtons::Ok, MessageIcon::None, index}; };
    EXPECT_EQ(defaultButtonIndex(withDefault(1), 3), 1);
    EXPECT_EQ(defaultButtonIndex(withDefault(5), 3), 0);
    EXPECT_EQ(defaultButtonIndex(withDefault(2), 3), 2);
    EXPECT_EQ(defaultButtonIndex(withDefault(3), 3), 0);
    EXPECT_EQ(defaultButtonIndex(withDefault(-1), 3), 0);
}

TEST(MessageBoxTexts, MapThenResourceThenCallerDefaultThenBuiltIn) {
    const TableStrings strings;
    MessageTextMap map{
        {A::No, MessageText("Nein")}, {A::Ok, MessageText::fromId(500)}, {A::Retry, MessageText("")}};
    EXPECT_EQ(messageKeyText(A::No, &map, strings, false), QStringLiteral("Nein"));
    EXPECT_EQ(messageKeyText(A::Ok, &map, strings, false), QStringLiteral("from resource 500"));
    EXPECT_EQ(messageKeyText(A::Yes, &map, strings, false), QStringLiteral("Ja"));
    // An empty mapped text falls through; no resource for Retry, so the caller's default wins.
    EXPECT_EQ(messageKeyText(A::Retry, &map, strings, false, QStringLiteral("Again")),
              QStringLiteral("Again"));
    EXPECT_EQ(messageKeyText(A::Retry, &map, strings, false), QStringLiteral("Retry"));
    // Without string resources, ids resolve to nothing and the built-in text shows.
    EXPECT_EQ(messageKeyText(A::Yes, &map, strings, true), QStringLiteral("Yes"));
    EXPECT_EQ(messageKeyText(A::Ok, &map, strings, true), QStringLiteral("OK"));
    EXPECT_EQ(messageKeyText(MessageLabel::CaptionCountdown, nullptr, strings, false),
              QStringLiteral("%s (%d seconds remaining)"));
    EXPECT_EQ(messageKeyText(A::Details, nullptr, strings, false), QStringLiteral("More >>"));
    EXPECT_EQ(messageKeyText(MessageLabel::DetailsShown, nullptr, strings, false), QStringLiteral("<< More"));
    EXPECT_EQ(resolveMessageText(MessageText::fromId(777), strings, false), QString());
    EXPECT_EQ(resolveMessageText(MessageText("text "), strings, false), QStringLiteral("text "));
}

TEST(MessageBoxTexts, CountdownFormatsInsertTextAndNumberOnce) {
    EXPECT_EQ(countdownLabel(QStringLiteral("OK"), 10), QStringLiteral("OK = 10"));
    EXPECT_EQ(formatTextNumber(QStringLiteral("%s (%d seconds remaining)"), QStringLiteral("Cap"), 5),
              QStringLiteral("Cap (5 seconds remaining)"));
    // A caption holding a conversion is shown as it is, and unknown conversions stay literal.
    EXPECT_EQ(formatTextNumber(QStringLiteral("%d: %s %x 100%%"), QStringLiteral("50%d %s"), 3),
              QStringLiteral("3: 50%d %s %x 100%"));
}

TEST(MessageBoxPlacement, ButtonsByAlignmentAndCheckBoxAboveOrBelow) {
    const QRect client(0, 0, 400, 200);
    const QSize size(80, 23);
    auto centred = placeMessageButtons(client, 2, size, 2, false, false);
    ASSERT_EQ(centred.size(), 2u);
    EXPECT_EQ(centred[0], QRect(114, 166, 80, 23));  // total 171, (400 - 171) / 2
    EXPECT_EQ(centred[1].left(), 114 + 91);
    EXPECT_EQ(placeMessageButtons(client, 2, size, 0, false, false)[0].left(), 11);
    EXPECT_EQ(placeMessageButtons(client, 2, size, 1, false, false)[1].right(), 400 - 11 - 1);
    // The check box below the buttons lifts them by its height and a margin.
    EXPECT_EQ(placeMessageButtons(client, 1, size, 2, true, true)[0].top(), 166 - 24);
    EXPECT_EQ(placeCheckBox(client, size, true), QRect(10, 200 - 11 - 13, 13, 13));
    EXPECT_EQ(placeCheckBox(client, size, false), QRect(10, 200 - 22 - 23 - 13, 13, 13));
}

TEST(MessageBoxPlacement, ButtonSizeScalesTheTextLikeMulDiv) {
    EXPECT_EQ(scaledButtonSize(QSize(45, 13)), QSize(80, 23));
    EXPECT_EQ(scaledButtonSize(QSize(90, 26)), QSize(160, 46));
    EXPECT_EQ(scaledButtonSize(QSize(10, 13)), QSize(18, 23));  // 17.8 rounds up
}

TEST(AnswerMemoryNames, KeyPathMirrorsTheRegistryKey) {
    EXPECT_EQ(AnswerMemory::keyPath(QStringLiteral("Acme"), QStringLiteral("tool")),
              QStringLiteral("Software/Acme/tool/RxMessageBox"));
    EXPECT_EQ(AnswerMemory::keyPath({}, QStringLiteral("tool")),
              QStringLiteral("Software/tool/RxMessageBox"));
    EXPECT_EQ(AnswerMemory::valueName(QStringLiteral("Msg"), 7), QStringLiteral("Msg7"));
    EXPECT_EQ(AnswerMemory::valueName(QStringLiteral("Msg"), -3), QStringLiteral("Msg-3"));
}

TEST(ProgramMessages, StandardRecordHasThePaleYellowBump) {
    const MessageBoxParams p = app::standardMessageParams();
    EXPECT_EQ(p.background.separatorType, 0);
    EXPECT_EQ(p.background.separatorAlign, 2);
    EXPECT_TRUE(p.background.separatorText.isNull());
    EXPECT_EQ(p.background.effect, 12);
    EXPECT_EQ(p.background.colour1, 0x86FDF7u);
    EXPECT_EQ(p.background.colour2, 0xFFFFFFu);
    EXPECT_EQ(p.background.colour3, 0x86FDF7u);
    // Everything else at its default.
    EXPECT_EQ(p.header.effect, -1);
    EXPECT_EQ(p.buttonAlignment, 2);
    EXPECT_EQ(p.headerHeight, 0);
    EXPECT_EQ(p.textMap, nullptr);
}

}  // namespace
}  // namespace ostrum::ui
