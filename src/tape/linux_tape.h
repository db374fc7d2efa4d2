// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Linux backend: SCSI tape drives through the st driver. "//./tapeN" is /dev/nstN, the
// non-rewinding device (the program rewinds by itself when it wants to).
//
// The drive is opened read-only (this program never writes a tape, and the driver refuses read-write
// opens of a write-protected cartridge, which is what people bring to a recovery) and non-blocking, so
// that a drive without a medium still opens. The driver lets one process open a drive at a time, which
// makes the open exclusive. Rewind, status and block size go through the magnetic-tape ioctls; capacity,
// block limits and partitions through SCSI commands sent with SG_IO on the same descriptor, and a drive
// that does not answer them is reported with 0 (or 1 partition) instead of failing.
//
// Every system call goes through TapeSystemCalls, so that tests can play a drive and check the calls.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "tape/tape_device.h"

namespace ostrum::tape {

// One system call's answer: a non-negative value, or value -1 and the errno it left.
struct SystemResult {
    long long value = 0;
    int error = 0;
    bool failed() const { return value < 0; }
};

// The system calls the backend makes. The real implementation passes them to the kernel unchanged;
// tests implement them to play a drive.
class TapeSystemCalls {
  public:
    virtual ~TapeSystemCalls() = default;
    virtual SystemResult Open(const std::string& path, int flags) = 0;
    virtual SystemResult Close(int fd) = 0;
    virtual SystemResult Read(int fd, std::span<std::uint8_t> buffer) = 0;
    // MTIOCTOP, MTIOCGET and SG_IO.
    virtual SystemResult Ioctl(int fd, unsigned long request, void* argument) = 0;
};

// The kernel's own calls.
std::shared_ptr<TapeSystemCalls> KernelTapeSystemCalls();

// "/dev/nst" followed by the device number.
std::string LinuxTapePath(int number);

// Opens drive `number` under its TapeDeviceName `name`.
TapeResult OpenLinuxTape(const std::shared_ptr<TapeSystemCalls>& calls, int number, const std::string& name,
                         std::unique_ptr<TapeDrive>& drive);

// The SCSI commands and pages the backend uses, named for the tests that play a drive.
namespace scsi {
inline constexpr std::uint8_t kReadBlockLimits = 0x05;
inline constexpr std::uint8_t kModeSense6 = 0x1A;
inline constexpr std::uint8_t kLogSense = 0x4D;
inline constexpr std::uint8_t kTapeCapacityPage = 0x31;     // log page: remaining and maximum capacity
inline constexpr std::uint8_t kMediumPartitionPage = 0x11;  // mode page: partitions of the medium
// Parameters of the tape capacity log page, each a 4-byte count of MiB.
inline constexpr std::uint16_t kMainPartitionRemaining = 0x0001;
inline constexpr std::uint16_t kMainPartitionMaximum = 0x0003;
inline constexpr std::uint64_t kCapacityUnit = 1024 * 1024;
}  // namespace scsi

}  // namespace ostrum::tape
