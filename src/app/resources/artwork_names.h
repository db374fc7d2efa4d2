// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's pictures by name, their numbers, and where each lies among the embedded resources. The
// artwork generator writes these files; ProgramResources reads them back.

#include <QSize>
#include <QString>
#include <array>

namespace ostrum::app::artwork {

// Every picture of the program, by name. The value is the picture's number: the resource number the
// windows ask the resources for, and the number its file is named by. The artwork generator draws each
// of them, the build embeds each of them (resources/artwork.cmake lists their files; a test holds that
// list to these), and the windows use them by these names.
enum class Picture : int {
    ProgramIcon = 128,
    ImageRoadPageSkin = 129,
    StartPageSkin = 130,
    StartRecoveryPicture = 131,
    LoadImagePicture = 132,
    CreateImagePicture = 133,
    StopButton = 134,
    StopButtonHover = 135,
    BackButton = 136,
    BackButtonHover = 137,
    NextButton = 138,
    NextButtonHover = 139,
    ImagingPageSkin = 140,
    TreeStateStrip = 144,
    OpenFolderIcon = 145,
    ClosedFolderIcon = 146,
    FolderStateStrip = 147,
    RecoverySkin = 150,
    AboutSkin = 151,
    DeviceSelectionSkin = 155,
    HelpTopicsButtonHover = 156,
    HelpTopicsButton = 157,
    HomeButton = 158,
    HomeButtonHover = 159,
    AboutButton = 160,
    AboutButtonHover = 161,
    TapeMediumIcon = 163,
};

// The picture's number, as the resource providers take it.
constexpr int pictureId(Picture picture) {
    return static_cast<int>(picture);
}

// Skins, button pictures and state-image strips, each one picture.
inline constexpr std::array kBitmapIds{
    Picture::ImageRoadPageSkin, Picture::StartPageSkin,       Picture::StartRecoveryPicture,
    Picture::LoadImagePicture,  Picture::CreateImagePicture,  Picture::StopButton,
    Picture::StopButtonHover,   Picture::BackButton,          Picture::BackButtonHover,
    Picture::NextButton,        Picture::NextButtonHover,     Picture::ImagingPageSkin,
    Picture::TreeStateStrip,    Picture::FolderStateStrip,    Picture::RecoverySkin,
    Picture::AboutSkin,         Picture::DeviceSelectionSkin, Picture::HelpTopicsButtonHover,
    Picture::HelpTopicsButton,  Picture::HomeButton,          Picture::HomeButtonHover,
    Picture::AboutButton,       Picture::AboutButtonHover,
};
// Icons, each drawn at every size of kIconSizes.
inline constexpr std::array kIconIds{Picture::ProgramIcon, Picture::OpenFolderIcon, Picture::ClosedFolderIcon,
                                     Picture::TapeMediumIcon};
inline constexpr std::array kIconSizes{16, 32, 48};
// The state-image strips hold 16 by 16 cells.
inline constexpr QSize kStripCell{16, 16};

inline QString bitmapFile(Picture picture) {
    return QStringLiteral("bitmap_%1.png").arg(pictureId(picture));
}
inline QString iconFile(Picture picture, int size) {
    return QStringLiteral("icon_%1_%2.png").arg(pictureId(picture)).arg(size);
}
// The resource folder of the embedded pictures and the string table.
inline QString resourceRoot() {
    return QStringLiteral(":/ostrum/");
}

}  // namespace ostrum::app::artwork
