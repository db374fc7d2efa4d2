// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every picture of the program, by number. Each function draws one picture in its final size.

#include <QImage>
#include <QPoint>

namespace ostrum::artwork {

// A dialog-unit position of the window templates in pixels (1.5 across, 1.625 down, rounded).
QPoint dialogUnits(int x, int y);

// Skins. artwork_main.cpp says which Picture each function draws.
QImage startPageSkin();
QImage imageRoadPageSkin();
QImage imagingPageSkin();
QImage recoverySkin();
QImage aboutSkin();
QImage deviceSelectionSkin();

// Button pictures.
QImage startRecoveryPicture();
QImage loadImagePicture();
QImage createImagePicture();
enum class RoundSymbol { Pause, Left, Right };
QImage roundButtonPicture(RoundSymbol symbol, bool hover);
QImage barButtonPicture(int width, const QString& text, bool hover);

// State-image strips.
QImage treeStateStrip();
QImage folderStateStrip();

// Icons.
QImage applicationIcon(int size);
QImage openFolderIcon(int size);
QImage closedFolderIcon(int size);
QImage tapeMediumIcon(int size);

}  // namespace ostrum::artwork
