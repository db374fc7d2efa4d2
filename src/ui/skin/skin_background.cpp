// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/skin/skin_background.h"

#include <QPaintEvent>
#include <QPainter>

#include "ui/skin/region_from_bitmap.h"

namespace ostrum::ui {

SkinBackground::SkinBackground(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {}

bool SkinBackground::loadSkin(const ResourceProvider& resources, int id) {
    setSkin(resources.bitmap(id));
    return !skin_.isNull();
}

void SkinBackground::setSkin(const QImage& skin) {
    skin_ = skin.isNull() ? QImage() : skin.convertToFormat(QImage::Format_RGB32);
    skinRegion_ = regionFromBitmap(skin_, kRegionKey, false).value_or(QRegion());
    // The picture replaces the whole background, so Qt need not clear it first.
    setAttribute(Qt::WA_OpaquePaintEvent, !skin_.isNull());
    update();
}

void SkinBackground::paintEvent(QPaintEvent* e) {
    if (skin_.isNull()) {
        QDialog::paintEvent(e);
        return;
    }
    QPainter painter(this);
    paintSkin(painter, skin_, e->rect());
}

void paintSkin(QPainter& painter, const QImage& skin, const QRect& area) {
    const QRect source = area.intersected(skin.rect());
    if (!source.isEmpty()) {
        painter.drawImage(source.topLeft(), skin, source);
    }
    // Beyond the picture the window keeps its ordinary face.
    const QRegion rest = QRegion(area).subtracted(QRegion(skin.rect()));
    for (const QRect& r : rest) {
        painter.fillRect(r, toQColor(systemColor(COLOR_BTNFACE)));
    }
}

}  // namespace ostrum::ui
