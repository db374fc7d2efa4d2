// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The filter above the list of all files: which rows of the catalog a text typed there shows.
//   - An empty text shows every row.
//   - A plain text (no *, ? or [) shows the rows whose CatalogPath holds it anywhere, ASCII letters in
//     either case, and '/' standing for '\' as in --include.
//   - A text with *, ? or [abc] is a wildcard pattern that chooses rows as --include chooses files: its
//     whole path or the whole path of a folder above it must match; "TAPE MEDIA\" may be left out.
//
// The rows share their folder parts (Catalog::folder), so what a folder alone decides is worked out once
// per folder, and only the name (and what a match reaching over from the folder needs) once per row. The
// filter reads the catalog and nothing else: it may run on any thread while the catalog does not change
// (after the scan has ended), and a new text typed while it runs stops it at its next check.

#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.h"
#include "selection/path_patterns.h"

namespace ostrum::selection {

class FileFilter {
  public:
    explicit FileFilter(std::string_view text);

    const std::string& text() const { return text_; }
    bool showsEveryRow() const { return text_.empty(); }
    bool wildcard() const { return pattern_.wildcard(); }
    // True when every row it shows is among those `earlier` shows (its plain text holds the earlier one),
    // so that it may look at those rows alone.
    bool Narrows(const FileFilter& earlier) const;

    // Whether it shows a path that is no row of the catalog (a file the medium's own catalog names).
    bool ShowsPath(std::string_view path) const;

    // The rows it shows, ascending. Nothing when `stop` was asked for before it was done; it looks every
    // few thousand rows.
    std::optional<std::vector<std::uint32_t>> Rows(const catalog::Catalog& catalog,
                                                   std::stop_token stop = {}) const;
    // The same, looking only at `among`: ascending rows of the catalog, an earlier filter's result.
    std::optional<std::vector<std::uint32_t>> Rows(const catalog::Catalog& catalog,
                                                   std::span<const std::uint32_t> among,
                                                   std::stop_token stop = {}) const;

  private:
    struct FolderState;
    class Pass;

    std::string text_;
    std::string folded_;  // a plain text through PathFold
    PathPattern pattern_;
    Wildcard matcher_;  // a plain text: "*text*"; a wildcard pattern: the pattern
};

// "2,113 of 1,000,000": the rows shown of all the rows.
std::string ShownRowsText(std::size_t shown, std::size_t total);

}  // namespace ostrum::selection
