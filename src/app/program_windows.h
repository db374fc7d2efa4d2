// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program's windows share in their set-up: the name, title, icon, skin picture and fixed size
// of a skinned window, and the small picture buttons (Stop, Back, Next, Home, About).

#include <QString>
#include <optional>

#include "app/resources/artwork_names.h"

namespace ostrum::ui {
class SkinBackground;
class SkinButton;
}  // namespace ostrum::ui

namespace ostrum::app {

using artwork::Picture;

// Names the window, gives it its title, the program's icon and skin picture `skin` (none when `skin` is
// nothing), and fixes its size of `width` by `height` dialog units.
void setUpProgramWindow(ui::SkinBackground& window, const char* name, const QString& title,
                        std::optional<Picture> skin, int width, int height);

// A small picture button: `normal` and `hover` pictures with black transparent, the hover background
// lightened, green text on hover, the picture on the right, and the tooltip. Enter never presses it.
void setUpPictureButton(ui::SkinButton& button, Picture normal, Picture hover, const QString& tip);

}  // namespace ostrum::app
