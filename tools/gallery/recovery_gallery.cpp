// SPDX-License-Identifier: GPL-3.0-or-later
#include "recovery_gallery.h"

#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <fstream>

#include "app/catalog_models.h"
#include "app/catalog_views.h"
#include "app/recovery_window.h"
#include "app/save_progress_dialog.h"
#include "app/source_arguments.h"
#include "gallery_pictures.h"
#include "media_sink.h"
#include "sample_media.h"
#include "ui/skin/skin_button.h"

namespace ostrum::gallery {
namespace {

using namespace ostrum::app;

bool waitFor(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, 20000);
}

bool scanningPage(const ScanSource& source, const QString& folder) {
    HeldScan held(scanOf(source), 62);  // a bar part of the way along, as in the middle of a long tape
    RecoveryWindow window(source, nullptr, held.function());
    window.show();
    // The held scan reports 62 % once everything it found has been handed over.
    const bool shown = waitFor([&] { return window.progressBar()->value() == 62; });
    const bool saved = shown && savePicture(window, folder, "gallery_recovery_scanning.png");
    held.release();
    waitFor([&] { return !window.isScanRunning(); });
    return saved;
}

// The window as a user browses it, at its own size (gallery_recovery.png) or grown (`size`).
bool browsingPage(const ScanSource& source, const QString& folder, QSize size, const char* name) {
    RecoveryWindow window(source);
    window.resize(size);
    window.show();
    if (!waitFor([&] { return !window.isScanRunning(); })) return false;
    // Untick the second set in the tree, then show the first set's first folder.
    const QModelIndex top = window.treeModel()->index(0, 0);
    const QModelIndex second = window.treeModel()->index(1, 0, top);
    const QModelIndex first = window.treeModel()->index(0, 0, top);
    const QRect box = StateImageDelegate::stateImageRect(window.tree()->visualRect(second));
    QTest::mouseClick(window.tree()->viewport(), Qt::LeftButton, {}, box.center());
    window.tree()->expand(first);
    const QModelIndex shown =
        window.treeModel()->rowCount(first) > 0 ? window.treeModel()->index(0, 0, first) : first;
    window.tree()->setCurrentIndex(shown);
    window.folderList()->setCurrentIndex(window.folderModel()->index(1, 0));
    return savePicture(window, folder, name);
}

// The list of all files filtered by a pattern typed above it.
bool filterPage(const ScanSource& source, const QString& folder) {
    RecoveryWindow window(source);
    window.resize(1000, 640);
    window.show();
    if (!waitFor([&] { return !window.isScanRunning(); })) return false;
    window.filterFiles(QStringLiteral("*.doc"));
    const auto all = static_cast<int>(window.catalog().rowCount());
    if (!waitFor([&] { return window.foundModel()->rowCount() < all; })) return false;
    return savePicture(window, folder, "gallery_recovery_filter.png");
}

// A medium with its own catalog, one FILE block of which damage took: the file shows in grey after the rows.
bool lostFilesPage(const QString& image, const QString& folder) {
    mtfwriter::MediaDescription media = mtfwriter::SampleMedia();
    media.tape.mediaCatalog = true;
    const mtfwriter::Manifest manifest = mtfwriter::WriteImageFile(media, image.toStdString());
    {
        std::fstream medium(image.toStdString(), std::ios::in | std::ios::out | std::ios::binary);
        medium.seekp(static_cast<std::streamoff>(manifest.files[2].fileBlockOffset));
        medium.write(std::string(512, '\0').data(), 512);
    }
    ScanSource source;
    source.path = image.toStdString();
    RecoveryWindow window(source);
    window.resize(1000, 640);
    window.show();
    if (!waitFor([&] { return !window.isScanRunning(); })) return false;
    window.foundFiles()->scrollToBottom();
    return savePicture(window, folder, "gallery_recovery_lost.png");
}

// The preview of the first text file found.
bool previewPage(const ScanSource& source, const QString& folder) {
    RecoveryWindow window(source);
    bool saved = false;
    window.setPreviewShower([&](QDialog& dialog) {
        dialog.show();
        saved = savePicture(dialog, folder, "gallery_preview.png");
    });
    window.show();
    if (!waitFor([&] { return !window.isScanRunning(); })) return false;
    for (std::size_t row = 0; row < window.catalog().rowCount(); ++row) {
        if (window.catalog().row(row).path().str().ends_with(".txt")) {
            window.previewFile(row);
            break;
        }
    }
    return saved;
}

bool saveProgressPage(const ScanSource& source, const QString& folder) {
    SaveProgressDialog dialog;
    dialog.setSource(QString::fromStdString(source.path));
    dialog.setDestination(QStringLiteral("/home/user/Recovered"));
    dialog.setCurrentFile(QStringLiteral("Saving BACKUP SET 2(_Weekly projects)/PROJECTS/report.doc"));
    dialog.showProgress({.bytesDone = 20000, .bytesTotal = 40000, .filesStarted = 9, .filesTotal = 16});
    dialog.show();
    return savePicture(dialog, folder, "gallery_save_progress.png");
}

// The window after scanning a backup spread over two .bkf media, given in the wrong order: the status line
// notes that they were sorted.
bool twoMediaPage(const QString& folder, const QTemporaryDir& work) {
    const std::string first = work.filePath(QStringLiteral("B2D000001.bkf")).toStdString();
    const std::string second = work.filePath(QStringLiteral("B2D000002.bkf")).toStdString();
    {
        mtfwriter::ImageFileSink a(first), b(second);
        std::vector<mtfwriter::Sink*> sinks{&a, &b};
        mtfwriter::WriteSpannedMedia(mtfwriter::SampleMedia(), sinks, std::vector<std::uint64_t>{20000});
    }
    ScanSource source;
    source.path = second;
    source.laterSources = {first};
    std::string error;
    if (!putMediaInOrder(source, error)) {
        std::fprintf(stderr, "ostrum-gallery: %s\n", error.c_str());
        return false;
    }
    RecoveryWindow window(source);
    window.show();
    if (!waitFor([&] { return !window.isScanRunning(); })) return false;
    window.tree()->setCurrentIndex(window.treeModel()->index(0, 0, window.treeModel()->index(0, 0)));
    return savePicture(window, folder, "gallery_recovery_two_media.png");
}

}  // namespace

bool writeRecoveryGallery(const QString& folder) {
    QTemporaryDir work;
    const QString image = work.filePath(QStringLiteral("sample.img"));
    {
        mtfwriter::ImageFileSink sink(image.toStdString());
        mtfwriter::WriteMedia(mtfwriter::SampleMedia(), sink);
    }
    ScanSource source;
    source.path = image.toStdString();
    const bool scanning = scanningPage(source, folder);
    const bool browsing = browsingPage(source, folder, kRecoveryDefaultSize, "gallery_recovery.png") &&
                          browsingPage(source, folder, QSize(1100, 720), "gallery_recovery_grown.png");
    const bool finding = filterPage(source, folder) && previewPage(source, folder) &&
                         lostFilesPage(work.filePath(QStringLiteral("lost.img")), folder);
    const bool twoMedia = twoMediaPage(folder, work);
    source.path = "/home/user/tapes/sample.img";
    return scanning && browsing && finding && twoMedia && saveProgressPage(source, folder);
}

}  // namespace ostrum::gallery
