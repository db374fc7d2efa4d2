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
// runs that lie within them. A tape is not read for a preview.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "save_files.h"

namespace ostrum::selection {

// How much of a file a preview shows.
inline constexpr std::size_t kPreviewBytes = 64 * 1024;

struct FilePreview {
    std::vector<std::uint8_t> bytes;  // the file's first bytes, as many as asked or as the file holds
    bool longer = false;              // the file goes on after them (by its stream's own account)
    std::string note;                 // the bytes are as they lie on the medium, not decoded: why
    // Why there are no bytes, or why they are not all the file's (holes where media were not read, data
    // the image cuts short, a damaged frame, a checksum that fails), in the save's words.
    std::string error;
};

// Reads the first `count` bytes of the item's data from the image(s) of `request` (SourcePath, then
// laterSources). `request` must name images: for a tape it gives only an error.
FilePreview ReadPreview(const SaveItem& item, const SaveRequest& request, std::size_t count = kPreviewBytes);

}  // namespace ostrum::selection
