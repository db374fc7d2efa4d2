// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The --include patterns of `extract`: which files and folders of the catalog they choose.

#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.h"
#include "selection/path_patterns.h"

namespace ostrum::cli {

class IncludePatterns {
  public:
    // The patterns as typed: names separated by '/' or '\', "TAPE MEDIA\" in front or not. A pattern
    // holding *, ? or [ is a wildcard pattern. Matching ignores the case of ASCII letters.
    explicit IncludePatterns(std::vector<std::string> typed);

    // Checks every row and folder of the catalog that a pattern chooses (one that matches the path itself
    // or the path of a folder above it) and unchecks the rest; with no patterns everything stays as it
    // is. Returns the patterns, as typed, that chose nothing.
    std::vector<std::string> Select(catalog::Catalog& catalog) const;
    // True when a pattern chooses the CatalogPath, or there are none.
    bool Chooses(std::string_view path) const;

  private:
    struct Pattern {
        std::string typed;
        selection::PathPattern pattern;
    };

    std::vector<Pattern> patterns_;
};

}  // namespace ostrum::cli
