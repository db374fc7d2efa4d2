#pragma once
// What the windows share about the medium to scan: whether it is a tape drive or an image file, its
// name, and the tape drives (with any virtual tapes attached to them) through which a drive name is
// opened. Whoever chooses the source owns one and hands it to the recovery window; the scan and the
// save read it.

#include <memory>
#include <string>

#include "tape/tape_devices.h"

namespace ostrum::app {

struct ScanSource {
    bool SourceIsTape = false;
    std::string SourcePath;  // a TapeDeviceName ("//./tape0") or the path of an image file
    std::shared_ptr<tape::TapeDevices> tapeDevices = std::make_shared<tape::TapeDevices>();
};

}  // namespace ostrum::app
