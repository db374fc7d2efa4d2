// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/save_writers.h"

#include <algorithm>

#include "save/save_run.h"

namespace ostrum::save {
namespace {

// Jobs waiting before an idle writer is woken for them.
constexpr std::size_t kWakeAt = 16;
// How far the reading runs ahead of the files taken back: files handed over, and bytes they hold.
constexpr std::size_t kMostWaitingJobs = 512;
constexpr std::uint64_t kMostHeldBytes = 32u << 20;

}  // namespace

std::size_t SaveWriters::CountFor(unsigned cores) {
    return std::clamp<std::size_t>(cores, 1, 4);
}

SaveWriters::SaveWriters(DestinationFolder& folder, const std::atomic<bool>& cancel, std::size_t writers)
    : folder_(folder), cancel_(cancel) {
    for (std::size_t i = 0; i < writers; ++i) threads_.emplace_back([this] { Work(); });
}

SaveWriters::~SaveWriters() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        pending_.clear();
    }
    work_.notify_all();
    for (auto& thread : threads_) thread.join();
}

void SaveWriters::HandOver(std::unique_ptr<DataJob> job) {
    auto entry = std::make_shared<Entry>();
    heldBytes_ += job->bytes.size();
    entry->job = std::move(job);
    jobs_.push_back(entry);
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(entry));
        wake = idle_ > 0 && pending_.size() >= kWakeAt;
    }
    if (wake) work_.notify_one();
}

std::unique_ptr<DataJob> SaveWriters::TakeBackOldest() {
    const std::shared_ptr<Entry> entry = std::move(jobs_.front());
    jobs_.pop_front();
    {
        std::unique_lock lock(mutex_);
        if (!entry->done) {
            awaited_ = entry.get();
            if (idle_ > 0) work_.notify_all();
            done_.wait(lock, [&] { return entry->done; });
            awaited_ = nullptr;
        }
    }
    heldBytes_ -= entry->job->bytes.size();
    return std::move(entry->job);
}

void SaveWriters::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!stop_ && pending_.empty()) {
            ++idle_;
            work_.wait(lock);
            --idle_;
        }
        if (pending_.empty()) return;
        const std::shared_ptr<Entry> entry = std::move(pending_.front());
        pending_.pop_front();
        lock.unlock();
        if (cancel_.load(std::memory_order_relaxed)) {
            entry->job->cancelled = true;
        } else {
            Write(*entry->job);
        }
        lock.lock();
        entry->done = true;
        if (awaited_ == entry.get()) done_.notify_one();
    }
}

HandedOverFiles::HandedOverFiles(SaveRun& run)
    : run_(run),
      writers_(run.folder(), run.cancelFlag(), SaveWriters::CountFor(std::thread::hardware_concurrency())) {}

void HandedOverFiles::HandOver(FileExtraction file, std::vector<std::uint8_t> bytes, std::size_t from) {
    ++names_[NameKey(file.destinationText())];
    writers_.HandOver(file.HandOver(std::move(bytes), from));
    files_.push_back(std::move(file));
    while (writers_.waiting() > kMostWaitingJobs || writers_.heldBytes() > kMostHeldBytes) TakeBackOldest();
}

void HandedOverFiles::TakeBackOldest() {
    std::unique_ptr<DataJob> job = writers_.TakeBackOldest();
    FileExtraction file = std::move(files_.front());
    files_.pop_front();
    if (auto named = names_.find(NameKey(file.destinationText())); --named->second == 0) names_.erase(named);
    // Once a file has met a full destination, the ones after it are not kept, whatever became of them:
    // the save stops there, as it would have writing them one by one. Their jobs take their files along.
    if (stoppedFull_) return;
    // Nor are files not yet named when the save is cancelled.
    if (run_.cancelRequested()) {
        file.Abandon(SaveOutcome::Cancelled, "cancelled");
    } else {
        file.TakeBack(*job);
        if (file.result().outcome == SaveOutcome::Failed && run_.destinationFull()) stoppedFull_ = true;
    }
    run_.Finish(file);
}

void SaveWriters::Write(DataJob& job) {
    job.output = folder_.CreateIn(job.folder, job.error);
    if (!job.output) return;
    job.writeFailed = !job.output->Write(std::span(job.bytes).subspan(job.bytesFrom, job.length));
}

}  // namespace ostrum::save
