// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The list of drives holding a medium, as the device selection shows it: the twenty names probed in
// order, one row per drive whose media query succeeded, with its figures in the list's cell formats.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tape/tape_device.h"
#include "tape/tape_devices.h"

namespace ostrum::tape {

// Column headings of the device list.
inline constexpr std::array<const char*, 5> kDeviceListHeadings = {
    "TAPE DRIVE", "Capacity (Bytes)", "Remaining (Bytes)", "Block Size", "Partition Count"};

// The five cells of a row: the name; capacity in signed decimal; remaining, blockSize and partitionCount
// each as a blank, "0x", the value in lower-case hexadecimal of at least 8 digits, a blank and the
// unsigned decimal value in parentheses (" 0x00000200 (512)").
std::array<std::string, 5> DeviceListCells(const std::string& name, const TapeMediaParameters& media);

struct TapeDeviceRow {
    std::string name;
    TapeMediaParameters media;
    std::array<std::string, 5> cells;
};

struct TapeDeviceEnumeration {
    std::vector<TapeDeviceRow> rows;  // drives with a medium, in device order
    bool found = false;               // at least one name could be opened
    std::vector<std::string> notes;   // why a drive that opened gave no row
};

// Probes //./tape0 to //./tape19 in ascending order, closing each drive before the next.
TapeDeviceEnumeration EnumerateTapeDevices(const TapeDevices& devices);

}  // namespace ostrum::tape
