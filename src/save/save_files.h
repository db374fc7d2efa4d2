// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saving the files found on the medium back to disk, byte for byte, under a folder the user chose.
//
// For each file the engine reads the 22-byte STAN stream header just before the file's DataOffset, makes
// sure it is one (its tag and its checksum), takes the full 64-bit Stream Length from it and copies that
// many bytes (decoding MTF software compression) to the file's CatalogPath below the destination, less
// "TAPE MEDIA\". An image is read with positioned reads; a tape is read once from its start, the way the
// tape scan read it, and its files are saved in tape order. A file counts as saved once its data have
// reached the disk; a destination that becomes full stops the save.
//
// The engine runs on whatever thread calls it (a window runs it on a worker): it reports through a
// SaveSink on that thread and stops within the current file when `cancel` becomes true.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.h"
#include "save/destination.h"
#include "save/save_items.h"

namespace ostrum::tape {
class TapeDevices;
}

namespace ostrum::save {

struct SaveRequest {
    bool sourceIsTape = false;
    std::string sourcePath;   // an image file, or a TapeDeviceName
    std::string destination;  // an existing folder
    ExistingFiles existing = ExistingFiles::KeepBoth;
    // Opens TapeDeviceNames when sourceIsTape; required then.
    const tape::TapeDevices* tapeDevices = nullptr;
    // The calls that write the destination; the kernel's own when null.
    std::shared_ptr<DestinationCalls> destinationCalls = nullptr;
    // Several media read as one: the images after sourcePath, in order (SaveItem::medium 1, 2, ...).
    std::vector<std::string> laterSources = {};
};

// Why a save from several tape drives is refused, with the advice: tapes are read one at a time.
inline constexpr char kOneTapeAtATime[] =
    "files are saved from one tape at a time; copy each tape of the backup into an image file and save from "
    "the images, given in order";

enum class SaveOutcome : std::uint8_t {
    Saved,         // complete, under its own name
    SavedRenamed,  // complete, under a free name because its own was taken
    Skipped,       // its name was taken and the policy says skip
    Truncated,     // the medium gave only part of it; what it gave is kept under a ".partial" name
    Failed,        // not saved: not found on the medium, or the destination refused it
    Cancelled,     // the save was cancelled before the file was complete; nothing of it is kept
    NotAttempted,  // the destination became full (or read-only) before the file's turn; nothing written
};

std::string_view OutcomeText(SaveOutcome outcome);

// What the medium's own checksum said of a file: a CSUM stream after its data holds the XOR of the data
// as 32-bit words.
enum class ChecksumCheck : std::uint8_t {
    None,      // no CSUM stream follows the data (or the file was not read whole)
    Verified,  // the bytes saved give the checksum the medium recorded
    Mismatch,  // they do not: the file is kept as written, but it is not whole
};

struct FileResult {
    std::size_t item = 0;  // index into the items given
    std::string catalogPath;
    SaveOutcome outcome = SaveOutcome::Failed;
    std::string savedAs;  // below the destination, "/"-separated; empty when nothing was kept
    bool decoded = true;  // false: a compressed or encrypted stream saved as it is on the medium
    std::uint64_t bytesWritten = 0;
    std::string reason;  // why it was not saved whole, or a note (renamed, not decoded)
    ChecksumCheck checksum = ChecksumCheck::None;
};

struct SaveTotals {
    std::size_t saved = 0;
    std::size_t renamed = 0;
    std::size_t skipped = 0;
    std::size_t truncated = 0;
    std::size_t failed = 0;
    std::size_t cancelled = 0;
    std::size_t notAttempted = 0;
    std::size_t notDecoded = 0;
    std::size_t verified = 0;            // files whose CSUM held
    std::size_t checksumMismatches = 0;  // files kept whose CSUM did not hold
    std::uint64_t bytesWritten = 0;
};

struct SaveReport {
    std::vector<FileResult> files;  // one per item, in the order of the items
    SaveTotals totals;
    std::string error;  // the source or the destination could not be used at all
    // The system's words when the destination became full, read-only or over its quota and the save
    // stopped there; the files not reached then are NotAttempted, with the reason "destination full".
    std::string destinationFull;
    bool cancelled = false;

    // Every file complete and as the medium meant it, no checksum mismatch among them (skipped files count
    // as the user's choice).
    bool AllSavedWhole() const;
};

// What to do with a file whose name is taken, asked under ExistingFiles::Ask: KeepBoth, Skip or
// Overwrite, for this file or, with forTheRest, for every later one whose name is taken too.
struct ExistingFileAnswer {
    ExistingFiles choice = ExistingFiles::KeepBoth;
    bool forTheRest = false;
};

// Told of the progress of a save, on the saving thread.
class SaveSink {
  public:
    virtual ~SaveSink() = default;
    virtual void StatusLine(std::string_view /*text*/) {}
    // A file is about to be read; `destination` is where it will go, below the destination folder.
    virtual void FileStarted(std::size_t /*item*/, std::string_view /*destination*/) {}
    // Medium bytes of the selected files done, against the sum of their lengths.
    virtual void Progress(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
    // A file has ended. Files kept on disk are told of once synced, in batches, so this may come a little
    // after the file's own end.
    virtual void FileFinished(const FileResult& /*result*/) {}
    // Under ExistingFiles::Ask, before the file is read: `destination` (below the destination folder)
    // exists already. The saving thread waits for the answer. The default, like a question closed
    // without an answer, keeps both.
    virtual ExistingFileAnswer AskExisting(std::size_t /*item*/, std::string_view /*destination*/) {
        return {};
    }
};

SaveReport SaveFiles(std::span<const SaveItem> items, const SaveRequest& request, SaveSink& sink,
                     const std::atomic<bool>& cancel);

// Items handed to a save one by one while it runs: a scan still finding them, say.
class SaveItemSource {
  public:
    virtual ~SaveItemSource() = default;
    // The next item, waited for if need be; nothing once there are no more.
    virtual std::optional<SaveItem> Next() = 0;
};

// Saves the items as they come, the report holding them in the order they came. From an image, each file
// is saved as soon as it comes; a tape is read once every item has come.
SaveReport SaveFiles(SaveItemSource& items, const SaveRequest& request, SaveSink& sink,
                     const std::atomic<bool>& cancel);

}  // namespace ostrum::save
