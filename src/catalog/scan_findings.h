// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a scan found of MTF data on a medium, beside its catalog: the bytes it went over and the sound
// descriptor blocks it met. They tell a file that holds no MTF data at all (a text file, a database's own
// compressed backup) from a medium whose files were missed, and give the words for it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "catalog/catalog.h"
#include "catalog/scan_context.h"

namespace ostrum::catalog {

struct ScanFindings {
    std::uint64_t bytesExamined = 0;  // bytes of the medium the scan went over
    // TAPE, SSET, DIRB, FILE, ESET and EOTM blocks met whose block header checksum holds.
    std::uint64_t soundBlocks = 0;
    bool catalogued = false;  // a file, folder or backup set was catalogued from the medium
    // Places where the normal scan of an image found neither a block nor blank bytes where the streams of
    // a file said the next block begins: the blocks after them left the 512-byte grid (grid_watch.h).
    std::uint64_t gridLosses = 0;
    std::optional<std::uint64_t> firstGridLoss;  // the first such place, as a byte offset
};

// Taken as the scan of a medium begins (in a context that may go on from the medium before): afterwards
// it gives the findings' soundBlocks and catalogued for this medium alone.
class FindingsMark {
  public:
    explicit FindingsMark(const ScanContext& context);
    void Fill(const ScanContext& context, ScanFindings& found) const;

  private:
    std::uint64_t soundBlocks_, gridLosses_;
    std::size_t rows_, nodes_, sets_;
};

// True when the scan found MTF data on the medium: a sound descriptor block, or anything catalogued (the
// handlers act on blocks without testing every header checksum, and what they catalogued is listed).
bool FoundMtfData(const ScanFindings& findings);

// "no MTF data found in NAME (N bytes examined)", NAME as the medium was named.
std::string NoMtfDataText(std::string_view name, std::uint64_t bytesExamined);

// Whether the deep scan may find files that the normal scan of `media` into `catalog` did not: when it
// found no file and no backup set. Sets found without files are what a database backup holds, which the
// deep scan would not change; a medium without MTF data on the 512-byte grid may still hold blocks that
// left it (an image cut or shifted by a few bytes), unless it is too small to hold a file at all.
bool DeepScanMayFindFiles(const Catalog& catalog, std::span<const ScanFindings> media);

}  // namespace ostrum::catalog
