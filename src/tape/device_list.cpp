// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/device_list.h"

#include <cinttypes>
#include <cstdio>

#include "tape/tape_operations.h"

namespace ostrum::tape {
namespace {

std::string HexAndDecimal(std::uint64_t value) {
    char text[48];
    std::snprintf(text, sizeof text, " 0x%.8" PRIx64 " (%" PRIu64 ")", value, value);
    return text;
}

std::string HexAndDecimal(std::uint32_t value) {
    char text[32];
    std::snprintf(text, sizeof text, " 0x%.8" PRIx32 " (%" PRIu32 ")", value, value);
    return text;
}

}  // namespace

std::array<std::string, 5> DeviceListCells(const std::string& name, const TapeMediaParameters& media) {
    return {name, std::to_string(media.capacity), HexAndDecimal(static_cast<std::uint64_t>(media.remaining)),
            HexAndDecimal(media.blockSize), HexAndDecimal(media.partitionCount)};
}

TapeDeviceEnumeration EnumerateTapeDevices(const TapeDevices& devices) {
    TapeDeviceEnumeration result;
    for (int number = kFirstTapeDevice; number <= kLastTapeDevice; ++number) {
        const std::string name = TapeDeviceName(number);
        const TapeProbe probe = ProbeTapeDevice(devices, name);
        if (probe.outcome == ProbeOutcome::NotOpened) continue;
        result.found = true;
        if (probe.outcome == ProbeOutcome::Medium) {
            result.rows.push_back({name, probe.media, DeviceListCells(name, probe.media)});
        } else {
            result.notes.push_back(probe.error);
        }
    }
    return result;
}

}  // namespace ostrum::tape
