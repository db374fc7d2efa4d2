// `extract [OPTIONS] SOURCE DEST`: scans an image file or a tape and saves the files found (or those
// chosen by path) into a folder, with a progress bar on a terminal and a report of every file not saved
// whole at the end.

#include <fnmatch.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "catalog/image_scanner.h"
#include "catalog/mime_file_info.h"
#include "catalog_output.h"
#include "commands.h"
#include "common/saturating.h"
#include "media_scan.h"
#include "selection/save_files.h"
#include "selection/save_path.h"
#include "tape/tape_devices.h"
#include "tape/tape_scanner.h"
#include "tape_commands.h"
#include "terminal_progress.h"

namespace ostrum::cli {
namespace {

using selection::ExistingFiles;

struct ExtractOptions {
    std::vector<std::string> patterns;  // catalog paths below "TAPE MEDIA\", "\"-separated
    ExistingFiles existing = ExistingFiles::KeepBoth;
    bool dryRun = false;
    tape::TapeDevices devices;
    std::vector<std::string> sources;  // one medium, or several in order
    std::string destination;
};

// A path as the user may type it ("BACKUP SET 1(_Daily)/DOCS", with or without "TAPE MEDIA\") in the
// catalog's own form, below its root.
std::string CatalogForm(std::string text) {
    std::replace(text.begin(), text.end(), '/', '\\');
    const std::string_view root = catalog::kMediaRootPrefix;
    if (text.starts_with(root)) text.erase(0, root.size());
    return text;
}

// A pattern with a wildcard is matched against the whole path; any other selects that file or folder
// and everything below it.
bool Matches(std::string_view catalogPath, const std::string& pattern) {
    if (catalogPath.starts_with(catalog::kMediaRootPrefix))
        catalogPath.remove_prefix(catalog::kMediaRootPrefix.size());
    if (pattern.find_first_of("*?[") != std::string::npos) {
        return ::fnmatch(pattern.c_str(), std::string(catalogPath).c_str(), FNM_NOESCAPE) == 0;
    }
    if (pattern.empty() || pattern.back() == '\\') return catalogPath.starts_with(pattern);
    return catalogPath == pattern ||
           (catalogPath.starts_with(pattern) && catalogPath.size() > pattern.size() &&
            catalogPath[pattern.size()] == '\\');
}

std::optional<ExistingFiles> ParsePolicy(std::string_view text) {
    if (text == "keep-both") return ExistingFiles::KeepBoth;
    if (text == "skip") return ExistingFiles::Skip;
    if (text == "overwrite") return ExistingFiles::Overwrite;
    return std::nullopt;
}

bool IsTape(const std::string& source) {
    return tape::ParseTapeDeviceName(source).has_value();
}

// Reads the command line; prints the problem and returns false when it is wrong.
bool ParseOptions(Args args, ExtractOptions& options) {
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--include" || arg == "--existing" || arg == "--attach";
        if (takesValue && i + 1 == args.size()) {
            PrintError("extract: " + arg + " needs a value");
            return false;
        }
        if (arg == "--include") {
            options.patterns.push_back(CatalogForm(args[++i]));
        } else if (arg == "--existing") {
            auto policy = ParsePolicy(args[++i]);
            if (!policy) {
                PrintError("extract: --existing takes keep-both, skip or overwrite, not '" + args[i] + "'");
                return false;
            }
            options.existing = *policy;
        } else if (arg == "--attach") {
            if (std::string error = AttachVirtualTape(options.devices, args[++i]); !error.empty()) {
                PrintError("extract: " + error);
                return false;
            }
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            PrintError("extract: unknown option '" + arg + "'");
            return false;
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() < 2) {
        PrintError(
            "extract: give a source (an image file or //./tapeN, or several in order) and a destination "
            "folder");
        return false;
    }
    options.destination = operands.back();
    operands.pop_back();
    options.sources = std::move(operands);
    const bool tape = IsTape(options.sources.front());
    for (const std::string& source : options.sources) {
        if (IsTape(source) != tape) {
            PrintError("extract: the media of one backup are all image files or all tape drives");
            return false;
        }
    }
    if (tape && options.sources.size() > 1) {
        PrintError(
            "extract: files are saved from one tape at a time; copy each tape of the backup into an image "
            "file (image //./tapeN OUT.img) and extract from the images, given in order");
        return false;
    }
    return true;
}

// What the scan could not read. It is said at the end, after the report, where it is not lost above
// thousands of lines.
struct UnreadParts {
    MediaScanSummary media;

    // Warns of what was left unread; false when the source was read whole.
    bool Warn() const {
        bool left = false;
        for (const auto& tape : media.tapes) {
            WarnOfReadFailures(tape.readErrors, tape.lastReadError, tape.gaveUp,
                               "the tape was not read to the end, so files behind that point were not found");
            left |= tape.readErrors > 0 || tape.gaveUp;
        }
        for (const auto& image : media.images) left |= WarnOfUnreadableImageParts(image);
        return left;
    }
};

// Scans the sources into `found`; false (after printing why) when one cannot be read at all.
bool Scan(ExtractOptions& options, catalog::Catalog& found, UnreadParts& unread) {
    TerminalProgress progress;
    progress.SetLabel("Scanning");
    ScanProgressSink sink(progress);
    const bool scanned =
        IsTape(options.sources.front())
            ? ScanTapeMedia(options.devices, options.sources, found, sink, unread.media, "extract")
            : ScanImageMedia(options.sources, found, sink, unread.media, "extract");
    if (!scanned) return false;
    found.FinishScan();
    NoteMediaSpanProblems(found);
    return true;
}

void Select(catalog::Catalog& found, const std::vector<std::string>& patterns) {
    if (patterns.empty()) return;
    for (std::size_t i = 0; i < found.rowCount(); ++i) {
        auto& row = found.row(i);
        row.checked = std::any_of(patterns.begin(), patterns.end(),
                                  [&](const std::string& pattern) { return Matches(row.path, pattern); });
    }
}

void PrintDryRun(const std::vector<selection::SaveItem>& items, const std::string& destination) {
    std::uint64_t bytes = 0;
    for (const auto& item : items) {
        const std::string target =
            selection::JoinComponents(selection::DestinationComponents(item.catalogPath));
        if (item.dataOffset) {
            std::cout << target << "  " << item.size.value_or(0) << "\n";
            bytes = common::SaturatingAdd(bytes, item.size.value_or(0));
        } else {
            std::cout << target << "  (not found: no data stream)\n";
        }
    }
    std::cout << items.size() << " files, " << bytes << " bytes would be saved under " << destination << "\n";
}

// Draws the save's progress: the share of the selected bytes done and the current file's name. Names
// change at most ten times a second, so that thousands of small files do not flood the terminal.
class ExtractProgress final : public selection::SaveSink {
  public:
    explicit ExtractProgress(TerminalProgress& bar) : bar_(bar) {}
    void FileStarted(std::size_t, std::string_view destination) override {
        const auto now = std::chrono::steady_clock::now();
        if (now - shown_ < std::chrono::milliseconds(100)) return;
        shown_ = now;
        bar_.SetDetail(destination);
    }
    void Progress(std::uint64_t done, std::uint64_t total) override {
        bar_.SetPercent(common::PercentOf(done, total));
    }

  private:
    TerminalProgress& bar_;
    std::chrono::steady_clock::time_point shown_{};
};

void PrintReport(const selection::SaveReport& report) {
    for (const auto& file : report.files) {
        if (file.outcome == selection::SaveOutcome::Saved && file.decoded) continue;
        if (file.outcome == selection::SaveOutcome::NotAttempted) continue;  // said once, below
        std::cout << selection::OutcomeText(file.outcome) << ": " << file.catalogPath;
        if (!file.savedAs.empty()) std::cout << " -> " << file.savedAs;
        if (!file.reason.empty()) std::cout << ": " << file.reason;
        std::cout << "\n";
    }
    const auto& t = report.totals;
    if (t.notAttempted > 0) {
        std::cout << "not attempted: destination full (" << report.destinationFull << "): " << t.notAttempted
                  << " files\n";
    }
    std::cout << "saved " << t.saved << ", under another name " << t.renamed << ", skipped " << t.skipped
              << ", truncated " << t.truncated << ", failed " << t.failed << ", cancelled " << t.cancelled;
    if (t.notAttempted > 0) std::cout << ", not attempted " << t.notAttempted;
    std::cout << ", not decoded " << t.notDecoded << "; " << t.bytesWritten << " bytes written\n";
}

// Turns Ctrl-C and SIGTERM into a cancel request while a save runs, so that the partly written file is
// removed instead of left behind. The signals are taken by a thread of its own (no handler, no global).
class InterruptWatch {
  public:
    explicit InterruptWatch(std::atomic<bool>& cancel) {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
        watcher_ = std::jthread([this, &cancel](std::stop_token stop) {
            const timespec tick{0, 100'000'000};
            while (!stop.stop_requested()) {
                if (sigtimedwait(&signals_, nullptr, &tick) > 0) cancel.store(true);
            }
        });
    }
    ~InterruptWatch() {
        watcher_.request_stop();
        watcher_.join();
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

  private:
    sigset_t signals_{};
    sigset_t previous_{};
    std::jthread watcher_;
};

}  // namespace

int RunExtract(Args args) {
    ExtractOptions options;
    if (!ParseOptions(args, options)) return kExitUsage;
    catalog::Catalog found(std::make_shared<catalog::MimeFileInfo>());
    UnreadParts unread;
    if (!Scan(options, found, unread)) return kExitFailure;
    Select(found, options.patterns);
    const std::vector<selection::SaveItem> items = selection::CheckedItems(found);
    if (options.dryRun) {
        PrintDryRun(items, options.destination);
        return unread.Warn() ? kExitFailure : kExitOk;
    }

    std::error_code made;
    std::filesystem::create_directories(options.destination, made);
    if (made) {
        PrintError("extract: cannot create the destination folder '" + options.destination +
                   "': " + made.message());
        return kExitFailure;
    }
    selection::SaveRequest request{IsTape(options.sources.front()), options.sources.front(),
                                   options.destination, options.existing, &options.devices};
    request.laterSources.assign(options.sources.begin() + 1, options.sources.end());
    std::atomic<bool> cancel{false};
    selection::SaveReport report;
    {
        InterruptWatch interrupts(cancel);
        TerminalProgress bar;
        bar.SetLabel("Saving");
        ExtractProgress sink(bar);
        report = selection::SaveFiles(items, request, sink, cancel);
    }
    if (!report.error.empty()) PrintError("extract: " + report.error);
    PrintReport(report);
    const bool readWhole = !unread.Warn();
    return report.AllSavedWhole() && readWhole ? kExitOk : kExitFailure;
}

}  // namespace ostrum::cli
