// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The gallery pages of the message box, the skinned controls and the program's pictures.

#include <QString>

namespace ostrum::gallery {

// Writes gallery_msgbox.png, gallery_skins.png and gallery_buttons.png into `folder`; answers
// false when a page cannot be written.
bool writeControlsGallery(const QString& folder);

}  // namespace ostrum::gallery
