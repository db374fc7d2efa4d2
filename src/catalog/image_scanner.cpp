// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/image_scanner.h"

#include <vector>

#include "catalog/chunk_view.h"
#include "catalog/deep_scan.h"
#include "catalog/image_reads.h"
#include "catalog/mtf_layout.h"
#include "catalog/scan_context.h"
#include "common/reads_ahead.h"
#include "common/saturating.h"

namespace ostrum::catalog {
namespace {

// Examines the whole slots of one chunk; false when the scan was stopped.
bool ExamineChunk(ScanContext& context, const common::ImageSource& image, std::span<const std::uint8_t> bytes,
                  std::uint64_t position, std::size_t slots, const std::atomic<bool>& scanActive) {
    ImageFollowing following(image, position + bytes.size());
    return ExamineSlots(context, ChunkView(bytes, position, std::nullopt, &following), slots, scanActive);
}

// Counts a part of the image that could not be read from `failedAt` on; an empty `error` is the image's
// end come early.
void NoteUnreadable(ImageScanSummary& summary, std::uint64_t failedAt, std::string error) {
    if (error.empty()) {
        error = "the image ends at byte " + std::to_string(failedAt) +
                ", before the size it had when the scan began";
    }
    ++summary.readErrors;
    if (summary.unreadableOffsets.size() < ImageScanSummary::kOffsetsKept) {
        summary.unreadableOffsets.push_back(failedAt);
    }
    summary.lastReadError = std::move(error);
}

// Whole chunks are read this many at a time: few reads, and the windows read ahead fit the processor's
// cache.
constexpr std::uint64_t kChunksPerWindow = 16;

}  // namespace

std::span<const std::uint8_t> ReadChunk(const common::ImageSource& image, std::uint64_t position,
                                        std::span<std::uint8_t> buffer, ImageScanSummary& summary) {
    common::ImageRead read = image.Read(position, buffer);
    if (read.count < buffer.size()) NoteUnreadable(summary, position + read.count, std::move(read.error));
    return std::span<const std::uint8_t>(buffer).first(read.count);
}

std::string PositionText(std::uint64_t position, std::uint64_t total) {
    return std::to_string(position) + " \\ " + std::to_string(total);
}

namespace {

// The scan of the 512-byte slots counted from the image's start.
int ScanSlots(const common::ImageSource& image, ScanContext& context, CatalogSink& sink,
              const std::atomic<bool>& scanActive, ImageScanSummary& summary) {
    // A size that cannot be queried scans as an empty file.
    const std::uint64_t size = image.Size().value_or(0);
    sink.StatusLine("Serching Files");

    std::vector<std::uint8_t> chunkBuffer(mtf::kChunkSize);
    // Whole chunks are read a window at a time by a thread of their own, ahead of the scan. A window read
    // short (a read failed, or the image ended before its size) is read again a chunk at a time, so that
    // every chunk's failure is noted as the plain reads note it.
    const std::uint64_t wholeChunks = size / mtf::kChunkSize * mtf::kChunkSize;
    std::optional<common::ReadsAhead> ahead;
    if (image.ReadsBestAhead() && wholeChunks > 0) {
        ahead.emplace(image, 0, wholeChunks, kChunksPerWindow * mtf::kChunkSize);
    }
    std::optional<common::ReadsAhead::Window> window;
    std::uint64_t position = 0;
    while (position < size) {
        if (!scanActive.load(std::memory_order_relaxed)) return 0;
        if (position + mtf::kChunkSize > size) break;
        if (window && position - window->offset >= kChunksPerWindow * mtf::kChunkSize) {
            ahead->Return(*window);
            window.reset();
        }
        if (!window && ahead) {
            window = ahead->Next();
            if (!window) ahead.reset();
        }
        const auto bytes = window && window->complete
                               ? window->bytes.subspan(position - window->offset, mtf::kChunkSize)
                               : ReadChunk(image, position, chunkBuffer, summary);
        summary.found.bytesExamined += bytes.size();
        if (!ExamineChunk(context, image, bytes, position, mtf::kSlotsPerChunk, scanActive)) {
            return 0;
        }
        position += mtf::kChunkSize;
        sink.Progress(common::PercentOf(position, size));
        sink.PositionLine(PositionText(position, size));
    }

    const std::uint64_t remainder = size % mtf::kChunkSize;
    if (remainder > mtf::kSlotSize) {
        const auto tail = std::span(chunkBuffer).first(static_cast<std::size_t>(remainder));
        const auto bytes = ReadChunk(image, position, tail, summary);
        summary.found.bytesExamined += bytes.size();
        if (!ExamineChunk(context, image, bytes, position, remainder / mtf::kSlotSize, scanActive)) {
            return 0;
        }
    } else if (remainder < mtf::kSlotSize) {
        summary.found.bytesExamined += remainder;  // too short to hold a block: known without reading
    }
    return 1;
}

}  // namespace

int ScanImageFile(const common::ImageSource& image, Catalog& catalog, CatalogSink& sink,
                  const std::atomic<bool>& scanActive, ImageScanSummary* summaryOut,
                  const ImageScanOptions& options) {
    ImageScanSummary local;
    ImageScanSummary& summary = summaryOut != nullptr ? *summaryOut : local;
    summary = ImageScanSummary{};
    ScanContext fresh(catalog, sink);
    ScanContext& context = options.continuing != nullptr ? *options.continuing : fresh;
    const FindingsMark mark(context);
    // The deep scan finds the blocks off the grid itself: only the normal scan watches it.
    context.grid.image = options.deep ? nullptr : &image;
    const int result = options.deep ? DeepScanImage(image, context, sink, scanActive, summary)
                                    : ScanSlots(image, context, sink, scanActive, summary);
    EndMediumFrameWalk(context);
    if (result == 1) SettleGridNote(context.grid);
    context.grid.note.active = false;
    context.grid.image = nullptr;
    mark.Fill(context, summary.found);
    if (result == 1) RestateFilesFound(context);
    return result;
}

}  // namespace ostrum::catalog
