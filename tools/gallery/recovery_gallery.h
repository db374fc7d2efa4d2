// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The gallery pages of the recovery window: the window after scanning the sample image (a folder shown,
// one set unticked so that marks are partial), the window during a scan, the window after scanning the
// sample spread over two media, and the save progress dialog.

#include <QString>

namespace ostrum::gallery {

// Writes gallery_recovery.png, gallery_recovery_scanning.png, gallery_recovery_two_media.png and
// gallery_save_progress.png into `folder`; answers false when the sample cannot be scanned or a page cannot
// be written.
bool writeRecoveryGallery(const QString& folder);

}  // namespace ostrum::gallery
