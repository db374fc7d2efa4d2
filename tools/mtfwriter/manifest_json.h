// SPDX-License-Identifier: GPL-3.0-or-later
// The manifest as JSON, for scripts and for the scanner's tests outside C++.
#pragma once

#include <filesystem>
#include <ostream>

#include "mtf_writer.h"

namespace ostrum::mtfwriter {

// Writes:
// {"image_size": N, "logical_block_size": N, "physical_block_size": N, "soft_filemarks": bool,
//  "filemarks": [offsets], "sets": [{"number", "name", "compressed", "sset_offset", "eset_offset"}],
//  "directories": [{"set", "path", "block_offset"}], "file_count": N,
//  "files": [{"set", "directory", "name", "file_block_offset", "data_offset" (null without STAN),
//             "data_length", "declared_length", "original_length", "compressed",
//             "mtime" ("YYYY-MM-DD hh:mm:ss")}]}
// Text is UTF-8. A name whose units do not survive that (unpaired surrogates) also gets "name_units", the
// code units as numbers.
void WriteManifestJson(const Manifest& manifest, std::ostream& out);
// Throws std::runtime_error when the file cannot be written.
void WriteManifestJson(const Manifest& manifest, const std::filesystem::path& path);

}  // namespace ostrum::mtfwriter
