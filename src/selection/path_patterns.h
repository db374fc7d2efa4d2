// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Paths and patterns as the command line's --include and the recovery window's filter compare them:
// ASCII letters in lower case, '/' read as '\', "TAPE MEDIA\" left out in front. A pattern holding *, ?
// or [ is a wildcard pattern, matched byte by byte as the C library's fnmatch matches in the "C" locale
// with FNM_NOESCAPE (so '\' is an ordinary byte): * any bytes, separators included; ? one byte; [abc],
// [a-z], [!abc] or [^abc], [[:alpha:]] one byte of a set. A [ without its ] is the byte '['.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrum::selection {

// A byte as paths are compared: ASCII letters in lower case, '/' as '\'.
inline char PathFold(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c == '/' ? '\\' : c;
}

// How many bytes "TAPE MEDIA\" takes at the start of `path`, compared as paths are: its size, or 0.
std::size_t MediaRootLength(std::string_view path);

// A CatalogPath (or a pattern) as --include compares it: folded, below "TAPE MEDIA\", without a last "\".
std::string FoldedBelowRoot(std::string_view text);

// A wildcard pattern (already folded) made ready to match texts read through PathFold. Every step but *
// matches one byte, so a text matches when the steps before the first * match its start, those after the
// last * its end, and each run of steps between two stars can be placed, in order, between them: the
// leftmost place of each run is as good as any.
class Wildcard {
  public:
    explicit Wildcard(std::string_view folded);

    // True when it matches the whole text made of `head` and then `tail`.
    bool Matches(std::string_view head, std::string_view tail = {}) const;

    // What matching learns from a head alone, to go on with many tails after the same head.
    struct HeadProgress {
        bool usable = false;     // false: the head is shorter than the steps before the first *
        bool refused = false;    // its start does not match the steps before the first *
        std::uint32_t runs = 0;  // runs between stars placed inside the head
        std::size_t next = 0;    // where the next run may start
    };
    HeadProgress Begin(std::string_view head) const;
    // The same as Matches(head, tail), with `progress` from Begin(head).
    bool Matches(const HeadProgress& progress, std::string_view head, std::string_view tail) const;

  private:
    using ByteTable = std::array<bool, 256>;  // by the text's byte as it stands, folding included
    struct Run {
        std::uint32_t begin = 0;  // in steps_
        std::uint32_t size = 0;
    };
    class Text;

    void Compile(std::string_view pattern);
    std::size_t CompileBracket(std::string_view pattern, std::size_t open);
    void AddStep(const ByteTable& folded);
    bool RunAt(const Run& run, const Text& text, std::size_t at) const;
    bool FindRun(const Run& run, const Text& text, std::size_t& from, std::size_t to) const;
    bool MatchesFrom(std::uint32_t firstRun, std::size_t from, const Text& text) const;

    std::vector<ByteTable> steps_;
    bool starred_ = false;   // false: one run, the whole text
    Run head_;               // steps before the first * (empty when it starts with *)
    Run tail_;               // steps after the last *
    std::vector<Run> runs_;  // between stars, in order; none empty
};

// One --include pattern, or the recovery window's filter text when it holds a wildcard.
class PathPattern {
  public:
    // The pattern as typed: names separated by '/' or '\', "TAPE MEDIA\" in front or not.
    explicit PathPattern(std::string_view typed);

    bool wildcard() const { return wildcard_; }
    // The pattern as FoldedBelowRoot gives it.
    const std::string& folded() const { return folded_; }
    const Wildcard& matcher() const { return matcher_; }

    // True when the pattern chooses a path given as FoldedBelowRoot gives it: a plain pattern the path
    // itself or one below it (an empty one every path); a wildcard pattern one whose whole path, or the
    // whole path of a folder above it, it matches.
    bool Chooses(std::string_view foldedPath) const;
    // Wildcard patterns: true when it matches one of the folders that a path whose folder part below the
    // root is `folder` (ending in "\" unless empty) lies in: `folder` without its last "\", then each
    // folder above that.
    bool MatchesAFolderOf(std::string_view folder) const;

  private:
    std::string folded_;
    bool wildcard_ = false;
    Wildcard matcher_;
};

}  // namespace ostrum::selection
