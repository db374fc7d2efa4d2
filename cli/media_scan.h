// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scanning several media in order as one backup (`list A.img B.img`, `extract A.img B.img DEST`, the same
// with tape drives), and what `list` says of the files spread over them.

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/image_scanner.h"
#include "tape/tape_devices.h"
#include "tape/tape_scanner.h"
#include "terminal_progress.h"

namespace ostrum::cli {

// What the scans of the media could not read.
struct MediaScanSummary {
    std::vector<catalog::ImageScanSummary> images;
    std::vector<tape::TapeScanSummary> tapes;
};

// Several image files named as the media of one backup are put in the order of the sequence numbers their
// labels give, saying so on standard error when that is not the order given ("COMMAND: media sorted by
// sequence number: A.img, B.img"); tapes keep the order given. Images that cannot be ordered (one cannot be
// opened, has no label, or is of another media family) keep the order given, and the scan says what is
// wrong with them, as it reads them.
void PutMediaInOrder(std::vector<std::string>& sources, const std::string& command);

// Scans the image files in order, one medium after another, into `found` (deeply with `deep`), until
// scanActive is found false; false (after printing why, prefixed by `command`) when one cannot be opened
// or is a virtual tape.
bool ScanImageMedia(const std::vector<std::string>& sources, catalog::Catalog& found, ScanProgressSink& sink,
                    const std::atomic<bool>& scanActive, bool deep, MediaScanSummary& summary,
                    const std::string& command);
// The same for tape drives, until stopRequested is set; false when one cannot be opened or prepared.
bool ScanTapeMedia(const tape::TapeDevices& devices, const std::vector<std::string>& sources,
                   catalog::Catalog& found, ScanProgressSink& sink, const std::atomic<bool>& stopRequested,
                   MediaScanSummary& summary, const std::string& command);

// The sources as one text for the listing's "Source".
std::string SourcesText(const std::vector<std::string>& sources);

// Says "COMMAND: no MTF data found in SOURCE (N bytes examined)" on standard error for each medium in which
// the scan found no MTF data; false when every one held some.
bool WarnOfMediaWithoutMtfData(const std::vector<std::string>& sources, const MediaScanSummary& summary,
                               const std::string& command);
// True when no medium held MTF data.
bool NoMediumHeldMtfData(const MediaScanSummary& summary);
// After a normal scan of images in which the deep scan may find files that left the 512-byte grid
// (catalog::DeepScanMayFindFiles): says so on standard error, with the command that runs it.
void HintAtTheDeepScan(const std::vector<std::string>& sources, const catalog::Catalog& catalog,
                       const MediaScanSummary& summary);

// After a normal scan of images that lost the block grid somewhere (catalog::ScanFindings::gridLosses):
// says where on standard error, and that the deep scan may find more files.
void HintAtLostGrid(const std::vector<std::string>& sources, const MediaScanSummary& summary);

// After a text listing: the media read, when there were several, and the files spread over them or cut
// short by a medium that was not read. Nothing for one medium without such files.
void PrintMediaSpanText(std::ostream& out, const catalog::Catalog& catalog);
// The "media" and "spread_files" members of `list --json` (with their leading comma), or nothing.
std::string MediaSpanJson(const catalog::Catalog& catalog);
// Says on standard error what the media's labels contradict (media given out of order, and the like).
void NoteMediaSpanProblems(const catalog::Catalog& catalog);

}  // namespace ostrum::cli
