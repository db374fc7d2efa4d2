// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/byte_source.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/posix_io.h"

namespace ostrum::common {
namespace {

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

}  // namespace

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
    UniqueFd file = OpenFile(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC, error);
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
    const IoResult read = common::ReadAt(fd_.get(), position, out);
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

}  // namespace ostrum::common
