// SPDX-License-Identifier: GPL-3.0-or-later
// The sample medium of the README and the demo: three backup sets of folders and files of varied kinds, the
// same bytes every time.
#pragma once

#include "mtf_writer.h"

namespace ostrum::mtfwriter {

// Set 1 "Office documents": text files, a file without extension, .doc files, two .bmp pictures, a name with
// accents, and a file with a security (NACL) stream and a checksum. Set 2 "Weekly projects" is compressed and
// holds a file spanning several compression frames. Set 3 "Daily mail" is a differential backup with an
// accented folder name. Logical blocks of 1024 bytes.
MediaDescription SampleMedia();

// A 24-bit Windows bitmap of the given size with a colour gradient keyed by `seed`.
std::vector<std::uint8_t> SampleBitmap(std::uint32_t width, std::uint32_t height, std::uint8_t seed);

}  // namespace ostrum::mtfwriter
