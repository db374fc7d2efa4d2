// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saving from an image while it is scanned: a scan on a thread of its own whose rows (those chosen) are
// handed to the save as the scan publishes them, after every chunk, so that files are saved while the rest
// of the image is scanned.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "catalog/catalog.h"
#include "catalog/image_scanner.h"
#include "common/worker_thread.h"
#include "save/save_files.h"

namespace ostrum::save {

class ScanWhileSaving final : public SaveItemSource, catalog::CatalogSink {
  public:
    // Which rows are handed on, by CatalogPath; called on the saving thread.
    using Chooser = std::function<bool(std::string_view catalogPath)>;

    // Starts scanning `image` (deeply with `deep`) into `found`, whose first medium the caller has begun.
    // The scan watches scanActive, which the caller shares (an interruption clears it too), and records
    // what it could not read in `summary`. Every row is chosen when `chooses` is empty.
    ScanWhileSaving(const common::ImageFile& image, bool deep, catalog::Catalog& found, Chooser chooses,
                    std::atomic<bool>& scanActive, catalog::ImageScanSummary& summary);
    // Stops the scan if it still runs and waits for it.
    ~ScanWhileSaving() { scanner_.StopAndJoin(); }
    ScanWhileSaving(const ScanWhileSaving&) = delete;
    ScanWhileSaving& operator=(const ScanWhileSaving&) = delete;

    void Join() { scanner_.Join(); }
    // After Join: whether the scan reached the end of the image.
    bool whole() const { return whole_; }
    // The scan's progress, while it runs; nothing once it has ended.
    std::optional<int> percent() const;
    // Waits for the first row chosen; false when the scan ended, or was stopped, without one.
    bool WaitForFirst();

    std::optional<SaveItem> Next() override;

  private:
    // The save says how many files it saved, not the scan how many it found.
    void FilesFound(std::uint64_t /*count*/) override {}
    // On the scanning thread, after every chunk.
    void Progress(int percent) override;
    void Publish(bool finished);

    catalog::Catalog& found_;
    const Chooser chooses_;
    std::atomic<bool>& scanActive_;
    bool whole_ = false;
    std::atomic<int> percent_{0};
    std::atomic<bool> ended_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t published_ = 0;                         // rows the save may read
    std::size_t checked_ = 0;                           // rows looked at for pieces (scanning thread only)
    std::unordered_map<std::size_t, SaveItem> spread_;  // items of rows in pieces, not yet taken
    std::size_t taken_ = 0;
    bool finished_ = false;
    bool waiting_ = false;
    std::optional<SaveItem> first_;
    // A stop clears scanActive, which the scan watches.
    common::WorkerThread scanner_{[this] { scanActive_.store(false); }};
};

}  // namespace ostrum::save
