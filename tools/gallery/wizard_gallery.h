// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The gallery pages of the wizard: its start page, its image page, its imaging page during a copy of the
// sample tape, the device selection listing two virtual drives, and the about box.

#include <QString>

namespace ostrum::gallery {

// Writes gallery_wizard_start.png, gallery_wizard_image.png, gallery_wizard_imaging.png,
// gallery_device_selection.png and gallery_about.png into `folder`; answers false when a page cannot be
// made or written.
bool writeWizardGallery(const QString& folder);

}  // namespace ostrum::gallery
