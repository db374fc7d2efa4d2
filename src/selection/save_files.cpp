#include "save_files.h"

#include <algorithm>
#include <vector>

#include "catalog/image_scanner.h"
#include "common/saturating.h"
#include "media_pieces.h"
#include "save_run.h"

namespace ostrum::selection {
namespace {

namespace stream_hdr = catalog::mtf::stream_hdr;

// Image reads are large so that saving runs at the disk's speed; small files are read in one piece.
constexpr std::size_t kImageReadSize = 1 << 20;
// Files are synced to disk in batches, at the latest after this many bytes or files: often enough that
// the progress shown follows the work, seldom enough that many small files do not wait on the disk each.
constexpr std::uint64_t kSyncBatchBytes = 256u << 20;
constexpr std::size_t kSyncBatchFiles = 1000;

void Count(SaveTotals& totals, const FileResult& result) {
    switch (result.outcome) {
        case SaveOutcome::Saved:
            ++totals.saved;
            break;
        case SaveOutcome::SavedRenamed:
            ++totals.renamed;
            break;
        case SaveOutcome::Skipped:
            ++totals.skipped;
            break;
        case SaveOutcome::Truncated:
            ++totals.truncated;
            break;
        case SaveOutcome::Failed:
            ++totals.failed;
            break;
        case SaveOutcome::Cancelled:
            ++totals.cancelled;
            break;
        case SaveOutcome::NotAttempted:
            ++totals.notAttempted;
            break;
    }
    const bool ended =
        result.outcome == SaveOutcome::Cancelled || result.outcome == SaveOutcome::NotAttempted;
    if (!result.decoded && !ended) ++totals.notDecoded;
    if (result.checksum == ChecksumCheck::Verified) ++totals.verified;
    if (result.checksum == ChecksumCheck::Mismatch) ++totals.checksumMismatches;
    totals.bytesWritten += result.bytesWritten;
}

// Why an image gave fewer bytes than asked at `position`: a read error, or its end.
std::string ShortReadReason(const catalog::ImageFile& image, std::uint64_t position) {
    const auto size = image.Size();
    if (size && position >= *size) return "the image ends at byte " + std::to_string(*size);
    return image.error().empty() ? "the image could not be read at byte " + std::to_string(position)
                                 : image.error();
}

// Reads one file's header and data with positioned reads: from DataOffset - 22 on, or piece by piece.
void SaveOneFromImage(SaveRun& run, MediaImages& images, std::vector<std::uint8_t>& buffer,
                      FileExtraction& file, const SaveItem& item) {
    if (!item.dataOffset) return file.NotFound("the scan found no data stream for it");
    if (*item.dataOffset < stream_hdr::kSize) {
        return file.NotFound("its data position " + std::to_string(*item.dataOffset) +
                             " leaves no room for a header");
    }
    for (const catalog::DataPart& part : PiecesOf(item)) {
        std::string error;
        const catalog::ImageFile* image = images.Open(part.medium, error);
        if (image == nullptr) return file.SourceEnded(error);
        std::uint64_t position = part.offset;
        std::uint64_t left = part.length;
        while (!file.done() && left > 0) {
            if (run.cancelRequested()) return file.Abandon(SaveOutcome::Cancelled, "cancelled");
            // The stream header that may follow the data is read with their last piece.
            const auto want = static_cast<std::size_t>(
                std::min({std::uint64_t{buffer.size()}, file.wanted() + file.readAhead(), left}));
            const std::size_t got = image->ReadAt(position, std::span(buffer).first(want));
            file.Take(std::span(buffer).first(got));
            position += got;
            left -= got;
            run.ReportProgress(file.dataTaken());
            if (got < want && !file.done()) return file.SourceEnded(ShortReadReason(*image, position));
        }
        if (file.done()) return;
    }
    if (!file.done()) file.SourceEnded(MissingRestText(item));
}

void SaveFromImage(SaveRun& run) {
    MediaImages images(run.request());
    std::string error;
    if (images.Open(0, error) == nullptr) return run.SourceFailed(error);
    std::vector<std::uint8_t> buffer(kImageReadSize);
    for (std::size_t i = 0; i < run.items().size(); ++i) {
        if (run.cancelRequested() || run.destinationFull()) break;
        FileExtraction file = run.Start(i);
        SaveOneFromImage(run, images, buffer, file, run.items()[i]);
        run.Finish(file);
    }
    if (run.cancelRequested()) {
        run.EndTheRest(SaveOutcome::Cancelled, "not reached: the save was cancelled");
    } else if (run.destinationFull()) {
        run.StopAtFullDestination();
    }
}

}  // namespace

// ---- SaveRun ----

SaveRun::SaveRun(std::span<const SaveItem> items, const SaveRequest& request, SaveSink& sink,
                 const std::atomic<bool>& cancel, DestinationFolder& folder)
    : items_(items),
      request_(request),
      sink_(sink),
      cancel_(cancel),
      target_{folder, request.existing, sink},
      ended_(items.size(), false) {
    report_.files.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        report_.files[i].item = i;
        report_.files[i].catalogPath = items[i].catalogPath;
        total_ = common::SaturatingAdd(total_, items[i].size.value_or(0));
    }
}

FileExtraction SaveRun::Start(std::size_t item) {
    FileExtraction file(items_[item], item, target_);
    sink_.StatusLine("Saving " + file.destinationText());
    sink_.FileStarted(item, file.destinationText());
    return file;
}

void SaveRun::Finish(const FileExtraction& file) {
    const FileResult& result = file.result();
    report_.files[result.item] = result;
    ended_[result.item] = true;
    // A file that ended early counts as done all the same, so that the count reaches the total; a
    // cancelled one does not, since the save stops there.
    if (result.outcome != SaveOutcome::Cancelled)
        done_ = common::SaturatingAdd(done_, items_[result.item].size.value_or(0));
    unreported_.push_back(result.item);
    if (!result.savedAs.empty()) {
        ++unsyncedFiles_;
        unsyncedBytes_ += result.bytesWritten;
    }
    if (unsyncedFiles_ == 0 || unsyncedFiles_ >= kSyncBatchFiles || unsyncedBytes_ >= kSyncBatchBytes)
        SyncAndReport();
    ReportProgress(0);
}

void SaveRun::SyncAndReport() {
    std::string error;
    if (unsyncedFiles_ > 0 && !target_.folder.Sync(error)) {
        for (std::size_t item : unreported_) {
            FileResult& result = report_.files[item];
            if (result.savedAs.empty()) continue;
            result.outcome = SaveOutcome::Failed;
            result.reason = "written as '" + result.savedAs + "', but " + error +
                            (result.reason.empty() ? "" : "; " + result.reason);
        }
    }
    for (std::size_t item : unreported_) sink_.FileFinished(report_.files[item]);
    unreported_.clear();
    unsyncedFiles_ = 0;
    unsyncedBytes_ = 0;
}

void SaveRun::ReportProgress(std::uint64_t active) {
    sink_.Progress(std::min(common::SaturatingAdd(done_, active), total_), total_);
}

void SaveRun::EndTheRest(SaveOutcome outcome, const std::string& reason) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (ended_[i]) continue;
        ended_[i] = true;
        report_.files[i].outcome = outcome;
        report_.files[i].reason = reason;
    }
    if (outcome == SaveOutcome::Cancelled) report_.cancelled = true;
}

bool SaveRun::destinationFull() const {
    return target_.folder.full();
}

void SaveRun::StopAtFullDestination() {
    report_.destinationFull = target_.folder.fullReason();
    sink_.StatusLine("The destination is full (" + report_.destinationFull +
                     "): the remaining files are not attempted");
    EndTheRest(SaveOutcome::NotAttempted, "destination full");
}

void SaveRun::SourceFailed(const std::string& error) {
    report_.error = error;
    EndTheRest(SaveOutcome::Failed, error);
}

SaveReport SaveRun::TakeReport() {
    SyncAndReport();
    report_.totals = {};
    for (const auto& result : report_.files) Count(report_.totals, result);
    if (cancelRequested()) report_.cancelled = true;
    return std::move(report_);
}

// ---- public ----

std::string_view OutcomeText(SaveOutcome outcome) {
    switch (outcome) {
        case SaveOutcome::Saved:
            return "saved";
        case SaveOutcome::SavedRenamed:
            return "saved under another name";
        case SaveOutcome::Skipped:
            return "skipped";
        case SaveOutcome::Truncated:
            return "truncated";
        case SaveOutcome::Failed:
            return "failed";
        case SaveOutcome::Cancelled:
            return "cancelled";
        case SaveOutcome::NotAttempted:
            return "not attempted";
    }
    return "unknown";
}

bool SaveReport::AllSavedWhole() const {
    if (!error.empty() || cancelled) return false;
    return std::all_of(files.begin(), files.end(), [](const FileResult& result) {
        const bool complete = result.outcome == SaveOutcome::Saved ||
                              result.outcome == SaveOutcome::SavedRenamed ||
                              result.outcome == SaveOutcome::Skipped;
        return complete && result.decoded && result.checksum != ChecksumCheck::Mismatch;
    });
}

SaveItem SaveItemOf(const catalog::FileRow& row) {
    return SaveItem{std::string(row.path), row.size,     row.dataOffset,
                    row.chunkIndex,        row.modified, row.dataOffsetInChunk};
}

std::vector<SaveItem> CheckedItems(const catalog::Catalog& catalog) {
    std::vector<SaveItem> items;
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        if (!catalog.row(i).checked) continue;
        items.push_back(SaveItemOf(catalog.row(i)));
        AddMediaPieces(items.back(), catalog, i);
    }
    return items;
}

SaveReport SaveFiles(std::span<const SaveItem> items, const SaveRequest& request, SaveSink& sink,
                     const std::atomic<bool>& cancel) {
    std::string error;
    auto folder = DestinationFolder::Open(request.destination, error, request.destinationCalls);
    if (!folder) {
        SaveReport report;
        report.error = error;
        for (std::size_t i = 0; i < items.size(); ++i) {
            report.files.push_back({i, items[i].catalogPath, SaveOutcome::Failed, {}, true, 0, error});
        }
        report.totals.failed = items.size();
        return report;
    }
    SaveRun run(items, request, sink, cancel, *folder);
    if (request.SourceIsTape) {
        SaveFromTape(run);
    } else {
        SaveFromImage(run);
    }
    return run.TakeReport();
}

SaveReport SaveCheckedFiles(const catalog::Catalog& catalog, const SaveRequest& request, SaveSink& sink,
                            const std::atomic<bool>& cancel) {
    const std::vector<SaveItem> items = CheckedItems(catalog);
    return SaveFiles(items, request, sink, cancel);
}

}  // namespace ostrum::selection
