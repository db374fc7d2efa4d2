// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A SCSI tape drive played behind the Linux backend's system-call seam, the way the st driver answers:
// blocks, filemarks, setmarks, medium errors and the end of data on reads; MTIOCTOP, MTIOCGET and SG_IO
// on ioctl. Every call is written to a log for the tests to check.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tape/linux_tape.h"

namespace ostrum::tape::testing {

class PlayedDrive final : public TapeSystemCalls {
  public:
    struct Entry {
        enum Kind { Block, Filemark, Setmark, MediumError } kind;
        std::vector<std::uint8_t> data;
    };
    struct Limits {
        std::uint32_t maximum;
        std::uint16_t minimum;
    };
    struct CapacityPage {
        std::uint32_t maximumMiB;
        std::uint32_t remainingMiB;
    };
    struct PartitionPage {
        std::uint8_t maximumAdditional;
        std::uint8_t additionalDefined;
    };

    // The drive.
    int openError = 0;      // errno of every open (0: opens)
    int interruptions = 0;  // how many calls answer EINTR before the next one goes through
    int statusError = 0;    // errno of MTIOCGET (0: answers)
    int setBlockError = 0;  // errno of MTSETBLK (0: accepts)
    bool medium = true;
    bool writeProtected = true;
    std::uint32_t blockSize = 0;  // the driver's block size, 0 for variable blocks
    bool flagsMarks = true;       // false: a filemark is seen only in the file number, not in the status bits
    std::optional<Limits> limits;             // READ BLOCK LIMITS; absent: the ioctl is refused
    std::optional<CapacityPage> capacity;     // LOG SENSE page 0x31; absent: check condition
    std::optional<PartitionPage> partitions;  // MODE SENSE page 0x11; absent: check condition
    std::vector<Entry> tape;

    PlayedDrive& Block(std::vector<std::uint8_t> data) {
        tape.push_back({Entry::Block, std::move(data)});
        return *this;
    }
    PlayedDrive& Filemark() {
        tape.push_back({Entry::Filemark, {}});
        return *this;
    }
    PlayedDrive& Setmark() {
        tape.push_back({Entry::Setmark, {}});
        return *this;
    }
    PlayedDrive& MediumError() {
        tape.push_back({Entry::MediumError, {}});
        return *this;
    }

    // What was called, one line per call: "open /dev/nst3 ro nonblock", "read 65536", "MTREW",
    // "MTSETBLK 0", "MTIOCGET", "SG_IO 4d 71", "close".
    std::vector<std::string> log;
    std::size_t Count(const std::string& line) const;
    std::size_t CountPrefix(const std::string& prefix) const;
    int openFlags = 0;
    std::vector<std::uint8_t> lastCommand;  // the last SCSI command block

    SystemResult Open(const std::string& path, int flags) override;
    SystemResult Close(int fd) override;
    SystemResult Read(int fd, std::span<std::uint8_t> buffer) override;
    SystemResult Ioctl(int fd, unsigned long request, void* argument) override;

  private:
    bool Interrupted();
    SystemResult Scsi(void* argument);
    std::size_t position_ = 0;
    long fileNumber_ = 0;
    long statusBits_ = 0;  // marks met by the last read, reported by MTIOCGET
    int eodReads_ = 0;
    bool open_ = false;
};

}  // namespace ostrum::tape::testing
