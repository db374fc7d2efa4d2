// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/effects/effect_painter.h"

#include <gtest/gtest.h>

#include <QPainter>

namespace ostrum::ui {
namespace {

constexpr QRgb kSentinel = 0xFFFF00FF;  // a colour no effect below produces

QImage canvas(int w, int h, QRgb fill = kSentinel) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

ColorRef at(const QImage& image, int x, int y) {
    return fromRgbPixel(image.pixel(x, y));
}

RandomSource constantRandom(int value) {
    return [value] { return value; };
}

// --- gradients -------------------------------------------------------------------------------

TEST(Gradient, TenPixelHGradientPaintsEveryColumnWithItsBandColour) {
    const ColorRef from = makeColorRef(0, 0, 0);
    const ColorRef to = makeColorRef(255, 128, 64);
    QImage image = canvas(10, 3);
    {
        QPainter p(&image);
        EffectPainter(constantRandom(0))
            .fillBackground(p, kEffectHGradient, QRect(0, 0, 10, 3), from, 0, to, 0, 0);
    }
    for (int x = 0; x < 10; ++x) {
        // The one non-empty band that covers column x is the last band starting at or before it.
        int band = 63;
        while (band * 10 / 64 > x) {
            --band;
        }
        const ColorRef expected =
            makeColorRef((0 * 64 + band * 255) / 64, (band * 128) / 64, (band * 64) / 64);
        for (int y = 0; y < 3; ++y) {
            EXPECT_EQ(at(image, x, y), expected) << "column " << x;
        }
    }
    // The last band stops one 64th short of the end colour.
    EXPECT_EQ(at(image, 9, 0), makeColorRef(63 * 255 / 64, 63 * 128 / 64, 63));
}

TEST(Gradient, BandColourFollowsTheFormulaInBothDirections) {
    EXPECT_EQ(gradientBandColour(makeColorRef(255, 0, 10), makeColorRef(0, 255, 10), 0),
              makeColorRef(255, 0, 10));
    EXPECT_EQ(gradientBandColour(makeColorRef(255, 0, 10), makeColorRef(0, 255, 10), 32),
              makeColorRef(127, 127, 10));  // (255*64 - 32*255)/64 and (32*255)/64, truncated
    EXPECT_EQ(gradientBandColour(makeColorRef(200, 0, 0), makeColorRef(0, 0, 0), 63), makeColorRef(3, 0, 0));
}

TEST(Gradient, TwoPartEffectsSplitAtTheIntegerHalf) {
    const ColorRef c1 = makeColorRef(0, 0, 0);
    const ColorRef c2 = makeColorRef(0, 255, 0);
    const ColorRef c3 = makeColorRef(255, 255, 255);
    QImage h = canvas(257, 2);
    QImage v = canvas(2, 257);
    QImage three = canvas(256, 2);
    {
        QPainter ph(&h);
        QPainter pv(&v);
        QPainter p3(&three);
        EffectPainter painter(constantRandom(0));
        painter.fillBackground(ph, kEffectHCGradient, h.rect(), c1, c2, c3, 0, 0);
        painter.fillBackground(pv, kEffectVCGradient, v.rect(), c1, c2, c3, 0, 0);
        painter.fillBackground(p3, kEffect3HGradient, three.rect(), c1, c2, c3, 0, 0);
    }
    // Left half (128 columns, two per band) colour 1 -> 3, right half (129 columns) 3 -> 1.
    EXPECT_EQ(at(h, 0, 0), c1);
    EXPECT_EQ(at(h, 127, 0), gradientBandColour(c1, c3, 63));
    EXPECT_EQ(at(h, 128, 0), c3);
    EXPECT_EQ(at(h, 256, 0), gradientBandColour(c3, c1, 63));
    EXPECT_EQ(at(v, 0, 0), c1);
    EXPECT_EQ(at(v, 0, 128), c3);
    EXPECT_EQ(at(three, 128, 0), c2);
    EXPECT_EQ(at(three, 127, 0), gradientBandColour(c1, c2, 63));
    EXPECT_EQ(at(three, 255, 0), gradientBandColour(c2, c3, 63));
    for (const QImage* image : {&h, &v, &three}) {
        for (int y = 0; y < image->height(); ++y) {
            for (int x = 0; x < image->width(); ++x) {
                ASSERT_NE(image->pixel(x, y), kSentinel) << x << "," << y;
            }
        }
    }
}

TEST(Background, SolidTransparentAndUnknownEffects) {
    QImage image = canvas(4, 4);
    {
        QPainter p(&image);
        EffectPainter painter(constantRandom(0));
        painter.fillBackground(p, kEffectTransparent, image.rect(), 0x123456, 0, 0, 0, 0);
        EXPECT_EQ(image.pixel(1, 1), kSentinel);
        painter.fillBackground(p, 99, QRect(0, 0, 2, 4), 0x0000FF, 0, 0, 0, 0);
        painter.fillBackground(p, kEffectSolid, QRect(2, 0, 2, 4), 0x00FF00, 0, 0, 0, 0);
    }
    EXPECT_EQ(at(image, 0, 0), 0x0000FFu);
    EXPECT_EQ(at(image, 3, 3), 0x00FF00u);
}

// --- pattern effects -------------------------------------------------------------------------

TEST(Pattern, PaletteRunsFromColour3OverColour2ToColour1ThenBlends) {
    const ColorRef c1 = makeColorRef(255, 0, 0);
    const ColorRef c2 = makeColorRef(0, 255, 0);
    const ColorRef c3 = makeColorRef(0, 0, 255);
    const PaletteBitmap plain = renderPattern(kEffectNoise, 4, 4, c1, c2, c3, 0, 0, constantRandom(0));
    EXPECT_EQ(plain.tableEntry(0), c3);
    EXPECT_EQ(plain.tableEntry(64), makeColorRef(0, 127, 127));  // (255*64)/128 and (255*64)/128
    EXPECT_EQ(plain.tableEntry(127), makeColorRef(0, 253, 1));
    EXPECT_EQ(plain.tableEntry(128), makeColorRef(1, 253, 0));  // entry 127 + 1 of the second run
    EXPECT_EQ(plain.tableEntry(255), c1);

    const PaletteBitmap half = renderPattern(kEffectNoise, 4, 4, c1, c2, c3, 0, 50, constantRandom(0));
    EXPECT_EQ(half.tableEntry(0), makeColorRef(127, 0, 127));
    const PaletteBitmap full = renderPattern(kEffectNoise, 4, 4, c1, c2, c3, 0, 250, constantRandom(0));
    EXPECT_EQ(full.tableEntry(0), c1) << "blend is clamped to 100 percent";
}

TEST(Pattern, GranularityZeroIsGrainFreeEvenForTheLargestRandomNumber) {
    // 32767 / (32767 / 1) - 0 would be one step of grain; granularity 0 must have none.
    for (int r : {0, 16384, kRandomMax}) {
        const PaletteBitmap noise = renderPattern(kEffectNoise, 8, 8, 0, 0, 0, 0, 0, constantRandom(r));
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                ASSERT_EQ(noise.pixel(x, y), 128) << "r=" << r;
            }
        }
    }
}

TEST(Pattern, GrainSpansMinusToPlusGranularity) {
    const int g = 5;
    EXPECT_EQ(renderPattern(kEffectNoise, 1, 1, 0, 0, 0, g, 0, constantRandom(0)).pixel(0, 0), 128 - g);
    EXPECT_EQ(renderPattern(kEffectNoise, 1, 1, 0, 0, 0, g, 0, constantRandom(kRandomMax)).pixel(0, 0),
              128 + g);
    // For G = 100 the raw formula gives 32767 / 163 - 100 = 101; it stays within +G.
    EXPECT_EQ(renderPattern(kEffectNoise, 1, 1, 0, 0, 0, 100, 0, constantRandom(kRandomMax)).pixel(0, 0),
              228);
}

TEST(Pattern, GrainFreeShadesAndBumpsFollowTheirFormulas) {
    const int w = 50;
    const int h = 40;
    auto render = [&](int effect, int g = 0) {
        return renderPattern(effect, w, h, 0, 0, 0, g, 0, constantRandom(0));
    };
    const PaletteBitmap hshade = render(kEffectHShade);
    const PaletteBitmap vshade = render(kEffectVShade);
    const PaletteBitmap diag = render(kEffectDiagShade);
    const PaletteBitmap hbump = render(kEffectHBump);
    const PaletteBitmap soft = render(kEffectSoftBump);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            ASSERT_EQ(hshade.pixel(x, y), y * 255 / h);
            ASSERT_EQ(vshade.pixel(x, y), (w - x) * 255 / w);
            ASSERT_EQ(diag.pixel(x, y), y * 127 / h + (w - x) * 127 / w);
            const int m = y * 255 / h - 127;
            ASSERT_EQ(hbump.pixel(x, y), 128 + (m * m * m / 128 / 128 * 128) / 128);
            const int mx = (w - x) * 255 / w - 127;
            const int sum = m * m * m / 128 / 128 + mx * mx * mx / 128 / 128;
            ASSERT_EQ(soft.pixel(x, y), std::clamp(128 + sum, 0, 255));
        }
    }
    EXPECT_EQ(hbump.pixel(0, 0), 3);  // m = -127: near colour 3
    // With granularity the shade keeps G clear at both ends (the grain source returns -G here).
    const PaletteBitmap grained = renderPattern(kEffectHShade, w, h, 0, 0, 0, 10, 0, constantRandom(0));
    EXPECT_EQ(grained.pixel(0, 0), 10 + 0 - 10);
    EXPECT_EQ(grained.pixel(0, h - 1), 10 + (h - 1) * 235 / h - 10);
}

TEST(Pattern, VBumpPaleYellowOverWhiteOn400Pixels) {
    const ColorRef paleYellow = makeColorRef(255, 255, 192);
    const ColorRef white = makeColorRef(255, 255, 255);
    QImage image = canvas(400, 20);
    {
        QPainter p(&image);
        EffectPainter(constantRandom(0))
            .fillBackground(p, kEffectVBump, image.rect(), paleYellow, white, paleYellow, 0, 0);
    }
    auto blue = [&](int x) { return blueOf(at(image, x, 10)); };
    // Both edges are (near) pale yellow, the wide middle (near) white.
    EXPECT_LE(blue(0), 195);
    EXPECT_LE(blue(399), 195);
    for (int x = 120; x < 280; ++x) {
        ASSERT_GE(blue(x), 250) << x;
    }
    EXPECT_LT(blue(20), blue(100));
    EXPECT_LT(blue(380), blue(300));
}

TEST(Pattern, VBumpLeftColumnTakesColour1InsteadOfWrappingToColour3) {
    // Regression: the left column's value is 256, which used to wrap to index 0 (colour 3).
    const ColorRef red = makeColorRef(255, 0, 0);
    const ColorRef blue = makeColorRef(0, 0, 255);
    const PaletteBitmap bmp = renderPattern(kEffectVBump, 400, 2, red, 0, blue, 0, 0, constantRandom(0));
    EXPECT_EQ(bmp.pixel(0, 0), 255);
    EXPECT_EQ(bmp.tableEntry(bmp.pixel(0, 0)), red);
    EXPECT_EQ(bmp.pixel(399, 0), 3);
}

TEST(Pattern, HardBumpHasLightLeftAndDarkRightBevels) {
    const PaletteBitmap bmp = renderPattern(kEffectHardBump, 120, 30, 0, 0, 0, 0, 0, constantRandom(0));
    const int y = 15;
    const int middle = bmp.pixel(60, y);
    EXPECT_EQ(bmp.pixel(0, y), 255);
    EXPECT_GT(bmp.pixel(5, y), middle);
    EXPECT_EQ(bmp.pixel(16, y), middle) << "bevel width is min(120 / 6, 16)";
    EXPECT_LT(bmp.pixel(119 - 5, y), middle);
}

TEST(Pattern, MetalStaysOnThePaletteAndDrawsAtTheRectangle) {
    // Unsigned, so that the product wraps as the generator means it to (a signed int overflowed).
    unsigned seed = 1;
    RandomSource lcg = [&seed] {
        seed = (seed * 1103515245u + 12345u) & kRandomMax;
        return static_cast<int>(seed);
    };
    QImage image = canvas(60, 30);
    {
        QPainter p(&image);
        EffectPainter(lcg).fillBackground(p, kEffectMetal, QRect(10, 5, 40, 20), 0xC0C0C0, 0x808080, 0x404040,
                                          3, 0);
    }
    EXPECT_EQ(image.pixel(9, 5), kSentinel);
    EXPECT_EQ(image.pixel(50, 5), kSentinel);
    EXPECT_EQ(image.pixel(10, 25), kSentinel);
    for (int y = 5; y < 25; ++y) {
        for (int x = 10; x < 50; ++x) {
            const ColorRef c = at(image, x, y);
            ASSERT_TRUE(redOf(c) >= 0x40 && redOf(c) <= 0xC0) << x << "," << y;
        }
    }
}

TEST(PaletteBitmap, DepthsStrideAndPixelsOutside) {
    PaletteBitmap bmp;
    EXPECT_FALSE(bmp.create(10, 10, 24));
    EXPECT_FALSE(bmp.create(0, 10, 8));
    EXPECT_FALSE(bmp.create(1 << 20, 1 << 20, 8)) << "refuses sizes beyond the limit";
    ASSERT_TRUE(bmp.create(33, 2, 1));
    EXPECT_EQ(bmp.stride(), 8);
    EXPECT_EQ(bmp.tableSize(), 2);
    bmp.setPixel(32, 1, 1);
    bmp.setPixel(33, 1, 1);
    bmp.setPixel(-1, 0, 1);
    EXPECT_EQ(bmp.pixel(32, 1), 1);
    EXPECT_EQ(bmp.pixel(31, 1), 0);
    ASSERT_TRUE(bmp.create(3, 1, 4));
    EXPECT_EQ(bmp.stride(), 4);
    bmp.setTableEntry(9, 1, 2, 3);
    bmp.setPixel(1, 0, 9);
    bmp.setPixel(2, 0, 4);
    EXPECT_EQ(bmp.pixel(0, 0), 0);
    EXPECT_EQ(bmp.pixel(1, 0), 9);
    EXPECT_EQ(fromRgbPixel(bmp.toImage().pixel(1, 0)), makeColorRef(1, 2, 3));
}

// --- pictures --------------------------------------------------------------------------------

QImage twoPixelPicture() {
    QImage picture(2, 1, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(200, 100, 40));
    picture.setPixel(1, 0, qRgb(0, 255, 0));  // the transparent colour in the tests below
    return picture;
}

// Draws `picture` into `target` (at its own size in the corner when none is given) on a white
// canvas of `size`.
QImage drawOnWhite(const QImage& picture, const PictureOptions& options, QSize size = QSize(2, 1),
                   QRect target = QRect()) {
    QImage image = canvas(size.width(), size.height(), 0xFFFFFFFF);
    QPainter p(&image);
    const QRect where = target.isNull() ? picture.rect() : target;
    EffectPainter(constantRandom(0)).drawPicture(p, where, picture, options);
    p.end();
    return image;
}

TEST(Picture, GreyDarkerLighterAndTransparentColour) {
    PictureOptions options;
    options.useTransparent = true;
    options.transparent = makeColorRef(0, 255, 0);
    EXPECT_EQ(at(drawOnWhite(twoPixelPicture(), options), 0, 0), makeColorRef(200, 100, 40));
    EXPECT_EQ(at(drawOnWhite(twoPixelPicture(), options), 1, 0), 0xFFFFFFu)
        << "transparent pixel keeps the destination";

    options.flags = kPictureGrey;
    const int luma = static_cast<int>(0.299 * 200 + 0.587 * 100 + 0.114 * 40);
    EXPECT_EQ(at(drawOnWhite(twoPixelPicture(), options), 0, 0), makeColorRef(luma, luma, luma));
    options.flags = kPictureDarker;
    EXPECT_EQ(at(drawOnWhite(twoPixelPicture(), options), 0, 0), makeColorRef(150, 75, 30));
    options.flags = kPictureLighter;
    EXPECT_EQ(at(drawOnWhite(twoPixelPicture(), options), 0, 0), makeColorRef(250, 125, 50));
    options.flags = kPictureFill | kPictureInvert;
    options.fillColour = makeColorRef(10, 20, 30);
    const QImage filled = drawOnWhite(twoPixelPicture(), options);
    EXPECT_EQ(at(filled, 0, 0), makeColorRef(245, 235, 225));
    EXPECT_EQ(at(filled, 1, 0), 0xFFFFFFu);

    options = {};
    options.flags = kPictureLighter;
    QImage bright(1, 1, QImage::Format_RGB32);
    bright.setPixel(0, 0, qRgb(240, 10, 0));
    EXPECT_EQ(at(drawOnWhite(bright, options, QSize(1, 1)), 0, 0), makeColorRef(255, 12, 0))
        << "lighter stops at 255";
}

TEST(Picture, AlphaPicturesBlendPerPixelAndScaleToTheTarget) {
    QImage picture(1, 1, QImage::Format_ARGB32);
    picture.setPixel(0, 0, qRgba(0, 0, 0, 128));
    const QImage image = drawOnWhite(picture, {}, QSize(4, 4), QRect(1, 1, 2, 2));
    EXPECT_EQ(image.pixel(0, 0), 0xFFFFFFFFu);
    for (QPoint pt : {QPoint(1, 1), QPoint(2, 2)}) {
        EXPECT_NEAR(qRed(image.pixel(pt)), 127, 1);
    }
    EXPECT_EQ(image.pixel(3, 3), 0xFFFFFFFFu);
}

TEST(Picture, HardShadowHasTheShadowColourAtTheOffset) {
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(qRgb(255, 0, 0));
    PictureOptions options;
    options.flags = kPictureShadow;
    options.shadowOn = true;
    options.shadowDx = 4;
    options.shadowDy = 4;
    options.shadowColour = makeColorRef(127, 127, 127);  // darkness 50
    const QImage image = drawOnWhite(picture, options, QSize(12, 12));
    EXPECT_EQ(at(image, 1, 1), makeColorRef(255, 0, 0));
    EXPECT_EQ(at(image, 5, 5), makeColorRef(127, 127, 127));
    EXPECT_EQ(at(image, 7, 7), makeColorRef(127, 127, 127));
    EXPECT_EQ(at(image, 8, 8), 0xFFFFFFu);
    EXPECT_EQ(at(image, 5, 2), 0xFFFFFFu);

    options.shadowOn = false;
    const QImage none = drawOnWhite(picture, options, QSize(12, 12));
    EXPECT_EQ(at(none, 5, 5), 0xFFFFFFu) << "shadow flag without shadow on draws no shadow";
}

TEST(Picture, BlurredShadowFadesTowardItsEdges) {
    QImage picture(20, 20, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 255));
    PictureOptions options;
    options.flags = kPictureBlurredShadow;
    options.shadowOn = true;
    options.shadowDx = 30;
    options.shadowDy = 0;
    options.blurWidth = 6;  // made odd: 7
    options.blurHeight = 7;
    options.shadowColour = 0;
    const QImage image = drawOnWhite(picture, options, QSize(60, 20));
    const int centre = redOf(at(image, 40, 10));
    EXPECT_LT(centre, 20);
    EXPECT_GT(redOf(at(image, 30, 10)), 200) << "the shrunk mask leaves the map's rim nearly clear";
    EXPECT_EQ(at(image, 29, 10), 0xFFFFFFu);
    int previous = 256;
    for (int x = 30; x <= 40; ++x) {
        const int value = redOf(at(image, x, 10));
        EXPECT_LE(value, previous) << x;
        previous = value;
    }
    EXPECT_EQ(at(image, 25, 10), 0xFFFFFFu);
}

TEST(Picture, StripCellsOutOfRangeDrawNothing) {
    QImage strip(6, 4, QImage::Format_RGB32);  // three 2x2 cells in a row... plus a cut-off row
    strip.fill(qRgb(0, 0, 0));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 6; ++x) {
            strip.setPixel(x, y, qRgb(x / 2 * 100, 0, 0));
        }
    }
    QImage image = canvas(2, 2, 0xFFFFFFFF);
    QPainter p(&image);
    EffectPainter painter(constantRandom(0));
    for (int index : {-1, 6, 1000}) {
        painter.drawStripCell(p, QRect(0, 0, 2, 2), strip, QSize(2, 2), index, {});
        ASSERT_EQ(at(image, 0, 0), 0xFFFFFFu) << index;
    }
    painter.drawStripCell(p, QRect(0, 0, 2, 2), strip, QSize(0, 2), 0, {});
    EXPECT_EQ(at(image, 0, 0), 0xFFFFFFu);
    painter.drawStripCell(p, QRect(0, 0, 2, 2), strip, QSize(2, 2), 2, {});
    EXPECT_EQ(at(image, 1, 1), makeColorRef(200, 0, 0));
    painter.drawStripCell(p, QRect(0, 0, 2, 2), strip, QSize(2, 2), 5, {});
    EXPECT_EQ(at(image, 1, 1), makeColorRef(0, 0, 0)) << "the second row of cells is reachable";
}

TEST(Picture, IconIsRenderedAtTheTargetSize) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::blue);
    const QIcon icon(pixmap);
    QImage image = canvas(20, 20, 0xFFFFFFFF);
    {
        QPainter p(&image);
        EffectPainter(constantRandom(0)).drawIcon(p, QRect(2, 2, 16, 16), icon, {});
    }
    EXPECT_EQ(at(image, 2, 2), makeColorRef(0, 0, 255));
    EXPECT_EQ(at(image, 17, 17), makeColorRef(0, 0, 255));
    EXPECT_EQ(at(image, 18, 18), 0xFFFFFFu);
}

// --- frames and lines ------------------------------------------------------------------------

QImage drawLines(const std::function<void(QPainter&, EffectPainter&)>& draw, int w = 40, int h = 20) {
    QImage image = canvas(w, h, 0xFFFFFFFF);
    QPainter p(&image);
    EffectPainter painter(constantRandom(0));
    draw(p, painter);
    return image;
}

TEST(Frame, SolidFrameUsesTopLeftAndBottomRightColours) {
    const ColorRef light = makeColorRef(250, 0, 0);
    const ColorRef dark = makeColorRef(0, 0, 90);
    const QImage image = drawLines([&](QPainter& p, EffectPainter& e) {
        e.frameRect(p, QRect(2, 2, 20, 10), light, dark, LineStyle::Solid, 2);
    });
    EXPECT_EQ(at(image, 10, 2), light);
    EXPECT_EQ(at(image, 10, 3), light);
    EXPECT_EQ(at(image, 2, 6), light);
    EXPECT_EQ(at(image, 10, 11), dark);
    EXPECT_EQ(at(image, 10, 10), dark);
    EXPECT_EQ(at(image, 21, 6), dark);
    EXPECT_EQ(at(image, 10, 4), 0xFFFFFFu);
    EXPECT_EQ(at(image, 10, 12), 0xFFFFFFu);
    EXPECT_EQ(at(image, 22, 6), 0xFFFFFFu);
}

TEST(Frame, DoubleFrameDrawsASecondFrameTwoWidthsInside) {
    const QImage image = drawLines([](QPainter& p, EffectPainter& e) {
        e.frameRect(p, QRect(0, 0, 20, 12), 0x0000FF, 0x0000FF, LineStyle::Double, 1);
    });
    EXPECT_EQ(at(image, 10, 0), 0x0000FFu);
    EXPECT_EQ(at(image, 10, 1), 0xFFFFFFu);
    EXPECT_EQ(at(image, 10, 2), 0x0000FFu);
    EXPECT_EQ(at(image, 17, 6), 0x0000FFu);
    EXPECT_EQ(at(image, 18, 6), 0xFFFFFFu);
    EXPECT_EQ(at(image, 10, 6), 0xFFFFFFu);
}

TEST(Line, DashStylesFollowTheirPatterns) {
    auto row = [](LineStyle style) {
        const QImage image = drawLines(
            [style](QPainter& p, EffectPainter& e) { e.line(p, QPoint(0, 5), QPoint(40, 5), 0, style, 1); });
        QString bits;
        for (int x = 0; x < 40; ++x) {
            bits += at(image, x, 5) == 0 ? '#' : '.';
        }
        return bits.toStdString();
    };
    EXPECT_EQ(row(LineStyle::Solid), std::string(40, '#'));
    EXPECT_EQ(row(LineStyle::Dash), std::string("##################......################"));
    EXPECT_EQ(row(LineStyle::Dot), std::string("###...###...###...###...###...###...###."));
    EXPECT_EQ(row(LineStyle::DashDot), std::string("#########......###......#########......#"));
    EXPECT_EQ(row(LineStyle::DashDotDot), std::string("#########...###...###...#########...###."));
    EXPECT_EQ(row(LineStyle::None), std::string(40, '.'));
}

TEST(Line, WidthDoubleAndNothingForZeroWidth) {
    const QImage thick = drawLines([](QPainter& p, EffectPainter& e) {
        e.line(p, QPoint(5, 2), QPoint(5, 12), 0x00FF00, LineStyle::Solid, 3);
        e.line(p, QPoint(20, 2), QPoint(30, 2), 0x00FF00, LineStyle::Double, 2);
        e.line(p, QPoint(0, 18), QPoint(40, 18), 0x00FF00, LineStyle::Solid, 0);
        e.line(p, QPoint(0, 19), QPoint(40, 19), 0x00FF00, LineStyle::Solid, -3);
    });
    EXPECT_EQ(at(thick, 5, 7), 0x00FF00u);
    EXPECT_EQ(at(thick, 7, 7), 0x00FF00u);
    EXPECT_EQ(at(thick, 8, 7), 0xFFFFFFu);
    EXPECT_EQ(at(thick, 5, 12), 0xFFFFFFu) << "the end point is not drawn";
    EXPECT_EQ(at(thick, 25, 3), 0x00FF00u);
    EXPECT_EQ(at(thick, 25, 4), 0xFFFFFFu);
    EXPECT_EQ(at(thick, 25, 6), 0x00FF00u) << "second line 2 x width below";
    EXPECT_EQ(at(thick, 25, 7), 0x00FF00u);
    EXPECT_EQ(at(thick, 25, 8), 0xFFFFFFu);
    EXPECT_EQ(at(thick, 10, 18), 0xFFFFFFu);
    EXPECT_EQ(at(thick, 10, 19), 0xFFFFFFu);
}

}  // namespace
}  // namespace ostrum::ui
