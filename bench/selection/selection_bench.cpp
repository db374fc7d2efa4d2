// Timed runs of the selection rules on a catalog of 1,000,000 files in 1,000 folders (ten backup sets of
// 100 folders; one folder holds 100,000 files), each against the same rule done by plain walks over every
// FileRow, measured in the same run:
//   - a toggle of the top node, of one backup set, and of the folder row of the big folder (goal: each
//     well under 50 ms);
//   - showing the big folder in the folder list, and reading each of its rows once (goal: under 100 ms);
//   - a toggle of one file row in the big folder.
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
#include "selection/selection_rules.h"

namespace {

using namespace ostrum;
using Clock = std::chrono::steady_clock;
using selection::SelectionRules;
using selection::testing::ReferenceSelection;

constexpr int kSets = 10;
constexpr int kFoldersPerSet = 100;
constexpr std::size_t kFiles = 1'000'000;
constexpr std::size_t kBigFolderFiles = 100'000;
constexpr int kRounds = 5;

double Milliseconds(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

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
    std::printf("all results agree with the plain walks\n");
    return 0;
}
