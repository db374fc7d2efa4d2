// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the normal scan of an image lost the 512-byte grid of the blocks. After a file's data come its
// other streams and the padding (SPAD) that ends it, and the next block begins right after: when neither a
// block nor blank bytes are there, the blocks that follow left the grid (junk bytes inside the image, say)
// and only the deep scan finds them.
//
// Following the streams of every file would cost the scan of a million small files a good part of its
// time, so they are followed only when it is needed: the scan notes each file's data, and the note goes as
// soon as a sound block is met soon enough after them, as it is after every file of an undamaged medium.
// A note that meets no block soon enough (the next one lies far beyond, or none comes before the medium
// ends) is followed then, reading the image where the streams lie.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "catalog/mtf_layout.h"

namespace ostrum::common {
class ImageSource;
}  // namespace ostrum::common

namespace ostrum::catalog {

// The longest stream followed: far beyond any medium, so that adding a length to a position never wraps.
inline constexpr std::uint64_t kMostStreamBytesFollowed = std::uint64_t{1} << 56;

// A file whose data the scan met last, not yet known to be followed by a block.
struct GridNote {
    bool active = false;
    std::size_t row = 0;
    std::uint64_t blockStart = 0;  // its FILE block: streams are aligned from it
    std::uint64_t headerAt = 0;    // its STAN header
    std::uint64_t dataEnd = 0;     // just past its data
};

// What the normal scan of an image keeps of the grid. The scan sets `image`; without it nothing is noted.
struct GridWatch {
    const common::ImageSource* image = nullptr;
    GridNote note;
    std::uint64_t losses = 0;                // places where the grid was lost, on every medium so far
    std::optional<std::uint64_t> firstLoss;  // the first on the medium being scanned
};

// How far after a file's data the next block may begin without the streams between being followed: a
// checksum stream and the padding to the next logical block take less, and a soft filemark before the end
// of a set a few blocks more. A block further on is no sign of damage by itself: the streams are followed.
inline constexpr std::uint64_t kUsualGapAfterData = 16 * 1024;

// Follows the streams after the note's data (reading the image), counts the place where the grid was lost
// there, if it was, and drops the note.
void SettleNote(GridWatch& watch);

// Notes the data of the file appended as `row`: its STAN header (whose checksum holds) at `headerAt`, of
// `length` bytes, for the FILE block at `blockStart`. A note left by the file before is settled first.
// (Every file of a normal scan comes here, and nearly every block to the next: both are kept inline.)
inline void NoteFileData(GridWatch& watch, std::size_t row, std::uint64_t blockStart, std::uint64_t headerAt,
                         std::uint64_t length) {
    if (watch.image == nullptr) return;
    if (watch.note.active) SettleNote(watch);
    watch.note = {true, row, blockStart, headerAt, headerAt + mtf::stream_hdr::kSize + length};
    // A length no medium holds is damage, after which nothing is said of the grid.
    if (length > kMostStreamBytesFollowed) watch.note.active = false;
}
// A sound block was met at `position`: a note it follows soon enough goes; one it follows far beyond is
// settled. A block inside the noted data leaves the note.
inline void NoteSoundBlock(GridWatch& watch, std::uint64_t position) {
    if (!watch.note.active || position < watch.note.dataEnd) return;
    if (position - watch.note.dataEnd <= kUsualGapAfterData) {
        watch.note.active = false;
    } else {
        SettleNote(watch);
    }
}
// The end of the medium cut the data of `row`: what follows them is not the file's.
inline void DropGridNote(GridWatch& watch, std::size_t row) {
    if (watch.note.row == row) watch.note.active = false;
}
// The medium has been scanned: a note left is settled.
inline void SettleGridNote(GridWatch& watch) {
    if (watch.note.active && watch.image != nullptr) SettleNote(watch);
}

}  // namespace ostrum::catalog
