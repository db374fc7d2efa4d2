// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Colours cross every interface of the user-interface components as 32-bit values laid out
// 0x00BBGGRR; they become QColor only at the moment something is painted.

#include <QColor>
#include <cstdint>

namespace ostrum::ui {

using ColorRef = std::uint32_t;

constexpr ColorRef makeColorRef(int red, int green, int blue) {
    return static_cast<ColorRef>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int redOf(ColorRef c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int greenOf(ColorRef c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int blueOf(ColorRef c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

inline QColor toQColor(ColorRef c) {
    return QColor(redOf(c), greenOf(c), blueOf(c));
}
inline ColorRef fromQColor(const QColor& c) {
    return makeColorRef(c.red(), c.green(), c.blue());
}
// The same conversion for a 32-bit 0xAARRGGBB pixel; the alpha byte is dropped.
constexpr ColorRef fromRgbPixel(std::uint32_t argb) {
    return makeColorRef(static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
                        static_cast<int>(argb & 0xFF));
}

// The system colours the components ask for, numbered as the original platform numbers them.
enum class SysColor {
    ScrollBar = 0,
    Background = 1,
    ActiveCaption = 2,
    InactiveCaption = 3,
    Menu = 4,
    Window = 5,
    WindowFrame = 6,
    MenuText = 7,
    WindowText = 8,
    CaptionText = 9,
    ActiveBorder = 10,
    InactiveBorder = 11,
    AppWorkspace = 12,
    Highlight = 13,
    HighlightText = 14,
    BtnFace = 15,
    BtnShadow = 16,
    GrayText = 17,
    BtnText = 18,
    InactiveCaptionText = 19,
    BtnHighlight = 20,
    DkShadow3D = 21,
    Light3D = 22,
    InfoText = 23,
    InfoBk = 24,
};

inline constexpr SysColor COLOR_BTNFACE = SysColor::BtnFace;
inline constexpr SysColor COLOR_BTNSHADOW = SysColor::BtnShadow;
inline constexpr SysColor COLOR_BTNHIGHLIGHT = SysColor::BtnHighlight;
inline constexpr SysColor COLOR_3DDKSHADOW = SysColor::DkShadow3D;
inline constexpr SysColor COLOR_3DLIGHT = SysColor::Light3D;
inline constexpr SysColor COLOR_INFOBK = SysColor::InfoBk;
inline constexpr SysColor COLOR_WINDOWTEXT = SysColor::WindowText;
inline constexpr SysColor COLOR_BTNTEXT = SysColor::BtnText;

// Reads a system colour from the application palette (a default palette when no application
// object exists yet).
ColorRef systemColor(SysColor which);

}  // namespace ostrum::ui
