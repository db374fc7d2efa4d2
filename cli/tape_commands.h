#pragma once
// The tape commands of ostrum-tape-cli: `drives`, `list //./tapeN`, `image //./tapeN OUT.img`, and the
// option that attaches a virtual tape file (SIMH .tap) to a device number for them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "commands.h"
#include "tape/tape_devices.h"

namespace ostrum::cli {

// `drives [--attach N=FILE.tap [--capacity BYTES]]...`: probes //./tape0 to //./tape19 and prints the
// drives that hold a medium with their figures.
int RunDrives(Args args);
// `list [--json] [--attach ...] //./tapeN`: scans a tape and prints what was found.
int RunListTape(Args args);
// `image [--attach ...] //./tapeN OUT.img`: copies a tape into an image file.
int RunImage(Args args);

using tape::AttachVirtualTape;

// True when the words of a `list` name a tape (a //./tape source or an --attach option).
bool IsTapeListing(Args args);

}  // namespace ostrum::cli
