#include "save_writers.h"

#include <algorithm>

namespace ostrum::selection {

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
    changed_.notify_all();
    for (auto& thread : threads_) thread.join();
}

void SaveWriters::HandOver(std::unique_ptr<DataJob> job) {
    auto entry = std::make_shared<Entry>();
    heldBytes_ += job->bytes.size();
    entry->job = std::move(job);
    jobs_.push_back(entry);
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(entry));
    }
    changed_.notify_all();
}

std::unique_ptr<DataJob> SaveWriters::TakeBackOldest() {
    const std::shared_ptr<Entry> entry = std::move(jobs_.front());
    jobs_.pop_front();
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return entry->done; });
    }
    heldBytes_ -= entry->job->bytes.size();
    return std::move(entry->job);
}

void SaveWriters::Work() {
    for (;;) {
        std::shared_ptr<Entry> entry;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !pending_.empty(); });
            if (pending_.empty()) return;
            entry = std::move(pending_.front());
            pending_.pop_front();
        }
        if (cancel_.load(std::memory_order_relaxed)) {
            entry->job->cancelled = true;
        } else {
            Write(*entry->job);
        }
        {
            std::lock_guard lock(mutex_);
            entry->done = true;
        }
        changed_.notify_all();
    }
}

void SaveWriters::Write(DataJob& job) {
    job.output = folder_.CreateIn(job.folder, job.error);
    if (!job.output) return;
    job.writeFailed = !job.output->Write(std::span(job.bytes).subspan(job.bytesFrom, job.length));
}

}  // namespace ostrum::selection
