#include "tape_imaging.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/posix_io.h"
#include "common/saturating.h"
#include "read_failures.h"
#include "tape_operations.h"

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

TapeResult CreateImageFile(const std::string& path, common::UniqueFd& file) {
    int error = 0;
    file = common::OpenFile(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, error, 0666);
    if (!file.valid()) {
        return TapeResult::Failure(TapeFault::Failed,
                                   "cannot create the image '" + path + "': " + std::strerror(error));
    }
    return TapeResult::Success();
}

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
              const std::atomic<std::uint32_t>& StopImaging, ImageCopyResult& result) {
    std::vector<std::uint8_t> buffer(TapeReadSize);
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
        if (StopImaging.load(std::memory_order_relaxed) != 0) {
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
                                std::atomic<std::uint32_t>& StopImaging) {
    ImageCopyResult result;
    StopImaging.store(0);
    // The drive and the image close when they go out of scope, on every way out.
    std::unique_ptr<TapeDrive> drive;
    if (TapeResult opened = OpenTapeForReading(devices, deviceName, drive); !opened) {
        result.error = opened.error();
        return result;
    }
    common::UniqueFd image;
    if (TapeResult created = CreateImageFile(imagePath, image); !created) {
        result.error = created.error();
        return result;
    }
    sink.ProgressLabel("Rewinding tape...");
    TapeResult prepared = RewindTape(*drive);
    if (prepared) prepared = QueryTapeCapacity(*drive, result.capacity);
    if (!prepared) {
        result.error = prepared.error();
        return result;
    }
    sink.TotalSize(std::to_string(static_cast<std::uint64_t>(result.capacity)));
    SetUpBlockMode(*drive);

    const bool written = CopyLoop(*drive, image.get(), imagePath, sink, StopImaging, result);
    drive.reset();
    // Closing can be the first time a delayed write error shows (network file systems, quotas).
    if (written && ::close(image.Release()) != 0) {
        result.error = WriteFailure(imagePath, result.copied, errno);
    }
    if (!result.error.empty()) {
        sink.ProgressLabel(result.error);
        return result;
    }
    result.done = true;
    sink.ProgressLabel("Done");
    return result;
}

}  // namespace ostrum::tape
