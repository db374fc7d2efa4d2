// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Byte sources: what the scans and the saving read an image through. ImageFile is an image on disk (a
// regular file, or a disk or partition); MemoryImage is one held in memory (tests, fuzzing). The tape
// layer's virtual drives read their ".tap" files through the same interface.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/unique_fd.h"

namespace ostrum::common {

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
    // True when reading ahead of the scan on a thread of its own pays: a file, read through the system,
    // and safe to read from two threads at once. Bytes already in memory are not worth the copy.
    virtual bool ReadsBestAhead() const { return false; }
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
    bool ReadsBestAhead() const override { return fd_.valid(); }
    // Reads up to out.size() bytes at the absolute position; returns how many were read (fewer at the
    // end of the file or on a read error, which is then recorded in error()).
    std::size_t ReadAt(std::uint64_t position, std::span<std::uint8_t> out) const;

  private:
    UniqueFd fd_;
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

}  // namespace ostrum::common
