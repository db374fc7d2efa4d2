// SPDX-License-Identifier: GPL-3.0-or-later
#include "played_drive.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/mtio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ostrum::tape::testing {
namespace {
constexpr int kFd = 7;

std::string Hex(std::uint8_t byte) {
    static const char* digits = "0123456789abcdef";
    return {digits[byte >> 4], digits[byte & 15]};
}
}  // namespace

std::size_t PlayedDrive::Count(const std::string& line) const {
    return std::count(log.begin(), log.end(), line);
}

std::size_t PlayedDrive::CountPrefix(const std::string& prefix) const {
    return std::count_if(log.begin(), log.end(), [&](const std::string& l) { return l.starts_with(prefix); });
}

bool PlayedDrive::Interrupted() {
    if (interruptions == 0) return false;
    --interruptions;
    log.push_back("EINTR");
    return true;
}

SystemResult PlayedDrive::Open(const std::string& path, int flags) {
    openFlags = flags;
    std::string line = "open " + path;
    if ((flags & O_ACCMODE) == O_RDONLY) line += " ro";
    if ((flags & O_ACCMODE) == O_RDWR) line += " rw";
    if (flags & O_NONBLOCK) line += " nonblock";
    log.push_back(line);
    if (Interrupted()) return {-1, EINTR};
    if (openError != 0) return {-1, openError};
    if (open_) return {-1, EBUSY};  // the st driver's one open at a time
    open_ = true;
    return {kFd, 0};
}

SystemResult PlayedDrive::Close(int fd) {
    log.push_back("close");
    if (fd != kFd || !open_) return {-1, EBADF};
    open_ = false;
    return {0, 0};
}

SystemResult PlayedDrive::Read(int fd, std::span<std::uint8_t> buffer) {
    log.push_back("read " + std::to_string(buffer.size()));
    if (fd != kFd) return {-1, EBADF};
    if (Interrupted()) return {-1, EINTR};
    if (!medium) return {-1, ENOMEDIUM};
    statusBits_ = 0;
    if (position_ >= tape.size()) {
        // The driver answers the first read at the end of data with 0 bytes, later ones with EIO.
        if (eodReads_++ > 0) return {-1, EIO};
        statusBits_ = GMT_EOD(~0L);
        return {0, 0};
    }
    const Entry& entry = tape[position_++];
    switch (entry.kind) {
        case Entry::Filemark:
            ++fileNumber_;
            if (flagsMarks) statusBits_ = GMT_EOF(~0L);
            return {0, 0};
        case Entry::Setmark:
            statusBits_ = GMT_SM(~0L);
            return {0, 0};
        case Entry::MediumError:
            return {-1, EIO};
        case Entry::Block:
            // Variable blocks: a block longer than the request is skipped and refused with ENOMEM.
            if (entry.data.size() > buffer.size()) return {-1, ENOMEM};
            std::memcpy(buffer.data(), entry.data.data(), entry.data.size());
            return {static_cast<long long>(entry.data.size()), 0};
    }
    return {-1, EIO};
}

SystemResult PlayedDrive::Ioctl(int fd, unsigned long request, void* argument) {
    if (fd != kFd) return {-1, EBADF};
    if (request == MTIOCTOP) {
        const auto* op = static_cast<const mtop*>(argument);
        if (op->mt_op == MTREW) {
            log.push_back("MTREW");
            if (Interrupted()) return {-1, EINTR};
            if (!medium) return {-1, ENOMEDIUM};
            position_ = 0;
            fileNumber_ = 0;
            statusBits_ = 0;
            eodReads_ = 0;
            return {0, 0};
        }
        if (op->mt_op == MTSETBLK) {
            log.push_back("MTSETBLK " + std::to_string(op->mt_count));
            if (!medium) return {-1, ENOMEDIUM};
            if (setBlockError != 0) return {-1, setBlockError};
            if (limits && limits->maximum == limits->minimum &&
                op->mt_count != static_cast<int>(limits->maximum)) {
                return {-1, EINVAL};
            }
            blockSize = static_cast<std::uint32_t>(op->mt_count);
            return {0, 0};
        }
        log.push_back("MTIOCTOP " + std::to_string(op->mt_op));
        return {-1, EINVAL};
    }
    if (request == MTIOCGET) {
        log.push_back("MTIOCGET");
        if (Interrupted()) return {-1, EINTR};
        if (statusError != 0) return {-1, statusError};
        auto* status = static_cast<mtget*>(argument);
        *status = mtget{};
        status->mt_type = MT_ISSCSI2;
        status->mt_dsreg = static_cast<long>(blockSize) << MT_ST_BLKSIZE_SHIFT;
        status->mt_gstat = statusBits_ | (medium ? GMT_ONLINE(~0L) : GMT_DR_OPEN(~0L));
        if (medium && writeProtected) status->mt_gstat |= GMT_WR_PROT(~0L);
        status->mt_fileno = static_cast<int>(fileNumber_);
        return {0, 0};
    }
    if (request == SG_IO) return Scsi(argument);
    log.push_back("ioctl " + std::to_string(request));
    return {-1, ENOTTY};
}

SystemResult PlayedDrive::Scsi(void* argument) {
    auto* header = static_cast<sg_io_hdr_t*>(argument);
    lastCommand.assign(header->cmdp, header->cmdp + header->cmd_len);
    std::string line = "SG_IO";
    for (std::size_t i = 0; i < std::min<std::size_t>(3, lastCommand.size()); ++i)
        line += " " + Hex(lastCommand[i]);
    log.push_back(line);
    if (header->interface_id != 'S' || header->dxfer_direction != SG_DXFER_FROM_DEV) return {-1, EINVAL};

    std::vector<std::uint8_t> answer;
    const std::uint8_t opcode = lastCommand.at(0);
    if (opcode == scsi::kReadBlockLimits) {
        if (!limits) return {-1, EPERM};  // the kernel's command filter refuses it
        answer = {0,
                  static_cast<std::uint8_t>(limits->maximum >> 16),
                  static_cast<std::uint8_t>(limits->maximum >> 8),
                  static_cast<std::uint8_t>(limits->maximum),
                  static_cast<std::uint8_t>(limits->minimum >> 8),
                  static_cast<std::uint8_t>(limits->minimum)};
    } else if (opcode == scsi::kLogSense && (lastCommand.at(2) & 0x3F) == scsi::kTapeCapacityPage &&
               capacity) {
        auto parameter = [&](std::uint16_t code, std::uint32_t value) {
            answer.insert(answer.end(),
                          {static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code), 0x00, 4,
                           static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                           static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
        };
        answer = {scsi::kTapeCapacityPage, 0, 0, 32};
        parameter(scsi::kMainPartitionRemaining, capacity->remainingMiB);
        parameter(0x0002, 0);
        parameter(scsi::kMainPartitionMaximum, capacity->maximumMiB);
        parameter(0x0004, 0);
    } else if (opcode == scsi::kModeSense6 && (lastCommand.at(2) & 0x3F) == scsi::kMediumPartitionPage &&
               partitions) {
        // Header with an 8-byte block descriptor (given although none was asked for, as some drives do).
        answer = {0,
                  0,
                  0x80,
                  8,
                  0,
                  0,
                  0,
                  0,
                  0,
                  0,
                  0,
                  0,
                  scsi::kMediumPartitionPage,
                  6,
                  partitions->maximumAdditional,
                  partitions->additionalDefined,
                  0,
                  0,
                  0,
                  0};
        answer[0] = static_cast<std::uint8_t>(answer.size() - 1);
    } else {
        // CHECK CONDITION, ILLEGAL REQUEST.
        header->status = 0x02;
        header->masked_status = 0x01;
        header->driver_status = 0x08;
        header->info = SG_INFO_CHECK;
        header->resid = static_cast<int>(header->dxfer_len);
        return {0, 0};
    }
    const std::size_t count = std::min<std::size_t>(answer.size(), header->dxfer_len);
    std::memcpy(header->dxferp, answer.data(), count);
    header->resid = static_cast<int>(header->dxfer_len - count);
    header->status = 0;
    header->info = SG_INFO_OK;
    return {0, 0};
}

}  // namespace ostrum::tape::testing
