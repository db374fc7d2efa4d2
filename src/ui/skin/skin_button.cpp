#include "ui/skin/skin_button.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace ostrum::ui {

QEvent::Type SkinMenuCommandEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

SkinButton::SkinButton(QWidget* parent)
    : QPushButton(parent), opener_(std::make_shared<DesktopLinkOpener>()), tip_(this, kTooltipMaxWidth) {
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
    return setPictures(hover, hoverKey, normal, normalKey, normalId < 0 ? normalId : kNoNormalPicture);
}

int SkinButton::setPictures(const QImage& hover, ColorRef hoverKey, const QImage& normal, ColorRef normalKey,
                            int generated) {
    releasePictures();
    update();
    if (hover.isNull()) {
        return kSkinBadBitmap;
    }
    MaskedPicture hoverMasked = maskPicture(hover, hoverKey);
    if (hoverMasked.isNull()) {
        return kSkinNoMask;
    }
    QImage normalSource = normal;
    ColorRef key = normalKey;
    if (generated == kGreyNormalPicture) {
        normalSource = greyPicture(hover, hoverKey);
        key = hoverKey;
    } else if (generated == kDarkerNormalPicture) {
        normalSource = darkerPicture(hover, hoverKey);
        key = hoverKey;
    }
    MaskedPicture normalMasked;
    if (!normalSource.isNull()) {
        normalMasked = maskPicture(normalSource, key);
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

void SkinButton::setFlat(bool flat) {
    flat_ = flat;
    QPushButton::setFlat(flat);
    if (!flat_) {
        hovered_ = false;
    }
    update();
}

void SkinButton::setTransparent(bool on) {
    transparent_ = on;
    parentPixels_ = QImage();
    update();
}

void SkinButton::setCheck(bool checked) {
    setCheckable(true);
    setChecked(checked);
    update();
}

void SkinButton::setMenu(QMenu* menu, QObject* owner) {
    menu_ = menu;
    menuOwner_ = owner;
}

void SkinButton::setLink(const QString& link) {
    link_ = link.left(kMaxLinkLength);
}

void SkinButton::setSounds(const QString& hover, const QString& click) {
    hoverSound_ = hover;
    clickSound_ = click;
}

void SkinButton::setTooltipText(const QString& text, bool activate) {
    tip_.setText(text, activate);
}

void SkinButton::playSound(const QString& sound) const {
    if (!sound.isEmpty() && soundPlayer_) {
        soundPlayer_(sound);
    }
}

SkinButtonLook SkinButton::look() const {
    SkinButtonLook look;
    look.rect = rect();
    look.text = text();
    look.font = font();
    look.pressed = isDown() || (isCheckable() && isChecked()) || menuOpen_;
    look.hovered = hovered_;
    look.focused = hasFocus();
    look.enabled = isEnabled();
    look.flat = flat_;
    look.drawBorder = drawBorder_;
    look.focusWhenFlat = focusWhenFlat_;
    look.checkMode = isCheckable();
    look.alignment = alignment_;
    look.margin = margin_;
    look.colours = colours_;
    const bool showHover = look.pressed || hovered_ || normal_.isNull();
    look.picture = showHover ? hoverShown_ : normalShown_;
    if (transparent_ && parentWidget() != nullptr) {
        if (parentPixels_.isNull()) {
            // Only the parent's own background, never its children, so this button is not drawn into it.
            QImage pixels(size(), QImage::Format_ARGB32_Premultiplied);
            pixels.fill(Qt::transparent);
            parentWidget()->render(&pixels, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
            parentPixels_ = pixels;
        }
        look.transparentBackground = parentPixels_;
    }
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
        if (flat_) {
            setHovered(false);
        }
    }
    return QPushButton::event(e);
}

void SkinButton::mouseMoveEvent(QMouseEvent* e) {
    const bool leftHeld = (e->buttons() & Qt::LeftButton) != 0;
    if (flat_ && !hovered_ && !leftHeld && rect().contains(e->position().toPoint()) &&
        (trackAlways_ || QApplication::activeWindow() != nullptr)) {
        setHovered(true);
        playSound(hoverSound_);
    }
    QPushButton::mouseMoveEvent(e);
}

void SkinButton::leaveEvent(QEvent* e) {
    if (flat_) {
        setHovered(false);
    }
    QPushButton::leaveEvent(e);
}

void SkinButton::focusOutEvent(QFocusEvent* e) {
    if (flat_) {
        setHovered(false);
    }
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
    emit hoverChanged(hovered_);
}

void SkinButton::onClicked() {
    setFocus(Qt::MouseFocusReason);
    playSound(clickSound_);
    if (isCheckable()) {
        update();  // the toggle itself is done by the button before this signal
        return;
    }
    if (!menu_.isNull()) {
        menuOpen_ = true;
        update();
        QAction* chosen = menu_->exec(mapToGlobal(QPoint(0, height())));
        menuOpen_ = false;
        update();
        if (chosen != nullptr && !menuOwner_.isNull()) {
            QCoreApplication::postEvent(menuOwner_, new SkinMenuCommandEvent(chosen->data().toInt()));
        }
        return;
    }
    if (!link_.isEmpty() && opener_) {
        opener_->open(link_);
    }
}

}  // namespace ostrum::ui
