// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_buffer.h"

#include <cerrno>

namespace ostrum::cli {

OutputBuffer::OutputBuffer(std::FILE* file)
    // Room for one write and a long piece past it, so that the buffer seldom has to grow.
    : file_(file),
      buffer_(std::make_unique_for_overwrite<char[]>(2 * kWriteSize)),
      capacity_(2 * kWriteSize) {}

void OutputBuffer::MakeRoom(std::size_t count) {
    Flush();
    if (count <= capacity_) return;
    buffer_ = std::make_unique_for_overwrite<char[]>(count);
    capacity_ = count;
}

void OutputBuffer::Flush() {
    errno = 0;
    if (error_.empty() && used_ > 0 && std::fwrite(buffer_.get(), 1, used_, file_) != used_) {
        error_ = std::strerror(errno != 0 ? errno : EIO);
    }
    used_ = 0;
}

bool OutputBuffer::Finish() {
    Flush();
    errno = 0;
    if (error_.empty() && std::fflush(file_) != 0) error_ = std::strerror(errno != 0 ? errno : EIO);
    return error_.empty();
}

}  // namespace ostrum::cli
