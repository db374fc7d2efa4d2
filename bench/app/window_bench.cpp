// SPDX-License-Identifier: GPL-3.0-or-later
// Timed runs of the recovery window, offscreen, each checked for its result:
//   - the scan of a generated image of 1,000,000 files in 1,000 folders (ten sets), from the window's
//     making to its end-of-scan state, against `ostrum-tape-cli list --json` of the same image run just
//     before it (goal: at most 1.5 times its time, and at most twice its peak memory; each side runs in
//     a process of its own, so each peak is its own), and the window's peak memory per file found (goal:
//     at most 120 bytes);
//   - in that window, a click on the box of the top node, of one backup set and of one folder row in the
//     folder list, each with the models' announcements and the repaint that follows (goal: under 50 ms);
//   - showing a folder of 100,000 files in the folder list, from a click on its node to the list
//     painted (goal: under 100 ms);
//   - a keystroke in the filter over the 1,000,000 files, from the key to the list and its count shown
//     (goal: under 200 ms), and "Tick All Shown" / "Untick All Shown" over 100,000 rows shown (goal: under
//     100 ms).
// Usage: window_bench [FOLDER]   (the images are written there; default: a temporary folder)

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/catalog_models.h"
#include "app/catalog_views.h"
#include "app/recovery_window.h"
#include "support/bench_support.h"

extern char** environ;

namespace {

using namespace ostrum::app;
using ostrum::bench::Clock;
using ostrum::bench::Milliseconds;

constexpr int kFiles = 1'000'000;
constexpr int kBigFolderFiles = 100'000;

struct ChildRun {
    double milliseconds = 0;
    long peakKiB = 0;
    int status = -1;
    std::string output;
};

// Runs a program with its standard output read (or thrown away), and its own peak memory.
ChildRun run(const std::vector<std::string>& words, bool keepOutput) {
    std::vector<char*> argv;
    for (const auto& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (keepOutput) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    ChildRun run;
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return run;
    }
    char buffer[4096];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        run.output.append(buffer, static_cast<std::size_t>(got));
    close(pipeFds[0]);
    struct rusage usage {};
    int status = 0;
    wait4(pid, &status, 0, &usage);
    run.milliseconds = Milliseconds(start);
    run.peakKiB = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

double Value(const std::string& output, const std::string& key) {
    const auto at = output.find(key + "=");
    return at == std::string::npos ? -1 : std::stod(output.substr(at + key.size() + 1));
}

// ---- The window's side, in a process of its own.

bool WaitForScanEnd(RecoveryWindow& window) {
    if (!window.isScanRunning()) return true;
    QEventLoop loop;
    QObject::connect(&window, &RecoveryWindow::scanEnded, &loop, &QEventLoop::quit);
    loop.exec();
    return !window.isScanRunning();
}

// A click on a box, with the announcements it makes and the repaint after them.
double TimedClick(QWidget* port, const QPoint& at) {
    QApplication::processEvents();
    const auto start = Clock::now();
    QTest::mouseClick(port, Qt::LeftButton, {}, at);
    QApplication::processEvents();
    return Milliseconds(start);
}

QPoint BoxOf(const QAbstractItemView& view, const QModelIndex& index) {
    return StateImageDelegate::stateImageRect(view.visualRect(index)).center();
}

// The time of the last keystroke of `text` in the filter field, to the list and its count shown; the text
// before it is put in untimed. Each text here shows another count than the text before it.
double TimedKeystroke(RecoveryWindow& window, const QString& text) {
    window.filterField()->clear();  // every row, at once
    const QString head = text.chopped(1);
    if (!head.isEmpty()) {
        window.filterField()->setText(head);
        while (window.foundModel()->filteredRows() == nullptr)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QApplication::processEvents();
    const QString before = window.filterCount()->text();
    const auto start = Clock::now();
    QTest::keyClick(window.filterField(), text.back().toLatin1());
    while (window.filterCount()->text() == before) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
    return Milliseconds(start);
}

// The filter over all the rows, and "Untick/Tick All Shown" over one set's 100,000 rows.
int FilterSide(RecoveryWindow& window) {
    double worst = 0;
    for (const QString& text : {QStringLiteral("7"), QStringLiteral("*7.dat"), QStringLiteral("dir0004")}) {
        worst = std::max(worst, TimedKeystroke(window, text));
        if (window.foundModel()->filteredRows() == nullptr || window.foundModel()->foundRowsShown() == 0)
            return std::puts("FAIL: filter shows nothing"), 1;
    }
    std::printf("filter_keystroke_ms=%.2f\n", worst);

    window.filterFiles(QStringLiteral("SET 4("));
    while (window.foundModel()->foundRowsShown() != kFiles / 10)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    auto& rules = window.rules();
    double best = 1e9;
    for (const bool checked : {false, true}) {
        QApplication::processEvents();
        const auto start = Clock::now();
        window.checkShownFiles(checked);
        QApplication::processEvents();
        best = std::min(best, Milliseconds(start));
        if (rules.CheckedFileCount() != (checked ? kFiles : kFiles - kFiles / 10))
            return std::puts("FAIL: tick all shown"), 1;
    }
    std::printf("tick_shown_ms=%.2f\n", best);
    return 0;
}

int WindowSide(const std::string& image) {
    ScanSource source;
    source.path = image;
    const auto start = Clock::now();
    RecoveryWindow window(source);
    window.show();
    if (!WaitForScanEnd(window)) return 1;
    std::printf("scan_ms=%.1f\n", Milliseconds(start));
    auto& rules = window.rules();
    if (window.catalog().rowCount() != kFiles || rules.CheckedFileCount() != kFiles) {
        std::printf("FAIL: %zu rows, %llu ticked\n", window.catalog().rowCount(),
                    static_cast<unsigned long long>(rules.CheckedFileCount()));
        return 1;
    }

    const QModelIndex top = window.treeModel()->index(0, 0);
    const QModelIndex set = window.treeModel()->index(3, 0, top);
    QWidget* tree = window.tree()->viewport();
    double best = 1e9;
    for (int round = 0; round < 2; ++round) {
        best = std::min(best, TimedClick(tree, BoxOf(*window.tree(), top)));
        if (rules.CheckedFileCount() != (round == 0 ? 0u : std::uint64_t{kFiles}))
            return std::puts("FAIL: top"), 1;
    }
    std::printf("toggle_top_ms=%.2f\n", best);
    best = 1e9;
    for (int round = 0; round < 2; ++round) {
        best = std::min(best, TimedClick(tree, BoxOf(*window.tree(), set)));
        const std::uint64_t expected =
            round == 0 ? kFiles - rules.FilesUnder(window.treeModel()->nodeOf(set)) : kFiles;
        if (rules.CheckedFileCount() != expected) return std::puts("FAIL: set"), 1;
    }
    std::printf("toggle_set_ms=%.2f\n", best);
    // The set is shown in the folder list now: ".." and its folders.
    const QModelIndex folderRow = window.folderModel()->index(1, 0);
    best = 1e9;
    for (int round = 0; round < 2; ++round) {
        best = std::min(best,
                        TimedClick(window.folderList()->viewport(), BoxOf(*window.folderList(), folderRow)));
    }
    if (rules.CheckedFileCount() != kFiles) return std::puts("FAIL: folder row"), 1;
    std::printf("toggle_folder_row_ms=%.2f\n", best);
    return FilterSide(window);
}

int ShowFolderSide(const std::string& image) {
    ScanSource source;
    source.path = image;
    RecoveryWindow window(source);
    window.show();
    if (!WaitForScanEnd(window)) return 1;
    const QModelIndex set = window.treeModel()->index(0, 0, window.treeModel()->index(0, 0));
    window.tree()->expand(set);
    QModelIndex big;
    for (int row = 0; row < window.treeModel()->rowCount(set); ++row) {
        const QModelIndex folder = window.treeModel()->index(row, 0, set);
        if (window.rules().FilesUnder(window.treeModel()->nodeOf(folder)) == kBigFolderFiles) big = folder;
    }
    if (!big.isValid()) return std::puts("FAIL: no folder of 100,000 files"), 1;
    QApplication::processEvents();
    const QPoint label = window.tree()->visualRect(big).center() + QPoint(20, 0);
    const double ms = TimedClick(window.tree()->viewport(), label);
    if (window.folderModel()->rowCount() != kBigFolderFiles + 1) return std::puts("FAIL: rows shown"), 1;
    std::printf("show_folder_ms=%.2f\n", ms);
    return 0;
}

double BytesPerFile(long peakKiB) {
    return static_cast<double>(peakKiB) * 1024 / kFiles;
}

void report(const char* what, double value, double goal, const char* unit, bool& ok) {
    const bool met = value >= 0 && value <= goal;
    ok = ok && met;
    std::printf("%-52s %10.2f %s  goal <= %.2f %s\n", what, value, unit, goal, met ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && (std::string(argv[1]) == "--window" || std::string(argv[1]) == "--show-folder")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return std::string(argv[1]) == "--window" ? WindowSide(argv[2]) : ShowFolderSide(argv[2]);
    }
    QTemporaryDir temporary;
    const std::string folder = argc > 1 ? argv[1] : temporary.path().toStdString();
    const std::string image = folder + "/million.img";
    const std::string bigFolder = folder + "/big-folder.img";
    std::printf("writing the images into %s...\n", folder.c_str());
    if (run({OSTRUM_MKMEDIA_PATH, "generate", image, "--files", "1000000", "--folders", "1000", "--sets",
             "10", "--file-size", "64", "--logical-block-size", "512"},
            false)
                .status != 0 ||
        run({OSTRUM_MKMEDIA_PATH, "generate", bigFolder, "--files", "100000", "--folders", "1", "--file-size",
             "64", "--logical-block-size", "512"},
            false)
                .status != 0) {
        return std::puts("FAIL: cannot write the images"), 1;
    }

    const std::string self = argv[0][0] == '/' ? argv[0] : std::string(std::getenv("PWD")) + "/" + argv[0];
    ChildRun cli, window;
    for (int round = 0; round < 2; ++round) {
        const ChildRun c = run({OSTRUM_CLI_PATH, "list", "--json", image}, false);
        const ChildRun w = run({self, "--window", image}, true);
        if (c.status != 0 || w.status != 0) {
            std::printf("FAIL: list exit %d, window exit %d\n%s", c.status, w.status, w.output.c_str());
            return 1;
        }
        if (round == 0 || c.milliseconds < cli.milliseconds) cli = c;
        if (round == 0 || Value(w.output, "scan_ms") < Value(window.output, "scan_ms")) window = w;
    }
    const ChildRun shown = run({self, "--show-folder", bigFolder}, true);
    if (shown.status != 0) return std::printf("FAIL: %s", shown.output.c_str()), 1;

    const double scan = Value(window.output, "scan_ms");
    std::printf("list --json of 1,000,000 files: %.0f ms, peak %ld MiB; window scan: %.0f ms, peak %ld MiB\n",
                cli.milliseconds, cli.peakKiB / 1024, scan, window.peakKiB / 1024);
    bool ok = true;
    report("window scan / list --json (time)", scan / cli.milliseconds, 1.5, "x", ok);
    report("window peak memory / list --json peak memory", static_cast<double>(window.peakKiB) / cli.peakKiB,
           2.0, "x", ok);
    // The catalog's cost per file: each side's whole peak over the files it holds.
    report("window peak memory per file", BytesPerFile(window.peakKiB), 120, "bytes", ok);
    std::printf("%-52s %10.2f bytes\n", "list --json peak memory per file", BytesPerFile(cli.peakKiB));
    report("click on the top node's box (1,000,000 files)", Value(window.output, "toggle_top_ms"), 50, "ms",
           ok);
    report("click on a backup set's box (100,000 files)", Value(window.output, "toggle_set_ms"), 50, "ms",
           ok);
    report("click on a folder row's box (1,000 files)", Value(window.output, "toggle_folder_row_ms"), 50,
           "ms", ok);
    report("showing a folder of 100,000 files", Value(shown.output, "show_folder_ms"), 100, "ms", ok);
    report("a keystroke in the filter (1,000,000 files)", Value(window.output, "filter_keystroke_ms"), 200,
           "ms", ok);
    report("Tick or Untick All Shown (100,000 files shown)", Value(window.output, "tick_shown_ms"), 100, "ms",
           ok);
    return ok ? 0 : 1;
}
