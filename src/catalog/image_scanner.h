#pragma once
// Scanning an image file: the tape's bytes copied into an ordinary file (or an old ".bkf" backup).

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "catalog.h"
#include "common/unique_fd.h"

namespace ostrum::catalog {

// Holds one open image file, opened for reading only (a scan never writes, and read-only images must
// scan). Opening again first closes what it holds; destruction closes it.
class ImageFile {
  public:
    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    bool isOpen() const { return fd_.valid(); }
    const std::string& path() const { return path_; }
    // Why the last Open failed, with the system's reason, e.g. "cannot open 'x.img': No such file or
    // directory".
    const std::string& error() const { return error_; }

    bool Open(const std::string& path);
    void Close();
    // The file's size in bytes, or nothing when it cannot be queried.
    std::optional<std::uint64_t> Size() const;
    // Reads up to out.size() bytes at the absolute position; returns how many were read (fewer at the
    // end of the file or on a read error, which is then recorded in error()).
    std::size_t ReadAt(std::uint64_t position, std::span<std::uint8_t> out) const;

  private:
    common::UniqueFd fd_;
    std::string path_;
    mutable std::string error_;
};

// Opens `path` through the holder; false (with the holder's error()) when it cannot be opened.
bool OpenImageFile(ImageFile& holder, const std::string& path);

// Scans the whole image for SSET, DIRB and FILE blocks in 65,536-byte chunks and 512-byte slots,
// adding what it finds to the catalog and reporting status, position and progress to the sink. The
// caller sets scanActive to true before it starts the scan (on a worker, before starting the worker);
// the scan only reads it, and stops as soon as it finds it false (before every chunk and every slot).
// Returns 1 after examining the whole file, 0 when stopped.
int ScanImageFile(const ImageFile& image, Catalog& catalog, CatalogSink& sink,
                  const std::atomic<bool>& scanActive);

// The PositionLine text: both numbers in full, joined by " \ ".
std::string PositionText(std::uint64_t position, std::uint64_t total);

}  // namespace ostrum::catalog
