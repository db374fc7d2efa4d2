// SPDX-License-Identifier: GPL-3.0-or-later
// Measuring, drawing, links and tables of RichTextDrawer, on offscreen images.
#include "ui/richtext/rich_text_drawer.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QWidget>
#include <random>

#include "ui/richtext/lengths.h"
#include "ui/richtext/markup_preparation.h"

namespace ostrum::ui {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr int kBodySize = 13;  // "body {font-size: 10pt}" at 96 dots per inch

QImage blank(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kWhite);
    return image;
}

QSize measure(RichTextDrawer& drawer, const QString& text) {
    QImage image = blank(1, 1);
    QPainter p(&image);
    return drawer.measure(p, text);
}

QImage render(RichTextDrawer& drawer, int w, int h) {
    QImage image = blank(w, h);
    QPainter p(&image);
    drawer.draw(p, QRect(0, 0, w, h));
    return image;
}

QFontMetrics bodyMetrics(int weight = 400, int size = kBodySize) {
    static QImage device = blank(1, 1);
    return QFontMetrics(makeFont({QStringLiteral("Verdana"), size, weight, false, false, false}), &device);
}

int advance(const QString& text, int weight = 400) {
    return bodyMetrics(weight).horizontalAdvance(text);
}

// Columns that hold any non-white pixel, as [first, last]; {-1, -1} for a blank image.
std::pair<int, int> inkColumns(const QImage& image) {
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixel(x, y) != kWhite) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

class ImageResources final : public ResourceProvider {
  public:
    QImage bitmap(int id) const override {
        if (id != 5) {
            return {};
        }
        QImage image(10, 7, QImage::Format_RGB32);
        image.fill(qRgb(200, 100, 0));
        return image;
    }
    QIcon icon(int) const override { return {}; }
    ImageStrip imageStrip(int) const override { return {}; }
    std::optional<QString> string(int id) const override {
        return id == 101 ? std::optional<QString>(QStringLiteral("Resource text")) : std::nullopt;
    }
};

class RecordingOpener final : public LinkOpener {
  public:
    bool open(const QString& target) override {
        opened.push_back(target);
        return true;
    }
    std::vector<QString> opened;
};

// --- measuring and text --------------------------------------------------------------------

TEST(RichTextMeasure, EmptyTextIsZeroAndXIsItsExtentPlusOne) {
    RichTextDrawer drawer;
    EXPECT_EQ(measure(drawer, QString()), QSize(0, 0));
    const QFontMetrics fm = bodyMetrics();
    EXPECT_EQ(measure(drawer, QStringLiteral("x")), QSize(fm.horizontalAdvance(u'x') + 1, fm.height() + 1));
}

TEST(RichTextMeasure, EntitiesAroundBDrawTheTagLiterallyWithoutBold) {
    RichTextDrawer drawer;
    const QString words = QStringLiteral("wide bold words");
    const QSize size = measure(drawer, QStringLiteral("&lt;b&gt;") + words);
    EXPECT_EQ(size.width(), advance(QStringLiteral("<b>") + words) + 1);
    ASSERT_NE(advance(words, 800), advance(words)) << "the font must show bold to tell";
    EXPECT_EQ(measure(drawer, QStringLiteral("&lt;b&gt;x&lt;/b&gt;")).width(),
              advance(QStringLiteral("<b>x</b>")) + 1);
}

TEST(RichTextMeasure, NewlineModeOnBreaksTheLineAndOffJoinsTheWords) {
    RichTextDrawer drawer;
    const QFontMetrics fm = bodyMetrics();
    const int widest = std::max(advance(QStringLiteral("one")), advance(QStringLiteral("two")));
    EXPECT_EQ(measure(drawer, QStringLiteral("one\ntwo")), QSize(widest + 1, 2 * fm.height() + 1));
    drawer.setNewlineMode(false);
    EXPECT_EQ(measure(drawer, QStringLiteral("one\ntwo")),
              QSize(advance(QStringLiteral("onetwo")) + 1, fm.height() + 1));
}

TEST(RichTextLayout, NestedBoldIsWeight900) {
    StyleSheet sheet;
    sheet.add(QString::fromLatin1(kDefaultStyleSheet));
    const ColourTable colours;
    LayoutSettings settings;
    settings.sheet = &sheet;
    settings.colours = &colours;
    FontCache fonts;
    QImage device = blank(1, 1);
    const Document doc = buildDocument(tokenizeMarkup(prepareMarkup(u"<b><b>x</b></b><b>y</b>z", true)));
    const Layout layout = layoutDocument(doc, settings, &device, fonts);
    std::vector<int> weights;
    for (const DisplayItem& item : layout.items) {
        weights.push_back(std::get<TextItem>(item.content).font.weight());
    }
    EXPECT_EQ(weights, (std::vector<int>{900, 800, 400}));
}

TEST(RichTextMeasure, BreaksTabsAndClasses) {
    RichTextDrawer drawer;
    const QFontMetrics fm = bodyMetrics();
    EXPECT_EQ(measure(drawer, QStringLiteral("a<br3>b")).height(), 4 * fm.height() + 1);
    EXPECT_EQ(measure(drawer, QStringLiteral("<t>x")).width(), 32 + advance(QStringLiteral("x")) + 1);
    EXPECT_EQ(measure(drawer, QStringLiteral("ab\t\tx")).width(), 64 + advance(QStringLiteral("x")) + 1)
        << "completing the partial tab counts as the first step";
    EXPECT_EQ(measure(drawer, QStringLiteral("ab<t2>x")).width(), 64 + advance(QStringLiteral("x")) + 1);
    drawer.addStyleSheet(u".huge {font-size: 30px}");
    EXPECT_EQ(measure(drawer, QStringLiteral("<span class=huge>x</span>")).height(),
              bodyMetrics(400, 30).height() + 1);
    EXPECT_EQ(measure(drawer, QStringLiteral("<unknown attr=1>x</unknown>")).width(),
              advance(QStringLiteral("x")) + 1);
}

TEST(RichTextMeasure, MaximumWidthWrapsAtBreakCharactersAndCapsTheWidth) {
    RichTextDrawer drawer;
    const int limit = advance(QStringLiteral("alpha beta")) + 2;
    drawer.setMaximumWidth(limit);
    const QSize size = measure(drawer, QStringLiteral("alpha beta gamma"));
    EXPECT_EQ(size.height(), 2 * bodyMetrics().height() + 1);
    EXPECT_EQ(size.width(), advance(QStringLiteral("alpha beta")) + 1);
    const QSize word = measure(drawer, QStringLiteral("unbreakablewordthatislongerthanthelimit"));
    EXPECT_EQ(word.width(), limit + 1) << "a word wider than the limit overflows; the measure is capped";
    EXPECT_EQ(word.height(), bodyMetrics().height() + 1);
}

// --- drawing -------------------------------------------------------------------------------

TEST(RichTextDraw, RightAlignmentAndDisabledColour) {
    RichTextDrawer drawer;
    measure(drawer, QStringLiteral("<right>xx</right>"));
    const auto [first, last] = inkColumns(render(drawer, 200, 20));
    EXPECT_GT(first, 200 - advance(QStringLiteral("xx")) - 2);
    EXPECT_LE(last, 199);

    measure(drawer, QStringLiteral("<font color=blue>text</font>"));
    render(drawer, 100, 20);
    // Changed after measuring: the next draw must not reuse the enabled layout.
    drawer.setEnabled(false);
    drawer.setDisabledColour(makeColorRef(255, 0, 0));
    const QImage disabled = render(drawer, 100, 20);
    int inked = 0;
    for (int y = 0; y < disabled.height(); ++y) {
        for (int x = 0; x < disabled.width(); ++x) {
            const QRgb p = disabled.pixel(x, y);
            if (p != kWhite) {
                ++inked;
                ASSERT_EQ(qRed(p), 255) << "every colour resolves to the disabled colour";
                ASSERT_EQ(qGreen(p), qBlue(p));
            }
        }
    }
    EXPECT_GT(inked, 10);
}

TEST(RichTextDraw, PicturesFromResourcesWithStyleAndStrings) {
    RichTextDrawer drawer;
    drawer.setResourceProvider(std::make_shared<ImageResources>());
    EXPECT_EQ(measure(drawer, QStringLiteral("<bmp idres=5>")), QSize(11, 8));
    EXPECT_EQ(measure(drawer, QStringLiteral("<bmp idres=5 width=200% height=3>")), QSize(21, 4));
    EXPECT_EQ(measure(drawer, QStringLiteral("<bmp idres=99>")), QSize(1, 1))
        << "a missing picture is skipped";
    EXPECT_EQ(measure(drawer, QStringLiteral("<bmp idres=5 srcdll=other.dll>")), QSize(1, 1));
    EXPECT_EQ(measure(drawer, QStringLiteral("<string idres=101>")).width(),
              advance(QStringLiteral("Resource text")) + 1);

    measure(drawer, QStringLiteral("<bmp idres=5 style=g>"));
    const int luma = static_cast<int>(0.299 * 200 + 0.587 * 100);
    EXPECT_EQ(render(drawer, 20, 10).pixel(3, 3), qRgb(luma, luma, luma));
}

TEST(RichTextDraw, TableBackgroundEffectFillsTheTable) {
    RichTextDrawer drawer;
    measure(drawer, QStringLiteral("<table width=128 height=20 bgeffect=hgradient bgcolor=#ff0000 "
                                   "bgendcolor=#0000ff><tr><td></td></tr></table>"));
    const QImage image = render(drawer, 300, 30);
    EXPECT_EQ(image.pixel(0, 10), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(127, 10), qRgb(3, 0, 251)) << "band 63 of the gradient";
    EXPECT_EQ(image.pixel(128, 10), kWhite);
    EXPECT_EQ(image.pixel(64, 25), kWhite);
}

TEST(RichTextDraw, MessageBoxTableOfIconAndText) {
    RichTextDrawer drawer;
    QPixmap icon(32, 32);
    icon.fill(Qt::blue);
    drawer.registerHandle(0x1234, QIcon(icon));
    const QString text = QStringLiteral("Message text");
    const QString markup =
        QStringLiteral(
            "<table cellpadding=%1><tr><td width=%2><icon handle=0x%3></td><td>%4</td></tr></table>")
            .arg(5)
            .arg(32)
            .arg(0x1234, 0, 16)
            .arg(text);
    const QSize size = measure(drawer, markup);
    const QFontMetrics fm = bodyMetrics();
    // Two padded cells, one pixel between the columns, and the measure's own pixel.
    EXPECT_EQ(size.width(), (5 + 32 + 5) + (5 + advance(text) + 5) + 1 + 1);
    EXPECT_EQ(size.height(), std::max(5 + 32 + 5, 5 + fm.height() + 5) + 1);

    const QImage image = render(drawer, size.width(), size.height());
    EXPECT_EQ(image.pixel(4, 4), kWhite);
    EXPECT_EQ(image.pixel(5, 5), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(36, 36), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(37, 20), kWhite);
    const auto [first, last] = inkColumns(image.copy(43, 0, size.width() - 43, size.height()));
    EXPECT_GE(first, 5) << "the text starts after the second cell's padding";
    EXPECT_LE(43 + last, size.width() - 1 - 5);
}

TEST(RichTextDraw, RowAndColumnSpansShareTheGrid) {
    RichTextDrawer drawer;
    const QSize spanned = measure(drawer, QStringLiteral("<table><tr><td colspan=2>wide wide wide</td></tr>"
                                                         "<tr><td>a</td><td>b</td></tr></table>"));
    EXPECT_EQ(spanned.width(), advance(QStringLiteral("wide wide wide")) + 1);
    const QFontMetrics fm = bodyMetrics();
    EXPECT_EQ(spanned.height(), 2 * fm.height() + 1 + 1);
    const QSize tall =
        measure(drawer, QStringLiteral("<table cellspacing=2 border=1><tr><td rowspan=2>x<br>y<br>z</td>"
                                       "<td>a</td></tr><tr><td>b</td></tr></table>"));
    // The spanned cell (three lines and its 1-pixel cell border each way) covers both rows and the
    // spacing and pixel between them; then the outer spacing twice, the table border and the measure's pixel.
    EXPECT_EQ(tall.height(), (3 * fm.height() + 2) + 2 * 2 + 2 + 1);
}

// --- links ---------------------------------------------------------------------------------

struct Notification {
    unsigned message;
    int link;
    std::intptr_t parameter;
};

TEST(RichTextLinks, HoverSwitchesToAHoverAndBackWithMinusTwo) {
    RichTextDrawer drawer;
    std::vector<Notification> heard;
    drawer.setNotification(
        [&](unsigned m, int l, std::intptr_t p) {
            heard.push_back({m, l, p});
        },
        0x8064, 77);
    measure(drawer, QStringLiteral("<a href=\"https://example.com/\">link</a> after"));
    const QImage normal = render(drawer, 200, 30);
    const QPoint over(advance(QStringLiteral("link")) / 2, bodyMetrics().height() / 2);

    EXPECT_TRUE(drawer.hoverTest(over));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].message, 0x8064u);
    EXPECT_EQ(heard[0].link, 0);
    EXPECT_EQ(heard[0].parameter, 77);
    EXPECT_TRUE(drawer.hoverTest(over + QPoint(1, 0)));
    EXPECT_EQ(heard.size(), 1u) << "no notification while the link stays the same";

    const QImage hovered = render(drawer, 200, 30);
    EXPECT_NE(hovered, normal) << "a:hover underlines the link";
    const int underline = bodyMetrics().ascent() + bodyMetrics().underlinePos();
    bool blueUnderline = false;
    for (int y = underline - 1; y <= underline + 1; ++y) {
        blueUnderline |= hovered.pixel(over.x(), y) != kWhite &&
                         qBlue(hovered.pixel(over.x(), y)) > qRed(hovered.pixel(over.x(), y));
    }
    EXPECT_TRUE(blueUnderline);

    EXPECT_FALSE(drawer.hoverTest(QPoint(190, 25)));
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1].link, RichTextDrawer::kLeftAllLinks);
    EXPECT_EQ(render(drawer, 200, 30), normal);
}

TEST(RichTextLinks, ClickOpensHrefAndSendsMsgTargets) {
    RichTextDrawer drawer;
    auto opener = std::make_shared<RecordingOpener>();
    drawer.setLinkOpener(opener);
    std::vector<QString> commands;
    drawer.setCommandTarget(
        [&](unsigned m, const QString& t, std::intptr_t p) {
            EXPECT_EQ(m, 0x400u);
            EXPECT_EQ(p, 5);
            commands.push_back(t);
        },
        0x400, 5);
    measure(drawer,
            QStringLiteral(
                "<a href=\"https://example.com/a b\">one</a><br><a msg=\"do-it\">two</a><br><a>three</a>"));
    render(drawer, 200, 60);
    const int line = bodyMetrics().height();
    EXPECT_TRUE(drawer.click(QPoint(3, line / 2)));
    EXPECT_TRUE(drawer.click(QPoint(3, line + line / 2)));
    EXPECT_FALSE(drawer.click(QPoint(3, 2 * line + line / 2))) << "a link without a target does nothing";
    EXPECT_FALSE(drawer.hoverTest(QPoint(3, 2 * line + line / 2)));
    EXPECT_FALSE(drawer.click(QPoint(150, 5)));
    ASSERT_EQ(opener->opened.size(), 1u);
    EXPECT_EQ(opener->opened[0].toStdString(), "https://example.com/a b");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].toStdString(), "do-it");
}

TEST(RichTextLinks, HandCursorOverALinkOnly) {
    RichTextDrawer drawer;
    QWidget widget;
    drawer.setCursorWidget(&widget);
    measure(drawer, QStringLiteral("<a href=x>link</a>"));
    render(drawer, 100, 20);
    EXPECT_TRUE(drawer.hoverTest(QPoint(2, 5)));
    EXPECT_EQ(widget.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(drawer.hoverTest(QPoint(90, 5)));
    EXPECT_EQ(widget.cursor().shape(), Qt::ArrowCursor);
}

TEST(RichTextHostile, OddAndHugeMarkupNeverCrashes) {
    RichTextDrawer drawer;
    drawer.setMaximumWidth(300);
    std::vector<QString> inputs = {
        QStringLiteral("<table><tr><td colspan=99999 rowspan=99999>x"),
        QStringLiteral("<br 99999999>x<t99999999>y"),
        QStringLiteral("<font size=99999999>x</font><font size=-99999>y"),
        QStringLiteral("<hr size=99999999 width=99999999><bmp width=99999 height=99999 idres=5>"),
        QStringLiteral("<<<<<<&&&&;;;&lt;&lt;<</>></x y=\"unterminated"),
        QStringLiteral("<a href=x><a href=y>z</a></a></td></tr></table>"),
        QStringLiteral(
            "<table cellpadding=99999 cellspacing=-5 border=99999 width=200%><tr><td>x</td></tr></table>"),
        QString(3000, u'<') + QString(3000, u'b') + QStringLiteral(">"),
    };
    QString deep;
    for (int i = 0; i < 40; ++i) {
        deep += QStringLiteral("<table border=1><tr><td>");
    }
    inputs.push_back(deep + QStringLiteral("deep"));
    inputs.push_back(QStringLiteral("<b>").repeated(5000) + QStringLiteral("x"));
    std::mt19937 random(7);
    const QString alphabet = QStringLiteral("<>/=\"' abtdrhfonl&;#0123456789x\n\t");
    for (int n = 0; n < 20; ++n) {
        QString noise;
        for (int i = 0; i < 400; ++i) {
            noise += alphabet[static_cast<qsizetype>(random() % static_cast<unsigned>(alphabet.size()))];
        }
        inputs.push_back(noise);
    }
    for (const QString& input : inputs) {
        const QSize size = measure(drawer, input);
        EXPECT_LE(size.width(), 301);
        EXPECT_LE(size.height(), kMaxLength + 1);
        render(drawer, 320, 200);
        drawer.hoverTest(QPoint(5, 5));
    }
}

}  // namespace
}  // namespace ostrum::ui
