// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/filter_job.h"

#include <QMetaObject>

namespace ostrum::app {

FilterJob::FilterJob(Done done, QObject* parent) : QObject(parent), done_(std::move(done)) {}

FilterJob::~FilterJob() {
    stop();
}

void FilterJob::stop() {
    ++generation_;
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
    last_.reset();
    lastRows_.reset();
}

void FilterJob::start(const catalog::Catalog& catalog, const std::string& text) {
    const std::uint64_t generation = ++generation_;
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
    auto filter = std::make_shared<const selection::FileFilter>(text);
    if (filter->showsEveryRow()) {
        deliver(generation, *filter, nullptr);
        return;
    }
    // The rows of the text before, when this one can only show fewer of them.
    Rows among = last_ && lastRows_ && filter->Narrows(*last_) ? lastRows_ : nullptr;
    worker_ = std::jthread([this, &catalog, filter, among, generation](std::stop_token stop) {
        auto rows = among ? filter->Rows(catalog, *among, stop) : filter->Rows(catalog, stop);
        if (!rows) return;
        Rows shared = std::make_shared<const std::vector<std::uint32_t>>(std::move(*rows));
        // Queued to this object: dropped by Qt if the job has gone by then.
        QMetaObject::invokeMethod(
            this, [this, filter, shared, generation] { deliver(generation, *filter, shared); },
            Qt::QueuedConnection);
    });
}

void FilterJob::deliver(std::uint64_t generation, const selection::FileFilter& filter, Rows rows) {
    if (generation != generation_) return;  // a newer text is on its way
    last_ = std::make_unique<selection::FileFilter>(filter);
    lastRows_ = rows;
    done_(filter, std::move(rows));
}

}  // namespace ostrum::app
