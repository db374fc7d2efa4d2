#pragma once
// The numbers of the program's pictures and where each lies among the embedded resources. The
// artwork generator writes these files; ProgramResources reads them back.

#include <QSize>
#include <QString>
#include <array>

namespace ostrum::ui::artwork {

// Skins, button pictures and state-image strips, each one picture.
inline constexpr std::array kBitmapIds{129, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139, 140,
                                       144, 147, 150, 151, 155, 156, 157, 158, 159, 160, 161};
// Icons, each drawn at every size of kIconSizes.
inline constexpr std::array kIconIds{128, 145, 146, 163};
inline constexpr std::array kIconSizes{16, 32, 48};
// The state-image strips hold 16 by 16 cells.
inline constexpr QSize kStripCell{16, 16};

inline QString bitmapFile(int id) {
    return QStringLiteral("bitmap_%1.png").arg(id);
}
inline QString iconFile(int id, int size) {
    return QStringLiteral("icon_%1_%2.png").arg(id).arg(size);
}
// The resource folder of the embedded pictures and the string table.
inline QString resourceRoot() {
    return QStringLiteral(":/ostrum/");
}

}  // namespace ostrum::ui::artwork
