// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/posix_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace ostrum::common {

UniqueFd OpenFile(const std::string& path, int flags, int& error, mode_t mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    error = fd < 0 ? errno : 0;
    return UniqueFd(fd);
}

IoResult ReadVectorAt(int fd, std::uint64_t position, std::span<iovec> parts) {
    IoResult result;
    while (!parts.empty()) {
        const ssize_t got = ::preadv(fd, parts.data(), static_cast<int>(parts.size()),
                                     static_cast<off_t>(position + result.count));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            result.error = errno;
            break;
        }
        if (got == 0) break;
        result.count += static_cast<std::size_t>(got);
        // A short read (rare on a regular file): go on where it stopped.
        for (std::size_t left = static_cast<std::size_t>(got); !parts.empty() && left > 0;) {
            iovec& part = parts.front();
            const std::size_t step = std::min(left, part.iov_len);
            part.iov_base = static_cast<std::uint8_t*>(part.iov_base) + step;
            part.iov_len -= step;
            left -= step;
            if (part.iov_len == 0) parts = parts.subspan(1);
        }
    }
    return result;
}

IoResult ReadAt(int fd, std::uint64_t position, std::span<std::uint8_t> out) {
    iovec part{out.data(), out.size()};
    return ReadVectorAt(fd, position, std::span(&part, 1));
}

IoResult WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    IoResult result;
    while (result.count < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + result.count, bytes.size() - result.count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            result.error = written < 0 ? errno : ENOSPC;
            break;
        }
        result.count += static_cast<std::size_t>(written);
    }
    return result;
}

}  // namespace ostrum::common
