// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Ctrl-C (SIGINT) and SIGTERM turned into a request to stop, so that a command ends cleanly: a scan
// stops, a save removes the file it was writing, an image copy ends after the bytes it has read. The
// signals are taken by a thread of the watch's own (no handler, no global), which sleeps until one comes or
// the watch ends. A signal that came before the watch began (one pending while it was blocked) counts too,
// at once.

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

#include "common/unique_fd.h"

namespace ostrum::cli {

class InterruptWatch {
  public:
    // `onInterrupt` runs once, at the first signal, on the watch's thread or (for a signal that was
    // pending) on the caller's, before the constructor returns.
    explicit InterruptWatch(std::function<void()> onInterrupt);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    bool interrupted() const { return interrupted_.load(); }

  private:
    void Interrupted();
    void WaitForSignals();

    std::function<void()> onInterrupt_;
    std::atomic<bool> interrupted_{false};
    sigset_t signals_{};
    sigset_t previous_{};
    std::atomic<bool> stopping_{false};
    common::UniqueFd signalFd_;  // the signals, read by the watch's thread
    common::UniqueFd wakeFd_;    // written when the watch ends, to wake its thread
    std::thread watcher_;
};

}  // namespace ostrum::cli
