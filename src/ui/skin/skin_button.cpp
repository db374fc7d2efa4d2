// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/skin/skin_button.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace ostrum::ui {

SkinButton::SkinButton(QWidget* parent) : QPushButton(parent), tip_(this, kTooltipMaxWidth) {
    colours_ = {systemColor(COLOR_BTNFACE), systemColor(COLOR_BTNTEXT), systemColor(COLOR_BTNFACE),
                systemColor(COLOR_BTNTEXT), systemColor(COLOR_BTNFACE), systemColor(COLOR_BTNTEXT)};
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
    connect(this, &QAbstractButton::clicked, this, &SkinButton::onClicked);
}

SkinButton::~SkinButton() = default;

void SkinButton::releasePictures() {
    hover_ = {};
    normal_ = {};
    hoverShown_ = {};
    normalShown_ = {};
}

int SkinButton::setBitmaps(const ResourceProvider& resources, int hoverId, ColorRef hoverKey, int normalId,
                           ColorRef normalKey) {
    const QImage hover = resources.bitmap(hoverId);
    const QImage normal = normalId > 0 ? resources.bitmap(normalId) : QImage();
    if (normalId > 0 && normal.isNull()) {
        releasePictures();
        update();
        return kSkinBadBitmap;
    }
    return setPictures(hover, hoverKey, normal, normalKey);
}

int SkinButton::setPictures(const QImage& hover, ColorRef hoverKey, const QImage& normal,
                            ColorRef normalKey) {
    releasePictures();
    update();
    if (hover.isNull()) {
        return kSkinBadBitmap;
    }
    MaskedPicture hoverMasked = maskPicture(hover, hoverKey);
    if (hoverMasked.isNull()) {
        return kSkinNoMask;
    }
    MaskedPicture normalMasked;
    if (!normal.isNull()) {
        normalMasked = maskPicture(normal, normalKey);
        if (normalMasked.isNull()) {
            return kSkinNoMask;
        }
    }
    hover_ = std::move(hoverMasked);
    normal_ = std::move(normalMasked);
    hoverShown_ = hover_.composed();
    normalShown_ = normal_.composed();
    return kSkinOk;
}

int SkinButton::setColour(int index, ColorRef colour, bool repaint) {
    if (index < 0 || index >= kSkinButtonColourCount) {
        return kSkinBadIndex;
    }
    colours_[static_cast<std::size_t>(index)] = colour;
    if (repaint) {
        update();
    }
    return kSkinOk;
}

int SkinButton::offsetColour(int index, int shade, bool repaint) {
    if (index < 0 || index >= kSkinButtonColourCount) {
        return kSkinBadIndex;
    }
    if (shade < -255 || shade > 255) {
        return kSkinBadShade;
    }
    return setColour(index, offsetColourBy(colours_[static_cast<std::size_t>(index)], shade), repaint);
}

int SkinButton::setAlignment(int alignment, bool repaint) {
    if (alignment < 0 || alignment > 3) {
        return kSkinBadAlignment;
    }
    alignment_ = alignment;
    if (repaint) {
        update();
    }
    return kSkinOk;
}

void SkinButton::setTooltipText(const QString& text, bool activate) {
    tip_.setText(text, activate);
}

void SkinButton::setFocusWhenFlat(bool on) {
    focusWhenFlat_ = on;
    update();
}

SkinButtonLook SkinButton::look() const {
    SkinButtonLook look;
    look.rect = rect();
    look.text = text();
    look.font = font();
    look.pressed = isDown() || (isCheckable() && isChecked());
    look.hovered = hovered_;
    look.focused = hasFocus();
    look.focusWhenFlat = focusWhenFlat_;
    look.enabled = isEnabled();
    look.checkMode = isCheckable();
    look.alignment = alignment_;
    look.colours = colours_;
    const bool showHover = look.pressed || hovered_ || normal_.isNull();
    look.picture = showHover ? hoverShown_ : normalShown_;
    return look;
}

void SkinButton::paintEvent(QPaintEvent* e) {
    QPainter painter(this);
    painter.setClipRegion(e->region());
    drawSkinButton(painter, look());
}

bool SkinButton::event(QEvent* e) {
    tip_.relay(e);
    if (e->type() == QEvent::WindowActivate || e->type() == QEvent::WindowDeactivate) {
        setHovered(false);
    }
    return QPushButton::event(e);
}

void SkinButton::mouseMoveEvent(QMouseEvent* e) {
    const bool leftHeld = (e->buttons() & Qt::LeftButton) != 0;
    if (!hovered_ && !leftHeld && rect().contains(e->position().toPoint())) {
        setHovered(true);
    }
    QPushButton::mouseMoveEvent(e);
}

void SkinButton::leaveEvent(QEvent* e) {
    setHovered(false);
    QPushButton::leaveEvent(e);
}

void SkinButton::focusOutEvent(QFocusEvent* e) {
    setHovered(false);
    QPushButton::focusOutEvent(e);
}

void SkinButton::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange && !isEnabled() && hasFocus()) {
        focusNextChild();
    }
    QPushButton::changeEvent(e);
}

void SkinButton::mouseDoubleClickEvent(QMouseEvent* e) {
    // A double click counts as another single click.
    mousePressEvent(e);
}

void SkinButton::setHovered(bool hovered) {
    if (hovered_ == hovered) {
        return;
    }
    hovered_ = hovered;
    update();
}

void SkinButton::onClicked() {
    setFocus(Qt::MouseFocusReason);
    if (isCheckable()) {
        update();  // the toggle itself is done by the button before this signal
    }
}

}  // namespace ostrum::ui
