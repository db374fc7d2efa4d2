// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SkinStatic: a label with its own font, a solid, gradient or picture background, a text that is
// broken into lines by its own rule, an optional shadow, and a font that can shrink until the text
// fits. A single ".bmp" file dropped on it becomes its background picture.

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "ui/platform/colorref.h"

namespace ostrum::ui {

enum SkinGradient : int { kGradientNone = 0, kGradientHorizontal = 1, kGradientVertical = 2 };

struct SkinStaticLook {
    QRect rect;
    QString text;
    QFont font;
    ColorRef textColour = 0;
    ColorRef background = 0xFFFFFF;
    ColorRef gradientStart = 0xFFFFFF;
    ColorRef gradientEnd = 0xFFFFFF;
    int gradientMode = kGradientNone;
    QImage backgroundPicture;  // stretched over the whole rectangle when set
    Qt::Alignment horizontal = Qt::AlignLeft;
    bool verticalCentre = false;
    Qt::TextElideMode elide = Qt::ElideNone;
    bool shadow = false;
    bool shadowUpLeft = false;  // the shadow goes (-1, -1) instead of (+1, +1)
};

// Breaks `text` into the lines that fit `width`: "\r\n", "\n\r", "\r" or "\n" end a line; a line
// that would overflow is cut at the last space of what fits, or just before the character that
// overflows when what fits has no space or ends in one.
QStringList breakSkinStaticLines(const QString& text, const QFontMetrics& metrics, int width);
// Whether the broken lines of `look` fit its height.
bool skinStaticTextFits(const SkinStaticLook& look);
void paintSkinStatic(QPainter& painter, const SkinStaticLook& look);
// A font of the face and weight whose line height is at most `cellHeight` pixels.
QFont skinStaticFont(const QString& face, int cellHeight, int weight);

class SkinStatic : public QWidget {
    Q_OBJECT
  public:
    explicit SkinStatic(QWidget* parent = nullptr);

    void setFont(const QString& face, int height, int weight, bool repaint = true);
    void setColours(ColorRef start, ColorRef end, int gradientMode);
    void setTextColour(ColorRef colour);
    bool setBackgroundFile(const QString& fileName, bool keepSize = false);
    void setBackgroundPicture(const QImage& picture, bool keepSize = false);
    void setText(const QString& text);
    void setAutoShrink(bool on);
    void setShadow(bool on, bool upLeft = false);
    void setTextAlignment(Qt::Alignment horizontal, bool verticalCentre = false);
    void setElideMode(Qt::TextElideMode mode);

    const QString& text() const { return look_.text; }
    int fontHeight() const { return fontHeight_; }
    const QImage& backgroundPicture() const { return look_.backgroundPicture; }
    const SkinStaticLook& look() const { return look_; }

    // The files of a drop: exactly one, ending in ".bmp" (any case), becomes the background.
    bool takeDroppedFiles(const QStringList& files);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

  private:
    void rebuildFont();

    QString face_ = QStringLiteral("DejaVu Sans");
    int fontHeight_ = 16;
    int weight_ = 400;
    bool autoShrink_ = false;
    SkinStaticLook look_;
};

}  // namespace ostrum::ui
