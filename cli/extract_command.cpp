// `extract [OPTIONS] SOURCE DEST`: scans an image file or a tape and saves the files found (or those
// chosen by path) into a folder, with a progress bar on a terminal and a report of every file not saved
// whole at the end.

#include <fnmatch.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "catalog/image_scanner.h"
#include "catalog/mime_file_info.h"
#include "catalog_output.h"
#include "commands.h"
#include "common/saturating.h"
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
    std::string source;
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
    if (operands.size() != 2) {
        PrintError("extract: give a source (an image file or //./tapeN) and a destination folder");
        return false;
    }
    options.source = operands[0];
    options.destination = operands[1];
    return true;
}

bool IsTape(const std::string& source) {
    return tape::ParseTapeDeviceName(source).has_value();
}

// What the scan could not read. It is said at the end, after the report, where it is not lost above
// thousands of lines.
struct UnreadParts {
    tape::TapeScanSummary tape;
    catalog::ImageScanSummary image;

    // Warns of what was left unread; false when the source was read whole.
    bool Warn() const {
        const bool tapeLeft = tape.readErrors > 0 || tape.gaveUp;
        WarnOfReadFailures(tape.readErrors, tape.lastReadError, tape.gaveUp,
                           "the tape was not read to the end, so files behind that point were not found");
        return WarnOfUnreadableImageParts(image) || tapeLeft;
    }
};

// Opens an image source; false (after printing why) when it cannot be, or is a virtual tape file.
bool OpenSourceImage(catalog::ImageFile& image, const std::string& source) {
    if (!catalog::OpenImageFile(image, source)) {
        PrintError("extract: " + image.error());
        return false;
    }
    if (std::string error = VirtualTapeGivenAsImage(image, source); !error.empty()) {
        PrintError("extract: " + error);
        return false;
    }
    return true;
}

// Scans the source into `found`; false (after printing why) when it cannot be read at all.
bool Scan(ExtractOptions& options, catalog::Catalog& found, UnreadParts& unread) {
    TerminalProgress progress;
    progress.SetLabel("Scanning");
    ScanProgressSink sink(progress);
    std::atomic<bool> active{true};
    if (IsTape(options.source)) {
        std::atomic<bool> stop{false};
        tape::ScanTape(options.devices, options.source, found, sink, active, stop, &unread.tape);
        if (!unread.tape.error.empty()) {
            PrintError("extract: " + unread.tape.error);
            return false;
        }
    } else {
        catalog::ImageFile image;
        if (!OpenSourceImage(image, options.source)) return false;
        catalog::ScanImageFile(image, found, sink, active, &unread.image);
    }
    found.FinishScan();
    return true;
}

void Select(catalog::Catalog& found, const std::vector<std::string>& patterns) {
    if (patterns.empty()) return;
    for (std::size_t i = 0; i < found.rowCount(); ++i) {
        const std::string path = found.row(i).path().str();
        found.SetChecked(i, std::any_of(patterns.begin(), patterns.end(),
                                        [&](const std::string& pattern) { return Matches(path, pattern); }));
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

// A scan of an image on a thread of its own, whose rows (those the patterns choose) are handed to the save
// as the scan publishes them, after every chunk: files are saved while the rest of the image is scanned.
class ScanWhileSaving final : public selection::SaveItemSource, catalog::CatalogSink {
  public:
    ScanWhileSaving(const catalog::ImageFile& image, catalog::Catalog& found,
                    const std::vector<std::string>& patterns, const std::atomic<bool>& cancel,
                    catalog::ImageScanSummary& summary)
        : found_(found), patterns_(patterns), cancel_(cancel) {
        scanner_ = std::thread([this, &image, &summary] {
            catalog::ScanImageFile(image, found_, *this, active_, &summary);
            Publish(true);
        });
    }
    // Stops the scan if it still runs and waits for it.
    ~ScanWhileSaving() { Join(); }
    ScanWhileSaving(const ScanWhileSaving&) = delete;
    ScanWhileSaving& operator=(const ScanWhileSaving&) = delete;

    void Join() {
        active_.store(false);
        if (scanner_.joinable()) scanner_.join();
    }
    // The scan's progress, while it runs; nothing once it has ended.
    std::optional<int> percent() const {
        if (ended_.load(std::memory_order_acquire)) return std::nullopt;
        return percent_.load(std::memory_order_relaxed);
    }

    std::optional<selection::SaveItem> Next() override {
        for (;;) {
            if (cancel_.load(std::memory_order_relaxed)) active_.store(false);
            std::size_t row = 0;
            {
                std::unique_lock lock(mutex_);
                waiting_ = true;
                changed_.wait(lock, [&] { return taken_ < published_ || finished_; });
                waiting_ = false;
                if (taken_ == published_) return std::nullopt;
                row = taken_++;
            }
            const catalog::FileRow file = found_.row(row);
            if (patterns_.empty()) return selection::SaveItemOf(file);
            const std::string path = file.path().str();
            if (std::any_of(patterns_.begin(), patterns_.end(),
                            [&](const std::string& pattern) { return Matches(path, pattern); })) {
                return selection::SaveItemOf(file);
            }
        }
    }

  private:
    // On the scanning thread, after every chunk.
    void Progress(int percent) override {
        percent_.store(percent, std::memory_order_relaxed);
        Publish(false);
    }
    void Publish(bool finished) {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            published_ = found_.rowCount();
            finished_ = finished;
            wake = waiting_;
        }
        if (finished) ended_.store(true, std::memory_order_release);
        if (wake) changed_.notify_one();
    }

    catalog::Catalog& found_;
    const std::vector<std::string>& patterns_;
    const std::atomic<bool>& cancel_;
    std::atomic<bool> active_{true};
    std::atomic<int> percent_{0};
    std::atomic<bool> ended_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t published_ = 0;  // rows the save may read
    std::size_t taken_ = 0;
    bool finished_ = false;
    bool waiting_ = false;
    std::thread scanner_;
};

// Draws the save's progress: the share of the selected bytes done (or, while a scan still finds the files,
// the share of the image scanned) and the current file's name. Names change at most ten times a second, so
// that thousands of small files do not flood the terminal.
class ExtractProgress final : public selection::SaveSink {
  public:
    ExtractProgress(TerminalProgress& bar, const ScanWhileSaving* scan) : bar_(bar), scan_(scan) {}
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
    const ScanWhileSaving* scan_;
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

bool MakeDestination(const std::string& destination) {
    std::error_code made;
    std::filesystem::create_directories(destination, made);
    if (!made) return true;
    PrintError("extract: cannot create the destination folder '" + destination + "': " + made.message());
    return false;
}

// Prints the report; the exit status.
int Conclude(const selection::SaveReport& report, const UnreadParts& unread) {
    if (!report.error.empty()) PrintError("extract: " + report.error);
    PrintReport(report);
    const bool readWhole = !unread.Warn();
    return report.AllSavedWhole() && readWhole ? kExitOk : kExitFailure;
}

// Extracting from an image: the files are saved while the scan goes on finding them.
int ExtractWhileScanning(ExtractOptions& options) {
    catalog::ImageFile image;
    if (!OpenSourceImage(image, options.source)) return kExitFailure;
    if (!MakeDestination(options.destination)) return kExitFailure;
    catalog::Catalog found(std::make_shared<catalog::MimeFileInfo>());
    UnreadParts unread;
    selection::SaveRequest request{false, options.source, options.destination, options.existing};
    std::atomic<bool> cancel{false};
    selection::SaveReport report;
    {
        InterruptWatch interrupts(cancel);
        TerminalProgress bar;
        bar.SetLabel("Saving");
        ScanWhileSaving scan(image, found, options.patterns, cancel, unread.image);
        ExtractProgress sink(bar, &scan);
        report = selection::SaveFiles(scan, request, sink, cancel);
        scan.Join();
    }
    return Conclude(report, unread);
}

}  // namespace

int RunExtract(Args args) {
    ExtractOptions options;
    if (!ParseOptions(args, options)) return kExitUsage;
    if (!options.dryRun && !IsTape(options.source)) return ExtractWhileScanning(options);
    catalog::Catalog found(std::make_shared<catalog::MimeFileInfo>());
    UnreadParts unread;
    if (!Scan(options, found, unread)) return kExitFailure;
    Select(found, options.patterns);
    const std::vector<selection::SaveItem> items = selection::CheckedItems(found);
    if (options.dryRun) {
        PrintDryRun(items, options.destination);
        return unread.Warn() ? kExitFailure : kExitOk;
    }
    if (!MakeDestination(options.destination)) return kExitFailure;
    selection::SaveRequest request{true, options.source, options.destination, options.existing,
                                   &options.devices};
    std::atomic<bool> cancel{false};
    selection::SaveReport report;
    {
        InterruptWatch interrupts(cancel);
        TerminalProgress bar;
        bar.SetLabel("Saving");
        ExtractProgress sink(bar, nullptr);
        report = selection::SaveFiles(items, request, sink, cancel);
    }
    return Conclude(report, unread);
}

}  // namespace ostrum::cli
