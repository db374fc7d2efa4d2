#include "save/save_files.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <limits>
#include <thread>
#include <unordered_map>
#include <vector>

#include "catalog/image_scanner.h"
#include "common/saturating.h"
#include "save/media_pieces.h"
#include "save/save_run.h"
#include "save/save_writers.h"

namespace ostrum::save {
namespace {

namespace stream_hdr = catalog::mtf::stream_hdr;

// Data copied or read here are taken in pieces this large: progress and a cancel follow them.
constexpr std::size_t kImageReadSize = 1 << 20;
// Files of up to this many bytes are read with their header, and handed to a writer with their data;
// larger ones are copied from the image by the writer itself.
constexpr std::uint64_t kReadWithHeader = 256u << 10;
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

// Saving from an image, reading the files in the order of the items. A small file stored as it is, read
// with its header, goes to the writers (SaveWriters), which create it and write its data while the next
// files are read; such files are taken back, and named, in the order of the items. Any other file is saved
// here once the files before it are back: a large one stored as it is is copied inside the kernel, a
// decoded one read and written.
class ImageSave {
  public:
    ImageSave(SaveRun& run, SaveItemSource& source, MediaImages& images)
        : run_(run), source_(source), images_(images), handedOver_(run) {}

    void Run();

  private:
    void SaveOne(std::size_t index);
    void SaveInPieces(FileExtraction& file, const SaveItem& item);
    static bool ChecksumFollows(const common::ImageFile& image, std::uint64_t headerAt, std::uint64_t length,
                                std::span<const std::uint8_t> read);
    void CopyData(const common::ImageFile& image, FileExtraction& file, std::uint64_t position);
    void ReadRest(const common::ImageFile& image, FileExtraction& file, std::uint64_t position,
                  std::uint64_t left = std::numeric_limits<std::uint64_t>::max());

    SaveRun& run_;
    SaveItemSource& source_;
    MediaImages& images_;
    HandedOverFiles handedOver_;
    std::vector<std::uint8_t> buffer_;
};

void ImageSave::Run() {
    while (!run_.cancelRequested() && !run_.destinationFull()) {
        auto item = source_.Next();
        if (!item) break;
        SaveOne(run_.Add(std::move(*item)));
    }
    handedOver_.TakeBackAll();
    run_.AddAll(source_);  // the items not reached
    if (run_.cancelRequested()) {
        run_.EndTheRest(SaveOutcome::Cancelled, "not reached: the save was cancelled");
    } else if (run_.destinationFull()) {
        run_.StopAtFullDestination();
    }
}

void ImageSave::SaveOne(std::size_t index) {
    const SaveItem& item = run_.items()[index];
    FileExtraction file = run_.Start(index);
    // A file of the same destination as one still with the writers waits for it: names are given in the
    // order of the items.
    if (handedOver_.Waits(file.destinationText())) handedOver_.TakeBackAll();
    if (auto reason = NoDataReason(item)) file.NotFound(*reason);
    if (file.done()) {
        handedOver_.TakeBackAll();
        return run_.Finish(file);
    }
    // A file the end of a medium cut lies in pieces, read one after the other.
    if (!item.parts.empty()) {
        handedOver_.TakeBackAll();
        SaveInPieces(file, item);
        return run_.Finish(file);
    }
    std::string error;
    const common::ImageFile* image = images_.Open(item.medium, error);
    if (image == nullptr) {
        handedOver_.TakeBackAll();
        file.SourceEnded(error);
        return run_.Finish(file);
    }

    // The header and, for a small file, its data and what follows them up to a CSUM stream's value, in
    // one read.
    const std::uint64_t position = *item.dataOffset - stream_hdr::kSize;
    const std::uint64_t expected = item.size.value_or(0);
    std::vector<std::uint8_t> bytes(stream_hdr::kSize +
                                    (expected <= kReadWithHeader ? expected + kMostTrailer : 0));
    const common::ImageRead read = image->Read(position, bytes);
    bytes.resize(read.count);
    const std::size_t header = std::min(read.count, stream_hdr::kSize);
    file.Take(std::span(bytes).first(header));
    // Data that need no look on the way go to a writer, or are copied inside the kernel; the others are
    // taken here, the bytes read with the header first.
    const bool plain = file.PlainData() && !ChecksumFollows(*image, position, file.wanted(), bytes);
    if (plain && header + file.wanted() <= read.count) {
        return handedOver_.HandOver(std::move(file), std::move(bytes), header);
    }
    handedOver_.TakeBackAll();
    std::uint64_t next = position + read.count;
    if (plain) {
        CopyData(*image, file, position + header);
        next = position + header + file.dataTaken();
    } else if (!file.done() && read.count > header) {
        file.Take(std::span(bytes).subspan(header));
    }
    if (!file.done()) ReadRest(*image, file, next);
    run_.Finish(file);
}

// Reads the pieces of a file spread over several media, from each medium's image in turn.
void ImageSave::SaveInPieces(FileExtraction& file, const SaveItem& item) {
    std::size_t gaps = 0;
    for (const catalog::DataPart& part : PiecesOf(item)) {
        if (part.missingBefore != 0) file.SkipMissing(part.missingBefore, item.missingBetween.at(gaps++));
        if (file.done()) return;
        std::string error;
        const common::ImageFile* image = images_.Open(part.medium, error);
        if (image == nullptr) return file.SourceEnded(error);
        ReadRest(*image, file, part.offset, part.length);
        if (file.done()) return;
    }
    file.SourceEnded(MissingRestText(item));
}

// Whether a CSUM stream follows the `length` data bytes of the stream whose header lies at image byte
// `headerAt`: from the bytes read from there on when they reach so far, else from the image. None follows
// where the image ends first.
bool ImageSave::ChecksumFollows(const common::ImageFile& image, std::uint64_t headerAt, std::uint64_t length,
                                std::span<const std::uint8_t> read) {
    const std::uint64_t next = NextStreamHeaderDistance(length);
    if (next + stream_hdr::kSize <= read.size()) {
        return IsChecksumStreamHeader(read.subspan(static_cast<std::size_t>(next), stream_hdr::kSize));
    }
    std::array<std::uint8_t, stream_hdr::kSize> following{};
    const common::ImageRead got = image.Read(headerAt + next, following);
    return got.count == following.size() && IsChecksumStreamHeader(following);
}

// Copies a file's data inside the kernel, as far as the kernel does; ReadRest does the rest.
void ImageSave::CopyData(const common::ImageFile& image, FileExtraction& file, std::uint64_t position) {
    OutputFile* output = file.DirectOutput();
    while (output != nullptr && !file.done()) {
        if (run_.cancelRequested()) return file.Abandon(SaveOutcome::Cancelled, "cancelled");
        const std::uint64_t want = std::min<std::uint64_t>(kImageReadSize, file.wanted());
        const std::uint64_t copied = output->CopyFrom(image.descriptor(), position, want);
        position += copied;
        file.DataCopied(copied);
        run_.ReportProgress(file.dataTaken());
        if (copied < want) return;
    }
}

// Reads the rest of a file, at most `left` bytes from `position` on, and hands it to the file to write. A
// short read ends the file.
void ImageSave::ReadRest(const common::ImageFile& image, FileExtraction& file, std::uint64_t position,
                         std::uint64_t left) {
    if (buffer_.empty()) buffer_.resize(kImageReadSize);
    while (!file.done() && left > 0) {
        if (run_.cancelRequested()) return file.Abandon(SaveOutcome::Cancelled, "cancelled");
        // The stream header that may follow the data is read with their last piece.
        const auto want = static_cast<std::size_t>(
            std::min({std::uint64_t{buffer_.size()}, file.wanted() + file.readAhead(), left}));
        const std::size_t got = image.ReadAt(position, std::span(buffer_).first(want));
        file.Take(std::span(buffer_).first(got));
        position += got;
        left -= got;
        run_.ReportProgress(file.dataTaken());
        if (got < want && !file.done()) file.SourceEnded(ShortReadReason(image, position));
    }
}

void SaveFromImage(SaveRun& run, SaveItemSource& source) {
    MediaImages images(run.request());
    std::string error;
    if (images.Open(0, error) == nullptr) {
        run.AddAll(source);
        return run.SourceFailed(error);
    }
    ImageSave(run, source, images).Run();
}

// The items of a span, one by one.
class SpanSource final : public SaveItemSource {
  public:
    explicit SpanSource(std::span<const SaveItem> items) : items_(items) {}
    std::optional<SaveItem> Next() override {
        if (next_ == items_.size()) return std::nullopt;
        return items_[next_++];
    }

  private:
    std::span<const SaveItem> items_;
    std::size_t next_ = 0;
};

}  // namespace

// ---- SaveRun ----

SaveRun::SaveRun(const SaveRequest& request, SaveSink& sink, const std::atomic<bool>& cancel,
                 DestinationFolder& folder)
    : request_(request), sink_(sink), cancel_(cancel), target_{folder, request.existing, sink} {}

std::size_t SaveRun::Add(SaveItem item) {
    const std::size_t index = items_.size();
    total_ = common::SaturatingAdd(total_, item.size.value_or(0));
    FileResult& result = report_.files.emplace_back();
    result.item = index;
    result.catalogPath = item.catalogPath;
    ended_.push_back(false);
    items_.push_back(std::move(item));
    return index;
}

void SaveRun::AddAll(SaveItemSource& source) {
    while (auto item = source.Next()) Add(std::move(*item));
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
    if (sync_.valid()) ReportSynced(false);
    if (!sync_.valid()) {
        if (unsyncedFiles_ == 0) {
            Report(std::exchange(unreported_, {}), true, {});
        } else if (unsyncedFiles_ >= kSyncBatchFiles || unsyncedBytes_ >= kSyncBatchBytes) {
            StartSync();
        }
    }
    ReportProgress(0);
}

void SaveRun::StartSync() {
    syncing_ = std::exchange(unreported_, {});
    unsyncedFiles_ = 0;
    unsyncedBytes_ = 0;
    DestinationFolder& folder = target_.folder;
    sync_ = std::async(std::launch::async, [&folder, folders = folder.TakeUnsynced()] {
        std::string error;
        return folder.SyncFolders(folders, error) ? std::string() : error;
    });
}

void SaveRun::ReportSynced(bool wait) {
    if (!sync_.valid()) return;
    if (!wait && sync_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    const std::string error = sync_.get();
    Report(std::exchange(syncing_, {}), error.empty(), error);
}

void SaveRun::SyncAndReport() {
    ReportSynced(true);
    std::string error;
    const bool synced = unsyncedFiles_ == 0 || target_.folder.Sync(error);
    Report(std::exchange(unreported_, {}), synced, error);
    unsyncedFiles_ = 0;
    unsyncedBytes_ = 0;
}

void SaveRun::Report(const std::vector<std::size_t>& ended, bool synced, const std::string& error) {
    for (std::size_t item : ended) {
        FileResult& result = report_.files[item];
        if (!synced && !result.savedAs.empty()) {
            result.outcome = SaveOutcome::Failed;
            result.reason = "written as '" + result.savedAs + "', but " + error +
                            (result.reason.empty() ? "" : "; " + result.reason);
        }
        sink_.FileFinished(result);
    }
}

void SaveRun::ReportProgress(std::uint64_t active) {
    // Bytes of files handed to the writers count once the files are back: what is reported meanwhile
    // may be less than what was reported before, and is not let go back.
    reported_ = std::max(reported_, std::min(common::SaturatingAdd(done_, active), total_));
    sink_.Progress(reported_, total_);
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
    return SaveItem{row.path().str(), row.storedSize(), row.dataOffset(),
                    row.chunkIndex(), row.modified(),   row.dataOffsetInChunk()};
}

std::vector<SaveItem> CheckedItems(const catalog::Catalog& catalog) {
    std::vector<SaveItem> items;
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        if (!catalog.row(i).checked()) continue;
        items.push_back(SaveItemOf(catalog.row(i)));
        AddMediaPieces(items.back(), catalog, i);
    }
    return items;
}

SaveReport SaveFiles(std::span<const SaveItem> items, const SaveRequest& request, SaveSink& sink,
                     const std::atomic<bool>& cancel) {
    SpanSource source(items);
    return SaveFiles(source, request, sink, cancel);
}

SaveReport SaveFiles(SaveItemSource& items, const SaveRequest& request, SaveSink& sink,
                     const std::atomic<bool>& cancel) {
    std::string error;
    auto folder = DestinationFolder::Open(request.destination, error, request.destinationCalls);
    if (!folder) {
        SaveReport report;
        report.error = error;
        while (auto item = items.Next()) {
            report.files.push_back(
                {report.files.size(), item->catalogPath, SaveOutcome::Failed, {}, true, 0, error});
        }
        report.totals.failed = report.files.size();
        return report;
    }
    SaveRun run(request, sink, cancel, *folder);
    if (request.sourceIsTape) {
        run.AddAll(items);
        SaveFromTape(run);
    } else {
        SaveFromImage(run, items);
    }
    return run.TakeReport();
}

SaveReport SaveCheckedFiles(const catalog::Catalog& catalog, const SaveRequest& request, SaveSink& sink,
                            const std::atomic<bool>& cancel) {
    const std::vector<SaveItem> items = CheckedItems(catalog);
    return SaveFiles(items, request, sink, cancel);
}

}  // namespace ostrum::save
