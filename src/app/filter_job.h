// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The filter of the list of all files, run on a worker thread so that typing never waits for it: each new
// text stops the run of the text before (at its next look, a few thousand rows on) and starts its own. A
// text that only lengthens a plain text before it filters that text's rows instead of the whole catalog.
// The result comes back on the window's thread; a run stopped, or overtaken by a newer text, gives none.
// The catalog must not change while a run lasts: the window filters only after its scan has ended, and
// stops the job before its catalog goes.

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "app/catalog_models.h"
#include "catalog/catalog.h"
#include "selection/file_filter.h"

namespace ostrum::app {

class FilterJob : public QObject {
    Q_OBJECT
  public:
    // The rows a text shows, ascending (null: every row).
    using Rows = ShownRows;
    using Done = std::function<void(const selection::FileFilter& filter, Rows rows)>;

    explicit FilterJob(Done done, QObject* parent = nullptr);
    ~FilterJob() override;

    // Filters the rows of `catalog` by `text`; the result goes to `done` on this object's thread.
    void start(const catalog::Catalog& catalog, const std::string& text);
    // Stops a run and forgets what earlier runs gave.
    void stop();

  private:
    void deliver(std::uint64_t generation, const selection::FileFilter& filter, Rows rows);

    Done done_;
    std::jthread worker_;
    std::uint64_t generation_ = 0;
    // The last text whose run ended, and its rows: a longer text may narrow them.
    std::unique_ptr<selection::FileFilter> last_;
    Rows lastRows_;
};

}  // namespace ostrum::app
