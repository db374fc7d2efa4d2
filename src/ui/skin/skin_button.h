#pragma once
// SkinButton: a flat picture push button with a hover and a normal picture, six state colours,
// optional check mode, popup menu or hyperlink, and a tooltip at most 400 pixels wide.

#include <QEvent>
#include <QPointer>
#include <QPushButton>
#include <array>
#include <functional>
#include <memory>

#include "ui/platform/colorref.h"
#include "ui/platform/link_opener.h"
#include "ui/richtext/resource_provider.h"
#include "ui/skin/skin_button_drawing.h"
#include "ui/skin/skin_picture.h"
#include "ui/skin/skin_tooltip.h"

class QMenu;

namespace ostrum::ui {

// Error codes of the SkinButton operations.
enum SkinButtonError : int {
    kSkinOk = 0,
    kSkinBadBitmap = 1,  // the bitmap's size could not be read (missing or unreadable)
    kSkinNoMask = 2,
    kSkinBadIndex = 3,
    kSkinBadAlignment = 4,
    kSkinBadShade = 5,
};

// Posted to a menu's owner when the user picks a command from a SkinButton's popup menu.
class SkinMenuCommandEvent : public QEvent {
  public:
    explicit SkinMenuCommandEvent(int command) : QEvent(eventType()), command_(command) {}
    static QEvent::Type eventType();
    int command() const { return command_; }

  private:
    int command_;
};

class SkinButton : public QPushButton {
    Q_OBJECT
  public:
    // The normal picture may be generated from the hover picture instead of loaded.
    static constexpr int kNoNormalPicture = 0;
    static constexpr int kGreyNormalPicture = -1;
    static constexpr int kDarkerNormalPicture = -2;
    static constexpr int kTooltipMaxWidth = 400;
    static constexpr int kMaxLinkLength = 260;

    explicit SkinButton(QWidget* parent = nullptr);
    ~SkinButton() override;

    // Loads the pictures by number from `resources`; `normalId` may ask for a generated copy.
    int setBitmaps(const ResourceProvider& resources, int hoverId, ColorRef hoverKey,
                   int normalId = kNoNormalPicture, ColorRef normalKey = 0);
    // The same with the pictures given; a null normal picture means none.
    int setPictures(const QImage& hover, ColorRef hoverKey, const QImage& normal = {}, ColorRef normalKey = 0,
                    int generated = kNoNormalPicture);

    int setColour(int index, ColorRef colour, bool repaint = true);
    int offsetColour(int index, int shade, bool repaint = true);
    ColorRef colour(int index) const { return colours_.at(static_cast<std::size_t>(index)); }
    int setAlignment(int alignment, bool repaint = true);
    int alignment() const { return alignment_; }
    void setMargin(int margin) {
        margin_ = margin;
        update();
    }

    void setFlat(bool flat);
    bool isFlat() const { return flat_; }
    void setDrawBorder(bool on) {
        drawBorder_ = on;
        update();
    }
    void setFocusRectWhenFlat(bool on) {
        focusWhenFlat_ = on;
        update();
    }
    void setTransparent(bool on);
    void setTrackAlways(bool on) { trackAlways_ = on; }
    void setCheck(bool checked);
    bool check() const { return isChecked(); }
    void setMenu(QMenu* menu, QObject* owner);
    void setLink(const QString& link);
    const QString& link() const { return link_; }
    void setLinkOpener(std::shared_ptr<LinkOpener> opener) { opener_ = std::move(opener); }
    // Sounds are played through `player` (none by default: there is no sound device seam yet).
    void setSounds(const QString& hover, const QString& click);
    void setSoundPlayer(std::function<void(const QString&)> player) { soundPlayer_ = std::move(player); }
    void setTooltipText(const QString& text, bool activate = true);
    const SkinToolTip& tooltip() const { return tip_; }

    bool isHovered() const { return hovered_; }
    bool hasHoverPicture() const { return !hover_.isNull(); }
    bool hasNormalPicture() const { return !normal_.isNull(); }
    const MaskedPicture& hoverPicture() const { return hover_; }
    const MaskedPicture& normalPicture() const { return normal_; }
    // What a paint shows now.
    SkinButtonLook look() const;

  signals:
    void hoverChanged(bool hovered);

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

  private:
    void onClicked();
    void setHovered(bool hovered);
    void playSound(const QString& sound) const;
    void releasePictures();

    MaskedPicture hover_;
    MaskedPicture normal_;
    // What a paint draws of each (masked pixels transparent), composed once per picture.
    QImage hoverShown_;
    QImage normalShown_;
    std::array<ColorRef, kSkinButtonColourCount> colours_{};
    bool flat_ = true;
    bool drawBorder_ = true;
    bool focusWhenFlat_ = false;
    bool transparent_ = false;
    bool trackAlways_ = true;
    bool hovered_ = false;
    bool menuOpen_ = false;
    int alignment_ = kImageLeft;
    int margin_ = 0;
    QPointer<QMenu> menu_;
    QPointer<QObject> menuOwner_;
    QString link_;
    std::shared_ptr<LinkOpener> opener_;
    QString hoverSound_;
    QString clickSound_;
    std::function<void(const QString&)> soundPlayer_;
    mutable QImage parentPixels_;  // transparent mode: the parent's pixels under the button
    SkinToolTip tip_;
};

}  // namespace ostrum::ui
