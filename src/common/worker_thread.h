// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One worker thread and the stop flag its work watches, and the value it publishes for the window's thread.
//
// WorkerThread starts a piece of work on a thread of its own with the flag cleared, sets the flag when asked
// (and runs the owner's own stop step: a flag of another kind the work watches, a condition to wake), and
// stops and joins on destruction, so that an owner that goes away first never leaves its work running over
// freed memory. Declare it after everything the work uses: it goes first.

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace ostrum::common {

class WorkerThread {
  public:
    // `onStop` runs on the thread that asks for a stop, after the flag is set; it may be empty.
    explicit WorkerThread(std::function<void()> onStop = {}) : onStop_(std::move(onStop)) {}
    ~WorkerThread() { StopAndJoin(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Clears the stop flag and runs `work` on a new thread; does nothing (false) while a thread started
    // before has not been joined.
    bool Start(std::function<void()> work) {
        if (thread_.joinable()) return false;
        stop_.store(false);
        thread_ = std::thread(std::move(work));
        return true;
    }
    void RequestStop() {
        stop_.store(true);
        if (onStop_) onStop_();
    }
    bool stopRequested() const { return stop_.load(); }
    // The flag itself, for work that takes it as a parameter.
    std::atomic<bool>& stopFlag() { return stop_; }
    const std::atomic<bool>& stopFlag() const { return stop_; }
    // A thread was started and not yet joined.
    bool started() const { return thread_.joinable(); }
    // Waits for the work to return (it must be on its way to: finished, or asked to stop).
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    // Asks a started work to stop and waits for it.
    void StopAndJoin() {
        if (!thread_.joinable()) return;
        RequestStop();
        thread_.join();
    }

  private:
    const std::function<void()> onStop_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A value that a worker thread publishes and the window's thread takes, under one lock: everything the
// worker wrote before it published is visible to the thread that takes the value.
template <class T>
class Published {
  public:
    void Set(const T& value) {
        std::lock_guard lock(mutex_);
        value_ = value;
    }
    T Take() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

  private:
    mutable std::mutex mutex_;
    T value_{};
};

}  // namespace ostrum::common
