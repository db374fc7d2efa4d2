// The message box's plain computations: button sets, default index, text resolution, placement,
// the countdown formats and the answer memory's names.
#include <gtest/gtest.h>

#include "test_doubles.h"
#include "ui/msgbox/program_message.h"
#include "ui/msgbox/rx_answer_memory.h"
#include "ui/msgbox/rx_layout.h"
#include "ui/msgbox/rx_texts.h"

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

std::vector<int> ids(const MessageButtonSet& set) {
    std::vector<int> out;
    for (const auto& b : set.buttons) out.push_back(b.id);
    return out;
}

TEST(MessageBoxButtons, EveryStandardSetWithItsCancelRule) {
    struct Case {
        std::uint32_t style;
        std::vector<int> ids;
        bool cancel;
    };
    const Case cases[] = {
        {MB_OK, {IDOK}, true},
        {MB_OKCANCEL, {IDOK, IDCANCEL}, true},
        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}, false},
        {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}, true},
        {MB_YESNO, {IDYES, IDNO}, false},
        {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}, true},
        {MB_CANCELTRYCONTINUE, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, true},
        {RXMB_SET_CONTINUE_ABORT, {IDCONTINUE, IDABORT}, false},
        {RXMB_SET_SKIP, {RXID_SKIP, RXID_SKIP_ALL, IDCANCEL}, true},
        {RXMB_SET_IGNORE, {IDIGNORE, RXID_IGNORE_ALL, IDCANCEL}, true},
        {0xA, {}, false},
        {MB_YESNO | RXMB_YES_TO_ALL | RXMB_NO_TO_ALL, {IDYES, RXID_YES_TO_ALL, IDNO, RXID_NO_TO_ALL}, false},
        {MB_YESNOCANCEL | RXMB_NO_TO_ALL, {IDYES, IDNO, RXID_NO_TO_ALL, IDCANCEL}, true},
        {MB_OK | MB_HELP, {IDOK, IDHELP}, true},
    };
    for (const Case& c : cases) {
        const MessageButtonSet set = buildMessageButtons(c.style, {}, false, false);
        EXPECT_EQ(ids(set), c.ids) << "style " << std::hex << c.style;
        EXPECT_EQ(set.cancelAllowed, c.cancel) << "style " << std::hex << c.style;
    }
    EXPECT_EQ(ids(buildMessageButtons(MB_OKCANCEL | MB_HELP, {}, true, true)),
              (std::vector<int>{IDOK, IDCANCEL, IDHELP, RXID_REPORT, RXID_MORE}));
}

TEST(MessageBoxButtons, CustomLinesReplaceTheStandardSetAndSkipEmptyLines) {
    const MessageButtonSet set = buildMessageButtons(MB_OKCANCEL, QStringLiteral("A\r\n\nB"), false, false);
    EXPECT_EQ(ids(set), (std::vector<int>{23, 24}));
    EXPECT_EQ(set.buttons[0].customText, QStringLiteral("A"));
    EXPECT_EQ(set.buttons[1].customText, QStringLiteral("B"));
    EXPECT_FALSE(set.cancelAllowed);
    // At most four: ids 23 to 26.
    EXPECT_EQ(ids(buildMessageButtons(0, QStringLiteral("1\n2\n3\n4\n5\n6"), false, false)),
              (std::vector<int>{23, 24, 25, 26}));
}

TEST(MessageBoxButtons, DefaultIndexPastTheLastButtonMeansTheFirst) {
    EXPECT_EQ(defaultButtonIndex(MB_DEFBUTTON2, 3), 1);
    EXPECT_EQ(defaultButtonIndex(0x500, 3), 0);
    EXPECT_EQ(defaultButtonIndex(0x200, 3), 2);
    EXPECT_EQ(defaultButtonIndex(0x300, 3), 0);
}

TEST(MessageBoxTexts, MapThenResourceThenCallerDefaultThenBuiltIn) {
    const TableStrings strings;
    MessageTextMap map{
        {IDNO, MessageText("Nein")}, {IDOK, MessageText::fromId(500)}, {IDRETRY, MessageText("")}};
    EXPECT_EQ(messageKeyText(IDNO, &map, strings, false), QStringLiteral("Nein"));
    EXPECT_EQ(messageKeyText(IDOK, &map, strings, false), QStringLiteral("from resource 500"));
    EXPECT_EQ(messageKeyText(IDYES, &map, strings, false), QStringLiteral("Ja"));
    // An empty mapped text falls through; no resource for Retry, so the caller's default wins.
    EXPECT_EQ(messageKeyText(IDRETRY, &map, strings, false, QStringLiteral("Again")),
              QStringLiteral("Again"));
    EXPECT_EQ(messageKeyText(IDRETRY, &map, strings, false), QStringLiteral("Retry"));
    // Without string resources, ids resolve to nothing and the built-in text shows.
    EXPECT_EQ(messageKeyText(IDYES, &map, strings, true), QStringLiteral("Yes"));
    EXPECT_EQ(messageKeyText(IDOK, &map, strings, true), QStringLiteral("OK"));
    EXPECT_EQ(messageKeyText(RXKEY_COUNTDOWN, nullptr, strings, false),
              QStringLiteral("%s (%d seconds remaining)"));
    EXPECT_EQ(messageKeyText(RXID_MORE, nullptr, strings, false), QStringLiteral("More >>"));
    EXPECT_EQ(messageKeyText(RXID_LESS, nullptr, strings, false), QStringLiteral("<< More"));
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
    const MessageBoxParams p = standardMessageParams();
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
