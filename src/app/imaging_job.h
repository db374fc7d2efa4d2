// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The copy of a tape into an image file, on a worker thread. The worker runs CopyTapeToImage and
// publishes the texts of the imaging page and the progress after each read; the wizard takes the latest
// publication on its own thread (a timer), and also learns there that the copy has ended, so that what
// follows (the recovery window) is always done on the window's thread. The copy can be held between two
// reads while the user is asked whether to stop it.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "common/worker_thread.h"
#include "tape/tape_devices.h"
#include "tape/tape_imaging.h"

namespace ostrum::app {

// What the worker has handed to the window so far.
struct ImagingSnapshot {
    std::string progressLabel;     // the Progress value label; empty until the copy gives one
    std::string totalSize;         // the Total Size value label; empty until the medium was asked
    int progress = 0;              // percent of the capacity copied
    bool finished = false;         // the worker has returned; nothing more will come
    tape::ImageCopyResult result;  // when finished: how the copy ended
};

class ImagingJob {
  public:
    // `stopImaging` must outlive the job; the drives are shared with it.
    ImagingJob(std::shared_ptr<const tape::TapeDevices> devices, std::string deviceName,
               std::string imagePath, std::atomic<std::uint32_t>& stopImaging);
    // Stops the copy if it still runs and waits for the worker, so that the image file is closed.
    ~ImagingJob();
    ImagingJob(const ImagingJob&) = delete;
    ImagingJob& operator=(const ImagingJob&) = delete;

    void start();
    // A confirmed Stop: the copy ends at its next read, keeping everything written. Honoured even when
    // the copy has not yet begun (it clears stopImaging at its start).
    void requestStop();
    // While the user is asked whether to stop: the copy waits after writing the block it is reading, until
    // resume() (the answer was No) or requestStop() (it ends there).
    void hold();
    void resume();
    // The copy waits at a hold now.
    bool holding() const;
    // The latest publication (window thread).
    ImagingSnapshot take() const { return published_.Take(); }
    void stopAndJoin();
    // Waits for a worker that has published `finished`.
    void join();

    const std::string& deviceName() const { return deviceName_; }
    const std::string& imagePath() const { return imagePath_; }

  private:
    class Feed;
    void run();

    const std::shared_ptr<const tape::TapeDevices> devices_;
    const std::string deviceName_;
    const std::string imagePath_;
    std::atomic<std::uint32_t>& stopImaging_;
    common::Published<ImagingSnapshot> published_;
    mutable std::mutex holdMutex_;
    std::condition_variable holdChanged_;
    bool held_ = false;     // asked to hold; under holdMutex_
    bool holding_ = false;  // waiting at the hold; under holdMutex_
    // Its stop flag says a Stop was confirmed; the stop also sets stopImaging, which the copy watches, and
    // wakes a copy that waits on a hold (under the lock, so that the wait, which tests the flag under it,
    // cannot miss it).
    common::WorkerThread worker_{[this] {
        stopImaging_.store(1);
        std::lock_guard lock(holdMutex_);
        holdChanged_.notify_all();
    }};
};

// A copy held in the middle, for tests and pictures of the copying state: the hook, given to a virtual
// drive as its beforeRead, keeps the read of data record `record` waiting until release() or until
// stopImaging is set. The hook must not outlive it.
class HeldTapeRead {
  public:
    HeldTapeRead(std::uint64_t record, const std::atomic<std::uint32_t>& stopImaging)
        : record_(record), stopImaging_(stopImaging) {}
    std::function<void(std::uint64_t)> hook();
    // The read is being held (or was).
    bool reached() const;
    void release();

  private:
    const std::uint64_t record_;
    const std::atomic<std::uint32_t>& stopImaging_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool reached_ = false;
    bool released_ = false;
};

}  // namespace ostrum::app
