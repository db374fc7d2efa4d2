// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/save_run.h"

#include <algorithm>
#include <chrono>

#include "common/saturating.h"

namespace ostrum::save {
namespace {

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
}  // namespace

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

}  // namespace ostrum::save
