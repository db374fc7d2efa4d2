#pragma once
// The tape commands of ostrum-tape-cli: `drives`, `list //./tapeN`, `image //./tapeN OUT.img`, and the
// option that attaches a virtual tape file (SIMH .tap) to a device number for them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/image_scanner.h"
#include "commands.h"
#include "tape/tape_devices.h"

namespace ostrum::cli {

// `drives [--attach N=FILE.tap [--capacity BYTES]]...`: probes //./tape0 to //./tape19 and prints the
// drives that hold a medium with their figures.
int RunDrives(Args args);
// `list [--json] [--attach ...] //./tapeN`: scans a tape and prints what was found.
int RunListTape(Args args);
// `image [--overwrite] [--attach ...] //./tapeN OUT.img`: copies a tape into an image file; an existing
// image file is replaced only with --overwrite.
int RunImage(Args args);

using tape::AttachVirtualTape;

// The error text when the image file `path` is in fact a virtual tape file, which only a drive reads
// right; empty otherwise.
std::string VirtualTapeGivenAsImage(const catalog::ImageFile& image, const std::string& path);

// Warns on standard error of the unreadable blocks a pass over the tape skipped and, when it gave up on
// the drive, of what that left out.
void WarnOfReadFailures(std::uint64_t readErrors, const std::string& lastReadError, bool gaveUp,
                        std::string_view leftOut);

// True when the words of a `list` name a tape (a //./tape source or an --attach option).
bool IsTapeListing(Args args);

}  // namespace ostrum::cli
