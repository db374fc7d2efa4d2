// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One save in progress: the items, where they go, the progress count and the results. The image and the
// tape readers (image_save.cpp, tape_save.cpp) drive FileExtractions through it.

#include <atomic>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <span>
#include <vector>

#include "save/file_extraction.h"
#include "save/save_files.h"

namespace ostrum::save {

class SaveRun {
  public:
    SaveRun(const SaveRequest& request, SaveSink& sink, const std::atomic<bool>& cancel,
            DestinationFolder& folder);

    // Adds an item to the save; returns its index.
    std::size_t Add(SaveItem item);
    // Adds every item the source has left.
    void AddAll(SaveItemSource& source);
    // The items added, which keep their place as more are added.
    const std::deque<SaveItem>& items() const { return items_; }
    const SaveRequest& request() const { return request_; }
    SaveSink& sink() { return sink_; }
    DestinationFolder& folder() { return target_.folder; }
    bool cancelRequested() const { return cancel_.load(std::memory_order_relaxed); }
    const std::atomic<bool>& cancelFlag() const { return cancel_; }

    // A file about to be read.
    FileExtraction Start(std::size_t item);
    // A file that has ended: its result is recorded and its length counts as done. It is reported to the
    // sink once the files kept before it and it have reached the disk.
    void Finish(const FileExtraction& file);
    // Reports the bytes done: those of the ended files and `active` bytes of the files being read.
    void ReportProgress(std::uint64_t active);
    // Every item not yet ended gets this outcome (the save was cancelled, or its source failed).
    void EndTheRest(SaveOutcome outcome, const std::string& reason);

    // True once the destination has said it is full, read-only or over its quota.
    bool destinationFull() const;
    // Says once that the destination is full, and ends every item not yet ended as NotAttempted.
    void StopAtFullDestination();

    // The source cannot be used at all: every item not yet ended fails with `error`.
    void SourceFailed(const std::string& error);

    SaveReport TakeReport();

  private:
    // Syncs the files kept since the last time, fails those the sync could not confirm, and reports the
    // ended files to the sink.
    void SyncAndReport();
    // The same with the sync on a thread of its own, while the save goes on: StartSync takes the files
    // ended so far, and ReportSynced, once the sync is done (or at once with `wait`), reports them.
    void StartSync();
    void ReportSynced(bool wait);
    // Fails the kept files among `ended` that a sync could not confirm, and reports them all to the sink.
    void Report(const std::vector<std::size_t>& ended, bool synced, const std::string& error);

    std::deque<SaveItem> items_;
    const SaveRequest& request_;
    SaveSink& sink_;
    const std::atomic<bool>& cancel_;
    SaveTarget target_;
    SaveReport report_;
    std::vector<bool> ended_;
    std::uint64_t total_ = 0;
    std::uint64_t done_ = 0;
    std::uint64_t reported_ = 0;           // the progress last reported
    std::vector<std::size_t> unreported_;  // ended files, in the order they ended
    std::vector<std::size_t> syncing_;     // ended files before them, whose sync runs
    std::future<std::string> sync_;        // that sync: empty text when it confirmed every file
    std::size_t unsyncedFiles_ = 0;        // of those, the files kept on disk
    std::uint64_t unsyncedBytes_ = 0;
};

// The image reader: takes the source's items one by one and saves each as it comes.
void SaveFromImage(SaveRun& run, SaveItemSource& source);
// The tape reader: one pass over the tape from its start for the whole selection (every item added).
void SaveFromTape(SaveRun& run);

}  // namespace ostrum::save
