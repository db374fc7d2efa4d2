#include "save_writers.h"

#include <algorithm>

namespace ostrum::selection {
namespace {

// Jobs waiting before an idle writer is woken for them.
constexpr std::size_t kWakeAt = 16;

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

void SaveWriters::Write(DataJob& job) {
    job.output = folder_.CreateIn(job.folder, job.error);
    if (!job.output) return;
    job.writeFailed = !job.output->Write(std::span(job.bytes).subspan(job.bytesFrom, job.length));
}

}  // namespace ostrum::selection
