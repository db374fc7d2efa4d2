// SPDX-License-Identifier: GPL-3.0-or-later
// Renders every background effect and a page of mark-up using every tag into one PNG, so that
// anyone can look at what EffectPainter and RichTextDrawer draw.
//   ostrum-gallery [output.png]     (default: gallery.png)
#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

#include "controls_gallery.h"
#include "recovery_gallery.h"
#include "ui/effects/effect_painter.h"
#include "ui/richtext/rich_text_drawer.h"
#include "wizard_gallery.h"

namespace {

using namespace ostrum::ui;

constexpr int kTileWidth = 200;
constexpr int kTileHeight = 90;
constexpr int kTileGap = 10;
constexpr int kTilesPerRow = 4;
constexpr int kPageWidth = kTilesPerRow * (kTileWidth + kTileGap) + kTileGap;
constexpr int kCaptionHeight = 18;
constexpr int kEffectRowHeight = kTileHeight + kCaptionHeight + kTileGap;
constexpr int kEffectRows =
    (static_cast<int>(std::size(kBackgroundEffectNames)) + kTilesPerRow - 1) / kTilesPerRow;
constexpr int kLinesHeight = 70;  // a row of frames and the lines under them

// Pictures and strings by number, as the program's resources will provide them.
class GalleryResources final : public ResourceProvider {
  public:
    QImage bitmap(int id) const override { return id == 1 ? checkerboard() : QImage(); }
    QIcon icon(int id) const override {
        return id == 2 ? QIcon(QPixmap::fromImage(disc(Qt::darkGreen))) : QIcon();
    }
    ImageStrip imageStrip(int id) const override {
        if (id != 3) {
            return {};
        }
        QImage strip(64, 16, QImage::Format_RGB32);
        QPainter p(&strip);
        const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::magenta};
        for (int i = 0; i < 4; ++i) {
            p.fillRect(i * 16, 0, 16, 16, colours[i]);
        }
        return {strip, QSize(16, 16)};
    }
    std::optional<QString> string(int id) const override {
        return id == 101 ? std::optional<QString>(QStringLiteral("string resource 101")) : std::nullopt;
    }

    static QImage checkerboard() {
        QImage image(24, 24, QImage::Format_RGB32);
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) {
                image.setPixel(x, y, ((x / 6 + y / 6) % 2) != 0 ? qRgb(30, 90, 200) : qRgb(250, 200, 40));
            }
        }
        return image;
    }
    static QImage disc(const QColor& colour) {
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(colour);
        p.setPen(Qt::NoPen);
        p.drawEllipse(2, 2, 28, 28);
        p.setBrush(Qt::white);
        p.drawRect(14, 8, 4, 12);
        p.drawRect(14, 22, 4, 4);
        return image;
    }
};

const char* const kMarkup =
    "<h1>Rich-text gallery</h1>\n"
    "<b>bold</b>, <b><b>bold twice</b></b>, <i>italic</i>, <em>em</em>, <u>underline</u>, <s>strike</s>, "
    "<strike>strike</strike>, &lt;b&gt; literal, &copy; &reg; &trade; &euro; &pound; &para; &bull; &iquest; "
    "&quot;\n"
    "<font face=\"DejaVu Serif\" size=5 color=darkred>font face, size 5</font> <font size=\"+4\" weight=900 "
    "bkgnd=lightyellow>bigger, 900, background</font> <font style=\"text-decoration:overline; color:teal\">"
    "overline</font>\n"
    "<h2>h2 heading</h2> <h3>h3</h3> <h4>h4</h4> <h5>h5</h5> <h6>h6 small grey</h6>\n"
    "<code>code text</code> <pre>pre text</pre> <big>big</big> <small>small</small> x<sub>sub</sub> "
    "x<sup>sup</sup> <span class=cpp-comment>// a comment class</span> <span class=upper>transformed</span>\n"
    "<hr>\n"
    "<center>centred line</center>\n"
    "<right>right-aligned line</right>\n"
    "<justify>Justified text wraps at the maximum width of the drawer and spreads the space of every full "
    "line "
    "over its blanks, so both edges of this paragraph line up, except the last line.</justify>\n"
    "tab:<t>one<t>two<t2>four<br2>after a double break\n"
    "<top>top</top> <vcenter>vcenter</vcenter> <bottom>bottom</bottom> <baseline>baseline</baseline> "
    "<font size=7>Big</font>\n"
    "<hr width=50% size=3 color=steelblue>\n"
    "pictures: <bmp idres=1> <bmp idres=1 style=g> <bmp idres=1 style=d> <bmp idres=1 style=l> "
    "<bmp idres=1 style=s> <icon idres=2> <icon idres=2 style=s width=48 height=48> <icon handle=0x7> "
    "<ilst idres=3 index=0> <ilst idres=3 index=1> <ilst idres=3 index=2> <ilst idres=3 index=3> "
    "<bmp idres=1 width=200% height=50%>\n"
    "<string idres=101>, <a href=\"https://example.com/\">a link</a>, <a msg=\"command\">a message link</a>, "
    "<a href=\"x\"><bmp idres=1 style=g hotstyle=l></a>\n"
    "<table border=2 cellpadding=4 cellspacing=2 bgeffect=vgradient bgcolor=#e0f0ff bgendcolor=#80a0d0>"
    "<tr><td colspan=2 align=center><b>colspan 2</b></td><td rowspan=2 bgcolor=lightyellow>rowspan "
    "2</td></tr>"
    "<tr><td>cell</td><td align=right bgeffect=hbump bgcolor=white bgmidcolor=silver "
    "bgendcolor=gray>bump</td></tr>"
    "<tr><td borderstyle=double border=1 bordercolor=red>double</td><td width=80 valign=bottom>fixed 80</td>"
    "<td bgeffect=metal bgcolor=#d0d0d0 bgmidcolor=#a0a0a0 bgendcolor=#707070>metal</td></tr></table>\n"
    "<table cellpadding=5><tr><td width=32><icon handle=0x7></td><td>The message box's table: an icon and "
    "its text.</td></tr></table>";

int drawEffects(QPainter& painter, int top) {
    EffectPainter effects;
    QFont caption(QStringLiteral("DejaVu Sans"));
    caption.setPixelSize(12);
    painter.setFont(caption);
    int index = 0;
    for (int effect = kEffectTransparent; effect <= kEffectMetal; ++effect, ++index) {
        const int x = kTileGap + (index % kTilesPerRow) * (kTileWidth + kTileGap);
        const int y = top + (index / kTilesPerRow) * kEffectRowHeight;
        painter.setPen(Qt::black);
        const QString name = QString::fromUtf16(kBackgroundEffectNames[index]);
        painter.drawText(x, y + 12, QStringLiteral("%1 %2").arg(effect).arg(name));
        const QRect tile(x, y + kCaptionHeight, kTileWidth, kTileHeight);
        effects.fillBackground(painter, effect, tile, makeColorRef(40, 80, 160), makeColorRef(255, 255, 255),
                               makeColorRef(200, 60, 40), effect >= kEffectNoise ? 5 : 0, 0);
        effects.frameRect(painter, tile.adjusted(-1, -1, 1, 1), 0x808080, 0x808080, LineStyle::Solid, 1);
    }
    return top + kEffectRows * kEffectRowHeight;
}

int drawLines(QPainter& painter, int top) {
    EffectPainter effects;
    for (int style = 1; style <= 6; ++style) {
        const int x = kTileGap + (style - 1) * 140;
        effects.frameRect(painter, QRect(x, top, 120, 40), makeColorRef(180, 180, 180),
                          makeColorRef(64, 64, 64), static_cast<LineStyle>(style), 2);
        effects.line(painter, QPoint(x, top + 50), QPoint(x + 120, top + 50), makeColorRef(0, 0, 128),
                     static_cast<LineStyle>(style), 1);
    }
    return top + kLinesHeight;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // The windows open at their own sizes, not at those a user's last run kept.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery.png");

    RichTextDrawer drawer;
    drawer.setResourceProvider(std::make_shared<GalleryResources>());
    drawer.registerHandle(0x7, QIcon(QPixmap::fromImage(GalleryResources::disc(QColor(200, 40, 40)))));
    drawer.addStyleSheet(u".upper {text-transform: uppercase; color: purple}");
    drawer.setMaximumWidth(kPageWidth - 2 * kTileGap);

    QImage scratch(1, 1, QImage::Format_RGB32);
    QSize textSize;
    {
        QPainter measurePainter(&scratch);
        textSize = drawer.measure(measurePainter, QString::fromLatin1(kMarkup));
    }
    const int effectsHeight = kEffectRows * kEffectRowHeight + kTileGap;
    const int pageHeight = effectsHeight + kLinesHeight + textSize.height() + 2 * kTileGap;
    QImage page(kPageWidth, pageHeight, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    int y = drawEffects(painter, kTileGap);
    y = drawLines(painter, y);
    drawer.draw(painter, QRect(kTileGap, y, kPageWidth - 2 * kTileGap, textSize.height()));
    painter.end();
    if (!page.save(output)) {
        std::fprintf(stderr, "ostrum-gallery: cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("ostrum-gallery: wrote %s (%dx%d)\n", qPrintable(output), page.width(), page.height());
    const QString folder = QFileInfo(output).absolutePath();
    const bool controls = ostrum::gallery::writeControlsGallery(folder);
    const bool recovery = ostrum::gallery::writeRecoveryGallery(folder);
    return controls && recovery && ostrum::gallery::writeWizardGallery(folder) ? 0 : 1;
}
