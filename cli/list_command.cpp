// `list [--json] SOURCE`: scans an image file and prints what was found.

#include <atomic>
#include <memory>

#include "catalog/image_scanner.h"
#include "catalog/mime_file_info.h"
#include "catalog_output.h"
#include "commands.h"
#include "tape_commands.h"
#include "terminal_progress.h"

namespace ostrum::cli {

int RunList(Args args) {
    if (IsTapeListing(args)) return RunListTape(args);
    bool json = false;
    std::string source;
    for (const auto& arg : args) {
        if (arg == "--json") {
            json = true;
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

    OutputBuffer out(stdout);
    if (json) {
        PrintCatalogJson(out, source, found, sink.status());
        NoteSetsWithoutFiles(found);
    } else {
        PrintCatalogText(out, source, found, sink.status());
    }
    const bool written = FinishListing(out);
    return WarnOfUnreadableImageParts(summary) || !written ? kExitFailure : kExitOk;
}

}  // namespace ostrum::cli
