// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the windows share about the medium to scan: whether it is a tape drive or an image file, its
// name (and those of the media after it, for a backup spread over several), and the tape drives (with any
// virtual tapes attached to them) through which a drive name is opened. Whoever chooses the source owns
// one and hands it to the recovery window; the scan and the save read it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tape/tape_devices.h"

namespace ostrum::app {

struct ScanSource {
    bool isTape = false;
    std::string path;  // a TapeDeviceName ("//./tape0") or the path of an image file
    // A backup spread over several media: the media after `path`, in the order they are read (images,
    // or TapeDeviceNames when isTape).
    std::vector<std::string> laterSources = {};
    // Said after the scan when the media are read in another order than they were given.
    std::string mediaOrderNote = {};
    std::shared_ptr<tape::TapeDevices> tapeDevices = std::make_shared<tape::TapeDevices>();
    // Images only: the deep scan, which also finds blocks that have left the 512-byte grid (an image cut
    // or shifted by a few bytes, junk bytes inside it).
    bool deep = false;
};

// The values the wizard shares with the windows it opens. The program makes one and hands it to the
// wizard, which gives it to the device selection, the image copy and the recovery windows.
struct WizardFields {
    // What the next recovery window scans (set by the direct road, Load Image and the image copy).
    ScanSource source;
    // The drive chosen in the device selection and its medium's capacity in bytes (0 until chosen).
    std::string selectedDevicePath;
    std::int64_t selectedCapacity = 0;
    // 1 after a confirmed Stop of a running image copy; read by the copy once per read.
    std::atomic<std::uint32_t> stopImaging{0};
};

}  // namespace ostrum::app
