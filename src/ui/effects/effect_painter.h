// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// EffectPainter: named background effects (gradients, shades, bumps, noise, metal), pictures
// drawn with effects (grey, darker, lighter, colour fill, inversion, hard or blurred drop shadow,
// per-pixel alpha), frames and lines in seven styles, and cells of image strips. It draws with a
// QPainter given by the caller; colours are ColorRef values (0x00BBGGRR).

#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <iterator>

#include "ui/effects/palette_bitmap.h"
#include "ui/platform/colorref.h"

class QPainter;

namespace ostrum::ui {

// Background effect numbers, as the message box stores them in an area's effect field.
enum BackgroundEffect : int {
    kEffectTransparent = -1,
    kEffectSolid = 0,
    kEffectHGradient = 1,
    kEffectVGradient = 2,
    kEffectHCGradient = 3,
    kEffectVCGradient = 4,
    kEffect3HGradient = 5,
    kEffect3VGradient = 6,
    kEffectNoise = 7,
    kEffectDiagShade = 8,
    kEffectHShade = 9,
    kEffectVShade = 10,
    kEffectHBump = 11,
    kEffectVBump = 12,
    kEffectSoftBump = 13,
    kEffectHardBump = 14,
    kEffectMetal = 15,
};

// The effects by the names the mark-up gives them ("bgeffect=vgradient"), in number order from
// kEffectTransparent.
inline constexpr const char16_t* kBackgroundEffectNames[] = {
    u"transparent", u"solid",      u"hgradient", u"vgradient", u"hcgradient", u"vcgradient",
    u"3hgradient",  u"3vgradient", u"noise",     u"diagshade", u"hshade",     u"vshade",
    u"hbump",       u"vbump",      u"softbump",  u"hardbump",  u"metal",
};
static_assert(std::size(kBackgroundEffectNames) == kEffectMetal - kEffectTransparent + 1);

// Picture effect flags.
enum PictureEffect : unsigned {
    kPictureGrey = 0x0001,
    kPictureDarker = 0x0002,
    kPictureLighter = 0x0004,
    kPictureFill = 0x0008,  // every non-transparent pixel becomes PictureOptions::fillColour
    kPictureShadow = 0x0100,
    kPictureBlurredShadow = 0x0200,
    kPictureInvert = 0x8000,
};

enum class LineStyle : int {
    None = 0,
    Solid = 1,
    Dash = 2,
    Dot = 3,
    DashDot = 4,
    DashDotDot = 5,
    Double = 6
};

struct PictureOptions {
    bool useTransparent = false;
    ColorRef transparent = 0;
    unsigned flags = 0;
    bool shadowOn = false;
    int shadowDx = 0;
    int shadowDy = 0;
    int blurWidth = 0;
    int blurHeight = 0;
    ColorRef shadowColour = makeColorRef(127, 127, 127);
    ColorRef fillColour = 0;
};

// A random number from 0 to 32767, like the platform's generator.
using RandomSource = std::function<int()>;
inline constexpr int kRandomMax = 32767;

// Builds the palette bitmap of a pattern effect (7 to 15) without drawing it. Returns a null
// bitmap for other effects or sizes that cannot be allocated.
PaletteBitmap renderPattern(int effect, int width, int height, ColorRef colour1, ColorRef colour2,
                            ColorRef colour3, int granularity, int blend, const RandomSource& random);

// The colour of gradient band `band` (0 to 63) from `from` to `to`.
ColorRef gradientBandColour(ColorRef from, ColorRef to, int band);

class EffectPainter {
  public:
    EffectPainter();  // grain from a generator seeded by the platform
    explicit EffectPainter(RandomSource random);

    void setRandomSource(RandomSource random);

    void fillBackground(QPainter& painter, int effect, const QRect& rect, ColorRef colour1, ColorRef colour2,
                        ColorRef colour3, int granularity, int blend);
    void gradient(QPainter& painter, const QRect& rect, ColorRef from, ColorRef to, bool horizontal);

    // Draws `picture` scaled into `target` with the effects of `options`.
    void drawPicture(QPainter& painter, const QRect& target, const QImage& picture,
                     const PictureOptions& options);
    void drawIcon(QPainter& painter, const QRect& target, const QIcon& icon, const PictureOptions& options);
    // Draws cell `index` of a strip whose cells of `cellSize` run row by row; an index outside
    // the strip draws nothing.
    void drawStripCell(QPainter& painter, const QRect& target, const QImage& strip, QSize cellSize, int index,
                       const PictureOptions& options);

    // Top and left edges in `topLeft`, bottom and right edges in `bottomRight`, all inside `rect`.
    void frameRect(QPainter& painter, const QRect& rect, ColorRef topLeft, ColorRef bottomRight,
                   LineStyle style, int width);
    // A line from `from` toward `to`; axis-aligned lines grow right of (vertical) or below
    // (horizontal) the given points by `width` pixels.
    void line(QPainter& painter, QPoint from, QPoint to, ColorRef colour, LineStyle style, int width);

  private:
    RandomSource random_;
};

}  // namespace ostrum::ui
