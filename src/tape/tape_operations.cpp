// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/tape_operations.h"

namespace ostrum::tape {

std::uint32_t DriveSupportsVariableBlocks(TapeDrive& drive) {
    TapeDriveParameters parameters;
    if (!drive.GetDriveParameters(parameters)) return 0;
    return parameters.featuresLow & kDriveVariableBlock;
}

bool SetMediaBlockSize(TapeDrive& drive, std::uint32_t blockSize) {
    return static_cast<bool>(drive.SetMediaParameters(blockSize));
}

std::int64_t QueryMediaBlockSize(TapeDrive& drive) {
    TapeMediaParameters media;
    if (!drive.GetMediaParameters(media)) return -1;
    return media.blockSize;
}

TapeResult OpenTapeForReading(const TapeDevices& devices, std::string_view name,
                              std::unique_ptr<TapeDrive>& drive) {
    return devices.Open(name, drive);
}

TapeResult RewindTape(TapeDrive& drive) {
    return drive.Rewind();
}

TapeResult QueryTapeCapacity(TapeDrive& drive, std::int64_t& capacity) {
    TapeMediaParameters media;
    TapeResult queried = drive.GetMediaParameters(media);
    if (queried) capacity = media.capacity;
    return queried;
}

void SetUpBlockMode(TapeDrive& drive) {
    if (DriveSupportsVariableBlocks(drive) != 0) {
        SetMediaBlockSize(drive, 0);
    } else {
        QueryMediaBlockSize(drive);
    }
}

TapeResult PrepareTapeForReading(const TapeDevices& devices, std::string_view name, PreparedTape& prepared) {
    prepared = PreparedTape{};
    std::unique_ptr<TapeDrive> drive;
    if (TapeResult opened = OpenTapeForReading(devices, name, drive); !opened) return opened;
    if (TapeResult rewound = RewindTape(*drive); !rewound) return rewound;
    std::int64_t capacity = 0;
    if (TapeResult queried = QueryTapeCapacity(*drive, capacity); !queried) return queried;
    SetUpBlockMode(*drive);
    prepared.drive = std::move(drive);
    prepared.capacity = capacity;
    return TapeResult::Success();
}

TapeProbe ProbeTapeDevice(const TapeDevices& devices, std::string_view name) {
    TapeProbe probe;
    std::unique_ptr<TapeDrive> drive;
    if (TapeResult opened = devices.Open(name, drive); !opened) {
        probe.error = opened.error();
        return probe;
    }
    TapeDriveParameters ignored;
    drive->GetDriveParameters(ignored);
    if (TapeResult queried = drive->GetMediaParameters(probe.media); !queried) {
        probe.outcome = ProbeOutcome::NoMedium;
        probe.error = queried.error();
        return probe;
    }
    probe.outcome = ProbeOutcome::Medium;
    return probe;
}

}  // namespace ostrum::tape
