// SPDX-License-Identifier: GPL-3.0-or-later
#include "selection/path_patterns.h"

#include <algorithm>
#include <optional>

#include "catalog/catalog.h"

namespace ostrum::selection {
namespace {

using ByteTable = std::array<bool, 256>;

// The bytes of a character class in the "C" locale, where only ASCII bytes belong to one.
std::optional<ByteTable> ClassBytes(std::string_view name) {
    using Test = bool (*)(unsigned);
    static constexpr std::pair<std::string_view, Test> kClasses[] = {
        {"alnum",
         [](unsigned c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }},
        {"alpha", [](unsigned c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }},
        {"blank", [](unsigned c) { return c == ' ' || c == '\t'; }},
        {"cntrl", [](unsigned c) { return c < 0x20 || c == 0x7f; }},
        {"digit", [](unsigned c) { return c >= '0' && c <= '9'; }},
        {"graph", [](unsigned c) { return c > 0x20 && c < 0x7f; }},
        {"lower", [](unsigned c) { return c >= 'a' && c <= 'z'; }},
        {"print", [](unsigned c) { return c >= 0x20 && c < 0x7f; }},
        {"punct",
         [](unsigned c) {
             const bool alnum = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
             return c > 0x20 && c < 0x7f && !alnum;
         }},
        {"space", [](unsigned c) { return c == ' ' || (c >= '\t' && c <= '\r'); }},
        {"upper", [](unsigned c) { return c >= 'A' && c <= 'Z'; }},
        {"xdigit",
         [](unsigned c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }},
    };
    for (const auto& [className, test] : kClasses) {
        if (className != name) continue;
        ByteTable bytes{};
        for (unsigned c = 0; c < 0x80; ++c) bytes[c] = test(c);
        return bytes;
    }
    return std::nullopt;
}

// fnmatch passes over the rest of a bracket once a byte has matched an item; on the way it refuses (and
// the byte fails after all) an equivalence class "[=" not of the form "[=x=]" and a collating symbol
// "[." that never closes. True when it would refuse, from `from` on.
bool RestRefused(std::string_view pattern, std::size_t from) {
    auto at = [&](std::size_t i) -> unsigned {
        return i < pattern.size() ? static_cast<unsigned char>(pattern[i]) : 0;
    };
    for (std::size_t next = from;;) {
        const unsigned c = at(next++);
        if (c == 0 || c == ']') return false;
        if (c != '[') continue;
        if (at(next) == ':') {
            std::size_t end = next + 1;
            while (at(end) >= 'a' && at(end) < 'z') ++end;
            if (at(end) == ':' && at(end + 1) == ']') next = end + 2;
        } else if (at(next) == '=') {
            if (at(next + 1) == 0 || at(next + 2) != '=' || at(next + 3) != ']') return true;
            next += 4;
        } else if (at(next) == '.') {
            std::size_t end = next + 1;
            while (end < pattern.size() && !(at(end) == '.' && at(end + 1) == ']')) ++end;
            if (end >= pattern.size()) return true;
            next = end + 2;
        }
    }
}

}  // namespace

std::size_t MediaRootLength(std::string_view path) {
    const std::string_view root = catalog::kMediaRootPrefix;
    if (path.size() < root.size()) return 0;
    for (std::size_t i = 0; i < root.size(); ++i) {
        if (PathFold(path[i]) != PathFold(root[i])) return 0;
    }
    return root.size();
}

std::string FoldedBelowRoot(std::string_view text) {
    std::string path(text.substr(MediaRootLength(text)));
    std::transform(path.begin(), path.end(), path.begin(), PathFold);
    while (path.ends_with('\\')) path.pop_back();
    return path;
}

// ---- Wildcard

class Wildcard::Text {
  public:
    Text(std::string_view head, std::string_view tail) : head_(head), tail_(tail) {}
    std::size_t size() const { return head_.size() + tail_.size(); }
    unsigned char operator[](std::size_t at) const {
        return static_cast<unsigned char>(at < head_.size() ? head_[at] : tail_[at - head_.size()]);
    }

  private:
    std::string_view head_;
    std::string_view tail_;
};

Wildcard::Wildcard(std::string_view folded) {
    Compile(folded);
}

void Wildcard::Compile(std::string_view pattern) {
    std::vector<std::uint32_t> stars;  // how many steps come before each *
    for (std::size_t at = 0; at < pattern.size();) {
        const char c = pattern[at];
        if (c == '*') {
            stars.push_back(static_cast<std::uint32_t>(steps_.size()));
            ++at;
        } else if (c == '?') {
            ByteTable any;
            any.fill(true);
            AddStep(any);
            ++at;
        } else if (c == '[') {
            at = CompileBracket(pattern, at);
        } else {
            ByteTable one{};
            one[static_cast<unsigned char>(c)] = true;
            AddStep(one);
            ++at;
        }
    }
    const auto count = static_cast<std::uint32_t>(steps_.size());
    if (stars.empty()) {
        head_ = {0, count};
        return;
    }
    starred_ = true;
    head_ = {0, stars.front()};
    tail_ = {stars.back(), count - stars.back()};
    for (std::size_t i = 1; i < stars.size(); ++i) {
        if (stars[i] > stars[i - 1]) runs_.push_back({stars[i - 1], stars[i] - stars[i - 1]});
    }
}

// A bracket expression read as fnmatch reads it in the "C" locale. An item that fnmatch refuses (an
// unknown class name, a collating symbol of more than one byte, a range running into the end of the
// pattern) fails every byte that reaches it. A bracket that never closes stands for the byte '['
// (unless a refused item comes before any item matching '['), and the pattern goes on after that '['.
// Returns where the pattern goes on.
std::size_t Wildcard::CompileBracket(std::string_view pattern, std::size_t open) {
    auto at = [&](std::size_t i) -> unsigned {
        return i < pattern.size() ? static_cast<unsigned char>(pattern[i]) : 0;
    };
    // What became of each byte that an item before any refused one matched.
    enum Fate : std::uint8_t { Unmatched, Matched, Failed };
    std::array<Fate, 256> fate{};
    bool refused = false;  // an item was refused
    // The bytes an item ending before `rest` matches.
    auto choose = [&](unsigned from, unsigned to, std::size_t rest) {
        const Fate matched = RestRefused(pattern, rest) ? Failed : Matched;
        for (unsigned c = from; c <= to && !refused; ++c) {
            if (fate[c] == Unmatched) fate[c] = matched;
        }
    };
    // A collating symbol "[.x.]" whose "[." lies at `from`: its byte, or nothing when it names more or
    // fewer than one. `from` moves past it; to the pattern's end when it never closes.
    auto symbol = [&](std::size_t& from) -> std::optional<unsigned> {
        std::size_t end = from + 2;
        while (end < pattern.size() && !(at(end) == '.' && at(end + 1) == ']')) ++end;
        const std::size_t length = end - from - 2;
        from = std::min(end + 2, pattern.size() + 1);
        return length == 1 ? std::optional<unsigned>(at(end - 1)) : std::nullopt;
    };
    std::size_t next = open + 1;
    const bool negated = at(next) == '!' || at(next) == '^';
    if (negated) ++next;
    unsigned c = at(next++);
    for (;;) {
        if (c == 0) {
            ByteTable literal{};
            literal['['] = fate['['] == Matched || (fate['['] == Unmatched && !refused);
            AddStep(literal);
            return open + 1;
        }
        std::optional<unsigned> first = c;  // the item's byte, which may begin a range
        bool rangeMayFollow = at(next) == '-' && at(next + 1) != 0 && at(next + 1) != ']';
        if (c == '[' && at(next) == ':') {
            // A class name is letters from 'a' to 'y' (fnmatch's own test) up to ":]"; anything else makes
            // the '[' an ordinary byte.
            std::string name;
            std::size_t end = next + 1;
            for (; !(at(end) == ':' && at(end + 1) == ']'); ++end) {
                if (at(end) < 'a' || at(end) >= 'z') break;
                name += static_cast<char>(at(end));
            }
            if (at(end) == ':' && at(end + 1) == ']') {
                next = end + 2;
                if (const auto bytes = ClassBytes(name)) {
                    for (unsigned b = 0; b < 256; ++b) {
                        if ((*bytes)[b]) choose(b, b, next);
                    }
                } else {
                    refused = true;
                }
                c = at(next++);
                if (c == ']') break;
                continue;
            }
        } else if (c == '[' && at(next) == '=' && at(next + 1) != 0 && at(next + 2) == '=' &&
                   at(next + 3) == ']') {
            next += 4;
            choose(at(next - 3), at(next - 3), next);  // an equivalence class: here the byte itself
            c = at(next++);
            if (c == ']') break;
            continue;
        } else if (c == '[' && at(next) == '.') {
            std::size_t end = next - 1;
            first = symbol(end);
            if (end > pattern.size()) {  // never closed: every byte fails, those matched before too
                AddStep(ByteTable{});
                return pattern.size();
            }
            if (!first) refused = true;
            next = end;
            rangeMayFollow = at(next) == '-' && at(next + 1) != 0;
        }
        if (first && !rangeMayFollow) choose(*first, *first, next);
        c = at(next++);
        if (c == '-' && at(next) != ']') {
            std::optional<unsigned> last = at(next);
            if (*last == '[' && at(next + 1) == '.') {
                last = symbol(next);
                if (next > pattern.size()) {
                    AddStep(ByteTable{});
                    return pattern.size();
                }
            } else {
                ++next;
            }
            if (last == 0u) {
                refused = true;
                c = 0;  // the bracket does not close
                continue;
            }
            if (!first || !last) {
                refused = true;
            } else if (*first <= *last) {
                choose(*first, *last, next);
            }
            c = at(next++);
        }
        if (c == ']') break;
    }
    ByteTable bytes{};
    for (unsigned b = 0; b < 256; ++b) {
        bytes[b] = fate[b] == Unmatched ? negated && !refused : fate[b] == Matched && !negated;
    }
    AddStep(bytes);
    return next;
}

void Wildcard::AddStep(const ByteTable& folded) {
    ByteTable& step = steps_.emplace_back();
    for (unsigned c = 0; c < 256; ++c)
        step[c] = folded[static_cast<unsigned char>(PathFold(static_cast<char>(c)))];
}

bool Wildcard::RunAt(const Run& run, const Text& text, std::size_t at) const {
    for (std::uint32_t i = 0; i < run.size; ++i) {
        if (!steps_[run.begin + i][text[at + i]]) return false;
    }
    return true;
}

bool Wildcard::FindRun(const Run& run, const Text& text, std::size_t& from, std::size_t to) const {
    const ByteTable& first = steps_[run.begin];
    for (std::size_t at = from; at + run.size <= to; ++at) {
        if (first[text[at]] && RunAt(run, text, at)) {
            from = at + run.size;
            return true;
        }
    }
    return false;
}

// With the steps before the first * matched and the runs before `firstRun` placed before `from`.
bool Wildcard::MatchesFrom(std::uint32_t firstRun, std::size_t from, const Text& text) const {
    if (from + tail_.size > text.size()) return false;
    const std::size_t to = text.size() - tail_.size;
    if (!RunAt(tail_, text, to)) return false;
    for (std::size_t run = firstRun; run < runs_.size(); ++run) {
        if (!FindRun(runs_[run], text, from, to)) return false;
    }
    return true;
}

bool Wildcard::Matches(std::string_view head, std::string_view tail) const {
    const Text text(head, tail);
    if (head_.size > text.size() || !RunAt(head_, text, 0)) return false;
    if (!starred_) return text.size() == head_.size;
    return MatchesFrom(0, head_.size, text);
}

Wildcard::HeadProgress Wildcard::Begin(std::string_view head) const {
    HeadProgress progress;
    if (!starred_ || head_.size > head.size()) return progress;
    progress.usable = true;
    const Text text(head, {});
    if (!RunAt(head_, text, 0)) {
        progress.refused = true;
        return progress;
    }
    std::size_t from = head_.size;
    while (progress.runs < runs_.size() && FindRun(runs_[progress.runs], text, from, head.size())) {
        ++progress.runs;
    }
    progress.next = from;
    return progress;
}

bool Wildcard::Matches(const HeadProgress& progress, std::string_view head, std::string_view tail) const {
    // A tail shorter than the steps after the last * lets them reach into the head, where the runs placed
    // might lie: those tails are matched afresh.
    if (!progress.usable || tail.size() < tail_.size) return Matches(head, tail);
    if (progress.refused) return false;
    std::size_t from = progress.next;
    if (progress.runs < runs_.size()) {
        // Every place of the next run inside the head was tried: it can only reach over into the tail.
        const std::size_t size = runs_[progress.runs].size;
        if (head.size() + 1 > size) from = std::max(from, head.size() + 1 - size);
    }
    return MatchesFrom(progress.runs, from, Text(head, tail));
}

// ---- PathPattern

PathPattern::PathPattern(std::string_view typed)
    : folded_(FoldedBelowRoot(typed)),
      wildcard_(folded_.find_first_of("*?[") != std::string::npos),
      matcher_(wildcard_ ? std::string_view(folded_) : std::string_view()) {}

bool PathPattern::Chooses(std::string_view path) const {
    if (!wildcard_) {
        return folded_.empty() || path == folded_ ||
               (path.starts_with(folded_) && path.size() > folded_.size() && path[folded_.size()] == '\\');
    }
    // The path itself and each folder above it, longest first.
    for (std::string_view candidate = path;;) {
        if (matcher_.Matches(candidate)) return true;
        const auto separator = candidate.rfind('\\');
        if (separator == std::string_view::npos) return false;
        candidate = candidate.substr(0, separator);
    }
}

bool PathPattern::MatchesAFolderOf(std::string_view folder) const {
    if (folder.empty()) return false;
    for (std::string_view candidate = folder.substr(0, folder.size() - 1);;) {
        if (matcher_.Matches(candidate)) return true;
        const auto separator = candidate.find_last_of("\\/");
        if (separator == std::string_view::npos) return false;
        candidate = candidate.substr(0, separator);
    }
}

}  // namespace ostrum::selection
