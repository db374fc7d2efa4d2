// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing a window of the program into the gallery folder as a PNG file.

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdio>

namespace ostrum::gallery {

// Grabs `widget` into `folder`/`name`; says what it wrote, or why not, and answers whether it did.
inline bool savePicture(QWidget& widget, const QString& folder, const char* name) {
    const QString path = folder + u'/' + QString::fromLatin1(name);
    const QImage picture = widget.grab().toImage();
    if (!picture.save(path)) {
        std::fprintf(stderr, "ostrum-gallery: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("ostrum-gallery: wrote %s (%dx%d)\n", qPrintable(path), picture.width(), picture.height());
    return true;
}

}  // namespace ostrum::gallery
