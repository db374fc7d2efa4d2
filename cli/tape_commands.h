// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tape commands of ostrum-tape-cli: `drives`, `list //./tapeN`, `image //./tapeN OUT.img`, and the
// virtual tape files that --attach puts in drives for them and for `extract`.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "common/byte_source.h"
#include "tape/tape_devices.h"

namespace ostrum::cli {

// `list [--json] [--attach ...] //./tapeN`: scans a tape and prints what was found.
int RunListTape(const ListOptions& options);

// Puts each attachment's tape file in its drive. A file that is missing, cannot be read or is no tape
// file is a source that cannot be read: the error is printed and the exit status returned.
std::optional<int> AttachTapes(std::string_view command, const std::vector<Attachment>& attachments,
                               tape::TapeDevices& devices);

// The error text when the image file `path` is in fact a virtual tape file, which only a drive reads
// right; empty otherwise.
std::string VirtualTapeGivenAsImage(const common::ImageFile& image, const std::string& path);

// Warns on standard error of the unreadable blocks a pass over the tape skipped and, when it gave up on
// the drive, of what that left out.
void WarnOfReadFailures(std::uint64_t readErrors, const std::string& lastReadError, bool gaveUp,
                        std::string_view leftOut);

}  // namespace ostrum::cli
