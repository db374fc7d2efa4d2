// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scanning a tape drive: the tape is read from its beginning in kTapeReadSize requests and every whole
// 512-byte slot of what each read delivered is examined for SSET, DIRB and FILE blocks, as the image
// scanner does for an image file.
//
// Positions are counted the tape's way. The first read after the rewind is discarded (the tape's own
// TAPE block). The chunk position of a read, given to the FILE handler, is the delivered total: the
// bytes of all reads of the loop including this one, so that a file's DataOffset is that total plus the
// stream header's offset in the chunk plus 22. ChunkIndex counts the passes of the loop from 0: a row
// gets the index of the pass that met its FILE block. The PositionLine shows the bytes read before the
// current read (the discarded one included) and the capacity.
//
// The scan crosses filemarks and setmarks (a read that meets one delivers nothing and counts as a pass)
// and ends at the end of recorded data. A read error is skipped and counted; a run of
// kMaxConsecutiveReadFailures failed reads ends the scan, so that a dead drive is not read forever.
//
// A name or stream header running past the end of one read is read from the reads that follow: the
// scanner takes them from the drive ahead of time and keeps them in a small queue, which later passes
// consume before reading the drive again. Every counter advances exactly as without the lookahead.

#include <atomic>
#include <cstdint>
#include <string>

#include "catalog/catalog.h"
#include "catalog/scan_context.h"
#include "catalog/scan_findings.h"
#include "tape/read_failures.h"
#include "tape/tape_devices.h"

namespace ostrum::tape {

struct TapeScanSummary {
    std::string error;             // why the scan could not start (open, rewind or media query), empty else
    std::int64_t capacity = 0;     // the medium's capacity
    std::uint64_t reads = 0;       // reads of the loop
    std::uint64_t bytes = 0;       // bytes delivered by the reads of the loop
    std::uint64_t marks = 0;       // filemarks and setmarks crossed
    std::uint64_t readErrors = 0;  // reads that failed and were skipped
    std::string lastReadError;
    bool endOfData = false;  // the loop ended at the end of recorded data
    bool gaveUp = false;     // the loop ended after kMaxConsecutiveReadFailures failed reads
    bool stopped = false;    // ended by stopRequested or scanActive
    // What it found of MTF data: the bytes examined are the tape's first block and those of the loop.
    catalog::ScanFindings found;
};

// Scans the tape in the drive `deviceName`, adding what it finds to `catalog` and reporting status,
// position and progress to `sink`. The caller sets scanActive to true and stopRequested to false before
// it starts the scan (on a worker, before starting the worker), so that a Stop pressed at any time is
// seen; the scan only reads them. It stops before the next read when stopRequested is set, and before
// the next slot when scanActive is cleared; a Stop made before it began ends it before the drive is
// opened. Returns 1 when the loop ended by itself or by stopRequested, 0 when the drive could not be
// opened or prepared or scanActive was found false. The drive is closed on every way out.
// The scan of the next of several media read as one continues the ScanContext of the one before (after
// catalog::BeginNextMedium).
int ScanTape(const TapeDevices& devices, const std::string& deviceName, catalog::Catalog& catalog,
             catalog::CatalogSink& sink, const std::atomic<bool>& scanActive,
             const std::atomic<bool>& stopRequested, TapeScanSummary* summary = nullptr,
             catalog::ScanContext* continuing = nullptr);

}  // namespace ostrum::tape
