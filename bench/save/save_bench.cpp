// SPDX-License-Identifier: GPL-3.0-or-later
// Timed runs of the saving engine, each against a baseline measured in the same run:
//  1. saving 2 GiB of files (16 files of 128 MiB) from an image against a plain copy of a 2 GiB file in
//     1 MiB reads and writes, then an fsync (goal: ratio of the copy's time to the save's time at least
//     0.8);
//  2. saving 100,000 small files (100 folders of 1,000) from an image against creating the same files
//     under the same names by a plain loop of open, write and close, then a syncfs (files per second, and
//     the ratio).
// The results are checked: every saved file holds exactly the bytes the writer put in. Exits 1 when a
// result is wrong.
// Usage: save_bench [WORK_FOLDER [small|big]]   (default: both runs, in a new folder under the temporary
// folder, removed at the end)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "catalog/image_scanner.h"
#include "catalog/shell_file_info.h"
#include "mtf_writer.h"
#include "save/save_files.h"
#include "save/save_path.h"
#include "support/bench_support.h"

namespace {

namespace fs = std::filesystem;
namespace mw = ostrum::mtfwriter;
using namespace ostrum;
using bench::Clock;
using bench::Seconds;

constexpr int kRounds = 3;
constexpr std::uint64_t kBigFileBytes = 128ull << 20;
constexpr int kBigFiles = 16;  // 2 GiB
constexpr int kSmallFolders = 100;
constexpr int kSmallPerFolder = 1000;
constexpr std::size_t kCopyBuffer = 1 << 20;

std::uint64_t SmallSize(std::uint64_t n) {
    return 100 + (n * 7919) % 900;
}

mw::Manifest WriteBigImage(const fs::path& path) {
    mw::ImageFileSink sink(path);
    mw::MediaWriter writer(sink, {.mediaName = "Bench"});
    writer.BeginSet({.name = "Big"});
    for (int i = 0; i < kBigFiles; ++i) {
        writer.AddFile({.name = "FILE" + std::to_string(i) + ".BIN",
                        .data = mw::GeneratedData{kBigFileBytes, static_cast<std::uint64_t>(i + 1)}});
    }
    writer.EndSet();
    return writer.Finish();
}

void WriteSmallImage(const fs::path& path) {
    mw::ImageFileSink sink(path);
    mw::MediaWriter writer(sink, {.mediaName = "Bench"}, {.recordFiles = false});
    writer.BeginSet({.name = "Small"});
    for (int folder = 0; folder < kSmallFolders; ++folder) {
        writer.AddDirectory({.path = {"F" + std::to_string(folder)}});
        for (int i = 0; i < kSmallPerFolder; ++i) {
            const std::uint64_t n = static_cast<std::uint64_t>(folder) * kSmallPerFolder + i;
            writer.AddFile(
                {.name = "S" + std::to_string(n) + ".DAT", .data = mw::GeneratedData{SmallSize(n), n}});
        }
    }
    writer.EndSet();
    writer.Finish();
}

std::vector<save::SaveItem> ScanItems(const fs::path& image) {
    catalog::Catalog found(std::make_shared<catalog::ExtensionFileInfo>());
    common::ImageFile file;
    if (!common::OpenImageFile(file, image.string())) return {};
    catalog::CatalogSink sink;
    std::atomic<bool> active{true};
    catalog::ScanImageFile(file, found, sink, active);
    found.FinishScan();
    return save::CheckedItems(found);
}

// The save reports a file only once its data have reached the disk; each baseline ends the same way (one
// fsync, one syncfs), so that both sides time the same work.

// The baseline of the second run: the same files created by a plain loop of writes.
bool PlainSmallFiles(const fs::path& root, const std::vector<std::uint8_t>& data) {
    for (int folder = 0; folder < kSmallFolders; ++folder) {
        const fs::path dir = root / ("F" + std::to_string(folder));
        fs::create_directories(dir);
        for (int i = 0; i < kSmallPerFolder; ++i) {
            const std::uint64_t n = static_cast<std::uint64_t>(folder) * kSmallPerFolder + i;
            const fs::path file = dir / ("S" + std::to_string(n) + ".DAT");
            const int out = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (out < 0) return false;
            const auto size = static_cast<std::size_t>(SmallSize(n));
            const bool ok = ::write(out, data.data(), size) == static_cast<ssize_t>(size);
            if (::close(out) != 0 || !ok) return false;
        }
    }
    const int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && ::syncfs(folder) == 0;
    if (folder >= 0) ::close(folder);
    return synced;
}

save::SaveReport Save(const std::vector<save::SaveItem>& items, const fs::path& image,
                      const fs::path& destination) {
    fs::create_directories(destination);
    save::SaveSink sink;
    std::atomic<bool> cancel{false};
    save::SaveRequest request{false, image.string(), destination.string()};
    return save::SaveFiles(items, request, sink, cancel);
}

// Compares a saved file with the generator's bytes, piece by piece.
bool SameAsGenerated(const fs::path& path, std::uint64_t seed, std::uint64_t size) {
    if (!fs::exists(path) || fs::file_size(path) != size) return false;
    const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const auto buffer = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBuffer, size));
    std::vector<std::uint8_t> got(buffer), want(buffer);
    bool same = in >= 0;
    for (std::uint64_t at = 0; same && at < size; at += buffer) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer, size - at));
        mw::FillGenerated(seed, at, std::span(want).first(n));
        same = ::pread(in, got.data(), n, static_cast<off_t>(at)) == static_cast<ssize_t>(n) &&
               std::equal(want.begin(), want.begin() + static_cast<std::ptrdiff_t>(n), got.begin());
    }
    if (in >= 0) ::close(in);
    return same;
}

bool BigRun(const fs::path& work) {
    const fs::path image = work / "big.img";
    std::printf("writing %d files of %llu MiB...\n", kBigFiles,
                static_cast<unsigned long long>(kBigFileBytes >> 20));
    WriteBigImage(image);
    const auto items = ScanItems(image);
    if (items.size() != kBigFiles)
        return std::printf("FAIL: the scan found %zu files\n", items.size()), false;
    // The plain copy copies a 2 GiB file: the image less its few descriptor blocks is close enough, so
    // it copies 2 GiB exactly from a file of that size made from the image's start.
    const fs::path source = work / "copy-source.bin";
    fs::copy_file(image, source);
    fs::resize_file(source, kBigFiles * kBigFileBytes);

    double bestSave = 1e9, bestCopy = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        fs::remove_all(work / "copy.bin");
        ::sync();  // each timed run starts without the write-back of the one before
        auto start = Clock::now();
        if (!bench::PlainCopy(source, work / "copy.bin", kCopyBuffer))
            return std::printf("FAIL: the plain copy failed\n"), false;
        bestCopy = std::min(bestCopy, Seconds(start));

        fs::remove_all(work / "saved");
        ::sync();
        start = Clock::now();
        const auto report = Save(items, image, work / "saved");
        bestSave = std::min(bestSave, Seconds(start));
        if (report.totals.saved != kBigFiles)
            return std::printf("FAIL: %zu files saved\n", report.totals.saved), false;
    }
    fs::remove_all(work / "copy.bin");
    for (int i = 0; i < kBigFiles; ++i) {
        const fs::path saved = work / "saved/BACKUP SET 1(_Big)" / ("FILE" + std::to_string(i) + ".BIN");
        if (!SameAsGenerated(saved, static_cast<std::uint64_t>(i + 1), kBigFileBytes)) {
            return std::printf("FAIL: %s differs from what was written\n", saved.c_str()), false;
        }
    }
    const double gib = static_cast<double>(kBigFiles * kBigFileBytes) / (1 << 30);
    std::printf("2 GiB save: %.2f s (%.0f MiB/s); plain copy: %.2f s; ratio copy/save %.2f (goal >= 0.8)\n",
                bestSave, gib * 1024 / bestSave, bestCopy, bestCopy / bestSave);
    fs::remove_all(work / "saved");
    fs::remove(source);
    fs::remove(image);
    return true;
}

bool SmallRun(const fs::path& work) {
    const fs::path image = work / "small.img";
    const int files = kSmallFolders * kSmallPerFolder;
    std::printf("writing %d small files...\n", files);
    WriteSmallImage(image);
    const auto items = ScanItems(image);
    if (items.size() != static_cast<std::size_t>(files)) {
        return std::printf("FAIL: the scan found %zu files\n", items.size()), false;
    }
    std::vector<std::uint8_t> data(1000, 0x5A);
    double bestSave = 1e9, bestLoop = 1e9;
    // Every round writes into folders of its own: removing 100,000 files just before creating as many
    // makes the file system hunt for free inodes, which would time the removal rather than the writing.
    for (int round = 0; round < kRounds; ++round) {
        const std::string suffix = std::to_string(round);
        ::sync();
        auto start = Clock::now();
        if (!PlainSmallFiles(work / ("loop" + suffix), data))
            return std::printf("FAIL: the plain loop failed\n"), false;
        bestLoop = std::min(bestLoop, Seconds(start));

        ::sync();
        start = Clock::now();
        const auto report = Save(items, image, work / ("saved" + suffix));
        bestSave = std::min(bestSave, Seconds(start));
        if (report.totals.saved != static_cast<std::size_t>(files)) {
            return std::printf("FAIL: %zu files saved\n", report.totals.saved), false;
        }
    }
    for (int folder = 0; folder < kSmallFolders; ++folder) {
        for (int i = 0; i < kSmallPerFolder; ++i) {
            const std::uint64_t n = static_cast<std::uint64_t>(folder) * kSmallPerFolder + i;
            const fs::path saved = work / "saved0/BACKUP SET 1(_Small)" / ("F" + std::to_string(folder)) /
                                   ("S" + std::to_string(n) + ".DAT");
            if (!SameAsGenerated(saved, n, SmallSize(n))) {
                return std::printf("FAIL: %s differs from what was written\n", saved.c_str()), false;
            }
        }
    }
    std::printf(
        "100,000 small files: save %.2f s (%.0f files/s); plain loop of writes %.2f s (%.0f files/s); "
        "ratio loop/save %.2f\n",
        bestSave, files / bestSave, bestLoop, files / bestLoop, bestLoop / bestSave);
    for (int round = 0; round < kRounds; ++round) {
        fs::remove_all(work / ("loop" + std::to_string(round)));
        fs::remove_all(work / ("saved" + std::to_string(round)));
    }
    fs::remove(image);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool ownFolder = argc < 2;
    const fs::path work =
        ownFolder ? fs::temp_directory_path() / ("ostrum-save-bench-" + std::to_string(::getpid()))
                  : fs::path(argv[1]);
    fs::create_directories(work);
    const std::string only = argc > 2 ? argv[2] : "";
    const bool ok = (only == "big" || SmallRun(work)) && (only == "small" || BigRun(work));
    if (ownFolder) fs::remove_all(work);
    std::printf(ok ? "all results checked\n" : "FAILED\n");
    return ok ? 0 : 1;
}
