// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a save would do, found out without writing anything (a dry run): the name each file would get
// under the policy for taken names, as the saving engine chooses it (names taken on the disk, names given
// earlier in the same save, names too long for the destination), and, when the medium is an image at
// hand, what its stream header says: a header the save would refuse, data the image cuts short, and the
// size a compressed stream decodes to by its first frame's account.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalog/image_scanner.h"
#include "save/destination.h"
#include "save/save_files.h"

namespace ostrum::save {

enum class PlannedOutcome : std::uint8_t {
    Save,         // under its own name
    SaveRenamed,  // under a free name: its own is taken (or was shortened to fit)
    Replace,      // over the existing file of its name (ExistingFiles::Overwrite)
    Skip,         // not saved: its name is taken and the policy says skip
    Truncate,     // only a part could be saved: the image ends inside its data, or its first frame is damaged
    Fail,         // not saved: no data stream, or a stream header the save refuses, or a folder in the way
};

struct PlannedFile {
    std::string destination;  // below the destination folder, "/"-separated, with the name it would get
    PlannedOutcome outcome = PlannedOutcome::Save;
    // Bytes it would be written with: the stream's length, or the decoded size of a compressed stream;
    // nothing when no size is known.
    std::optional<std::uint64_t> size;
    std::string note;  // why it is renamed, skipped or fails, or how its size was found
};

// Plans the save of `items` into `destination` (which need not exist) under `existing` (Ask plans as
// KeepBoth). `image` is the medium when it is an image; for a tape (null) the sizes are the stream
// lengths the scan recorded, as nothing is read.
std::vector<PlannedFile> PlanSave(std::span<const SaveItem> items, const std::string& destination,
                                  ExistingFiles existing, const common::ImageSource* image);

}  // namespace ostrum::save
