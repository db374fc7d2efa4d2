// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Colour values of the mark-up: "#rrggbb", a decimal or "0x" number taken as a ColorRef, one of
// the 140 named colours, or one of the 28 system colour keywords (read from the application
// palette when the table is made).

#include <QStringView>
#include <array>
#include <optional>

#include "ui/platform/colorref.h"

namespace ostrum::ui {

class ColourTable {
  public:
    static constexpr int kNamedColours = 140;
    static constexpr int kSystemKeywords = 28;

    ColourTable();  // snapshots the system colours

    // The colour a name stands for (case-insensitive), or nothing for an unknown name.
    std::optional<ColorRef> lookup(QStringView name) const;

  private:
    std::array<ColorRef, kSystemKeywords> system_{};
};

// Reads a colour value; anything that is not a valid colour gives `current`.
ColorRef parseColour(QStringView text, ColorRef current, const ColourTable& table);

}  // namespace ostrum::ui
