// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared pieces of the saving tests: a temporary folder, media written by our MTF writer and scanned
// into a catalog, and the check that every saved file holds exactly the bytes the writer put in.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "catalog/image_scanner.h"
#include "catalog/media_span.h"
#include "catalog/scan_context.h"
#include "mtf_writer.h"
#include "save/save_files.h"
#include "support/same_bytes.h"
#include "support/temp_folder.h"
#include "tape/tape_devices.h"
#include "tape/tape_scanner.h"

namespace ostrum::save::testing {

namespace fs = std::filesystem;
namespace mw = ostrum::mtfwriter;

using test_support::TempFolder;

inline std::vector<std::uint8_t> ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteWholeFile(const fs::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

inline std::vector<std::uint8_t> Expected(const mw::FileData& data) {
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&data)) return *bytes;
    const auto& generated = std::get<mw::GeneratedData>(data);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(generated.size));
    mw::FillGenerated(generated.seed, 0, out);
    return out;
}

inline std::unique_ptr<catalog::Catalog> ScanImage(const fs::path& image) {
    auto found = std::make_unique<catalog::Catalog>(std::make_shared<catalog::ExtensionFileInfo>());
    common::ImageFile file;
    EXPECT_TRUE(common::OpenImageFile(file, image.string())) << file.error();
    catalog::CatalogSink sink;
    std::atomic<bool> active{true};
    catalog::ScanImageFile(file, *found, sink, active);
    found->FinishScan();
    return found;
}

// Scans the images in order as the media of one backup.
// Scans the tape in the drive `name` as the program's tape scan does.
inline std::unique_ptr<catalog::Catalog> ScanTapeDrive(const tape::TapeDevices& devices,
                                                       const std::string& name = "//./tape0") {
    auto found = std::make_unique<catalog::Catalog>(std::make_shared<catalog::ExtensionFileInfo>());
    catalog::CatalogSink sink;
    std::atomic<bool> active{true}, stop{false};
    EXPECT_EQ(tape::ScanTape(devices, name, *found, sink, active, stop), 1);
    found->FinishScan();
    return found;
}

inline std::unique_ptr<catalog::Catalog> ScanMedia(const std::vector<fs::path>& images) {
    auto found = std::make_unique<catalog::Catalog>(std::make_shared<catalog::ExtensionFileInfo>());
    catalog::CatalogSink quiet;
    catalog::ScanContext context(*found, quiet);
    std::atomic<bool> active{true};
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (i == 0) {
            found->mediaSpan().BeginMedium(0, images[i].string(), 0);
        } else {
            catalog::BeginNextMedium(context, images[i].string());
        }
        common::ImageFile image;
        EXPECT_TRUE(common::OpenImageFile(image, images[i].string())) << image.error();
        catalog::ScanImageFile(image, *found, quiet, active, nullptr, {.continuing = &context});
    }
    found->FinishScan();
    return found;
}

// The file as it should come back: the generated data where runs are, zeros elsewhere.
inline std::vector<std::uint8_t> WithHoles(const mw::FileEntry& file) {
    const std::vector<std::uint8_t> full = Expected(file.data);
    if (!file.sparse) return full;
    std::vector<std::uint8_t> out(full.size());
    for (const auto& run : *file.sparse) {
        std::copy_n(full.begin() + static_cast<std::ptrdiff_t>(run.offset), run.length,
                    out.begin() + static_cast<std::ptrdiff_t>(run.offset));
    }
    return out;
}

// Writes a 16-bit value into the stream header at byte `header` of the image and, unless told not to,
// sets the header's checksum to match.
inline void PatchStreamHeader(const fs::path& image, std::uint64_t header, std::size_t at,
                              std::uint16_t value, bool fixChecksum = true) {
    std::fstream medium(image, std::ios::in | std::ios::out | std::ios::binary);
    char bytes[22];
    medium.seekg(static_cast<std::streamoff>(header));
    medium.read(bytes, sizeof bytes);
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
    std::uint8_t sum[2] = {0, 0};
    for (std::size_t i = 0; i < 20; ++i) sum[i % 2] ^= static_cast<std::uint8_t>(bytes[i]);
    if (fixChecksum) std::memcpy(bytes + 20, sum, 2);
    medium.seekp(static_cast<std::streamoff>(header));
    medium.write(bytes, sizeof bytes);
}

// Keeps what a save reports, for the tests to look at.
class RecordingSink : public SaveSink {
  public:
    void FileStarted(std::size_t item, std::string_view destination) override {
        started.push_back(item);
        names.emplace_back(destination);
    }
    void Progress(std::uint64_t done, std::uint64_t total) override {
        if (done < lastDone) progressWentBack = true;
        lastDone = done;
        lastTotal = total;
    }
    void FileFinished(const FileResult& result) override { finished.push_back(result.item); }
    void StatusLine(std::string_view text) override { statusLines.emplace_back(text); }

    std::vector<std::size_t> started;
    std::vector<std::string> names;
    std::vector<std::size_t> finished;
    std::vector<std::string> statusLines;
    std::uint64_t lastDone = 0;
    std::uint64_t lastTotal = 0;
    bool progressWentBack = false;
};

// What every save test keeps: a folder of its own, what the writer wrote, the catalog scanned from it,
// the items to save, and what the save reported.
class SaveTest : public ::testing::Test {
  protected:
    fs::path destination() const { return temp.path("out"); }

    TempFolder temp;
    mw::Manifest manifest;
    std::unique_ptr<catalog::Catalog> found;
    std::vector<SaveItem> items;
    RecordingSink sink;
    std::atomic<bool> cancel{false};
    SaveReport report;
};

// Records like RecordingSink and cancels the save once its progress has reached `at` bytes.
class CancellingSink : public RecordingSink {
  public:
    CancellingSink(std::atomic<bool>& cancel, std::uint64_t at) : cancel_(cancel), at_(at) {}
    void Progress(std::uint64_t done, std::uint64_t total) override {
        RecordingSink::Progress(done, total);
        if (done >= at_) cancel_.store(true);
    }

  private:
    std::atomic<bool>& cancel_;
    std::uint64_t at_;
};

// Passes every call on to the kernel, counting the tries to name a file and logging the syncs, and fails
// as a full, read-only or failing destination does when told to. Files are written on several threads.
class TestCalls : public DestinationCalls {
  public:
    int CreateFile(int folder, const char* name) override {
        if (createError != 0) return errno = createError, -1;
        return DestinationCalls::CreateFile(folder, name);
    }
    int CreateUnnamed(int folder) override {
        if (createError != 0) return errno = createError, -1;
        if (unnamedError != 0) return errno = unnamedError, -1;
        return DestinationCalls::CreateUnnamed(folder);
    }
    int MakeFolder(int parent, const char* name) override {
        if (createError != 0) return errno = createError, -1;
        return DestinationCalls::MakeFolder(parent, name);
    }
    // Writes (or copies) what fits in `room`, then fails with `fullError`.
    ssize_t Write(int file, const void* bytes, std::size_t count) override {
        std::lock_guard lock(mutex_);
        if (!Fit(count)) return -1;
        return Used(DestinationCalls::Write(file, bytes, count));
    }
    ssize_t CopyRange(int from, std::uint64_t& position, int to, std::size_t count) override {
        if (copyError != 0) return errno = copyError, -1;
        std::lock_guard lock(mutex_);
        if (!Fit(count)) return -1;
        ++copies;
        return Used(DestinationCalls::CopyRange(from, position, to, count));
    }
    int Rename(int folder, const char* from, const char* to, bool replace) override {
        ++names;
        ++renames;
        return DestinationCalls::Rename(folder, from, to, replace);
    }
    int LinkUnnamed(int file, int folder, const char* name) override {
        ++names;
        return DestinationCalls::LinkUnnamed(file, folder, name);
    }
    int SyncFileSystem(int fd) override {
        log.push_back("sync");
        if (syncError != 0) return errno = syncError, -1;
        return DestinationCalls::SyncFileSystem(fd);
    }

    int createError = 0;
    int unnamedError = 0;  // the file system takes no unnamed files
    int copyError = 0;     // the kernel copies nothing
    std::optional<std::uint64_t> room;
    int fullError = ENOSPC;
    int syncError = 0;
    std::atomic<int> names = 0;
    std::atomic<int> renames = 0;
    std::atomic<int> copies = 0;
    std::vector<std::string> log;

  private:
    bool Fit(std::size_t& count) {
        if (!room) return true;
        if (*room == 0) return errno = fullError, false;
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, *room));
        return true;
    }
    ssize_t Used(ssize_t done) {
        if (room && done > 0) *room -= static_cast<std::uint64_t>(done);
        return done;
    }
    std::mutex mutex_;
};

// Every file of the description, by the position of its data on the medium.
inline std::map<std::uint64_t, std::vector<std::uint8_t>> ExpectedByOffset(const mw::MediaDescription& media,
                                                                           const mw::Manifest& manifest) {
    std::vector<const mw::FileEntry*> entries;
    for (const auto& set : media.sets) {
        for (const auto& entry : set.entries) {
            if (const auto* file = std::get_if<mw::FileEntry>(&entry)) entries.push_back(file);
        }
    }
    std::map<std::uint64_t, std::vector<std::uint8_t>> expected;
    EXPECT_EQ(entries.size(), manifest.files.size());
    for (std::size_t i = 0; i < entries.size() && i < manifest.files.size(); ++i) {
        if (manifest.files[i].dataOffset)
            expected[*manifest.files[i].dataOffset] = Expected(entries[i]->data);
    }
    return expected;
}

// Checks that every file the report calls saved holds the bytes the writer wrote for it, and returns
// how many were compared.
inline std::size_t ExpectSavedBytesMatch(const SaveReport& report, std::span<const SaveItem> items,
                                         const std::map<std::uint64_t, std::vector<std::uint8_t>>& expected,
                                         const fs::path& destination) {
    std::size_t compared = 0;
    for (const auto& result : report.files) {
        if (result.outcome != SaveOutcome::Saved && result.outcome != SaveOutcome::SavedRenamed) continue;
        const auto& item = items[result.item];
        EXPECT_TRUE(item.dataOffset.has_value()) << item.catalogPath;
        const auto want = expected.find(item.dataOffset.value_or(0));
        EXPECT_NE(want, expected.end()) << item.catalogPath;
        if (want == expected.end()) continue;
        EXPECT_TRUE(test_support::SameBytes(ReadWholeFile(destination / result.savedAs), want->second))
            << item.catalogPath << " saved as " << result.savedAs;
        ++compared;
    }
    return compared;
}

}  // namespace ostrum::save::testing
