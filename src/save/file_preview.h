// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A look at the start of a file ("Preview" in the recovery window): its first bytes as a save would write
// them, read from the image through the save's own checks and decoders and written nowhere. The STAN
// stream header must hold (a damaged one gives the save's reason and no bytes); Stac LZS frames are
// decoded, a sparse file's runs placed with its holes as zeros, and an encrypted stream, or one compressed
// by an algorithm this program cannot decode, given as it lies on the medium with the save's note. A file
// spread over several media is read from their images, piece after piece.
//
// Only what the bytes asked for need is read: a plain file's header and first bytes in one read, a
// compressed file's up to the frame that ends past them, a sparse file's run headers and the bytes of the
// runs that lie within them. A tape is read from its start, as the tape save reads it, up to the read that
// gives the preview's last byte, and no further.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "save/save_files.h"

namespace ostrum::save {

// How much of a file a preview shows.
inline constexpr std::size_t kPreviewBytes = 64 * 1024;

struct FilePreview {
    std::vector<std::uint8_t> bytes;  // the file's first bytes, as many as asked or as the file holds
    bool longer = false;              // the file goes on after them (by its stream's own account)
    std::string note;                 // the bytes are as they lie on the medium, not decoded: why
    // Why there are no bytes, or why they are not all the file's (holes where media were not read, data
    // the image cuts short, a damaged frame, a checksum that fails), in the save's words.
    std::string error;
    bool cancelled = false;  // the reading of a tape was cancelled before it was done
};

// Told the bytes of the tape read so far (every read's, the discarded first one included), after each read.
using TapeReadProgress = std::function<void(std::uint64_t)>;

// Reads the first `count` bytes of the item's data from the image(s) of `request` (sourcePath, then
// laterSources), or from its tape drive. A tape is read on the calling thread, which it may hold for as
// long as the tape takes to reach the file: `cancel` is tested before every read of the tape, and
// `progress` (when given) is told of each.
FilePreview ReadPreview(const SaveItem& item, const SaveRequest& request, const std::atomic<bool>& cancel,
                        const TapeReadProgress& progress = {}, std::size_t count = kPreviewBytes);
// The same with nothing to cancel it.
FilePreview ReadPreview(const SaveItem& item, const SaveRequest& request, std::size_t count = kPreviewBytes);

}  // namespace ostrum::save
