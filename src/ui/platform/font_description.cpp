// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/platform/font_description.h"

#include <algorithm>

namespace ostrum::ui {

namespace {
constexpr int kMinWeight = 1;  // QFont accepts weights 1 to 1000
constexpr int kMaxWeight = 1000;
constexpr int kMinPixelSize = 1;     // QFont rejects pixel sizes below 1
constexpr int kMaxPixelSize = 2048;  // anything larger is a mistake in the mark-up, not a font
}  // namespace

QFont makeFont(const FontSpec& fontSpec) {
    QFont font(fontSpec.face);
    font.setPixelSize(std::clamp(fontSpec.sizePx, kMinPixelSize, kMaxPixelSize));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(fontSpec.weight, kMinWeight, kMaxWeight)));
    font.setItalic(fontSpec.italic);
    font.setUnderline(fontSpec.underline);
    font.setStrikeOut(fontSpec.strikeOut);
    return font;
}

}  // namespace ostrum::ui
