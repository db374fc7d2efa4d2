// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/scan_while_saving.h"

#include <algorithm>
#include <utility>

namespace ostrum::save {

ScanWhileSaving::ScanWhileSaving(const common::ImageFile& image, bool deep, catalog::Catalog& found,
                                 Chooser chooses, std::atomic<bool>& scanActive,
                                 catalog::ImageScanSummary& summary)
    : found_(found), chooses_(std::move(chooses)), scanActive_(scanActive) {
    scanner_.Start([this, &image, deep, &summary] {
        whole_ = catalog::ScanImageFile(image, found_, *this, scanActive_, &summary, {.deep = deep}) == 1;
        Publish(true);
    });
}

std::optional<int> ScanWhileSaving::percent() const {
    if (ended_.load(std::memory_order_acquire)) return std::nullopt;
    return percent_.load(std::memory_order_relaxed);
}

bool ScanWhileSaving::WaitForFirst() {
    first_ = Next();
    return first_.has_value();
}

std::optional<SaveItem> ScanWhileSaving::Next() {
    if (first_) return std::exchange(first_, std::nullopt);
    for (;;) {
        std::size_t row = 0;
        std::optional<SaveItem> spread;
        {
            std::unique_lock lock(mutex_);
            waiting_ = true;
            changed_.wait(lock, [&] { return taken_ < published_ || finished_; });
            waiting_ = false;
            if (taken_ == published_) return std::nullopt;
            row = taken_++;
            if (const auto at = spread_.find(row); at != spread_.end()) {
                spread = std::move(at->second);
                spread_.erase(at);
            }
        }
        const catalog::FileRow file = found_.row(row);
        if (chooses_ && !chooses_(file.path().str())) continue;
        if (spread) return spread;
        return RowItem(file);
    }
}

void ScanWhileSaving::Progress(int percent) {
    percent_.store(percent, std::memory_order_relaxed);
    Publish(false);
}

void ScanWhileSaving::Publish(bool finished) {
    // The last row found may yet be cut by the end of the medium (an EOTM inside its data, which the scan
    // meets after it): it waits until another row follows it or the scan has ended. Rows whose data lie in
    // pieces get their pieces here, on the scanning thread, which alone changes them.
    const std::size_t rows = found_.rowCount();
    const std::size_t ready = finished || rows == 0 ? rows : rows - 1;
    std::unordered_map<std::size_t, SaveItem> spread;
    for (std::size_t row = checked_; row < ready; ++row) {
        if (found_.mediaSpan().FindSpanned(row) == nullptr) continue;
        spread.emplace(row, SaveItemOf(found_, row));
    }
    checked_ = std::max(checked_, ready);
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        published_ = std::max(published_, ready);
        spread_.merge(spread);
        finished_ = finished;
        wake = waiting_;
    }
    if (finished) ended_.store(true, std::memory_order_release);
    if (wake) changed_.notify_one();
}

}  // namespace ostrum::save
