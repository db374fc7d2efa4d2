// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/save_files.h"

#include <algorithm>

#include "save/save_run.h"

namespace ostrum::save {
namespace {

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

}  // namespace ostrum::save
