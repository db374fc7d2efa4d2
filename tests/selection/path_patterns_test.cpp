// SPDX-License-Identifier: GPL-3.0-or-later
// The wildcard matcher against the C library's fnmatch in the "C" locale, which --include called before
// it had a matcher of its own: random patterns over the bytes that make stars, brackets, negations,
// ranges, classes and collating symbols (unclosed and refused ones too) on random texts, whole, in two
// pieces and after a head worked out once.

#include "selection/path_patterns.h"

#include <fnmatch.h>
#include <gtest/gtest.h>

#include <random>

namespace ostrum::selection {
namespace {

std::string Folded(std::string text) {
    for (char& c : text) c = PathFold(c);
    return text;
}

bool Fnmatch(const std::string& pattern, const std::string& foldedText) {
    return ::fnmatch(pattern.c_str(), foldedText.c_str(), FNM_NOESCAPE) == 0;
}

TEST(Wildcard, MatchesAsFnmatchDoesWholeOrInPieces) {
    std::mt19937 random(11);
    auto pick = [&](std::string_view from, std::size_t most) {
        std::string text(std::uniform_int_distribution<std::size_t>(0, most)(random), ' ');
        for (char& c : text) c = from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
        return text;
    };
    for (int round = 0; round < 8000; ++round) {
        // Patterns come folded, as FoldedBelowRoot gives them; texts are read through PathFold. Every other
        // round also brings the bytes of classes, equivalence classes and collating symbols.
        const bool rich = round % 2 != 0;
        const std::string pattern = pick(rich ? "al:.=\xe9\\*?[]!^-" : "ab\\*?[]!^-", 9);
        const Wildcard wildcard(pattern);
        for (int text = 0; text < 12; ++text) {
            const std::string raw = pick(rich ? "aAl:.=\xe9\\/[]!^-" : "aAbB\\/[]!^-", 10);
            const bool expected = Fnmatch(pattern, Folded(raw));
            ASSERT_EQ(wildcard.Matches(raw), expected) << "'" << pattern << "' on '" << raw << "'";
            const std::size_t cut = std::uniform_int_distribution<std::size_t>(0, raw.size())(random);
            const std::string_view head = std::string_view(raw).substr(0, cut);
            const std::string_view tail = std::string_view(raw).substr(cut);
            ASSERT_EQ(wildcard.Matches(head, tail), expected) << "'" << pattern << "' on '" << raw << "'";
            ASSERT_EQ(wildcard.Matches(wildcard.Begin(head), head, tail), expected)
                << "'" << pattern << "' on '" << head << "' then '" << tail << "'";
        }
    }
}

TEST(Wildcard, ClassesAndRangesTakeTheBytesFnmatchTakes) {
    const char* const patterns[] = {"[[:alpha:]]",  "[![:digit:]x]", "[[:punct:][:space:]]",
                                    "[[:bogus:]]",  "[a[:bogus:]]",  "[![:bogus:]]",
                                    "[[:alpha:]-]", "[%--]",         "[[:zz:]]",
                                    "[[:upper:]]",  "[[:xdigit:]]",  "[a-",
                                    "[[=a=]b]",     "[[.a.]-z]",     "[[.-.]]",
                                    "[!x-[.z.]]",   "[[.ab.]x]",     "[x-\xf0]"};
    for (const char* pattern : patterns) {
        const Wildcard wildcard(pattern);
        for (unsigned byte = 1; byte < 0x100; ++byte) {
            const std::string text(1, static_cast<char>(byte));
            EXPECT_EQ(wildcard.Matches(text), Fnmatch(pattern, Folded(text))) << pattern << " on " << byte;
        }
    }
}

TEST(PathPattern, ChoosesAPathOrAFolderAboveItAsIncludeDoes) {
    const PathPattern plain("TAPE MEDIA/Backup Set 1(_A)\\docs\\");
    EXPECT_FALSE(plain.wildcard());
    EXPECT_TRUE(plain.Chooses("backup set 1(_a)\\docs"));
    EXPECT_TRUE(plain.Chooses("backup set 1(_a)\\docs\\a.txt"));
    EXPECT_FALSE(plain.Chooses("backup set 1(_a)\\docsx\\a.txt"));

    const PathPattern wildcard("*/DOCS");
    EXPECT_TRUE(wildcard.wildcard());
    EXPECT_TRUE(wildcard.Chooses("set\\docs\\deeper\\a.txt"));
    EXPECT_FALSE(wildcard.Chooses("set\\docsx\\a.txt"));
    EXPECT_TRUE(wildcard.MatchesAFolderOf("Set/DOCS\\deeper\\"));
    EXPECT_FALSE(wildcard.MatchesAFolderOf("set\\x\\"));
    EXPECT_FALSE(wildcard.MatchesAFolderOf(""));
}

}  // namespace
}  // namespace ostrum::selection
