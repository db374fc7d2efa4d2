#include "imaging_job.h"

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
        Report();
    }
    void TotalSize(std::string_view text) override {
        local_.totalSize.assign(text);
        Report();
    }
    void Progress(int percent) override {
        local_.progress = percent;
        Report();
    }

    void Finish(tape::ImageCopyResult result) {
        local_.finished = true;
        local_.result = std::move(result);
        job_.published_.Set(local_);
    }

  private:
    void Report() {
        // The copy clears StopImaging when it begins; a Stop confirmed before that is set again here,
        // before the copy next looks at it.
        if (job_.worker_.stopRequested()) job_.StopImaging_.store(1);
        job_.published_.Set(local_);
    }

    ImagingJob& job_;
    ImagingSnapshot local_;
};

ImagingJob::ImagingJob(std::shared_ptr<const tape::TapeDevices> devices, std::string deviceName,
                       std::string imagePath, std::atomic<std::uint32_t>& StopImaging)
    : devices_(std::move(devices)),
      deviceName_(std::move(deviceName)),
      imagePath_(std::move(imagePath)),
      StopImaging_(StopImaging) {}

ImagingJob::~ImagingJob() {
    StopAndJoin();
}

void ImagingJob::Start() {
    if (worker_.started()) return;
    StopImaging_.store(0);
    worker_.Start([this] { Run(); });
}

void ImagingJob::RequestStop() {
    worker_.RequestStop();
}

void ImagingJob::StopAndJoin() {
    worker_.StopAndJoin();
}

void ImagingJob::Join() {
    worker_.Join();
}

void ImagingJob::Run() {
    Feed feed(*this);
    tape::ImageCopyResult result;
    try {
        result = tape::CopyTapeToImage(*devices_, deviceName_, imagePath_, feed, StopImaging_);
    } catch (const std::exception& failure) {
        result.done = false;
        result.error = std::string("the copy ended early: ") + failure.what();
    }
    feed.Finish(std::move(result));
}

std::function<void(std::uint64_t)> HeldTapeRead::hook() {
    return [this](std::uint64_t record) {
        if (record != record_) return;
        std::unique_lock lock(mutex_);
        reached_ = true;
        while (!released_ && StopImaging_.load() == 0) changed_.wait_for(lock, std::chrono::milliseconds(2));
    };
}

bool HeldTapeRead::reached() const {
    std::lock_guard lock(mutex_);
    return reached_;
}

void HeldTapeRead::Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

}  // namespace ostrum::app
