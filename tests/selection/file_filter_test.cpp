// SPDX-License-Identifier: GPL-3.0-or-later
// The filter over random catalogs against plain walks over every path: a plain text looked for in the
// folded path, a wildcard pattern chosen as --include chose before its matcher moved into the core
// (fnmatch on the folded path below "TAPE MEDIA\" and on each folder above it).

#include "selection/file_filter.h"

#include <fnmatch.h>
#include <gtest/gtest.h>

#include <random>

namespace ostrum::selection {
namespace {

std::string Fold(std::string_view text) {
    std::string folded;
    for (char c : text) {
        folded += c == '/' ? '\\' : (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return folded;
}

// --include's choice of a path, as the command line made it with fnmatch.
bool IncludeChooses(std::string_view typed, std::string_view path) {
    auto belowRoot = [](std::string_view text) {
        std::string folded = Fold(text);
        if (folded.starts_with("tape media\\")) folded.erase(0, 11);
        while (folded.ends_with('\\')) folded.pop_back();
        return folded;
    };
    const std::string pattern = belowRoot(typed);
    for (std::string candidate = belowRoot(path);;) {
        if (::fnmatch(pattern.c_str(), candidate.c_str(), FNM_NOESCAPE) == 0) return true;
        const auto separator = candidate.rfind('\\');
        if (separator == std::string::npos) return false;
        candidate.resize(separator);
    }
}

std::vector<std::uint32_t> PlainWalk(const catalog::Catalog& catalog, std::string_view text) {
    const bool wildcard = text.find_first_of("*?[") != std::string_view::npos;
    std::vector<std::uint32_t> rows;
    for (std::uint32_t row = 0; row < catalog.rowCount(); ++row) {
        const std::string path = catalog.row(row).path().str();
        const bool shown =
            wildcard ? IncludeChooses(text, path) : Fold(path).find(Fold(text)) != std::string::npos;
        if (shown) rows.push_back(row);
    }
    return rows;
}

class RandomCatalog {
  public:
    explicit RandomCatalog(unsigned seed) : random_(seed) {
        static const char* const kFolders[] = {"BACKUP SET 1(_A)", "Docs", "docs", "A.b", "x/y", "[a]",
                                               "TAPE MEDIA",       "d*c",  ""};
        static const char* const kNames[] = {"A.TXT", "readme", "b[1].txt", "x/y.txt", "", "Docs", "a.TXT"};
        static const char* const kRoots[] = {"TAPE MEDIA\\", "TAPE MEDIA\\", "TAPE MEDIA\\", "tape media/",
                                             ""};
        for (int file = 0; file < 400; ++file) {
            std::string path = kRoots[Pick(5)];
            for (std::size_t depth = Pick(5); depth > 0; --depth)
                path += std::string(kFolders[Pick(9)]) + "\\";
            catalog.AppendRow(path + kNames[Pick(7)], catalog::FoundFile{});
        }
    }

    // A filter text as a user might type it: part of a path found, in any case, maybe with wildcards.
    std::string Text() {
        const std::string path = catalog.row(Pick(catalog.rowCount())).path().str();
        const std::size_t from = Pick(path.size() + 1);
        std::string text = path.substr(from, Pick(path.size() - from + 1));
        for (char& c : text) {
            if (Pick(3) == 0) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (c == '\\' && Pick(2) == 0) c = '/';
        }
        const char* const kWild[] = {"*", "?", "[ab]", "*\\", "[!x]"};
        for (std::size_t n = Pick(3); n > 0; --n) text.insert(Pick(text.size() + 1), kWild[Pick(5)]);
        return text;
    }

    std::size_t Pick(std::size_t below) {
        return std::uniform_int_distribution<std::size_t>(0, below - 1)(random_);
    }

    catalog::Catalog catalog{std::make_shared<catalog::ExtensionFileInfo>()};

  private:
    std::mt19937 random_;
};

TEST(FileFilter, ShowsTheRowsTheSameTextFindsOrIncludeChooses) {
    const std::vector<std::string> typed = {
        "",          "docs",  "DOCS\\A", "x/y",           "tape media", "*.txt",   "*/docs", "TAPE MEDIA\\*",
        "*\\[a]\\*", "[ab]*", "*d*c*",   "backup set 1*", "?",          "*readme", "*\\"};
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RandomCatalog random(seed);
        std::vector<std::string> texts = typed;
        for (int i = 0; i < 60; ++i) texts.push_back(random.Text());
        for (const std::string& text : texts) {
            const FileFilter filter(text);
            const std::vector<std::uint32_t> expected = PlainWalk(random.catalog, text);
            ASSERT_EQ(filter.Rows(random.catalog), expected) << "'" << text << "'";
            // Among some rows only: those of them it shows.
            std::vector<std::uint32_t> among, expectedAmong;
            for (std::uint32_t row = 0; row < random.catalog.rowCount(); row += 3) among.push_back(row);
            std::set_intersection(among.begin(), among.end(), expected.begin(), expected.end(),
                                  std::back_inserter(expectedAmong));
            ASSERT_EQ(filter.Rows(random.catalog, among), expectedAmong) << "'" << text << "'";
        }
    }
}

TEST(FileFilter, AGrownPlainTextNarrowsTheRowsShownBefore) {
    RandomCatalog random(5);
    const FileFilter earlier("doc"), grown("DOCS/"), other("readme"), wildcard("doc*");
    EXPECT_TRUE(grown.Narrows(earlier));
    EXPECT_FALSE(other.Narrows(earlier));
    EXPECT_FALSE(wildcard.Narrows(earlier));
    EXPECT_FALSE(earlier.Narrows(wildcard));
    EXPECT_EQ(grown.Rows(random.catalog, *earlier.Rows(random.catalog)), grown.Rows(random.catalog));
}

TEST(FileFilter, AStopAskedForEndsItWithoutRows) {
    RandomCatalog random(3);
    std::stop_source stop;
    stop.request_stop();
    const std::vector<std::uint32_t> all = *FileFilter("").Rows(random.catalog);
    for (const char* text : {"docs", "*.txt"}) {
        EXPECT_FALSE(FileFilter(text).Rows(random.catalog, stop.get_token()));
        EXPECT_FALSE(FileFilter(text).Rows(random.catalog, all, stop.get_token()));
        EXPECT_TRUE(FileFilter(text).Rows(random.catalog, std::stop_source().get_token()));
    }
}

TEST(FileFilter, CountTextGroupsThousands) {
    EXPECT_EQ(ShownRowsText(2113, 1000000), "2,113 of 1,000,000");
    EXPECT_EQ(ShownRowsText(0, 999), "0 of 999");
    EXPECT_EQ(ShownRowsText(1000, 1000), "1,000 of 1,000");
}

}  // namespace
}  // namespace ostrum::selection
