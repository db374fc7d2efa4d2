// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SkinButton: a flat picture push button with a hover and a normal picture, six state colours and a
// tooltip at most 400 pixels wide.

#include <QPushButton>
#include <array>

#include "ui/platform/colorref.h"
#include "ui/richtext/resource_provider.h"
#include "ui/skin/skin_button_drawing.h"
#include "ui/skin/skin_picture.h"
#include "ui/skin/skin_tooltip.h"

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

class SkinButton : public QPushButton {
    Q_OBJECT
  public:
    static constexpr int kNoNormalPicture = 0;
    static constexpr int kTooltipMaxWidth = 400;

    explicit SkinButton(QWidget* parent = nullptr);
    ~SkinButton() override;

    // Loads the pictures by number from `resources`; kNoNormalPicture for `normalId` means none.
    int setBitmaps(const ResourceProvider& resources, int hoverId, ColorRef hoverKey,
                   int normalId = kNoNormalPicture, ColorRef normalKey = 0);

    int setColour(int index, ColorRef colour, bool repaint = true);
    int offsetColour(int index, int shade, bool repaint = true);
    int setAlignment(int alignment, bool repaint = true);
    void setTooltipText(const QString& text, bool activate = true);
    // A flat button draws the focus rectangle only when asked to (a button the keyboard reaches must).
    void setFocusWhenFlat(bool on);
    // The tooltip setTooltipText fills (tests read its text, width limit and state).
    const SkinToolTip& tooltip() const { return tip_; }

    const MaskedPicture& hoverPicture() const { return hover_; }
    const MaskedPicture& normalPicture() const { return normal_; }
    // What a paint shows now.
    SkinButtonLook look() const;

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

  private:
    // The pictures given; a null normal picture means none.
    int setPictures(const QImage& hover, ColorRef hoverKey, const QImage& normal, ColorRef normalKey);
    void onClicked();
    void setHovered(bool hovered);
    void releasePictures();

    MaskedPicture hover_;
    MaskedPicture normal_;
    // What a paint draws of each (masked pixels transparent), composed once per picture.
    QImage hoverShown_;
    QImage normalShown_;
    std::array<ColorRef, kSkinButtonColourCount> colours_{};
    bool hovered_ = false;
    bool focusWhenFlat_ = false;
    int alignment_ = kImageLeft;
    SkinToolTip tip_;
};

}  // namespace ostrum::ui
