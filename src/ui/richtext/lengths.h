// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Lengths of the mark-up and the style sheet: a plain number, a percentage of the current value,
// "+n" / "-n" relative to it, or a number with a unit (px, ex, em, in, cm, mm, pt, pc).

#include <QStringView>
#include <optional>

namespace ostrum::ui {

struct LengthContext {
    int current = 0;     // the value a percentage or a relative length refers to
    int xHeight = 0;     // height of "x" in the current font, for "ex"
    int textHeight = 0;  // height of the current font, for "em"
    int dpi = 96;        // logical pixels per inch of the device
};

// Every length is kept within this many pixels either way; larger values come from hostile text.
inline constexpr int kMaxLength = 32767;

std::optional<int> parseLength(QStringView text, const LengthContext& context);

// A font size: a bare 1 to 7 is a size step (8, 10, 12, 14, 18, 24, 36 pixels), anything else a
// length. Sizes below 1 are refused.
std::optional<int> parseFontSize(QStringView text, const LengthContext& context);

}  // namespace ostrum::ui
