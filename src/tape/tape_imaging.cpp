// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/tape_imaging.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "common/posix_io.h"
#include "common/saturating.h"
#include "tape/read_failures.h"
#include "tape/tape_operations.h"

namespace ostrum::tape {
namespace {

std::string WriteFailure(const std::string& path, std::uint64_t offset, int error) {
    std::string text = "cannot write the image '" + path + "' at byte " + std::to_string(offset) + ": " +
                       std::strerror(error);
    if (error == ENOSPC) text += " (the disk is full)";
    if (error == EFBIG)
        text += " (the file has reached the largest size the file system or the system's limit allows)";
    if (error == EDQUOT) text += " (the disk quota is used up)";
    return text;
}

// Device majors of the Linux tape drivers (st and osst): such a node is a tape, never an image.
constexpr unsigned kScsiTapeMajor = 9;
constexpr unsigned kOnStreamTapeMajor = 206;

// The file behind the tape being copied, as stat saw it; nothing when it cannot be known.
std::optional<struct stat> SourceFile(const TapeDevices& devices, const std::string& deviceName) {
    const auto path = devices.BackingFile(deviceName);
    struct stat info {};
    if (!path || ::stat(path->c_str(), &info) != 0) return std::nullopt;
    return info;
}

// Why the file `target` may not receive the image, or nothing.
std::optional<std::string> Refusal(const struct stat& target, const std::optional<struct stat>& source) {
    if (S_ISDIR(target.st_mode)) return "it is a folder";
    if (S_ISCHR(target.st_mode)) {
        const unsigned major = ::major(target.st_rdev);
        const bool sameDevice = source && S_ISCHR(source->st_mode) && source->st_rdev == target.st_rdev;
        if (major == kScsiTapeMajor || major == kOnStreamTapeMajor || sameDevice) {
            return "it is a tape device; an image is written to a file";
        }
        return std::nullopt;
    }
    if (source && source->st_dev == target.st_dev && source->st_ino == target.st_ino) {
        return "it is the tape's own file, which the copy reads";
    }
    return std::nullopt;
}

// The image file: opened without truncation, emptied only once the drive has answered, removed again
// when the copy cannot start and the file is one it created, and on the disk before the copy is done.
class ImageTarget {
  public:
    explicit ImageTarget(std::string path) : path_(std::move(path)) {}

    int fd() const { return file_.get(); }

    TapeResult Open(ExistingImage existing, const std::optional<struct stat>& source,
                    bool& refusedAsExisting) {
        if (ParseTapeDeviceName(path_)) return Failure("it is the name of a tape drive");
        // A device is looked at before it is opened: opening a tape device can rewind it.
        struct stat info {};
        const bool exists = ::stat(path_.c_str(), &info) == 0;
        if (exists) {
            if (auto why = Refusal(info, source)) return Failure(*why);
            // Devices and pipes that take a stream (/dev/null, a pipe to a compressor) hold nothing to lose.
            const bool holdsData = S_ISREG(info.st_mode) || S_ISBLK(info.st_mode);
            if (holdsData && existing == ExistingImage::Refuse) {
                refusedAsExisting = true;
                return Failure("it already exists");
            }
        }
        int error = 0;
        created_ = !exists;
        file_ = common::OpenFile(path_, O_WRONLY | O_CLOEXEC | (exists ? 0 : O_CREAT | O_EXCL), error, 0666);
        if (!file_.valid()) {
            created_ = false;
            return TapeResult::Failure(TapeFault::Failed,
                                       "cannot create the image '" + path_ + "': " + std::strerror(error));
        }
        if (::fstat(file_.get(), &info) != 0) return Failure(std::strerror(errno));
        if (auto why = Refusal(info, source)) return Failure(*why);
        regular_ = S_ISREG(info.st_mode);
        syncable_ = regular_ || S_ISBLK(info.st_mode);
        return TapeResult::Success();
    }

    // Empties an image that was there before; called once the drive has answered.
    TapeResult StartAfresh() {
        if (created_ || !regular_ || ::ftruncate(file_.get(), 0) == 0) return TapeResult::Success();
        return Failure(std::string("it cannot be emptied: ") + std::strerror(errno));
    }

    // The copy could not start: a file this copy created goes again, one that was there stays as it was.
    void Abandon() {
        file_.Reset();
        if (created_) ::unlink(path_.c_str());
        created_ = false;
    }

    // Makes the image reach the disk and closes it; the error text, or empty.
    std::string Finish(std::uint64_t copied) {
        if (syncable_ && ::fsync(file_.get()) != 0) {
            return "cannot write the image '" + path_ + "' to the disk: " + std::strerror(errno);
        }
        // Closing can be the first time a delayed write error shows (network file systems, quotas).
        if (::close(file_.Release()) != 0) return WriteFailure(path_, copied, errno);
        return {};
    }

  private:
    TapeResult Failure(const std::string& why) const {
        return TapeResult::Failure(TapeFault::Failed, "cannot write the image '" + path_ + "': " + why);
    }

    std::string path_;
    common::UniqueFd file_;
    bool created_ = false;
    bool regular_ = false;
    bool syncable_ = false;
};

void NoteRead(const TapeRead& read, FailureRun& failures, ImageCopyResult& result) {
    if (read.end == ReadEnd::Filemark || read.end == ReadEnd::Setmark) ++result.marks;
    if (read.end == ReadEnd::Error) {
        ++result.readErrors;
        result.lastReadError = read.error;
    }
    failures.Note(read);
}

// Reads the tape to its end and writes every byte read; false (with result.error) when a write failed.
bool CopyLoop(TapeDrive& drive, int image, const std::string& imagePath, ImagingSink& sink,
              const std::atomic<std::uint32_t>& stopImaging, ImageCopyResult& result) {
    std::vector<std::uint8_t> buffer(kTapeReadSize);
    TapeRead read = drive.Read(buffer);
    sink.ProgressLabel("Reading Tape...");
    FailureRun failures;
    while (read.end != ReadEnd::EndOfData) {
        if (const common::IoResult written = common::WriteAll(image, std::span(buffer).first(read.count));
            written.failed()) {
            result.error = WriteFailure(imagePath, result.copied + written.count, written.error);
            return false;
        }
        result.copied += read.count;
        NoteRead(read, failures, result);
        sink.ProgressLabel(std::to_string(result.copied));
        if (result.capacity > 0) {
            sink.Progress(common::PercentOf(result.copied, static_cast<std::uint64_t>(result.capacity)));
        }
        if (failures.length() >= kMaxConsecutiveReadFailures) {
            result.gaveUp = true;
            break;
        }
        if (stopImaging.load(std::memory_order_relaxed) != 0) {
            result.stopped = true;
            break;
        }
        read = drive.Read(buffer);
    }
    return true;
}

}  // namespace

ImageCopyResult CopyTapeToImage(const TapeDevices& devices, const std::string& deviceName,
                                const std::string& imagePath, ImagingSink& sink,
                                std::atomic<std::uint32_t>& stopImaging, ExistingImage existing) {
    ImageCopyResult result;
    stopImaging.store(0);
    // The drive and the image close when they go out of scope, on every way out.
    std::unique_ptr<TapeDrive> drive;
    if (TapeResult opened = OpenTapeForReading(devices, deviceName, drive); !opened) {
        result.error = opened.error();
        return result;
    }
    ImageTarget image(imagePath);
    if (TapeResult ready = image.Open(existing, SourceFile(devices, deviceName), result.refusedAsExisting);
        !ready) {
        image.Abandon();
        result.error = ready.error();
        return result;
    }
    sink.ProgressLabel("Rewinding tape...");
    TapeResult prepared = RewindTape(*drive);
    if (prepared) prepared = QueryTapeCapacity(*drive, result.capacity);
    if (prepared) prepared = image.StartAfresh();
    if (!prepared) {
        image.Abandon();
        result.error = prepared.error();
        return result;
    }
    sink.TotalSize(std::to_string(static_cast<std::uint64_t>(result.capacity)));
    SetUpBlockMode(*drive);

    const bool written = CopyLoop(*drive, image.fd(), imagePath, sink, stopImaging, result);
    drive.reset();
    if (written) result.error = image.Finish(result.copied);
    if (!result.error.empty()) {
        sink.ProgressLabel(result.error);
        return result;
    }
    result.done = true;
    // A copy that was stopped, or gave up on its reads, holds only the tape's beginning: it is not "Done".
    if (result.stopped) {
        sink.ProgressLabel("Stopped");
    } else if (result.gaveUp) {
        sink.ProgressLabel("Gave up after " + std::to_string(kMaxConsecutiveReadFailures) +
                           " unreadable blocks in a row");
    } else {
        sink.ProgressLabel("Done");
    }
    return result;
}

}  // namespace ostrum::tape
