#include "tape_scanner.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "catalog/chunk_view.h"
#include "catalog/image_scanner.h"
#include "catalog/mtf_layout.h"
#include "catalog/scan_context.h"
#include "lookahead_reader.h"
#include "tape_operations.h"

namespace ostrum::tape {
namespace {

namespace mtf = catalog::mtf;

constexpr LookaheadReader::Limits kLookahead{kMaxLookaheadBytes, kMaxLookaheadReads,
                                             kMaxConsecutiveReadFailures};

// The counters of the read loop.
struct LoopCounters {
    std::uint64_t shownPosition = 0;  // bytes of all reads before the current one, the discarded one included
    std::uint64_t deliveredTotal = 0;  // bytes of all reads of the loop, the current one included
    std::uint64_t chunkIndex = 0;      // passes of the loop before the current one
    std::size_t previousCount = 0;     // bytes of the previous read
    int failureRun = 0;                // consecutive failed reads up to the current one
};

// Percent of the capacity read so far; nothing when the medium gave no capacity.
std::optional<int> ProgressPercent(std::uint64_t delivered, std::int64_t capacity) {
    if (capacity <= 0) return std::nullopt;
    return static_cast<int>(
        std::min<std::uint64_t>(100, delivered * 100 / static_cast<std::uint64_t>(capacity)));
}

// Examines the whole slots of one read; false when scanActive was found false.
bool ExamineRead(catalog::ScanContext& context, const catalog::ChunkView& chunk, std::size_t count,
                 const std::atomic<bool>& scanActive) {
    for (std::size_t slot = 0; slot + mtf::kSlotSize <= count; slot += mtf::kSlotSize) {
        if (!scanActive.load(std::memory_order_relaxed)) return false;
        catalog::ExamineSlot(context, chunk, slot);
    }
    return true;
}

void NoteRead(const TapeRead& read, LoopCounters& counters, TapeScanSummary& summary) {
    ++summary.reads;
    summary.bytes += read.count;
    if (read.end == ReadEnd::Filemark || read.end == ReadEnd::Setmark) ++summary.marks;
    if (read.end == ReadEnd::Error) {
        ++summary.readErrors;
        summary.lastReadError = read.error;
        ++counters.failureRun;
    } else {
        counters.failureRun = 0;
    }
}

// The read loop: returns false when scanActive was found false.
bool ReadLoop(LookaheadReader& reader, catalog::ScanContext& context, catalog::CatalogSink& sink,
              std::int64_t capacity, LoopCounters& counters, const std::atomic<bool>& scanActive,
              const std::atomic<bool>& stopRequested, TapeScanSummary& summary) {
    std::vector<std::uint8_t> chunkBuffer(TapeReadSize);
    const std::uint64_t shownCapacity = capacity > 0 ? static_cast<std::uint64_t>(capacity) : 0;
    while (!stopRequested.load(std::memory_order_relaxed)) {
        counters.shownPosition += counters.previousCount;
        const TapeRead read = reader.Next(chunkBuffer);
        counters.deliveredTotal += read.count;
        counters.previousCount = read.count;
        NoteRead(read, counters, summary);
        if (read.end == ReadEnd::EndOfData) {
            summary.endOfData = true;
            return true;
        }

        const catalog::ChunkView chunk(std::span<const std::uint8_t>(chunkBuffer).first(read.count),
                                       counters.deliveredTotal, counters.chunkIndex, &reader.following());
        if (!ExamineRead(context, chunk, read.count, scanActive)) return false;
        if (auto percent = ProgressPercent(counters.deliveredTotal, capacity)) sink.Progress(*percent);
        sink.PositionLine(catalog::PositionText(counters.shownPosition, shownCapacity));
        ++counters.chunkIndex;
        if (counters.failureRun >= kMaxConsecutiveReadFailures) {
            summary.gaveUp = true;
            return true;
        }
    }
    summary.stopped = true;
    return true;
}

}  // namespace

int ScanTape(const TapeDevices& devices, const std::string& deviceName, catalog::Catalog& catalog,
             catalog::CatalogSink& sink, std::atomic<bool>& scanActive, std::atomic<bool>& stopRequested,
             TapeScanSummary* summaryOut) {
    TapeScanSummary local;
    TapeScanSummary& summary = summaryOut != nullptr ? *summaryOut : local;
    summary = TapeScanSummary{};
    stopRequested.store(false);
    scanActive.store(true);

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

    LookaheadReader reader(*drive, stopRequested, kLookahead);
    LoopCounters counters;
    {
        // The tape's first block is read and set aside; only its length counts, in the shown position.
        std::vector<std::uint8_t> discarded(TapeReadSize);
        counters.previousCount = reader.Next(discarded).count;
    }
    catalog::ScanContext context(catalog, sink);
    sink.StatusLine("Serching files..");
    if (!ReadLoop(reader, context, sink, summary.capacity, counters, scanActive, stopRequested, summary)) {
        summary.stopped = true;
        return 0;
    }
    return 1;
}

}  // namespace ostrum::tape
