#include "include_patterns.h"

#include <fnmatch.h>

#include <algorithm>

namespace ostrum::cli {
namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Folded(std::string_view text) {
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), Lower);
    return folded;
}

// A catalog path (or pattern) below "TAPE MEDIA\", lower-case, '\'-separated, without a last "\".
std::string BelowRoot(std::string_view text) {
    std::string path = Folded(text);
    std::replace(path.begin(), path.end(), '/', '\\');
    const std::string root = Folded(catalog::kMediaRootPrefix);
    if (path.starts_with(root)) path.erase(0, root.size());
    while (path.ends_with('\\')) path.pop_back();
    return path;
}

}  // namespace

IncludePatterns::IncludePatterns(std::vector<std::string> typed) {
    for (std::string& text : typed) {
        std::string folded = BelowRoot(text);
        const bool wildcard = folded.find_first_of("*?[") != std::string::npos;
        patterns_.push_back(Pattern{std::move(text), std::move(folded), wildcard});
    }
}

bool IncludePatterns::Matches(const Pattern& pattern, std::string_view path) const {
    if (!pattern.wildcard) {
        return pattern.folded.empty() || path == pattern.folded ||
               (path.starts_with(pattern.folded) && path[pattern.folded.size()] == '\\');
    }
    // The path itself and each folder above it, longest first.
    std::string candidate(path);
    for (;;) {
        if (::fnmatch(pattern.folded.c_str(), candidate.c_str(), FNM_NOESCAPE) == 0) return true;
        const auto separator = candidate.rfind('\\');
        if (separator == std::string::npos) return false;
        candidate.resize(separator);
    }
}

bool IncludePatterns::Chooses(std::string_view path) const {
    if (patterns_.empty()) return true;
    const std::string folded = BelowRoot(path);
    return std::any_of(patterns_.begin(), patterns_.end(),
                       [&](const Pattern& pattern) { return Matches(pattern, folded); });
}

std::vector<std::string> IncludePatterns::Select(catalog::Catalog& catalog) const {
    if (patterns_.empty()) return {};
    std::vector<bool> used(patterns_.size(), false);
    auto choose = [&](std::string_view path) {
        const std::string folded = BelowRoot(path);
        bool chosen = false;
        for (std::size_t i = 0; i < patterns_.size(); ++i) {
            if (!Matches(patterns_[i], folded)) continue;
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
