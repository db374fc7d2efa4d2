// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/tape_devices.h"

#include <charconv>

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

std::optional<AttachmentText> ParseAttachment(std::string_view attachment) {
    const auto equals = attachment.find('=');
    if (equals == std::string_view::npos || equals == 0 || equals + 1 == attachment.size())
        return std::nullopt;
    std::uint64_t number = 0;
    const char* first = attachment.data();
    const char* last = first + equals;
    const auto [end, failure] = std::from_chars(first, last, number);
    if (failure != std::errc() || end != last) return std::nullopt;
    return AttachmentText{number, std::string(attachment.substr(equals + 1))};
}

std::string AttachmentFormError(std::string_view attachment) {
    return "--attach wants DEVICE=FILE, e.g. --attach 0=backup.tap (got '" + std::string(attachment) + "')";
}

std::string AttachVirtualTape(TapeDevices& devices, std::string_view attachment,
                              std::optional<std::uint64_t> capacity) {
    const auto parts = ParseAttachment(attachment);
    if (!parts) return AttachmentFormError(attachment);
    VirtualTapeOptions options;
    options.path = parts->path;
    if (common::ImageFile file; file.Open(options.path)) {
        if (const auto check = CheckTapeFraming(file); check.framing == TapeFraming::Broken) {
            return "'" + options.path + "' is not a virtual tape file (SIMH .tap): " + check.why +
                   "; an image file is given without --attach";
        }
    }
    if (capacity) options.capacity = static_cast<std::int64_t>(*capacity);
    const int device = parts->number > 1000 ? -1 : static_cast<int>(parts->number);
    const TapeResult attached = devices.AttachVirtual(device, std::move(options));
    return attached ? std::string() : attached.error();
}

}  // namespace ostrum::tape
