// SPDX-License-Identifier: GPL-3.0-or-later
// `extract [OPTIONS] SOURCE DEST`: scans an image file or a tape and saves the files found (or those
// chosen by path) into a folder, with the folders of the selection and their dates, a progress bar on a
// terminal and a report of every file not saved whole at the end. A dry run says what a save would do.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "catalog_output.h"
#include "commands.h"
#include "common/saturating.h"
#include "include_patterns.h"
#include "interrupt_watch.h"
#include "media_scan.h"
#include "mimeinfo/mime_file_info.h"
#include "save/save_files.h"
#include "save/save_folders.h"
#include "save/save_path.h"
#include "save/save_plan.h"
#include "save/scan_while_saving.h"
#include "tape/tape_devices.h"
#include "tape/tape_scanner.h"
#include "tape_commands.h"
#include "terminal_progress.h"

namespace ostrum::cli {
namespace {

using save::PlannedOutcome;

// What the scan could not read, and the sources in which it found no MTF data. They are said at the end,
// after the report, where they are not lost above thousands of lines.
struct UnreadParts {
    const std::vector<std::string>& sources;
    MediaScanSummary media;

    // Warns of what was left unread and of sources without MTF data; false when there was neither.
    bool Warn() const {
        bool left = false;
        for (const auto& tape : media.tapes) {
            WarnOfReadFailures(tape.readErrors, tape.lastReadError, tape.gaveUp,
                               "the tape was not read to the end, so files behind that point were not found");
            left |= tape.readErrors > 0 || tape.gaveUp;
        }
        for (const auto& image : media.images) left |= WarnOfUnreadableImageParts(image);
        return WarnOfMediaWithoutMtfData(sources, media, "extract") || left;
    }
};

// The flags an interruption sets: the scan's and the save's.
struct StopFlags {
    std::atomic<bool> scanActive{true};
    std::atomic<bool> stopTape{false};
    std::atomic<bool> cancelSave{false};

    void Stop() {
        scanActive.store(false);
        stopTape.store(true);
        cancelSave.store(true);
    }
};

// Opens an image source; false (after printing why) when it cannot be, or is a virtual tape file.
bool OpenSourceImage(common::ImageFile& image, const std::string& source) {
    if (!common::OpenImageFile(image, source)) {
        PrintError("extract: " + image.error());
        return false;
    }
    if (std::string error = VirtualTapeGivenAsImage(image, source); !error.empty()) {
        PrintError("extract: " + error);
        return false;
    }
    return true;
}

// Scans the sources into `found`; false (after printing why) when one cannot be read at all.
bool Scan(const ExtractOptions& options, const tape::TapeDevices& devices, catalog::Catalog& found,
          UnreadParts& unread, StopFlags& stop) {
    TerminalProgress progress;
    progress.SetLabel(options.deep ? "Scanning deeply" : "Scanning");
    ScanProgressSink sink(progress);
    const bool opened =
        IsTapeName(options.sources.front())
            ? ScanTapeMedia(devices, options.sources, found, sink, stop.stopTape, unread.media, "extract")
            : ScanImageMedia(options.sources, found, sink, stop.scanActive, options.deep, unread.media,
                             "extract");
    if (!opened) return false;
    found.FinishScan();
    NoteMediaSpanProblems(found);
    return true;
}

// The folder of the destination a catalog folder ("TAPE MEDIA\A\B\") stands for, "A/B/".
std::string FolderText(std::string_view catalogPath) {
    if (catalogPath.ends_with('\\')) catalogPath.remove_suffix(1);
    return save::JoinComponents(save::DestinationComponents(catalogPath)) + "/";
}

// The selected folders that no file saved (or to be saved) lies in.
std::vector<std::string> EmptyFolders(const std::vector<save::FolderItem>& folders) {
    std::vector<std::string> empty;
    for (const auto& folder : folders) {
        if (folder.selected && !folder.holdsFiles) empty.push_back(FolderText(folder.catalogPath));
    }
    return empty;
}

// What the dry run says of one file after its destination name.
std::string DryRunDetail(const save::PlannedFile& planned) {
    const std::string size = planned.size ? std::to_string(*planned.size) : std::string("?");
    const std::string note = planned.note.empty() ? std::string() : "  (" + planned.note + ")";
    switch (planned.outcome) {
        case PlannedOutcome::Save:
        case PlannedOutcome::Replace:
            return "  " + size + note;
        case PlannedOutcome::SaveRenamed:
            return "  " + size + "  (under another name: " + planned.note + ")";
        case PlannedOutcome::Skip:
            return "  (skipped: " + planned.note + ")";
        case PlannedOutcome::Truncate:
            return "  (cut short: " + planned.note + ")";
        case PlannedOutcome::Fail:
            break;
    }
    return "  (not saved: " + planned.note + ")";
}

void PrintDryRun(const std::vector<save::PlannedFile>& plan, const std::vector<std::string>& emptyFolders,
                 const ExtractOptions& options) {
    std::uint64_t bytes = 0;
    std::size_t files = 0, renamed = 0, replacing = 0, skipped = 0, cutShort = 0, failed = 0;
    for (const auto& planned : plan) {
        std::cout << planned.destination << DryRunDetail(planned) << "\n";
        switch (planned.outcome) {
            case PlannedOutcome::SaveRenamed:
                ++renamed;
                [[fallthrough]];
            case PlannedOutcome::Save:
                ++files;
                bytes = common::SaturatingAdd(bytes, planned.size.value_or(0));
                break;
            case PlannedOutcome::Replace:
                ++files;
                ++replacing;
                bytes = common::SaturatingAdd(bytes, planned.size.value_or(0));
                break;
            case PlannedOutcome::Skip:
                ++skipped;
                break;
            case PlannedOutcome::Truncate:
                ++cutShort;
                break;
            case PlannedOutcome::Fail:
                ++failed;
                break;
        }
    }
    for (const auto& folder : emptyFolders) std::cout << folder << "  (folder without files)\n";
    std::cout << files << " files, " << bytes << " bytes would be saved under " << options.destination;
    std::string more;
    auto add = [&more](std::size_t count, const std::string& what) {
        if (count > 0) more += (more.empty() ? "" : ", ") + std::to_string(count) + " " + what;
    };
    add(renamed, "of them under another name");
    add(replacing, "of them over existing files");
    add(skipped, "skipped");
    add(cutShort, "cut short");
    add(failed, "not saved");
    add(emptyFolders.size(), "empty folders made");
    if (!more.empty()) std::cout << "; " << more;
    std::cout << "\n";
    if (IsTapeName(options.sources.front())) {
        std::cout << "(sizes as the tape records them; a compressed stream decodes to more, known only once "
                     "the tape is read again)\n";
    }
}

// The outcomes of the dry run's files as a save's report, for the folders they would fill.
save::SaveReport AsReport(const std::vector<save::SaveItem>& items,
                          const std::vector<save::PlannedFile>& plan) {
    save::SaveReport report;
    for (std::size_t i = 0; i < items.size(); ++i) {
        save::FileResult file;
        file.catalogPath = items[i].catalogPath;
        const bool kept = plan[i].outcome != PlannedOutcome::Skip && plan[i].outcome != PlannedOutcome::Fail;
        if (kept) file.savedAs = plan[i].destination;
        report.files.push_back(std::move(file));
    }
    return report;
}

int DryRun(const catalog::Catalog& found, const std::vector<save::SaveItem>& items,
           const ExtractOptions& options) {
    std::vector<save::PlannedFile> plan;
    // Several media are not read again: the sizes are those the scan recorded.
    if (IsTapeName(options.sources.front()) || options.sources.size() > 1) {
        plan = save::PlanSave(items, options.destination, options.existing, nullptr);
    } else {
        common::ImageFile image;
        if (!common::OpenImageFile(image, options.sources.front())) {
            PrintError("extract: " + image.error());
            return kExitFailure;
        }
        plan = save::PlanSave(items, options.destination, options.existing, &image);
    }
    PrintDryRun(plan, EmptyFolders(save::FoldersOfSave(found, AsReport(items, plan))), options);
    return kExitOk;
}

// Draws the save's progress: the share of the selected bytes done (or, while a scan still finds the files,
// the share of the image scanned) and the current file's name. Names change at most ten times a second, so
// that thousands of small files do not flood the terminal.
class ExtractProgress final : public save::SaveSink {
  public:
    ExtractProgress(TerminalProgress& bar, const save::ScanWhileSaving* scan) : bar_(bar), scan_(scan) {}
    void FileStarted(std::size_t, std::string_view destination) override {
        const auto now = std::chrono::steady_clock::now();
        if (now - shown_ < std::chrono::milliseconds(100)) return;
        shown_ = now;
        bar_.SetDetail(destination);
    }
    void Progress(std::uint64_t done, std::uint64_t total) override {
        const std::optional<int> scanned = scan_ != nullptr ? scan_->percent() : std::nullopt;
        bar_.SetPercent(scanned ? *scanned : common::PercentOf(done, total));
    }

  private:
    TerminalProgress& bar_;
    const save::ScanWhileSaving* scan_;
    std::chrono::steady_clock::time_point shown_{};
};

void PrintReport(const save::SaveReport& report, const save::FolderReport& folders) {
    for (const auto& file : report.files) {
        const bool mismatch = file.checksum == save::ChecksumCheck::Mismatch;
        if (file.outcome == save::SaveOutcome::Saved && file.decoded && !mismatch) continue;
        // Files not reached are said once, below.
        if (file.outcome == save::SaveOutcome::NotAttempted) continue;
        if (file.outcome == save::SaveOutcome::Cancelled && file.bytesWritten == 0) continue;
        std::cout << (mismatch ? "checksum mismatch" : save::OutcomeText(file.outcome)) << ": "
                  << file.catalogPath;
        if (!file.savedAs.empty()) std::cout << " -> " << file.savedAs;
        if (!file.reason.empty()) std::cout << ": " << file.reason;
        std::cout << "\n";
    }
    for (const auto& error : folders.notMade) std::cout << "folder not made: " << error << "\n";
    for (const auto& error : folders.notDated) std::cout << "folder date not set: " << error << "\n";
    const auto& t = report.totals;
    if (t.notAttempted > 0) {
        std::cout << "not attempted: destination full (" << report.destinationFull << "): " << t.notAttempted
                  << " files\n";
    }
    if (report.cancelled)
        std::cout << "cancelled: the save was interrupted; files not finished were removed\n";
    if (folders.made > 0) std::cout << "empty folders made: " << folders.made << "\n";
    std::cout << "saved " << t.saved << ", under another name " << t.renamed << ", skipped " << t.skipped
              << ", truncated " << t.truncated << ", failed " << t.failed << ", cancelled " << t.cancelled;
    if (t.notAttempted > 0) std::cout << ", not attempted " << t.notAttempted;
    std::cout << ", not decoded " << t.notDecoded << ", verified " << t.verified;
    if (t.checksumMismatches > 0) std::cout << ", checksum mismatch " << t.checksumMismatches;
    std::cout << "; " << t.bytesWritten << " bytes written\n";
}

// Says which --include patterns chose nothing; false when there were none.
bool WarnOfUnusedPatterns(const std::vector<std::string>& unused) {
    for (const auto& pattern : unused)
        PrintError("extract: --include '" + pattern + "' chose nothing the scan found");
    return !unused.empty();
}

bool MakeDestination(const std::string& destination) {
    std::error_code made;
    std::filesystem::create_directories(destination, made);
    if (!made) return true;
    PrintError("extract: cannot create the destination folder '" + destination + "': " + made.message());
    return false;
}

// The folders of the selection, the report, and the exit status of a save.
int Conclude(const ExtractOptions& options, catalog::Catalog& found, const save::SaveReport& report,
             const std::vector<std::string>& unused, const UnreadParts& unread, bool interrupted) {
    const save::FolderReport folders = save::FinishFoldersOfSave(found, report, options.destination);
    if (!report.error.empty()) PrintError("extract: " + report.error);
    PrintReport(report, folders);
    const bool readWhole = !unread.Warn();
    const bool chose = !WarnOfUnusedPatterns(unused);
    if (interrupted) return kExitInterrupted;
    return report.AllSavedWhole() && folders.notMade.empty() && readWhole && chose ? kExitOk : kExitFailure;
}

// Extracting from an image: each file is saved as soon as the scan has found it, while the scan goes on.
// The destination is made once the first file is chosen, so that a selection that chooses nothing, or a
// scan interrupted before it found one, leaves none behind.
int ExtractWhileScanning(const ExtractOptions& options, StopFlags& stop, const InterruptWatch& interrupts) {
    const std::string& source = options.sources.front();
    common::ImageFile image;
    if (!OpenSourceImage(image, source)) return kExitFailure;
    catalog::Catalog found(std::make_shared<mimeinfo::MimeFileInfo>());
    found.mediaSpan().BeginMedium(0, source, 0);
    UnreadParts unread{options.sources, {}};
    unread.media.images.resize(1);
    const IncludePatterns patterns(options.patterns);
    save::SaveReport report;
    {
        TerminalProgress bar;
        bar.SetLabel(options.deep ? "Scanning deeply and saving" : "Saving");
        const auto chooses = [&patterns](std::string_view path) { return patterns.Chooses(path); };
        save::ScanWhileSaving scan(image, options.deep, found, chooses, stop.scanActive,
                                   unread.media.images[0]);
        const bool chosen = scan.WaitForFirst();
        if (!chosen && interrupts.interrupted()) {
            scan.Join();
            bar.Finish();
            PrintError(
                "extract: interrupted before the scan reached the end of the source; nothing was saved");
            return kExitInterrupted;
        }
        if (!chosen) scan.Join();
        // Nothing chosen from a source without MTF data, or by the patterns: no destination to make.
        const bool noMtfData = !chosen && NoMediumHeldMtfData(unread.media);
        if (noMtfData || (!chosen && !options.patterns.empty())) {
            bar.Finish();
            if (!noMtfData) WarnOfUnusedPatterns(patterns.Select(found));
            unread.Warn();
            return kExitFailure;
        }
        if (!MakeDestination(options.destination)) return kExitFailure;
        save::SaveRequest request{false, source, options.destination, options.existing};
        ExtractProgress sink(bar, &scan);
        report = save::SaveFiles(scan, request, sink, stop.cancelSave);
        scan.Join();
        if (!scan.whole() && interrupts.interrupted()) {
            bar.Finish();
            PrintError("extract: interrupted before the scan reached the end of the source");
        }
    }
    found.FinishScan();
    NoteMediaSpanProblems(found);
    const std::vector<std::string> unused = patterns.Select(found);
    return Conclude(options, found, report, unused, unread, interrupts.interrupted());
}

}  // namespace

int RunExtract(const ExtractOptions& options) {
    tape::TapeDevices devices;
    if (auto status = AttachTapes("extract", options.attachments, devices)) return *status;
    StopFlags stop;
    const InterruptWatch interrupts([&stop] { stop.Stop(); });
    // One image is saved from while it is scanned; several media are scanned whole first, since a file
    // may go on on the next.
    if (!options.dryRun && options.sources.size() == 1 && !IsTapeName(options.sources.front()))
        return ExtractWhileScanning(options, stop, interrupts);
    catalog::Catalog found(std::make_shared<mimeinfo::MimeFileInfo>());
    UnreadParts unread{options.sources, {}};
    if (!Scan(options, devices, found, unread, stop)) return kExitFailure;
    if (interrupts.interrupted()) {
        PrintError("extract: interrupted before the scan reached the end of the source; nothing was saved");
        return kExitInterrupted;
    }
    if (NoMediumHeldMtfData(unread.media)) {
        unread.Warn();  // nothing to save: no destination to make
        return kExitFailure;
    }
    const std::vector<std::string> unused = IncludePatterns(options.patterns).Select(found);
    if (!options.patterns.empty() && unused.size() == options.patterns.size()) {
        WarnOfUnusedPatterns(unused);  // nothing chosen: nothing to save, and no destination to make
        unread.Warn();
        return kExitFailure;
    }
    const std::vector<save::SaveItem> items = save::CheckedItems(found);
    if (options.dryRun) {
        if (const int status = DryRun(found, items, options); status != kExitOk) return status;
        const bool readWhole = !unread.Warn();
        return readWhole && !WarnOfUnusedPatterns(unused) ? kExitOk : kExitFailure;
    }

    if (!MakeDestination(options.destination)) return kExitFailure;
    save::SaveRequest request{IsTapeName(options.sources.front()), options.sources.front(),
                              options.destination, options.existing, &devices};
    request.laterSources.assign(options.sources.begin() + 1, options.sources.end());
    save::SaveReport report;
    {
        TerminalProgress bar;
        bar.SetLabel("Saving");
        ExtractProgress sink(bar, nullptr);
        report = save::SaveFiles(items, request, sink, stop.cancelSave);
    }
    return Conclude(options, found, report, unused, unread, interrupts.interrupted());
}

}  // namespace ostrum::cli
