#include "image_scanner.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "chunk_view.h"
#include "common/mapped_window.h"
#include "common/posix_io.h"
#include "common/saturating.h"
#include "deep_scan.h"
#include "image_reads.h"
#include "mtf_layout.h"
#include "scan_context.h"

namespace ostrum::catalog {
namespace {

// Examines the whole slots of one chunk; false when the scan was stopped.
bool ExamineChunk(ScanContext& context, const ImageSource& image, std::span<const std::uint8_t> bytes,
                  std::uint64_t position, std::size_t slots, const std::atomic<bool>& scanActive) {
    ImageFollowing following(image, position + bytes.size());
    return ExamineSlots(context, ChunkView(bytes, position, std::nullopt, &following), slots, scanActive);
}

// Why a file of this kind cannot be scanned as an image, or nothing for regular files and block devices.
std::optional<std::string> NotAnImage(const struct stat& info) {
    const std::string tapes = "tape drives are scanned by their names //./tape0 to //./tape19";
    if (S_ISDIR(info.st_mode)) return "it is a folder, not an image file";
    if (S_ISCHR(info.st_mode)) return "it is a character device, not an image file (" + tapes + ")";
    if (S_ISFIFO(info.st_mode))
        return "it is a pipe, not an image file (save what it gives into a file first)";
    if (S_ISSOCK(info.st_mode)) return "it is a socket, not an image file";
    return std::nullopt;
}

// Counts a part of the image that could not be read from `failedAt` on; an empty `error` is the image's
// end come early.
void NoteUnreadable(ImageScanSummary& summary, std::uint64_t failedAt, std::string error) {
    if (error.empty()) {
        error = "the image ends at byte " + std::to_string(failedAt) +
                ", before the size it had when the scan began";
    }
    ++summary.readErrors;
    if (summary.unreadableOffsets.size() < ImageScanSummary::kOffsetsKept) {
        summary.unreadableOffsets.push_back(failedAt);
    }
    summary.lastReadError = std::move(error);
}

// A page of a mapped chunk could not be read: asks the file again at that byte, for the system's reason.
void NoteUnreadableMapping(const ImageSource& image, std::uint64_t failedAt, ImageScanSummary& summary) {
    std::array<std::uint8_t, mtf::kSlotSize> probe{};
    ImageRead again = image.Read(failedAt, probe);
    if (again.error.empty() && again.count > 0) {
        again.error = "the image could not be read at byte " + std::to_string(failedAt);
    }
    NoteUnreadable(summary, failedAt, std::move(again.error));
}

// Whole chunks are mapped this many at a time: few mappings, and little of the image held at once.
constexpr std::uint64_t kChunksPerWindow = 32;

}  // namespace

std::span<const std::uint8_t> ReadChunk(const ImageSource& image, std::uint64_t position,
                                        std::span<std::uint8_t> buffer, ImageScanSummary& summary) {
    ImageRead read = image.Read(position, buffer);
    if (read.count < buffer.size()) NoteUnreadable(summary, position + read.count, std::move(read.error));
    return std::span<const std::uint8_t>(buffer).first(read.count);
}

bool ImageFile::Open(const std::string& path) {
    Close();
    // Devices and pipes are refused before they are opened: opening a tape device can rewind it, and a
    // pipe would wait for a writer.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (auto why = NotAnImage(info)) {
            error_ = "cannot open '" + path + "': " + *why;
            return false;
        }
    }
    int error = 0;
    common::UniqueFd file = common::OpenFile(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC, error);
    if (!file.valid()) {
        error_ = "cannot open '" + path + "': " + std::strerror(error);
        return false;
    }
    // The same question of what was opened, in case the path changed in between.
    if (::fstat(file.get(), &info) != 0) {
        error_ = "cannot open '" + path + "': " + std::strerror(errno);
        return false;
    }
    if (auto why = NotAnImage(info)) {
        error_ = "cannot open '" + path + "': " + *why;
        return false;
    }
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    fd_ = std::move(file);
    path_ = path;
    error_.clear();
    return true;
}

void ImageFile::Close() {
    fd_.Reset();
}

std::optional<std::uint64_t> ImageFile::Size() const {
    struct stat info {};
    if (!fd_.valid() || ::fstat(fd_.get(), &info) != 0) return std::nullopt;
    if (!S_ISBLK(info.st_mode)) return static_cast<std::uint64_t>(info.st_size);
    // A disk or partition: fstat says 0; the device knows its size.
    std::uint64_t size = 0;
    if (::ioctl(fd_.get(), BLKGETSIZE64, &size) != 0) return std::nullopt;
    return size;
}

ImageRead ImageFile::Read(std::uint64_t position, std::span<std::uint8_t> out) const {
    const common::IoResult read = common::ReadAt(fd_.get(), position, out);
    if (!read.failed()) return ImageRead{read.count, {}};
    return ImageRead{read.count, "cannot read '" + path_ + "' at byte " +
                                     std::to_string(position + read.count) + ": " +
                                     std::strerror(read.error)};
}

std::size_t ImageFile::ReadAt(std::uint64_t position, std::span<std::uint8_t> out) const {
    ImageRead read = Read(position, out);
    if (!read.error.empty()) error_ = std::move(read.error);
    return read.count;
}

ImageRead MemoryImage::Read(std::uint64_t position, std::span<std::uint8_t> out) const {
    if (position >= bytes_.size()) return {};
    const std::size_t count = std::min<std::uint64_t>(out.size(), bytes_.size() - position);
    std::memcpy(out.data(), bytes_.data() + position, count);
    return ImageRead{count, {}};
}

bool OpenImageFile(ImageFile& holder, const std::string& path) {
    return holder.Open(path);
}

std::string PositionText(std::uint64_t position, std::uint64_t total) {
    return std::to_string(position) + " \\ " + std::to_string(total);
}

namespace {

// The scan of the 512-byte slots counted from the image's start.
int ScanSlots(const ImageSource& image, ScanContext& context, CatalogSink& sink,
              const std::atomic<bool>& scanActive, ImageScanSummary& summary) {
    // A size that cannot be queried scans as an empty file.
    const std::uint64_t size = image.Size().value_or(0);
    sink.StatusLine("Serching Files");

    std::vector<std::uint8_t> chunkBuffer(mtf::kChunkSize);
    // Whole chunks are looked at where the page cache holds them, through windows that a thread of their
    // own maps ahead of the scan, rather than copied by reads; where the image cannot be mapped, or a
    // mapped page could not be read, reads take over for the rest of the scan.
    const std::uint64_t wholeChunks = size / mtf::kChunkSize * mtf::kChunkSize;
    std::optional<common::WindowsAhead> ahead;
    if (const int mappable = image.MappableDescriptor(); mappable >= 0 && wholeChunks > 0) {
        ahead.emplace(mappable, 0, wholeChunks, kChunksPerWindow * mtf::kChunkSize);
    }
    std::optional<common::MappedWindow> window;
    std::uint64_t position = 0;
    while (position < size) {
        if (!scanActive.load(std::memory_order_relaxed)) return 0;
        if (position + mtf::kChunkSize > size) break;
        if (window && position - window->offset() >= window->bytes().size()) {
            if (ahead) ahead->Return(std::move(*window));
            window.reset();
        }
        if (!window && ahead) {
            window = ahead->Next();
            if (!window) ahead.reset();
        }
        const auto bytes = window ? window->bytes().subspan(position - window->offset(), mtf::kChunkSize)
                                  : ReadChunk(image, position, chunkBuffer, summary);
        summary.found.bytesExamined += bytes.size();
        if (!ExamineChunk(context, image, bytes, position, mtf::kSlotsPerChunk, scanActive)) {
            return 0;
        }
        // The mapping thread may have met a lost page further on in the window: it counts when the scan
        // reaches its chunk.
        const auto failed = window ? window->failedAt() : std::nullopt;
        if (failed && *failed < position + mtf::kChunkSize) {
            NoteUnreadableMapping(image, *failed, summary);
            window.reset();
            ahead.reset();
        }
        position += mtf::kChunkSize;
        sink.Progress(common::PercentOf(position, size));
        sink.PositionLine(PositionText(position, size));
    }

    const std::uint64_t remainder = size % mtf::kChunkSize;
    if (remainder > mtf::kSlotSize) {
        const auto tail = std::span(chunkBuffer).first(static_cast<std::size_t>(remainder));
        const auto bytes = ReadChunk(image, position, tail, summary);
        summary.found.bytesExamined += bytes.size();
        if (!ExamineChunk(context, image, bytes, position, remainder / mtf::kSlotSize, scanActive)) {
            return 0;
        }
    } else if (remainder < mtf::kSlotSize) {
        summary.found.bytesExamined += remainder;  // too short to hold a block: known without reading
    }
    return 1;
}

}  // namespace

int ScanImageFile(const ImageSource& image, Catalog& catalog, CatalogSink& sink,
                  const std::atomic<bool>& scanActive, ImageScanSummary* summaryOut,
                  const ImageScanOptions& options) {
    ImageScanSummary local;
    ImageScanSummary& summary = summaryOut != nullptr ? *summaryOut : local;
    summary = ImageScanSummary{};
    ScanContext fresh(catalog, sink);
    ScanContext& context = options.continuing != nullptr ? *options.continuing : fresh;
    const FindingsMark mark(context);
    const int result = options.deep ? DeepScanImage(image, context, sink, scanActive, summary)
                                    : ScanSlots(image, context, sink, scanActive, summary);
    mark.Fill(context, summary.found);
    return result;
}

}  // namespace ostrum::catalog
