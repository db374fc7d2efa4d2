// `list [--json] [--catalog] SOURCE`: scans an image file and prints what was found, or the medium's own
// catalog.

#include <atomic>
#include <iostream>
#include <memory>

#include "catalog/image_scanner.h"
#include "catalog/mime_file_info.h"
#include "catalog_output.h"
#include "commands.h"
#include "media_catalog_output.h"
#include "tape_commands.h"
#include "terminal_progress.h"

namespace ostrum::cli {

int RunList(Args args) {
    if (IsTapeListing(args)) return RunListTape(args);
    ListingForm form;
    std::string source;
    for (const auto& arg : args) {
        if (arg == "--json") {
            form.json = true;
        } else if (arg == "--catalog") {
            form.mediaCatalog = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            PrintError("list: unknown option '" + arg + "'");
            return kExitUsage;
        } else if (source.empty()) {
            source = arg;
        } else {
            PrintError("list: only one source may be given");
            return kExitUsage;
        }
    }
    if (source.empty()) {
        PrintError("list: no image file given");
        return kExitUsage;
    }

    catalog::ImageFile image;
    if (!catalog::OpenImageFile(image, source)) {
        PrintError(image.error());
        return kExitFailure;
    }
    if (std::string error = VirtualTapeGivenAsImage(image, source); !error.empty()) {
        PrintError("list: " + error);
        return kExitFailure;
    }
    catalog::Catalog found(std::make_shared<catalog::MimeFileInfo>());
    TerminalProgress progress;
    progress.SetLabel("Scanning");
    ScanProgressSink sink(progress);
    std::atomic<bool> scanActive{true};
    catalog::ImageScanSummary summary;
    catalog::ScanImageFile(image, found, sink, scanActive, &summary);
    progress.Finish();

    const bool listed = PrintListing(std::cout, source, found, sink.status(), form);
    return WarnOfUnreadableImageParts(summary) || !listed ? kExitFailure : kExitOk;
}

}  // namespace ostrum::cli
