// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own operations on tape drives, built on TapeDrive: the block-mode helpers, the set-up
// of a drive for a full read (PrepareTapeForReading) and the probe of one drive (ProbeTapeDevice).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tape/tape_device.h"
#include "tape/tape_devices.h"

namespace ostrum::tape {

// featuresLow of the drive masked with kDriveVariableBlock (so 0x800 or 0); 0 when the query fails.
std::uint32_t DriveSupportsVariableBlocks(TapeDrive& drive);
// Sets the media block size; true when the drive accepted it.
bool SetMediaBlockSize(TapeDrive& drive, std::uint32_t blockSize);
// The medium's blockSize, or -1 when the media query fails.
std::int64_t QueryMediaBlockSize(TapeDrive& drive);

// PrepareTapeForReading, one step at a time, for callers that act between the steps (the image copy
// creates its file after the open, the tape scan shows a status text after the rewind). Whenever a
// step fails, the caller drops the drive, which closes it.
//   1. open the drive exclusively
TapeResult OpenTapeForReading(const TapeDevices& devices, std::string_view name,
                              std::unique_ptr<TapeDrive>& drive);
//   2. rewind
TapeResult RewindTape(TapeDrive& drive);
//   3. query the medium and keep its capacity
TapeResult QueryTapeCapacity(TapeDrive& drive, std::int64_t& capacity);
//   4. variable blocks when the drive can; otherwise the drive stays in its block mode (its block size is
//      asked for and ignored). Failures are ignored: reads still ask for kTapeReadSize bytes.
void SetUpBlockMode(TapeDrive& drive);

struct PreparedTape {
    std::unique_ptr<TapeDrive> drive;
    std::int64_t capacity = 0;
};

// All four steps: the open drive, rewound, in its block mode, and the medium's capacity. On failure
// nothing stays open and the result says which step failed and why.
TapeResult PrepareTapeForReading(const TapeDevices& devices, std::string_view name, PreparedTape& prepared);

enum class ProbeOutcome : std::uint8_t {
    NotOpened,  // the name could not be opened: absent, busy or refused
    NoMedium,   // opened, but the media query failed
    Medium,     // opened, with the media figures
};

struct TapeProbe {
    ProbeOutcome outcome = ProbeOutcome::NotOpened;
    TapeMediaParameters media;  // when outcome is Medium
    std::string error;          // why the open or the media query failed
};

// Opens the drive, queries the drive (the answer is not used) and the medium, and closes it.
TapeProbe ProbeTapeDevice(const TapeDevices& devices, std::string_view name);

}  // namespace ostrum::tape
