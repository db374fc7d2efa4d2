// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/skin/skin_static.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLinearGradient>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QUrl>

namespace ostrum::ui {

namespace {

bool isLineEnd(QChar c) {
    return c == u'\r' || c == u'\n';
}

// `line` plus `overflowing` no longer fits: cuts that prefix at its last space, or just before the
// overflowing character when it has no space or ends with one. Answers the line that is finished
// and leaves the start of the next one in `line`.
QString cutOverflow(QString& line, QChar overflowing) {
    const QString prefix = line + overflowing;
    const qsizetype space = prefix.lastIndexOf(u' ');
    QString kept;
    if (space < 0 || prefix.endsWith(u' ')) {
        kept = line;
        line = QString(overflowing);
    } else {
        kept = prefix.left(space);
        line = prefix.mid(space + 1);
    }
    return kept;
}

int lineCount(const SkinStaticLook& look) {
    return static_cast<int>(
        breakSkinStaticLines(look.text, QFontMetrics(look.font), look.rect.width()).size());
}

void paintBackground(QPainter& painter, const SkinStaticLook& look) {
    if (!look.backgroundPicture.isNull()) {
        painter.drawImage(look.rect, look.backgroundPicture);
    } else if (look.gradientMode == kGradientHorizontal || look.gradientMode == kGradientVertical) {
        const QPointF end = look.gradientMode == kGradientHorizontal
                                ? QPointF(look.rect.right() + 1, look.rect.top())
                                : QPointF(look.rect.left(), look.rect.bottom() + 1);
        QLinearGradient gradient(look.rect.topLeft(), end);
        gradient.setColorAt(0, toQColor(look.gradientStart));
        gradient.setColorAt(1, toQColor(look.gradientEnd));
        painter.fillRect(look.rect, gradient);
    } else {
        painter.fillRect(look.rect, toQColor(look.background));
    }
}

}  // namespace

QStringList breakSkinStaticLines(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList lines;
    QString line;
    bool pending = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isLineEnd(c)) {
            if (i + 1 < text.size() && isLineEnd(text[i + 1]) && text[i + 1] != c) {
                ++i;  // "\r\n" and "\n\r" end one line
            }
            lines.append(line);
            line.clear();
            pending = false;
            continue;
        }
        pending = true;
        if (!line.isEmpty() && metrics.horizontalAdvance(line + c, Qt::TextExpandTabs) > width) {
            lines.append(cutOverflow(line, c));
            continue;
        }
        line += c;  // a lone character wider than the label still takes a line of its own
    }
    if (pending || !line.isEmpty()) {
        lines.append(line);
    }
    return lines;
}

bool skinStaticTextFits(const SkinStaticLook& look) {
    return lineCount(look) * QFontMetrics(look.font).height() <= look.rect.height();
}

void paintSkinStatic(QPainter& painter, const SkinStaticLook& look) {
    paintBackground(painter, look);
    const QFontMetrics metrics(look.font);
    const QStringList lines = breakSkinStaticLines(look.text, metrics, look.rect.width());
    const int lineHeight = metrics.height();
    int top = look.rect.top();
    if (look.verticalCentre) {
        top += (look.rect.height() - static_cast<int>(lines.size()) * lineHeight) / 2;
    }
    painter.setFont(look.font);
    const int flags =
        static_cast<int>(look.horizontal) | Qt::AlignTop | Qt::TextExpandTabs | Qt::TextSingleLine;
    const QPoint shadowOffset = look.shadowUpLeft ? QPoint(-1, -1) : QPoint(1, 1);
    for (const QString& line : lines) {
        const QRect lineRect(look.rect.left(), top, look.rect.width(), lineHeight);
        const QString shown =
            look.elide == Qt::ElideNone ? line : metrics.elidedText(line, look.elide, lineRect.width());
        if (look.shadow) {
            painter.setPen(toQColor(systemColor(COLOR_BTNSHADOW)));
            painter.drawText(lineRect.translated(shadowOffset), flags, shown);
        }
        painter.setPen(toQColor(look.textColour));
        painter.drawText(lineRect, flags, shown);
        top += lineHeight;
    }
}

QFont skinStaticFont(const QString& face, int cellHeight, int weight) {
    QFont font(face);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    int pixels = std::max(1, cellHeight);
    font.setPixelSize(pixels);
    while (pixels > 1 && QFontMetrics(font).height() > cellHeight) {
        font.setPixelSize(--pixels);
    }
    return font;
}

SkinStatic::SkinStatic(QWidget* parent) : QWidget(parent) {
    look_.textColour = systemColor(COLOR_WINDOWTEXT);
    look_.background = systemColor(COLOR_BTNFACE);
    look_.gradientStart = look_.background;
    look_.gradientEnd = look_.background;
    setAcceptDrops(true);
    rebuildFont();
}

void SkinStatic::rebuildFont() {
    look_.font = skinStaticFont(face_, fontHeight_, weight_);
}

void SkinStatic::setFont(const QString& face, int height, int weight, bool repaint) {
    face_ = face;
    fontHeight_ = height;
    weight_ = weight;
    rebuildFont();
    if (repaint) {
        update();
    }
}

void SkinStatic::setColours(ColorRef start, ColorRef end, int gradientMode) {
    look_.background = start;
    look_.gradientStart = start;
    look_.gradientEnd = end;
    look_.gradientMode = gradientMode;
    update();
}

void SkinStatic::setTextColour(ColorRef colour) {
    look_.textColour = colour;
    update();
}

bool SkinStatic::setBackgroundFile(const QString& fileName, bool keepSize) {
    QImage picture(fileName);
    if (picture.isNull()) {
        return false;
    }
    setBackgroundPicture(picture, keepSize);
    return true;
}

void SkinStatic::setBackgroundPicture(const QImage& picture, bool keepSize) {
    look_.backgroundPicture = picture;
    if (!keepSize && !picture.isNull()) {
        resize(picture.size());
    }
    update();
}

void SkinStatic::setText(const QString& text) {
    look_.text = text;
    update();
}

void SkinStatic::setAutoShrink(bool on) {
    autoShrink_ = on;
    update();
}

void SkinStatic::setShadow(bool on, bool upLeft) {
    look_.shadow = on;
    look_.shadowUpLeft = upLeft;
    update();
}

void SkinStatic::setTextAlignment(Qt::Alignment horizontal, bool verticalCentre) {
    look_.horizontal = horizontal & Qt::AlignHorizontal_Mask;
    look_.verticalCentre = verticalCentre;
    update();
}

void SkinStatic::setElideMode(Qt::TextElideMode mode) {
    look_.elide = mode;
    update();
}

bool SkinStatic::takeDroppedFiles(const QStringList& files) {
    if (files.size() != 1 || !files.front().endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive)) {
        return false;
    }
    return setBackgroundFile(files.front(), true);
}

void SkinStatic::paintEvent(QPaintEvent* e) {
    look_.rect = rect();
    QPainter painter(this);
    painter.setClipRegion(e->region());
    paintSkinStatic(painter, look_);
    if (autoShrink_ && fontHeight_ > 1 && !skinStaticTextFits(look_)) {
        --fontHeight_;
        rebuildFont();
        update();
    }
}

void SkinStatic::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) {
        e->acceptProposedAction();
    }
}

void SkinStatic::dropEvent(QDropEvent* e) {
    QStringList files;
    for (const QUrl& url : e->mimeData()->urls()) {
        files.append(url.toLocalFile());
    }
    takeDroppedFiles(files);
    e->acceptProposedAction();
}

}  // namespace ostrum::ui
