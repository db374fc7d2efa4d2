// `list [--json] [--deep] SOURCE`: scans an image file (or, through tape_commands, a tape) and prints
// what was found.

#include <atomic>
#include <iostream>
#include <memory>

#include "catalog/image_scanner.h"
#include "catalog/mime_file_info.h"
#include "catalog_output.h"
#include "commands.h"
#include "interrupt_watch.h"
#include "tape_commands.h"
#include "terminal_progress.h"

namespace ostrum::cli {

int RunList(const ListOptions& options) {
    if (IsTapeName(options.source)) return RunListTape(options);
    catalog::ImageFile image;
    if (!catalog::OpenImageFile(image, options.source)) {
        PrintError(image.error());
        return kExitFailure;
    }
    if (std::string error = VirtualTapeGivenAsImage(image, options.source); !error.empty()) {
        PrintError("list: " + error);
        return kExitFailure;
    }
    catalog::Catalog found(std::make_shared<catalog::MimeFileInfo>());
    std::atomic<bool> scanActive{true};
    const InterruptWatch interrupts([&] { scanActive.store(false); });
    TerminalProgress progress;
    progress.SetLabel(options.deep ? "Scanning deeply" : "Scanning");
    ScanProgressSink sink(progress);
    catalog::ImageScanSummary summary;
    const int scanned =
        catalog::ScanImageFile(image, found, sink, scanActive, &summary, {.deep = options.deep});
    progress.Finish();
    if (scanned == 0) {
        PrintError("list: interrupted before the scan reached the end of the image; nothing is listed");
        return kExitInterrupted;
    }
    const bool written = PrintCatalog(options.json, options.source, found, sink.status());
    return WarnOfUnreadableImageParts(summary) || !written ? kExitFailure : kExitOk;
}

}  // namespace ostrum::cli
