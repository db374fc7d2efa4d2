#include "tape_devices.h"

namespace ostrum::tape {

TapeDevices::TapeDevices(std::shared_ptr<TapeSystemCalls> calls) : calls_(std::move(calls)) {}

TapeResult TapeDevices::AttachVirtual(int number, VirtualTapeOptions options) {
    if (number < kFirstTapeDevice || number > kLastTapeDevice) {
        return TapeResult::Failure(TapeFault::InvalidName,
                                   "cannot attach a virtual drive as device " + std::to_string(number) +
                                       ": device numbers run from " + std::to_string(kFirstTapeDevice) +
                                       " to " + std::to_string(kLastTapeDevice));
    }
    if (TapeResult readable = CheckTapeFile(options.path); !readable) {
        return TapeResult::Failure(readable.fault(), "cannot attach a virtual drive as " +
                                                         TapeDeviceName(number) + ": " + readable.error());
    }
    auto tape = std::make_shared<VirtualTape>(std::move(options));
    std::lock_guard lock(mutex_);
    attached_[number] = std::move(tape);
    return TapeResult::Success();
}

void TapeDevices::Detach(int number) {
    std::lock_guard lock(mutex_);
    attached_.erase(number);
}

std::shared_ptr<VirtualTape> TapeDevices::Attached(int number) const {
    std::lock_guard lock(mutex_);
    auto found = attached_.find(number);
    return found == attached_.end() ? nullptr : found->second;
}

std::optional<std::string> TapeDevices::BackingFile(std::string_view name) const {
    const auto number = ParseTapeDeviceName(name);
    if (!number) return std::nullopt;
    if (auto tape = Attached(*number)) return tape->options().path;
    return LinuxTapePath(*number);
}

TapeResult TapeDevices::Open(std::string_view name, std::unique_ptr<TapeDrive>& drive) const {
    drive.reset();
    const auto number = ParseTapeDeviceName(name);
    if (!number) {
        return TapeResult::Failure(
            TapeFault::InvalidName,
            "cannot open '" + std::string(name) + "': not a tape device name (//./tape0 to //./tape19)");
    }
    if (auto tape = Attached(*number)) return OpenVirtualTape(tape, std::string(name), drive);
    return OpenLinuxTape(calls_, *number, std::string(name), drive);
}

}  // namespace ostrum::tape
