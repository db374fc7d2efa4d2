// SPDX-License-Identifier: GPL-3.0-or-later
#include "include_patterns.h"

#include <algorithm>

namespace ostrum::cli {

using selection::FoldedBelowRoot;

IncludePatterns::IncludePatterns(std::vector<std::string> typed) {
    for (std::string& text : typed) {
        selection::PathPattern pattern(text);
        patterns_.push_back(Pattern{std::move(text), std::move(pattern)});
    }
}

bool IncludePatterns::Chooses(std::string_view path) const {
    if (patterns_.empty()) return true;
    const std::string folded = FoldedBelowRoot(path);
    return std::any_of(patterns_.begin(), patterns_.end(),
                       [&](const Pattern& pattern) { return pattern.pattern.Chooses(folded); });
}

std::vector<std::string> IncludePatterns::Select(catalog::Catalog& catalog) const {
    if (patterns_.empty()) return {};
    std::vector<bool> used(patterns_.size(), false);
    auto choose = [&](std::string_view path) {
        const std::string folded = FoldedBelowRoot(path);
        bool chosen = false;
        for (std::size_t i = 0; i < patterns_.size(); ++i) {
            if (!patterns_[i].pattern.Chooses(folded)) continue;
            chosen = true;
            used[i] = true;
        }
        return chosen;
    };
    for (std::size_t i = 0; i < catalog.rowCount(); ++i)
        catalog.SetChecked(i, choose(catalog.row(i).path().str()));
    for (catalog::NodeId id = 0; id < catalog.nodeCount(); ++id) {
        catalog::CatalogNode& node = catalog.node(id);
        const bool chosen = node.parent != catalog::kNoNode && choose(catalog.FullPath(id));
        node.state = chosen ? catalog::CheckState::Checked : catalog::CheckState::Unchecked;
    }
    std::vector<std::string> unused;
    for (std::size_t i = 0; i < patterns_.size(); ++i) {
        if (!used[i]) unused.push_back(patterns_[i].typed);
    }
    return unused;
}

}  // namespace ostrum::cli
