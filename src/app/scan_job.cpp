// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/scan_job.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>

#include "catalog/image_scanner.h"
#include "catalog/media_span.h"
#include "catalog/scan_context.h"
#include "catalog/scan_findings.h"
#include "tape/tape_scanner.h"

namespace ostrum::app {
namespace {

// The worker publishes at most this often; the window looks a few times a second.
constexpr auto kPublishInterval = std::chrono::milliseconds(20);

// Passes on what the scanner says of each of several media read as one, with progress measured over them
// all. The status line names the medium being scanned ("medium 2 of 3: B2D000002.bkf"), which the scanner's
// own words beside it would push out of the line; those come back once the last medium is read.
class MediumNamingSink final : public catalog::CatalogSink {
  public:
    MediumNamingSink(catalog::CatalogSink& sink, std::size_t count) : sink_(sink), count_(count) {}

    void beginMedium(std::size_t index, const std::string& path) {
        index_ = index;
        // A drive is named as it is; an image by its file name, without its folder.
        const std::string name =
            path.starts_with("//./") ? path : std::filesystem::path(path).filename().string();
        name_ = "medium " + std::to_string(index + 1) + " of " + std::to_string(count_) + ": " + name;
        sink_.StatusLine(name_);
        Progress(0);
    }
    // After the last medium: the scanner's own last words, which hold for them all.
    void finish() {
        if (!last_.empty()) sink_.StatusLine(last_);
    }

    void StatusLine(std::string_view text) override { last_.assign(text); }
    void PositionLine(std::string_view text) override { sink_.PositionLine(text); }
    void Progress(int percent) override {
        const auto done = static_cast<int>(index_) * 100 + std::clamp(percent, 0, 100);
        sink_.Progress(done / static_cast<int>(count_));
    }
    void NodeInserted(const catalog::Catalog& catalog, catalog::NodeId node) override {
        sink_.NodeInserted(catalog, node);
    }
    void RowAppended(const catalog::Catalog& catalog, std::size_t row) override {
        sink_.RowAppended(catalog, row);
    }
    void SizeFixed(const catalog::Catalog& catalog, std::size_t row) override {
        sink_.SizeFixed(catalog, row);
    }

  private:
    catalog::CatalogSink& sink_;
    std::size_t count_;
    std::size_t index_ = 0;
    std::string name_;
    std::string last_;
};

// Counts where the normal scan of an image lost the block grid.
void addGridLosses(ScanEnd& end, const std::string& path, const catalog::ScanFindings& found) {
    if (found.gridLosses == 0) return;
    if (end.gridLosses == 0) {
        end.firstGridLoss = found.firstGridLoss.value_or(0);
        end.gridLossMedium = path;
    }
    end.gridLosses += found.gridLosses;
}

void addNoMtfData(ScanEnd& end, const std::string& path, const catalog::ScanFindings& found) {
    if (catalog::FoundMtfData(found)) return;
    end.noMtfData += (end.noMtfData.empty() ? "" : "\n") + catalog::NoMtfDataText(path, found.bytesExamined);
}

// Images read one after another as one backup, in one scan context. Every image is opened first: one that
// cannot be opened ends the scan before anything is read.
ScanEnd scanImagesInOrder(const std::vector<std::string>& paths, bool deep, catalog::Catalog& catalog,
                          catalog::CatalogSink& sink, const std::atomic<bool>& scanActive) {
    std::vector<common::ImageFile> images(paths.size());
    ScanEnd end{.mediumSize = 0};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!common::OpenImageFile(images[i], paths[i])) return {.error = images[i].error()};
        *end.mediumSize += images[i].Size().value_or(0);
    }
    MediumNamingSink named(sink, paths.size());
    catalog::ScanContext context(catalog, named);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        named.beginMedium(i, paths[i]);
        catalog::BeginMedium(context, i, paths[i]);
        catalog::ImageScanSummary summary;
        const catalog::ImageScanOptions options{.deep = deep, .continuing = &context};
        const bool whole =
            catalog::ScanImageFile(images[i], catalog, named, scanActive, &summary, options) != 0;
        end.bytesRead += summary.found.bytesExamined;
        if (!whole) return end;
        addNoMtfData(end, paths[i], summary.found);
        addGridLosses(end, paths[i], summary.found);
    }
    named.finish();
    return end;
}

// Tape drives read one after another as one backup, as `list` reads them.
ScanEnd scanTapesInOrder(const tape::TapeDevices& devices, const std::vector<std::string>& drives,
                         catalog::Catalog& catalog, catalog::CatalogSink& sink, std::atomic<bool>& scanActive,
                         std::atomic<bool>& stopRequested) {
    MediumNamingSink named(sink, drives.size());
    catalog::ScanContext context(catalog, named);
    ScanEnd end{.mediumSize = 0};
    for (std::size_t i = 0; i < drives.size() && !stopRequested.load(); ++i) {
        named.beginMedium(i, drives[i]);
        catalog::BeginMedium(context, i, drives[i]);
        tape::TapeScanSummary summary;
        tape::ScanTape(devices, drives[i], catalog, named, scanActive, stopRequested, &summary, &context);
        end.bytesRead += summary.bytes;
        *end.mediumSize += static_cast<std::uint64_t>(std::max<std::int64_t>(summary.capacity, 0));
        if (!summary.error.empty()) {
            end.error = summary.error;
            return end;
        }
        if (summary.stopped) return end;
        addNoMtfData(end, drives[i], summary.found);
    }
    named.finish();
    return end;
}

// The scan of a source of several media.
ScanFunction mediaScanOf(const ScanSource& source) {
    std::vector<std::string> media{source.path};
    media.insert(media.end(), source.laterSources.begin(), source.laterSources.end());
    if (source.isTape) {
        return [media, devices = source.tapeDevices](catalog::Catalog& catalog, catalog::CatalogSink& sink,
                                                     std::atomic<bool>& scanActive,
                                                     std::atomic<bool>& stopRequested) -> ScanEnd {
            if (!devices) return {.error = "no tape drives to open '" + media.front() + "'"};
            return scanTapesInOrder(*devices, media, catalog, sink, scanActive, stopRequested);
        };
    }
    return [media, deep = source.deep](catalog::Catalog& catalog, catalog::CatalogSink& sink,
                                       std::atomic<bool>& scanActive, std::atomic<bool>&) {
        return scanImagesInOrder(media, deep, catalog, sink, scanActive);
    };
}

}  // namespace

// Collects what the scanner reports, on the worker, and publishes it now and then.
class ScanJob::Feed final : public catalog::CatalogSink {
  public:
    explicit Feed(ScanJob& job) : job_(job) {}

    void StatusLine(std::string_view text) override {
        local_.status.assign(text);
        filesFound_.reset();
        maybePublish();
    }
    // Once per file: the text is formed when published, and the position and progress that follow every
    // read publish it.
    void FilesFound(std::uint64_t count) override { filesFound_ = count; }
    void PositionLine(std::string_view text) override {
        local_.position.assign(text);
        maybePublish();
    }
    void Progress(int percent) override {
        local_.progress = percent;
        maybePublish();
    }
    void NodeInserted(const catalog::Catalog& /*catalog*/, catalog::NodeId /*node*/) override {
        ++local_.nodes;
    }
    void RowAppended(const catalog::Catalog& /*catalog*/, std::size_t /*row*/) override { ++local_.rows; }
    void SizeFixed(const catalog::Catalog& /*catalog*/, std::size_t /*row*/) override { ++local_.sizesFixed; }

    void finish(ScanEnd end) {
        local_.finished = true;
        local_.end = std::move(end);
        publish();
    }

  private:
    void maybePublish() {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastPublished_ < kPublishInterval) return;
        lastPublished_ = now;
        publish();
    }
    void publish() {
        if (filesFound_) local_.status.assign(catalog::FilesFoundText(*filesFound_).view());
        job_.published_.Set(local_);
    }

    ScanJob& job_;
    ScanSnapshot local_;
    std::optional<std::uint64_t> filesFound_;  // the last status was the count of files found
    std::chrono::steady_clock::time_point lastPublished_{};
};

ScanFunction scanOf(const ScanSource& source) {
    if (!source.laterSources.empty()) return mediaScanOf(source);
    if (source.isTape) {
        return [path = source.path, devices = source.tapeDevices](
                   catalog::Catalog& catalog, catalog::CatalogSink& sink, std::atomic<bool>& scanActive,
                   std::atomic<bool>& stopRequested) -> ScanEnd {
            if (!devices) return {.error = "no tape drives to open '" + path + "'"};
            tape::TapeScanSummary summary;
            tape::ScanTape(*devices, path, catalog, sink, scanActive, stopRequested, &summary);
            ScanEnd end{.error = summary.error, .bytesRead = summary.bytes};
            if (summary.capacity > 0) end.mediumSize = static_cast<std::uint64_t>(summary.capacity);
            if (summary.error.empty() && !summary.stopped && !catalog::FoundMtfData(summary.found))
                end.noMtfData = catalog::NoMtfDataText(path, summary.found.bytesExamined);
            return end;
        };
    }
    return [path = source.path, deep = source.deep](catalog::Catalog& catalog, catalog::CatalogSink& sink,
                                                    std::atomic<bool>& scanActive,
                                                    std::atomic<bool>&) -> ScanEnd {
        common::ImageFile image;
        if (!common::OpenImageFile(image, path)) return {.error = image.error()};
        catalog::ImageScanSummary summary;
        const bool whole =
            catalog::ScanImageFile(image, catalog, sink, scanActive, &summary, {.deep = deep}) != 0;
        ScanEnd end{.bytesRead = summary.found.bytesExamined, .mediumSize = image.Size()};
        if (whole && !catalog::FoundMtfData(summary.found))
            end.noMtfData = catalog::NoMtfDataText(path, summary.found.bytesExamined);
        if (whole) addGridLosses(end, path, summary.found);
        return end;
    };
}

ScanJob::ScanJob(ScanFunction scan, catalog::Catalog& catalog, std::function<void()> onFinished)
    : scan_(std::move(scan)), catalog_(catalog), onFinished_(std::move(onFinished)) {}

ScanJob::~ScanJob() {
    stopAndJoin();
}

void ScanJob::start() {
    if (worker_.started()) return;
    // Set before the worker exists (which clears stopRequested), so that a Stop confirmed at once is never
    // lost.
    scanActive_.store(true);
    worker_.Start([this] { run(); });
}

void ScanJob::requestStop() {
    worker_.RequestStop();
}

void ScanJob::stopAndJoin() {
    worker_.StopAndJoin();
}

void ScanJob::join() {
    worker_.Join();
}

void ScanJob::run() {
    Feed feed(*this);
    ScanEnd end;
    try {
        end = scan_(catalog_, feed, scanActive_, worker_.stopFlag());
    } catch (const std::exception& failure) {
        // Out of memory on a huge medium, say: keep what was found and say why the scan ended.
        end.error = std::string("the scan ended early: ") + failure.what();
    }
    feed.finish(std::move(end));
    if (onFinished_) onFinished_();
}

ScanFunction HeldScan::function() {
    return [this](catalog::Catalog& catalog, catalog::CatalogSink& sink, std::atomic<bool>& scanActive,
                  std::atomic<bool>& stopRequested) {
        ScanEnd end = scan_(catalog, sink, scanActive, stopRequested);
        std::unique_lock lock(mutex_);
        while (!released_ && scanActive.load() && !stopRequested.load()) {
            sink.Progress(progress_);  // each report may publish: the last rows reach the window
            released_changed_.wait_for(lock, std::chrono::milliseconds(5));
        }
        return end;
    };
}

void HeldScan::release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    released_changed_.notify_all();
}

}  // namespace ostrum::app
