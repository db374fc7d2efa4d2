// SPDX-License-Identifier: GPL-3.0-or-later
// ostrum-artwork: draws every picture of the program into PNG files in the given folder.
//   ostrum-artwork <output folder>
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <functional>
#include <map>

#include "app/resources/artwork_names.h"
#include "artwork.h"

namespace {

using namespace ostrum::artwork;
namespace names = ostrum::app::artwork;
using names::Picture;

std::map<Picture, std::function<QImage()>> bitmapMakers() {
    return {
        {Picture::ImageRoadPageSkin, imageRoadPageSkin},
        {Picture::StartPageSkin, startPageSkin},
        {Picture::StartRecoveryPicture, startRecoveryPicture},
        {Picture::LoadImagePicture, loadImagePicture},
        {Picture::CreateImagePicture, createImagePicture},
        {Picture::StopButton, [] { return roundButtonPicture(RoundSymbol::Pause, false); }},
        {Picture::StopButtonHover, [] { return roundButtonPicture(RoundSymbol::Pause, true); }},
        {Picture::BackButton, [] { return roundButtonPicture(RoundSymbol::Left, false); }},
        {Picture::BackButtonHover, [] { return roundButtonPicture(RoundSymbol::Left, true); }},
        {Picture::NextButton, [] { return roundButtonPicture(RoundSymbol::Right, false); }},
        {Picture::NextButtonHover, [] { return roundButtonPicture(RoundSymbol::Right, true); }},
        {Picture::ImagingPageSkin, imagingPageSkin},
        {Picture::TreeStateStrip, treeStateStrip},
        {Picture::FolderStateStrip, folderStateStrip},
        {Picture::RecoverySkin, recoverySkin},
        {Picture::AboutSkin, aboutSkin},
        {Picture::DeviceSelectionSkin, deviceSelectionSkin},
        {Picture::HelpTopicsButtonHover,
         [] { return barButtonPicture(83, QStringLiteral("Help Topics"), true); }},
        {Picture::HelpTopicsButton,
         [] { return barButtonPicture(83, QStringLiteral("Help Topics"), false); }},
        {Picture::HomeButton, [] { return barButtonPicture(44, QStringLiteral("Home"), false); }},
        {Picture::HomeButtonHover, [] { return barButtonPicture(44, QStringLiteral("Home"), true); }},
        {Picture::AboutButton, [] { return barButtonPicture(47, QStringLiteral("About"), false); }},
        {Picture::AboutButtonHover, [] { return barButtonPicture(47, QStringLiteral("About"), true); }},
    };
}

std::map<Picture, std::function<QImage(int)>> iconMakers() {
    return {{Picture::ProgramIcon, applicationIcon},
            {Picture::OpenFolderIcon, openFolderIcon},
            {Picture::ClosedFolderIcon, closedFolderIcon},
            {Picture::TapeMediumIcon, tapeMediumIcon}};
}

bool save(const QImage& image, const QString& path) {
    if (image.isNull() || !image.save(path)) {
        std::fprintf(stderr, "ostrum-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ostrum-artwork <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "ostrum-artwork: cannot create %s\n", argv[1]);
        return 1;
    }
    const auto bitmaps = bitmapMakers();
    const auto icons = iconMakers();
    int written = 0;
    bool ok = true;
    for (Picture picture : names::kBitmapIds) {
        const auto maker = bitmaps.find(picture);
        ok = maker != bitmaps.end() && save(maker->second(), out.filePath(names::bitmapFile(picture))) && ok;
        ++written;
    }
    for (Picture picture : names::kIconIds) {
        const auto maker = icons.find(picture);
        for (int size : names::kIconSizes) {
            ok = maker != icons.end() &&
                 save(maker->second(size), out.filePath(names::iconFile(picture, size))) && ok;
            ++written;
        }
    }
    std::printf("ostrum-artwork: %d pictures in %s\n", written, qPrintable(out.path()));
    return ok ? 0 : 1;
}
