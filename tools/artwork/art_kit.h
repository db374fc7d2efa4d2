// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The drawing kit of the program's pictures: the house colours, fonts, and the shapes that recur
// across skins and buttons (title banner, bottom bar, panels, glossy pills, step badges, the tape
// emblem). Everything is drawn by our own code with QPainter and the program's EffectPainter.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

namespace ostrum::artwork {

// House colours.
namespace colour {
inline const QColor navy{14, 42, 71};
inline const QColor navyLight{27, 79, 128};
inline const QColor blue{38, 110, 186};
inline const QColor sky{94, 182, 240};
inline const QColor amber{245, 166, 35};
inline const QColor amberLight{255, 206, 110};
inline const QColor ink{29, 43, 58};
inline const QColor mute{88, 104, 122};
inline const QColor page{234, 240, 247};
inline const QColor panelBorder{159, 183, 208};
inline const QColor green{46, 158, 79};
inline const QColor white{255, 255, 255};
}  // namespace colour

// Page geometry shared by the wizard's three skins.
inline constexpr int kBannerHeight = 86;
inline constexpr int kWizardBarTop = 362;

QFont font(int pixelSize, int weight = QFont::Normal, bool condensed = false);
QImage canvas(int width, int height, const QColor& fill);
// A painter with antialiasing and smooth pictures switched on.
void prepare(QPainter& painter);

void drawTextShadowed(QPainter& p, const QRectF& rect, int flags, const QString& text, const QColor& ink,
                      const QColor& shadow, QPointF offset = {1, 1});

// The program's emblem: a rounded tile with a tape cassette.
void drawEmblem(QPainter& p, const QRectF& box);
// A tape cassette with two reels, in `box`.
void drawCassette(QPainter& p, const QRectF& box, const QColor& body, const QColor& label);
// A tape reel seen from the front.
void drawReel(QPainter& p, QPointF centre, qreal radius, const QColor& flange, const QColor& tape);

// The title banner along the top of a window.
void drawBanner(QPainter& p, const QRect& rect, const QString& subtitle, int titlePx = 30);
// The dark bar along the bottom of a window that holds the small buttons.
void drawBottomBar(QPainter& p, const QRect& rect, const QString& note = {});
// The light page between banner and bar.
void drawPage(QPainter& p, const QRect& rect);
// A white panel with a blue heading strip; answers the body rectangle under the heading.
QRectF drawPanel(QPainter& p, const QRectF& rect, const QString& heading, qreal headingHeight = 30);
// A "Recommended" ribbon whose right end touches `anchor`.
void drawRibbon(QPainter& p, QPointF anchor, const QString& text);
// A numbered step: a round badge with "Step n" and a title and description beside it.
void drawStep(QPainter& p, QPointF topLeft, qreal width, int number, const QString& title,
              const QString& description);
// A glossy rounded pill filled from `light` to `dark`.
void drawPill(QPainter& p, const QRectF& rect, const QColor& light, const QColor& dark, qreal radius);
// A soft shadow under a rounded rectangle.
void drawSoftShadow(QPainter& p, const QRectF& rect, qreal radius, int spread = 4);
// A sunken frame where a list or tree of the window will lie.
void drawWell(QPainter& p, const QRectF& rect);

}  // namespace ostrum::artwork
