#pragma once
// Every picture of the program, by number. Each function draws one picture in its final size.

#include <QImage>
#include <QPoint>

namespace ostrum::artwork {

// A dialog-unit position of the window templates in pixels (1.5 across, 1.625 down, rounded).
QPoint dialogUnits(int x, int y);

// Skins.
QImage startPageSkin();        // 130
QImage imageRoadPageSkin();    // 129
QImage imagingPageSkin();      // 140
QImage recoverySkin();         // 150
QImage aboutSkin();            // 151
QImage deviceSelectionSkin();  // 155

// Button pictures.
QImage startRecoveryPicture();  // 131
QImage loadImagePicture();      // 132
QImage createImagePicture();    // 133
enum class RoundSymbol { Pause, Left, Right };
QImage roundButtonPicture(RoundSymbol symbol, bool hover);            // 134 to 139
QImage barButtonPicture(int width, const QString& text, bool hover);  // 156 to 161

// State-image strips.
QImage treeStateStrip();    // 144
QImage folderStateStrip();  // 147

// Icons.
QImage applicationIcon(int size);   // 128
QImage openFolderIcon(int size);    // 145
QImage closedFolderIcon(int size);  // 146
QImage tapeMediumIcon(int size);    // 163

}  // namespace ostrum::artwork
