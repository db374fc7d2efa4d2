#pragma once
// Scanning an image file: the tape's bytes copied into an ordinary file (or an old ".bkf" backup).

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalog.h"
#include "common/unique_fd.h"
#include "scan_findings.h"

namespace ostrum::catalog {

struct ScanContext;

// One read of an image: the bytes delivered and, when a read failed before `out` was full, why (the
// system's reason, with the file and the offset). Fewer bytes without an error: the image ended.
struct ImageRead {
    std::size_t count = 0;
    std::string error;
};

// What the image scanner reads: an image's size and its bytes. ImageFile is the image on disk; an image
// can also be held in memory (tests, fuzzing).
class ImageSource {
  public:
    virtual ~ImageSource() = default;
    // The image's size in bytes, or nothing when it cannot be queried.
    virtual std::optional<std::uint64_t> Size() const = 0;
    // Reads up to out.size() bytes at the absolute position.
    virtual ImageRead Read(std::uint64_t position, std::span<std::uint8_t> out) const = 0;
    // An open descriptor the scan may map instead of reading, or -1.
    virtual int MappableDescriptor() const { return -1; }
};

// Holds one open image file, opened for reading only (a scan never writes, and read-only images must
// scan): a regular file, or a disk or partition (a block device, whose size is the device's). Folders,
// character devices (tape drives among them), pipes and sockets are refused with the reason. Opening
// again first closes what it holds; destruction closes it.
class ImageFile final : public ImageSource {
  public:
    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    bool isOpen() const { return fd_.valid(); }
    const std::string& path() const { return path_; }
    // The open file, for copies made inside the kernel.
    int descriptor() const { return fd_.get(); }
    // Why the last Open or ReadAt failed, with the system's reason, e.g. "cannot open 'x.img': No such
    // file or directory".
    const std::string& error() const { return error_; }

    bool Open(const std::string& path);
    void Close();
    std::optional<std::uint64_t> Size() const override;
    ImageRead Read(std::uint64_t position, std::span<std::uint8_t> out) const override;
    int MappableDescriptor() const override { return fd_.get(); }
    // Reads up to out.size() bytes at the absolute position; returns how many were read (fewer at the
    // end of the file or on a read error, which is then recorded in error()).
    std::size_t ReadAt(std::uint64_t position, std::span<std::uint8_t> out) const;

  private:
    common::UniqueFd fd_;
    std::string path_;
    mutable std::string error_;
};

// An image held in memory.
class MemoryImage final : public ImageSource {
  public:
    explicit MemoryImage(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::optional<std::uint64_t> Size() const override { return bytes_.size(); }
    ImageRead Read(std::uint64_t position, std::span<std::uint8_t> out) const override;

  private:
    std::span<const std::uint8_t> bytes_;
};

// Opens `path` through the holder; false (with the holder's error()) when it cannot be opened.
bool OpenImageFile(ImageFile& holder, const std::string& path);

// What a scan of an image met besides the catalog: the reads that failed, and what it found of MTF data
// at all. A failed read is skipped: the slots of what it delivered are examined and the scan goes on with
// the next chunk. The bytes examined are those delivered, and a tail too short to hold a slot.
struct ImageScanSummary {
    // Offsets named in unreadableOffsets at most; readErrors counts them all.
    static constexpr std::size_t kOffsetsKept = 100;

    std::uint64_t readErrors = 0;                  // chunks that could not be read whole
    std::vector<std::uint64_t> unreadableOffsets;  // where each of the first kOffsetsKept failed reads failed
    std::string lastReadError;
    ScanFindings found;
};

// How an image is scanned.
struct ImageScanOptions {
    // The deep scan, for images cut or shifted by a number of bytes that is not a multiple of 512, or
    // with junk bytes inside: besides the 512-byte slots counted from the image's start, it finds block
    // headers at any byte offset by their tag and their header checksum, and from each such header on
    // also examines the slots on that header's grid, until another header moves the grid again. The
    // blocks found are handled by the same rules, so its catalog holds every file of the normal scan.
    bool deep = false;
    // The scan of the next of several media read as one continues the ScanContext of the one before
    // (after BeginNextMedium); none: a fresh one.
    ScanContext* continuing = nullptr;
};

// Scans the whole image for SSET, DIRB and FILE blocks in 65,536-byte chunks and 512-byte slots,
// adding what it finds to the catalog and reporting status, position and progress to the sink. The
// caller sets scanActive to true before it starts the scan (on a worker, before starting the worker);
// the scan only reads it, and stops as soon as it finds it false (before every chunk and every slot).
// Returns 1 after examining the whole file, 0 when stopped. Read failures go into `summary`.
int ScanImageFile(const ImageSource& image, Catalog& catalog, CatalogSink& sink,
                  const std::atomic<bool>& scanActive, ImageScanSummary* summary = nullptr,
                  const ImageScanOptions& options = {});

// The PositionLine text: both numbers in full, joined by " \ ".
std::string PositionText(std::uint64_t position, std::uint64_t total);

}  // namespace ostrum::catalog
