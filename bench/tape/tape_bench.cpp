// SPDX-License-Identifier: GPL-3.0-or-later
// Timed runs of the tape layer on a generated virtual tape of at least 1 GiB (three backup sets with
// filemarks between them, 64 KiB blocks), each against a baseline measured in the same run:
//  1. ScanTape on the virtual tape against ScanImageFile on the image copied from it (goal: ratio of
//     the image scan's time to the tape scan's time at least 0.8);
//  2. CopyTapeToImage against a plain copy of a file of the same size in 65,536-byte reads and writes,
//     then an fsync, as the image copy ends (goal: ratio at least 0.8).
// The results are checked: the copy holds every byte of the tape's data, both scans find every file
// written, with the same paths and sizes. Exits 1 when a result is wrong.
// Usage: tape_bench [WORK_FOLDER]   (default: a new folder under the temporary folder; removed at the end)

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "catalog/image_scanner.h"
#include "catalog/shell_file_info.h"
#include "mtf_writer.h"
#include "support/bench_support.h"
#include "tape/tape_imaging.h"
#include "tape/tape_scanner.h"

namespace {

namespace fs = std::filesystem;
namespace mw = ostrum::mtfwriter;
using namespace ostrum;
using bench::BestTime;
using bench::Clock;
using bench::Seconds;

constexpr int kCopyRounds = 5;
constexpr int kScanRounds = 7;  // the scans are short and the machine shared: best of more rounds
constexpr std::uint64_t kTapeBytes = 1ull << 30;
constexpr std::uint32_t kBlockSize = 65536;

// Three sets of files of mixed sizes, in folders, together a little over kTapeBytes.
mw::Manifest MakeTape(const fs::path& path) {
    mw::TapFileSink sink(path, kBlockSize);
    mw::MediaWriter writer(sink, {.mediaName = "Bench", .logicalBlockSize = 1024}, {.recordFiles = false});
    const std::uint64_t sizes[] = {1000, 30000, 250000, 2000000};
    std::uint64_t written = 0, seed = 0;
    for (int set = 0; set < 3; ++set) {
        writer.BeginSet({.name = "Set" + std::to_string(set + 1)});
        for (int folder = 0; written < kTapeBytes * (set + 1) / 3; ++folder) {
            writer.AddDirectory({.path = {"data", "folder" + std::to_string(folder)}});
            for (int i = 0; i < 40; ++i, ++seed) {
                const std::uint64_t size = sizes[seed % 4];
                writer.AddFile(
                    {.name = "file" + std::to_string(i) + ".bin", .data = mw::GeneratedData{size, seed}});
                written += size;
            }
        }
        writer.EndSet();
    }
    return writer.Finish();
}

// What a scan must agree on: every row's path and size.
std::vector<std::string> Rows(const catalog::Catalog& catalog) {
    std::vector<std::string> rows;
    rows.reserve(catalog.rowCount());
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        const auto& row = catalog.row(i);
        rows.push_back(row.path().str() + "|" + (row.size() ? std::to_string(*row.size()) : "-"));
    }
    return rows;
}

std::unique_ptr<catalog::Catalog> NewCatalog() {
    return std::make_unique<catalog::Catalog>(std::make_shared<catalog::ExtensionFileInfo>());
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "tape_bench: WRONG RESULT: %s\n", what.c_str());
    return 1;
}

int Run(const fs::path& folder) {
    const fs::path tapPath = folder / "bench.tap", imagePath = folder / "bench.img",
                   plainPath = folder / "plain.img";
    std::printf("writing a virtual tape of at least %llu bytes...\n",
                static_cast<unsigned long long>(kTapeBytes));
    const mw::Manifest manifest = MakeTape(tapPath);
    std::printf("tape: %llu bytes of data in %llu files, %zu filemarks, %llu bytes on file\n",
                static_cast<unsigned long long>(manifest.imageSize),
                static_cast<unsigned long long>(manifest.fileCount), manifest.filemarks.size(),
                static_cast<unsigned long long>(fs::file_size(tapPath)));

    tape::TapeDevices devices;
    if (!devices.AttachVirtual(0, {.path = tapPath.string()})) return Fail("cannot attach the tape");

    BestTime copy, plain, tapeScan, imageScan;
    // Both copies write a new file (truncating a cached 1 GiB file is costly and would be timed), start
    // without the dirty pages of the step before, and take turns at going first.
    auto timeTapeCopy = [&]() -> std::string {
        tape::ImagingSink quietImaging;
        std::atomic<std::uint32_t> stop{0};
        fs::remove(imagePath);
        ::sync();
        const auto start = Clock::now();
        const tape::ImageCopyResult copied =
            tape::CopyTapeToImage(devices, "//./tape0", imagePath, quietImaging, stop);
        copy.Take(Seconds(start));
        if (!copied.done || copied.copied != manifest.imageSize ||
            fs::file_size(imagePath) != manifest.imageSize) {
            return "the copy holds " + std::to_string(copied.copied) + " bytes, not " +
                   std::to_string(manifest.imageSize) + " " + copied.error;
        }
        return {};
    };
    auto timePlainCopy = [&]() -> std::string {
        fs::remove(plainPath);
        ::sync();
        const auto start = Clock::now();
        const std::optional<std::uint64_t> plainBytes = bench::PlainCopy(imagePath, plainPath, kBlockSize);
        plain.Take(Seconds(start));
        return plainBytes == manifest.imageSize ? std::string() : "the plain copy is short";
    };
    if (std::string error = timeTapeCopy(); !error.empty()) return Fail(error);
    for (int round = 0; round < kCopyRounds; ++round) {
        const bool plainFirst = round % 2 == 0;
        for (int turn = 0; turn < 2; ++turn) {
            const std::string error = (turn == 0) == plainFirst ? timePlainCopy() : timeTapeCopy();
            if (!error.empty()) return Fail(error);
        }
    }
    fs::remove(plainPath);
    ::sync();

    for (int round = 0; round < kScanRounds; ++round) {
        catalog::CatalogSink quiet;
        std::atomic<bool> active{true}, stopRequested{false};
        auto fromTape = NewCatalog();
        auto start = Clock::now();
        tape::TapeScanSummary summary;
        const int scanned =
            tape::ScanTape(devices, "//./tape0", *fromTape, quiet, active, stopRequested, &summary);
        tapeScan.Take(Seconds(start));
        if (scanned != 1 || !summary.endOfData) return Fail("the tape scan did not reach the end of data");

        auto fromImage = NewCatalog();
        common::ImageFile image;
        if (!common::OpenImageFile(image, imagePath.string())) return Fail(image.error());
        start = Clock::now();
        catalog::ScanImageFile(image, *fromImage, quiet, active);
        imageScan.Take(Seconds(start));

        if (fromTape->rowCount() != manifest.fileCount) {
            return Fail("the tape scan found " + std::to_string(fromTape->rowCount()) + " of " +
                        std::to_string(manifest.fileCount) + " files");
        }
        if (Rows(*fromTape) != Rows(*fromImage)) return Fail("the tape and image scans disagree");
    }

    const double gib = static_cast<double>(manifest.imageSize) / (1 << 30);
    const double scanRatio = imageScan.best / tapeScan.best;
    const double copyRatio = plain.best / copy.best;
    std::printf("scan:  tape %.3f s (%.2f GiB/s), image %.3f s (%.2f GiB/s)\n", tapeScan.best,
                gib / tapeScan.best, imageScan.best, gib / imageScan.best);
    std::printf("copy:  tape to image %.3f s (%.2f GiB/s), plain file copy %.3f s (%.2f GiB/s)\n", copy.best,
                gib / copy.best, plain.best, gib / plain.best);
    std::printf("ratio scan (image time / tape time): %.3f  goal >= 0.8: %s\n", scanRatio,
                scanRatio >= 0.8 ? "met" : "NOT met");
    std::printf("ratio copy (plain time / tape copy time): %.3f  goal >= 0.8: %s\n", copyRatio,
                copyRatio >= 0.8 ? "met" : "NOT met");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool own = argc < 2;
    fs::path folder;
    if (own) {
        std::string pattern = (fs::temp_directory_path() / "ostrum-tape-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return Fail("cannot create a work folder");
        folder = pattern;
    } else {
        folder = argv[1];
        fs::create_directories(folder);
    }
    int status = 1;
    try {
        status = Run(folder);
    } catch (const std::exception& error) {
        status = Fail(error.what());
    }
    std::error_code ignored;
    if (own) {
        fs::remove_all(folder, ignored);
    } else {
        for (const char* name : {"bench.tap", "bench.img", "plain.img"}) fs::remove(folder / name, ignored);
    }
    return status;
}
