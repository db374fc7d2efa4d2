// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writers of their own for the small files saved from an image: the saving thread reads each file's
// header and data in order and hands the writing to these threads, which create the files and write their
// data. The saving thread takes them back in the order it handed them over and gives them their names
// then, so that names come out as one thread would give them.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "save/file_extraction.h"

namespace ostrum::save {

class SaveWriters {
  public:
    // `writers` threads writing into `folder`; a job not yet begun once `cancel` is true is not begun.
    SaveWriters(DestinationFolder& folder, const std::atomic<bool>& cancel, std::size_t writers);
    // Drops the jobs not yet begun, waits for the others, and drops what they wrote.
    ~SaveWriters();
    SaveWriters(const SaveWriters&) = delete;
    SaveWriters& operator=(const SaveWriters&) = delete;

    void HandOver(std::unique_ptr<DataJob> job);
    // The jobs handed over and not yet taken back, and the bytes they hold.
    std::size_t waiting() const { return jobs_.size(); }
    std::uint64_t heldBytes() const { return heldBytes_; }
    // Waits for the oldest job to be done and takes it back.
    std::unique_ptr<DataJob> TakeBackOldest();

    // Threads for a machine of this many cores.
    static std::size_t CountFor(unsigned cores);

  private:
    struct Entry {
        std::unique_ptr<DataJob> job;
        bool done = false;
    };
    void Work();
    void Write(DataJob& job);

    DestinationFolder& folder_;
    const std::atomic<bool>& cancel_;
    std::deque<std::shared_ptr<Entry>> jobs_;  // handed over, oldest first (the saving thread's)
    std::uint64_t heldBytes_ = 0;
    // Waking a thread costs about as much as writing a small file: idle writers are woken once a few jobs
    // wait, and the saving thread only when the job it waits for is done.
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable done_;
    std::deque<std::shared_ptr<Entry>> pending_;  // not yet begun by a writer
    std::size_t idle_ = 0;                        // writers waiting for work
    const Entry* awaited_ = nullptr;              // the job the saving thread waits for
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

class SaveRun;

// The files of a save whose data went to the writers: they wait here and are taken back, and named, in the
// order they were handed over. A file that is not handed over is finished only once the files before it
// are back (TakeBackAll), and one whose destination is that of a waiting file starts only then (Waits), so
// that names come out as one thread would give them.
class HandedOverFiles {
  public:
    explicit HandedOverFiles(SaveRun& run);

    // Hands the file's data, which lie in `bytes` from `from` on, to a writer; while too many files wait,
    // takes back the oldest.
    void HandOver(FileExtraction file, std::vector<std::uint8_t> bytes, std::size_t from);
    bool Waits(const std::string& destination) const { return names_.contains(NameKey(destination)); }
    void TakeBackAll() {
        while (!files_.empty()) TakeBackOldest();
    }

  private:
    void TakeBackOldest();
    // Destinations are told apart by their hash: two that share one only make a file wait needlessly.
    static std::size_t NameKey(const std::string& destination) {
        return std::hash<std::string>{}(destination);
    }

    SaveRun& run_;
    SaveWriters writers_;
    std::deque<FileExtraction> files_;                    // handed over, oldest first
    std::unordered_map<std::size_t, std::size_t> names_;  // their destinations
    bool stoppedFull_ = false;  // a file taken back met a full destination: the later ones are dropped
};

}  // namespace ostrum::save
