// SPDX-License-Identifier: GPL-3.0-or-later
#include "selection/file_filter.h"

#include <algorithm>

namespace ostrum::selection {
namespace {

// Rows between two looks at the stop token: a few microseconds of work.
constexpr std::size_t kRowsPerCheck = 4096;

std::string Folded(std::string_view text) {
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), PathFold);
    return folded;
}

std::string GroupedDigits(std::size_t value) {
    std::string digits = std::to_string(value);
    for (auto at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

}  // namespace

// What one folder part decides for all its rows.
struct FileFilter::FolderState {
    bool known = false;
    bool chosen = false;        // a wildcard pattern matches a folder the rows lie in: every row is shown
    std::size_t belowRoot = 0;  // where the part below "TAPE MEDIA\" starts
    Wildcard::HeadProgress progress;
};

// One run of the filter over the rows.
class FileFilter::Pass {
  public:
    Pass(const FileFilter& filter, const catalog::Catalog& catalog)
        : filter_(filter), catalog_(catalog), folders_(catalog.folderCount()) {}

    bool Shows(std::uint32_t index) {
        const catalog::FileRow row = catalog_.row(index);
        const catalog::RowPath path = row.path();
        FolderState& folder = folders_[row.folderIndex()];
        if (!folder.known) Prepare(folder, path.folder);
        if (!filter_.wildcard()) return filter_.matcher_.Matches(folder.progress, path.folder, path.name);
        // A name with '/' in it is cut into folders, and a path without a name loses its last "\"s, as
        // --include reads paths: those rare rows take the long way.
        if (path.name.empty() || path.name.find('/') != std::string_view::npos)
            return filter_.pattern_.Chooses(FoldedBelowRoot(path.str()));
        if (folder.chosen) return true;
        return filter_.matcher_.Matches(folder.progress, path.folder.substr(folder.belowRoot), path.name);
    }

  private:
    void Prepare(FolderState& folder, std::string_view text) const {
        folder.known = true;
        if (!filter_.wildcard()) {
            folder.progress = filter_.matcher_.Begin(text);
            return;
        }
        folder.belowRoot = MediaRootLength(text);
        const std::string_view below = text.substr(folder.belowRoot);
        folder.chosen = filter_.pattern_.MatchesAFolderOf(below);
        folder.progress = filter_.matcher_.Begin(below);
    }

    const FileFilter& filter_;
    const catalog::Catalog& catalog_;
    std::vector<FolderState> folders_;
};

FileFilter::FileFilter(std::string_view text)
    : text_(text),
      folded_(Folded(text)),
      pattern_(text),
      matcher_(pattern_.wildcard() ? pattern_.folded() : "*" + folded_ + "*") {}

bool FileFilter::ShowsPath(std::string_view path) const {
    if (showsEveryRow()) return true;
    return wildcard() ? pattern_.Chooses(FoldedBelowRoot(path)) : matcher_.Matches(path);
}

bool FileFilter::Narrows(const FileFilter& earlier) const {
    return !wildcard() && !earlier.wildcard() && folded_.find(earlier.folded_) != std::string::npos;
}

std::optional<std::vector<std::uint32_t>> FileFilter::Rows(const catalog::Catalog& catalog,
                                                           std::stop_token stop) const {
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(catalog.rowCount(), UINT32_MAX));
    std::vector<std::uint32_t> rows;
    if (showsEveryRow()) {
        rows.resize(count);
        for (std::uint32_t row = 0; row < count; ++row) rows[row] = row;
        return rows;
    }
    Pass pass(*this, catalog);
    for (std::uint32_t row = 0; row < count; ++row) {
        if (row % kRowsPerCheck == 0 && stop.stop_requested()) return std::nullopt;
        if (pass.Shows(row)) rows.push_back(row);
    }
    return rows;
}

std::optional<std::vector<std::uint32_t>> FileFilter::Rows(const catalog::Catalog& catalog,
                                                           std::span<const std::uint32_t> among,
                                                           std::stop_token stop) const {
    std::vector<std::uint32_t> rows;
    Pass pass(*this, catalog);
    for (std::size_t i = 0; i < among.size(); ++i) {
        if (i % kRowsPerCheck == 0 && stop.stop_requested()) return std::nullopt;
        if (among[i] >= catalog.rowCount()) continue;
        if (showsEveryRow() || pass.Shows(among[i])) rows.push_back(among[i]);
    }
    return rows;
}

std::string ShownRowsText(std::size_t shown, std::size_t total) {
    return GroupedDigits(shown) + " of " + GroupedDigits(total);
}

}  // namespace ostrum::selection
