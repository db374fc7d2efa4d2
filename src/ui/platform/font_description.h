// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A font as the components describe it: face, size in pixels, weight (100 to 900), italic,
// underline and strike-out. It becomes a QFont only where text is measured or drawn.

#include <QFont>
#include <QString>

namespace ostrum::ui {

struct FontSpec {
    QString face;
    int sizePx = 16;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    bool operator==(const FontSpec&) const = default;
};

QFont makeFont(const FontSpec& fontSpec);

}  // namespace ostrum::ui
