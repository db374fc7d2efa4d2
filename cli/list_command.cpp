// `list [--json] [--catalog] SOURCE...`: scans image files, several in order as one backup spread over
// them, and prints what was found, or the medium's own catalog.

#include <atomic>
#include <iostream>
#include <memory>

#include "catalog/image_scanner.h"
#include "catalog/mime_file_info.h"
#include "catalog_output.h"
#include "commands.h"
#include "media_catalog_output.h"
#include "media_scan.h"
#include "tape_commands.h"
#include "terminal_progress.h"

namespace ostrum::cli {

int RunList(Args args) {
    if (IsTapeListing(args)) return RunListTape(args);
    ListingForm form;
    std::vector<std::string> sources;
    for (const auto& arg : args) {
        if (arg == "--json") {
            form.json = true;
        } else if (arg == "--catalog") {
            form.mediaCatalog = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            PrintError("list: unknown option '" + arg + "'");
            return kExitUsage;
        } else {
            sources.push_back(arg);
        }
    }
    if (sources.empty()) {
        PrintError("list: no image file given");
        return kExitUsage;
    }

    catalog::Catalog found(std::make_shared<catalog::MimeFileInfo>());
    TerminalProgress progress;
    progress.SetLabel("Scanning");
    ScanProgressSink sink(progress);
    MediaScanSummary summary;
    const bool scanned = ScanImageMedia(sources, found, sink, summary, "list");
    progress.Finish();
    if (!scanned) return kExitFailure;

    const bool listed = PrintListing(std::cout, SourcesText(sources), found, sink.status(), form);
    bool unread = false;
    for (const auto& image : summary.images) unread |= WarnOfUnreadableImageParts(image);
    return unread || !listed ? kExitFailure : kExitOk;
}

}  // namespace ostrum::cli
