// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/virtual_tape.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/posix_io.h"
#include "tape/block_pieces.h"

namespace ostrum::tape {
namespace {

constexpr std::uint32_t kTapeMark = 0;
constexpr std::uint32_t kEndOfMedium = 0xFFFFFFFF;
constexpr std::uint32_t kBadRecordFlag = 0x80000000;
constexpr std::uint32_t kLengthMask = 0x7FFFFFFF;
constexpr std::uint64_t kLengthWordSize = 4;

std::uint32_t LittleEndian32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) | (std::uint32_t{bytes[2]} << 16) |
           (std::uint32_t{bytes[3]} << 24);
}

class VirtualTapeDrive final : public TapeDrive {
  public:
    VirtualTapeDrive(std::shared_ptr<VirtualTape> tape, std::string name, common::UniqueFd file,
                     std::uint64_t fileSize)
        : TapeDrive(std::move(name)), tape_(std::move(tape)), file_(std::move(file)), fileSize_(fileSize) {}
    ~VirtualTapeDrive() override { tape_->Release(); }

    TapeResult GetDriveParameters(TapeDriveParameters& out) override {
        out = TapeDriveParameters{};
        out.defaultBlockSize = 0;
        out.maximumBlockSize = kMaxTapeRecordBytes;
        out.minimumBlockSize = 1;
        out.maximumPartitionCount = 1;
        out.featuresLow = kDriveVariableBlock;
        return TapeResult::Success();
    }

    TapeResult GetMediaParameters(TapeMediaParameters& out) override {
        if (auto missing = MissingMedium("query the medium")) return *missing;
        const auto size = static_cast<std::int64_t>(fileSize_);
        out = TapeMediaParameters{};
        out.capacity = tape_->options().capacity.value_or(size);
        out.remaining = std::max<std::int64_t>(0, out.capacity - size);
        out.blockSize = 0;
        out.partitionCount = 1;
        out.writeProtected = true;  // opened for reading only
        return TapeResult::Success();
    }

    TapeResult SetMediaParameters(std::uint32_t blockSize) override {
        if (auto missing = MissingMedium("set the block size")) return *missing;
        if (blockSize != 0) {
            return TapeResult::Failure(TapeFault::Unsupported,
                                       "cannot set the block size of " + Where() + " to " +
                                           std::to_string(blockSize) +
                                           ": a virtual drive reads variable blocks only");
        }
        return TapeResult::Success();
    }

    TapeResult Rewind() override {
        if (auto missing = MissingMedium("rewind")) return *missing;
        position_ = 0;
        record_ = 0;
        block_ = 0;
        atEnd_ = false;
        pieces_.Clear();
        return TapeResult::Success();
    }

    TapeRead Read(std::span<std::uint8_t> buffer) override {
        if (pieces_.pending()) return Delivered(pieces_.Take(buffer));
        if (tape_->options().noMedium) return Failed("no medium in the drive");
        if (atEnd_) return Ended();
        if (buffer.empty()) return Failed("read into an empty buffer");
        if (tape_->options().beforeRead) tape_->options().beforeRead(record_);
        return ReadEntry(buffer);
    }

  private:
    std::string Where() const { return name() + " (tape file '" + tape_->options().path + "')"; }

    std::optional<TapeResult> MissingMedium(std::string_view action) const {
        if (!tape_->options().noMedium) return std::nullopt;
        return TapeResult::Failure(TapeFault::NoMedium, "cannot " + std::string(action) + " on " + Where() +
                                                            ": no medium in the drive");
    }

    std::string RecordPlace() const {
        return "block " + std::to_string(block_) + " (data record " + std::to_string(record_) +
               ", tape file byte " + std::to_string(position_) + ")";
    }

    static TapeRead Delivered(std::size_t count) { return TapeRead{count, ReadEnd::None, {}}; }
    TapeRead Ended() {
        atEnd_ = true;
        return TapeRead{0, ReadEnd::EndOfData, {}};
    }
    TapeRead Failed(std::string reason) {
        return TapeRead{0, ReadEnd::Error, "cannot read " + Where() + " at " + RecordPlace() + ": " + reason};
    }
    // A record that cannot be delivered: the error is reported and the tape moves on to the next entry.
    TapeRead FailedRecord(std::string reason, std::uint64_t next) {
        TapeRead read = Failed(std::move(reason));
        position_ = next;
        ++record_;
        ++block_;
        return read;
    }

    // The length word at `at`: from the last record's read when it brought it along, else from the file.
    // Nothing when the file ends first.
    std::optional<std::uint32_t> WordAt(std::uint64_t at, int& error) {
        error = 0;
        if (cachedWordAt_ == at) return cachedWord_;
        std::uint8_t word[kLengthWordSize];
        const common::IoResult got = common::ReadAt(file_.get(), at, word);
        error = got.error;
        if (got.count < kLengthWordSize) return std::nullopt;
        return LittleEndian32(word);
    }

    TapeRead ReadEntry(std::span<std::uint8_t> buffer) {
        int error = 0;
        const auto header = WordAt(position_, error);
        if (error != 0) return Failed(std::string("reading the tape file failed: ") + std::strerror(error));
        // A file that ends without an end-of-medium word ends the recorded data where it ends.
        if (!header || *header == kEndOfMedium) return Ended();
        if (*header == kTapeMark) {
            position_ += kLengthWordSize;
            ++block_;
            return TapeRead{0, ReadEnd::Filemark, {}};
        }
        return ReadRecord(*header, buffer);
    }

    TapeRead ReadRecord(std::uint32_t header, std::span<std::uint8_t> buffer) {
        const std::uint32_t length = header & kLengthMask;
        const std::uint64_t padded = length + (length & 1u);
        const std::uint64_t dataStart = position_ + kLengthWordSize;
        const std::uint64_t next = dataStart + padded + kLengthWordSize;
        if (next > fileSize_) {
            // Where the next entry begins cannot be known: nothing after this record can be found.
            TapeRead read =
                Failed("its length " + std::to_string(length) + " runs past the end of the tape file (" +
                       std::to_string(fileSize_) + " bytes)");
            atEnd_ = true;
            return read;
        }
        const bool deliver = (header & kBadRecordFlag) == 0 &&
                             !tape_->options().errorRecords.contains(record_) &&
                             length <= kMaxTapeRecordBytes;
        // One read brings the data (when it is delivered), the trailing length word and the next entry's
        // word.
        std::span<std::uint8_t> target;
        if (deliver) target = length <= buffer.size() ? buffer.first(length) : pieces_.Space(length);
        std::uint8_t pad = 0;
        std::uint8_t words[2 * kLengthWordSize];
        const std::size_t wordCount = next + kLengthWordSize <= fileSize_ ? 2 : 1;
        iovec parts[3];
        int partCount = 0;
        if (deliver) {
            parts[partCount++] = {target.data(), target.size()};
            if (padded != length) parts[partCount++] = {&pad, 1};
        }
        parts[partCount++] = {words, wordCount * kLengthWordSize};
        const std::uint64_t from = deliver ? dataStart : dataStart + padded;
        const std::size_t expected =
            static_cast<std::size_t>(next - from) + (wordCount - 1) * kLengthWordSize;
        const common::IoResult got =
            common::ReadVectorAt(file_.get(), from, std::span(parts, static_cast<std::size_t>(partCount)));
        if (got.failed() || got.count != expected) {
            const std::string reason = got.failed() ? std::strerror(got.error) : "the tape file ended early";
            return FailedRecord("reading the tape file failed: " + reason, next);
        }
        if (wordCount == 2) {
            cachedWordAt_ = next;
            cachedWord_ = LittleEndian32(words + kLengthWordSize);
        }
        const std::uint32_t trailer = LittleEndian32(words);
        if (trailer != header) {
            return FailedRecord("its length words disagree (" + std::to_string(header) +
                                    " before the data, " + std::to_string(trailer) + " after it)",
                                next);
        }
        if ((header & kBadRecordFlag) != 0) return FailedRecord("the record is marked as unreadable", next);
        if (tape_->options().errorRecords.contains(record_))
            return FailedRecord("medium error (injected)", next);
        if (!deliver) {
            return FailedRecord("its length " + std::to_string(length) + " exceeds the largest tape block",
                                next);
        }
        position_ = next;
        ++record_;
        ++block_;
        if (target.data() == buffer.data()) return Delivered(length);
        pieces_.Hold(length);
        return Delivered(pieces_.Take(buffer));
    }

    std::shared_ptr<VirtualTape> tape_;
    common::UniqueFd file_;
    std::uint64_t fileSize_;
    std::uint64_t position_ = 0;  // tape file offset of the next entry
    std::uint64_t record_ = 0;    // data records passed since the rewind
    std::uint64_t block_ = 0;     // entries (records and marks) passed since the rewind
    bool atEnd_ = false;
    BlockPieces pieces_;
    std::uint64_t cachedWordAt_ = UINT64_MAX;  // where the word brought along by the last record's read lies
    std::uint32_t cachedWord_ = 0;
};

TapeResult OpenTapeFile(const std::string& path, common::UniqueFd& file, std::uint64_t& size) {
    int error = 0;
    file = common::OpenFile(path, O_RDONLY | O_CLOEXEC, error);
    if (!file.valid()) {
        const TapeFault fault = error == ENOENT   ? TapeFault::NotFound
                                : error == EACCES ? TapeFault::AccessDenied
                                                  : TapeFault::Failed;
        return TapeResult::Failure(fault, "cannot open tape file '" + path + "': " + std::strerror(error));
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return TapeResult::Failure(TapeFault::Failed,
                                   "cannot query tape file '" + path + "': " + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return TapeResult::Failure(TapeFault::Failed, "tape file '" + path + "' is not a regular file");
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return TapeResult::Success();
}

}  // namespace

TapeFramingCheck CheckTapeFraming(const common::ImageSource& file) {
    // A long run of marks before any record is a file of zeros as much as a tape.
    constexpr int kMaxEntries = 64;
    const std::uint64_t size = file.Size().value_or(0);
    std::uint64_t position = 0;
    int records = 0;
    auto broken = [&](std::string why) {
        if (records > 0) return TapeFramingCheck{TapeFraming::Holds, {}};  // damage further on
        return TapeFramingCheck{TapeFraming::Broken, std::move(why)};
    };
    for (int entry = 0; entry < kMaxEntries && records < kFramingRecordsChecked; ++entry) {
        std::uint8_t word[kLengthWordSize];
        if (position + kLengthWordSize > size || file.Read(position, word).count != kLengthWordSize) break;
        const std::uint32_t header = LittleEndian32(word);
        if (header == kEndOfMedium) break;
        if (header == kTapeMark) {
            position += kLengthWordSize;
            continue;
        }
        const std::uint32_t length = header & kLengthMask;
        const std::string where = "the length word at byte " + std::to_string(position);
        if (length > kMaxTapeRecordBytes) {
            return broken(where + " (" + std::to_string(length) + ") is larger than any tape block");
        }
        const std::uint64_t next = position + kLengthWordSize + length + (length & 1u) + kLengthWordSize;
        if (next > size) return broken(where + " runs past the end of the file");
        if (file.Read(next - kLengthWordSize, word).count != kLengthWordSize ||
            LittleEndian32(word) != header) {
            return broken(where + " is not repeated after the record");
        }
        ++records;
        position = next;
    }
    return TapeFramingCheck{records > 0 ? TapeFraming::Holds : TapeFraming::Unknown, {}};
}

TapeResult CheckTapeFile(const std::string& path) {
    common::UniqueFd file;
    std::uint64_t size = 0;
    return OpenTapeFile(path, file, size);
}

TapeResult OpenVirtualTape(const std::shared_ptr<VirtualTape>& tape, const std::string& name,
                           std::unique_ptr<TapeDrive>& drive) {
    if (tape->options().busy || !tape->Claim()) {
        return TapeResult::Failure(TapeFault::Busy, "cannot open " + name + ": the drive is in use");
    }
    common::UniqueFd file;
    std::uint64_t size = 0;
    if (TapeResult opened = OpenTapeFile(tape->options().path, file, size); !opened) {
        tape->Release();
        return TapeResult::Failure(opened.fault(), "cannot open " + name + ": " + opened.error());
    }
    drive = std::make_unique<VirtualTapeDrive>(tape, name, std::move(file), size);
    return TapeResult::Success();
}

}  // namespace ostrum::tape
