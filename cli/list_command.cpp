// SPDX-License-Identifier: GPL-3.0-or-later
// `list [--json] [--deep] [--catalog] SOURCE...`: scans image files (or, through tape_commands, tapes),
// several in order as the media of one backup, and prints what was found or the medium's own catalog.

#include <atomic>
#include <iostream>
#include <memory>

#include "catalog/image_scanner.h"
#include "catalog_output.h"
#include "commands.h"
#include "interrupt_watch.h"
#include "media_catalog_output.h"
#include "media_scan.h"
#include "mimeinfo/mime_file_info.h"
#include "tape_commands.h"
#include "terminal_progress.h"

namespace ostrum::cli {

int RunList(const ListOptions& options) {
    if (IsTapeName(options.sources.front())) return RunListTape(options);
    catalog::Catalog found(std::make_shared<mimeinfo::MimeFileInfo>());
    std::atomic<bool> scanActive{true};
    const InterruptWatch interrupts([&] { scanActive.store(false); });
    TerminalProgress progress;
    progress.SetLabel(options.deep ? "Scanning deeply" : "Scanning");
    ScanProgressSink sink(progress);
    MediaScanSummary summary;
    const bool opened =
        ScanImageMedia(options.sources, found, sink, scanActive, options.deep, summary, "list");
    progress.Finish();
    if (!opened) return kExitFailure;
    if (interrupts.interrupted()) {
        PrintError("list: interrupted before the scan reached the end of the image; nothing is listed");
        return kExitInterrupted;
    }
    const bool listed = PrintListing(SourcesText(options.sources), found, sink.status(),
                                     {.json = options.json, .mediaCatalog = options.catalog});
    bool unread = false;
    for (const auto& image : summary.images) unread |= WarnOfUnreadableImageParts(image);
    const bool withoutMtf = WarnOfMediaWithoutMtfData(options.sources, summary, "list");
    if (!options.deep) {
        HintAtTheDeepScan(options.sources, found, summary);
        HintAtLostGrid(options.sources, summary);
    }
    return unread || withoutMtf || !listed ? kExitFailure : kExitOk;
}

}  // namespace ostrum::cli
