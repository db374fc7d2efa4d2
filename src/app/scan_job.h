// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scan of one recovery window, on a worker thread. The worker runs the image or the tape scanner
// into the window's catalog and, a few dozen times a second at most, publishes how far it has got: how
// many nodes and rows the window may read, the status and position texts and the progress. The window
// takes the latest publication on its own thread whenever it likes (a timer), so a scan of a million
// files costs it a few updates a second, not a million cross-thread calls; the end it may be told of.
//
// The catalog's nodes and rows never move (catalog.h), and everything below the published counts was
// written before the publication under the lock that the window's take() also holds, so the window may
// read those rows and the text and parent of those nodes while the scan goes on.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "app/scan_source.h"
#include "catalog/catalog.h"
#include "common/worker_thread.h"

namespace ostrum::app {

// How a scan ended.
struct ScanEnd {
    std::string error = {};  // why the medium could not be read at all; empty when it could
    // A medium read to its end in which no MTF block was found: the words that say so.
    std::string noMtfData = {};
    std::uint64_t bytesRead = 0;                   // of the medium, when the scan ended
    std::optional<std::uint64_t> mediumSize = {};  // the image's size or the tape's capacity, when known
    // The normal scan of images lost the block grid at this many places (catalog::ScanFindings), the first
    // at byte firstGridLoss of gridLossMedium.
    std::uint64_t gridLosses = 0;
    std::uint64_t firstGridLoss = 0;
    std::string gridLossMedium = {};
};

// What the worker has handed to the window so far.
struct ScanSnapshot {
    std::size_t nodes = 0;  // nodes [0, nodes) of the catalog may be read
    std::size_t rows = 0;   // rows [0, rows)
    std::string status;     // the StatusLine text, empty until the scanner gives one
    std::string position;   // the PositionLine text
    int progress = 0;       // percent
    // Counts the sizes of rows fixed after they were appended (catalog::CatalogSink::SizeFixed): when it
    // changes, the rows' sizes are read again.
    std::uint64_t sizesFixed = 0;
    bool finished = false;  // the worker has returned; nothing more will come
    ScanEnd end;            // when finished: how the scan ended
};

// Scans a medium into the catalog, reporting to the sink and honouring the two flags; returns how it ended.
using ScanFunction = std::function<ScanEnd(catalog::Catalog& catalog, catalog::CatalogSink& sink,
                                           std::atomic<bool>& scanActive, std::atomic<bool>& stopRequested)>;

// The scan a source asks for: the tape scanner for a tape drive, else the image scanner. The source's
// path and drives are copied.
ScanFunction scanOf(const ScanSource& source);

class ScanJob {
  public:
    // The catalog must outlive the job (the window declares the job after it, so that the job, whose
    // destruction stops and joins the worker, goes first). `onFinished`, when given, is called on the
    // worker once the end is published, so that the window can take it at once rather than at its next
    // look.
    ScanJob(ScanFunction scan, catalog::Catalog& catalog, std::function<void()> onFinished = {});
    ~ScanJob();
    ScanJob(const ScanJob&) = delete;
    ScanJob& operator=(const ScanJob&) = delete;

    // Sets the flags for a new scan, then starts the worker.
    void start();
    // A confirmed Stop: the scanner stops at its next test of the flags.
    void requestStop();
    // The latest publication (window thread).
    ScanSnapshot take() const { return published_.Take(); }
    // Stops the scan if it still runs and waits for the worker to end.
    void stopAndJoin();
    // Waits for a worker that has published `finished` (it has nothing left to do but return).
    void join();
    const std::atomic<bool>& stopRequested() const { return worker_.stopFlag(); }

  private:
    class Feed;
    void run();

    const ScanFunction scan_;
    catalog::Catalog& catalog_;
    const std::function<void()> onFinished_;
    std::atomic<bool> scanActive_{false};
    common::Published<ScanSnapshot> published_;
    // Its stop flag is the scan's stopRequested; a stop also clears scanActive.
    common::WorkerThread worker_{[this] { scanActive_.store(false); }};
};

// A scan held at its end, for tests and pictures of the scanning state: runs `scan`, then keeps its
// worker waiting, reporting `progress` so that everything found is handed over, until release() or a
// Stop. The function it gives must not outlive it.
class HeldScan {
  public:
    explicit HeldScan(ScanFunction scan, int progress = 100) : scan_(std::move(scan)), progress_(progress) {}
    ScanFunction function();
    void release();

  private:
    ScanFunction scan_;
    int progress_;
    std::mutex mutex_;
    std::condition_variable released_changed_;
    bool released_ = false;
};

}  // namespace ostrum::app
