// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/linux_tape.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/mtio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

#include "tape/block_pieces.h"

namespace ostrum::tape {
namespace {

// How long a SCSI query may take before the drive counts as not answering.
constexpr unsigned kScsiTimeoutMs = 30000;
// Largest read request: SCSI tape blocks are at most 2^24 - 1 bytes long.
constexpr std::size_t kLargestReadRequest = (1u << 24) - 1;

class KernelCalls final : public TapeSystemCalls {
  public:
    SystemResult Open(const std::string& path, int flags) override {
        return Answer(::open(path.c_str(), flags));
    }
    SystemResult Close(int fd) override { return Answer(::close(fd)); }
    SystemResult Read(int fd, std::span<std::uint8_t> buffer) override {
        return Answer(::read(fd, buffer.data(), buffer.size()));
    }
    SystemResult Ioctl(int fd, unsigned long request, void* argument) override {
        return Answer(::ioctl(fd, request, argument));
    }

  private:
    static SystemResult Answer(long long value) {
        return value < 0 ? SystemResult{-1, errno} : SystemResult{value, 0};
    }
};

// What a failed call means to this layer. This and Call() below are the only places where the
// system's answers are interpreted.
enum class Condition {
    NotFound,
    Busy,
    AccessDenied,
    NoMedium,
    BlockTooLarge,
    EndOfMedium,
    Unsupported,
    Error
};

Condition ConditionOf(int error) {
    switch (error) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return Condition::NotFound;
        case EBUSY:
            return Condition::Busy;
        case EACCES:
        case EPERM:
        case EROFS:
            return Condition::AccessDenied;
        case ENOMEDIUM:
            return Condition::NoMedium;
        case ENOMEM:  // the st driver's answer to a block longer than the read request
            return Condition::BlockTooLarge;
        case ENOSPC:  // a read at the physical end of the medium
            return Condition::EndOfMedium;
        case EINVAL:
        case ENOTTY:
        case EOPNOTSUPP:
            return Condition::Unsupported;
        default:
            return Condition::Error;
    }
}

TapeFault FaultOf(Condition condition) {
    switch (condition) {
        case Condition::NotFound:
            return TapeFault::NotFound;
        case Condition::Busy:
            return TapeFault::Busy;
        case Condition::AccessDenied:
            return TapeFault::AccessDenied;
        case Condition::NoMedium:
            return TapeFault::NoMedium;
        case Condition::Unsupported:
            return TapeFault::Unsupported;
        default:
            return TapeFault::Failed;
    }
}

// What a read that delivered nothing met, from the drive status taken right after it. The file
// number is the fallback for a driver that moved past a filemark without flagging it; a zero-length
// read that nothing explains is taken as the end of the data, so that it cannot repeat forever.
ReadEnd EndOfEmptyRead(const mtget& status, long previousFile) {
    if (GMT_EOD(status.mt_gstat) || GMT_EOT(status.mt_gstat)) return ReadEnd::EndOfData;
    if (GMT_SM(status.mt_gstat)) return ReadEnd::Setmark;
    if (GMT_EOF(status.mt_gstat)) return ReadEnd::Filemark;
    if (previousFile >= 0 && status.mt_fileno > previousFile) return ReadEnd::Filemark;
    return ReadEnd::EndOfData;
}

template <typename Operation>
SystemResult Call(Operation&& operation) {
    SystemResult result;
    do {
        result = operation();
    } while (result.failed() && result.error == EINTR);
    return result;
}

std::uint32_t BigEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::uint8_t byte : bytes) value = (value << 8) | byte;
    return value;
}

struct BlockLimits {
    std::uint32_t maximum = 0;
    std::uint32_t minimum = 0;
};

struct CapacityFigures {
    std::uint64_t maximum = 0;
    std::uint64_t remaining = 0;
};

struct Partitions {
    std::uint32_t maximum = 1;
    std::uint32_t defined = 1;
};

class LinuxTapeDrive final : public TapeDrive {
  public:
    LinuxTapeDrive(std::shared_ptr<TapeSystemCalls> calls, std::string name, std::string path, int fd)
        : TapeDrive(std::move(name)), calls_(std::move(calls)), path_(std::move(path)), fd_(fd) {}
    // Not retried on EINTR: Linux releases the descriptor whatever close answers.
    ~LinuxTapeDrive() override { calls_->Close(fd_); }

    TapeResult GetDriveParameters(TapeDriveParameters& out) override {
        mtget status{};
        if (TapeResult got = GetStatus(status, "query the drive"); !got) return got;
        out = TapeDriveParameters{};
        out.defaultBlockSize = BlockSizeOf(status);
        const auto limits = ReadBlockLimits();
        if (limits) {
            out.maximumBlockSize = limits->maximum;
            out.minimumBlockSize = limits->minimum;
        }
        // A drive that does not tell its limits is taken to read variable blocks, as SCSI drives do;
        // one whose smallest and largest block are equal works with fixed blocks only.
        if (!limits || limits->maximum > limits->minimum) out.featuresLow |= kDriveVariableBlock;
        out.maximumPartitionCount = SensePartitions().maximum;
        return TapeResult::Success();
    }

    TapeResult GetMediaParameters(TapeMediaParameters& out) override {
        mtget status{};
        if (TapeResult got = GetStatus(status, "query the medium"); !got) return got;
        if (GMT_DR_OPEN(status.mt_gstat) || !GMT_ONLINE(status.mt_gstat)) {
            return TapeResult::Failure(TapeFault::NoMedium,
                                       "cannot query the medium of " + Where() + ": no medium in the drive");
        }
        out = TapeMediaParameters{};
        out.blockSize = BlockSizeOf(status);
        out.writeProtected = GMT_WR_PROT(status.mt_gstat) != 0;
        const CapacityFigures capacity = SenseCapacity();
        out.capacity = static_cast<std::int64_t>(capacity.maximum);
        out.remaining = static_cast<std::int64_t>(capacity.remaining);
        out.partitionCount = SensePartitions().defined;
        return TapeResult::Success();
    }

    TapeResult SetMediaParameters(std::uint32_t blockSize) override {
        return Operate(MTSETBLK, static_cast<int>(blockSize),
                       "set the block size to " + std::to_string(blockSize));
    }

    TapeResult Rewind() override {
        TapeResult rewound = Operate(MTREW, 1, "rewind");
        if (rewound) {
            atEnd_ = false;
            pieces_.Clear();
            block_ = 0;
            fileNumber_ = 0;
        }
        return rewound;
    }

    TapeRead Read(std::span<std::uint8_t> buffer) override {
        if (pieces_.pending()) return Delivered(pieces_.Take(buffer));
        if (atEnd_) return TapeRead{0, ReadEnd::EndOfData, {}};
        if (buffer.empty()) return ReadFailed("read into an empty buffer");
        if (readSize_ == 0) readSize_ = ChooseReadSize();
        const bool direct = buffer.size() >= readSize_;
        const std::span<std::uint8_t> target = direct ? buffer.first(readSize_) : pieces_.Space(readSize_);
        const SystemResult got = Call([&] { return calls_->Read(fd_, target); });
        if (got.failed()) return ReadRefused(got.error);
        if (got.value == 0) return ReadNothing();
        ++block_;
        const auto count = static_cast<std::size_t>(got.value);
        if (direct) return Delivered(count);
        pieces_.Hold(count);
        return Delivered(pieces_.Take(buffer));
    }

  private:
    std::string Where() const { return name() + " (" + path_ + ")"; }

    static std::uint32_t BlockSizeOf(const mtget& status) {
        return static_cast<std::uint32_t>((status.mt_dsreg & MT_ST_BLKSIZE_MASK) >> MT_ST_BLKSIZE_SHIFT);
    }

    static TapeRead Delivered(std::size_t count) { return TapeRead{count, ReadEnd::None, {}}; }

    TapeRead ReadFailed(const std::string& reason) const {
        return TapeRead{0, ReadEnd::Error,
                        "cannot read " + Where() + " at block " + std::to_string(block_) + ": " + reason};
    }

    TapeRead ReadRefused(int error) {
        switch (ConditionOf(error)) {
            case Condition::EndOfMedium:
                atEnd_ = true;
                return TapeRead{0, ReadEnd::EndOfData, {}};
            case Condition::BlockTooLarge: {
                // The driver has moved past the block; its data is lost.
                TapeRead read = ReadFailed("the tape block is longer than the " + std::to_string(readSize_) +
                                           "-byte read request (" + std::strerror(error) + ")");
                ++block_;
                return read;
            }
            case Condition::NoMedium:
                return ReadFailed("no medium in the drive");
            default: {
                TapeRead read = ReadFailed(std::strerror(error));
                ++block_;
                return read;
            }
        }
    }

    TapeRead ReadNothing() {
        mtget status{};
        if (TapeResult got = GetStatus(status, "query the drive after an empty read"); !got) {
            return TapeRead{0, ReadEnd::Error, got.error()};
        }
        const ReadEnd end = EndOfEmptyRead(status, fileNumber_);
        fileNumber_ = status.mt_fileno;
        if (end == ReadEnd::EndOfData) {
            atEnd_ = true;
        } else {
            ++block_;
        }
        return TapeRead{0, end, {}};
    }

    // Reads ask for the drive's largest block, so that a block longer than kTapeReadSize arrives whole.
    std::size_t ChooseReadSize() {
        const auto limits = ReadBlockLimits();
        if (!limits) return kTapeReadSize;
        return std::clamp<std::size_t>(limits->maximum, kTapeReadSize, kLargestReadRequest);
    }

    // MTIOCTOP.
    TapeResult Operate(short operation, int count, const std::string& action) {
        mtop request{};
        request.mt_op = operation;
        request.mt_count = count;
        const SystemResult done = Call([&] { return calls_->Ioctl(fd_, MTIOCTOP, &request); });
        if (!done.failed()) return TapeResult::Success();
        return TapeResult::Failure(FaultOf(ConditionOf(done.error)),
                                   "cannot " + action + " on " + Where() + ": " + std::strerror(done.error));
    }

    // MTIOCGET.
    TapeResult GetStatus(mtget& status, const std::string& action) {
        const SystemResult done = Call([&] { return calls_->Ioctl(fd_, MTIOCGET, &status); });
        if (!done.failed()) return TapeResult::Success();
        return TapeResult::Failure(FaultOf(ConditionOf(done.error)),
                                   "cannot " + action + " " + Where() + ": " + std::strerror(done.error));
    }

    // SG_IO with a command that reads data from the drive. Returns the bytes received, or nothing when
    // the drive (or the driver) does not answer.
    std::optional<std::size_t> ScsiRead(std::span<std::uint8_t> command, std::span<std::uint8_t> response) {
        std::array<std::uint8_t, 32> sense{};
        sg_io_hdr_t header{};
        header.interface_id = 'S';
        header.dxfer_direction = SG_DXFER_FROM_DEV;
        header.cmd_len = static_cast<unsigned char>(command.size());
        header.mx_sb_len = static_cast<unsigned char>(sense.size());
        header.dxfer_len = static_cast<unsigned>(response.size());
        header.dxferp = response.data();
        header.cmdp = command.data();
        header.sbp = sense.data();
        header.timeout = kScsiTimeoutMs;
        const SystemResult done = Call([&] { return calls_->Ioctl(fd_, SG_IO, &header); });
        if (done.failed() || (header.info & SG_INFO_OK_MASK) != SG_INFO_OK) return std::nullopt;
        const int received = static_cast<int>(response.size()) - header.resid;
        return static_cast<std::size_t>(std::clamp(received, 0, static_cast<int>(response.size())));
    }

    std::optional<BlockLimits> ReadBlockLimits() {
        std::array<std::uint8_t, 6> command{scsi::kReadBlockLimits, 0, 0, 0, 0, 0};
        std::array<std::uint8_t, 6> response{};
        const auto received = ScsiRead(command, response);
        if (!received || *received < response.size()) return std::nullopt;
        BlockLimits limits;
        limits.maximum = BigEndian(std::span(response).subspan(1, 3));
        limits.minimum = BigEndian(std::span(response).subspan(4, 2));
        if (limits.maximum == 0) return std::nullopt;  // no limit given
        return limits;
    }

    CapacityFigures SenseCapacity() {
        constexpr std::uint8_t kCumulativeValues = 0x40;
        std::array<std::uint8_t, 512> response{};
        std::array<std::uint8_t, 10> command{scsi::kLogSense,
                                             0,
                                             kCumulativeValues | scsi::kTapeCapacityPage,
                                             0,
                                             0,
                                             0,
                                             0,
                                             static_cast<std::uint8_t>(response.size() >> 8),
                                             static_cast<std::uint8_t>(response.size() & 0xFF),
                                             0};
        CapacityFigures figures;
        const auto received = ScsiRead(command, response);
        if (!received || *received < 4 || (response[0] & 0x3F) != scsi::kTapeCapacityPage) return figures;
        const std::size_t end =
            std::min<std::size_t>(*received, 4 + BigEndian(std::span(response).subspan(2, 2)));
        // Parameters: 2-byte code, control byte, length byte, value.
        for (std::size_t at = 4; at + 4 <= end;) {
            const std::uint16_t code =
                static_cast<std::uint16_t>(BigEndian(std::span(response).subspan(at, 2)));
            const std::size_t length = response[at + 3];
            if (at + 4 + length > end) break;
            const std::uint64_t value = length == 4 ? BigEndian(std::span(response).subspan(at + 4, 4)) : 0;
            if (code == scsi::kMainPartitionMaximum) figures.maximum = value * scsi::kCapacityUnit;
            if (code == scsi::kMainPartitionRemaining) figures.remaining = value * scsi::kCapacityUnit;
            at += 4 + length;
        }
        return figures;
    }

    Partitions SensePartitions() {
        constexpr std::uint8_t kNoBlockDescriptors = 0x08;
        std::array<std::uint8_t, 255> response{};
        std::array<std::uint8_t, 6> command{scsi::kModeSense6,
                                            kNoBlockDescriptors,
                                            scsi::kMediumPartitionPage,
                                            0,
                                            static_cast<std::uint8_t>(response.size()),
                                            0};
        Partitions partitions;
        const auto received = ScsiRead(command, response);
        // Mode parameter header (4 bytes, the last one the block descriptor length), then the page.
        if (!received || *received < 4) return partitions;
        const std::size_t page = 4 + response[3];
        if (page + 4 > *received || (response[page] & 0x3F) != scsi::kMediumPartitionPage) return partitions;
        partitions.maximum = response[page + 2] + 1u;
        partitions.defined = response[page + 3] + 1u;
        return partitions;
    }

    std::shared_ptr<TapeSystemCalls> calls_;
    std::string path_;
    int fd_;
    std::size_t readSize_ = 0;  // chosen at the first read
    BlockPieces pieces_;
    bool atEnd_ = false;
    std::uint64_t block_ = 0;  // blocks and marks passed since the rewind
    long fileNumber_ = -1;     // the driver's file number after the last mark, -1 when unknown
};

}  // namespace

std::shared_ptr<TapeSystemCalls> KernelTapeSystemCalls() {
    return std::make_shared<KernelCalls>();
}

std::string LinuxTapePath(int number) {
    return "/dev/nst" + std::to_string(number);
}

TapeResult OpenLinuxTape(const std::shared_ptr<TapeSystemCalls>& calls, int number, const std::string& name,
                         std::unique_ptr<TapeDrive>& drive) {
    const std::string path = LinuxTapePath(number);
    const SystemResult opened = Call([&] { return calls->Open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC); });
    if (opened.failed()) {
        const Condition condition = ConditionOf(opened.error);
        const std::string reason =
            condition == Condition::Busy ? "the drive is in use" : std::strerror(opened.error);
        return TapeResult::Failure(FaultOf(condition), "cannot open " + name + " (" + path + "): " + reason);
    }
    drive = std::make_unique<LinuxTapeDrive>(calls, name, path, static_cast<int>(opened.value));
    return TapeResult::Success();
}

}  // namespace ostrum::tape
