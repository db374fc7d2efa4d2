// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/imaging_job.h"

#include <chrono>
#include <exception>

namespace ostrum::app {

// Collects what the copy reports, on the worker, and publishes each report: there is at most one per
// 64 KiB read, and a read can keep the drive busy for long, so what the window shows meanwhile must be
// the last report, not one from before.
class ImagingJob::Feed final : public tape::ImagingSink {
  public:
    explicit Feed(ImagingJob& job) : job_(job) {}

    void ProgressLabel(std::string_view text) override {
        local_.progressLabel.assign(text);
        report();
    }
    void TotalSize(std::string_view text) override {
        local_.totalSize.assign(text);
        report();
    }
    void Progress(int percent) override {
        local_.progress = percent;
        report();
    }

    void finish(tape::ImageCopyResult result) {
        local_.finished = true;
        local_.result = std::move(result);
        job_.published_.Set(local_);
    }

  private:
    void report() {
        // The copy clears stopImaging when it begins; a Stop confirmed before that is set again here,
        // before the copy next looks at it.
        if (job_.worker_.stopRequested()) job_.stopImaging_.store(1);
        job_.published_.Set(local_);
        // The copy reports after writing each read: a hold keeps it here, before its next read.
        std::unique_lock lock(job_.holdMutex_);
        job_.holding_ = true;
        job_.holdChanged_.wait(lock, [this] { return !job_.held_ || job_.worker_.stopRequested(); });
        job_.holding_ = false;
    }

    ImagingJob& job_;
    ImagingSnapshot local_;
};

ImagingJob::ImagingJob(std::shared_ptr<const tape::TapeDevices> devices, std::string deviceName,
                       std::string imagePath, std::atomic<std::uint32_t>& stopImaging)
    : devices_(std::move(devices)),
      deviceName_(std::move(deviceName)),
      imagePath_(std::move(imagePath)),
      stopImaging_(stopImaging) {}

ImagingJob::~ImagingJob() {
    stopAndJoin();
}

void ImagingJob::start() {
    if (worker_.started()) return;
    stopImaging_.store(0);
    worker_.Start([this] { run(); });
}

void ImagingJob::requestStop() {
    worker_.RequestStop();
}

void ImagingJob::hold() {
    std::lock_guard lock(holdMutex_);
    held_ = true;
}

void ImagingJob::resume() {
    std::lock_guard lock(holdMutex_);
    held_ = false;
    holdChanged_.notify_all();
}

bool ImagingJob::holding() const {
    std::lock_guard lock(holdMutex_);
    return holding_ && held_;
}

void ImagingJob::stopAndJoin() {
    worker_.StopAndJoin();
}

void ImagingJob::join() {
    worker_.Join();
}

void ImagingJob::run() {
    Feed feed(*this);
    tape::ImageCopyResult result;
    try {
        result = tape::CopyTapeToImage(*devices_, deviceName_, imagePath_, feed, stopImaging_);
    } catch (const std::exception& failure) {
        result.done = false;
        result.error = std::string("the copy ended early: ") + failure.what();
    }
    feed.finish(std::move(result));
}

std::function<void(std::uint64_t)> HeldTapeRead::hook() {
    return [this](std::uint64_t record) {
        if (record != record_) return;
        std::unique_lock lock(mutex_);
        reached_ = true;
        while (!released_ && stopImaging_.load() == 0) changed_.wait_for(lock, std::chrono::milliseconds(2));
    };
}

bool HeldTapeRead::reached() const {
    std::lock_guard lock(mutex_);
    return reached_;
}

void HeldTapeRead::release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

}  // namespace ostrum::app
