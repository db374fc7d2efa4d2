// SPDX-License-Identifier: GPL-3.0-or-later
// The skinned controls: SkinButton's operations, pictures, hover and drawing; HoverButton's
// hover tracking; SkinStatic's line breaking, auto-shrink and dropped files; SkinBackground and
// TransparentStatic.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "test_doubles.h"
#include "ui/skin/hover_button.h"
#include "ui/skin/skin_background.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_static.h"
#include "ui/skin/transparent_static.h"

namespace ostrum::ui {
namespace {

// A 10 x 10 picture: a black border (the transparent colour) around a red square.
QImage framedPicture(QRgb inside = qRgb(200, 40, 40)) {
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 0));
    for (int y = 2; y < 8; ++y) {
        for (int x = 2; x < 8; ++x) {
            image.setPixel(x, y, inside);
        }
    }
    return image;
}

class Pictures final : public NoResources {
  public:
    QImage bitmap(int id) const override { return id == 1 ? framedPicture() : QImage(); }
};

TEST(SkinButtonColours, OffsetMovesAllChannelsByTheLargestAmountThatFits) {
    EXPECT_EQ(offsetColourBy(makeColorRef(192, 192, 192), 100), makeColorRef(255, 255, 255));
    EXPECT_EQ(offsetColourBy(makeColorRef(50, 200, 200), -100), makeColorRef(0, 150, 150));
    EXPECT_EQ(offsetColourBy(makeColorRef(10, 20, 30), 40), makeColorRef(50, 60, 70));
    EXPECT_EQ(offsetColourBy(makeColorRef(10, 20, 30), 0), makeColorRef(10, 20, 30));

    SkinButton button;
    ASSERT_EQ(button.setColour(kBackgroundIn, makeColorRef(192, 192, 192)), kSkinOk);
    EXPECT_EQ(button.offsetColour(kBackgroundIn, 100), kSkinOk);
    EXPECT_EQ(button.look().colours[kBackgroundIn], makeColorRef(255, 255, 255));
    EXPECT_EQ(button.offsetColour(6, 10), kSkinBadIndex);
    EXPECT_EQ(button.offsetColour(0, 256), kSkinBadShade);
    EXPECT_EQ(button.offsetColour(0, -256), kSkinBadShade);
    EXPECT_EQ(button.setColour(-1, 0), kSkinBadIndex);
    EXPECT_EQ(button.setAlignment(kImageRight), kSkinOk);
    EXPECT_EQ(button.setAlignment(4), kSkinBadAlignment);
    EXPECT_EQ(button.look().alignment, kImageRight);
}

TEST(SkinButtonPictures, MasksGeneratedCopiesAndErrors) {
    const MaskedPicture masked = maskPicture(framedPicture(), 0x000000);
    EXPECT_EQ(masked.mask.pixelIndex(0, 0), 1);
    EXPECT_EQ(masked.mask.pixelIndex(5, 5), 0);
    EXPECT_EQ(qAlpha(masked.composed().pixel(0, 0)), 0);
    EXPECT_EQ(masked.composed().pixel(5, 5), qRgb(200, 40, 40));

    const QImage grey = greyPicture(framedPicture(), 0x000000);
    const int l = static_cast<int>(0.299 * 200 + 0.587 * 40 + 0.114 * 40);
    EXPECT_EQ(grey.pixel(5, 5), qRgb(l, l, l));
    EXPECT_EQ(grey.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(darkerPicture(framedPicture(), 0x000000).pixel(5, 5), qRgb(150, 30, 30));

    Pictures pictures;
    SkinButton button;
    EXPECT_EQ(button.setBitmaps(pictures, 1, 0x000000, 1, 0x000000), kSkinOk);
    EXPECT_FALSE(button.hoverPicture().isNull());
    EXPECT_EQ(button.normalPicture().picture.pixel(5, 5), qRgb(200, 40, 40));
    // A picture that cannot be loaded releases both.
    EXPECT_EQ(button.setBitmaps(pictures, 1, 0x000000, 2, 0x000000), kSkinBadBitmap);
    EXPECT_TRUE(button.hoverPicture().isNull());
    EXPECT_TRUE(button.normalPicture().isNull());
    EXPECT_EQ(button.setBitmaps(pictures, 5, 0x000000), kSkinBadBitmap);
}

TEST(SkinButtonDrawing, PicturePlacementByAlignmentAndPressedOffset) {
    SkinButtonLook look;
    look.rect = QRect(0, 0, 42, 34);
    look.picture = maskPicture(framedPicture(), 0).composed();
    look.alignment = kImageRight;
    EXPECT_EQ(skinButtonPictureRect(look), QRect(32, 12, 10, 10));
    look.alignment = kImageLeft;
    EXPECT_EQ(skinButtonPictureRect(look), QRect(16, 12, 10, 10));  // no text: centred
    look.text = QStringLiteral("Go");
    look.margin = 3;
    EXPECT_EQ(skinButtonPictureRect(look).left(), 3);

    look.text.clear();
    look.alignment = kImageRight;
    look.margin = 0;
    look.pressed = true;
    QImage canvas(42, 34, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter p(&canvas);
        drawSkinButton(p, look);
    }
    // The red square (picture pixels 2..7) moved one pixel right and down; the black border is
    // transparent, so the white shows through.
    EXPECT_EQ(canvas.pixel(32 + 2 + 1, 12 + 2 + 1), qRgb(200, 40, 40));
    EXPECT_EQ(canvas.pixel(32 + 2, 12 + 2), qRgb(255, 255, 255));
}

// Paints the four 3D colours of the desktop in colours of their own while it lives.
class DistinctBevelColours {
  public:
    DistinctBevelColours() : saved_(QApplication::palette()) {
        QPalette palette = saved_;
        palette.setColor(QPalette::Active, QPalette::Light, QColor(250, 240, 230));     // highlight
        palette.setColor(QPalette::Active, QPalette::Midlight, QColor(200, 190, 180));  // 3D light
        palette.setColor(QPalette::Active, QPalette::Dark, QColor(90, 80, 70));         // shadow
        palette.setColor(QPalette::Active, QPalette::Shadow, QColor(20, 10, 5));        // 3D dark shadow
        QApplication::setPalette(palette);
    }
    ~DistinctBevelColours() { QApplication::setPalette(saved_); }

  private:
    QPalette saved_;
};

TEST(SkinButtonDrawing, BordersOfPushAndFlatButtonsInEachState) {
    const DistinctBevelColours colours;
    const QRgb background = qRgb(1, 2, 3);
    const QRgb highlight = qRgb(250, 240, 230);
    const QRgb light = qRgb(200, 190, 180);
    const QRgb shadow = qRgb(90, 80, 70);
    const QRgb darkShadow = qRgb(20, 10, 5);
    SkinButtonLook look;
    look.rect = QRect(0, 0, 20, 12);
    auto paint = [&] {
        QImage canvas(20, 12, QImage::Format_RGB32);
        canvas.fill(background);
        QPainter p(&canvas);
        drawSkinButton(p, look);
        return canvas;
    };
    // A push button stands out: highlight over 3D light on top and left, 3D dark shadow over
    // shadow on bottom and right, which also take the corners they share with the others.
    look.flat = false;
    const QImage raised = paint();
    EXPECT_EQ(raised.pixel(5, 0), highlight);
    EXPECT_EQ(raised.pixel(0, 5), highlight);
    EXPECT_EQ(raised.pixel(5, 1), light);
    EXPECT_EQ(raised.pixel(1, 5), light);
    EXPECT_EQ(raised.pixel(5, 11), darkShadow);
    EXPECT_EQ(raised.pixel(19, 5), darkShadow);
    EXPECT_EQ(raised.pixel(19, 0), darkShadow);
    EXPECT_EQ(raised.pixel(0, 11), darkShadow);
    EXPECT_EQ(raised.pixel(5, 10), shadow);
    EXPECT_EQ(raised.pixel(18, 5), shadow);
    EXPECT_EQ(raised.pixel(18, 1), shadow);
    EXPECT_EQ(raised.pixel(1, 10), shadow);
    EXPECT_EQ(raised.pixel(10, 6), background);
    // Pressed, it has one shadow-coloured line all round.
    look.pressed = true;
    const QImage pushed = paint();
    for (const QPoint& edge : {QPoint(5, 0), QPoint(0, 5), QPoint(5, 11), QPoint(19, 5), QPoint(19, 0)}) {
        EXPECT_EQ(pushed.pixel(edge), shadow) << edge.x() << "," << edge.y();
    }
    EXPECT_EQ(pushed.pixel(5, 1), background);
    // A flat button is sunken while pressed, raised while hovered, and bare otherwise.
    look.flat = true;
    const QImage sunken = paint();
    EXPECT_EQ(sunken.pixel(5, 0), shadow);
    EXPECT_EQ(sunken.pixel(0, 5), shadow);
    EXPECT_EQ(sunken.pixel(5, 11), highlight);
    EXPECT_EQ(sunken.pixel(19, 5), highlight);
    EXPECT_EQ(sunken.pixel(5, 1), background);
    look.pressed = false;
    look.hovered = true;
    const QImage hovered = paint();
    EXPECT_EQ(hovered.pixel(5, 0), highlight);
    EXPECT_EQ(hovered.pixel(19, 5), shadow);
    look.drawBorder = false;
    EXPECT_EQ(paint().pixel(5, 0), background);
    look.drawBorder = true;
    look.hovered = false;
    EXPECT_EQ(paint().pixel(5, 0), background);
}

TEST(SkinButtonDrawing, TextColoursFollowTheState) {
    SkinButtonLook look;
    look.colours = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(skinButtonTextColour(look), 4u);
    look.focused = true;
    EXPECT_EQ(skinButtonTextColour(look), 6u);
    look.hovered = true;
    EXPECT_EQ(skinButtonTextColour(look), 2u);
}

TEST(SkinButtonBehaviour, FlatButtonTracksHoverAndTooltipIsLimitedTo400) {
    QWidget window;
    window.resize(200, 100);
    auto* button = new SkinButton(&window);
    button->setObjectName(QStringLiteral("stop"));
    button->setGeometry(10, 10, 42, 34);
    button->setTooltipText(QStringLiteral("Stop"), true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(button->tooltip().window()->maximumWidth(), SkinButton::kTooltipMaxWidth);
    EXPECT_TRUE(button->tooltip().isActive());
    EXPECT_EQ(button->tooltip().text(), QStringLiteral("Stop"));
    button->setTooltipText(QStringLiteral("Stop now"), false);
    EXPECT_FALSE(button->tooltip().isActive());
    EXPECT_EQ(button->tooltip().window()->text(), QStringLiteral("Stop now"));

    QTest::mouseMove(button, QPoint(5, 5));
    EXPECT_TRUE(QTest::qWaitFor([&] { return button->look().hovered; }, 2000));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->look().hovered);
}

TEST(HoverButton, SizesToItsPictureAndEndsHoverWhenTheCursorLeaves) {
    QWidget window;
    window.resize(300, 200);
    auto* button = new HoverButton(&window);
    button->setObjectName(QStringLiteral("start_recovery"));
    QImage picture(120, 38, QImage::Format_RGB32);
    picture.fill(qRgb(0xC0, 0xC0, 0xC0));  // the standard face grey maps to the desktop's
    ASSERT_TRUE(button->setPicture(picture));
    EXPECT_EQ(button->size(), QSize(120, 38));
    EXPECT_EQ(button->picture().pixel(0, 0), toQColor(systemColor(COLOR_BTNFACE)).rgb());
    button->setLinkText(QStringLiteral("Select this option for direct recovery from tape"));
    EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
    button->move(20, 20);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QPoint cursor = button->mapToGlobal(QPoint(5, 5));
    button->setCursorSource([&] { return cursor; });
    QTest::mouseMove(button, QPoint(5, 5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->isHovered(); }, 2000));
    EXPECT_TRUE(button->hoverTimer().isActive());
    EXPECT_EQ(button->hoverTimer().interval(), HoverButton::kHoverCheckMs);
    cursor = button->mapToGlobal(QPoint(500, 500));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !button->isHovered(); }, 2000));
    EXPECT_FALSE(button->hoverTimer().isActive());
    EXPECT_NE(QWidget::mouseGrabber(), button);
}

TEST(SkinStaticLines, BreakAtLineEndsAndTheLastSpaceThatFits) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    const QFontMetrics m(font);
    EXPECT_EQ(breakSkinStaticLines(QStringLiteral("a\r\nb\n\rc\rd\ne"), m, 500),
              (QStringList{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(breakSkinStaticLines(QStringLiteral("a\n\nb"), m, 500), (QStringList{"a", "", "b"}));
    const int width = m.horizontalAdvance(QStringLiteral("Target Drive"));
    EXPECT_EQ(breakSkinStaticLines(QStringLiteral("Target Drive value"), m, width),
              (QStringList{"Target Drive", " value"}));  // the overflowing blank starts the next line
    EXPECT_EQ(breakSkinStaticLines(QStringLiteral("Target Drive value"), m, m.horizontalAdvance("Target Dr"))
                  .front(),
              QStringLiteral("Target"));
    // No space in what fits: cut just before the character that overflows.
    const QStringList cut =
        breakSkinStaticLines(QStringLiteral("ABCDEFGHIJ"), m, m.horizontalAdvance("ABCD"));
    EXPECT_EQ(cut.front(), QStringLiteral("ABCD"));
    EXPECT_EQ(cut.join(QString()), QStringLiteral("ABCDEFGHIJ"));
    // A character wider than the label still makes progress.
    EXPECT_EQ(breakSkinStaticLines(QStringLiteral("WW"), m, 1), (QStringList{"W", "W"}));
}

TEST(SkinStaticBehaviour, AutoShrinkReducesTheFontUntilTheTextFits) {
    SkinStatic label;
    label.setObjectName(QStringLiteral("progress_value"));
    label.resize(120, 20);
    label.setFont(QStringLiteral("Arial"), 16, 700);
    label.setColours(0xB3FCFF, 0xB3FCFF, kGradientHorizontal);
    label.setText(QStringLiteral("Reading block 12345 of 99999 on //./tape0"));
    label.setAutoShrink(true);
    label.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&label));
    EXPECT_TRUE(QTest::qWaitFor([&] { return label.fontHeight() < 16; }, 2000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            SkinStaticLook look = label.look();
            look.rect = label.rect();
            look.text = label.text();
            return skinStaticTextFits(look) || label.fontHeight() == 1;
        },
        5000));
    // Step by step: one pixel more would not have fitted.
    SkinStaticLook larger = label.look();
    larger.rect = label.rect();
    larger.text = label.text();
    larger.font = skinStaticFont(QStringLiteral("Arial"), label.fontHeight() + 1, 700);
    EXPECT_FALSE(skinStaticTextFits(larger));
}

TEST(SkinStaticBehaviour, OnlyOneDroppedBmpBecomesTheBackground) {
    QTemporaryDir dir;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(qRgb(1, 2, 3));
    const QString bmp = dir.filePath(QStringLiteral("skin.BMP"));
    const QString png = dir.filePath(QStringLiteral("skin.png"));
    ASSERT_TRUE(picture.save(bmp, "BMP"));
    ASSERT_TRUE(picture.save(png, "PNG"));

    SkinStatic label;
    label.resize(50, 20);
    auto drop = [&](const QStringList& files) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& f : files) urls.append(QUrl::fromLocalFile(f));
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&label, &enter);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&label, &event);
    };
    drop({bmp, bmp});
    EXPECT_TRUE(label.backgroundPicture().isNull());
    drop({png});
    EXPECT_TRUE(label.backgroundPicture().isNull());
    drop({bmp});
    ASSERT_FALSE(label.backgroundPicture().isNull());
    EXPECT_EQ(label.backgroundPicture().pixel(0, 0), qRgb(1, 2, 3));
    EXPECT_EQ(label.size(), QSize(50, 20));
}

TEST(SkinStaticDrawing, GradientShadowAndPicture) {
    SkinStaticLook look;
    look.rect = QRect(0, 0, 100, 20);
    look.gradientMode = kGradientHorizontal;
    look.gradientStart = makeColorRef(255, 0, 0);
    look.gradientEnd = makeColorRef(0, 0, 255);
    QImage canvas(100, 20, QImage::Format_RGB32);
    {
        QPainter p(&canvas);
        paintSkinStatic(p, look);
    }
    EXPECT_GT(qRed(canvas.pixel(1, 10)), 240);
    EXPECT_GT(qBlue(canvas.pixel(98, 10)), 240);
    look.backgroundPicture = QImage(2, 2, QImage::Format_RGB32);
    look.backgroundPicture.fill(qRgb(7, 8, 9));
    {
        QPainter p(&canvas);
        paintSkinStatic(p, look);
    }
    EXPECT_EQ(canvas.pixel(50, 10), qRgb(7, 8, 9));  // stretched over the whole label
}

TEST(SkinBackgroundDialog, PaintsTheSkinAtTheOriginAndKeepsItsRegion) {
    SkinBackground dialog;
    QImage skin(40, 30, QImage::Format_RGB32);
    skin.fill(qRgb(0, 255, 0));
    for (int y = 5; y < 10; ++y) {
        for (int x = 5; x < 10; ++x) {
            skin.setPixel(x, y, qRgb(10, 20, 30));
        }
    }
    dialog.setSkin(skin);
    EXPECT_EQ(dialog.skinRegion(), QRegion(5, 5, 5, 5));
    dialog.resize(60, 40);
    const QImage shown = dialog.grab().toImage();
    EXPECT_EQ(shown.pixel(6, 6), qRgb(10, 20, 30));
    EXPECT_EQ(shown.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(50, 35), toQColor(systemColor(COLOR_BTNFACE)).rgb());
}

TEST(TransparentStatic, ChangingTheTextRepaintsTheParentUnderIt) {
    class CountingParent : public QWidget {
      public:
        int paints = 0;

      protected:
        void paintEvent(QPaintEvent*) override { ++paints; }
    } parent;
    parent.resize(200, 100);
    auto* label = new TransparentStatic(&parent);
    label->setGeometry(10, 10, 150, 40);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    const int before = parent.paints;
    label->setText(QStringLiteral("Brivane Ostrum TAPE Version 4.02"));
    EXPECT_GT(parent.paints, before);
    EXPECT_FALSE(label->autoFillBackground());
}

}  // namespace
}  // namespace ostrum::ui
