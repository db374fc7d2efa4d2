// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Copying a tape into an image file: the bytes of the successive kTapeReadSize reads from the beginning
// of the tape, back to back, with no header, no trailer and no record of block boundaries. Filemarks
// and the end of data leave no trace. The copy crosses filemarks and ends at the end of recorded data
// or when asked to stop, always after writing everything it read. Read errors are skipped and counted
// as in the tape scan; a run of kMaxConsecutiveReadFailures ends the copy. A write or a sync that fails
// ends it with an error naming the reason (a full disk, a file-size limit), never with "Done".

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "tape/tape_devices.h"

namespace ostrum::tape {

// Where the copy reports itself: the texts of the imaging page's labels and its progress bar.
class ImagingSink {
  public:
    virtual ~ImagingSink() = default;
    // The Progress label: "Rewinding tape...", "Reading Tape...", the running byte count, then "Done",
    // "Stopped", "Gave up after 8 unreadable blocks in a row", or the error that ended the copy.
    virtual void ProgressLabel(std::string_view /*text*/) {}
    // The Total Size label: the medium's capacity in unsigned decimal.
    virtual void TotalSize(std::string_view /*text*/) {}
    // Percent of the capacity copied, 0 to 100.
    virtual void Progress(int /*percent*/) {}
};

struct ImageCopyResult {
    bool done = false;             // the copy ran to its end ("Done"): end of data, stop, or too many errors
    bool stopped = false;          // ended by stopImaging
    bool gaveUp = false;           // ended after kMaxConsecutiveReadFailures failed reads
    std::uint64_t copied = 0;      // bytes read and written
    std::uint64_t readErrors = 0;  // failed reads skipped
    std::uint64_t marks = 0;       // filemarks and setmarks crossed
    std::string lastReadError;
    std::int64_t capacity = 0;
    std::string error;               // why the copy failed; empty when done
    bool refusedAsExisting = false;  // not started: the image exists and ExistingImage::Refuse was given
};

// What to do with an image file that exists already (a regular file or a disk): the save-as dialog has
// asked the user before; the command-line tool replaces one only when told to.
enum class ExistingImage : std::uint8_t { Replace, Refuse };

// Copies the tape in `deviceName` into the file at `imagePath`. The image is never the tape itself: a
// tape device, a tape drive's name or the tape's own file (an attached tape file, by device and inode)
// is refused. An existing image is emptied only once the drive has been rewound and has told its
// capacity, so a copy that cannot start leaves it as it was (and leaves no new file behind). The image
// is synced to the disk before "Done"; a failure there fails the copy. Sets stopImaging to 0 at its
// start and reads it once per read. Runs on the caller's thread.
ImageCopyResult CopyTapeToImage(const TapeDevices& devices, const std::string& deviceName,
                                const std::string& imagePath, ImagingSink& sink,
                                std::atomic<std::uint32_t>& stopImaging,
                                ExistingImage existing = ExistingImage::Replace);

}  // namespace ostrum::tape
