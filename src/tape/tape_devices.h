// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which drive a TapeDeviceName opens: an attached virtual drive when the number has one, else the
// Linux drive. The map of attached virtual drives lives in this object, which is handed to whoever opens
// devices (the probe, the image copy, the tape scan); there is no process-wide map.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "tape/linux_tape.h"
#include "tape/tape_device.h"
#include "tape/virtual_tape.h"

namespace ostrum::tape {

class TapeDevices {
  public:
    // Linux drives are reached through `calls` (the kernel's own by default).
    explicit TapeDevices(std::shared_ptr<TapeSystemCalls> calls = KernelTapeSystemCalls());

    // Attaches a virtual drive holding the tape file of `options` under device `number` (0 to 19),
    // in place of any drive attached there before. Fails when the number is out of range or the file
    // cannot be read.
    TapeResult AttachVirtual(int number, VirtualTapeOptions options);
    void Detach(int number);
    std::shared_ptr<VirtualTape> Attached(int number) const;

    // The file behind a TapeDeviceName: the attached tape file, or the Linux device node; nothing for a
    // name that is not one.
    std::optional<std::string> BackingFile(std::string_view name) const;

    // Opens the drive named by a TapeDeviceName, exclusively.
    TapeResult Open(std::string_view name, std::unique_ptr<TapeDrive>& drive) const;

  private:
    std::shared_ptr<TapeSystemCalls> calls_;
    mutable std::mutex mutex_;
    std::map<int, std::shared_ptr<VirtualTape>> attached_;
};

// The parts of an `--attach N=FILE.tap` option's value: the device number as given (not checked against
// the range of device numbers) and the file.
struct AttachmentText {
    std::uint64_t number = 0;
    std::string path;
};

// The parts of `attachment`; nothing when it is not of the form N=FILE.
std::optional<AttachmentText> ParseAttachment(std::string_view attachment);

// The text that says what an --attach value must look like, naming the value given.
std::string AttachmentFormError(std::string_view attachment);

// Attaches the virtual tape of an `--attach N=FILE.tap` option ("N=FILE.tap", with the capacity of a
// following `--capacity BYTES`, when given) to device N; returns the error text, empty on success. A file
// whose first records are not framed as a tape file's (an image, say) is refused.
std::string AttachVirtualTape(TapeDevices& devices, std::string_view attachment,
                              std::optional<std::uint64_t> capacity = std::nullopt);

}  // namespace ostrum::tape
