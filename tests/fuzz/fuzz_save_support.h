// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the fuzz targets of the save share: a work folder of the process's own, the media written into it
// from the fuzzer's bytes and scanned as one backup (as `extract A B` reads them), and a save of everything
// found into a fresh folder, checked against what it reports:
//   - nothing is written outside the destination: every name the save makes is one name (no '/', no "."
//     or "..") in a folder below it, the work folder holds nothing else afterwards, and the media are
//     unchanged;
//   - every file reported kept is a regular file at the path reported, with the size reported (a file with
//     holes, where runs or missing media leave them, at least as large as the bytes written), and no other
//     file is left, under a temporary name or any other;
//   - nothing is reported cancelled, skipped or not attempted, and the totals count every file.
// A departure prints what it is and traps, which libFuzzer reports as a crash.
//
// The save's calls go through DestinationCalls, which checks the names and never syncs the file system:
// a fuzzer saves thousands of times a second.

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/image_scanner.h"
#include "catalog/media_span.h"
#include "catalog/mtf_layout.h"
#include "catalog/scan_context.h"
#include "save/file_extraction.h"
#include "save/save_files.h"

namespace ostrum::fuzz {

namespace fs = std::filesystem;

[[noreturn]] inline void Fault(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    __builtin_trap();
}

inline void Require(bool holds, const std::string& what) {
    if (!holds) Fault(what);
}

inline std::vector<std::uint8_t> ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::error_code error;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(fs::file_size(path, error)));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    Require(!error && in.gcount() == static_cast<std::streamsize>(bytes.size()),
            "cannot read " + path.string());
    return bytes;
}

// A folder of its own, made at the first input and removed when the process ends: in memory (/dev/shm)
// where there is such a folder, since each input makes and removes many files, else under the system's
// temporary folder.
class WorkFolder {
  public:
    static const fs::path& path() {
        static const WorkFolder folder;
        return folder.path_;
    }

  private:
    WorkFolder() {
        std::error_code error;
        const fs::path parent =
            ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path(error);
        std::string pattern = (parent / "ostrum-fuzz-XXXXXX").string();
        Require(::mkdtemp(pattern.data()) != nullptr, "cannot make a work folder");
        path_ = pattern;
    }
    ~WorkFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path path_;
};

// The media of one input: written as image files into the work folder, kept to be compared afterwards.
struct Media {
    std::vector<std::vector<std::uint8_t>> bytes;
    std::vector<std::string> paths;

    explicit Media(std::vector<std::span<const std::uint8_t>> media) {
        for (std::size_t i = 0; i < media.size(); ++i) {
            bytes.emplace_back(media[i].begin(), media[i].end());
            paths.push_back((WorkFolder::path() / ("medium" + std::to_string(i) + ".img")).string());
            std::ofstream out(paths.back(), std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(media[i].data()),
                      static_cast<std::streamsize>(media[i].size()));
            Require(out.good(), "cannot write " + paths.back());
        }
    }

    // Scans the images in order as the media of one backup, as `extract A B` does.
    std::unique_ptr<catalog::Catalog> Scan() const {
        auto found = std::make_unique<catalog::Catalog>(std::make_shared<catalog::ExtensionFileInfo>());
        catalog::CatalogSink quiet;
        catalog::ScanContext context(*found, quiet);
        const std::atomic<bool> active{true};
        for (std::size_t i = 0; i < paths.size(); ++i) {
            common::ImageFile image;
            Require(common::OpenImageFile(image, paths[i]), "cannot open " + paths[i]);
            catalog::BeginMedium(context, i, paths[i]);
            if (catalog::ScanImageFile(image, *found, quiet, active, nullptr, {.continuing = &context}) == 0)
                break;
        }
        found->FinishScan();
        return found;
    }

    // The request of a save (or a preview) from these media.
    save::SaveRequest Request(const fs::path& destination) const {
        save::SaveRequest request{false, paths.front(), destination.string()};
        request.laterSources.assign(paths.begin() + 1, paths.end());
        return request;
    }

    // Whether the item's data stream is sparse: runs placed in the file, with holes between them.
    bool Sparse(const save::SaveItem& item) const {
        namespace stream_hdr = catalog::mtf::stream_hdr;
        const bool whole = item.parts.empty();
        const std::uint32_t medium = whole ? item.medium : item.parts.front().medium;
        if (whole && item.dataOffset.value_or(0) < stream_hdr::kSize) return false;
        const std::uint64_t at = whole ? *item.dataOffset - stream_hdr::kSize : item.parts.front().offset;
        if (medium >= bytes.size() || at > bytes[medium].size() ||
            bytes[medium].size() - at < stream_hdr::kSize)
            return false;
        return save::ReadStanStream(std::span(bytes[medium]).subspan(at, stream_hdr::kSize), at).sparse;
    }
};

// The destination's calls, checked: each name made is one name, in a folder below the destination.
// Nothing is synced.
class CheckedCalls final : public save::DestinationCalls {
  public:
    // `destination` as the kernel names it (no symbolic link on the way), as descriptors are named.
    explicit CheckedCalls(const fs::path& destination) : destination_(fs::canonical(destination)) {}

    int CreateFile(int folder, const char* name) override {
        CheckName(folder, name);
        return DestinationCalls::CreateFile(folder, name);
    }
    int CreateUnnamed(int folder) override {
        CheckFolder(folder, "an unnamed file");
        return DestinationCalls::CreateUnnamed(folder);
    }
    int MakeFolder(int parent, const char* name) override {
        CheckName(parent, name);
        return DestinationCalls::MakeFolder(parent, name);
    }
    int Rename(int folder, const char* from, const char* to, bool replace) override {
        CheckName(folder, from);
        CheckName(folder, to);
        return DestinationCalls::Rename(folder, from, to, replace);
    }
    int LinkUnnamed(int file, int folder, const char* name) override {
        CheckName(folder, name);
        return DestinationCalls::LinkUnnamed(file, folder, name);
    }
    int SyncFileSystem(int /*fd*/) override { return 0; }

  private:
    void CheckName(int folder, const std::string& name) const {
        Require(!name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos,
                "the save made the name '" + name + "'");
        CheckFolder(folder, "'" + name + "'");
    }
    // The folder, by its descriptor, is the destination or below it.
    void CheckFolder(int folder, const std::string& what) const {
        char link[PATH_MAX];
        const std::string self = "/proc/self/fd/" + std::to_string(folder);
        const ssize_t length = ::readlink(self.c_str(), link, sizeof link - 1);
        Require(length > 0, "the save used a folder descriptor that is not open");
        const std::string where(link, static_cast<std::size_t>(length));
        const std::string root = destination_.string();
        Require(where == root || where.starts_with(root + "/"),
                "the save made " + what + " in " + where + ", outside " + root);
    }

    fs::path destination_;
};

// Saves every file found into a fresh folder "out" of the work folder and checks what is on disk against
// the report (see the top of this file). Returns the report; the folder stays until the next save.
inline save::SaveReport SaveAndCheck(const Media& media, const std::vector<save::SaveItem>& items) {
    const fs::path destination = WorkFolder::path() / "out";
    std::error_code ignored;
    fs::remove_all(destination, ignored);
    Require(fs::create_directory(destination), "cannot make " + destination.string());
    save::SaveRequest request = media.Request(destination);
    request.destinationCalls = std::make_shared<CheckedCalls>(destination);
    save::SaveSink quiet;
    const std::atomic<bool> cancel{false};
    const save::SaveReport report = save::SaveFiles(items, request, quiet, cancel);

    Require(report.error.empty(), "the save failed as a whole: " + report.error);
    Require(report.files.size() == items.size(), "the report does not hold every item");
    const save::SaveTotals& t = report.totals;
    Require(t.saved + t.renamed + t.skipped + t.truncated + t.failed + t.cancelled + t.notAttempted ==
                report.files.size(),
            "the totals do not count every file");
    std::set<std::string> kept;
    for (const save::FileResult& result : report.files) {
        using save::SaveOutcome;
        Require(result.outcome != SaveOutcome::Cancelled && result.outcome != SaveOutcome::Skipped &&
                    result.outcome != SaveOutcome::NotAttempted,
                result.catalogPath + " is " + std::string(save::OutcomeText(result.outcome)));
        const bool keeps = result.outcome == SaveOutcome::Saved ||
                           result.outcome == SaveOutcome::SavedRenamed ||
                           result.outcome == SaveOutcome::Truncated;
        Require(keeps || result.savedAs.empty(),
                result.catalogPath + " is not kept, yet saved as " + result.savedAs);
        if (result.savedAs.empty()) continue;
        Require(kept.insert(result.savedAs).second, "two files saved as " + result.savedAs);
        const fs::path file = destination / result.savedAs;
        struct stat status {};
        Require(::lstat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode),
                result.catalogPath + " is reported saved as " + result.savedAs + ", which is no file");
        // Data are appended, so a file is as long as the bytes written, unless it has holes: a sparse file's
        // runs are placed (and may overlap) and it gets the size its FILE block gives when whole; the
        // bytes of media not read are left out.
        const auto size = static_cast<std::uint64_t>(status.st_size);
        const save::SaveItem& item = items[result.item];
        const std::string sizes = result.savedAs + " holds " + std::to_string(size) + " bytes, " +
                                  std::to_string(result.bytesWritten) + " reported written";
        if (media.Sparse(item)) {
            const bool whole = result.outcome != SaveOutcome::Truncated;
            Require(!whole || size >= item.size.value_or(0),
                    sizes + ", its length " + std::to_string(item.size.value_or(0)));
        } else if (!item.missingBetween.empty()) {
            Require(size >= result.bytesWritten, sizes);
        } else {
            Require(size == result.bytesWritten, sizes);
        }
    }
    for (const auto& entry : fs::recursive_directory_iterator(destination)) {
        const fs::file_status status = entry.symlink_status();
        Require(fs::is_directory(status) || fs::is_regular_file(status),
                entry.path().string() + " is neither a folder nor a file");
        if (fs::is_regular_file(status))
            Require(kept.contains(fs::relative(entry.path(), destination).string()),
                    entry.path().string() + " is left, and no file is reported saved there");
    }
    std::size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(WorkFolder::path())) {
        (void)entry;
        ++entries;
    }
    Require(entries == media.paths.size() + 1, "the save wrote beside its destination");
    for (std::size_t i = 0; i < media.paths.size(); ++i) {
        Require(ReadWhole(media.paths[i]) == media.bytes[i], "the save changed " + media.paths[i]);
    }
    return report;
}

}  // namespace ostrum::fuzz
