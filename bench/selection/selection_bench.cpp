// SPDX-License-Identifier: GPL-3.0-or-later
// Timed runs of the selection rules on a catalog of 1,000,000 files in 1,000 folders (ten backup sets of
// 100 folders; one folder holds 100,000 files), each against the same rule done by plain walks over every
// FileRow, measured in the same run:
//   - a toggle of the top node, of one backup set, and of the folder row of the big folder (goal: each
//     well under 50 ms);
//   - showing the big folder in the folder list, and reading each of its rows once (goal: under 100 ms);
//   - a toggle of one file row in the big folder;
//   - a keystroke in the filter above the list of all files, a plain text and a wildcard pattern, over all
//     1,000,000 rows (goal: under 50 ms), against the same choice made row by row on the joined path, as
//     --include makes it;
//   - "Untick All Shown" and "Tick All Shown" of a filter's 99,910 rows in every folder (goal: under
//     100 ms), against the same rows changed one by one without any recompute.
// After every rule the marks of every node and the checks of every row are compared with the plain
// walks' own; the run exits 1 when they differ. Also reported: the time to feed the catalog to the rules
// as a scan would, and the memory that takes.
// Usage: selection_bench

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "catalog/catalog.h"
#include "reference_selection.h"
#include "selection/file_filter.h"
#include "selection/selection_rules.h"
#include "support/bench_support.h"

namespace {

using namespace ostrum;
using bench::Clock;
using bench::Milliseconds;
using bench::ResidentKiB;
using selection::SelectionRules;
using selection::testing::ReferenceSelection;

constexpr int kSets = 10;
constexpr int kFoldersPerSet = 100;
constexpr std::size_t kFiles = 1'000'000;
constexpr std::size_t kBigFolderFiles = 100'000;
constexpr int kRounds = 5;

std::string SetLabel(int set) {
    return "BACKUP SET " + std::to_string(set + 1) + "(_Daily)";
}

// Folder 0 of set 0 is the big one; the other 900,000 files are spread evenly over the other 999.
void Fill(catalog::Catalog& catalog) {
    const std::size_t others = kSets * kFoldersPerSet - 1;
    const std::size_t rest = kFiles - kBigFolderFiles;
    std::size_t folderIndex = 0;
    for (int set = 0; set < kSets; ++set) {
        for (int folder = 0; folder < kFoldersPerSet; ++folder, ++folderIndex) {
            const std::string directory =
                "TAPE MEDIA\\" + SetLabel(set) + "\\F" + std::to_string(folder) + "\\";
            catalog.InsertPath(directory);
            std::size_t files = kBigFolderFiles;
            if (folderIndex > 0) files = rest / others + (folderIndex - 1 < rest % others ? 1 : 0);
            for (std::size_t file = 0; file < files; ++file) {
                catalog.AppendRow(directory + "FILE" + std::to_string(file) + ".TXT", catalog::FoundFile{});
            }
        }
    }
}

struct Bench {
    catalog::Catalog catalog{std::make_shared<catalog::ExtensionFileInfo>()};
    std::unique_ptr<SelectionRules> rules;
    std::unique_ptr<ReferenceSelection> reference;
    bool ok = true;

    bool Same(const char* what) {
        for (catalog::NodeId node = 0; node < catalog.nodeCount(); ++node) {
            if (catalog.node(node).state != reference->marks[node]) {
                std::printf("FAIL after %s: the mark of %s differs\n", what, catalog.FullPath(node).c_str());
                return ok = false;
            }
        }
        for (std::size_t row = 0; row < catalog.rowCount(); ++row) {
            if (catalog.row(row).checked() != reference->checks[row]) {
                std::printf("FAIL after %s: the check of %s differs\n", what,
                            catalog.row(row).path().str().c_str());
                return ok = false;
            }
        }
        return true;
    }

    // Runs the rule on both sides twice per round (there and back), checking the result each time. The rule
    // returns how many file rows it changed (for the folder list: how many checked rows it read).
    void Compare(const char* what, double goal, const std::function<std::size_t()>& rule,
                 const std::function<void()>& plain) {
        double best = 1e9, bestPlain = 1e9;
        std::size_t changed = 0;
        for (int round = 0; round < kRounds && ok; ++round) {
            for (int half = 0; half < 2 && ok; ++half) {
                auto start = Clock::now();
                changed = rule();
                best = std::min(best, Milliseconds(start));
                // The plain walks take long: two rounds are enough to know their speed.
                if (round < 2) {
                    start = Clock::now();
                    plain();
                    bestPlain = std::min(bestPlain, Milliseconds(start));
                } else {
                    plain();
                }
                Same(what);
            }
        }
        std::printf("%-44s %9.3f ms  (plain walks %9.1f ms, ratio %5.0f)  %7zu rows  goal < %.0f ms %s\n",
                    what, best, bestPlain, bestPlain / best, changed, goal, best < goal ? "met" : "MISSED");
    }
};

// The best of kRounds runs of `work`, in milliseconds.
double Best(const std::function<void()>& work) {
    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = Clock::now();
        work();
        best = std::min(best, Milliseconds(start));
    }
    return best;
}

void Report(const char* what, double took, double plain, std::size_t rows, double goal) {
    std::printf("%-44s %9.3f ms  (plain walks %9.1f ms, ratio %5.0f)  %7zu rows  goal < %.0f ms %s\n", what,
                took, plain, plain / took, rows, goal, took < goal ? "met" : "MISSED");
}

// One keystroke in the filter, a plain text and a wildcard pattern, against the rows chosen one by one on
// the joined, folded path.
bool FilterKeystrokes(const catalog::Catalog& catalog) {
    for (const char* text : {"file12", "*\\F1?\\FILE9*"}) {
        const selection::FileFilter filter(text);
        std::vector<std::uint32_t> rows;
        const double took = Best([&] { rows = *filter.Rows(catalog); });
        std::vector<std::uint32_t> plainRows;
        const selection::PathPattern pattern(text);
        std::string needle(text);
        for (char& c : needle) c = selection::PathFold(c);
        const double plain = Best([&] {
            plainRows.clear();
            for (std::uint32_t row = 0; row < catalog.rowCount(); ++row) {
                const std::string path = catalog.row(row).path().str();
                std::string folded = path;
                for (char& c : folded) c = selection::PathFold(c);
                const bool shown = filter.wildcard() ? pattern.Chooses(selection::FoldedBelowRoot(path))
                                                     : folded.find(needle) != std::string::npos;
                if (shown) plainRows.push_back(row);
            }
        });
        Report(filter.wildcard() ? "filter keystroke, wildcard pattern" : "filter keystroke, plain text",
               took, plain, rows.size(), 50);
        if (rows != plainRows || rows.empty())
            return std::printf("FAIL: the filter '%s' shows %zu rows, the plain walk %zu\n", text,
                               rows.size(), plainRows.size()),
                   false;
    }
    return true;
}

// Every node's mark is the one its counts give; every row shown has the check.
bool MarksFollowCounts(const catalog::Catalog& catalog, const SelectionRules& rules,
                       const std::vector<std::uint32_t>& rows, bool checked) {
    for (catalog::NodeId node = 0; node < catalog.nodeCount(); ++node) {
        const auto under = rules.FilesUnder(node), checkedUnder = rules.CheckedFilesUnder(node);
        const auto want = checkedUnder == under ? selection::CheckState::Checked
                          : checkedUnder == 0   ? selection::CheckState::Unchecked
                                                : selection::CheckState::Partial;
        if (rules.Mark(node) != want)
            return std::printf("FAIL: the mark of %s does not follow its files\n",
                               catalog.FullPath(node).c_str()),
                   false;
    }
    for (std::uint32_t row : rows) {
        if (catalog.row(row).checked() != checked)
            return std::printf("FAIL: row %u keeps its check\n", row), false;
    }
    return true;
}

// "Untick All Shown" and "Tick All Shown" of a filter's 100,000 rows, spread over every folder, against the
// same rows changed one by one (which leaves the marks as they were).
bool TickAllShown(catalog::Catalog& catalog, SelectionRules& rules) {
    rules.FinishScan();
    const std::vector<std::uint32_t> rows = *selection::FileFilter("*7.TXT").Rows(catalog);
    double untick = 1e9, tick = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        const std::size_t unticked = rules.SetFileRowChecks(rows, false).FileRowCount();
        untick = std::min(untick, Milliseconds(start));
        if (unticked != rows.size() || rules.CheckedFileCount() != kFiles - rows.size() ||
            !MarksFollowCounts(catalog, rules, rows, false))
            return std::printf("FAIL: unticking %zu rows shown changed %zu\n", rows.size(), unticked), false;
        start = Clock::now();
        const std::size_t ticked = rules.SetFileRowChecks(rows, true).FileRowCount();
        tick = std::min(tick, Milliseconds(start));
        if (ticked != rows.size() || rules.CheckedFileCount() != kFiles ||
            !MarksFollowCounts(catalog, rules, rows, true))
            return std::printf("FAIL: ticking %zu rows shown changed %zu\n", rows.size(), ticked), false;
    }
    const double plain = Best([&] {
                             for (std::uint32_t row : rows) rules.SetFileRowCheck(row, false);
                             for (std::uint32_t row : rows) rules.SetFileRowCheck(row, true);
                         }) /
                         2;
    Report("untick all shown (a filter's rows)", untick, plain, rows.size(), 100);
    Report("tick all shown (a filter's rows)", tick, plain, rows.size(), 100);
    return true;
}

}  // namespace

int main() {
    Bench bench;
    std::printf("building a catalog of %zu files in %d folders...\n", kFiles, kSets * kFoldersPerSet);
    Fill(bench.catalog);
    catalog::Catalog& catalog = bench.catalog;

    const long before = ResidentKiB();
    auto start = Clock::now();
    bench.rules = std::make_unique<SelectionRules>(catalog);
    // As a window is fed during a scan: a batch at a time.
    for (std::size_t rows = 0; rows < catalog.rowCount();) {
        rows = std::min(rows + 5000, catalog.rowCount());
        bench.rules->CatchUp(catalog.nodeCount(), rows);
    }
    const double feed = Milliseconds(start);
    const long grown = ResidentKiB() - before;
    start = Clock::now();
    bench.rules->FinishScan();
    const double finish = Milliseconds(start);
    SelectionRules& rules = *bench.rules;
    std::printf("feeding %zu rows: %.1f ms; index memory %.1f bytes per file; FinishScan %.1f ms\n",
                catalog.rowCount(), feed, grown * 1024.0 / static_cast<double>(kFiles), finish);
    if (rules.CheckedFileCount() != kFiles)
        return std::printf("FAIL: FinishScan checked %llu files\n",
                           static_cast<unsigned long long>(rules.CheckedFileCount())),
               1;

    bench.reference = std::make_unique<ReferenceSelection>(catalog);
    ReferenceSelection& reference = *bench.reference;
    reference.FinishScan();

    const catalog::NodeId top = catalog.roots().front();
    const catalog::NodeId set = rules.Children(top)[3];
    const catalog::NodeId firstSet = rules.Children(top)[0];
    const catalog::NodeId big = rules.Children(firstSet)[0];

    bench.Compare(
        "toggle of the top node", 50, [&] { return rules.ToggleNodeCheck(top).FileRowCount(); },
        [&] { reference.ToggleNodeCheck(top); });
    bench.Compare(
        "toggle of one backup set", 50, [&] { return rules.ToggleNodeCheck(set).FileRowCount(); },
        [&] { reference.ToggleNodeCheck(set); });
    // The big folder's row in its set's folder list: row 0 is "..".
    rules.ShowFolder(firstSet);
    reference.ShowFolder(firstSet);
    bench.Compare(
        "toggle of the folder row of 100,000 files", 50,
        [&] { return rules.ToggleRowCheck(1).FileRowCount(); }, [&] { reference.ToggleRowCheck(1); });

    std::size_t shownRows = 0;
    bench.Compare(
        "ShowFolder of 100,000 files, each row read", 100,
        [&] {
            rules.ShowFolder(firstSet);
            rules.ShowFolder(big);
            shownRows = rules.FolderRowCount();
            std::size_t checkedFiles = 0, nameBytes = 0;
            for (std::size_t row = 0; row < shownRows; ++row) {
                checkedFiles += rules.FolderRowMark(row) == selection::CheckState::Checked;
                nameBytes += rules.FolderRowName(row).size();
            }
            return nameBytes > 0 ? checkedFiles : 0;
        },
        [&] { reference.ShowFolder(big); });
    if (shownRows != kBigFolderFiles + 1)
        return std::printf("FAIL: the big folder shows %zu rows\n", shownRows), 1;
    start = Clock::now();
    rules.ShowFolder(firstSet);
    rules.ShowFolder(big);
    std::printf("%-44s %9.4f ms\n", "ShowFolder alone (two folders)", Milliseconds(start));

    bench.Compare(
        "toggle of one file row in that folder", 50,
        [&] { return rules.ToggleRowCheck(50'000).FileRowCount(); },
        [&] { reference.ToggleRowCheck(50'000); });
    if (!bench.ok) return 1;
    if (!FilterKeystrokes(catalog) || !TickAllShown(catalog, rules)) return 1;
    std::printf("all results agree with the plain walks\n");
    return 0;
}
