#include "scan_job.h"

#include <chrono>
#include <exception>

#include "catalog/image_scanner.h"
#include "catalog/scan_findings.h"
#include "tape/tape_scanner.h"

namespace ostrum::app {
namespace {

// The worker publishes at most this often; the window looks a few times a second.
constexpr auto kPublishInterval = std::chrono::milliseconds(20);

}  // namespace

// Collects what the scanner reports, on the worker, and publishes it now and then.
class ScanJob::Feed final : public catalog::CatalogSink {
  public:
    explicit Feed(ScanJob& job) : job_(job) {}

    void StatusLine(std::string_view text) override {
        local_.status.assign(text);
        filesFound_.reset();
        MaybePublish();
    }
    // Once per file: the text is formed when published, and the position and progress that follow every
    // read publish it.
    void FilesFound(std::uint64_t count) override { filesFound_ = count; }
    void PositionLine(std::string_view text) override {
        local_.position.assign(text);
        MaybePublish();
    }
    void Progress(int percent) override {
        local_.progress = percent;
        MaybePublish();
    }
    void NodeInserted(const catalog::Catalog& /*catalog*/, catalog::NodeId /*node*/) override {
        ++local_.nodes;
    }
    void RowAppended(const catalog::Catalog& /*catalog*/, std::size_t /*row*/) override { ++local_.rows; }

    void Finish(ScanEnd end) {
        local_.finished = true;
        local_.end = std::move(end);
        Publish();
    }

  private:
    void MaybePublish() {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastPublished_ < kPublishInterval) return;
        lastPublished_ = now;
        Publish();
    }
    void Publish() {
        if (filesFound_) local_.status.assign(catalog::FilesFoundText(*filesFound_).view());
        job_.published_.Set(local_);
    }

    ScanJob& job_;
    ScanSnapshot local_;
    std::optional<std::uint64_t> filesFound_;  // the last status was the count of files found
    std::chrono::steady_clock::time_point lastPublished_{};
};

ScanFunction ScanOf(const ScanSource& source) {
    if (source.SourceIsTape) {
        return [path = source.SourcePath, devices = source.tapeDevices](
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
    return [path = source.SourcePath, deep = source.deep](
               catalog::Catalog& catalog, catalog::CatalogSink& sink, std::atomic<bool>& scanActive,
               std::atomic<bool>&) -> ScanEnd {
        catalog::ImageFile image;
        if (!catalog::OpenImageFile(image, path)) return {.error = image.error()};
        catalog::ImageScanSummary summary;
        const bool whole =
            catalog::ScanImageFile(image, catalog, sink, scanActive, &summary, {.deep = deep}) != 0;
        ScanEnd end{.bytesRead = summary.found.bytesExamined, .mediumSize = image.Size()};
        if (whole && !catalog::FoundMtfData(summary.found))
            end.noMtfData = catalog::NoMtfDataText(path, summary.found.bytesExamined);
        return end;
    };
}

ScanJob::ScanJob(ScanFunction scan, catalog::Catalog& catalog) : scan_(std::move(scan)), catalog_(catalog) {}

ScanJob::~ScanJob() {
    StopAndJoin();
}

void ScanJob::Start() {
    if (worker_.joinable()) return;
    // Set before the worker exists, so that a Stop confirmed at once is never lost.
    stopRequested_.store(false);
    scanActive_.store(true);
    worker_ = std::thread([this] { Run(); });
}

void ScanJob::RequestStop() {
    stopRequested_.store(true);
    scanActive_.store(false);
}

void ScanJob::StopAndJoin() {
    if (!worker_.joinable()) return;
    RequestStop();
    worker_.join();
}

void ScanJob::Join() {
    if (worker_.joinable()) worker_.join();
}

void ScanJob::Run() {
    Feed feed(*this);
    ScanEnd end;
    try {
        end = scan_(catalog_, feed, scanActive_, stopRequested_);
    } catch (const std::exception& failure) {
        // Out of memory on a huge medium, say: keep what was found and say why the scan ended.
        end.error = std::string("the scan ended early: ") + failure.what();
    }
    feed.Finish(std::move(end));
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

void HeldScan::Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    released_changed_.notify_all();
}

}  // namespace ostrum::app
