// SPDX-License-Identifier: GPL-3.0-or-later
// Preparation, tokenizer, colours, lengths and the style-sheet parser of the rich-text drawer.
#include <gtest/gtest.h>

#include "ui/richtext/colour_names.h"
#include "ui/richtext/lengths.h"
#include "ui/richtext/markup_preparation.h"
#include "ui/richtext/markup_tokenizer.h"
#include "ui/richtext/style_sheet.h"

namespace ostrum::ui {
namespace {

std::string s(const QString& text) {
    return text.toStdString();
}

TEST(Preparation, EntitiesAreReplacedInOnePass) {
    EXPECT_EQ(s(replaceEntities(u"&amp;&bull;&copy;&euro;&gt;&iquest;&nbsp;&para;&pound;&quot;&reg;&trade;")),
              s(QString::fromUtf8("&\u2022\u00A9\u20AC>\u00BF \u00B6\u00A3\"\u00AE\u2122")));
    EXPECT_EQ(s(replaceEntities(u"&lt;b&gt;")), "<<b>");
    EXPECT_EQ(s(replaceEntities(u"&amp;lt; &unknown; & &amp")), "&lt; &unknown; & &amp")
        << "a replaced entity is not read again; unknown or unterminated ones stay";
}

TEST(Preparation, NewlineModeTurnsLineFeedsAndTabsIntoTags) {
    EXPECT_EQ(s(prepareMarkup(u"a\r\nb\tc", true)), "<body>a<br>b<t>c</body>");
    EXPECT_EQ(s(prepareMarkup(u"a\r\nb\tc", false)), "<body>abc</body>");
}

TEST(Tokenizer, LiteralLessThanAndTagsWithAttributes) {
    const auto literal = tokenizeMarkup(u"x<<b>y");
    ASSERT_EQ(literal.size(), 1u);
    EXPECT_EQ(s(literal[0].text), "x<b>y");

    const auto tokens =
        tokenizeMarkup(u"<font face=\"Times New Roman\" size=3 color='red'>hi</FONT><br3><t 2><h1>");
    ASSERT_EQ(tokens.size(), 6u);
    const MarkupTag& font = tokens[0].tag;
    EXPECT_EQ(s(font.name), "font");
    ASSERT_NE(font.attribute(u"face"), nullptr);
    EXPECT_EQ(s(*font.attribute(u"face")), "Times New Roman");
    EXPECT_EQ(s(*font.attribute(u"size")), "3");
    EXPECT_EQ(s(*font.attribute(u"color")), "red");
    EXPECT_EQ(font.attribute(u"weight"), nullptr);
    EXPECT_EQ(s(tokens[1].text), "hi");
    EXPECT_TRUE(tokens[2].tag.closing);
    EXPECT_EQ(s(tokens[2].tag.name), "font");
    EXPECT_EQ(s(tokens[3].tag.name), "br");
    EXPECT_EQ(tokens[3].tag.count, 3);
    EXPECT_EQ(s(tokens[4].tag.name), "t");
    EXPECT_EQ(tokens[4].tag.count, 2);
    EXPECT_EQ(s(tokens[5].tag.name), "h1") << "a heading keeps its digit";
    EXPECT_EQ(tokenizeMarkup(u"<br99999999>")[0].tag.count, 1000) << "counts are capped";
}

TEST(Tokenizer, WhatDoesNotOpenATagStaysText) {
    for (const char16_t* text : {u"a < b", u"x <b", u"<", u"<>", u"1<2"}) {
        const auto tokens = tokenizeMarkup(text);
        ASSERT_EQ(tokens.size(), 1u) << QString::fromUtf16(text).toStdString();
        EXPECT_EQ(tokens[0].kind, MarkupToken::Kind::Text);
        EXPECT_EQ(s(tokens[0].text), s(QString::fromUtf16(text)));
    }
    const auto quoted = tokenizeMarkup(u"<a href=\"x>y\">z");
    ASSERT_EQ(quoted.size(), 2u);
    EXPECT_EQ(s(*quoted[0].tag.attribute(u"href")), "x>y");
}

TEST(Colours, HashNumbersNamesAndSystemKeywords) {
    const ColourTable table;
    const ColorRef current = 0x123456;
    EXPECT_EQ(parseColour(u"#ff9900", current, table), makeColorRef(0xFF, 0x99, 0x00));
    EXPECT_EQ(parseColour(u"#ff990", current, table), current) << "exactly seven characters";
    EXPECT_EQ(parseColour(u"#ff99000", current, table), current);
    EXPECT_EQ(parseColour(u"#gg9900", current, table), current);
    EXPECT_EQ(parseColour(u"0x0000FF", current, table), 0x0000FFu) << "a number is a COLORREF";
    EXPECT_EQ(parseColour(u"255", current, table), 0x0000FFu);
    EXPECT_EQ(parseColour(u"Red", current, table), makeColorRef(255, 0, 0));
    EXPECT_EQ(parseColour(u"lightgoldenrodyellow", current, table), makeColorRef(0xFA, 0xFA, 0xD2));
    EXPECT_EQ(parseColour(u"darkslategray", current, table), makeColorRef(0x2F, 0x4F, 0x4F));
    EXPECT_EQ(parseColour(u"nosuchcolour", current, table), current);
    EXPECT_EQ(parseColour(u"buttonface", current, table), systemColor(COLOR_BTNFACE));
    EXPECT_EQ(parseColour(u"threedshadow", current, table), systemColor(COLOR_BTNSHADOW));
    EXPECT_EQ(parseColour(u"infobackground", current, table), systemColor(COLOR_INFOBK));
}

TEST(Lengths, NumbersPercentagesRelativeValuesAndUnits) {
    LengthContext c;
    c.current = 20;
    c.xHeight = 7;
    c.textHeight = 15;
    c.dpi = 96;
    EXPECT_EQ(parseLength(u"12", c), 12);
    EXPECT_EQ(parseLength(u"50%", c), 10);
    EXPECT_EQ(parseLength(u"+2", c), 22);
    EXPECT_EQ(parseLength(u"-3", c), 17);
    EXPECT_EQ(parseLength(u"4px", c), 4);
    EXPECT_EQ(parseLength(u"2em", c), 30);
    EXPECT_EQ(parseLength(u"3ex", c), 21);
    EXPECT_EQ(parseLength(u"1in", c), 96);
    EXPECT_EQ(parseLength(u"2.54cm", c), 96);
    EXPECT_EQ(parseLength(u"25.4mm", c), 96);
    EXPECT_EQ(parseLength(u"10pt", c), 13);
    EXPECT_EQ(parseLength(u"1pc", c), 16);
    EXPECT_EQ(parseLength(u"99999999999", c), kMaxLength);
    EXPECT_FALSE(parseLength(u"abc", c));
    EXPECT_FALSE(parseLength(u"12qq", c));
    EXPECT_FALSE(parseLength(u"", c));
}

TEST(Lengths, FontSizeStepsAndRelativeSizes) {
    LengthContext c;
    c.current = 16;
    const int steps[] = {8, 10, 12, 14, 18, 24, 36};
    for (int i = 1; i <= 7; ++i) {
        EXPECT_EQ(parseFontSize(QString::number(i), c), steps[i - 1]);
    }
    EXPECT_EQ(parseFontSize(u"8", c), 8) << "8 is a length, not a step";
    EXPECT_EQ(parseFontSize(u"+1", c), 17) << "a leading sign is relative, not a step";
    EXPECT_EQ(parseFontSize(u"65%", c), 10);
    EXPECT_FALSE(parseFontSize(u"0", c));
    EXPECT_FALSE(parseFontSize(u"-20", c));
}

TEST(StyleSheetParser, DefaultSheetHasItsSeventeenRules) {
    const auto rules = parseStyleSheet(QString::fromLatin1(kDefaultStyleSheet));
    const char* selectors[] = {"body", "p",   "h1",  "h2",    "h3",          "h4",
                               "h5",   "h6",  "pre", "code",  "a:link",      "a:hover",
                               "sub",  "sup", "big", "small", ".cpp-comment"};
    ASSERT_EQ(rules.size(), std::size(selectors));
    for (std::size_t i = 0; i < rules.size(); ++i) {
        EXPECT_EQ(s(rules[i].selector), selectors[i]);
    }
    ASSERT_EQ(rules[0].declarations.size(), 3u);
    EXPECT_EQ(s(rules[0].declarations[0].property), "font-size");
    EXPECT_EQ(s(rules[0].declarations[0].value), "10pt");
    EXPECT_EQ(s(rules[0].declarations[1].property), "color");
    EXPECT_EQ(s(rules[0].declarations[1].value), "black");
    EXPECT_EQ(s(rules[8].declarations[1].value), "Courier") << "quotes around a value are removed";
    EXPECT_EQ(s(rules[8].declarations[2].value), "#fbedbb");
    EXPECT_EQ(s(rules[11].declarations[0].value), "underline");
    EXPECT_EQ(s(rules[16].declarations[1].property), "font-style");
}

TEST(StyleSheetParser, ApplyingDefaultClasses) {
    StyleSheet sheet;
    sheet.add(QString::fromLatin1(kDefaultStyleSheet));
    const ColourTable colours;
    StyleEnvironment env;
    env.colours = &colours;
    env.dpi = 96;
    TextStyle body;
    applyDeclarations(body, *sheet.find(u"body"), env);
    EXPECT_EQ(body.fontSize, 13);
    EXPECT_EQ(body.textColour, 0u);
    EXPECT_EQ(s(body.face), "Verdana");
    TextStyle h6 = body;
    applyDeclarations(h6, *sheet.find(u"h6"), env);
    EXPECT_EQ(h6.fontSize, 8) << "65% of 13";
    EXPECT_EQ(h6.textColour, makeColorRef(0x62, 0x62, 0x62));
    TextStyle pre = body;
    applyDeclarations(pre, *sheet.find(u"pre"), env);
    EXPECT_EQ(s(pre.face), "Courier");
    EXPECT_FALSE(pre.backgroundTransparent);
    EXPECT_EQ(pre.backgroundColour, makeColorRef(0xFB, 0xED, 0xBB));
    TextStyle hover = body;
    applyDeclarations(hover, *sheet.find(u"a:hover"), env);
    EXPECT_TRUE(hover.underline);
    EXPECT_EQ(hover.textColour, makeColorRef(0, 0, 255));
    applyDeclarations(hover, *sheet.find(u"a:link"), env);
    EXPECT_FALSE(hover.underline);
    TextStyle sup = body;
    applyDeclarations(sup, *sheet.find(u"sup"), env);
    EXPECT_EQ(sup.vAlign, VAlign::Top);
    TextStyle comment = body;
    applyDeclarations(comment, *sheet.find(u".cpp-comment"), env);
    EXPECT_TRUE(comment.italic);
    EXPECT_EQ(comment.textColour, makeColorRef(0, 0x80, 0));
}

TEST(StyleSheetParser, SelectorListsLaterRulesAndMalformedText) {
    StyleSheet sheet;
    sheet.add(
        u"H1, .Note {color: red; font-weight: bolder}\nbroken { color red; : x; font-size:}\n"
        u".note {color: blue}\nlast {text-transform: uppercase");
    ASSERT_NE(sheet.find(u"h1"), nullptr);
    ASSERT_NE(sheet.find(u".note"), nullptr);
    EXPECT_EQ(sheet.find(u".note")->size(), 3u) << "a selector seen again gains declarations";
    EXPECT_EQ(sheet.find(u"broken")->size(), 1u) << "only the well-formed pair (with an empty value) is kept";
    ASSERT_NE(sheet.find(u"last"), nullptr) << "an unterminated rule runs to the end";
    TextStyle style;
    applyDeclarations(style, *sheet.find(u".note"), {});
    EXPECT_EQ(style.textColour, 0u) << "without a colour table colours stay";
    EXPECT_EQ(style.weight, 800);
    const ColourTable colours;
    StyleEnvironment env;
    env.colours = &colours;
    applyDeclarations(style, *sheet.find(u".note"), env);
    EXPECT_EQ(style.textColour, makeColorRef(0, 0, 255)) << "the later colour wins";
}

}  // namespace
}  // namespace ostrum::ui
