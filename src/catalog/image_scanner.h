// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scanning an image file: the tape's bytes copied into an ordinary file (or an old ".bkf" backup).

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/scan_findings.h"
#include "common/byte_source.h"

namespace ostrum::catalog {

struct ScanContext;

// What a scan of an image met besides the catalog: the reads that failed, and what it found of MTF data
// at all. A failed read is skipped: the slots of what it delivered are examined and the scan goes on with
// the next chunk. The bytes examined are those delivered, and a tail too short to hold a slot.
struct ImageScanSummary {
    // Offsets named in unreadableOffsets at most; readErrors counts them all.
    static constexpr std::size_t kOffsetsKept = 100;

    std::uint64_t readErrors = 0;                  // chunks that could not be read whole
    std::vector<std::uint64_t> unreadableOffsets;  // where each of the first kOffsetsKept failed reads failed
    std::string lastReadError;
    ScanFindings found;
};

// How an image is scanned.
struct ImageScanOptions {
    // The deep scan, for images cut or shifted by a number of bytes that is not a multiple of 512, or
    // with junk bytes inside: besides the 512-byte slots counted from the image's start, it finds block
    // headers at any byte offset by their tag and their header checksum, and from each such header on
    // also examines the slots on that header's grid, until another header moves the grid again. The
    // blocks found are handled by the same rules, so its catalog holds every file of the normal scan.
    bool deep = false;
    // The scan of the next of several media read as one continues the ScanContext of the one before
    // (after BeginNextMedium); none: a fresh one.
    ScanContext* continuing = nullptr;
};

// Scans the whole image for SSET, DIRB and FILE blocks in 65,536-byte chunks and 512-byte slots,
// adding what it finds to the catalog and reporting status, position and progress to the sink. The
// caller sets scanActive to true before it starts the scan (on a worker, before starting the worker);
// the scan only reads it, and stops as soon as it finds it false (before every chunk and every slot).
// Returns 1 after examining the whole file, 0 when stopped. Read failures go into `summary`.
int ScanImageFile(const common::ImageSource& image, Catalog& catalog, CatalogSink& sink,
                  const std::atomic<bool>& scanActive, ImageScanSummary* summary = nullptr,
                  const ImageScanOptions& options = {});

// The PositionLine text: both numbers in full, joined by " \ ".
std::string PositionText(std::uint64_t position, std::uint64_t total);

}  // namespace ostrum::catalog
