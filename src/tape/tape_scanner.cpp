// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/tape_scanner.h"

#include <memory>
#include <optional>

#include "catalog/chunk_view.h"
#include "catalog/image_scanner.h"
#include "catalog/media_span.h"
#include "catalog/mtf_layout.h"
#include "catalog/scan_context.h"
#include "common/saturating.h"
#include "tape/tape_operations.h"
#include "tape/tape_pass_reader.h"

namespace ostrum::tape {
namespace {

namespace mtf = catalog::mtf;

// Percent of the capacity read so far; nothing when the medium gave no capacity.
std::optional<int> ProgressPercent(std::uint64_t delivered, std::int64_t capacity) {
    if (capacity <= 0) return std::nullopt;
    return common::PercentOf(delivered, static_cast<std::uint64_t>(capacity));
}

void NotePass(const TapePass& pass, TapeScanSummary& summary) {
    summary.bytes += pass.read.count;
    if (pass.read.end == ReadEnd::Filemark || pass.read.end == ReadEnd::Setmark) ++summary.marks;
    if (pass.read.end == ReadEnd::Error) {
        ++summary.readErrors;
        summary.lastReadError = pass.read.error;
    }
}

// The read loop over the passes of the tape: returns false when scanActive was found false.
bool ReadLoop(TapePassReader& passes, catalog::ScanContext& context, catalog::CatalogSink& sink,
              std::int64_t capacity, const std::atomic<bool>& scanActive, TapeScanSummary& summary) {
    const std::uint64_t shownCapacity = capacity > 0 ? static_cast<std::uint64_t>(capacity) : 0;
    while (auto pass = passes.Next()) {
        NotePass(*pass, summary);
        const catalog::ChunkView chunk(pass->bytes, pass->deliveredTotal, pass->chunkIndex,
                                       &passes.following());
        const std::size_t slots = pass->bytes.size() / mtf::kSlotSize;
        if (!catalog::ExamineSlots(context, chunk, slots, scanActive)) return false;
        if (auto percent = ProgressPercent(pass->deliveredTotal, capacity)) sink.Progress(*percent);
        sink.PositionLine(catalog::PositionText(pass->shownPosition, shownCapacity));
    }
    summary.endOfData = passes.end() == TapePassReader::End::EndOfData;
    summary.gaveUp = passes.end() == TapePassReader::End::GaveUp;
    summary.stopped = passes.end() == TapePassReader::End::Stopped;
    return true;
}

}  // namespace

int ScanTape(const TapeDevices& devices, const std::string& deviceName, catalog::Catalog& catalog,
             catalog::CatalogSink& sink, const std::atomic<bool>& scanActive,
             const std::atomic<bool>& stopRequested, TapeScanSummary* summaryOut,
             catalog::ScanContext* continuing) {
    TapeScanSummary local;
    TapeScanSummary& summary = summaryOut != nullptr ? *summaryOut : local;
    summary = TapeScanSummary{};
    // A Stop that came before the scan started ends it before the drive is touched.
    if (!scanActive.load() || stopRequested.load()) {
        summary.stopped = true;
        return scanActive.load() ? 1 : 0;
    }

    // The drive closes when `drive` goes out of scope, on every way out.
    std::unique_ptr<TapeDrive> drive;
    if (TapeResult opened = OpenTapeForReading(devices, deviceName, drive); !opened) {
        summary.error = opened.error();
        return 0;
    }
    if (TapeResult rewound = RewindTape(*drive); !rewound) {
        summary.error = rewound.error();
        return 0;
    }
    sink.StatusLine("Geting Madia information..");
    if (TapeResult queried = QueryTapeCapacity(*drive, summary.capacity); !queried) {
        summary.error = queried.error();
        return 0;
    }
    SetUpBlockMode(*drive);

    // The tape's first block is read and set aside as the pass reader starts.
    TapePassReader passes(*drive, stopRequested);
    catalog::ScanContext fresh(catalog, sink);
    catalog::ScanContext& context = continuing != nullptr ? *continuing : fresh;
    // The first block set aside is the tape's TAPE block: it says which medium of which family this is.
    const auto first = passes.firstBlock();
    const catalog::FindingsMark mark(context);
    if (first.size() >= mtf::kSlotSize) {
        catalog::CountSoundBlock(context, first);
        catalog::OnTapeBlock(context, catalog::ChunkView(first, 0), 0);
    }
    sink.StatusLine("Serching files..");
    const bool finished = ReadLoop(passes, context, sink, summary.capacity, scanActive, summary);
    summary.reads = passes.reads();
    summary.found.bytesExamined = first.size() + summary.bytes;
    catalog::EndMediumFrameWalk(context);
    mark.Fill(context, summary.found);
    if (!finished) {
        summary.stopped = true;
        return 0;
    }
    catalog::RestateFilesFound(context);
    return 1;
}

}  // namespace ostrum::tape
