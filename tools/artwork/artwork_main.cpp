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
namespace names = ostrum::ui::artwork;

std::map<int, std::function<QImage()>> bitmapMakers() {
    return {
        {129, imageRoadPageSkin},
        {130, startPageSkin},
        {131, startRecoveryPicture},
        {132, loadImagePicture},
        {133, createImagePicture},
        {134, [] { return roundButtonPicture(RoundSymbol::Pause, false); }},
        {135, [] { return roundButtonPicture(RoundSymbol::Pause, true); }},
        {136, [] { return roundButtonPicture(RoundSymbol::Left, false); }},
        {137, [] { return roundButtonPicture(RoundSymbol::Left, true); }},
        {138, [] { return roundButtonPicture(RoundSymbol::Right, false); }},
        {139, [] { return roundButtonPicture(RoundSymbol::Right, true); }},
        {140, imagingPageSkin},
        {144, treeStateStrip},
        {147, folderStateStrip},
        {150, recoverySkin},
        {151, aboutSkin},
        {155, deviceSelectionSkin},
        {156, [] { return barButtonPicture(83, QStringLiteral("Help Topics"), true); }},
        {157, [] { return barButtonPicture(83, QStringLiteral("Help Topics"), false); }},
        {158, [] { return barButtonPicture(44, QStringLiteral("Home"), false); }},
        {159, [] { return barButtonPicture(44, QStringLiteral("Home"), true); }},
        {160, [] { return barButtonPicture(47, QStringLiteral("About"), false); }},
        {161, [] { return barButtonPicture(47, QStringLiteral("About"), true); }},
    };
}

std::map<int, std::function<QImage(int)>> iconMakers() {
    return {{128, applicationIcon}, {145, openFolderIcon}, {146, closedFolderIcon}, {163, tapeMediumIcon}};
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
    for (int id : names::kBitmapIds) {
        const auto maker = bitmaps.find(id);
        ok = maker != bitmaps.end() && save(maker->second(), out.filePath(names::bitmapFile(id))) && ok;
        ++written;
    }
    for (int id : names::kIconIds) {
        const auto maker = icons.find(id);
        for (int size : names::kIconSizes) {
            ok = maker != icons.end() && save(maker->second(size), out.filePath(names::iconFile(id, size))) &&
                 ok;
            ++written;
        }
    }
    std::printf("ostrum-artwork: %d pictures in %s\n", written, qPrintable(out.path()));
    return ok ? 0 : 1;
}
